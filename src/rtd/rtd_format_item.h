// TKrRTDFormatItem: see include/kdp/rtd/rtd_format_item.h.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "kdp/format/hq_format_manager.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/rtd/rtd_format_item.h"
#include "kdp/rtd/rtd_item.h"

namespace kdp {

class TKrRTDFormatItem final : public host::Implements<IRTDFormatItem> {
 public:
  explicit TKrRTDFormatItem(std::shared_ptr<IRTDItem> item);

  std::string GetFormatValueByName(const std::string& name, bool checkNull) override;
  std::string GetDateTimeFormatValueByName(const std::string& name, bool checkNull) override;
  std::uint32_t GetFormatColorByName(const std::string& name, bool checkNull,
                                     const std::shared_ptr<IKrHQStyle>& style) override;
  std::string GetFormatColorNameByName(const std::string& name, bool checkNull) override;
  void ResetRTDItem(std::shared_ptr<IRTDItem> item) override {
    if (item != FRTDItem) FRTDItem = std::move(item);
  }

  // The dictionary ID of a name; for a computed field the first field it reads; 0 when neither.
  int GetHQDictIDByName(const std::string& name);
  // The format manager's item for the name (asked once per name); nullptr when there is none.
  std::shared_ptr<IKrHQFormatItem> GetFormatItemByName(const std::string& name);
  // How many times the format manager was asked, for tests of the once-per-name rule.
  int FormatLookups() const { return FLookups; }

 private:
  // What the item learned about a field name: its dictionary ID (0 for a computed field), the ID its
  // type comes from, and its format item once asked for.
  struct NameInfo {
    int id = 0;
    int typeID = 0;
    bool typeKnown = false;
    bool formatAsked = false;
    std::shared_ptr<IKrHQFormatItem> format;
  };
  NameInfo& Info(const std::string& name);
  const std::shared_ptr<IKrHQFormatItem>& Format(NameInfo& info, const std::string& name);
  int TypeOf(NameInfo& info, const std::string& name);
  bool IsNull(const NameInfo& info, const std::string& name);
  double Number(const NameInfo& info, const std::string& name);
  std::string FormatDoubleValue(NameInfo& info, const std::string& name, bool checkNull);
  std::string FormatStringValue(NameInfo& info, const std::string& name, bool checkNull);
  double PriceStep();
  IKrHQFormatItem::FieldValueReader FieldReader();

  std::shared_ptr<IRTDItem> FRTDItem;
  double FPriceStep = 0;  // fetched from the security on first need
  std::unordered_map<std::string, NameInfo> FDataFormatDict;
  int FLookups = 0;
};

}  // namespace kdp
