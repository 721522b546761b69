#include "cloud/cloud_data_item.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "kdp/host/log.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TCloudDataItem";

std::string CellText(const host::SqlValue& cell) {
  if (const auto* i = std::get_if<std::int64_t>(&cell)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&cell)) return FloatToText(*d);
  if (const auto* s = std::get_if<std::string>(&cell)) return *s;
  return {};
}

double CellDouble(const host::SqlValue& cell) {
  if (const auto* i = std::get_if<std::int64_t>(&cell)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&cell)) return *d;
  if (const auto* s = std::get_if<std::string>(&cell)) return StrToFloatDef(*s, 0.0);
  return 0.0;
}

// The nearest int; 0 for values outside the int range.
int CellInt(const host::SqlValue& cell) {
  const double value = std::round(CellDouble(cell));
  if (!(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())) return 0;
  return static_cast<int>(value);
}

}  // namespace

TCloudDataItem::TCloudDataItem(const TKrCloudReportItem& report, std::shared_ptr<host::ISqliteDataBase> database)
    : FReport(report.Colne()), FDataBase(std::move(database)) {}

bool TCloudDataItem::PrepareData() { return PrepareData("SELECT * FROM " + FReport->Table.Name, {}); }

bool TCloudDataItem::PrepareData(const std::string& sql, std::span<const host::SqlValue> params) {
  FFields.clear();
  FRows.clear();
  auto rows = FDataBase->Query(sql, params);
  if (!rows) {
    host::AddHQLog(fmt::format("PrepareData {}: {}", sql, FDataBase->GetLastError()), kLogSource,
                   host::LogSeverity::kWarning);
    return false;
  }
  const bool logRows = host::IsNeedWriteHQLog();
  if (logRows) host::AddHQLog(sql, kLogSource);
  for (int column = 0; column < rows->GetFieldCount(); ++column) FFields.push_back(rows->GetFieldName(column));
  for (; !rows->Eof(); rows->Next()) {
    auto& row = FRows.emplace_back();
    for (int column = 0; column < rows->GetFieldCount(); ++column) row.push_back(rows->GetValue(column));
    if (logRows) {
      std::vector<std::string> texts;
      for (const auto& cell : row) texts.push_back(CellText(cell));
      host::AddHQLog(fmt::format("{}", fmt::join(texts, " ")), kLogSource);
    }
  }
  return true;
}

bool TCloudDataItem::ExecuteSQL(const std::string& sql, std::span<const host::SqlValue> params) {
  return FDataBase->Execute(sql, params);
}

std::string TCloudDataItem::GetFields() { return fmt::format("{}", fmt::join(FFields, ",")); }

std::string TCloudDataItem::GetTableFields() { return fmt::format("{}", fmt::join(FReport->Table.Fields, ",")); }

const host::SqlValue* TCloudDataItem::Cell(int row, int column) const {
  if (row < 0 || column < 0 || row >= static_cast<int>(FRows.size()) || column >= static_cast<int>(FFields.size()))
    return nullptr;
  return &FRows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

int TCloudDataItem::ColumnOf(const std::string& field) const {
  for (std::size_t i = 0; i < FFields.size(); ++i)
    if (SameTextAscii(FFields[i], field)) return static_cast<int>(i);
  return -1;
}

int TCloudDataItem::ValueAsInt(int row, int column) {
  const auto* cell = Cell(row, column);
  return cell ? CellInt(*cell) : 0;
}
int TCloudDataItem::ValueAsInt(int row, const std::string& field) { return ValueAsInt(row, ColumnOf(field)); }

double TCloudDataItem::ValueAsDouble(int row, int column) {
  const auto* cell = Cell(row, column);
  return cell ? CellDouble(*cell) : 0.0;
}
double TCloudDataItem::ValueAsDouble(int row, const std::string& field) { return ValueAsDouble(row, ColumnOf(field)); }

std::string TCloudDataItem::ValueAsString(int row, int column) {
  const auto* cell = Cell(row, column);
  return cell ? CellText(*cell) : std::string{};
}
std::string TCloudDataItem::ValueAsString(int row, const std::string& field) {
  return ValueAsString(row, ColumnOf(field));
}

int TCloudDataItem::GetIndexType(const std::string& field) {
  const auto& table = FReport->Table;
  for (std::size_t i = 0; i < table.Fields.size() && i < table.FieldTypes.size(); ++i)
    if (SameTextAscii(table.Fields[i], field)) return table.FieldTypes[i];
  return 0;
}

int TCloudDataItem::GetColType(int column) {
  return column >= 0 && column < static_cast<int>(FFields.size())
             ? GetIndexType(FFields[static_cast<std::size_t>(column)])
             : 0;
}

bool TCloudDataItem::GetChinaBondValue(int row) { return ValueAsInt(row, "ChinaBondValueFlag") == 1; }

bool TCloudDataItem::IsIndexAuthorized(int row, int column) {
  return GetColType(column) != kChinaBondValuationType || GetChinaBondValue(row);
}

}  // namespace kdp
