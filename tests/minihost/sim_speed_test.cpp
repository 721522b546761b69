// The stand-in quote engine: subscriptions, pushes on the main loop, configuration calls from its own
// thread, connection switching, and history commands answered on its thread.
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
    quotes.push_back(data);
    quote_threads.push_back(std::this_thread::get_id());
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

  std::vector<std::shared_ptr<host::IDataSet>> quotes;
  std::vector<std::thread::id> quote_threads;
  std::mutex mutex;
  std::vector<std::shared_ptr<host::IDataSet>> replies;
  std::vector<std::array<int, 3>> responses;
  std::thread::id reply_thread;
  std::shared_ptr<TestConfig> config = std::make_shared<TestConfig>();
  std::vector<int> connect_codes;  // written on the engine's thread, read after SyncNow
  std::vector<int> leds;
};

// Field values of one pushed row, by field ID.
std::map<std::uint32_t, double> RowValues(host::IDataSet& body, int row) {
  std::map<std::uint32_t, double> values;
  auto data = body.GetAsDataSet(row, 1);
  for (int c = 0; c < data->GetFieldCount(); ++c) {
    values[static_cast<std::uint32_t>(std::stoul(host::FieldName(*data, c)))] = data->GetAsDouble(0, c);
  }
  return values;
}

struct EngineTest : ::testing::Test {
  testing::TestHost h;
  SimSpeed& engine = *h->Speed();
  std::shared_ptr<RecordingObserver> observer = std::make_shared<RecordingObserver>();

  void Connect() {
    engine.SetCallBack(observer);
    engine.SyncNow();
  }
};

TEST_F(EngineTest, SubscriptionGetsASnapshotThenChangesOnTheMainLoop) {
  Connect();
  auto request = engine.CreateDataRequest(observer);
  ASSERT_NE(request, nullptr);
  ASSERT_EQ(request->Subscribe({{"600000.sh", {3, 4, 8, 11}}, {"600745.SH", {3, 18}}, {"NOSUCH.SH", {3}}}), 0);
  engine.SyncNow();
  EXPECT_TRUE(observer->quotes.empty());  // delivered on the main loop only
  h->Loop().RunUntilIdle();
  ASSERT_EQ(observer->quotes.size(), 1u);
  EXPECT_EQ(observer->quote_threads[0], std::this_thread::get_id());

  auto packet = observer->quotes[0];
  ASSERT_EQ(packet->GetRowCount(), 1);
  EXPECT_EQ(packet->GetAsDataSet(0, 0)->GetAsInteger(0, 0), kQuoteCommand);
  auto body = packet->GetAsDataSet(0, 1);
  ASSERT_EQ(body->GetRowCount(), 2);  // the unknown code has nothing to send
  EXPECT_EQ(body->GetAsString(0, 0), "600000.SH");
  const auto values = RowValues(*body, 0);
  EXPECT_DOUBLE_EQ(values.at(3), 10.36);
  EXPECT_DOUBLE_EQ(values.at(4), 10.36);
  EXPECT_EQ(values.at(8), 0);
  auto row0 = body->GetAsDataSet(0, 1);
  EXPECT_EQ(host::FieldTypeName(*row0, 3), "string");
  EXPECT_EQ(row0->GetAsString(0, 3), host::Utf8ToAnsi("浦发银行"));  // texts travel in code page 936
  EXPECT_EQ(RowValues(*body, 1).at(18), 12041);                      // suspended on trade date 20261204

  observer->quotes.clear();
  h.Clock().Advance(30s);
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  ASSERT_EQ(observer->quotes.size(), 1u);
  body = observer->quotes[0]->GetAsDataSet(0, 1);
  ASSERT_EQ(body->GetRowCount(), 1);  // the suspended security did not move
  const auto moved = RowValues(*body, 0);
  EXPECT_GT(moved.at(8), 0);
  EXPECT_EQ(moved.at(3), std::get<double>(*engine.CurrentValue("600000.SH", 3)));
  EXPECT_EQ(moved.count(18), 0u);  // only subscribed fields travel

  // Resubscribing drops pushes made for the old subscription that are still queued.
  h.Clock().Advance(5s);
  engine.SyncNow();
  request->Subscribe({{"000001.SZ", {3}}});
  engine.SyncNow();
  observer->quotes.clear();
  h->Loop().RunUntilIdle();
  ASSERT_EQ(observer->quotes.size(), 1u);
  EXPECT_EQ(observer->quotes[0]->GetAsDataSet(0, 1)->GetAsString(0, 0), "000001.SZ");

  request->UnSubscribe();
  observer->quotes.clear();
  h.Clock().Advance(30s);
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  EXPECT_TRUE(observer->quotes.empty());
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

TEST_F(EngineTest, ADroppedConnectionForgetsSubscriptionsUntilTheRequestSubscribesAgain) {
  Connect();
  auto request = engine.CreateDataRequest(observer);
  request->Subscribe({{"600000.SH", {3}}});
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  ASSERT_EQ(observer->quotes.size(), 1u);
  observer->quotes.clear();

  h.Clock().Advance(30s);
  engine.SyncNow();  // a push is on its way to the main loop when the connection drops
  engine.SimulateDisconnect();
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  EXPECT_TRUE(observer->quotes.empty());
  EXPECT_FALSE(engine.Connected());
  EXPECT_EQ(observer->connect_codes.back(), 10054);
  EXPECT_EQ(observer->leds.back(), -1);

  engine.SimulateReconnect();
  h.Clock().Advance(30s);
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  EXPECT_EQ(observer->connect_codes.back(), 0);
  EXPECT_EQ(observer->leds.back(), 1);
  EXPECT_TRUE(observer->quotes.empty());  // the subscription went with the connection

  request->Subscribe({{"600000.SH", {3}}});
  engine.SyncNow();
  h->Loop().RunUntilIdle();
  ASSERT_EQ(observer->quotes.size(), 1u);
  EXPECT_EQ(RowValues(*observer->quotes[0]->GetAsDataSet(0, 1), 0).at(3),
            std::get<double>(*engine.CurrentValue("600000.SH", 3)));
}

TEST_F(EngineTest, AScheduledDropStartsAndEndsAtItsServerTimes) {
  Connect();
  engine.DropConnection(10s, 20s);  // from 10 s on, for 20 s
  int elapsed = 0;
  for (const auto& [seconds, connected] : {std::pair{9, true}, {1, false}, {19, false}, {1, true}}) {
    elapsed += seconds;
    h.Clock().Advance(std::chrono::seconds(seconds));
    engine.SyncNow();
    EXPECT_EQ(engine.Connected(), connected) << "after " << elapsed << " s";
  }
  EXPECT_EQ(observer->connect_codes, (std::vector<int>{0, 10054, 0}));

  // A clock that jumps past the whole drop still reports both changes, in order.
  engine.DropConnection(5s, 5s);
  h.Clock().Advance(60s);
  engine.SyncNow();
  EXPECT_TRUE(engine.Connected());
  EXPECT_EQ(observer->connect_codes, (std::vector<int>{0, 10054, 0, 10054, 0}));
}

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

}  // namespace
}  // namespace kdp::minihost
