// SimSpeed: the stand-in host's quote engine.
//
// It runs a thread of its own that owns a SimMarket. Data requests keep their subscriptions (codes and
// field IDs); whenever the market moves, the engine builds quote data sets for the codes each request
// subscribed and posts them to the host's main loop, where the request's observer receives them
// (SaveQuoteData). A new subscription first receives a snapshot of everything it asked for. History
// commands (parameter sets by command ID, sent alone or through a request group) are answered on the
// engine's own thread (SetData). The engine asks the package's configuration (IConfig) from its thread:
// the user ID when the call-back arrives, the stock type and trade time of every newly subscribed code.
// Connection state goes to the package's call-back; SimulateDisconnect and SimulateReconnect switch it,
// and DropConnection drops it for a while at a server time to come. Subscriptions made before the first
// login are kept and answered with their snapshot at the login. A dropped connection takes the
// subscriptions with it, as a server forgets a client that went away: pushes stop, those still queued
// on the main loop are dropped, a subscription made while the connection is down is refused (-1), and
// after reconnecting a request hears nothing until it subscribes again (which brings the snapshot).
//
// Quote data sets: one packet; its header holds "CmdID" (3070), "PID" (the request's serial) and "Count";
// its body holds one row per code: "KoraCode" and a nested one-row table whose columns are named by
// field ID, typed "double", "int64" or "string" (texts in code page 936).
//
// Thread-safe. Destroying the engine stops its thread; pushes still queued on the main loop for a
// request that is gone are dropped.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "kdp/host/main_loop.h"
#include "kdp/host/speed.h"
#include "market_rules.h"
#include "sector_master.h"
#include "security_master.h"
#include "sim_market.h"

namespace kdp::minihost {

class SimDataRequest;
class SimRequestGroup;

// Command IDs the engine answers, besides real-time quotes (3070).
inline constexpr int kQuoteCommand = 3070;
inline constexpr int kIndicatorTableCommand = 97;  // "97Fix": per-code indicator tables for a window
inline constexpr int kSectorRankingCommand = 3040;
inline constexpr int kSectorSortCommand = 3050;
inline constexpr int kIndicatorExportCommand = 3080;

class SimSpeed final : public host::Implements<host::ISpeed>, public std::enable_shared_from_this<SimSpeed> {
 public:
  struct Options {
    std::uint64_t seed = 20261204;
    double updatesPerSecond = 1.0;        // trades per second per security
    std::chrono::milliseconds poll{100};  // how often the engine looks at the clock
    // Market history before Start: the latest trade day that traded before this stretch, a minute at a
    // time, then the stretch trade by trade. 0: the market starts at Start's time with no history.
    std::chrono::seconds warmUp{0};
    std::function<host::DateTime()> serverTime;      // required
    const MiniSecurityMaster* securities = nullptr;  // required; must outlive the engine
    const MiniSectorMaster* sectors = nullptr;       // required; must outlive the engine
    std::shared_ptr<const MarketRules> rules;        // required
    QuoteFieldMap fields;
  };

  SimSpeed(host::IMainLoop& loop, Options options);
  ~SimSpeed() override;

  // Starts the engine's thread (SimSpeed must be owned by a shared_ptr).
  void Start();
  void Stop();

  // host::ISpeed
  std::shared_ptr<host::ISpeedDataRequest> CreateDataRequest(const std::shared_ptr<host::IObserver>& observer) override;
  void SetCallBack(const std::shared_ptr<host::ICallBack>& callback) override;
  int QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) override;
  void FreeMarketInfo(int kind, host::TMarketInfoBuffer& buffer) override;
  std::shared_ptr<host::ISpeedDataRequestGroup> CreateDataRequestGroup() override;

  // Connection switch: the engine reports a lost connection and stops pushing until reconnected.
  void SimulateDisconnect();
  void SimulateReconnect();
  // Drops the connection once the server time is `after` from now, and reconnects `duration` after the
  // drop. A later call replaces a drop not yet started.
  void DropConnection(std::chrono::seconds after, std::chrono::seconds duration);
  bool Connected() const;
  // Called on the main loop with every push just before the request's observer receives it (tests count
  // what the engine really handed over). Set it before the engine starts pushing.
  using PushWatcher = std::function<void(int requestSerial, const std::shared_ptr<host::IDataSet>& data)>;
  void SetPushWatcher(PushWatcher watcher);

  // Blocks until the engine's thread has caught up with the current server time and posted what that
  // produced (run the main loop afterwards to deliver it).
  void SyncNow();

  // The engine's current value of a field, as it would send it; nullopt when it does not simulate it.
  std::optional<QuoteValue> CurrentValue(const std::string& code, std::uint32_t id) const;
  const MarketRules& Rules() const { return *options_.rules; }
  // Session arrays QueryMarketInfo lent and FreeMarketInfo has not taken back.
  std::size_t LentMarketInfoBuffers() const;
  // Data requests the engine tracks: the live ones, and those let go since the last one was made.
  std::size_t TrackedRequests() const;
  // The field IDs the engine simulates; fixed once the engine is made, so any thread may read them.
  const QuoteFieldMap& Fields() const { return options_.fields; }
  // The trading sessions the package's configuration gave for a code when it was first subscribed;
  // "" when it gave none or the code was never subscribed.
  std::string SessionsOf(const std::string& code) const;
  // How many IConfig calls the engine made, and from which threads (none of them the main thread).
  int ConfigCalls() const;
  bool ConfigCalledOnlyOffMainThread() const;

 private:
  friend class SimDataRequest;
  friend class SimRequestGroup;

  struct HistoryJob {
    std::weak_ptr<SimDataRequest> request;
    std::shared_ptr<host::IParamSerialSet> params;
    int commandID;
    int pid;
  };

  void Enqueue(std::function<void()> job);
  void Run();
  void CatchUp();
  void FollowDropSchedule();
  void PushSnapshot(const std::shared_ptr<SimDataRequest>& request);
  void PushChanges(const std::vector<std::string>& changed);
  void Post(const std::shared_ptr<SimDataRequest>& request, const std::shared_ptr<host::IDataSet>& data);
  std::shared_ptr<host::IDataSet> BuildQuotes(
      int pid, const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& rows) const;
  void AskConfigAbout(const std::vector<std::string>& codes);
  // Lets go of a package object the engine's thread held on the main thread instead: while the package
  // shuts down, the engine's reference may be the last, and package objects are destroyed where the package
  // runs (their destructors touch its main-thread timers and services).
  template <class T>
  void LetGoOnMainThread(std::shared_ptr<T> object) {
    if (object) loop_.Post([object = std::move(object)] {});
  }
  void AnswerHistory(const HistoryJob& job);
  void NotifyConnection(bool connected);
  int NextPid();

  // Called by requests.
  void OnSubscribe(const std::shared_ptr<SimDataRequest>& request);
  void SubmitHistory(HistoryJob job);

  host::IMainLoop& loop_;
  Options options_;

  MarketRuleAnswers market_answers_;  // thread-safe

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  bool connected_ = false;
  bool logged_in_ = false;                      // connected at least once
  std::optional<host::DateTime> drop_at_;       // server time of a drop to come
  std::optional<host::DateTime> reconnect_at_;  // server time the dropped connection comes back
  std::chrono::seconds drop_for_{0};
  PushWatcher push_watcher_;
  SimMarket market_;
  std::vector<std::weak_ptr<SimDataRequest>> requests_;  // those gone are dropped as new ones come
  std::shared_ptr<host::ICallBack> callback_;
  std::set<std::string> asked_codes_;
  std::map<std::string, std::string> sessions_;  // upper-case code -> the sessions the configuration gave
  int config_calls_ = 0;
  bool config_on_main_thread_ = false;
  int last_pid_ = 0;
  std::thread thread_;
};

// A data request: its observer and its real-time subscription.
class SimDataRequest final : public host::Implements<host::ISpeedDataRequest>,
                             public std::enable_shared_from_this<SimDataRequest> {
 public:
  SimDataRequest(std::weak_ptr<SimSpeed> engine, std::shared_ptr<host::IObserver> observer, int serial)
      : engine_(std::move(engine)), observer_(std::move(observer)), serial_(serial) {}

  int Subscribe(const host::TKrSpeedSymbolDataList& symbols) override;
  int UnSubscribe() override;
  int GetParamSerialSet(int commandID, std::shared_ptr<host::IParamSerialSet>& paramSet) override;
  int Request(const std::shared_ptr<host::IParamSerialSet>& paramSet,
              const std::shared_ptr<host::ISpeedDataRequestGroup>& group) override;

  // Under the engine's lock.
  const std::map<std::string, std::vector<std::uint32_t>>& Subscription() const { return subscription_; }
  void Forget() {
    subscription_.clear();
    ++generation_;
  }
  std::uint64_t Generation() const { return generation_; }
  const std::shared_ptr<host::IObserver>& Observer() const { return observer_; }
  int Serial() const { return serial_; }

 private:
  std::weak_ptr<SimSpeed> engine_;
  std::shared_ptr<host::IObserver> observer_;
  const int serial_;
  std::map<std::string, std::vector<std::uint32_t>> subscription_;  // upper-case code -> field IDs
  std::uint64_t generation_ = 0;  // bumped by every (un)subscription; stale pushes are dropped
};

}  // namespace kdp::minihost
