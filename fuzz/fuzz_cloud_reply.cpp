// Cloud report replies decoded into a report's cache table. The first input byte chooses the report's
// kind (a "B1" frame or a plain stream) and whether it appends; the rest is the reply. Decoding either
// refreshes the table with exactly the rows it reports, or fails with a reason and leaves the table's rows
// exactly as they were.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "cloud/cloud_reply_decoder.h"
#include "kdp/host/sqlite.h"

namespace {

using kdp::TKrCloudReportItem;

// The table's rows as one text, in key order.
std::string Contents(kdp::host::ISqliteDataBase& db) {
  std::string text;
  auto rows = db.Query("SELECT quote(KORACODE), quote(TRADEDATE), quote(NETVALUE) FROM FundNav ORDER BY 1, 2, 3");
  if (!rows) __builtin_trap();
  for (; !rows->Eof(); rows->Next()) text += rows->GetAsString(0) + rows->GetAsString(1) + rows->GetAsString(2) + "\n";
  return text;
}

std::int64_t RowCount(kdp::host::ISqliteDataBase& db) {
  return db.Query("SELECT COUNT(*) FROM FundNav")->GetAsInt64(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const auto db = kdp::host::OpenDB(":memory:");
  static TKrCloudReportItem report = [] {
    TKrCloudReportItem item;
    item.Table.Name = "FundNav";
    item.Table.Fields = {"KoraCode", "TradeDate", "NetValue"};
    item.Table.Lock = std::make_shared<std::mutex>();
    return item;
  }();
  db->ExecSQL(
      "DROP TABLE IF EXISTS FundNav; CREATE TABLE FundNav (KORACODE, TRADEDATE, NETVALUE);"
      "INSERT INTO FundNav VALUES('000001.OF', 20261203, 2.5), ('O''Neil.OF', 20261203, NULL);");
  report.ReportType = (data[0] & 1) ? kdp::TCloudReportType::rtB1 : kdp::TCloudReportType::rtNone;
  report.Table.bAppend = (data[0] & 2) != 0;

  const std::string before = Contents(*db);
  const std::int64_t countBefore = RowCount(*db);
  const auto result = kdp::DecodeReplyIntoTable(report, std::span(data + 1, size - 1), *db);
  if (!result.ok()) {
    if (result.message().empty() || Contents(*db) != before) __builtin_trap();  // a failure says why and changes nothing
    return 0;
  }
  const std::int64_t expected = result.value() + (report.Table.bAppend ? countBefore : 0);
  if (RowCount(*db) != expected) __builtin_trap();
  return 0;
}
