// The quote engine's threads against the main thread. The engine asks the package's configuration from
// threads of its own (the stock type and sessions of every newly subscribed code, the members of the
// sectors its commands name) and delivers history replies there, while the main thread makes first
// look-ups of on-demand services, subscribes, shuts the package down, or switches a chart's security.
//
// The threads really overlap: the main thread keeps working until the other thread has made a given
// number of further rounds, and the other thread runs until the main thread is done. Under
// ThreadSanitizer (these tests carry the label "threads") any unguarded access between them fails.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/refdata/reference_tables.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/speed/speed_data_provider.h"
#include "kdp/speed/speed_session.h"
#include "realtime_subscription.h"
#include "scripted_speed.h"
#include "sim_speed.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using testing::FirstCodes;
using testing::TestHost;
using SteadyClock = std::chrono::steady_clock;

constexpr auto kDeadline = 120s;  // generous: ThreadSanitizer slows everything down

// Runs `round` on a thread of its own, again and again, until stopped. The round count is a mark of
// progress only: reading it must not order memory between the threads, or it would hide the very races
// these tests look for, so it is a relaxed atomic and only AwaitRounds synchronises.
class RoundThread {
 public:
  explicit RoundThread(std::function<void()> round) : round_(std::move(round)), thread_([this] { Run(); }) {}
  ~RoundThread() { Stop(); }
  RoundThread(const RoundThread&) = delete;
  RoundThread& operator=(const RoundThread&) = delete;

  int Rounds() const { return rounds_.load(std::memory_order_relaxed); }
  // Blocks until the thread has finished `n` more rounds; false when the deadline passes first.
  bool AwaitRounds(int n) {
    std::unique_lock lock(mutex_);
    const int target = Rounds() + n;
    return finished_.wait_for(lock, kDeadline, [&] { return Rounds() >= target; });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run() {
    while (!stop_) {
      round_();
      rounds_.fetch_add(1, std::memory_order_relaxed);
      { std::lock_guard lock(mutex_); }  // a waiter between its check and its wait sees the notification
      finished_.notify_all();
    }
  }

  std::function<void()> round_;
  std::atomic<bool> stop_{false};
  std::atomic<int> rounds_{0};
  std::mutex mutex_;
  std::condition_variable finished_;
  std::thread thread_;  // last: it starts once everything above is ready
};

// The questions a quote engine asks its configuration, each with the answer the configuration gave while
// nothing ran beside it and the answer of a package that has gone away.
class EngineQuestions {
 public:
  EngineQuestions(std::shared_ptr<TKrSpeedConfig> config, const std::vector<std::string>& codes)
      : config_(std::move(config)) {
    TKrSpeedConfig& c = *config_;
    for (const std::string& code : codes) {
      Add(
          "stock type of " + code, [&c, code] { return c.GetStockType(code); }, "");
      Add(
          "sessions of " + code, [&c, code] { return c.GetTradeTime(code); }, "");
    }
    for (const char* sector : {"IND.LIQUOR", "HQ_AH_ASECTOR", "HQ_AH_HSECTOR"}) {
      const int total = c.GetMemberTotal(sector);
      Add(
          std::string("total of ") + sector, [&c, sector] { return std::to_string(c.GetMemberTotal(sector)); }, "0");
      for (int i = 0; i <= total; ++i) {  // one past the end answers the default member
        Add(
            std::string("member of ") + sector, [&c, sector, i] { return c.GetMember(sector, i); }, "600000.SH");
      }
    }
    for (const char* sector : {"MY_WATCHLIST", "HQ_AH_ASECTOR", "SH_A"}) {
      Add(
          std::string("system sector ") + sector, [&c, sector] { return std::to_string(c.IsSystemSector(sector)); },
          "-1");
    }
    Add(
        "user ID", [&c] { return c.GetSpeedUserID(); }, "");
  }

  // Asks every question once, from the calling thread.
  void Ask(bool packageMayBeGone) {
    for (const Question& q : questions_) {
      const std::string answer = q.ask();
      if (answer == q.quiet || (packageMayBeGone && answer == q.gone)) continue;
      std::lock_guard lock(mutex_);
      if (wrong_.empty()) wrong_ = q.what + ": \"" + answer + "\" instead of \"" + q.quiet + "\"";
    }
  }
  // The first wrong answer; "" when there was none.
  std::string Wrong() {
    std::lock_guard lock(mutex_);
    return wrong_;
  }
  const std::string& Quiet(std::size_t i) const { return questions_[i].quiet; }

 private:
  struct Question {
    std::string what;
    std::function<std::string()> ask;
    std::string quiet;
    std::string gone;
  };
  void Add(std::string what, std::function<std::string()> ask, std::string gone) {
    std::string quiet = ask();
    questions_.push_back({std::move(what), std::move(ask), std::move(quiet), std::move(gone)});
  }

  std::shared_ptr<TKrSpeedConfig> config_;
  std::vector<Question> questions_;
  std::mutex mutex_;
  std::string wrong_;
};

TKrRealTimeParamStructure Subscription(const std::vector<std::string>& codes) {
  return testing::Subscription(codes, {3, 11});
}

TEST(EngineThreadStressTest, SubscriptionsAndSectorQuestionsWhileTheMainThreadMakesFirstLookUps) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  auto config = G_GetHQSpeedImpl()->CallBack()->GetConfig();
  EngineQuestions questions(config, FirstCodes(h, 30));   // more than the configuration's cache of 20 holds
  ASSERT_EQ(questions.Quiet(0), "A");                     // 600000.SH, the first security
  ASSERT_NE(config->GetMemberTotal("HQ_AH_ASECTOR"), 0);  // the A/H pairs were found
  RoundThread engine([&] { questions.Ask(false); });
  ASSERT_TRUE(engine.AwaitRounds(1));

  // Widgets open: every first look-up of an on-demand service creates and publishes it, and every model's
  // subscription makes the engine ask, from its own thread, about the codes it has not seen yet.
  const auto& all = h->Securities().All();
  std::vector<std::unique_ptr<TKrRTDModel>> models;
  std::size_t next = 0;
  const int start = engine.Rounds();
  const auto deadline = SteadyClock::now() + kDeadline;
  for (int pass = 0; pass < 10 || engine.Rounds() < start + 10; ++pass) {
    ASSERT_LT(SteadyClock::now(), deadline);
    for (const TKrDataInterfaceRecord& service : OnDemandServices()) {
      ASSERT_NE(G_QueryInterface(service.Name), nullptr) << service.Name;
    }
    for (const TKrDataInterfaceRecord& service : OnDemandServices()) G_Remove(service.Name);  // first again
    std::vector<std::string> batch;
    for (int i = 0; i < 20; ++i, ++next) batch.push_back(all[next % all.size()]->GetKoraCode());
    models.push_back(std::make_unique<TKrRTDModel>());
    ASSERT_EQ(models.back()->Subscrible(Subscription(batch)), 0);
    h->Loop().RunUntilIdle();  // the models write the snapshots the engine posted
  }
  h->Speed()->SyncNow();  // the engine has asked about every code subscribed
  engine.Stop();
  EXPECT_EQ(questions.Wrong(), "");
  EXPECT_GE(h->Speed()->ConfigCalls(), 2 * 20 * 10);  // two questions about each new code
}

TEST(EngineThreadStressTest, SubscriptionsAndSectorQuestionsWhileThePackageShutsDown) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  h->Speed()->SyncNow();  // connected
  auto config = G_GetHQSpeedImpl()->CallBack()->GetConfig();
  EngineQuestions questions(config, FirstCodes(h, 30));
  TKrRTDModel model;
  // The engine asks about every security from its thread while the package goes away.
  std::vector<std::string> everything;
  for (const auto& security : h->Securities().All()) everything.push_back(security->GetKoraCode());
  ASSERT_EQ(model.Subscrible(Subscription(everything)), 0);
  RoundThread engine([&] { questions.Ask(true); });
  ASSERT_TRUE(engine.AwaitRounds(1));

  h->StopPackage();
  ASSERT_TRUE(engine.AwaitRounds(3));  // and goes on asking a package that is gone
  h->Speed()->SyncNow();
  engine.Stop();
  EXPECT_EQ(questions.Wrong(), "");
}

TEST(EngineThreadStressTest, AChartSwitchesItsSecurityWhileAReplyIsInFlight) {
  TestHost h;
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  h->Context().SetSpeed(engine);
  const std::string codes[] = {"600000.SH", "000001.SZ"};
  TKrHQSpeedDataProvider chart;
  chart.SetKoraCode(codes[0]);
  std::atomic<int> delivered{0}, misdelivered{0};
  auto onData = [&](const std::shared_ptr<host::IDataSet>& data, const std::string& code) {
    ++delivered;
    if (data->GetAsDataSet(0, 0)->GetAsString(0, 2) != code) ++misdelivered;
  };
  chart.SetOnHisData(onData);
  ASSERT_EQ(engine->observers.size(), 1u);

  const auto observer = engine->observers[0];
  int sent = 0;  // the replying thread's own
  RoundThread replies([&] { observer->SetData(testing::HistoryReply(codes[sent++ % 2], 2)); });
  ASSERT_TRUE(replies.AwaitRounds(1));
  const int start = replies.Rounds();
  const auto deadline = SteadyClock::now() + kDeadline;
  for (int i = 0; i < 1000 || replies.Rounds() < start + 200; ++i) {
    ASSERT_LT(SteadyClock::now(), deadline);
    chart.SetKoraCode(codes[i % 2]);
    if (i % 50 == 0) chart.SetOnHisData(onData);  // the chart binds its handler again as it switches
  }
  replies.Stop();
  EXPECT_GT(delivered.load(), 0);
  EXPECT_EQ(misdelivered.load(), 0);  // a reply reaches the chart only under the code it was sent for
}

}  // namespace
}  // namespace kdp
