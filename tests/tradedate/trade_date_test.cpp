// The trade date manager on the stand-in host: calendars requested through the Lux client and answered
// from the sample report data, bad replies, trade date objects, zones and sessions.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/package_lookup.h"
#include "core/security_fake.h"
#include "kdp/host/kuds.h"
#include "kdp/tradedate/trade_date.h"
#include "test_host.h"
#include "tradedate/trade_date_item.h"
#include "tradedate/trade_date_mgr.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
constexpr auto kDeadline = 10s;

// The report requests for trading calendars: every report request but the cloud's related securities,
// which the package asks for on the same road when the related-securities table is first looked up.
int CalendarRequests(testing::TestHost& h) {
  const auto sent = h->Lux()->SentRequests();
  return static_cast<int>(std::count_if(sent.begin(), sent.end(), [](const minihost::SimLuxClient::SentRequest& r) {
    return r.commandWord == host::MakeLuxCommandWord(host::kReportAppClass, host::kReportCommandID) &&
           r.query.find("Misc.RelatedSymbols") == std::string::npos;
  }));
}

std::shared_ptr<host::IKrSecurity> FakeSecurity(const std::string& code) {
  auto security = std::make_shared<TKrSecurityFake>();
  security->SetKoraCode(code);
  return security;
}

// A temporary cross-section security over two legs.
class TempSecurity final : public host::Implements<host::IKrSecurity, host::IKrTempCSSecurity> {
 public:
  TempSecurity(std::string code, std::string leg1, std::string leg2)
      : code_(std::move(code)), leg1_(std::move(leg1)), leg2_(std::move(leg2)) {}
  std::string GetKoraCode() override { return code_; }
  std::string GetStockCode() override { return code_; }
  std::string GetStockName() override { return {}; }
  std::string GetStockType() override { return {}; }
  char GetListStatus() override { return host::kListStatusListed; }
  std::string GetExchange() override { return {}; }
  std::string GetCABName() override { return {}; }
  std::string GetENName() override { return {}; }
  std::string GetIPODate() override { return {}; }
  double GetIPOPrice() override { return 0; }
  int GetSuspensionTime() override { return 0; }
  std::string GetTradeSpan() override { return {}; }
  int GetCategory(int) override { return 0; }
  std::string GetCurrency() override { return {}; }
  double GetPriceStep() override { return 0.01; }
  std::string GetKoracode1() override { return leg1_; }
  std::string GetKoracode2() override { return leg2_; }

 private:
  std::string code_, leg1_, leg2_;
};

// Answers the temporary securities; the host's master answers every other code.
class TempSecurityService final : public host::Implements<host::IKrSecurityMgrHQ> {
 public:
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code) override {
    if (code == "TEMPCS1.UX") return std::make_shared<TempSecurity>(code, "600000.SH", "N225.GI");
    if (code == "TEMPCS2.UX") return std::make_shared<TempSecurity>(code, "AU2702.SHF", "600000.SH");
    return nullptr;
  }
  std::shared_ptr<host::IKrSecuritys> GetSecuritys(const std::vector<std::string>&) override { return nullptr; }
};

class TradeDateMgrTest : public ::testing::Test {
 protected:
  void Start() {
    ASSERT_TRUE(h->StartPackage());
    manager = G_QueryInterface<ITradeDateMgr>("ITradeDateMgr");
    ASSERT_NE(manager, nullptr);
  }
  // Waits until the Lux client made `n` deliveries in all, then runs the loop until nothing is left to do.
  bool Settle(int delivered) {
    const bool reached = h->Lux()->WaitForDeliveries(delivered, kDeadline);
    h->Loop().RunUntilIdle();
    return reached;
  }

  testing::TestHost h;
  std::shared_ptr<ITradeDateMgr> manager;
};

TEST_F(TradeDateMgrTest, CalendarIsRequestedOnceAndObserversHearOfIt) {
  Start();
  int heard = 0, heardByRemoved = 0;
  auto observer = std::make_shared<TTradeDateObserver>([&](bool arrived) { heard += arrived ? 1 : 100; });
  auto removed = std::make_shared<TTradeDateObserver>([&](bool) { ++heardByRemoved; });
  manager->SetTradeDateNotify(removed);
  manager->SetTradeDateNotify(observer);
  manager->SetTradeDateNotify(observer);  // registered already: keeps its serial
  manager->SetTradeDateNotify(nullptr);
  EXPECT_EQ(removed->GetReqSerialID(), 0);
  EXPECT_EQ(observer->GetReqSerialID(), 1);
  manager->DelTradeDateNotify(removed->GetReqSerialID());

  EXPECT_EQ(manager->GetTradeDateAll("600000.SH"), "");
  EXPECT_EQ(CalendarRequests(h), 1);
  // Another security of the same exchange, before the reply: nothing more is sent.
  EXPECT_EQ(manager->GetTradeDateAll("600036.SH"), "");
  EXPECT_EQ(CalendarRequests(h), 1);

  ASSERT_TRUE(h->Loop().RunUntil([&] { return heard > 0; }, kDeadline));
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(heardByRemoved, 0);
  // Server time is 2026-12-04: the calendar runs from 25 days before (2026-11-09) to 5 days after
  // (2026-12-09), trading days only: every weekday.
  EXPECT_EQ(manager->GetTradeDateAll("600000.SH"),
            "20261109,20261110,20261111,20261112,20261113,20261116,20261117,20261118,20261119,20261120,20261123,"
            "20261124,20261125,20261126,20261127,20261130,20261201,20261202,20261203,20261204,20261207,20261208,"
            "20261209");
  EXPECT_EQ(CalendarRequests(h), 1);

  // Shenzhen is another exchange with a calendar of its own.
  EXPECT_EQ(manager->GetTradeDateAll("000001.SZ"), "");
  EXPECT_EQ(CalendarRequests(h), 2);

  // A day later the calendar is asked for again; the old one stays until the reply replaces it.
  h->Loop().AdvanceBy(25h);
  auto item = manager->GetTradeDateIntf("600000.SH");
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->GetLoadState());
  EXPECT_EQ(manager->GetTradeDateAll("600000.SH"), "");
  EXPECT_EQ(CalendarRequests(h), 3);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return heard >= 3; }, kDeadline));
  // The reply keeps the date the calendar was first stored on: still a day old, the next call asks again.
  EXPECT_EQ(manager->GetTradeDateAll("600000.SH"), "");
  EXPECT_EQ(CalendarRequests(h), 4);
}

TEST_F(TradeDateMgrTest, FailedTransferKeepsTheExchangeOutstanding) {
  h->Lux()->SetAnswerFor(host::kReportAppClass, host::kReportCommandID, minihost::SimLuxClient::Answer::kError);
  Start();
  EXPECT_EQ(manager->GetTradeDateAll("600000.SH"), "");
  ASSERT_TRUE(Settle(1));
  h->Lux()->SetAnswer(minihost::SimLuxClient::Answer::kReply);
  h->Lux()->SetAnswerFor(host::kReportAppClass, host::kReportCommandID, minihost::SimLuxClient::Answer::kReply);
  EXPECT_EQ(manager->GetTradeDateAll("600000.SH"), "");
  EXPECT_EQ(CalendarRequests(h), 1);
}

// Replies that must leave the calendar as it was: none, an empty one, a zero status byte, a stream cut
// short, bytes that are no stream, a stream without a report.
TEST_F(TradeDateMgrTest, BadRepliesLeaveTheCalendarAsItWas) {
  Start();
  const std::string code = "600000.SH";
  host::TKUDSWriter writer("Misc.TradeDateList");
  writer.AddColumn("MarketCode", host::TKUDSColumnType::kString);
  writer.AddColumn("TradeDate", host::TKUDSColumnType::kString);
  ASSERT_TRUE(writer.AddRecord({std::string("SSE"), std::string("20261204")}));
  const std::string good(writer.Finish().AsStringView());
  const std::string ok(1, static_cast<char>(host::kKudsStatusOk));
  const std::string failed(1, static_cast<char>(host::kKudsStatusFailed));
  struct Reply {
    const char* what;
    bool hasStream;
    std::string bytes;
  };
  const std::vector<Reply> replies{
      {"no stream", false, {}},
      {"empty", true, {}},
      {"zero status", true, good + failed},
      {"cut short", true, good.substr(0, good.size() - 3) + ok},
      {"garbage", true, "not a report stream" + ok},
      {"no report", true, std::string(host::TKUDSWriter::WithoutReport(0, "").AsStringView()) + ok},
  };
  h->Lux()->SetAnswer(minihost::SimLuxClient::Answer::kDrop);  // the tests give the replies themselves
  for (const Reply& reply : replies) {
    SCOPED_TRACE(reply.what);
    auto mgr = std::make_shared<TKrTradeDateMgr>();
    int heard = 0;
    mgr->SetTradeDateNotify(std::make_shared<TTradeDateObserver>([&](bool) { ++heard; }));
    ASSERT_TRUE(mgr->RequestExchangeTradeDate("SSE", false));
    host::MemoryStream stream(reply.bytes);
    mgr->OnDownLoadEnd(Status(), reply.hasStream ? &stream : nullptr, 1);
    EXPECT_EQ(heard, 0);
    EXPECT_FALSE(mgr->GetTradeDateIntf(code)->GetLoadState());
    // The exchange stays outstanding: no second request.
    EXPECT_FALSE(mgr->RequestExchangeTradeDate("SSE", false));
  }

  // A stored calendar outlives a bad reply to its next request.
  auto mgr = std::make_shared<TKrTradeDateMgr>();
  ASSERT_TRUE(mgr->RequestExchangeTradeDate("SSE", false));
  host::MemoryStream goodReply(good + ok);
  mgr->OnDownLoadEnd(Status(), &goodReply, 99);  // no request of that tag
  EXPECT_FALSE(mgr->GetTradeDateIntf(code)->GetLoadState());
  mgr->OnDownLoadEnd(Status(), &goodReply, 1);
  EXPECT_EQ(mgr->GetTradeDateAll(code), "20261204");
  h->Loop().AdvanceBy(25h);
  EXPECT_EQ(mgr->GetTradeDateAll(code), "");  // a day old: asked again (tag 2)
  host::MemoryStream cutShort(replies[3].bytes);
  mgr->OnDownLoadEnd(Status(), &cutShort, 2);
  auto item = mgr->GetTradeDateIntf(code);
  EXPECT_TRUE(item->GetLoadState());
  EXPECT_EQ(item->GetLatestDate(), 20261204);
}

TEST_F(TradeDateMgrTest, ItemQueriesOnAShortCalendar) {
  Start();
  const auto security = FakeSecurity("CAL.TEST");
  const auto day = [](int yyyymmdd) { return *host::DateTime::FromYyyymmdd(yyyymmdd); };
  TKrTradeDateItem item({}, security, day(20240104).AddSeconds(3600), "20240102,20240103,20240105");
  EXPECT_TRUE(item.GetLoadState());
  EXPECT_EQ(item.GetKoraCode(), "CAL.TEST");
  EXPECT_EQ(item.GetLatestDate(), 20240103);
  EXPECT_EQ(item.GetCurTradeDateIndex(), 1);
  EXPECT_EQ(item.GetLatestDateBef(0), 20240103);
  EXPECT_EQ(item.GetLatestDateBef(1), 20240102);
  EXPECT_EQ(item.GetLatestDateBef(2), -1);
  EXPECT_EQ(item.GetLatestDateBef(-1), 20240105);
  EXPECT_EQ(item.GetBeforeDate(day(20240104)), -1);  // not a trading day
  EXPECT_EQ(item.GetBeforeDate(day(20240103)), 20240102);
  EXPECT_EQ(item.GetBeforeDate(day(20240102)), -1);  // the first one
  EXPECT_EQ(item.GetAfterDate(day(20240103)), 20240105);
  EXPECT_EQ(item.GetAfterDate(day(20240105)), -1);  // the last one
  EXPECT_EQ(item.GetLatestDatePeriod(0), std::vector<int>{20240103});
  EXPECT_EQ(item.GetLatestDatePeriod(2), (std::vector<int>{20240103, 20240102}));
  EXPECT_EQ(item.GetLatestDatePeriod(9), (std::vector<int>{20240103, 20240102}));

  item.SetLatestDate(20240106);  // a Saturday: the last trading day before it
  EXPECT_EQ(item.GetLatestDate(), 20240105);
  EXPECT_EQ(item.GetLatestDatePeriod(3), (std::vector<int>{20240105, 20240103, 20240102}));
  item.SetLatestDate(20231231);  // before the calendar: nothing changes
  EXPECT_EQ(item.GetLatestDate(), 20240105);

  // Before every listed day: the date stays, with no index.
  TKrTradeDateItem early({}, security, day(20240101), "20240102,20240103,20240105");
  EXPECT_EQ(early.GetLatestDate(), 20240101);
  EXPECT_EQ(early.GetLatestDateBef(0), -1);
  EXPECT_TRUE(early.GetLatestDatePeriod(1).empty());

  // A calendar as delivered out of order is scanned as it stands; an entry that is no date reads -1.
  TKrTradeDateItem unordered({}, security, day(20240104), "20240105,20240102,x,20240103");
  EXPECT_EQ(unordered.GetLatestDate(), 20240103);
  EXPECT_EQ(unordered.GetLatestDateBef(1), -1);
  EXPECT_EQ(unordered.GetLatestDateBef(2), 20240102);
  EXPECT_EQ(unordered.GetBeforeDate(day(20240102)), 20240105);
  EXPECT_EQ(unordered.GetAfterDate(day(20240105)), 20240102);
  // A trading day of its own: the last entry not after it is itself.
  TKrTradeDateItem onTradingDay({}, security, day(20240103), "20240105,20240102,x,20240103");
  EXPECT_EQ(onTradingDay.GetLatestDate(), 20240103);
}

TEST_F(TradeDateMgrTest, ItemLoadsLazilyAndFollowsTheRealTimeTradeDate) {
  Start();
  auto item = manager->GetTradeDateIntf("600000.SH");
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->GetLoadState());
  EXPECT_EQ(item->GetKoraCode(), "600000.SH");
  // Not loaded: calendar days, and a period of no days loads nothing.
  EXPECT_TRUE(item->GetLatestDatePeriod(0).empty());
  EXPECT_EQ(CalendarRequests(h), 0);
  EXPECT_EQ(item->GetBeforeDate(*host::DateTime::FromYyyymmdd(20261207)), 20261206);
  EXPECT_EQ(item->GetAfterDate(*host::DateTime::FromYyyymmdd(20261204)), 20261205);
  EXPECT_EQ(item->GetLatestDateBef(3), 20261201);  // 2026-12-04, three calendar days back
  EXPECT_EQ(CalendarRequests(h), 1);               // the query of three days asked for the calendar
  EXPECT_FALSE(item->GetLoadState());

  ASSERT_TRUE(h->Loop().RunUntil(
      [&] {
        item->GetLatestDateBef(1);
        return item->GetLoadState();
      },
      kDeadline));
  EXPECT_EQ(item->GetLatestDate(), 20261204);
  EXPECT_EQ(item->GetLatestDateBef(3), 20261201);  // Friday the 4th, three trading days back: Tuesday
  EXPECT_EQ(item->GetLatestDateBef(4), 20261130);
  EXPECT_EQ(item->GetBeforeDate(*host::DateTime::FromYyyymmdd(20261207)), 20261204);

  // The quote engine's trade date for the security moves the item back to it.
  item->SetLatestDate(20261130);
  h->Speed()->SyncNow();
  ASSERT_TRUE(h->Loop().RunUntil([&] { return item->GetLatestDate() == 20261204; }, kDeadline));
  EXPECT_EQ(item->GetLatestDatePeriod(2), (std::vector<int>{20261204, 20261203}));
}

TEST_F(TradeDateMgrTest, ZonesAndSessionsByCode) {
  h->Registry().RegisterService(host::IKrSecurityMgrHQ::IID, 0, std::make_shared<TempSecurityService>());
  Start();
  // A code without a security: no calendar, asked for or not, zone 8 and no sessions.
  EXPECT_EQ(manager->GetTradeDateIntf("NOSUCH.XX"), nullptr);
  EXPECT_EQ(manager->GetTradeDateAll("NOSUCH.XX"), "");
  EXPECT_EQ(manager->GetTradeZoneByKoraCode("NOSUCH.XX"), 8);
  EXPECT_TRUE(manager->GetMarketTime("NOSUCH.XX").empty());
  EXPECT_EQ(manager->GetTradeDateIntf(std::shared_ptr<host::IKrSecurity>()), nullptr);
  EXPECT_EQ(CalendarRequests(h), 0);

  auto mgr = std::dynamic_pointer_cast<TKrTradeDateMgr>(manager);
  ASSERT_NE(mgr, nullptr);
  // Tokyo's 9:00-11:30 and 12:30-15:30 are 8:00-10:30 and 11:30-14:30 in Shanghai.
  EXPECT_EQ(mgr->CombineMarketByCode("600000.SH", "N225.GI"), (std::vector<int>{930, 1030, 1300, 1430}));
  EXPECT_TRUE(mgr->CombineMarketByCode("600000.SH", "NOSUCH.XX").empty());
  // A temporary cross-section security trades when both its legs do, in its first leg's zone.
  EXPECT_EQ(manager->GetTradeZoneByKoraCode("TEMPCS1.UX"), 8);
  EXPECT_EQ(manager->GetMarketTime("TEMPCS1.UX"), (std::vector<int>{930, 1030, 1300, 1430}));
  // Night futures against a day market: the futures' day sessions come after their night, so nothing is
  // common, and the temporary security answers the sessions of its type instead.
  EXPECT_TRUE(mgr->CombineMarketByCode("AU2702.SHF", "600000.SH").empty());
  EXPECT_EQ(manager->GetMarketTime("TEMPCS2.UX"), (std::vector<int>{930, 1130, 1300, 1500}));
}

TEST(TradeDateMgrWithoutEngine, ZoneBelowMinusTwelveIsEight) {
  // Without a quote engine the trade rules answer no zone (-100): the manager answers 8.
  testing::TestHost h([](minihost::HostSettings& s) { s.quoteEngine = false; });
  ASSERT_TRUE(h->StartPackage());
  auto manager = G_QueryInterface<ITradeDateMgr>("ITradeDateMgr");
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->GetTradeZoneByKoraCode("AAPL.O"), 8);
}

}  // namespace
}  // namespace kdp
