#include "cloud/cloud_data_mgr.h"

#include <chrono>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cloud/cloud_command_analysis.h"
#include "cloud/cloud_reply_decoder.h"
#include "config_files.h"
#include "core/package_lookup.h"
#include "kdp/host/ansi.h"
#include "kdp/host/kuds.h"
#include "local_http_server.h"
#include "test_host.h"

namespace kdp::testing {
namespace {

using namespace std::chrono_literals;

// A report of the HTTP road: net values of funds, one row per fund and day.
constexpr const char* kNavReport = R"xml(<Report Name="FundNav" ServerAlia="KUDSDATASERVER" ServerUrlItem="KUDSDATA">
  <Table name="FundNav" Indexs="KoraCode" MainKey="PRIMARY KEY(KORACODE,TRADEDATE)">
    <Field name="KoraCode"/><Field name="TradeDate"/><Field name="NetValue"/>
  </Table></Report>)xml";
// The same rows into a table that keeps them across replies.
constexpr const char* kNavLogReport =
    R"xml(<Report Name="FundNavLog" ServerAlia="KUDSDATASERVER" ServerUrlItem="KUDSDATA">
  <Table name="FundNavLog" MainKey="PRIMARY KEY(KORACODE,TRADEDATE)" bAppend="true">
    <Field name="KoraCode"/><Field name="TradeDate"/><Field name="NetValue"/>
  </Table></Report>)xml";

struct Row {
  std::string code;
  int date;
  host::TKUDSValue value;  // std::monostate: a null the table may refuse
};

std::string NavStream(const std::vector<Row>& rows) {
  host::TKUDSWriter writer("F5.Fundamental.FundNav");
  writer.AddColumn("KoraCode", host::TKUDSColumnType::kString);
  writer.AddColumn("TradeDate", host::TKUDSColumnType::kInt32);
  writer.AddColumn("NetValue", host::TKUDSColumnType::kDouble);
  for (const auto& r : rows) EXPECT_TRUE(writer.AddRecord({r.code, std::int32_t{r.date}, r.value}));
  return std::string(writer.Finish().AsStringView());
}

struct Update {
  bool success;
  int tag;
  std::string message;
};

// What the server answers next: a body and a status, or a transfer cut half way.
struct Reply {
  std::string body;
  int status = 200;
  bool cutHalfWay = false;
};

class CloudDataMgrTest : public ::testing::Test {
 protected:
  CloudDataMgrTest()
      : h_([this](minihost::HostSettings& s) {
          Serve();
          s.servers["KUDSDATASERVER"] = server_.Address();
        }) {
    EXPECT_TRUE(h_->StartPackage());
    mgr_ = G_QueryInterface<ICloudDataMgr>("ICloudDataMgr");
    EXPECT_NE(mgr_, nullptr);
    EXPECT_TRUE(mgr_->DynamicAddReportItem(kNavReport));
    EXPECT_TRUE(mgr_->DynamicAddReportItem(kNavLogReport));
  }
  ~CloudDataMgrTest() override { h_->StopPackage(); }

  void Serve() {
    server_.Server().Post("/kuds/report", [this](const httplib::Request& req, httplib::Response& res) {
      Reply reply;
      Gate* hold = nullptr;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        bodies_.push_back(req.body);
        if (!replies_.empty()) {
          reply = std::move(replies_.front());
          replies_.pop_front();
        }
        hold = hold_;
      }
      if (hold != nullptr) hold->Pass();
      res.status = reply.status;
      if (!reply.cutHalfWay) {
        res.set_content(reply.body, "application/octet-stream");
        return;
      }
      const auto whole = reply.body.size();
      res.set_content_provider(
          whole, "application/octet-stream",
          [body = std::move(reply.body)](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset > 0) return false;  // the connection drops after the first half
            sink.write(body.data(), body.size() / 2);
            return true;
          });
    });
    server_.Start();
  }
  void Answer(Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back(std::move(reply));
  }
  std::vector<std::string> Bodies() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_;
  }

  std::shared_ptr<ICloudDataRequest> Request(const std::string& report) {
    auto request = mgr_->GetCloudDataRequest(report);
    EXPECT_NE(request, nullptr);
    request->SetOnCloudDataUpdate([this](bool success, int tag, const std::string& message) {
      updates_.push_back({success, tag, message});
    });
    return request;
  }
  int Fire(ICloudDataRequest& request, const std::string& code) {
    auto item = request.GetRequestItem();
    item->SetRequestParam("koraCode", code);
    return item->FireRequest();
  }
  bool AwaitUpdates(std::size_t count) {
    return h_->Loop().RunUntil([&] { return updates_.size() >= count; }, 10s);
  }
  // The first `columns` columns of each row the query gives (by default the whole table in key order),
  // joined as "code|date|value".
  std::vector<std::string> Rows(const std::string& report, std::string query = {}, int columns = 3) {
    auto item = mgr_->GetCloudDataItem(report);
    if (query.empty()) query = "SELECT * FROM " + item->GetTableName() + " ORDER BY KORACODE, TRADEDATE";
    EXPECT_TRUE(item->PrepareData(query, {}));
    std::vector<std::string> rows;
    for (int r = 0; r < item->GetRowCounts(); ++r) {
      std::string row = item->ValueAsString(r, 0);
      for (int c = 1; c < columns; ++c) row += "|" + item->ValueAsString(r, c);
      rows.push_back(row);
    }
    return rows;
  }

  // What the server's handlers touch is declared before the server, so that it outlives the handlers
  // still running for cancelled transfers when the test ends.
  std::mutex mutex_;  // guards replies_, bodies_ and hold_ (the server's threads and the test's)
  std::deque<Reply> replies_;
  std::vector<std::string> bodies_;
  Gate* hold_ = nullptr;  // when set, each handler waits at it: the transfer stays in flight
  LocalHttpServer server_;
  TestHost h_;
  std::shared_ptr<ICloudDataMgr> mgr_;
  std::vector<Update> updates_;
};

TEST_F(CloudDataMgrTest, AReplyReplacesTheTableAndReadsBackIntactEvenWithQuotesInCodes) {
  auto request = Request("FundNav");
  EXPECT_EQ(request->GetFields(), "KoraCode,TradeDate,NetValue");
  Answer({NavStream({{"O'Neil'); DROP TABLE FundNav; --", 20261203, 1.0125}, {"000001.OF", 20261203, 2.5}})});
  const int tag = Fire(*request, "O'Neil'); DROP TABLE FundNav; --");
  ASSERT_GE(tag, 0);
  ASSERT_TRUE(AwaitUpdates(1));
  EXPECT_TRUE(updates_[0].success) << updates_[0].message;
  EXPECT_EQ(updates_[0].tag, tag);
  // The body is the request text as ANSI behind its byte count.
  const std::string text = " koraCode=O'Neil'); DROP TABLE FundNav; --";
  ASSERT_EQ(Bodies().size(), 1u);
  EXPECT_EQ(Bodies()[0].substr(4), host::Utf8ToAnsi(text));
  EXPECT_EQ(Rows("FundNav"),
            (std::vector<std::string>{"000001.OF|20261203|2.5", "O'Neil'); DROP TABLE FundNav; --|20261203|1.0125"}));

  // A caller's query binds the code.
  auto item = mgr_->GetCloudDataItem("FundNav");
  const host::SqlValue code[] = {std::string("O'Neil'); DROP TABLE FundNav; --")};
  ASSERT_TRUE(item->PrepareData("SELECT NetValue FROM FundNav WHERE KoraCode = ?", code));
  ASSERT_EQ(item->GetRowCounts(), 1);
  EXPECT_DOUBLE_EQ(item->ValueAsDouble(0, 0), 1.0125);
  EXPECT_EQ(item->ValueAsInt(0, "NetValue"), 1);
  EXPECT_EQ(item->ValueAsString(0, "netvalue"), "1.0125");  // names match in any case
  EXPECT_EQ(item->ValueAsString(5, 0), "");

  // Without bAppend the next reply replaces every row.
  Answer({NavStream({{"000002.OF", 20261204, 0.98}})});
  Fire(*request, "000002.OF");
  ASSERT_TRUE(AwaitUpdates(2));
  EXPECT_TRUE(updates_[1].success);
  EXPECT_EQ(Rows("FundNav"), (std::vector<std::string>{"000002.OF|20261204|0.98"}));
  EXPECT_TRUE(h_->Logger().Contains("DecodeData RecCount:1"));
}

TEST_F(CloudDataMgrTest, AnAppendingReportKeepsRowsAndReplacesOnlyTheSameKey) {
  auto request = Request("FundNavLog");
  Answer({NavStream({{"000001.OF", 20261203, 2.5}, {"000001.OF", 20261204, 2.6}})});
  Answer({NavStream({{"000001.OF", 20261204, 2.61}, {"000002.OF", 20261204, 0.98}})});
  Fire(*request, "000001.OF");
  ASSERT_TRUE(AwaitUpdates(1));
  Fire(*request, "000001.OF,000002.OF");
  ASSERT_TRUE(AwaitUpdates(2));
  EXPECT_TRUE(updates_[0].success && updates_[1].success);
  EXPECT_EQ(Rows("FundNavLog"),
            (std::vector<std::string>{"000001.OF|20261203|2.5", "000001.OF|20261204|2.61", "000002.OF|20261204|0.98"}));

  // Two fires before the first reply: two tagged items, each completing (the rows' keys are apart, so
  // the order the replies come in does not matter).
  Answer({NavStream({{"000003.OF", 20261203, 2.5}})});
  Answer({NavStream({{"000004.OF", 20261203, 0.97}})});
  const int first = Fire(*request, "000003.OF");
  const int second = Fire(*request, "000004.OF");
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_NE(first, second);
  ASSERT_TRUE(AwaitUpdates(4));
  EXPECT_TRUE(updates_[2].success && updates_[3].success);
  EXPECT_EQ((std::set<int>{updates_[2].tag, updates_[3].tag}), (std::set<int>{first, second}));
  EXPECT_EQ(Rows("FundNavLog").size(), 5u);
}

TEST_F(CloudDataMgrTest, AFailedOrCorruptReplyLeavesTheTableExactlyAsItWas) {
  auto request = Request("FundNav");
  Answer({NavStream({{"000001.OF", 20261203, 2.5}, {"000002.OF", 20261203, 0.97}})});
  Fire(*request, "000001.OF");
  ASSERT_TRUE(AwaitUpdates(1));
  const std::vector<std::string> before = Rows("FundNav");
  ASSERT_EQ(before.size(), 2u);

  const std::string good = NavStream({{"000003.OF", 20261204, 1.1}, {"000004.OF", 20261204, 1.2}});
  host::TKUDSWriter twoColumns("F5.Fundamental.FundNav");
  twoColumns.AddColumn("KoraCode", host::TKUDSColumnType::kString);
  twoColumns.AddColumn("TradeDate", host::TKUDSColumnType::kInt32);
  ASSERT_TRUE(twoColumns.AddRecord({std::string("000003.OF"), std::int32_t{20261204}}));
  struct Case {
    const char* what;
    Reply reply;
    const char* logged;
  };
  const Case cases[] = {
      {"a server error status", {"busy", 503}, "数据下载失败！"},
      {"a transfer killed half way", {good, 200, true}, "数据下载失败！"},
      {"a truncated stream", {good.substr(0, good.size() - 5)}, "处理数据流失败DecodeData"},
      {"trailing bytes", {good + "x"}, "处理数据流失败DecodeData"},
      {"the wrong column count",
       {std::string(twoColumns.Finish().AsStringView())},
       "2 columns for the 3 fields of FundNav"},
      {"the server's error result",
       {std::string(host::TKUDSWriter::WithoutReport(7, "无权限").AsStringView())},
       "server error 7: 无权限"},
      {"a stream without a report",
       {std::string(host::TKUDSWriter::WithoutReport(0, "").AsStringView())},
       "the reply holds no report"},
      {"an empty reply", {""}, "处理数据流失败DecodeData"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto seen = updates_.size();
    Answer(c.reply);
    const int tag = Fire(*request, "000003.OF");
    ASSERT_TRUE(AwaitUpdates(seen + 1));
    EXPECT_FALSE(updates_.back().success);
    EXPECT_EQ(updates_.back().tag, tag);
    EXPECT_FALSE(updates_.back().message.empty());
    EXPECT_TRUE(h_->Logger().Contains(c.logged));
    EXPECT_EQ(Rows("FundNav"), before);
  }
}

// A "B1" report: its body goes to the report service, the reply comes in that road's form and lands in the
// report's table; a report the service does not know is refused behind the status byte, and the table
// keeps its rows. (The sample reports of the "PR" and Lux roads are the host's tour's; a report command to
// the report service is the command-line cloud report tests'.) The server date is Friday 2026-12-04.
TEST_F(CloudDataMgrTest, AB1ReportLandsInItsTableAndOneTheServiceDoesNotKnowIsRefused) {
  auto request = Request("BondIssuePlan");
  const int sent = h_->Lux()->CountSent(host::kReportAppClass, host::kReportCommandID);
  ASSERT_GE(request->GetRequestItem()->FireRequest(), 0);
  ASSERT_TRUE(AwaitUpdates(1));
  EXPECT_TRUE(updates_.back().success) << updates_.back().message;
  EXPECT_EQ(h_->Lux()->CountSent(host::kReportAppClass, host::kReportCommandID), sent + 1);
  EXPECT_THAT(h_->Lux()->SentRequests().back().query,
              ::testing::StartsWith("report name=Bond.IssuePlan startDate=20261201"));
  const std::string query = "SELECT * FROM BondIssuePlan ORDER BY KORACODE";
  EXPECT_EQ(Rows("BondIssuePlan", query, 2), (std::vector<std::string>{"019668.SH|20261204", "019669.SH|20261204",
                                                                       "102101.SZ|20261204", "102102.SZ|20261204"}));
  for (const std::string& row : Rows("BondIssuePlan", query)) EXPECT_FALSE(row.ends_with("|")) << row;

  ASSERT_TRUE(mgr_->DynamicAddReportItem(
      R"xml(<Report Name="IssuePlanUnknown" ServerAlia="KUDSDATASERVER" ReportType="rtB1">
        <Command name="report name=No.Such.Plan" commandid="3000" appid="1301"/>
        <Table name="BondIssuePlan"><Field name="KoraCode"/><Field name="IssueDate"/><Field name="PlanAmount"/></Table>
        </Report>)xml"));
  auto unknown = Request("IssuePlanUnknown");
  ASSERT_GE(unknown->GetRequestItem()->FireRequest(), 0);
  ASSERT_TRUE(AwaitUpdates(2));
  EXPECT_FALSE(updates_.back().success);
  EXPECT_TRUE(h_->Logger().Contains("Clould报表LUX数据请求失败DecodeData: IssuePlanUnknown answered no report"));
  auto table = mgr_->GetCloudDataItem("BondIssuePlan");
  ASSERT_TRUE(table->PrepareData());
  EXPECT_EQ(table->GetRowCounts(), 4);
}

TEST_F(CloudDataMgrTest, AbortedAndReleasedRequestsReportNothing) {
  Gate& held = server_.NewGate();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = &held;
  }
  auto request = Request("FundNav");
  auto item = request->GetRequestItem();
  ASSERT_GE(item->FireRequest(), 0);
  ASSERT_TRUE(held.WaitForArrivals(1, 10s));
  EXPECT_TRUE(item->Abort()) << "the transfer is held at the server, so the host cancels it";
  EXPECT_FALSE(item->Abort()) << "nothing is in flight any more";
  Fire(*request, "000001.OF");
  ASSERT_TRUE(held.WaitForArrivals(2, 10s));
  request.reset();  // released with a transfer in flight
  ASSERT_TRUE(h_->Downloads().WaitUntilIdle(10s));
  h_->Loop().RunUntilIdle();
  EXPECT_TRUE(updates_.empty());
  EXPECT_FALSE(item->IsBlock());
  held.Open();

  EXPECT_EQ(mgr_->GetCloudDataRequest("NoSuchReport"), nullptr);
  EXPECT_EQ(mgr_->GetCloudDataItem("NoSuchReport"), nullptr);
  EXPECT_TRUE(h_->Logger().Contains("Cloud Report config NOT Found! NoSuchReport"));
  EXPECT_FALSE(mgr_->DynamicAddReportItem("<Reports/>"));
  EXPECT_FALSE(mgr_->DynamicAddReportItem("<Report Name=\"X\"><Table name=\"a b\"><F name=\"c\"/></Table></Report>"));
  EXPECT_TRUE(mgr_->IsCloudSector("高股息"));
  EXPECT_EQ(mgr_->GetReportNameBySectorName("高股息"), "HighDividendSector");
}

// A row the table refuses after the delete ran: the transaction puts the old rows back.
TEST(CloudReplyDecoderTest, ARowRefusedAfterTheDeleteRollsTheWholeRefreshBack) {
  ScratchDir dir;
  auto db = host::OpenDB(dir.File("c.db"));
  ASSERT_TRUE(db);
  ASSERT_TRUE(db->ExecSQL("CREATE TABLE FundNav (KORACODE, TRADEDATE, NETVALUE NOT NULL)"));
  TKrCloudReportItem report;
  report.Table.Name = "FundNav";
  report.Table.Fields = {"KoraCode", "TradeDate", "NetValue"};
  report.Table.Lock = std::make_shared<std::mutex>();
  ASSERT_TRUE(report.CreateReportTable(*db));  // keeps the existing table

  const std::string first = NavStream({{"000001.OF", 20261203, 2.5}});
  auto result = DecodeReplyIntoTable(report, {reinterpret_cast<const std::uint8_t*>(first.data()), first.size()}, *db);
  ASSERT_TRUE(result.ok()) << result.message();
  EXPECT_EQ(result.value(), 1);

  const host::MemoryStream second(NavStream({{"000002.OF", 20261204, 1.0}, {"000003.OF", 20261204, std::monostate{}}}));
  result = DecodeReplyIntoTable(report, {second.Data(), second.Size()}, *db);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.kind(), ErrorKind::kStorage);
  EXPECT_NE(result.message().find("row 1"), std::string::npos) << result.message();
  auto rows = db->Query("SELECT KORACODE FROM FundNav");
  ASSERT_TRUE(rows && !rows->Eof());
  EXPECT_EQ(rows->GetAsString(0), "000001.OF");
  EXPECT_FALSE(rows->Next());

  // A "B1" report's frame that is not one fails before the table is touched.
  report.ReportType = TCloudReportType::rtB1;
  const auto framed = host::EncodeB1Reply({second.Data(), second.Size()}, true);
  const auto bad = std::string(framed.AsStringView()).substr(0, 10);
  result = DecodeReplyIntoTable(report, {reinterpret_cast<const std::uint8_t*>(bad.data()), bad.size()}, *db);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.kind(), ErrorKind::kUnreadable);
  EXPECT_NE(result.message().find("Clould报表LUX数据请求失败DecodeData"), std::string::npos) << result.message();
}

}  // namespace
}  // namespace kdp::testing
