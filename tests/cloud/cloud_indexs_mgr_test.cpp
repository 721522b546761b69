// The cloud index manager on the stand-in host: subscriptions grouped into the built-in commands'
// requests, values delivered to the observer that asked (and on refresh to every observer of the code),
// permission reports, the refresh timer, and the key-ratio command's "kcb" parameter.
#include "cloud/cloud_indexs_mgr.h"

#include <chrono>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/package_lookup.h"
#include "kdp/host/kuds.h"
#include "test_host.h"

namespace kdp::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
constexpr auto kDeadline = 10s;
constexpr int kServerDay = 20261204;

// What one observer heard.
struct Heard {
  std::vector<TSpeedQuoteData> rows;
  std::vector<TCloudPermissionInfo> denied;
  // The value delivered last for (code, id); NaN when none was.
  double Value(const std::string& code, std::uint32_t id) const {
    double value = std::nan("");
    for (const auto& row : rows) {
      if (row.FKoraCode != code) continue;
      for (std::size_t i = 0; i < row.FItemArray.size(); ++i)
        if (row.FItemArray[i] == id) value = std::get<double>(row.FValueArray[i]);
    }
    return value;
  }
  std::size_t Values() const {
    std::size_t n = 0;
    for (const auto& row : rows) n += row.FItemArray.size();
    return n;
  }
};

// The stand-in cloud service's value of an indicator (or function) for a code on the server's day.
double Expected(const std::string& code, const std::string& index) {
  return std::stod(minihost::SimCloudService::IndicatorValue(code, index, kServerDay));
}

class CloudIndexsMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(h->StartPackage());
    manager = G_QueryInterface<IKrCloudIndexsMgr>("IKrCloudIndexsMgr");
    ASSERT_NE(manager, nullptr);
    impl = dynamic_cast<TKrCloudIndexsMgr*>(manager.get());
    ASSERT_NE(impl, nullptr);
  }
  std::shared_ptr<IKrCloudDataRequest> Request(Heard& heard) {
    auto observer = std::make_shared<TKrCloudObserver>(
        [&heard](const std::vector<TSpeedQuoteData>& rows) {
          heard.rows.insert(heard.rows.end(), rows.begin(), rows.end());
        },
        [&heard](const TCloudPermissionInfo& denied) { heard.denied.push_back(denied); });
    std::shared_ptr<IKrCloudDataRequest> request;
    EXPECT_TRUE(manager->GetCloudDataRequestByIObserver(observer, request));
    return request;
  }
  std::vector<std::string> ReportCommands() {
    std::vector<std::string> commands;
    for (const auto& line : h->Logger().Records())
      if (line.message.starts_with("SendLuxCloudReportRequest AData:")) commands.push_back(line.message);
    return commands;
  }
  bool RunUntil(const std::function<bool()>& done) { return h->Loop().RunUntil(done, kDeadline); }

  TestHost h;
  std::shared_ptr<IKrCloudIndexsMgr> manager;
  TKrCloudIndexsMgr* impl = nullptr;
};

TEST_F(CloudIndexsMgrTest, FieldsAreGroupedByCommandAndDeliveredToTheObserverThatAsked) {
  Heard a, b;
  auto requestA = Request(a);
  auto requestB = Request(b);
  EXPECT_NE(requestA->GetDataRequestID(), requestB->GetDataRequestID());
  // 10001 and 11421 are KSS fields (command 1000), 10005 is on the fund page (command 1), 11030 a key ratio
  // (command 17); quote fields are not the manager's.
  ASSERT_EQ(requestA->Subscrible({{"600000.SH", {3, 10001, 10005, 11421}}, {"000688.SH", {11030, 10001}}}), 0);
  EXPECT_EQ(impl->CommandOfIndex(10005), 1);
  EXPECT_EQ(impl->CommandOfIndex(11030), 17);
  EXPECT_EQ(impl->CommandOfIndex(11421), 1000);
  // One KSS request for both codes, one fund-page request, one key-ratio request.
  EXPECT_THAT(ReportCommands(),
              ElementsAre(HasSubstr("LCommand:report name=F5.Handicap.FundInfo21 koraCode=600000.SH "),
                          HasSubstr("LCommand:report name=F5.IndexKeyRatios KoraCode=000688.SH kcb=1 "),
                          HasSubstr("LCommand:KSS('000688.SH,600000.SH','KSS_MainNetInflow(KoraCode),s_dq_close(")));

  ASSERT_TRUE(RunUntil([&] { return a.Values() >= 5; }));
  h->Loop().RunUntilIdle();
  EXPECT_EQ(a.Values(), 5u);  // exactly the cloud fields asked, per code
  EXPECT_EQ(a.Value("600000.SH", 10005), Expected("600000.SH", "10005"));
  EXPECT_EQ(a.Value("000688.SH", 11030), Expected("000688.SH", "11030"));
  EXPECT_EQ(a.Value("600000.SH", 10001), Expected("600000.SH", "KSS_MainNetInflow(KoraCode)"));
  EXPECT_TRUE(std::isnan(a.Value("600000.SH", 3)));
  EXPECT_TRUE(b.rows.empty());
  EXPECT_TRUE(a.denied.empty());
}

TEST_F(CloudIndexsMgrTest, KeyRatiosCarryKcbOneOnlyForTheBoardsOwnIndexes) {
  Heard heard;
  auto request = Request(heard);
  ASSERT_EQ(request->Subscrible(
                {{"000688.SH", {11030}}, {"000680.SH", {11030}}, {"000300.SH", {11030}}, {"000001.SH", {11030}}}),
            0);
  EXPECT_THAT(ReportCommands(),
              ElementsAre(HasSubstr("KoraCode=000001.SH kcb=0 "), HasSubstr("KoraCode=000300.SH kcb=0 "),
                          HasSubstr("KoraCode=000680.SH kcb=1 "), HasSubstr("KoraCode=000688.SH kcb=1 ")));
  // 000300.SH's values come back not authorized: a permission report instead of a value.
  ASSERT_TRUE(RunUntil([&] { return heard.Values() == 3 && heard.denied.size() == 1; }));
  EXPECT_EQ(heard.denied[0], (TCloudPermissionInfo{{"000300.SH", {"11030"}}}));
  EXPECT_TRUE(std::isnan(heard.Value("000300.SH", 11030)));
}

TEST_F(CloudIndexsMgrTest, RefreshTimerRunsWhileARealTimeFieldIsSubscribed) {
  Heard quotes, stubs, other;
  auto realTime = Request(quotes);
  auto stubOnly = Request(stubs);
  auto elsewhere = Request(other);
  // No cloud field: nothing sent, no timer.
  ASSERT_EQ(realTime->Subscrible({{"600000.SH", {3, 8}}}), 0);
  EXPECT_TRUE(ReportCommands().empty());
  EXPECT_FALSE(impl->IsRefreshTimerEnabled());
  // 10003 is a matrix field of cloud type 0: asked once, never refreshed.
  ASSERT_EQ(stubOnly->Subscrible({{"600000.SH", {10003}}}), 0);
  EXPECT_EQ(ReportCommands().size(), 1u);
  EXPECT_FALSE(impl->IsRefreshTimerEnabled());
  // 10001 is real-time.
  ASSERT_EQ(realTime->Subscrible({{"600000.SH", {10001}}}), 0);
  ASSERT_EQ(elsewhere->Subscrible({{"600000.SH", {10001, 10002}}}), 0);
  EXPECT_TRUE(impl->IsRefreshTimerEnabled());
  ASSERT_TRUE(RunUntil([&] { return !quotes.rows.empty() && other.Values() == 2; }));
  const std::size_t sentBefore = ReportCommands().size();

  // Each refresh asks the real-time fields again and delivers them to every observer of the code, each
  // getting only what it subscribed.
  quotes.rows.clear();
  other.rows.clear();
  stubs.rows.clear();
  h->Loop().AdvanceBy(44s);
  EXPECT_EQ(ReportCommands().size(), sentBefore);
  h->Loop().AdvanceBy(1s);
  ASSERT_EQ(ReportCommands().size(), sentBefore + 1);
  EXPECT_THAT(ReportCommands().back(), HasSubstr("LCommand:KSS('600000.SH','KSS_MainNetInflow(KoraCode),"
                                                 "KSS_MainNetInflowRatio(KoraCode)')"));
  ASSERT_TRUE(RunUntil([&] { return !quotes.rows.empty() && other.Values() == 2; }));
  EXPECT_EQ(quotes.Values(), 1u);
  EXPECT_EQ(quotes.Value("600000.SH", 10001), Expected("600000.SH", "KSS_MainNetInflow(KoraCode)"));
  EXPECT_TRUE(stubs.rows.empty());

  // The last real-time subscriptions go: the timer stops and nothing more is sent.
  ASSERT_EQ(realTime->UnSubscribe(), 0);
  EXPECT_TRUE(impl->IsRefreshTimerEnabled());
  manager->RemoveCloudDataRequest(elsewhere->GetDataRequestID());
  EXPECT_FALSE(impl->IsRefreshTimerEnabled());
  h->Loop().RunUntilIdle();
  const std::size_t after = ReportCommands().size();
  h->Loop().AdvanceBy(5min);
  EXPECT_EQ(ReportCommands().size(), after);
  // Unless every cloud field is refreshed: then the stub field counts too.
  manager->SetIsRequestingAllCloudIndex(true);
  EXPECT_TRUE(impl->IsRefreshTimerEnabled());
}

TEST_F(CloudIndexsMgrTest, FailedRequestsDeliverNothingAndRemovedObserversHearNothing) {
  Heard heard, removed;
  auto request = Request(heard);
  auto gone = Request(removed);
  h->Lux()->SetAnswer(minihost::SimLuxClient::Answer::kError);
  ASSERT_EQ(request->Subscrible({{"600000.SH", {10005}}}), 0);
  ASSERT_TRUE(
      RunUntil([&] { return h->Logger().Contains("OnCloudDataUpdate unsuccessful ARet = False; CommandID:1"); }));
  EXPECT_TRUE(heard.rows.empty());

  h->Lux()->SetAnswer(minihost::SimLuxClient::Answer::kReply);
  ASSERT_EQ(gone->Subscrible({{"600000.SH", {10005}}}), 0);
  manager->RemoveCloudDataRequest(gone->GetDataRequestID());
  EXPECT_EQ(gone->Subscrible({{"600000.SH", {10005}}}), 0);  // the manager forgot it: nothing asked
  h->Loop().AdvanceBy(1s);
  h->Loop().RunUntilIdle();
  EXPECT_TRUE(removed.rows.empty());

  // A send that fails once is answered by its backup request: the observer hears its values.
  Heard retried;
  auto again = Request(retried);
  h->Lux()->AnswerNext(minihost::SimLuxClient::Answer::kError);
  ASSERT_EQ(again->Subscrible({{"600000.SH", {10005}}}), 0);
  ASSERT_TRUE(RunUntil([&] { return retried.Values() > 0; }));
  EXPECT_TRUE(h->Logger().Contains("SendRequestBak KoraCodeList: 600000.SH"));
  EXPECT_EQ(retried.Value("600000.SH", 10005), Expected("600000.SH", "10005"));
}

}  // namespace
}  // namespace kdp::testing
