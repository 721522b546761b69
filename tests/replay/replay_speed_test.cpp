// The replay engine on recordings written by hand: its pace and server clock, which data request gets
// what, history replies, connection notices, pushes racing resubscriptions, and pushes an observer keeps
// while the engine decodes the next ones into spent tables.
#include "replay_speed.h"

#include <deque>
#include <filesystem>
#include <functional>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kdp/host/reply_packet.h"
#include "main_loop.h"
#include "recording_writer.h"
#include "test_host.h"

namespace kdp::replay {
namespace {

using namespace std::chrono_literals;

const host::DateTime kStart = host::DateTime::FromParts(2026, 12, 4, 10, 30, 0);

host::DateTime At(double seconds) { return kStart.AddSeconds(seconds); }

Record Make(RecordKind kind, std::uint32_t request, double seconds) {
  Record record;
  record.kind = kind;
  record.request = request;
  record.serverTime = At(seconds);
  return record;
}

Record Subscribe(std::uint32_t request, double seconds, const std::vector<std::string>& codes) {
  Record record = Make(RecordKind::kSubscribe, request, seconds);
  for (const auto& code : codes) record.symbols.push_back({code, {3}});
  return record;
}

host::TKrSpeedSymbolDataList Symbols(const std::vector<std::string>& codes) {
  host::TKrSpeedSymbolDataList symbols;
  for (const auto& code : codes) symbols.push_back({code, {3}});
  return symbols;
}

// A push as the stand-in engine builds one: one packet whose body row holds the code and field 3.
std::shared_ptr<host::IDataSet> QuoteSet(const std::string& code, double last) {
  auto values = std::make_shared<host::TDataTable>();
  values->Set(values->AddRow(), values->AddField("3", "double"), last);
  auto body = host::MakeQuoteBody();
  host::AddQuoteBodyRow(*body, code, values);
  return host::MakeReplyPacket({}, body);
}

// A recorded push, or with kHistoryData the data a history command got back, of one code's field 3.
Record Push(std::uint32_t request, double seconds, const std::string& code, double last,
            RecordKind kind = RecordKind::kQuotes) {
  Record record = Make(kind, request, seconds);
  record.data = QuoteSet(code, last);
  return record;
}

Record Notice(RecordKind kind, double seconds, int value) {
  Record record = Make(kind, 0, seconds);
  record.numbers[0] = value;
  return record;
}

// A history command of a recorded request, and the server's response to it (PID 70 + the request).
Record Command(std::uint32_t request, double seconds, int command, std::map<std::string, std::string> params) {
  Record record = Make(RecordKind::kRequest, request, seconds);
  record.numbers[0] = command;
  record.params = std::move(params);
  return record;
}
Record Response(std::uint32_t request, double seconds, int command) {
  Record record = Make(RecordKind::kResponse, request, seconds);
  record.numbers = {0, 70 + static_cast<int>(request), command};
  return record;
}

// Sends a history command through a data request; answers its PID.
int Send(host::ISpeedDataRequest& to, int command, const std::map<std::string, std::string>& params) {
  std::shared_ptr<host::IParamSerialSet> set;
  EXPECT_EQ(to.GetParamSerialSet(command, set), 1);
  for (const auto& [key, value] : params) set->SetValue(key, value);
  return to.Request(set, nullptr);
}

// "600000.SH 3=10.5" per body row of a push or of an export reply.
std::string Rows(host::IDataSet& data) {
  std::string text;
  auto body = data.GetAsDataSet(0, 1);
  for (int row = 0; body && row < body->GetRowCount(); ++row) {
    text += body->GetAsString(row, 0);
    if (auto values = body->GetAsDataSet(row, 1)) {
      for (int c = 0; c < values->GetFieldCount(); ++c) {
        text += fmt::format(" {}={}", host::FieldName(*values, c), values->GetAsString(0, c));
      }
    }
    text += ";";
  }
  return text;
}

// Writes down every call in order, connection notices included, which thread made it and the engine's server
// time then. `onPush`, when set, acts after each push is written down (the package resubscribing, or letting
// its request go, while pushes are on their way); it is given the number of calls so far.
class TestObserver final : public host::Implements<host::IObserver, host::ICallBack> {
 public:
  explicit TestObserver(host::IMainLoop& loop) : loop_(loop) {}
  void Watch(const std::shared_ptr<ReplaySpeed>& engine) { engine_ = engine; }

  int SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) override {
    Note(fmt::format("push {}", data ? Rows(*data) : "null"));
    if (onPush) onPush(Count());
    return 0;
  }
  int SetData(const std::shared_ptr<host::IDataSet>& data) override {
    return Note(fmt::format("data {}", data ? Rows(*data) : "null"));
  }
  int NotifyReqResponse(int error, int returnID, int command) override {
    return Note(fmt::format("response {} {} {}", error, returnID, command));
  }
  const void* GetQEStatus() override { return nullptr; }
  int NotifyHisData(int a, int b) override { return Note(fmt::format("notice {} {}", a, b)); }
  std::shared_ptr<host::IConfig> GetIConfig() override { return nullptr; }
  int NotifyConnect(int code) override { return Note(fmt::format("connect {}", code)); }
  int NotifyLEDChange(int status) override { return Note(fmt::format("LED {}", status)); }

  std::vector<std::string> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<host::DateTime> Times() const {
    std::lock_guard lock(mutex_);
    return times_;
  }
  std::size_t Count() const {
    std::lock_guard lock(mutex_);
    return events_.size();
  }
  std::function<void(std::size_t)> onPush;  // main thread only

 private:
  int Note(std::string event) {
    if (!loop_.IsMainThread()) event += " (engine thread)";
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    if (auto engine = engine_.lock()) times_.push_back(engine->ServerTime());
    return 0;
  }

  host::IMainLoop& loop_;
  std::weak_ptr<ReplaySpeed> engine_;
  mutable std::mutex mutex_;  // guards events_ and times_: replies arrive on the engine's thread
  std::vector<std::string> events_;
  std::vector<host::DateTime> times_;
};

class ReplaySpeedTest : public ::testing::Test {
 protected:
  ReplaySpeedTest() { loop_.BindToCurrentThread(); }
  ~ReplaySpeedTest() override {
    if (engine_) engine_->Stop();
    engine_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Writes the records as a recording, a block for each group.
  std::string Write(const std::vector<std::vector<Record>>& groups, const std::string& name = "play.kdpr") {
    const std::string path = dir_ + "/" + name;
    std::string error;
    auto writer = RecordingWriter::Create(path, {}, error);
    EXPECT_TRUE(writer) << error;
    for (const auto& group : groups) {
      for (const Record& record : group) writer->Append(record);
      writer->Flush();
      block_ends_.push_back(writer->GetCounts().bytes);
    }
    writer->Close();
    return path;
  }

  void Open(const std::string& path, double speed, std::size_t maxInFlight = 1024) {
    ReplaySpeed::Options options;
    options.speed = speed;
    options.clock = clock_;
    options.poll = 1h;  // the engine looks at the clock when told to
    options.maxInFlight = maxInFlight;
    std::string error;
    engine_ = ReplaySpeed::Open(path, loop_, options, error);
    ASSERT_TRUE(engine_) << error;
    engine_->Start();
  }

  std::shared_ptr<TestObserver> Observer() {
    auto observer = std::make_shared<TestObserver>(loop_);
    observer->Watch(engine_);
    return observer;
  }
  // An observer and a data request of its own that subscribes `codes`.
  std::pair<std::shared_ptr<TestObserver>, std::shared_ptr<host::ISpeedDataRequest>> Listen(
      const std::vector<std::string>& codes) {
    auto observer = Observer();
    auto request = engine_->CreateDataRequest(observer);
    EXPECT_EQ(request->Subscribe(Symbols(codes)), 0);
    return {observer, request};
  }

  // Runs the loop until the engine has played and delivered everything due on the clock.
  void CatchUp() {
    engine_->Wake();
    ASSERT_TRUE(loop_.RunUntil([&] { return engine_->CaughtUp(); }, 10s));
  }
  void Advance(host::Clock::duration step) {
    clock_->Advance(step);
    CatchUp();
  }
  void PlayToTheEnd() {
    engine_->Wake();
    ASSERT_TRUE(loop_.RunUntil([&] { return engine_->Finished(); }, 20s));
  }

  const std::string dir_ = testing::MakeTempDir();
  std::vector<std::uint64_t> block_ends_;
  std::shared_ptr<host::ManualClock> clock_ = std::make_shared<host::ManualClock>();
  minihost::MiniMainLoop loop_{clock_};
  std::shared_ptr<ReplaySpeed> engine_;
};

TEST_F(ReplaySpeedTest, ThePaceStartsAtTheFirstSubscriptionAndTheClockFollowsTheRecording) {
  Open(Write({{Notice(RecordKind::kConnect, 0, 0), Subscribe(1, 10, {"600000.SH"}), Push(1, 10, "600000.SH", 10.0),
               Push(1, 11, "600000.SH", 10.1), Push(1, 13, "600000.SH", 10.2)}}),
       1.0);
  EXPECT_EQ(engine_->ServerTime(), At(0));  // the first record's time before anything plays

  // A minute passes before the package subscribes: nothing plays meanwhile but the lead-in.
  Advance(60s);
  EXPECT_EQ(engine_->ServerTime(), At(0));
  auto [observer, request] = Listen({"600000.SH"});
  CatchUp();
  EXPECT_EQ(observer->Events(), (std::vector<std::string>{"push 600000.SH 3=10;"}));
  EXPECT_EQ(engine_->ServerTime(), At(10));

  Advance(500ms);
  EXPECT_EQ(observer->Events().size(), 1u);
  EXPECT_NEAR(engine_->ServerTime().value, At(10.5).value, 1e-9);  // moves with the clock between records
  Advance(500ms);
  EXPECT_EQ(observer->Events().size(), 2u);
  Advance(1900ms);
  EXPECT_NEAR(engine_->ServerTime().value, At(12.9).value, 1e-9);
  Advance(200ms);
  EXPECT_EQ(observer->Events().back(), "push 600000.SH 3=10.2;");
  EXPECT_TRUE(engine_->Finished());
  Advance(10s);
  EXPECT_EQ(engine_->ServerTime(), At(13));  // nothing recorded after: the clock stays there
  // Every push reached the observer on the main thread, at its recorded time.
  EXPECT_EQ(observer->Times(), (std::vector<host::DateTime>{At(10), At(11), At(13)}));
  EXPECT_EQ(engine_->Outcome(), fmt::format("5 records in 1 blocks, the whole file ({} bytes)", block_ends_.back()));
}

TEST_F(ReplaySpeedTest, FasterPacesDivideTheWaits) {
  Open(Write({{Subscribe(1, 0, {"A"}), Push(1, 0, "A", 1), Push(1, 4, "A", 2)}}), 4.0);
  auto [observer, request] = Listen({"A"});
  CatchUp();
  Advance(900ms);
  EXPECT_EQ(observer->Events().size(), 1u);
  EXPECT_NEAR(engine_->ServerTime().value, At(3.6).value, 1e-9);
  Advance(100ms);
  EXPECT_EQ(observer->Events().size(), 2u);
}

// Within one batch of pushes too: a recorded request that moves to another subscription takes its pushes
// away from the replay's request until the two match again.
TEST_F(ReplaySpeedTest, AsFastAsPossibleBindingsFollowRecordedResubscriptions) {
  Open(Write({{Subscribe(1, 0, {"A"}), Push(1, 1, "A", 1), Subscribe(1, 2, {"A2"}), Push(1, 3, "A2", 2),
               Subscribe(1, 4, {"A"}), Push(1, 5, "A", 3)}}),
       0.0);
  auto [observer, request] = Listen({"A"});
  PlayToTheEnd();
  EXPECT_EQ(observer->Events(), (std::vector<std::string>{"push A 3=1;", "push A 3=3;"}));
  EXPECT_EQ(engine_->GetCounts().skipped, 1u);
}

TEST_F(ReplaySpeedTest, RequestsAreBoundByWhatTheySubscribe) {
  Open(Write({{Subscribe(1, 0, {"A"}), Subscribe(2, 0, {"B"}), Subscribe(3, 0, {"C"})},
              {Push(1, 1, "A", 1), Push(2, 1, "B", 1), Push(3, 1, "C", 1)},
              {Subscribe(1, 2, {"A2"})},
              {Push(1, 3, "A2", 2)},
              {Push(1, 4, "A2", 3), Push(2, 4, "B", 2)}}),
       1.0);
  // Made in another order than recorded: each finds its recorded request by its subscription.
  auto first = Observer(), second = Observer();
  auto requestB = engine_->CreateDataRequest(first);
  auto requestA = engine_->CreateDataRequest(second);
  requestB->Subscribe(Symbols({"B"}));
  requestA->Subscribe(Symbols({"A"}));
  CatchUp();
  Advance(1s);
  EXPECT_EQ(first->Events(), (std::vector<std::string>{"push B 3=1;"}));
  EXPECT_EQ(second->Events(), (std::vector<std::string>{"push A 3=1;"}));
  // The recorded request moves to A2; the replay's still holds A, so A2's first push reaches nobody.
  Advance(2s);
  EXPECT_EQ(second->Events().size(), 1u);
  requestA->Subscribe(Symbols({"A2"}));  // now they match again
  Advance(1s);
  EXPECT_EQ(second->Events(), (std::vector<std::string>{"push A 3=1;", "push A2 3=3;"}));
  EXPECT_EQ(first->Events(), (std::vector<std::string>{"push B 3=1;", "push B 3=2;"}));
  EXPECT_EQ(engine_->GetCounts().skipped, 2u);  // C, nobody subscribed it; A2's first push
}

TEST_F(ReplaySpeedTest, HistoryRepliesFollowTheCommandThatAskedForThem) {
  const std::map<std::string, std::string> exportParams = {{"KoraCodeList", "A,B"}, {"A", "3"}, {"B", "3"}};
  const std::map<std::string, std::string> rankParams = {{"SectorName", "IND.BANK"}};
  // A's first push brings field 4 too, which its last push leaves out: the export keeps it from there.
  Record firstOfA = Push(1, 0, "A", 10);
  auto valuesOfA = std::dynamic_pointer_cast<host::TDataTable>(firstOfA.data->GetAsDataSet(0, 1)->GetAsDataSet(0, 1));
  valuesOfA->Set(0, valuesOfA->AddField("4", "double"), 7.0);
  Open(Write({{Subscribe(1, 0, {"A", "B"}), firstOfA},
              {Command(2, 2, 3080, exportParams), Response(2, 2, 3080), Push(2, 2, "A", 99, RecordKind::kHistoryData)},
              {Command(3, 3, 3040, rankParams), Response(3, 3, 3040),
               Push(3, 3, "IND.BANK", 1, RecordKind::kHistoryData)},
              {Push(1, 4, "B", 20), Push(1, 5, "A", 11)}}),
       1.0);
  auto quotes = Observer(), exporter = Observer(), ranker = Observer(), other = Observer();
  auto quoteRequest = engine_->CreateDataRequest(quotes);
  auto exportRequest = engine_->CreateDataRequest(exporter);
  auto rankRequest = engine_->CreateDataRequest(ranker);
  auto otherRequest = engine_->CreateDataRequest(other);
  quoteRequest->Subscribe(Symbols({"A", "B"}));
  // Asked before its recorded twin plays: the replies come when they were recorded, off the main thread.
  EXPECT_GT(Send(*exportRequest, 3080, exportParams), 0);
  CatchUp();
  Advance(2s);
  EXPECT_EQ(exporter->Events(),
            (std::vector<std::string>{"response 0 72 3080 (engine thread)", "data A 3=99; (engine thread)"}));
  // Asked after its recorded twin played: the replies held for it come at once.
  Advance(2s);
  EXPECT_TRUE(ranker->Events().empty());
  Send(*rankRequest, 3040, rankParams);
  CatchUp();
  EXPECT_EQ(ranker->Events(),
            (std::vector<std::string>{"response 0 73 3040 (engine thread)", "data IND.BANK 3=1; (engine thread)"}));
  // Never recorded: answered once the recording has played, 3080 from the quotes as the last push left
  // them, anything else with error 1 and no data.
  const int exportPid = Send(*otherRequest, 3080, {{"KoraCodeList", "A,B,Z"}, {"A", "3,4"}, {"B", "3"}});
  const int sortPid = Send(*otherRequest, 3050, rankParams);
  Advance(500ms);
  EXPECT_TRUE(other->Events().empty());
  Advance(1s);
  ASSERT_TRUE(engine_->Finished());
  EXPECT_EQ(other->Events(), (std::vector<std::string>{
                                 fmt::format("response 1 {} 3080 (engine thread)", exportPid),  // Z has no quotes
                                 "data A 3=11 4=7;B 3=20; (engine thread)",
                                 fmt::format("response 1 {} 3050 (engine thread)", sortPid),
                             }));
  EXPECT_EQ(engine_->GetCounts().skipped, 0u);
}

// The replies held for a recorded command nobody sent yet go when the recorded request sends another: a
// request that sends the new one gets its replies only, and the dropped ones are counted once.
TEST_F(ReplaySpeedTest, ANewCommandDropsTheRepliesHeldForTheOneBefore) {
  const std::map<std::string, std::string> exportParams = {{"KoraCodeList", "A"}, {"A", "3"}};
  const std::map<std::string, std::string> rankParams = {{"SectorName", "IND.BANK"}};
  Open(Write({{Subscribe(1, 0, {"A"})},
              {Command(2, 1, 3080, exportParams), Response(2, 1, 3080), Push(2, 1, "A", 99, RecordKind::kHistoryData)},
              {Command(2, 2, 3040, rankParams), Response(2, 2, 3040),
               Push(2, 2, "IND.BANK", 1, RecordKind::kHistoryData)}}),
       1.0);
  auto quotes = Observer(), asker = Observer();
  auto quoteRequest = engine_->CreateDataRequest(quotes);
  auto askRequest = engine_->CreateDataRequest(asker);
  quoteRequest->Subscribe(Symbols({"A"}));
  CatchUp();
  Advance(2s);
  ASSERT_TRUE(engine_->Finished());
  EXPECT_TRUE(asker->Events().empty());
  EXPECT_EQ(engine_->GetCounts().skipped, 2u);  // the export's response and data
  Send(*askRequest, 3040, rankParams);
  CatchUp();
  EXPECT_EQ(asker->Events(),
            (std::vector<std::string>{"response 0 72 3040 (engine thread)", "data IND.BANK 3=1; (engine thread)"}));
  EXPECT_EQ(engine_->GetCounts().skipped, 2u);
}

TEST_F(ReplaySpeedTest, ConnectionNoticesReachTheCallBackOnce) {
  Open(Write({{Notice(RecordKind::kConnect, 0, 0), Notice(RecordKind::kLedChange, 0, 1), Subscribe(1, 0, {"A"})},
              {Notice(RecordKind::kConnect, 5, 10054), Notice(RecordKind::kLedChange, 5, -1)}}),
       1.0);
  CatchUp();  // the lead-in has played before anyone listens
  auto observer = Observer();
  engine_->SetCallBack(observer);  // told how the lead-in left the connection, as a live engine tells it
  auto request = engine_->CreateDataRequest(observer);
  request->Subscribe(Symbols({"A"}));
  CatchUp();
  const std::vector<std::string> leadIn = {"connect 0 (engine thread)", "LED 1 (engine thread)"};
  EXPECT_EQ(observer->Events(), leadIn);
  Advance(5s);
  EXPECT_EQ(observer->Events(), (std::vector<std::string>{leadIn[0], leadIn[1], "connect 10054 (engine thread)",
                                                          "LED -1 (engine thread)"}));
}

TEST_F(ReplaySpeedTest, TheSameSubscriptionSentAgainKeepsThePushesOnTheirWay) {
  Open(Write({{Subscribe(1, 0, {"A"}), Push(1, 1, "A", 1), Push(1, 1, "A", 2), Subscribe(1, 1, {"A"}),
               Push(1, 2, "A", 3)}}),
       1.0);
  auto [observer, request] = Listen({"A"});
  observer->onPush = [&request](std::size_t seen) {
    if (seen == 1) request->Subscribe(Symbols({"A"}));
  };
  CatchUp();
  Advance(1s);  // both pushes of second 1 go to the main loop together
  Advance(1s);
  EXPECT_EQ(observer->Events(), (std::vector<std::string>{"push A 3=1;", "push A 3=2;", "push A 3=3;"}));
  EXPECT_EQ(engine_->GetCounts().skipped, 0u);
}

// A request the package lets go hears none of the pushes on their way to it after that.
TEST_F(ReplaySpeedTest, ARequestLetGoHearsNoMoreOfItsPushes) {
  Open(Write({{Subscribe(1, 0, {"A"}), Push(1, 1, "A", 1), Push(1, 1, "A", 2), Push(1, 1, "A", 3)}}), 0.0);
  auto [observer, request] = Listen({"A"});
  observer->onPush = [&request](std::size_t) { request.reset(); };
  PlayToTheEnd();
  EXPECT_EQ(observer->Events(), (std::vector<std::string>{"push A 3=1;"}));
}

// The engine's thread keeps posting pushes while the main thread delivers them and resubscribes in its
// call-back, with more pushes of the same batch on their way: a push for a subscription that was replaced
// never arrives, and the pushes of the matching one all do. Two recorded requests push A and B in turn, so
// the engine's thread waits for the main thread whichever the replay's request holds.
TEST_F(ReplaySpeedTest, PushesRaceResubscriptions) {
  std::vector<Record> records = {Subscribe(1, 0, {"A"}), Subscribe(2, 0, {"B"})};
  constexpr int kPushes = 7500;  // of each
  for (int i = 0; i < kPushes; ++i) {
    records.push_back(Push(1, i * 0.001, "A", i));
    records.push_back(Push(2, i * 0.001, "B", i));
  }
  Open(Write({records}), 0.0, 64);
  auto [observer, request] = Listen({"A"});
  constexpr std::size_t kAwayAt = 2000, kBackAt = 4000;
  observer->onPush = [&request](std::size_t seen) {
    if (seen == kAwayAt) request->Subscribe(Symbols({"B"}));
    if (seen == kBackAt) request->Subscribe(Symbols({"A"}));
  };
  PlayToTheEnd();
  // Each code's pushes come in order, at their recorded times and without a gap within its stretch, and no
  // push of the other code arrives in it.
  const auto events = observer->Events();
  const auto times = observer->Times();
  ASSERT_GT(events.size(), kBackAt);
  EXPECT_EQ(engine_->GetCounts().delivered, events.size());
  int last = -1;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const bool onB = i >= kAwayAt && i < kBackAt;
    int value = 0;
    ASSERT_EQ(std::sscanf(events[i].c_str(), onB ? "push B 3=%d;" : "push A 3=%d;", &value), 1) << i << events[i];
    EXPECT_EQ(times[i], At(value * 0.001)) << i;
    if (i == 0 || i == kAwayAt || i == kBackAt) {
      EXPECT_GT(value, last) << i;
    } else {
      EXPECT_EQ(value, last + 1) << i;
    }
    last = value;
  }
  EXPECT_EQ(last, kPushes - 1);
}

// Holds on to pushes for a while, as a widget keeping recent quotes: every third whole and the values table
// of every other one, each until kHeldFor more pushes have arrived; when it lets one go, and at the end, it
// checks that the table still reads as it did when delivered.
class KeepingObserver final : public host::Implements<host::IObserver> {
 public:
  static constexpr int kHeldFor = 40;

  int SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) override {
    while (!kept_.empty() && kept_.front().at + kHeldFor < seen_) LetGo();
    if (seen_ % 3 == 0) {
      kept_.push_back({seen_, data, true, Reads(*data, true)});
    } else if (seen_ % 2 == 0) {
      auto values = data->GetAsDataSet(0, 1)->GetAsDataSet(0, 1);
      kept_.push_back({seen_, values, false, Reads(*values, false)});
    }
    ++seen_;
    return 0;
  }
  int SetData(const std::shared_ptr<host::IDataSet>&) override { return 0; }
  int NotifyReqResponse(int, int, int) override { return 0; }
  const void* GetQEStatus() override { return nullptr; }
  int NotifyHisData(int, int) override { return 0; }

  void LetGoOfAll() {
    while (!kept_.empty()) LetGo();
  }
  int Seen() const { return seen_; }
  int Checked() const { return checked_; }
  const std::vector<std::string>& Changed() const { return changed_; }

 private:
  struct Kept {
    int at;
    std::shared_ptr<host::IDataSet> data;
    bool whole;
    std::string reads;
  };
  static std::string Reads(host::IDataSet& data, bool whole) { return whole ? Rows(data) : data.GetAsString(0, 0); }
  void LetGo() {
    const Kept& kept = kept_.front();
    if (std::string now = Reads(*kept.data, kept.whole); now != kept.reads) {
      changed_.push_back(fmt::format("push {}: {} became {}", kept.at, kept.reads, now));
    }
    ++checked_;
    kept_.pop_front();
  }

  int seen_ = 0;
  int checked_ = 0;
  std::deque<Kept> kept_;
  std::vector<std::string> changed_;
};

// Pushes the main thread is done with go back to the engine's thread to be decoded into again: those an
// observer still holds, whole or in part, are never written over, and those it lets go later are reused
// only after it has.
TEST_F(ReplaySpeedTest, PushesAnObserverKeepsAreNeverReused) {
  std::vector<Record> records = {Subscribe(1, 0, {"A", "B"})};
  constexpr int kPushes = 3000;
  for (int i = 0; i < kPushes; ++i) records.push_back(Push(1, i * 0.001, i % 2 == 0 ? "A" : "B", i));
  Open(Write({records}), 0.0, 16);
  auto observer = std::make_shared<KeepingObserver>();
  auto request = engine_->CreateDataRequest(observer);
  request->Subscribe({{"A", {3}}, {"B", {3}}});
  PlayToTheEnd();
  observer->LetGoOfAll();
  EXPECT_EQ(observer->Seen(), kPushes);
  EXPECT_EQ(observer->Checked(), kPushes / 3 + kPushes / 3);  // i % 3 == 0, and even i % 3 != 0
  EXPECT_EQ(observer->Changed(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kdp::replay
