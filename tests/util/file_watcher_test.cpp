// The file watcher on the stand-in host: the 30-minute timer runs on the manual clock, the checks on the
// host's real asynchronous runner thread.
#include "util/file_watcher.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class FileWatcherTest : public ::testing::Test {
 protected:
  FileWatcherTest() : dir_(testing::MakeTempDir()), mgr_(std::make_shared<TKrFileWatcherMgr>()) {}
  ~FileWatcherTest() override {
    mgr_.reset();
    fs::remove_all(dir_);
  }

  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }

  // Writes the file and dates it `secondsFromBase` after a fixed base time, so that changes are always
  // seconds apart without waiting.
  void Write(const std::string& path, const std::string& text, int secondsFromBase) {
    std::ofstream(path, std::ios::binary) << text;
    fs::last_write_time(path, base_ + std::chrono::seconds(secondsFromBase));
  }

  // An observer of `path` that counts its load events, filled as registrants do.
  std::shared_ptr<TKrFileObserver> Observer(const std::string& path, std::atomic<int>& loads,
                                            std::optional<std::string> oldTime = std::nullopt) {
    auto observer = std::make_shared<TKrFileObserver>();
    observer->SetFileName(path);
    observer->SetOnLoadEvent([&loads](host::IInterface*) { ++loads; });
    observer->SetOldTime(oldTime ? *oldTime : GetFileLastWriteText(path).value_or(""));
    return observer;
  }

  // Moves the clock by one check period and waits for the check it started (if any) to end.
  void NextPeriod() {
    h->Loop().AdvanceBy(30min);
    ASSERT_TRUE(h->Loop().RunUntil([&] { return mgr_->IsCheckFinished(); }, 10s));
  }

  testing::TestHost h;
  std::string dir_;
  fs::file_time_type base_ = fs::file_time_type::clock::now() - 24h;
  std::shared_ptr<TKrFileWatcherMgr> mgr_;
};

TEST_F(FileWatcherTest, TimeTextIsLocalWallClockWithSecondResolution) {
  const std::string path = PathOf("Currency.dat");
  std::ofstream(path) << "USD,美元,7.1";
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 4;
  tm.tm_hour = 9;
  tm.tm_min = 5;
  tm.tm_sec = 7;
  tm.tm_isdst = -1;
  const auto local = std::chrono::system_clock::from_time_t(std::mktime(&tm)) + 900ms;
  fs::last_write_time(path, std::chrono::file_clock::from_sys(local));
  EXPECT_EQ(GetFileLastWriteText(path), "2026/12/04,09:05:07");
  EXPECT_EQ(GetFileLastWriteText(PathOf("missing.dat")), std::nullopt);
}

TEST_F(FileWatcherTest, AChangedFileFiresOncePerPeriodWithTheManagerAsSender) {
  const std::string path = PathOf("IndexSectors.dat");
  Write(path, "000001.SH,SH_A\n", 0);
  std::atomic<int> loads{0};
  host::IInterface* sender = nullptr;
  auto observer = Observer(path, loads);
  observer->SetOnLoadEvent([&](host::IInterface* s) {
    sender = s;
    ++loads;
  });
  EXPECT_FALSE(mgr_->IsTimerEnabled());
  mgr_->RegisterFileObserver(observer);
  EXPECT_TRUE(mgr_->IsTimerEnabled());

  NextPeriod();  // registered with the current time: nothing to do
  EXPECT_EQ(loads, 0);

  // Not a whole period yet: no check starts.
  Write(path, "000001.SH,SH_A\n399001.SZ,SZ_A\n", 10);
  Write(path, "000001.SH,SH_A\n399001.SZ,SZ_A\n399006.SZ,CYB\n", 20);
  h->Loop().AdvanceBy(30min - 1ms);
  EXPECT_TRUE(mgr_->IsCheckFinished());
  EXPECT_EQ(loads, 0);
  h->Loop().AdvanceBy(1ms);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return mgr_->IsCheckFinished(); }, 10s));
  EXPECT_EQ(loads, 1);  // two changes within the period, one load
  EXPECT_EQ(sender, static_cast<host::IInterface*>(mgr_.get()));
  EXPECT_EQ(observer->GetOldTime(), GetFileLastWriteText(path));

  NextPeriod();
  EXPECT_EQ(loads, 1);
}

TEST_F(FileWatcherTest, AMissingFileFiresOnceItAppearsAndAnEmptyOldTimeAtTheFirstCheck) {
  const std::string path = PathOf("RelatedSymbolsLocal.dat"), brief = PathOf("Secbrief.dat");
  Write(brief, "600000.SH,1,2,3,4,5,6,7,20260930\n", 0);
  std::atomic<int> loads{0}, briefLoads{0};
  auto observer = Observer(path, loads, "2026/01/01,00:00:00");
  mgr_->RegisterFileObserver(observer);
  mgr_->RegisterFileObserver(Observer(brief, briefLoads, ""));
  NextPeriod();
  EXPECT_EQ(loads, 0);
  EXPECT_EQ(briefLoads, 1);
  EXPECT_EQ(observer->GetOldTime(), "2026/01/01,00:00:00");  // untouched while the file is missing

  Write(path, "000300.SH,510300.SH,4\n", 0);
  NextPeriod();
  EXPECT_EQ(loads, 1);
  NextPeriod();
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(briefLoads, 1);
}

TEST_F(FileWatcherTest, UnregisteringOneObserverStopsChecksForTheOtherUntilANewRegistration) {
  const std::string a = PathOf("a.dat"), b = PathOf("b.dat"), c = PathOf("c.dat");
  Write(a, "a", 0);
  Write(b, "b", 0);
  Write(c, "c", 0);
  std::atomic<int> loadsA{0}, loadsB{0}, loadsC{0};
  auto observerA = Observer(a, loadsA);
  mgr_->RegisterFileObserver(observerA);
  mgr_->RegisterFileObserver(Observer(b, loadsB));
  mgr_->UnRegisterFileObserver(observerA);
  EXPECT_EQ(mgr_->ObserverCount(), 1u);
  EXPECT_FALSE(mgr_->IsTimerEnabled());

  Write(a, "a2", 10);
  Write(b, "b2", 10);
  NextPeriod();
  NextPeriod();
  EXPECT_EQ(loadsB, 0);

  mgr_->RegisterFileObserver(Observer(c, loadsC));
  NextPeriod();
  EXPECT_EQ(loadsA, 0);  // no longer watched
  EXPECT_EQ(loadsB, 1);
  EXPECT_EQ(loadsC, 0);
}

TEST_F(FileWatcherTest, AFailingLoadIsLoggedAndTheNextObserverIsStillChecked) {
  const std::string a = PathOf("Warrantinfo.dat"), b = PathOf("Currency.dat");
  Write(a, "a", 0);
  Write(b, "b", 0);
  std::atomic<int> loads{0};
  auto failing = Observer(a, loads, "");
  failing->SetOnLoadEvent([](host::IInterface*) { throw std::runtime_error("disk gone"); });
  mgr_->RegisterFileObserver(failing);
  mgr_->RegisterFileObserver(Observer(b, loads, ""));
  NextPeriod();
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(h->Logger().Contains("reloading " + a + " failed: disk gone"));
}

TEST_F(FileWatcherTest, DestructionWaitsForARunningCheckWhichStopsAtTheNextObserver) {
  const std::string a = PathOf("a.dat"), b = PathOf("b.dat");
  Write(a, "a", 0);
  Write(b, "b", 0);
  std::promise<void> entered;
  std::atomic<bool> firstDone{false};
  std::atomic<int> loadsB{0};
  TKrFileWatcherMgr* raw = mgr_.get();
  auto first = std::make_shared<TKrFileObserver>();
  first->SetFileName(a);
  first->SetOnLoadEvent([&](host::IInterface*) {
    entered.set_value();
    // Hold the check until the manager's destruction has begun (the manager stays in memory: its
    // destructor is waiting for this check).
    while (!raw->IsStopping()) std::this_thread::yield();
    firstDone = true;
  });
  mgr_->RegisterFileObserver(first);  // empty old time: fires at the first check
  auto second = std::make_shared<TKrFileObserver>();
  second->SetFileName(b);
  second->SetOnLoadEvent([&](host::IInterface*) { ++loadsB; });
  mgr_->RegisterFileObserver(second);

  h->Loop().AdvanceBy(30min);
  entered.get_future().wait();
  mgr_.reset();  // returns only once the running check has let go
  EXPECT_TRUE(firstDone);
  EXPECT_EQ(loadsB, 0);
  EXPECT_TRUE(second->GetOldTime().empty());

  // The check's end still arrives on the main loop; it must not touch the destroyed manager. The runner
  // runs tasks in order, so a marker task's end comes after it.
  bool drained = false;
  ASSERT_TRUE(h->Runner().RunAsync([] {}, [&] { drained = true; }));
  ASSERT_TRUE(h->Loop().RunUntil([&] { return drained; }, 10s));
}

}  // namespace
}  // namespace kdp
