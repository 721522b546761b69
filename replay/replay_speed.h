// ReplaySpeed: a quote engine that plays a recording (recording_format.h) back through the host API, so
// the package and its widgets receive the same pushes and replies, in the same order, as when it was
// recorded.
//
// Pace: the engine waits for the package's first act (a subscription or a history command) and lines it
// up with the first such record, so the widgets meet their data at the moment they met it when recorded.
// From there records are played at the recorded pace, Options::speed times faster, or (speed 0) as fast as
// the main thread takes them. Records before that first act (connection notices) are played at once.
// The server clock (ServerTime) follows the recorded times: at pace it moves with the clock but never
// past the next record not yet played; the main thread sees each push at the time it was recorded.
// After the last record the clock stays at its time.
//
// Which request gets what: every record belongs to a recorded data request. A data request of the replay
// is bound to a recorded one by what it does: a subscription binds it to the recorded request whose
// latest subscription is the same; a history command binds it to the recorded request whose latest
// command (ID and parameters) is the same and not yet taken. A bound request receives its recorded
// request's pushes and replies; a subscription changed on either side undoes the binding until the two
// match again. The same subscription sent again (a package restoring it after a reconnection) changes
// nothing: the binding stays and pushes already on their way are delivered. Replies to a recorded command nobody has
// sent yet are held until a replay request sends it (or the recorded request sends another): a widget that asks a
// moment later than it did when recorded still gets the replies it got then. Records of recorded requests no replay
// request is bound to are skipped and counted.
//
// History commands the recording does not answer are answered by the engine once the recording has been
// played through: command 3080 (indicator export) from the quotes played, field by field as the last push
// left them; any other command with error 1 and no data. PIDs are the engine's own; the replies it plays
// carry the recorded ones.
//
// Threads, as a live engine: pushes are posted to the host's main loop (SaveQuoteData runs there); history
// replies and connection notices are delivered on the engine's own thread, after every push played
// before them has been delivered. At most Options::maxInFlight pushes wait on the main loop; the engine's
// thread waits for the main thread beyond that. Delivered pushes go back to the engine's thread (under
// mutex_), which decodes the next ones into those of their tables nobody else holds, so the main thread
// frees nothing the engine's thread allocated. The reader and the replayed market belong to the engine's
// thread; everything the package's calls touch (requests, bindings, the clock, counts) is guarded by
// mutex_, and the data requests' state by their engine's mutex_. Trade-rule questions go to the functions
// the host gives (Options), from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "kdp/host/data_table.h"
#include "kdp/host/main_loop.h"
#include "kdp/host/speed.h"
#include "recording_reader.h"

namespace kdp::replay {

class ReplayDataRequest;
class ReplayRequestGroup;

inline constexpr int kIndicatorExportCommand = 3080;

class ReplaySpeed final : public host::Implements<host::ISpeed>, public std::enable_shared_from_this<ReplaySpeed> {
 public:
  struct Options {
    double speed = 1.0;                   // times the recorded pace; 0 plays as fast as possible
    std::shared_ptr<host::IClock> clock;  // required: the pace is kept on it
    std::chrono::milliseconds poll{100};  // the longest the engine waits without looking at the clock
    host::DateTime startTime;             // the server time of a recording without records
    std::size_t maxInFlight = 1024;       // pushes posted to the main loop and not yet delivered
    // The host's trade-rule answers (ISpeed::QueryMarketInfo, FreeMarketInfo); unset: every question
    // answers unknown (-1).
    std::function<int(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer)> queryMarketInfo;
    std::function<void(int kind, host::TMarketInfoBuffer& buffer)> freeMarketInfo;
  };

  // Opens a recording for playing on `loop`. nullptr, with `error`, when the file cannot be read or is not
  // a recording. The engine's thread starts with Start.
  static std::shared_ptr<ReplaySpeed> Open(const std::string& path, host::IMainLoop& loop, Options options,
                                           std::string& error);
  ~ReplaySpeed() override;
  ReplaySpeed(const ReplaySpeed&) = delete;
  ReplaySpeed& operator=(const ReplaySpeed&) = delete;

  void Start();
  // Stops the engine's thread; pushes already posted are still delivered.
  void Stop();

  // host::ISpeed
  std::shared_ptr<host::ISpeedDataRequest> CreateDataRequest(const std::shared_ptr<host::IObserver>& observer) override;
  void SetCallBack(const std::shared_ptr<host::ICallBack>& callback) override;
  int QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) override;
  void FreeMarketInfo(int kind, host::TMarketInfoBuffer& buffer) override;
  std::shared_ptr<host::ISpeedDataRequestGroup> CreateDataRequestGroup() override;

  // The replayed server clock. Any thread.
  host::DateTime ServerTime() const;
  // Makes the engine look at the clock now (a test moved a ManualClock).
  void Wake();
  // True when nothing is due: every record whose time has come on the clock has been played and every
  // push delivered (also while the engine waits for the package's first act).
  bool CaughtUp() const;
  // True once the recording has been played to the end of what reads and every push delivered.
  bool Finished() const;
  // How reading ended: RecordingReader::Describe, once the recording has been played through.
  std::string Outcome() const;

  struct Counts {
    std::uint64_t played = 0;     // records played
    std::uint64_t delivered = 0;  // pushes and replies handed to an observer
    std::uint64_t skipped = 0;    // records of recorded requests no replay request was bound to
  };
  Counts GetCounts() const;

 private:
  friend class ReplayDataRequest;
  friend class ReplayRequestGroup;

  using Params = std::map<std::string, std::string>;
  struct Command {
    int id = 0;
    Params params;
    friend bool operator==(const Command&, const Command&) = default;
  };
  // A history command a replay request sent that nothing has answered yet.
  struct Pending {
    std::weak_ptr<ReplayDataRequest> request;
    Command command;
    int pid = 0;
  };
  // What the engine knows of a recorded data request.
  struct Recorded {
    host::TKrSpeedSymbolDataList subscription;  // its latest
    std::optional<Command> command;             // its latest history command
    bool claimed = false;                       // a replay request sent that command too and takes its replies
    std::vector<Record> held;                   // replies to that command played before anyone claimed it
    std::weak_ptr<ReplayDataRequest> bound;
  };
  // A played record on its way to the main thread: a push for one of its batch's targets, or only its time.
  struct Delivery {
    bool push = false;
    std::uint32_t target = 0;
    std::shared_ptr<host::IDataSet> data;
    double time = 0;
  };
  // A replay request a batch's pushes go to, as it was when they were played. A batch names each once,
  // so neither thread touches the request's counts per push.
  struct Target {
    std::weak_ptr<ReplayDataRequest> request;
    std::uint64_t generation = 0;
  };
  struct Batch {
    std::vector<Delivery> deliveries;
    std::vector<Target> targets;
  };
  // The replayed market for command 3080, per upper-case code: the values table of its latest push, and
  // the fields of earlier pushes that one leaves out (merged only when a push brings other columns than
  // the one before, so a push costs a look-up and a pointer).
  struct Quoted {
    std::shared_ptr<host::TDataTable> latest;
    std::map<std::string, std::pair<std::string, host::TDataTable::Cell>> earlier;  // name -> type name, cell
  };
  using Market = std::unordered_map<std::string, Quoted>;

  ReplaySpeed(host::IMainLoop& loop, Options options);

  void Run();
  // Waits until `record` is due (running jobs meanwhile); false when the engine stops.
  bool WaitUntilDue(const Record& record, std::unique_lock<std::mutex>& lock);
  void Play(Record& record, std::unique_lock<std::mutex>& lock);
  // Play, kind by kind; `numbered` when the record's request number is one the engine keeps.
  // A push joins the batch; the thread waits for the main thread when too many are on their way.
  void PlayQuotes(Record& record, bool numbered, std::unique_lock<std::mutex>& lock);
  // A recorded request's new subscription or history command.
  void PlayRequestChange(Record& record, bool numbered);
  // A history reply: held until a replay request claims its command, or handed to the bound request.
  void PlayReply(Record& record, bool numbered, std::unique_lock<std::mutex>& lock);
  // A connection or LED notice: handed to the call-back once the pushes before it are delivered.
  void PlayConnectionNotice(const Record& record, std::unique_lock<std::mutex>& lock);
  void FinishRecording(std::unique_lock<std::mutex>& lock);
  // A record of `time` has been delivered (or passed over) in order: the clock moves on to it. Only
  // the paced clock's base needs mutex_ held.
  bool RaiseDeliveredTime(double time);
  void Delivered(double time);
  // Posts the deliveries gathered so far; with `evenIfEmpty`, an empty batch too, so that the main loop
  // wakes and whoever waits on it for the engine (CaughtUp, Finished) looks again. REQUIRES: mutex_ held.
  void PostBatch(bool evenIfEmpty = false);
  // Posts the batch and waits until the main thread has delivered every push; false when stopping.
  bool DrainPushes(std::unique_lock<std::mutex>& lock);
  // Delivers a batch on the main thread and hands its data sets back to the engine's thread.
  void Deliver(Batch& batch);
  // Hands the data sets the main thread is done with to the reader to decode into again, so tables are
  // freed (or reused) by the thread that made them. REQUIRES: mutex_ held; unlocks while it works.
  void RecycleSpent(std::unique_lock<std::mutex>& lock);
  // Runs queued jobs, unlocking while each runs. REQUIRES: mutex_ held.
  void RunJobs(std::unique_lock<std::mutex>& lock);

  // Bindings. REQUIRES: mutex_ held.
  std::shared_ptr<ReplayDataRequest> BoundTo(std::uint32_t number);
  // The index in batch_.targets of the request bound to the recorded one, or nullopt when none is.
  std::optional<std::uint32_t> TargetOf(std::uint32_t number);
  // Whether a live replay request is bound to the recorded request.
  bool Taken(std::uint32_t number);
  // Binds the recorded request to a replay request with the same subscription, or undoes a binding whose
  // subscriptions no longer match.
  void Rebind(std::uint32_t number);
  void Bind(std::uint32_t number, const std::shared_ptr<ReplayDataRequest>& request);
  void Unbind(ReplayDataRequest& request);
  void BindBySubscription(const std::shared_ptr<ReplayDataRequest>& request);
  // The replay request takes the recorded request's latest command as its own: it is bound to it and
  // receives the replies already played (on the engine's thread) and those still to come.
  void Claim(std::uint32_t number, const std::shared_ptr<ReplayDataRequest>& request);
  // A pending command the recorded request's latest command answers.
  void ClaimPending(std::uint32_t number);
  std::vector<std::shared_ptr<ReplayDataRequest>> LiveRequests();
  // The package acted for the first time: the pace may start. REQUIRES: mutex_ held.
  void Act();

  // Called by the replay's requests.
  void OnSubscribe(const std::shared_ptr<ReplayDataRequest>& request);
  void OnUnsubscribe(ReplayDataRequest& request);
  void SubmitHistory(Pending pending);
  int NextPid();

  // The engine's own answers, on its thread.
  // A push read: the replayed market takes its values. Before it plays, without mutex_.
  void UpdateMarket(const Record& record);
  static void CallObserver(host::IObserver& observer, const Record& reply);
  void Answer(const Pending& pending);
  std::shared_ptr<host::IDataSet> ExportReply(const Params& params, int pid, int& error) const;

  host::IMainLoop& loop_;
  const Options options_;
  RecordingReader reader_;  // the engine's thread's, once started
  std::optional<Record> first_;
  Market market_;            // the engine's thread's
  std::string market_code_;  // the code being looked up, kept for its memory

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool running_job_ = false;
  bool stopping_ = false;
  bool acted_ = false;
  bool anchored_ = false;
  host::Clock::time_point anchor_clock_;
  double anchor_time_ = 0;
  bool waiting_ = false;         // the thread waits for due_
  host::Clock::time_point due_;  // when the record it waits for is due
  double next_time_ = 0;         // that record's time: the clock stops there until it is played
  // The time of the last record delivered (or passed over) in order. Atomic as well: as fast as possible,
  // the main thread moves it push by push without taking mutex_; on a cache line of its own, which the
  // engine's thread does not write to all the while it plays.
  alignas(64) std::atomic<double> delivered_time_{0};
  // The paced clock runs from the latest record delivered, so it reads that record's time exactly while
  // the record is being delivered.
  alignas(64) double base_time_ = 0;
  host::Clock::time_point base_clock_;
  bool read_through_ = false;  // every record that reads has been played
  Batch batch_;                // gathered on the thread, not yet posted
  // Which target of batch_ the pushes of a recorded request go to, while bindings_changed_ stays as it was.
  std::uint32_t targeted_number_ = 0;
  std::optional<std::uint32_t> targeted_;
  std::uint64_t targeted_at_change_ = 0;
  std::uint64_t bindings_changed_ = 0;  // moved on by every change of a binding or a subscription
  std::size_t in_flight_ = 0;           // posted, not yet delivered
  // Pushes' data sets delivered and handed back (at most maxInFlight), for the engine's thread to recycle
  // while it still reads; swapped with recycling_ (the engine's thread's) so neither side allocates.
  std::vector<std::shared_ptr<host::IDataSet>> spent_;
  std::vector<std::shared_ptr<host::IDataSet>> recycling_;
  std::vector<std::weak_ptr<ReplayDataRequest>> requests_;
  std::map<std::uint32_t, Recorded> recorded_;
  std::vector<Pending> pending_;
  std::shared_ptr<host::ICallBack> callback_;
  std::optional<int> connect_code_;  // the connection state played so far
  std::optional<int> led_status_;
  std::string outcome_;
  Counts counts_;
  int last_pid_ = 0;
  std::thread thread_;
};

// A data request of the replay: its observer, its subscription, and the recorded request it is bound to.
// Its state is guarded by its engine's mutex_.
class ReplayDataRequest final : public host::Implements<host::ISpeedDataRequest>,
                                public std::enable_shared_from_this<ReplayDataRequest> {
 public:
  ReplayDataRequest(std::weak_ptr<ReplaySpeed> engine, std::shared_ptr<host::IObserver> observer)
      : engine_(std::move(engine)), observer_(std::move(observer)) {}

  int Subscribe(const host::TKrSpeedSymbolDataList& symbols) override;
  int UnSubscribe() override;
  // Any positive command ID: the recording decides what is answered.
  int GetParamSerialSet(int commandID, std::shared_ptr<host::IParamSerialSet>& paramSet) override;
  int Request(const std::shared_ptr<host::IParamSerialSet>& paramSet,
              const std::shared_ptr<host::ISpeedDataRequestGroup>& group) override;

 private:
  friend class ReplaySpeed;

  const std::weak_ptr<ReplaySpeed> engine_;
  const std::shared_ptr<host::IObserver> observer_;
  host::TKrSpeedSymbolDataList subscription_;
  // Moved on by every (un)subscription, under the engine's mutex_: older pushes are dropped. Atomic, so a
  // delivery reads it without the lock.
  std::atomic<std::uint64_t> generation_{0};
  std::uint32_t bound_ = 0;  // the recorded request's number; 0 when unbound
};

}  // namespace kdp::replay
