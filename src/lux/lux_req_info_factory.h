// The request-info factory: every news column and message kind a widget can ask for is described once in
// the Lux configuration files ("LuxNewsConfig.xml" and "LuxMsgConfig.xml" under "HQ/Base/", and other
// modules' files under "<module>/Base/"): which processor serves it, which data strategy decides about the
// rows stored for it, and per request kind the fixed parameters of the request. The factory keeps those
// descriptions and creates processors and strategies by their registered names.
//
// File format: the root element's children (comments skipped) are columns: attributes "Sector" (the
// column's name; a column without one is ignored, and a name already loaded from any file is refused with
// a log line), "Caption", "DataProcessorName", "GetDataStrategy" (may be empty) and "TestData" (a reply
// document under the configuration root, "HQ\Base\LuxTestNews.xml": the column runs in test mode and is
// answered from it, nothing going to the server). A column's children
// are request kinds: attribute "Type" ("DITGet", "DITSub", "DITSearch", "DITMsg" or "DITRawMsg"; a kind
// without one is ignored; of two of one type the first answers). Their children are parameters, "Name"
// and "Value" (one without a name is ignored). The value "$VARIABLE" marks a parameter the data manager
// fills from the widget's history request when it subscribes on the widget's behalf. Element names are
// free. A file that is not well-formed XML loads nothing and is logged.
//
// Threads: main thread only (the data manager makes the factory and asks it there). The processors it
// makes follow their own rules (lux_request_info.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kdp/host/interface.h"
#include "lux/lux_data_item.h"
#include "lux/lux_request_info.h"
#include "lux/lux_strategy.h"

namespace kdp {

// The parameters of one request kind of a column.
class TReqNodeInfoItem {
 public:
  void SetReqType(std::string_view type) { FReqType = type; }
  const std::string& GetReqType() const { return FReqType; }
  void SetIndexQuotaValue(std::string_view name, std::string_view value) { FReqDetailInfo.SetIndexValue(name, value); }
  std::string GetIndexQuotaValue(std::string_view name) const {
    return std::string(FReqDetailInfo.FindIndexValue(name));
  }
  int GetIndexQuotaCount() const { return static_cast<int>(FReqDetailInfo.Count()); }
  // The name and value at a position of the parameter order; "" outside 0 to count-1.
  std::string GetIndexQuotaByOrder(int index) const;
  std::string GetIndexQuotaValueByOrder(int index) const;
  std::unique_ptr<TReqNodeInfoItem> Clone() const;

 private:
  std::string FReqType;
  TKrLuxDataItem FReqDetailInfo;
};

// One configured column.
class TReqInfoItem {
 public:
  TReqInfoItem(std::string caption, std::string processorName, std::string strategyName, std::string testData = {})
      : FCaption(std::move(caption)),
        FDataProcessorName(std::move(processorName)),
        FGetNewOpt(std::move(strategyName)),
        FTestData(std::move(testData)) {}

  const std::string& GetCaption() const { return FCaption; }
  const std::string& GetDataProcessorName() const { return FDataProcessorName; }
  const std::string& GetDataStrategyName() const { return FGetNewOpt; }
  // The test document's path as configured ("" for a column served by the server).
  const std::string& GetTestData() const { return FTestData; }
  // The node of a request kind (exact type name); null when the column has none.
  std::shared_ptr<const TReqNodeInfoItem> GetReqNode(std::string_view type) const;
  // Adds a node; false, keeping the first, when the column already has one of its type.
  bool AddReqNode(std::shared_ptr<TReqNodeInfoItem> node);
  const std::vector<std::shared_ptr<TReqNodeInfoItem>>& ReqNodes() const { return FReqNodes; }
  std::unique_ptr<TReqInfoItem> Clone() const;

 private:
  std::string FCaption;
  std::string FDataProcessorName;
  std::string FGetNewOpt;
  std::string FTestData;
  std::vector<std::shared_ptr<TReqNodeInfoItem>> FReqNodes;
};

class IKrLuxReqInfoFactory : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "6F1E2B0C-8D3A-4C51-9A7E-2B64D0C3F815";

  // The node of a column's request kind ("DITGet", ...); null, logged when the column is unknown.
  virtual std::shared_ptr<const TReqNodeInfoItem> GetReqInfo(const std::string& sectorName,
                                                             std::string_view typeName) = 0;
  // A new processor of the column's registered class; null, logged, when the column or its name is unknown.
  virtual std::shared_ptr<TKrLuxDataRequestInfo> GetDataProcessorObj(const std::string& sectorName) = 0;
  // A new strategy of the column's registered class; null, logged, when the column or its name is
  // unknown (a column without a strategy included: the data manager then takes TKrLuxNewsStrategy).
  virtual std::unique_ptr<TKrLuxDataStrategy> GetDataStrategy(const std::string& sectorName) = 0;
  // Loads "<configuration root><module>/Base/<file>" as another file of columns.
  virtual void LoadLuxInfoConfigureByModuleName(const std::string& moduleName, const std::string& fileName) = 0;
};

class TLuxReqInfoFactory final : public host::Implements<IKrLuxReqInfoFactory> {
 public:
  using ProcessorConstructor = std::shared_ptr<TKrLuxDataRequestInfo> (*)();
  using StrategyConstructor = std::unique_ptr<TKrLuxDataStrategy> (*)();

  // Registers the processor and strategy classes, then loads "LuxNewsConfig.xml" and "LuxMsgConfig.xml".
  TLuxReqInfoFactory();

  std::shared_ptr<const TReqNodeInfoItem> GetReqInfo(const std::string& sectorName, std::string_view typeName) override;
  std::shared_ptr<TKrLuxDataRequestInfo> GetDataProcessorObj(const std::string& sectorName) override;
  std::unique_ptr<TKrLuxDataStrategy> GetDataStrategy(const std::string& sectorName) override;
  void LoadLuxInfoConfigureByModuleName(const std::string& moduleName, const std::string& fileName) override;

  // Loads "<configuration root>HQ/Base/<file>".
  void LoadLuxInfoConfigure(const std::string& fileName);
  // The configured names; "" for an unknown column.
  std::string GetDataProcessorName(const std::string& sectorName) const;
  std::string GetDataStrategyName(const std::string& sectorName) const;
  // The column; null when unknown.
  const TReqInfoItem* GetReqInfoItem(const std::string& sectorName) const;
  // The configured column names, in loading order.
  const std::vector<std::string>& SectorNames() const { return FSectorOrder; }

  // A new processor or strategy of a registered name; null for a name not registered.
  std::shared_ptr<TKrLuxDataRequestInfo> CreateDataProcessor(std::string_view registeredName) const;
  std::unique_ptr<TKrLuxDataStrategy> CreateDataStrategy(std::string_view registeredName) const;
  // The registered names, in registration order.
  const std::vector<std::string_view>& RegisteredProcessorNames() const { return FProcessorOrder; }
  const std::vector<std::string_view>& RegisteredStrategyNames() const { return FStrategyOrder; }

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  template <class Value>
  using NameMap = std::unordered_map<std::string, Value, NameHash, std::equal_to<>>;

  void RegisterALLLuxDataReqObj();
  void RegisterALLLuxRegisterObj();
  void LoadFile(const std::string& path);

  NameMap<std::unique_ptr<TReqInfoItem>> FReqInfoItems;
  std::vector<std::string> FSectorOrder;
  NameMap<ProcessorConstructor> FProcessorClasses;
  NameMap<StrategyConstructor> FStrategyClasses;
  std::vector<std::string_view> FProcessorOrder;
  std::vector<std::string_view> FStrategyOrder;
};

}  // namespace kdp
