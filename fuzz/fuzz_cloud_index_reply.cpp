// Cloud index replies written into a command's cache table. The first input byte chooses whether the
// reply answers a function set (values named by function text, filed under two field IDs) or a report
// command (values named by field ID); the rest is the reply with its status byte. A refused reply must say
// why and leave the table's rows exactly as they were; an accepted one never removes a row.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "cloud/cloud_command_item.h"
#include "cloud/cloud_index_request.h"
#include "kdp/host/sqlite.h"

namespace {

// The table's rows as one text, in key order.
std::string Contents(kdp::host::ISqliteDataBase& db) {
  std::string text;
  auto rows = db.Query(
      "SELECT quote(KoraCode), quote(IndexName), quote(IndexValue), quote(Authorized), quote(UpdateDate) "
      "FROM IndexConfig1 ORDER BY 1, 2");
  if (!rows) __builtin_trap();
  for (; !rows->Eof(); rows->Next()) {
    for (int c = 0; c < 5; ++c) text += rows->GetAsString(c) + "|";
    text += "\n";
  }
  return text;
}

std::int64_t RowCount(kdp::host::ISqliteDataBase& db) {
  return db.Query("SELECT COUNT(*) FROM IndexConfig1")->GetAsInt64(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const auto db = [] {
    auto opened = kdp::host::OpenDB(":memory:");
    kdp::TKrCloudCommandItem item;
    item.TableName = "IndexConfig1";
    if (!kdp::CreateCommandTable(item, *opened)) __builtin_trap();
    return opened;
  }();
  db->ExecSQL(
      "DELETE FROM IndexConfig1;"
      "INSERT INTO IndexConfig1 VALUES('600000.SH', '10001', '1.5', 1, '20261204103000'),"
      "('O''Neil.N', '10002', NULL, 0, '20261204103000');");
  static const kdp::TIndexFunctionIds kFunctions{{"f(KoraCode)", {"10001", "10002"}}};
  static const kdp::TIndexFunctionIds kNone;

  const std::string before = Contents(*db);
  const std::int64_t countBefore = RowCount(*db);
  const auto result = kdp::SaveIndexReply(std::span(data + 1, size - 1), "IndexConfig1",
                                          (data[0] & 1) ? kFunctions : kNone, "20261204110000", *db);
  if (result.count < 0) {
    if (result.why.empty() || Contents(*db) != before) __builtin_trap();  // says why and changes nothing
    return 0;
  }
  if (RowCount(*db) < countBefore) __builtin_trap();
  return 0;
}
