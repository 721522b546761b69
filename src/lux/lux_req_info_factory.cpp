#include "lux/lux_req_info_factory.h"

#include <filesystem>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/xml.h"
#include "lux/lux_bond_processor.h"
#include "lux/lux_news_processor.h"
#include "lux/lux_processor_rows.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxReqInfoFactory";

template <class Processor>
std::shared_ptr<TKrLuxDataRequestInfo> Make() {
  return std::make_shared<Processor>();
}

template <class Strategy>
std::unique_ptr<TKrLuxDataStrategy> MakeStrategy() {
  return std::make_unique<Strategy>();
}

struct ProcessorClass {
  std::string_view Name;
  TLuxReqInfoFactory::ProcessorConstructor Create;
};

// The registered processors, in registration order.
constexpr ProcessorClass kProcessorClasses[] = {
    {"LuxLEDNewsDataProcessor", &Make<TKrLuxLEDNewsDataProcessor>},
    {"LuxSubjectNewsDataProcessor", &Make<TKrLuxSubjectNewsDataProcessor>},
    {"LuxCommNewsDataProcessor", &Make<TKrLuxCommNewsDataProcessor>},
    {"LuxNewsDataProcessor", &Make<TKrLuxNewsDataProcessor>},
    {"LuxUserDefineNewsDataProcessor", &Make<TKrLuxUserDefineNewsDataProcessor>},
    {"LuxGreatEventDataProcessor", &Make<TKrLuxGreatEventDataProcessor>},
    {"LuxLiveNewsProcessor", &Make<TKrLuxLiveNewsProcessor>},
    {"LuxResearchReportDataProcessor", &Make<TKrLuxResearchReportDataProcessor>},
    {"LuxAnnouncementDataProcessor", &Make<TKrLuxAnnouncementDataProcessor>},
    {"LuxSubjectDataProcessor", &Make<TKrLuxSubjectDataProcessor>},
    {"LuxSubjectCommentNumProcessor", &Make<TKrLuxSubjectCommentNumProcessor>},
    {"LuxSubjectCommentsProcessor", &Make<TKrLuxSubjectCommentsProcessor>},
    {"LuxSubjectContentDataProcessor", &Make<TKrLuxSubjectContentDataProcessor>},
    {"LuxSubjectListDataProcessor", &Make<TKrLuxSubjectListDataProcessor>},
    {"LuxSubmitCommentsProcessor", &Make<TKrLuxSubmitUserComment>},
    {"LuxViewPointBallotDataProcessor", &Make<TKrLuxViewPointBallotDataProcessor>},
    {"LuxSHIndexBallotDataProcessor", &Make<TKrLuxSHIndexBallotDataProcessor>},
    {"LuxBallotStateDataProcessor", &Make<TKrLuxBallotStateDataProcessor>},
    {"LuxUserFractionDataProcessor", &Make<TKrLuxUserFractionDataProcessor>},
    {"LuxFractionDeductDataProcessor", &Make<TKrLuxFractionDeductDataProcessor>},
    {"LuxGetSubjectResourceIDProcessor", &Make<TKrLuxGetSubjectResourceIDProcessor>},
    {"LuxSubjectCommentsByResourceIDProcessor", &Make<TKrLuxSubjectCommentsByResourceIDProcessor>},
    {"LuxSHIndexUserIsGamblingDataProcessor", &Make<TKrLuxSHIndexUserIsGamblingDataProcessor>},
    {"LuxSHIndexGamblingDataProcessor", &Make<TKrLuxSHIndexGamblingDataProcessor>},
    {"LuxSHIndexGamblingResultDataProcessor", &Make<TKrLuxSHIndexGamblingResultDataProcessor>},
    {"LuxNegativeNewsDataProcessor", &Make<TKrLuxNegativeNewsDataProcessor>},
    {"LuxStockNewsProcessor", &Make<TKrLuxStockNewsProcessor>},
    {"LuxBondQuotoDealedDataProcessor", &Make<TKrLuxBondQuotoDealed>},
    {"LuxBBQF5DataProcessor", &Make<TKrLuxBBQF5DataProcessor>},
    {"LuxBBQF5TranDataProcessor", &Make<TKrLuxBBQF5TranDataProcessor>},
    {"LuxKDDF5DataProcessor", &Make<TKrLuxKDDF5DataProcessor>},
    {"LuxKDDCommitBargain", &Make<TKrLuxKDDCommitBargain>},
    {"LuxBenchmarkDataProcessor", &Make<TKrLuxBenchmarkDataProcessor>},
    {"BondLuxDataProcessor", &Make<TKrBondLuxDataProcessor>},
    {"LuxKDDAuthority", &Make<TKrLuxKDDAuthority>},
    {"LuxBTAAuthority", &Make<TKrLuxBTAAuthority>},
};

struct StrategyClass {
  std::string_view Name;
  TLuxReqInfoFactory::StrategyConstructor Create;
};

constexpr StrategyClass kStrategyClasses[] = {
    {"LuxNewsStrategy", &MakeStrategy<TKrLuxNewsStrategy>},
};

// A column's request kinds and their parameters; comments and nameless elements are skipped.
void AnalyseNodeInfo(const pugi::xml_node& column, TReqInfoItem& item) {
  for (const pugi::xml_node& kind : column.children()) {
    if (kind.type() != pugi::node_element) continue;
    const std::string type = host::GetNodeAttributeValue(kind, "Type");
    if (type.empty()) continue;
    auto node = std::make_shared<TReqNodeInfoItem>();
    node->SetReqType(type);
    for (const pugi::xml_node& param : kind.children()) {
      if (param.type() != pugi::node_element) continue;
      const std::string name = host::GetNodeAttributeValue(param, "Name");
      if (!name.empty()) node->SetIndexQuotaValue(name, host::GetNodeAttributeValue(param, "Value"));
    }
    item.AddReqNode(std::move(node));
  }
}

}  // namespace

std::string TReqNodeInfoItem::GetIndexQuotaByOrder(int index) const {
  if (index < 0 || index >= GetIndexQuotaCount()) return {};
  return std::string(FReqDetailInfo.NameAt(static_cast<std::size_t>(index)));
}

std::string TReqNodeInfoItem::GetIndexQuotaValueByOrder(int index) const {
  if (index < 0 || index >= GetIndexQuotaCount()) return {};
  return std::string(FReqDetailInfo.ValueAt(static_cast<std::size_t>(index)));
}

std::unique_ptr<TReqNodeInfoItem> TReqNodeInfoItem::Clone() const {
  auto copy = std::make_unique<TReqNodeInfoItem>();
  copy->FReqType = FReqType;
  for (std::size_t i = 0; i < FReqDetailInfo.Count(); ++i) {
    copy->FReqDetailInfo.SetIndexValue(FReqDetailInfo.NameAt(i), FReqDetailInfo.ValueAt(i));
  }
  return copy;
}

std::shared_ptr<const TReqNodeInfoItem> TReqInfoItem::GetReqNode(std::string_view type) const {
  for (const auto& node : FReqNodes) {
    if (node->GetReqType() == type) return node;
  }
  return nullptr;
}

bool TReqInfoItem::AddReqNode(std::shared_ptr<TReqNodeInfoItem> node) {
  if (GetReqNode(node->GetReqType())) return false;
  FReqNodes.push_back(std::move(node));
  return true;
}

std::unique_ptr<TReqInfoItem> TReqInfoItem::Clone() const {
  auto copy = std::make_unique<TReqInfoItem>(FCaption, FDataProcessorName, FGetNewOpt, FTestData);
  for (const auto& node : FReqNodes) copy->FReqNodes.push_back(node->Clone());
  return copy;
}

TLuxReqInfoFactory::TLuxReqInfoFactory() {
  RegisterALLLuxDataReqObj();
  RegisterALLLuxRegisterObj();
  LoadLuxInfoConfigure("LuxNewsConfig.xml");
  LoadLuxInfoConfigure("LuxMsgConfig.xml");
}

void TLuxReqInfoFactory::RegisterALLLuxDataReqObj() {
  for (const ProcessorClass& entry : kProcessorClasses) {
    if (FProcessorClasses.try_emplace(std::string(entry.Name), entry.Create).second) {
      FProcessorOrder.push_back(entry.Name);
    }
  }
}

void TLuxReqInfoFactory::RegisterALLLuxRegisterObj() {
  for (const StrategyClass& entry : kStrategyClasses) {
    if (FStrategyClasses.try_emplace(std::string(entry.Name), entry.Create).second) {
      FStrategyOrder.push_back(entry.Name);
    }
  }
}

void TLuxReqInfoFactory::LoadLuxInfoConfigure(const std::string& fileName) {
  LoadFile(GetHQBasePath() + host::ToNativePath(fileName));
}

void TLuxReqInfoFactory::LoadLuxInfoConfigureByModuleName(const std::string& moduleName, const std::string& fileName) {
  LoadFile(host::GetEtcPath() + host::ToNativePath(moduleName + "\\Base\\" + fileName));
}

void TLuxReqInfoFactory::LoadFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    host::AddHQLog("LoadLuxInfoConfigure" + path + " 不存在!", kLogSource, host::LogSeverity::kNotice);
    return;
  }
  pugi::xml_document doc;
  std::string error;
  if (!host::LoadXmlFile(doc, path, &error)) {
    host::AddHQLog(fmt::format("LoadLuxInfoConfigure {} 不是有效的XML: {}", path, error), kLogSource,
                   host::LogSeverity::kError);
    return;
  }
  for (const pugi::xml_node& column : doc.document_element().children()) {
    if (column.type() != pugi::node_element) continue;
    std::string sector = host::GetNodeAttributeValue(column, "Sector");
    if (sector.empty()) continue;
    if (FReqInfoItems.contains(sector)) {
      host::AddHQLog(fmt::format("LoadLuxInfoConfigure 栏目{}重复，忽略{}中的配置", sector, path), kLogSource,
                     host::LogSeverity::kNotice);
      continue;
    }
    auto item = std::make_unique<TReqInfoItem>(
        host::GetNodeAttributeValue(column, "Caption"), host::GetNodeAttributeValue(column, "DataProcessorName"),
        host::GetNodeAttributeValue(column, "GetDataStrategy"), host::GetNodeAttributeValue(column, "TestData"));
    AnalyseNodeInfo(column, *item);
    FSectorOrder.push_back(sector);
    FReqInfoItems.emplace(std::move(sector), std::move(item));
  }
}

const TReqInfoItem* TLuxReqInfoFactory::GetReqInfoItem(const std::string& sectorName) const {
  const auto it = FReqInfoItems.find(sectorName);
  return it == FReqInfoItems.end() ? nullptr : it->second.get();
}

std::shared_ptr<const TReqNodeInfoItem> TLuxReqInfoFactory::GetReqInfo(const std::string& sectorName,
                                                                       std::string_view typeName) {
  const TReqInfoItem* item = GetReqInfoItem(sectorName);
  if (item == nullptr) {
    host::AddHQLog(fmt::format("GetReqInfo 未找到栏目{}对应的配置项", sectorName), kLogSource,
                   host::LogSeverity::kNotice);
    return nullptr;
  }
  return item->GetReqNode(typeName);
}

std::shared_ptr<TKrLuxDataRequestInfo> TLuxReqInfoFactory::GetDataProcessorObj(const std::string& sectorName) {
  const TReqInfoItem* item = GetReqInfoItem(sectorName);
  auto processor = item ? CreateDataProcessor(item->GetDataProcessorName()) : nullptr;
  if (!processor) {
    host::AddHQLog(fmt::format("GetDataProcessorObj 未找到栏目{}对应的配置项", sectorName), kLogSource,
                   host::LogSeverity::kNotice);
  }
  return processor;
}

std::unique_ptr<TKrLuxDataStrategy> TLuxReqInfoFactory::GetDataStrategy(const std::string& sectorName) {
  const TReqInfoItem* item = GetReqInfoItem(sectorName);
  auto strategy = item ? CreateDataStrategy(item->GetDataStrategyName()) : nullptr;
  if (!strategy) {
    host::AddHQLog(fmt::format("GetDataStrategy 未找到栏目{}对应的配置项", sectorName), kLogSource,
                   host::LogSeverity::kNotice);
  }
  return strategy;
}

std::string TLuxReqInfoFactory::GetDataProcessorName(const std::string& sectorName) const {
  const TReqInfoItem* item = GetReqInfoItem(sectorName);
  return item ? item->GetDataProcessorName() : std::string();
}

std::string TLuxReqInfoFactory::GetDataStrategyName(const std::string& sectorName) const {
  const TReqInfoItem* item = GetReqInfoItem(sectorName);
  return item ? item->GetDataStrategyName() : std::string();
}

std::shared_ptr<TKrLuxDataRequestInfo> TLuxReqInfoFactory::CreateDataProcessor(std::string_view registeredName) const {
  const auto it = FProcessorClasses.find(registeredName);
  return it == FProcessorClasses.end() ? nullptr : it->second();
}

std::unique_ptr<TKrLuxDataStrategy> TLuxReqInfoFactory::CreateDataStrategy(std::string_view registeredName) const {
  const auto it = FStrategyClasses.find(registeredName);
  return it == FStrategyClasses.end() ? nullptr : it->second();
}

}  // namespace kdp
