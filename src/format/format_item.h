// TKrHQFormatItem: one field's format in one group of HQ types (see kdp/format/hq_format_manager.h and
// docs/formatting.md). The instruction is parsed once when the format text is set. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fields/format_exp.h"
#include "format/format_instruction.h"
#include "format/format_keywords.h"
#include "format/format_number.h"
#include "kdp/format/hq_format_manager.h"

namespace kdp {

class TKrHQFormatItem final : public host::Implements<IKrHQFormatItem> {
 public:
  using IKrHQFormatItem::CalcAndFormat;

  // ---- set by the loader ----
  void SetIndexId(const std::string& name) { FIndexId = name; }
  void SetFormatText(const std::string& text);
  void SetCompareTo(const std::string& name) { FCompareTo = name; }
  void SetColors(std::string greater, std::string less, std::string equal, std::string fallback);
  void SetUsePriceStep(bool on) { FUsePriceStep = on; }
  void SetCaption(const std::string& caption) { FCaption = caption; }
  const std::string& GetCaption() const { return FCaption; }
  const std::string& GetExpressions() const { return FExpressions; }
  const TFormatInstruction& GetInstruction() const { return FInstruction; }

  // IKrHQFormatItem
  std::string CalcAndFormat(double value, const std::string& param, double priceStep) override;
  std::string CalcAndFormat(double value, double otherValue) override;
  std::string CalcAndFormat(double value, bool needYear) override;
  std::string CalcAndFormatByKoraCode(double value, const std::string& param, const std::string& code) override;
  std::string CalcAndFormatBySecurity(double value, const std::string& param,
                                      const std::shared_ptr<host::IKrSecurity>& security) override;
  std::string FormatSpecString(const std::string& text) override;
  std::string GetColorName(double value, bool useDefault) override;
  std::string GetColorName(double value, double compareValue, bool useDefault) override;
  std::uint32_t GetColor(const std::shared_ptr<IKrHQStyle>& style, double value, bool useDefault) override;
  std::uint32_t GetColor(const std::shared_ptr<IKrHQStyle>& style, double value, double compareValue,
                         bool useDefault) override;
  std::uint32_t GetColor(const std::shared_ptr<IKrHQStyle>& style, double value, const std::string& compareField,
                         const FieldValueReader& fieldValue, bool useDefault) override;
  std::string GetDoubleFormatColorName(double value, const FieldValueReader& fieldValue) override;
  std::uint32_t GetDoubleFormatColor(const std::shared_ptr<IKrHQStyle>& style, double value,
                                     const FieldValueReader& fieldValue) override;
  std::string GetCompareString() override { return FCompareTo; }
  std::string GetIndexName() override { return FIndexId; }
  std::string GetFormatText() override { return FFormatText; }
  bool GetUsePriceStep() override { return FUsePriceStep; }
  std::vector<int> GetDataList() override { return FDataList; }
  std::vector<int> GetSecondDataList() override { return FSecondDataList; }
  void AppendDataList(int fieldID) override;
  void AppendDataList(const std::vector<int>& fieldIDs) override;
  void AppendSecondDataList(int fieldID);
  TKrHQFormatExp* GetHQFormatExp() override { return FHQFormatExp.get(); }
  void SetExpressions(const std::string& text) override;
  bool IsOnlyShowYearMonth() override;

 private:
  struct Request {
    std::string_view param;
    double priceStep = 0.0;
    bool needYear = false;
  };
  std::string Format(double value, const Request& request);
  std::string ColorNameOf(double difference, bool useDefault) const;

  std::string FExpressions;
  std::vector<int> FDataList;
  std::vector<int> FSecondDataList;
  std::unique_ptr<TKrHQFormatExp> FHQFormatExp;
  std::string FIndexId;
  std::string FFormatText;
  std::string FCompareTo;
  std::string sHColor, sLColor, sEqColor, sDefColor;
  bool FUsePriceStep = false;
  std::string FCaption;

  TFormatInstruction FInstruction;
  // The instruction's keyword row, found once per format text rather than per value.
  const TFormatKeywordRow* FRow = FormatKeywordRow(TFormatKeyword::kNone);
  std::optional<TKrFormatNumberParams> FNumberParams;
  std::string FNumberError;  // why the number instruction's arguments do not read
};

// The style colours are looked up in: `style`, else the current style of "IKrHQStyleMgr".
std::shared_ptr<IKrHQStyle> ResolveStyle(const std::shared_ptr<IKrHQStyle>& style);

}  // namespace kdp
