// A seeded simulated session of the stand-in host, recorded and replayed into the package: the replayed
// widgets see exactly what the recorded ones saw, push by push, the connection dropping and coming back
// included.
#include <algorithm>
#include <filesystem>
#include <future>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kdp/rtd/rtd_model.h"
#include "kdp/speed/speed_history_providers.h"
#include "realtime_subscription.h"
#include "test_host.h"

namespace kdp::replay {
namespace {

using namespace std::chrono_literals;

constexpr int kSecurities = 50;
constexpr int kSteps = 120;  // half-second steps: a minute
constexpr int kExportStep = 60;
constexpr int kDropStep = 20;  // the connection drops for 10 seconds here
// Every field the stand-in engine simulates (Host/QuoteFields.json).
const std::vector<std::uint32_t> kFields = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,  11,   12,  13,
                                            14, 15, 16, 17, 18, 20, 25, 26, 81, 187, 1027, 1028};

struct Session {
  std::vector<std::string> pushes;  // after each push: every cached value of every item, and the server time
  std::string exported;             // the export reply as its parser read it
};

// Every value the model's cache holds, read every way a widget reads it.
std::string CacheText(TKrRTDModel& model, host::DateTime serverTime) {
  std::string text = serverTime.ToString() + fmt::format(" {:.17g}\n", serverTime.value);
  for (const std::string& code : model.GetRTDItemList()) {
    auto item = model.GetRTDItem(code);
    text += code + ":";
    for (std::uint32_t id : kFields) {
      if (item->IsNullByID(id)) {
        text += " -";
      } else {
        text += fmt::format(" {}={:.17g}|{}|{}", id, item->GetDoubleDataByID(id), item->GetStringDataByID(id),
                            item->GetIntDataByID(id));
      }
    }
    text += " updated";
    for (std::uint32_t id : item->GetUpdateIndexList()) text += fmt::format(" {}", id);
    text += "\n";
  }
  return text;
}

std::string ExportText(const TKrSpeedDataSetParseCmdID3080& parser) {
  std::string text;
  for (const auto& record : parser.GetRecords()) {
    text += record.Code;
    for (std::size_t i = 0; i < record.IDs.size(); ++i) {
      text += fmt::format(" {}=", record.IDs[i]);
      std::visit(
          [&](const auto& v) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, std::monostate>) text += fmt::format("{}", v);
          },
          record.Values[i]);
    }
    text += ";";
  }
  return text;
}

// A board of 50 securities for a minute, with an export asked halfway; `sync` lets the engine catch up
// with the clock, `drop` (live only: a recording carries it) drops the connection for a while.
Session Drive(testing::TestHost& host, const std::function<void()>& sync, const std::function<void()>& drop = {}) {
  Session session;
  EXPECT_TRUE(host->StartPackage());
  auto& loop = host->Loop();
  loop.RunUntilIdle();
  const std::vector<std::string> codes = testing::FirstCodes(host, kSecurities);
  TKrRTDModel model;
  model.SetUpdateNotify([&](const TRTDUpdateState& state) {
    if (state.ConnectionChanged) {
      session.pushes.push_back(fmt::format("{} since {}", state.Connection.Connected ? "connected" : "disconnected",
                                           state.Connection.Since.ToString()));
    } else {
      session.pushes.push_back(CacheText(model, host->Context().GetServerDateTime()));
    }
  });
  model.Subscrible(testing::Subscription(codes, kFields));
  sync();
  loop.RunUntilIdle();

  TKrSpeedDataProviderCmd3080 exporter;
  std::promise<void> replied;
  exporter.SetOnDataNotify([&](bool) { replied.set_value(); });
  for (int step = 1; step <= kSteps; ++step) {
    if (step == kExportStep) {
      std::vector<TKrSpeedIndexRecord> asked;
      for (std::size_t i = 0; i < 5; ++i) asked.push_back({codes[i * 7], {3, 8, 11, 81}, {}});
      EXPECT_GT(exporter.FireExportRequest(asked), 0);
    }
    if (step == kDropStep && drop) drop();
    loop.AdvanceBy(500ms);
    sync();
    loop.RunUntilIdle();
    if (step == kExportStep) {
      EXPECT_EQ(replied.get_future().wait_for(10s), std::future_status::ready);
      session.exported = ExportText(*exporter.GetParser());
    }
  }
  model.UnSubscrible();
  loop.RunUntilIdle();
  return session;
}

TEST(SessionReplayTest, EveryCachedValueMatchesTheRecordedSessionAtEachPush) {
  const std::string dir = testing::MakeTempDir();
  const std::string path = dir + "/session.kdpr";
  Session live, replayed;
  {
    testing::TestHost host({}, testing::TestHost::ClockKind::kManual,
                           [&](minihost::MiniHost::Options& options) { options.recordTo = path; });
    live = Drive(
        host, [&] { host->Speed()->SyncNow(); }, [&] { host->Speed()->DropConnection(0s, 10s); });
  }
  {
    testing::TestHost host({}, testing::TestHost::ClockKind::kManual,
                           [&](minihost::MiniHost::Options& options) { options.replayFrom = path; });
    ASSERT_TRUE(host->Replay());
    auto& replay = *host->Replay();
    replayed = Drive(host, [&] {
      replay.Wake();
      ASSERT_TRUE(host->Loop().RunUntil([&] { return replay.CaughtUp(); }, 10s));
    });
    EXPECT_NE(replay.Outcome().find("the whole file"), std::string::npos) << replay.Outcome();
    EXPECT_EQ(replay.GetCounts().skipped, 0u);
  }
  // The market moved in the minute: the session is worth comparing.
  ASSERT_GE(live.pushes.size(), 40u);  // about one a second outside the drop, and two snapshots
  EXPECT_NE(live.pushes.front(), live.pushes.back());
  const auto heard = [](const Session& session, const std::string& change) {
    return std::count_if(session.pushes.begin(), session.pushes.end(),
                         [&](const std::string& push) { return push.starts_with(change + " since"); });
  };
  EXPECT_EQ(heard(live, "disconnected"), 1);
  EXPECT_EQ(heard(live, "connected"), 1);
  EXPECT_FALSE(live.exported.empty());

  ASSERT_EQ(replayed.pushes.size(), live.pushes.size());
  for (std::size_t i = 0; i < live.pushes.size(); ++i) {
    ASSERT_EQ(replayed.pushes[i], live.pushes[i]) << "push " << i;
  }
  EXPECT_EQ(replayed.exported, live.exported);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kdp::replay
