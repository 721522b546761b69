// The stand-in host's main loop and message windows, driven by a manual clock.
#include "main_loop.h"

#include <thread>

#include <gtest/gtest.h>

namespace kdp::minihost {
namespace {

using namespace std::chrono_literals;

struct LoopTest : ::testing::Test {
  std::shared_ptr<host::ManualClock> clock = std::make_shared<host::ManualClock>();
  MiniMainLoop loop{clock};
};

TEST_F(LoopTest, AWindowRefPostsFromAnotherThreadUntilTheWindowGoes) {
  int ran = 0;
  auto window = std::make_unique<host::MessageWindow>(loop);
  host::MessageWindow::Ref ref = window->GetRef();
  std::thread([&] { EXPECT_TRUE(ref.Post([&] { ++ran; })); }).join();
  EXPECT_TRUE(loop.RunUntil([&] { return ran == 1; }, 5s));
  window.reset();
  EXPECT_FALSE(ref.IsAlive());
  std::thread([&] { EXPECT_FALSE(ref.Post([&] { ++ran; })); }).join();
  loop.RunUntilIdle();
  EXPECT_EQ(ran, 1);
}

TEST_F(LoopTest, ATimerMayKillItselfAndAThrowingTaskDoesNotStopTheLoop) {
  std::vector<std::string> errors;
  loop.SetErrorHandler([&](const std::string& what) { errors.push_back(what); });
  int ticks = 0, other = 0;
  host::IMainLoop::TimerId self = 0;
  self = loop.SetTimer(100ms, [&] {
    if (++ticks == 2) loop.KillTimer(self);
  });
  loop.SetTimer(100ms, [&] {
    ++other;
    throw std::runtime_error("handler failed");
  });
  loop.AdvanceBy(1s);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(other, 10);
  EXPECT_EQ(errors.size(), 10u);
  EXPECT_EQ(errors.front(), "handler failed");
  EXPECT_EQ(loop.ActiveTimerCount(), 1u);
}

TEST_F(LoopTest, ANestedWaitTurnsTheLoopAndSpendsTheWaitOnAManualClock) {
  const auto start = clock->Now();
  bool answered = false;
  loop.Post([&] { answered = true; });
  EXPECT_TRUE(loop.ProcessMessagesUntil([&] { return answered; }, 1000ms));
  EXPECT_EQ(clock->Now(), start);  // answered at once: no time passed

  // Nobody answers: the whole wait passes, and timers due on the way fire.
  int ticks = 0;
  loop.SetTimer(100ms, [&] { ++ticks; });
  EXPECT_FALSE(loop.ProcessMessagesUntil([] { return false; }, 1010ms));
  EXPECT_EQ(clock->Now() - start, 1010ms);
  EXPECT_EQ(ticks, 10);

  // An answer that a timer brings ends the wait at that timer.
  bool late = false;
  loop.SetTimer(250ms, [&] { late = true; });
  const auto before = clock->Now();
  EXPECT_TRUE(loop.ProcessMessagesUntil([&] { return late; }, 1000ms));
  EXPECT_EQ(clock->Now() - before, 250ms);

  // A wait inside a stepped advance does not turn the clock back afterwards.
  loop.SetTimer(2000ms, [&] { loop.ProcessMessagesUntil([] { return false; }, 900ms); });
  const auto outer = clock->Now();
  loop.AdvanceBy(2100ms);
  EXPECT_GE(clock->Now() - outer, 2100ms);
}

TEST(LoopRealTimeTest, RunStopsOnQuitFromAnotherThreadEvenWhenQuitComesFirst) {
  MiniMainLoop loop;
  const auto started = std::chrono::steady_clock::now();
  loop.Quit();
  loop.Run(30s);  // the quit requested before Run ends it at once
  std::thread quitter([&] { loop.Quit(); });
  loop.Run(30s);
  quitter.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
  // A run without a quit lasts its limit.
  loop.Run(50ms);
}

// 20,000 timers that are always due again once they fire (each tick moves the clock on by its interval):
// Run still ends at its limit, and a quit asked for by a tick ends it before the next task.
TEST(LoopRealTimeTest, TimersThatKeepComingDueHoldRunNeitherPastItsLimitNorPastAQuit) {
  auto clock = std::make_shared<host::ManualClock>();
  MiniMainLoop loop{clock};
  std::size_t ticks = 0;
  std::vector<host::IMainLoop::TimerId> timers;
  for (int i = 0; i < 20000; ++i) {
    timers.push_back(loop.SetTimer(1ms, [&] {
      ++ticks;
      clock->Set(clock->Now() + 1ms);
    }));
  }
  clock->Set(clock->Now() + 1ms);  // the first comes due; each then moves the clock on
  loop.Run(50ms);
  ASSERT_GT(ticks, 0u);

  std::size_t ticksAtQuit = 0;
  const auto quitter = loop.SetTimer(1ms, [&] {
    ticksAtQuit = ticks;
    loop.Quit();
  });
  loop.Run(std::chrono::milliseconds::max());
  EXPECT_EQ(ticks, ticksAtQuit);
  // Killed timers leave no trace: a new one fires alone, at its own pace.
  loop.KillTimer(quitter);
  for (const auto id : timers) loop.KillTimer(id);
  int fired = 0;
  loop.SetTimer(2ms, [&] { ++fired; });
  ticks = 0;
  loop.AdvanceBy(10ms);
  EXPECT_EQ(fired, 5);
  EXPECT_EQ(ticks, 0u);
  EXPECT_EQ(loop.ActiveTimerCount(), 1u);
}

}  // namespace
}  // namespace kdp::minihost
