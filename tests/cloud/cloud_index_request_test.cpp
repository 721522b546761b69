// Index requests on the stand-in host: values asked through the Lux client, answered by the stand-in cloud
// service, cached in the command's table and read back; the freshness rules, failures that leave the
// table alone, and the function sets.
#include "cloud/cloud_index_request.h"

#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cloud/cloud_command_analysis.h"
#include "core/host_lookups.h"
#include "kdp/host/kuds.h"
#include "test_host.h"

namespace kdp::testing {
namespace {

using namespace std::chrono_literals;
constexpr auto kDeadline = 10s;
constexpr int kServerDay = 20261204;  // the test host's server date

// The stand-in cloud service's value of an indicator (or function) for a code on a day.
std::string Value(const std::string& code, const std::string& index, int day = kServerDay) {
  return minihost::SimCloudService::IndicatorValue(code, index, day);
}

struct End {
  bool success;
  std::uint32_t tag;
  int count;
};

class IndexRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(h->StartPackage()); }

  std::unique_ptr<TKrIndexRequest> MakeRequest(int command) {
    auto request = std::make_unique<TKrIndexRequest>(command, G_GetSqliteDataBase());
    request->SetOnDownLoadEnd([this](bool success, std::uint32_t tag, int count, const IIndexDataItem*) {
      ends.push_back({success, tag, count});
    });
    return request;
  }
  int ReportsSent() { return h->Lux()->CountSent(host::kReportAppClass, host::kReportCommandID); }
  // Runs the loop until the n-th end event, with a deadline.
  void Settle(std::size_t n) {
    ASSERT_TRUE(h->Loop().RunUntil([&] { return ends.size() >= n; }, kDeadline));
  }
  // The end events so far, each "ok|fail <tag> <count>".
  std::string Ends() const {
    std::string text;
    for (const End& e : ends)
      text += fmt::format("{}{} {} {}", text.empty() ? "" : "; ", e.success ? "ok" : "fail", e.tag, e.count);
    return text;
  }
  std::string Cached(TKrIndexRequest& request, const std::string& code, const std::string& index) {
    TKrIndexDataItem item(request.GetCommandItem().TableName, {code}, {index});
    EXPECT_TRUE(item.PrepareData(*G_GetSqliteDataBase()));
    return item.ValueAsString(code, index);
  }

  TestHost h;
  std::vector<End> ends;
};

TEST_F(IndexRequestTest, ValuesAreCachedAndReadBackForTheCodesAsked) {
  auto request = MakeRequest(1);
  EXPECT_EQ(request->GetRequestClass().stubIndex, "10001");
  request->SetParams("000001.OF");
  request->FireRequest(41);
  EXPECT_TRUE(request->IsRequesting());
  Settle(1);
  EXPECT_FALSE(request->IsRequesting());
  EXPECT_EQ(Ends(), "ok 41 61");  // the fund page's 61 fields
  const auto* item = request->GetDataItem();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->ValueAsString("000001.OF", "10489"), Value("000001.OF", "10489"));
  EXPECT_TRUE(item->IsIndexAuthrized("000001.OF", "10489"));
  EXPECT_EQ(item->GetIndexUpdateDate("000001.OF", "10489"), "20261204103000");
  EXPECT_EQ(item->ValueAsString("000001.OF", "10222"), "");  // not a field of this command
  EXPECT_EQ(item->ValueAsString("000002.OF", "10489"), "");

  // A code holding a quote is bound, never spliced into the SQL text, so it round-trips intact.
  request->SetParams("O'NEIL.N");
  request->FireRequest(42);
  Settle(2);
  EXPECT_EQ(Ends(), "ok 41 61; ok 42 61");
  EXPECT_EQ(request->GetDataItem()->ValueAsString("O'NEIL.N", "10001"), Value("O'NEIL.N", "10001"));
  EXPECT_EQ(request->GetIndexUpdateDate("O'NEIL.N", "10001"), "20261204103000");

  // The base command has no freshness rule: the same code is asked again.
  request->SetParams("000001.OF");
  request->FireRequest(43);
  EXPECT_EQ(ReportsSent(), 3);
}

TEST_F(IndexRequestTest, UsTreasuryIsAnsweredFromTheTableForTenMinutes) {
  auto request = MakeRequest(7);
  EXPECT_EQ(request->GetRequestClass().className, "TUSTIndexRequest");
  request->SetParams("912828YK0.UST");
  EXPECT_FALSE(request->PickUpStubFromLocal());  // nothing cached yet
  request->FireRequest(1);
  Settle(1);
  EXPECT_EQ(ReportsSent(), 1);

  // Nine minutes later: the end event comes at once, from the table, and nothing is sent or received.
  h->Loop().AdvanceBy(9min);
  request->FireRequest(2);
  EXPECT_EQ(Ends(), "ok 1 11; ok 2 0");  // the report's 11 fields, then nothing
  EXPECT_EQ(ReportsSent(), 1);
  EXPECT_EQ(request->GetDataItem()->ValueAsString("912828YK0.UST", "10399"), Value("912828YK0.UST", "10399"));

  // Another code is not fresh.
  request->SetParams("912828ZT0.UST");
  request->FireRequest(3);
  EXPECT_EQ(ReportsSent(), 2);
  Settle(3);

  // Past ten minutes the first code is asked again.
  h->Loop().AdvanceBy(2min);
  request->SetParams("912828YK0.UST");
  request->FireRequest(4);
  EXPECT_EQ(ReportsSent(), 3);
  Settle(4);
}

// The grid of organization evaluations: a row per code asked, a column per field of the command
// (10035 to 10053, then 10395); rows written by one reply share the stub index's update date, which a
// pick-up from the table does not move. The command's values are fresh for one minute.
TEST_F(IndexRequestTest, GridCellsOfEveryKind) {
  auto request = MakeRequest(2);
  EXPECT_EQ(request->GetRowCount(), 0);
  EXPECT_EQ(request->GetGridValue(0, 0, 1), "");
  request->SetParams("019666.SH,000300.SH");
  request->FireRequest(1);
  Settle(1);
  ASSERT_EQ(Ends(), "ok 1 42");  // both codes, the stub and the 20 fields
  ASSERT_EQ(request->GetRowCount(), 2);
  ASSERT_EQ(request->GetColCount(), 20);
  const auto kind = [](TIndexGridKind k) { return static_cast<int>(k); };
  EXPECT_EQ(request->GetGridValue(0, 19, kind(TIndexGridKind::kValue)), Value("019666.SH", "10395"));
  EXPECT_EQ(request->GetGridValue(1, 0, kind(TIndexGridKind::kValue)), Value("000300.SH", "10035"));
  EXPECT_EQ(request->GetGridValue(7, 0, kind(TIndexGridKind::kFieldName)), "10035");
  EXPECT_EQ(request->GetGridValue(0, 19, kind(TIndexGridKind::kFieldName)), "10395");
  EXPECT_EQ(request->GetGridValue(1, 99, kind(TIndexGridKind::kCode)), "000300.SH");
  EXPECT_EQ(request->GetGridValue(1, 3, kind(TIndexGridKind::kUpdateDate)), "20261204103000");
  EXPECT_EQ(request->GetGridValue(0, 3, kind(TIndexGridKind::kAuthorized)), "1");
  EXPECT_EQ(request->GetGridValue(1, 3, kind(TIndexGridKind::kAuthorized)), "0");  // the service denies 000300.SH
  for (const auto& [row, column, k] : {std::tuple{2, 0, 0}, {-1, 0, 2}, {0, 20, 0}, {0, -1, 1}, {0, 0, 5}, {0, 0, -1}})
    EXPECT_EQ(request->GetGridValue(row, column, k), "") << row << "," << column << "," << k;

  // Answered from the table 50 seconds later: the same grid, the same update date.
  h->Loop().AdvanceBy(50s);
  request->FireRequest(2);
  EXPECT_EQ(Ends(), "ok 1 42; ok 2 0");
  EXPECT_EQ(ReportsSent(), 1);
  EXPECT_EQ(request->GetGridValue(0, 0, kind(TIndexGridKind::kUpdateDate)), "20261204103000");
  EXPECT_EQ(request->GetGridValue(1, 0, kind(TIndexGridKind::kValue)), Value("000300.SH", "10035"));
  // Asked again after the minute: the rows carry the new time.
  h->Loop().AdvanceBy(20s);
  request->FireRequest(3);
  EXPECT_EQ(ReportsSent(), 2);
  Settle(3);
  EXPECT_EQ(request->GetGridValue(0, 0, kind(TIndexGridKind::kUpdateDate)), "20261204103110");
}

// A send whose download fails is told unsuccessful, then sent once more, as it was (codes set since do not
// change it); the backup's outcome is told under the same tag. A failed backup ends the request: nothing
// more is sent and the table keeps its values; so does a reply that is cut, refused or missing.
TEST_F(IndexRequestTest, AFailedDownloadSendsExactlyOneBackupAndBadRepliesLeaveTheTable) {
  auto request = MakeRequest(3);
  request->SetParams("600000.SH");
  h->Lux()->AnswerNext(minihost::SimLuxClient::Answer::kError);
  request->FireRequest(1);
  request->SetParams("600004.SH");
  Settle(2);
  // The failure is told, then the backup's values (the report's 44 fields).
  EXPECT_EQ(Ends(), "fail 1 0; ok 1 44");
  ASSERT_EQ(ReportsSent(), 2);
  std::vector<std::string> sent;
  for (const auto& r : h->Lux()->SentRequests())
    if (r.commandWord == host::MakeLuxCommandWord(host::kReportAppClass, host::kReportCommandID))
      sent.push_back(r.query);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], sent[0]);
  EXPECT_THAT(sent[1], ::testing::HasSubstr("koraCode=600000.SH"));
  EXPECT_TRUE(h->Logger().Contains("SendRequestBak KoraCodeList: 600000.SH"));
  const std::string before = Cached(*request, "600000.SH", "10222");
  EXPECT_EQ(before, Value("600000.SH", "10222"));

  // The next day's values would differ; neither the send nor its backup brings them in.
  h->Loop().AdvanceBy(24h);
  h->Lux()->SetAnswer(minihost::SimLuxClient::Answer::kError);
  request->SetParams("600000.SH");
  request->FireRequest(2);
  Settle(4);
  EXPECT_EQ(Ends(), "fail 1 0; ok 1 44; fail 2 0; fail 2 0");
  EXPECT_EQ(ReportsSent(), 4);
  EXPECT_FALSE(request->IsRequesting());
  EXPECT_EQ(Cached(*request, "600000.SH", "10222"), before);

  // A reply cut half way through its records: refused whole, although its first records are readable.
  h->Lux()->SetAnswer(minihost::SimLuxClient::Answer::kDrop);
  request->FireRequest(3);  // the fifth send: sequence 5
  std::string full(
      h->CloudService().Answer("report name=Misc.F5SpeedBasic3 koraCode=600000.SH", kServerDay + 1)->AsStringView());
  full.resize(full.size() / 2);
  full.push_back(static_cast<char>(host::kKudsStatusOk));
  host::MemoryStream cut(full);
  request->OnDownLoadEnd(Status(), &cut, 5);
  EXPECT_EQ(Ends(), "fail 1 0; ok 1 44; fail 2 0; fail 2 0; fail 3 0");
  EXPECT_EQ(Cached(*request, "600000.SH", "10222"), before);
  EXPECT_FALSE(request->IsRequesting());

  // A reply the service marks as failed, and one without a reply.
  request->FireRequest(4);
  host::MemoryStream refused(std::string(full.begin(), full.end() - 1) + char(host::kKudsStatusFailed));
  request->OnDownLoadEnd(Status(), &refused, 6);
  request->FireRequest(5);
  request->OnDownLoadEnd(Status(), nullptr, 7);
  EXPECT_EQ(Ends(), "fail 1 0; ok 1 44; fail 2 0; fail 2 0; fail 3 0; fail 4 0; fail 5 0");
  EXPECT_EQ(Cached(*request, "600000.SH", "10222"), before);
}

// The ETF purchase and redemption command travels as a "PR" request to its own service.
TEST_F(IndexRequestTest, PurchaseRedemptionValuesComeOverThePRRoadAndUnknownCommandsSendNothing) {
  auto request = MakeRequest(27);
  request->SetParams("510300.SH");
  request->FireRequest(5);
  Settle(1);
  ASSERT_EQ(Ends(), "ok 5 6");
  EXPECT_EQ(h->Lux()->CountSent(host::kPRReportAppClass, host::kPRReportCommandID), 1);
  EXPECT_EQ(ReportsSent(), 0);
  EXPECT_EQ(request->GetDataItem()->ValueAsString("510300.SH", "10709"), Value("510300.SH", "10709"));

  // A command that is not built in sends nothing on any road.
  auto unknown = MakeRequest(77);
  EXPECT_TRUE(unknown->GetCommandItem().TableName.empty());
  unknown->SetParams("600000.SH");
  unknown->FireRequest(1);
  EXPECT_EQ(ReportsSent(), 0);
  EXPECT_EQ(h->Lux()->CountSent(host::kPRReportAppClass, host::kPRReportCommandID), 1);
  EXPECT_EQ(ends.size(), 1u);
  EXPECT_EQ(unknown->GetDataItem(), nullptr);
}

// A failed send of a function set is logged in the function sets' own words, then sent once more. (Values
// filed under their field IDs are the cloud index manager's tests'.)
TEST_F(IndexRequestTest, FunctionSetFailuresAreLoggedInTheirOwnWords) {
  auto request = MakeRequest(1000);
  EXPECT_EQ(request->GetRequestClass().className, "TKrKssFunctionRequestEx");
  auto& item = request->GetCommandItem();
  item.ClearMatrixIndex();
  for (int id : {10001, 11421, 11422}) item.AppendMatrixIndex(id);
  request->SetParams("600000.SH,000001.SZ");
  h->Lux()->AnswerNext(minihost::SimLuxClient::Answer::kError);
  request->FireRequest(10);
  Settle(2);
  EXPECT_EQ(Ends(), "fail 10 0; ok 10 6");
  EXPECT_TRUE(h->Logger().Contains("OnDownLoadEnd unsuccessful ARet = False osErrInfo:"));
  EXPECT_TRUE(h->Logger().Contains("; Index: 10001,11421,11422; KoraCodeList: 600000.SH,000001.SZ"));
  EXPECT_FALSE(h->Logger().Contains("CloudRequest Failed"));
}

// A reply as the service sends it: (code, function, value, authorized) records, then the status byte.
host::MemoryStream FunctionReply(const std::vector<std::tuple<std::string, std::string, std::string, int>>& values,
                                 std::uint8_t status = host::kKudsStatusOk) {
  host::TKUDSWriter writer("Matrix2");
  writer.AddColumn("KoraCode", host::TKUDSColumnType::kString);
  writer.AddColumn("IndexName", host::TKUDSColumnType::kString);
  writer.AddColumn("IndexValue", host::TKUDSColumnType::kString);
  writer.AddColumn("Authorized", host::TKUDSColumnType::kInt32);
  for (const auto& [code, function, value, authorized] : values)
    EXPECT_TRUE(writer.AddRecord({code, function, value, std::int32_t{authorized}}));
  std::string bytes(writer.Finish().AsStringView());
  bytes.push_back(static_cast<char>(status));
  return host::MemoryStream(bytes);
}

// The matrix function request with a grid of its own: a hand-built reply saved into the table shapes the
// grid (codes by functions) and reads back intact, a code holding a quote included; the table answers
// while every value asked was written on the server's day, and the server is asked again the next day.
// Field 10003 is "RS(KoraCode,20)", 11402 "s_pq_pctchange(KoraCode,StartDate,$CurMonth)".
TEST_F(IndexRequestTest, MatrixFunctionRequestExGridPickUpAndSaving) {
  TKrMatrixFunctionRequestEx request(G_GetSqliteDataBase());
  request.SetOnDownLoadEnd([this](bool success, std::uint32_t tag, int count, const IIndexDataItem*) {
    ends.push_back({success, tag, count});
  });
  request.GetCommandItem().ClearMatrixIndex();
  request.GetCommandItem().AppendMatrixIndex(10003);
  request.GetCommandItem().AppendMatrixIndex(11402);
  request.SetParams("O'NEIL.N,600000.SH");
  const std::string rs = "RS(KoraCode,20)", month = "s_pq_pctchange(KoraCode,20261201,20261204)";

  // A refused reply writes nothing and leaves no grid.
  EXPECT_EQ(request.SaveToSqlite(FunctionReply({{"O'NEIL.N", rs, "1.25", 1}}, host::kKudsStatusFailed)), -1);
  EXPECT_EQ(request.GetRowCount(), 0);
  // Not every value in the table yet: the server is asked.
  EXPECT_FALSE(request.PickUpStubFromLocal());

  ASSERT_EQ(request.SaveToSqlite(FunctionReply({{"O'NEIL.N", rs, "1.25", 1},
                                                {"O'NEIL.N", month, "-3.5", 1},
                                                {"600000.SH", rs, "0.8", 0},
                                                {"600000.SH", month, "12", 1},
                                                {"600000.SH", "s_other(KoraCode)", "7", 1}})),
            5);
  ASSERT_EQ(request.GetRowCount(), 2);
  ASSERT_EQ(request.GetColCount(), 2);
  EXPECT_EQ(request.GetGridItemValue(0, 0), "1.25");
  EXPECT_EQ(request.GetGridItemValue(0, 1), "-3.5");
  EXPECT_EQ(request.GetGridItemValue(1, 0), "0.8");
  EXPECT_EQ(request.GetGridItemValue(1, 1), "12");
  EXPECT_EQ(request.GetGridItemValue(2, 0), "");
  // Without a stub index a cell's update date is its own.
  EXPECT_EQ(request.GetGridValue(1, 1, static_cast<int>(TIndexGridKind::kUpdateDate)), "20261204103000");
  // Read back on its own, by the code with the quote.
  TKrIndexDataItem readBack("IndexConfig4", {"O'NEIL.N"}, {"11402"});
  ASSERT_TRUE(readBack.PrepareData(*G_GetSqliteDataBase()));
  EXPECT_DOUBLE_EQ(readBack.ValueAsDouble("O'NEIL.N", "11402"), -3.5);

  // Every value asked is today's: the end event comes at once and nothing is sent.
  request.FireRequest(7);
  EXPECT_EQ(Ends(), "ok 7 0");
  EXPECT_EQ(ReportsSent(), 0);
  EXPECT_TRUE(h->Logger().Contains("PickUpStubFromLocal True"));

  // The next day the server answers, with the month's range ending on the new server date.
  h->Loop().AdvanceBy(24h);
  request.FireRequest(8);
  EXPECT_EQ(ReportsSent(), 1);
  Settle(2);
  ASSERT_EQ(Ends(), "ok 7 0; ok 8 4");
  EXPECT_EQ(request.GetGridItemValue(0, 1),
            Value("O'NEIL.N", "s_pq_pctchange(KoraCode,20261201,20261205)", kServerDay + 1));
  EXPECT_EQ(request.GetGridValue(0, 1, static_cast<int>(TIndexGridKind::kUpdateDate)), "20261205103000");
}

// The host's calendar view takes a security's trading days from the trade date manager once its calendar
// arrived (asking starts the request); matrix functions then expand their trading-day macros from them:
// the server date is Friday 2026-12-04. (The trading days themselves are the trade date tests'.)
TEST_F(IndexRequestTest, TradingDayMacrosExpandOnceTheCalendarArrived) {
  THostCloudCalendar calendar;
  EXPECT_EQ(calendar.TradeDaysOf("600000.SH"), nullptr);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return calendar.TradeDaysOf("600000.SH") != nullptr; }, kDeadline));

  auto matrix = TKrCloudCommandAnalysis::GetInstance().GetCommandItemByID(100)->Colne();
  matrix->SetParamValue("KoraCode", "600000.SH");
  matrix->AppendMatrixIndex(11404);  // s_dq_close(KoraCode,$LastTradeDate)
  matrix->AppendMatrixIndex(11405);  // s_dq_turn(KoraCode,$TradeDateBef5)
  EXPECT_THAT(matrix->GetRequestCmd(TKrCloudCommandAnalysis::GetInstance().RequestContext()),
              ::testing::StartsWith("Matrix2 functions=s_dq_close(KoraCode,20261203);s_dq_turn(KoraCode,20261127) "));
}

}  // namespace
}  // namespace kdp::testing
