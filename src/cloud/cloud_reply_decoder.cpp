#include "cloud/cloud_reply_decoder.h"

#include <fmt/format.h>

#include "kdp/host/kuds.h"

namespace kdp {
namespace {

// Stores a cell in a bound value, reusing the text buffer the value already holds.
void AssignCell(const host::TKUDSValue& cell, host::SqlValue& value) {
  if (const auto* text = std::get_if<std::string>(&cell)) {
    if (auto* held = std::get_if<std::string>(&value))
      held->assign(*text);
    else
      value = *text;
  } else if (const auto* i32 = std::get_if<std::int32_t>(&cell)) {
    value = std::int64_t{*i32};
  } else if (const auto* i64 = std::get_if<std::int64_t>(&cell)) {
    value = *i64;
  } else if (const auto* real = std::get_if<double>(&cell)) {
    value = *real;
  } else {
    value = nullptr;
  }
}

Status Unreadable(std::string_view step, std::string_view detail) {
  return {ErrorKind::kUnreadable, fmt::format("{}: {}", step, detail)};
}

// Deletes (unless appending) and inserts every record; the caller's transaction makes it all or nothing.
Result<int> WriteRows(const TKrCloudReportItem& report, const host::TKUDSReport& rows,
                      host::ISqliteDataBase& database) {
  const auto& table = report.Table;
  if (!table.bAppend && !database.ExecSQL("DELETE FROM " + table.Name))
    return Status(ErrorKind::kStorage, database.GetLastError());
  const auto insert = database.Prepare(report.GetInsertQuery());
  if (!insert) return Status(ErrorKind::kStorage, database.GetLastError());
  std::vector<host::SqlValue> values(table.Fields.size());
  for (int record = 0; record < rows.GetRecordCount(); ++record) {
    for (int column = 0; column < rows.GetColumnCount(); ++column)
      AssignCell(rows.GetValue(record, column), values[static_cast<std::size_t>(column)]);
    if (!insert->Execute(values))
      return Status(ErrorKind::kStorage, fmt::format("row {}: {}", record, database.GetLastError()));
  }
  return rows.GetRecordCount();
}

}  // namespace

Result<int> DecodeReplyIntoTable(const TKrCloudReportItem& report, std::span<const std::uint8_t> reply,
                                 host::ISqliteDataBase& database) {
  host::MemoryStream unwrapped;
  std::string error;
  if (report.ReportType == TCloudReportType::rtB1) {
    if (!host::DecodeToKudsStream(reply, unwrapped, error))
      return Unreadable("Clould报表LUX数据请求失败DecodeData", error);
    reply = {unwrapped.Data(), unwrapped.Size()};
  }
  host::TKUDSResponse response;
  constexpr std::string_view kStreamStep = "处理数据流失败DecodeData";
  if (!response.Decode(reply, error)) return Unreadable(kStreamStep, error);
  if (response.GetResult() != 0)
    return Unreadable(kStreamStep, fmt::format("server error {}: {}", response.GetResult(), response.GetMessage()));
  const std::string rowsStep = fmt::format("数据解析错误! {}", report.Name);
  const auto* rows = response.GetReport();
  if (!rows) return Unreadable(rowsStep, "the reply holds no report");
  if (static_cast<std::size_t>(rows->GetColumnCount()) != report.Table.Fields.size())
    return Unreadable(rowsStep, fmt::format("{} columns for the {} fields of {}", rows->GetColumnCount(),
                                            report.Table.Fields.size(), report.Table.Name));

  std::lock_guard<std::mutex> lock(*report.Table.Lock);
  if (!database.BeginTransaction()) return Status(ErrorKind::kStorage, database.GetLastError());
  auto result = WriteRows(report, *rows, database);
  if (result.ok() && !database.Commit()) result = Status(ErrorKind::kStorage, database.GetLastError());
  if (!result.ok()) database.Rollback();
  return result;
}

}  // namespace kdp
