// The timer manager on the stand-in host's loop, driven by its manual clock.
#include "util/dp_timer.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;

class DPTimerTest : public ::testing::Test {
 protected:
  ~DPTimerTest() override { FreeDPTimerMgr(); }

  // A timer set up the way owners do it: handler, interval, then enabled.
  std::shared_ptr<TKrDPTimer> Started(std::function<void(TKrDPTimer*)> handler, unsigned interval) {
    auto timer = RegisterTimer();
    timer->SetOnTimer(std::move(handler));
    timer->SetInterval(interval);
    timer->SetEnabled(true);
    return timer;
  }
  std::shared_ptr<TKrDPTimer> Counting(int& count, unsigned interval) {
    return Started([&count](TKrDPTimer*) { ++count; }, interval);
  }

  testing::TestHost h;
};

TEST_F(DPTimerTest, IdsStartAtOneAndAreNeverReused) {
  auto a = RegisterTimer();
  auto b = RegisterTimer();
  auto c = RegisterTimer();
  EXPECT_EQ(a->GetID(), 1u);
  EXPECT_EQ(b->GetID(), 2u);
  EXPECT_EQ(c->GetID(), 3u);
  UnRegisterTimer(b);
  UnRegisterTimer(c);
  EXPECT_EQ(RegisterTimer()->GetID(), 4u);
  EXPECT_EQ(DPTimerMgr()->Count(), 2u);

  // A manager created after FreeDPTimerMgr counts from 1 again. A timer of the old manager that carries
  // the same ID is not mistaken for the new one.
  FreeDPTimerMgr();
  int fired = 0;
  auto fresh = Counting(fired, 100);
  EXPECT_EQ(fresh->GetID(), 1u);
  UnRegisterTimer(a);
  EXPECT_EQ(DPTimerMgr()->Count(), 1u);
  h->Loop().AdvanceBy(100ms);
  EXPECT_EQ(fired, 1);
}

TEST_F(DPTimerTest, NothingStartsWithoutAHandlerOrWithIntervalZeroUntilTheNextChange) {
  const std::size_t idle = h->Loop().ActiveTimerCount();
  int fired = 0;
  auto timer = RegisterTimer();
  timer->SetEnabled(true);  // before the handler: nothing to call yet
  EXPECT_EQ(h->Loop().ActiveTimerCount(), idle);

  TKrDPTimer* sender = nullptr;
  timer->SetOnTimer([&](TKrDPTimer* s) {
    sender = s;
    ++fired;
  });  // stores the handler only
  h->Loop().AdvanceBy(5s);
  EXPECT_EQ(fired, 0);
  EXPECT_FALSE(DPTimerMgr()->IsTicking(timer->GetID()));

  timer->SetInterval(0);
  h->Loop().AdvanceBy(5s);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(h->Loop().ActiveTimerCount(), idle);

  timer->SetInterval(250);  // the next change starts it
  h->Loop().AdvanceBy(1s);
  EXPECT_EQ(fired, 4);
  EXPECT_EQ(sender, timer.get());

  timer->SetEnabled(false);
  h->Loop().AdvanceBy(1s);
  EXPECT_EQ(fired, 4);
  EXPECT_EQ(h->Loop().ActiveTimerCount(), idle);
}

TEST_F(DPTimerTest, SettingTheSameValueDoesNotRestartThePeriod) {
  int fired = 0;
  auto timer = Counting(fired, 1000);
  h->Loop().AdvanceBy(600ms);
  timer->SetEnabled(true);
  timer->SetInterval(1000);
  h->Loop().AdvanceBy(400ms);  // due at 1000 ms, as first set
  EXPECT_EQ(fired, 1);

  // A different interval restarts the period from the change.
  h->Loop().AdvanceBy(300ms);
  timer->SetInterval(500);
  h->Loop().AdvanceBy(499ms);
  EXPECT_EQ(fired, 1);
  h->Loop().AdvanceBy(1ms);
  EXPECT_EQ(fired, 2);
}

TEST_F(DPTimerTest, UnregisteringTwiceOrAfterFreeDPTimerMgrDoesNothing) {
  const std::size_t idle = h->Loop().ActiveTimerCount();
  int a = 0, b = 0;
  auto ta = Counting(a, 100);
  auto tb = Counting(b, 100);
  UnRegisterTimer(ta);
  UnRegisterTimer(ta);
  UnRegisterTimer(nullptr);
  EXPECT_FALSE(ta->GetEnabled());
  EXPECT_FALSE(ta->GetOnTimer());
  h->Loop().AdvanceBy(300ms);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 3);

  // A released timer is inert: setting it up again starts nothing.
  ta->SetOnTimer([&a](TKrDPTimer*) { ++a; });
  ta->SetEnabled(true);
  h->Loop().AdvanceBy(300ms);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 6);

  FreeDPTimerMgr();
  EXPECT_EQ(h->Loop().ActiveTimerCount(), idle);
  UnRegisterTimer(tb);
  UnRegisterTimer(tb);
  EXPECT_EQ(DPTimerMgr(), nullptr);  // unregistering does not bring a manager back
  h->Loop().AdvanceBy(300ms);
  EXPECT_EQ(b, 6);
}

TEST_F(DPTimerTest, AThrowingHandlerIsLoggedAndTheOthersKeepFiring) {
  int failing = 0, good = 0;
  auto bad = Started(
      [&](TKrDPTimer*) {
        ++failing;
        throw std::runtime_error("quote request lost");
      },
      100);
  auto other = Counting(good, 100);
  h->Loop().AdvanceBy(300ms);
  EXPECT_EQ(failing, 3);
  EXPECT_EQ(good, 3);
  EXPECT_EQ(h->Logger().CountContaining("timer 1 handler failed: quote request lost"), 3u);
}

TEST_F(DPTimerTest, AHandlerMayUnregisterItsOwnTimerOrFreeTheManager) {
  // A one-shot time-out: the handler releases its own timer while it runs.
  int fired = 0;
  auto owner = std::make_shared<int>(0);
  std::shared_ptr<TKrDPTimer> timeout = RegisterTimer();
  timeout->SetOnTimer([&fired, &timeout, owner](TKrDPTimer*) {
    ++fired;
    UnRegisterTimer(timeout);
    ++*owner;  // the running handler's state is still there
  });
  timeout->SetInterval(1000);
  timeout->SetEnabled(true);
  h->Loop().AdvanceBy(5s);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(*owner, 1);
  EXPECT_EQ(owner.use_count(), 1);  // the released timer no longer holds its handler

  auto last = Started(
      [&fired](TKrDPTimer*) {
        ++fired;
        FreeDPTimerMgr();
      },
      10);
  h->Loop().AdvanceBy(100ms);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(DPTimerMgr(), nullptr);
}

// A main loop that can refuse to create timers, as a platform out of timer resources does.
class RefusingLoop final : public host::IMainLoop {
 public:
  explicit RefusingLoop(host::IMainLoop& inner) : inner_(inner) {}
  void Post(Task task) override { inner_.Post(std::move(task)); }
  TimerId SetTimer(std::chrono::milliseconds interval, Task tick) override {
    return refuse ? 0 : inner_.SetTimer(interval, std::move(tick));
  }
  void KillTimer(TimerId id) override { inner_.KillTimer(id); }
  bool ProcessMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    return inner_.ProcessMessagesUntil(done, timeout);
  }
  bool IsMainThread() const override { return inner_.IsMainThread(); }
  host::Clock::time_point Now() const override { return inner_.Now(); }

  bool refuse = true;

 private:
  host::IMainLoop& inner_;
};

TEST_F(DPTimerTest, ATimerTheLoopRefusesRaisesNotEnoughTimers) {
  RefusingLoop loop(h->Loop());
  int fired = 0;
  {
    TKrDPTimerMgr manager(loop);
    auto timer = manager.CreateTimer();
    timer->SetOnTimer([&fired](TKrDPTimer*) { ++fired; });
    try {
      timer->SetEnabled(true);
      ADD_FAILURE() << "no exception";
    } catch (const EOutOfResources& e) {
      EXPECT_STREQ(e.what(), "Not enough timers available");
    }
    EXPECT_TRUE(timer->GetEnabled());
    EXPECT_FALSE(manager.IsTicking(timer->GetID()));

    loop.refuse = false;
    timer->SetInterval(50);
    h->Loop().AdvanceBy(100ms);
    EXPECT_EQ(fired, 2);
  }
  h->Loop().AdvanceBy(100ms);  // the manager's loop timers went with it
  EXPECT_EQ(fired, 2);

  // The owner-held timer of the file watcher raises the same way.
  loop.refuse = true;
  TKrTimer own(loop);
  own.SetOnTimer([&fired] { ++fired; });
  own.SetInterval(10);
  EXPECT_THROW(own.SetEnabled(true), std::runtime_error);
  EXPECT_FALSE(own.IsRunning());
  loop.refuse = false;
  own.SetInterval(20);
  EXPECT_TRUE(own.IsRunning());
  h->Loop().AdvanceBy(40ms);
  EXPECT_EQ(fired, 4);
}

}  // namespace
}  // namespace kdp
