// The stand-in quote engine: the fields a push carries, queued pushes it drops, pushes ending with the
// subscription, a drop the clock jumps past, requests let go, configuration calls from its own thread, and
// history commands answered on its thread. Most of its snapshots and connection switching are the
// package's RTD tests'.
#include "sim_speed.h"

#include <thread>

#include <gtest/gtest.h>

#include "kdp/host/ansi.h"
#include "kdp/host/data_table.h"
#include "test_host.h"

namespace kdp::minihost {
namespace {

using namespace std::chrono_literals;

class TestConfig final : public host::Implements<host::IConfig> {
 public:
  std::string GetSpeedUserID() override { return "kora1#0203"; }
  int GetBondPriceType() override { return 0; }
  std::string GetTradeTime(const std::string&) override { return "930,1130,1300,1500"; }
  std::string GetStockType(const std::string&) override { return "A"; }
};

// The package's side of the engine: its data request's observer and the engine's call-back.
class RecordingObserver final : public host::Implements<host::IObserver, host::ICallBack> {
 public:
  int SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) override {
    quotes.push_back(data->GetAsDataSet(0, 1));
    return 0;
  }
  int SetData(const std::shared_ptr<host::IDataSet>& data) override {
    std::lock_guard lock(mutex);
    replies.push_back(data);
    reply_thread = std::this_thread::get_id();
    return 0;
  }
  int NotifyReqResponse(int err, int returnID, int cmd) override {
    std::lock_guard lock(mutex);
    responses.push_back({err, returnID, cmd});
    return 0;
  }
  const void* GetQEStatus() override { return nullptr; }
  int NotifyHisData(int, int) override { return 0; }
  std::shared_ptr<host::IConfig> GetIConfig() override { return config; }
  int NotifyConnect(int code) override {
    connect_codes.push_back(code);
    return 0;
  }
  int NotifyLEDChange(int status) override {
    leds.push_back(status);
    return 0;
  }

  std::size_t ReplyCount() {
    std::lock_guard lock(mutex);
    return replies.size();
  }

  std::vector<std::shared_ptr<host::IDataSet>> quotes;  // each push's body
  std::mutex mutex;                                     // history replies arrive on the engine's thread
  std::vector<std::shared_ptr<host::IDataSet>> replies;
  std::vector<std::array<int, 3>> responses;
  std::thread::id reply_thread;
  std::shared_ptr<TestConfig> config = std::make_shared<TestConfig>();
  std::vector<int> connect_codes;  // written on the engine's thread, read after SyncNow
  std::vector<int> leds;
};

struct EngineTest : ::testing::Test {
  testing::TestHost h;
  SimSpeed& engine = *h->Speed();
  std::shared_ptr<RecordingObserver> observer = std::make_shared<RecordingObserver>();

  void Connect() {
    engine.SetCallBack(observer);
    engine.SyncNow();
  }
};

// A snapshot leaves out codes without values and carries texts in code page 936. Pushes still queued for
// the main loop are dropped when the request subscribes again.
TEST_F(EngineTest, QueuedPushesOfAnOldSubscriptionAreDropped) {
  Connect();
  auto request = engine.CreateDataRequest(observer);
  ASSERT_EQ(request->Subscribe({{"600000.sh", {3, 11}}, {"NOSUCH.SH", {3}}}), 0);
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  ASSERT_EQ(observer->quotes.size(), 1u);
  auto body = observer->quotes[0];
  ASSERT_EQ(body->GetRowCount(), 1);
  EXPECT_EQ(body->GetAsString(0, 0), "600000.SH");
  EXPECT_EQ(body->GetAsDataSet(0, 1)->GetAsString(0, 1), host::Utf8ToAnsi("浦发银行"));
  EXPECT_EQ(body->GetAsDataSet(0, 1)->GetFieldCount(), 2);  // only the fields subscribed travel

  h.Clock().Advance(5s);
  engine.SyncNow();  // a push for 600000.SH waits for the main loop
  request->Subscribe({{"000001.SZ", {3}}});
  engine.SyncNow();
  observer->quotes.clear();
  h->Loop().RunUntilIdle();
  ASSERT_EQ(observer->quotes.size(), 1u);
  EXPECT_EQ(observer->quotes[0]->GetAsString(0, 0), "000001.SZ");

  request->UnSubscribe();
  observer->quotes.clear();
  h.Clock().Advance(30s);
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  EXPECT_TRUE(observer->quotes.empty());
}

// A clock that jumps past a whole scheduled drop still reports the drop and the return, in order.
TEST_F(EngineTest, AClockJumpingPastAScheduledDropReportsBothChanges) {
  Connect();
  engine.DropConnection(5s, 5s);
  h.Clock().Advance(60s);
  engine.SyncNow();
  EXPECT_TRUE(engine.Connected());
  EXPECT_EQ(observer->connect_codes, (std::vector<int>{0, 10054, 0}));
}

// Requests the package lets go are forgotten as new ones come, so start/stop rounds do not pile them up.
TEST_F(EngineTest, RequestsLetGoAreForgotten) {
  auto kept = engine.CreateDataRequest(observer);
  for (int i = 0; i < 50; ++i) engine.CreateDataRequest(observer).reset();
  auto newest = engine.CreateDataRequest(observer);
  EXPECT_EQ(engine.TrackedRequests(), 2u);
}

TEST_F(EngineTest, ConfigurationIsAskedFromTheEnginesThread) {
  Connect();
  EXPECT_EQ(observer->connect_codes, (std::vector<int>{0}));
  EXPECT_EQ(observer->leds, (std::vector<int>{1}));
  EXPECT_TRUE(h->Logger().Contains("quote engine login as kora1#0203"));
  auto request = engine.CreateDataRequest(observer);
  request->Subscribe({{"600000.SH", {3}}, {"00700.HK", {3}}});
  engine.SyncNow();
  EXPECT_EQ(engine.ConfigCalls(), 1 + 2 * 2);  // the user ID, then stock type and sessions per new code
  request->Subscribe({{"600000.SH", {3}}});
  engine.SyncNow();
  EXPECT_EQ(engine.ConfigCalls(), 5);  // codes already asked about are not asked again
  EXPECT_TRUE(engine.ConfigCalledOnlyOffMainThread());
}

}  // namespace

// What the replies hold is the package's history tests' and the rank and sector chart commands'; here the
// thread they arrive on, a group's requests travelling together, and how an export types its values and
// tells of a code it does not know.
TEST_F(EngineTest, HistoryCommandsAreAnsweredOnTheEnginesThread) {
  Connect();
  h.Clock().Advance(120s);
  engine.SyncNow();
  auto request = engine.CreateDataRequest(observer);
  std::shared_ptr<host::IParamSerialSet> params;
  EXPECT_EQ(request->GetParamSerialSet(9999, params), 0);
  ASSERT_EQ(request->GetParamSerialSet(kSectorRankingCommand, params), 1);
  params->SetValue("SectorName", "IND.BANK");
  params->SetValue("SortIDs", "81");
  const int pid = request->Request(params, nullptr);
  EXPECT_GT(pid, 0);
  engine.SyncNow();
  ASSERT_EQ(observer->ReplyCount(), 1u);
  EXPECT_NE(observer->reply_thread, std::this_thread::get_id());
  EXPECT_EQ(observer->responses[0], (std::array<int, 3>{0, pid, kSectorRankingCommand}));

  // Two requests queued on a group travel together when the group is sent.
  auto group = engine.CreateDataRequestGroup();
  std::shared_ptr<host::IParamSerialSet> sort, export_set;
  request->GetParamSerialSet(kSectorSortCommand, sort);
  sort->SetValue("SectorName", "IND.LIQUOR");
  request->GetParamSerialSet(kIndicatorExportCommand, export_set);
  export_set->SetValue("KoraCodeList", "600519.SH,NOSUCH.SH");
  export_set->SetValue("600519.SH", "3,4,8");
  request->Request(sort, group);
  request->Request(export_set, group);
  engine.SyncNow();
  EXPECT_EQ(observer->ReplyCount(), 1u);
  EXPECT_EQ(group->Send(), 2);
  engine.SyncNow();
  ASSERT_EQ(observer->ReplyCount(), 3u);
  auto exported = observer->replies[2]->GetAsDataSet(0, 1);
  ASSERT_EQ(exported->GetRowCount(), 1);
  auto values = exported->GetAsDataSet(0, 1);
  EXPECT_EQ(host::FieldName(*values, 2), "8");
  EXPECT_EQ(host::FieldTypeName(*values, 2), "int64");
  EXPECT_EQ(observer->responses[2][0], 1);  // the unknown code is reported
}
}  // namespace kdp::minihost
