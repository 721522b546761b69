// The package's quote-engine session: user ID, configuration cache, connection state, the per-security
// history provider and the request group.
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "kdp/host/data_table.h"
#include "kdp/speed/speed_data_provider.h"
#include "kdp/speed/speed_session.h"
#include "scripted_speed.h"
#include "sim_speed.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::HistoryReply;
using testing::TestHost;

TEST(SpeedConfigTest, UserIDComesFromTheFirstIPv4Address) {
  struct Case {
    std::vector<std::string> addresses;
    const char* id;
  };
  const Case cases[] = {
      {{"10.1.2.3", "192.168.0.9"}, "kora1#0203"},
      {{"192.168.255.255"}, "kora1#FFFF"},
      {{"172.16.0.7"}, "kora1#0007"},
      {{}, "kora1#0101"},          // no resolvable address
      {{"10.1.2"}, "kora1#0101"},  // not four parts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    int calls = 0;
    TKrSpeedConfig config([&] {
      ++calls;
      return c.addresses;
    });
    EXPECT_EQ(config.GetSpeedUserID(), c.id);
    EXPECT_EQ(config.GetSpeedUserID(), c.id);
    EXPECT_EQ(calls, 1);  // the addresses are collected once
  }
  EXPECT_EQ(TKrSpeedConfig().GetSpeedUserID().rfind("kora1#", 0), 0u);  // the machine's own address
}

// How many codes the cache holds, and that a cached code does not count again, is read back where the
// engine asks about a page of codes.
TEST(SpeedConfigTest, AMissingSecurityIsRememberedInTheCache) {
  TestHost h;
  TKrSpeedConfig config([] { return std::vector<std::string>{}; });
  EXPECT_EQ(config.GetSecurity("NOSUCH.SH"), nullptr);
  EXPECT_EQ(config.CachedSecurityCount(), 1u);
}

TEST(SpeedConfigTest, SectorQuestionsFromTheEngine) {
  TestHost h;
  TKrSpeedConfig config([] { return std::vector<std::string>{}; });
  // The A/H pairs come from the related-securities service, which the configuration is handed on the
  // main thread; before that it answers as without one (it never looks services up itself).
  EXPECT_EQ(config.GetMemberTotal("HQ_AH_ASECTOR"), 0);
  EXPECT_EQ(config.GetMember("HQ_AH_ASECTOR", 0), "600000.SH");
  EXPECT_EQ(h->Names().GetIntf("IRelatedSymbol"), nullptr);
  config.PrepareSources();
  EXPECT_EQ(config.GetMember("IND.LIQUOR", 1), "600809.SH");
  EXPECT_EQ(config.GetMember("IND.LIQUOR", 99), "600000.SH");
  EXPECT_EQ(config.GetMember("NO_SUCH_SECTOR", 0), "600000.SH");
  EXPECT_EQ(config.GetMemberTotal("IND.LIQUOR"), 5);
  // The A/H sectors are the pairs of the related-securities table.
  EXPECT_GT(config.GetMemberTotal("HQ_AH_ASECTOR"), 3);
  std::vector<std::string> a_shares, h_shares;
  for (int i = 0; i < config.GetMemberTotal("HQ_AH_ASECTOR"); ++i) {
    a_shares.push_back(config.GetMember("HQ_AH_ASECTOR", i));
    h_shares.push_back(config.GetMember("HQ_AH_HSECTOR", i));
  }
  ASSERT_NE(std::find(a_shares.begin(), a_shares.end(), "601318.SH"), a_shares.end());
  const auto pos = std::find(a_shares.begin(), a_shares.end(), "601318.SH") - a_shares.begin();
  EXPECT_EQ(h_shares[static_cast<std::size_t>(pos)], "02318.HK");  // pairs line up by index
  EXPECT_EQ(config.GetMember("HQ_AH_ASECTOR", 999), "600000.SH");
  EXPECT_EQ(config.GetMember("经济业务专用板块", 0), "600000.SH");
  // The user's own sectors answer their members as the host's sector master holds them.
  EXPECT_EQ(config.GetMemberTotal("MY_WATCHLIST"), 8);
  EXPECT_EQ(config.GetMember("MY_WATCHLIST", 2), "000001.SZ");
  EXPECT_EQ(config.GetMemberTotal("my_hk"), 4);
  EXPECT_EQ(config.GetMember("MY_HK", 3), "01810.HK");
  EXPECT_EQ(config.GetMemberTotal("DEFAULT_USER_SECTOR_ID"), 8);  // the watch list by its standing name
  EXPECT_EQ(config.IsSystemSector("HQ_AH_ASECTOR"), 0);
  EXPECT_EQ(config.IsSystemSector("MY_WATCHLIST"), 0);  // the user's own sector
  EXPECT_EQ(config.IsSystemSector("CUSTOM_ROOT"), 0);
  EXPECT_EQ(config.IsSystemSector("SH_A"), -1);
  EXPECT_EQ(config.GetClientType(), 80);
}

TEST(SpeedConfigTest, TradeTimeIsWhatTheTradeDateManagerGives) {
  TestHost h;
  TKrSpeedConfig config([] { return std::vector<std::string>{}; });
  ASSERT_TRUE(h->StartPackage());
  // The trade date manager is handed over on the main thread; until then the engine hears no sessions.
  EXPECT_EQ(config.GetTradeTime("600000.SH"), "");
  config.PrepareSources();
  std::vector<std::string> times;
  std::thread([&] {  // the engine asks from its own thread
    for (const char* code : {"600000.SH", "00700.HK", "AU2702.SHF", "AAPL.O", "USDCNY.FX", "NOSUCH.XX"}) {
      times.push_back(config.GetTradeTime(code));
    }
  })
      .join();
  // Hong Kong with the lunch break, New York in the market's own zone; the hard-coded exchange rate has no
  // host security, so the manager has nothing to go on.
  EXPECT_EQ(times, (std::vector<std::string>{"930,1130,1300,1500", "930,1200,1300,1600",
                                             "2100,230,900,1015,1030,1130,1330,1500", "930,1600", "", ""}));
}

TEST(SpeedCallBackTest, ConnectionStateAndStatusLogging) {
  TestHost h;
  TKrSpeedCallBack callback;
  EXPECT_TRUE(callback.IsConnected());  // before the first notification
  EXPECT_EQ(callback.NotifyConnect(10054), 0);
  EXPECT_FALSE(callback.IsConnected());
  callback.NotifyConnect(0);
  EXPECT_TRUE(callback.IsConnected());

  callback.NotifyLEDChange(-1);  // the status starts at -1: no change, nothing logged
  EXPECT_FALSE(h->Logger().Contains("SPEED_DISCONNECTED"));
  callback.NotifyLEDChange(1);
  callback.NotifyLEDChange(-1);
  callback.NotifyLEDChange(-1);
  EXPECT_EQ(h->Logger().CountContaining("[==SpeedState==]   SPEED_DISCONNECTED"), 1u);

  std::vector<int> heard;
  callback.SetStatusHandler([&](host::IInterface* sender, int status) {
    EXPECT_EQ(sender, &callback);
    heard.push_back(status);
  });
  callback.NotifyLEDChange(1);
  callback.NotifyLEDChange(-1);
  EXPECT_EQ(heard, (std::vector<int>{1, -1}));
  EXPECT_EQ(h->Logger().CountContaining("SPEED_DISCONNECTED"), 1u);  // the handler hears it instead
}

TEST(SpeedSessionTest, AttachesToTheEngineAndFollowsItsConnection) {
  TestHost h;
  auto session = G_GetHQSpeedImpl();
  EXPECT_EQ(G_GetHQSpeedImpl(), session);
  EXPECT_EQ(session->GetUserID().rfind("kora1#", 0), 0u);
  ASSERT_NE(session->GetHQSpeed(), nullptr);
  h->Speed()->SyncNow();  // the engine reads the configuration and connects on its thread
  EXPECT_TRUE(session->GetConnected());
  EXPECT_EQ(session->CallBack()->GetStatus(), 1);
  EXPECT_TRUE(h->Logger().Contains("quote engine login as " + session->GetUserID()));

  std::vector<int> statuses;
  std::mutex lock;
  session->SetOnUpdataSpeedStatus([&](host::IInterface*, int status) {
    std::lock_guard guard(lock);
    statuses.push_back(status);
  });

  // Listeners hear each change on the main loop, stamped with the server time it was reported at.
  std::vector<TKrSpeedConnection> heard;
  const int listener = session->AddConnectionListener([&](const TKrSpeedConnection& connection) {
    EXPECT_TRUE(h->Loop().IsMainThread());
    heard.push_back(connection);
  });
  const host::DateTime start = h->Context().GetServerDateTime();
  h->Speed()->SimulateDisconnect();
  h->Speed()->SyncNow();
  EXPECT_FALSE(session->GetConnected());
  EXPECT_TRUE(heard.empty());
  EXPECT_TRUE(session->Connection().Connected);  // the main loop has not heard yet
  h->Loop().RunUntilIdle();
  h.Clock().Advance(std::chrono::seconds(30));
  h->Speed()->SimulateReconnect();
  h->Speed()->SyncNow();
  EXPECT_TRUE(session->GetConnected());
  h->Loop().RunUntilIdle();
  const std::vector<TKrSpeedConnection> expected{{false, start}, {true, start.AddSeconds(30)}};
  ASSERT_EQ(heard.size(), 2u);
  for (std::size_t i = 0; i < heard.size(); ++i) {
    EXPECT_EQ(heard[i].Connected, expected[i].Connected);
    EXPECT_NEAR(heard[i].Since.value, expected[i].Since.value, 0.5 / 86400);
  }
  EXPECT_TRUE(session->Connection().Connected);
  // A change after the listener is removed tells nobody.
  session->RemoveConnectionListener(listener);
  h->Speed()->SimulateDisconnect();
  h->Speed()->SyncNow();
  h->Loop().RunUntilIdle();
  EXPECT_EQ(heard.size(), 2u);
  EXPECT_FALSE(session->Connection().Connected);
  std::lock_guard guard(lock);
  EXPECT_EQ(statuses, (std::vector<int>{-1, 1, -1}));
}

TEST(SpeedSessionTest, WithoutAnEngineEverythingDegrades) {
  TestHost h([](minihost::HostSettings& s) { s.quoteEngine = false; });
  auto session = G_GetHQSpeedImpl();
  EXPECT_EQ(session->GetHQSpeed(), nullptr);
  EXPECT_TRUE(session->GetConnected());  // only the call-back's view, which starts connected
  TKrHQSpeedDataProvider provider;
  std::shared_ptr<host::IParamSerialSet> params;
  EXPECT_FALSE(provider.GetIParamSeriaSetByReqID(3040, params));
  EXPECT_EQ(provider.Request(params), 0);
  EXPECT_EQ(TKrHQSpeedDataRequestGroup().Request(), -1);
}

TEST(SpeedDataProviderTest, RepliesReachOnlyTheProviderOfTheirCode) {
  TestHost h;
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  h->Context().SetSpeed(engine);
  auto provider = std::make_unique<TKrHQSpeedDataProvider>();
  provider->SetKoraCode("600000.SH");
  std::vector<std::string> delivered;
  std::vector<int> responses;
  provider->SetOnHisData([&](const std::shared_ptr<host::IDataSet>& data, const std::string& code) {
    delivered.push_back(code + ":" + std::to_string(data->GetAsDataSet(0, 1)->GetRowCount()));
  });
  provider->SetOnResponse([&](int err, int returnID, int cmd, const std::string&) {
    responses.insert(responses.end(), {err, returnID, cmd});
  });
  ASSERT_EQ(engine->observers.size(), 1u);

  engine->observers[0]->SetData(HistoryReply("000001.SZ", 3));  // another security's reply
  engine->observers[0]->SetData(nullptr);
  EXPECT_TRUE(delivered.empty());
  EXPECT_FALSE(h->Logger().Contains("NotifyPID"));
  engine->observers[0]->SetData(HistoryReply("600000.SH", 3));
  EXPECT_EQ(delivered, (std::vector<std::string>{"600000.SH:3"}));
  EXPECT_TRUE(h->Logger().Contains("NotifyPID:42, Cmd:3001, KoraCode:600000.SH, DataCount:3"));
  engine->observers[0]->NotifyReqResponse(0, 42, 3001);
  EXPECT_EQ(responses, (std::vector<int>{0, 42, 3001}));
  EXPECT_TRUE(h->Logger().Contains("NotifyReqResponse, ErrCode:0, KoraCode:600000.SH, CmdID:3001, ReturnID:42"));

  // A widget's handler that throws is logged; the engine's call-back returns normally.
  provider->SetOnHisData(
      [](const std::shared_ptr<host::IDataSet>&, const std::string&) { throw std::runtime_error("chart not ready"); });
  EXPECT_EQ(engine->observers[0]->SetData(HistoryReply("600000.SH", 2)), 0);
  EXPECT_TRUE(h->Logger().Contains("SetData failed: chart not ready"));

  // After the provider is gone the engine's late reply reaches nothing.
  auto observer = engine->observers[0];
  provider.reset();
  observer->SetData(HistoryReply("600000.SH", 1));
  EXPECT_EQ(delivered.size(), 1u);
}

TEST(SpeedDataProviderTest, RequestsAreLoggedWithTheirDetailAndGroupsHonourTheSwitchFile) {
  const std::string bin = testing::MakeTempDir();
  {
    TestHost h([&](minihost::HostSettings& s) { s.binDir = bin; });
    TKrHQSpeedDataProvider provider;
    std::shared_ptr<host::IParamSerialSet> params;
    ASSERT_TRUE(provider.GetIParamSeriaSetByReqID(3050, params));
    params->SetValue("SectorName", "IND.BANK");
    params->SetValue("KoraCode", "600000.SH");
    const int pid = provider.Request(params);
    EXPECT_GT(pid, 0);
    EXPECT_TRUE(h->Logger().Contains("RequestPID:" + std::to_string(pid) +
                                     ", AIGroup:0, ReqDetail:CmdID:3050 KoraCode:600000.SH Count: SubFlag:"));

    TKrHQSpeedDataRequestGroup group;
    ASSERT_NE(group.GetIGroup(), nullptr);
    provider.GetIParamSeriaSetByReqID(3050, params);
    provider.Request(params, group.GetIGroup());
    EXPECT_EQ(group.Request(), 1);
    EXPECT_TRUE(h->Logger().Contains("Send Combin Packet req"));

    std::ofstream(bin + "/NoHisCombin.txt") << "";
    provider.Request(params, group.GetIGroup());
    EXPECT_EQ(group.Request(), -1);  // combining is switched off: nothing is sent
  }
  std::filesystem::remove_all(bin);
}

}  // namespace
}  // namespace kdp
