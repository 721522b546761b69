#include "cloud/cloud_report_item.h"

#include <string>

#include <gtest/gtest.h>

#include "config_files.h"
#include "fixed_calendar.h"
#include "kdp/host/ansi.h"
#include "kdp/host/serializer.h"

namespace kdp::testing {
namespace {

const FixedCalendar kCalendar(*host::DateTime::FromYyyymmddHhmmss(20261204, 103000), 20261204);

TKrCloudReportItem Report(TCloudReportType type, std::string command,
                          std::initializer_list<std::pair<const char*, const char*>> params) {
  TKrCloudReportItem item;
  item.ReportType = type;
  item.Command = std::move(command);
  for (const auto& [name, value] : params) item.AddParam(name, value);
  return item;
}

TEST(CloudReportItemTest, RequestTextOfEveryReportType) {
  struct Case {
    const char* what;
    TKrCloudReportItem item;
    const char* chinese;
    const char* english;
  };
  const Case cases[] = {
      {"rtLux replaces the first $name of each parameter, ignoring case, then $tradeDate",
       Report(TCloudReportType::rtLux, R"({"code":"$KORACODE","again":"$koraCode","date":"$tradeDate"})",
              {{"koraCode", "600000.SH"}}),
       R"({"code":"600000.SH","again":"$koraCode","date":"20261204"})",
       R"({"code":"600000.SH","again":"$koraCode","date":"20261204"})"},
      {"rtksv quotes each option",
       Report(TCloudReportType::rtksv, "'Fund.RankList'", {{"fundType", "1"}, {"top", "20"}}),
       "ksv('Fund.RankList','fundType=1','top=20')", "ksv('Fund.RankList','fundType=1','top=20','lan=en')"},
      {"rtksv without options", Report(TCloudReportType::rtksv, "'Fund.RankList'", {}), "ksv('Fund.RankList')",
       "ksv('Fund.RankList','lan=en')"},
      {"rtKSD replaces values in place; a name must start a word; absent names are not added",
       Report(TCloudReportType::rtKSD, "KSD('Bond.Week','startDate=20260101','date=1','endDate=20260131')",
              {{"date", "7"}, {"ENDDATE", "20261129"}, {"missing", "x"}}),
       "KSD('Bond.Week','startDate=20260101','date=7','endDate=20261129')",
       "KSD('Bond.Week','startDate=20260101','date=7','endDate=20261129')"},
      {"rtKSD with a value running to the end",
       Report(TCloudReportType::rtKSD, "KSD(code=600000.SH", {{"code", "000001.SZ"}}), "KSD(code=000001.SZ",
       "KSD(code=000001.SZ"},
      {"rtKudsReportLux appends name=value, then the language",
       Report(TCloudReportType::rtKudsReportLux, "report name=Misc.RelatedSymbols", {{"koraCodes", "600000.SH"}}),
       "report name=Misc.RelatedSymbols koraCodes=600000.SH",
       "report name=Misc.RelatedSymbols koraCodes=600000.SH lan=en"},
      {"a type not in the list builds as rtKudsReportLux",
       Report(CloudReportTypeFromText("rtUnknown"), "report name=X", {{"a", "1"}, {"b", "2"}}), "report name=X a=1 b=2",
       "report name=X a=1 b=2 lan=en"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.item.GetRequestCmd({"CHS", kCalendar}), c.chinese);
    EXPECT_EQ(c.item.GetRequestCmd({"ENS", kCalendar}), c.english);
  }
  EXPECT_EQ(CloudReportTypeFromText("rtKSD"), TCloudReportType::rtKSD);
  EXPECT_EQ(CloudReportTypeFromText("rtksd"), TCloudReportType::rtNone);
}

TEST(CloudReportItemTest, TableIsCreatedOnceAndACodeWithAQuoteIsStoredIntact) {
  ScratchDir dir;
  auto db = host::OpenDB(dir.File("cloud.db"));
  ASSERT_TRUE(db);
  TKrCloudReportItem item;
  item.Table.Name = "FundNav";
  item.Table.Fields = {"KoraCode", "TradeDate", "NetValue"};
  item.Table.Indexs = {"KoraCode", "TradeDate"};
  item.Table.MainKey = "PRIMARY KEY(KORACODE,TRADEDATE)";
  item.Table.Lock = std::make_shared<std::mutex>();
  ASSERT_TRUE(item.CreateReportTable(*db));
  EXPECT_TRUE(item.Table.Created);
  EXPECT_EQ(item.GetInsertQuery(), "INSERT OR REPLACE INTO FundNav VALUES($KoraCode,$TradeDate,$NetValue);");

  const std::string hostile = "O'Neil'); DROP TABLE FundNav; --";
  for (const auto& row : {std::vector<host::SqlValue>{hostile, std::int64_t{20261204}, 1.25},
                          std::vector<host::SqlValue>{hostile, std::int64_t{20261204}, 1.5},
                          std::vector<host::SqlValue>{std::string("000001.OF"), std::int64_t{20261204}, 2.0}})
    ASSERT_TRUE(db->Execute(item.GetInsertQuery(), row)) << db->GetLastError();

  // The main key replaced the first row. The item creates its table once; a second item dropping the
  // table empties it.
  ASSERT_TRUE(item.CreateReportTable(*db));
  auto count = [&] { return db->Query("SELECT COUNT(*) FROM FundNav")->GetAsInt64(0); };
  EXPECT_EQ(count(), 2);
  auto dropping = *item.Colne();
  dropping.Table.Created = false;
  dropping.Table.bDrop = true;
  ASSERT_TRUE(dropping.CreateReportTable(*db));
  EXPECT_EQ(count(), 0);
}

// (A server the host lists is the HTTP road's tests'.)
TEST(CloudReportItemTest, AServerTheHostDoesNotListIsRefusedWithAMessage) {
  TestHost h;
  TKrCloudReportItem item;
  item.ServerAlia = "NOSUCHSERVER";
  std::string host, message;
  int port = 0;
  EXPECT_FALSE(item.GetServerInfo(host, port, message));
  EXPECT_EQ(message, "找不到cloud数据服务器!");
}

}  // namespace
}  // namespace kdp::testing
