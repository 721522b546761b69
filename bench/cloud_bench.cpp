// A cloud report's reply decoded and written into its cache table against a raw prepared-insert loop, in
// one transaction each, interleaved (see bench_host.h): 10,000 rows of five columns (code, date, two
// values, a Chinese name). The measured side reads the report stream (names arrive in code page 936), checks
// its shape, deletes the old rows and inserts every row through the report's insert statement; the baseline
// deletes and inserts the same rows, already decoded, through a prepared statement of its own. Both tables
// live in one database file with the same columns and key.
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "cloud/cloud_reply_decoder.h"
#include "kdp/host/kuds.h"
#include "paired_timing.h"

namespace {

using namespace kdp;

constexpr int kRows = 10'000;

struct CloudTables {
  std::filesystem::path dir;
  std::shared_ptr<host::ISqliteDataBase> db;
  TKrCloudReportItem report;
  host::MemoryStream reply;
  std::vector<std::vector<host::SqlValue>> rows;

  CloudTables() {
    dir = std::filesystem::temp_directory_path() / fmt::format("kdp-cloud-bench-{}", ::getpid());
    std::filesystem::create_directories(dir);
    db = host::OpenDB((dir / "cloud.db").string());
    report.Table.Name = "CloudNav";
    report.Table.Fields = {"KoraCode", "TradeDate", "UnitNetValue", "AccumNetValue", "FundName"};
    report.Table.MainKey = "PRIMARY KEY(KORACODE,TRADEDATE)";
    report.Table.Lock = std::make_shared<std::mutex>();
    report.CreateReportTable(*db);
    db->ExecSQL(
        "CREATE TABLE IF NOT EXISTS RawNav (KORACODE,TRADEDATE,UNITNETVALUE,ACCUMNETVALUE,FUNDNAME,"
        "PRIMARY KEY(KORACODE,TRADEDATE));");

    host::TKUDSWriter writer("F5.Fundamental.FundNetValueHistory21");
    writer.AddColumn("KoraCode", host::TKUDSColumnType::kString);
    writer.AddColumn("TradeDate", host::TKUDSColumnType::kInt32);
    writer.AddColumn("UnitNetValue", host::TKUDSColumnType::kDouble);
    writer.AddColumn("AccumNetValue", host::TKUDSColumnType::kDouble);
    writer.AddColumn("FundName", host::TKUDSColumnType::kString);
    for (int i = 0; i < kRows; ++i) {
      const std::string code = fmt::format("{:06}.OF", i / 20);
      const std::int32_t date = 20261101 + i % 20;
      const double unit = 1.0 + (i % 997) / 1000.0;
      const double accum = unit + 0.5;
      const std::string name = fmt::format("稳健增长混合基金{}号", i / 20);
      writer.AddRecord({code, date, unit, accum, name});
      rows.push_back({code, std::int64_t{date}, unit, accum, name});
    }
    reply = writer.Finish();
  }
  ~CloudTables() {
    db.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

void RawInsertLoop(CloudTables& t) {
  t.db->BeginTransaction();
  t.db->ExecSQL("DELETE FROM RawNav");
  auto insert = t.db->Prepare("INSERT OR REPLACE INTO RawNav VALUES(?,?,?,?,?)");
  for (const auto& row : t.rows) insert->Execute(row);
  t.db->Commit();
}

void BM_CloudReplyIntoTable(benchmark::State& state) {
  CloudTables tables;
  int written = 0;
  bench::Interleave(
      state, [&] { RawInsertLoop(tables); },
      [&] {
        const auto result = DecodeReplyIntoTable(tables.report, {tables.reply.Data(), tables.reply.Size()}, *tables.db);
        written = result.ok() ? result.value() : 0;
      });
  if (written != kRows) state.SkipWithError("the reply was not written whole");
  state.counters["rows"] = written;
}
BENCHMARK(BM_CloudReplyIntoTable)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
