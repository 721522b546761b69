// A recording of 100,000 quote pushes (one security each, the board's seven fields, fifty securities in
// turn) replayed as fast as possible into one RTD model, against handing the same data sets, parsed from
// the same file beforehand, to the model's observer directly (the baseline: what a live engine's pushes
// cost the main thread). Each iteration runs both sides, each on a fresh model, and times each by the
// wall clock, since the replay reads and decodes the file on its own thread while the main thread
// delivers: the counters give both times and their ratio, the CPU time of all threads of each side and
// the replay's main-thread CPU time.
//
// The baseline is not quite a live engine: its 100,000 data sets (about 200 MB) were all built before it
// starts, so the model reads each push from memory no cache holds, where a live engine's push (and a
// replayed one, decoded a moment before into tables kept for reuse) is still in a cache. "direct_warm_ms"
// shows what that costs: 100,000 pushes cycling through the first 1,000 data sets, which stay cached; the
// goal's ratio is the one against the baseline as it stands.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "kdp/host/data_table.h"
#include "kdp/host/reply_packet.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/speed/speed_session.h"
#include "paired_timing.h"
#include "recording_reader.h"
#include "recording_speed.h"
#include "recording_writer.h"
#include "replay_speed.h"

namespace kdp::bench {
namespace {

constexpr int kPushes = 100000;
constexpr int kCodes = 50;
const std::vector<std::uint32_t> kBoardFields{2, 3, 4, 8, 10, 11, 81};

// An engine that hands its observer to the benchmark, which delivers to it directly.
class DirectSpeed final : public host::Implements<host::ISpeed> {
 public:
  std::shared_ptr<host::ISpeedDataRequest> CreateDataRequest(const std::shared_ptr<host::IObserver>& o) override {
    observer = o;
    return std::make_shared<NoRequest>();
  }
  void SetCallBack(const std::shared_ptr<host::ICallBack>&) override {}
  int QueryMarketInfo(int, const std::string&, host::TMarketInfoBuffer&) override { return -1; }
  void FreeMarketInfo(int, host::TMarketInfoBuffer&) override {}
  std::shared_ptr<host::ISpeedDataRequestGroup> CreateDataRequestGroup() override { return nullptr; }

  std::shared_ptr<host::IObserver> observer;

 private:
  class NoRequest final : public host::Implements<host::ISpeedDataRequest> {
   public:
    int Subscribe(const host::TKrSpeedSymbolDataList&) override { return 0; }
    int UnSubscribe() override { return 0; }
    int GetParamSerialSet(int, std::shared_ptr<host::IParamSerialSet>&) override { return 0; }
    int Request(const std::shared_ptr<host::IParamSerialSet>&,
                const std::shared_ptr<host::ISpeedDataRequestGroup>&) override {
      return 0;
    }
  };
};

std::shared_ptr<host::IDataSet> Push(const std::string& code, int i) {
  auto values = std::make_shared<host::TDataTable>();
  values->AddRow();
  values->Set(0, values->AddField("2", "int64"), std::int64_t{103000 + i % 60});
  values->Set(0, values->AddField("3", "double"), 10.0 + (i % 97) * 0.01);
  values->Set(0, values->AddField("4", "double"), 10.36);
  values->Set(0, values->AddField("8", "int64"), std::int64_t{22647000 + i});
  values->Set(0, values->AddField("10", "double"), (i % 97) * 0.01 - 0.36);
  values->Set(0, values->AddField("11", "string"), std::string("\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0"));
  values->Set(0, values->AddField("81", "double"), ((i % 97) * 0.01 - 0.36) / 10.36);
  auto body = host::MakeQuoteBody();
  host::AddQuoteBodyRow(*body, code, values);
  return host::MakeReplyPacket({{"CmdID", host::kQuotePushCommand}, {"PID", 1}, {"Count", 1}}, body);
}

// Makes `engine` the host's quote engine, for a session attached afresh.
void UseEngine(std::shared_ptr<host::ISpeed> engine) {
  BenchHost().Context().SetSpeed(std::move(engine));
  FreeHQSpeedImpl();
}

// The recording, written once, and its pushes parsed back from it for the baseline.
struct Recording {
  Recording() {
    auto& host = BenchHost();
    for (const auto& security : host.Securities().All()) {
      if (codes.size() < kCodes) codes.push_back(security->GetKoraCode());
    }
    path = (std::filesystem::temp_directory_path() / fmt::format("kdp-bench-{}.kdpr", getpid())).string();
    // Recorded as a session would be: a model subscribes through the recorder, the engine pushes.
    std::string error;
    std::shared_ptr<replay::RecordingWriter> writer = replay::RecordingWriter::Create(path, {}, error);
    if (!writer) throw std::runtime_error(error);
    auto engine = std::make_shared<DirectSpeed>();
    int tick = 0;
    const host::DateTime start = host::DateTime::FromParts(2026, 12, 4, 10, 30, 0);
    UseEngine(
        std::make_shared<replay::RecordingSpeed>(engine, writer, [&] { return start.AddSeconds(0.01 * tick++); }));
    {
      TKrRTDModel model;
      model.Subscrible(Subscription());
      host.Loop().RunUntilIdle();  // the package sends its subscription once the present task is done
      for (int i = 0; i < kPushes; ++i)
        engine->observer->SaveQuoteData(Push(codes[static_cast<std::size_t>(i % kCodes)], i));
    }
    UseEngine(nullptr);
    writer->Close();
    replay::RecordingReader reader;
    if (!reader.Open(path, error)) throw std::runtime_error(error);
    for (replay::Record record; reader.Next(record);) {
      if (record.kind == replay::RecordKind::kQuotes) parsed.push_back(record.data);
    }
  }
  ~Recording() { std::filesystem::remove(path); }

  TKrRealTimeParamStructure Subscription() const {
    TKrRealTimeParamStructure params(kCodes);
    for (int i = 0; i < kCodes; ++i) {
      params.SetKoraCode(i, codes[static_cast<std::size_t>(i)]);
      params.SetItemArray(i, kBoardFields);
    }
    return params;
  }

  std::string path;
  std::vector<std::string> codes;
  std::vector<std::shared_ptr<host::IDataSet>> parsed;
};

// CPU time of every thread of the process: the replay's reading thread counts too.
double ProcessCpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Wall and CPU milliseconds of one side.
struct Cost {
  double wall = 0;
  double cpu = 0;
  double mainCpu = 0;
};
Cost Replay(const Recording& recording) {
  auto& host = BenchHost();
  replay::ReplaySpeed::Options options;
  options.speed = 0;
  options.clock = std::make_shared<host::SteadyClock>();
  std::string error;
  auto engine = replay::ReplaySpeed::Open(recording.path, host.Loop(), options, error);
  if (!engine) throw std::runtime_error(error);
  UseEngine(engine);
  Cost cost;
  {
    TKrRTDModel model;
    const auto start = std::chrono::steady_clock::now();
    const double cpu = ProcessCpuMilliseconds();
    const double mainCpu = ThreadCpuMicros();
    engine->Start();
    model.Subscrible(recording.Subscription());
    if (!host.Loop().RunUntil([&] { return engine->Finished(); }, std::chrono::minutes(5)) ||
        engine->GetCounts().delivered != kPushes) {
      throw std::runtime_error("the replay did not deliver every push");
    }
    cost.wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cost.cpu = ProcessCpuMilliseconds() - cpu;
    cost.mainCpu = (ThreadCpuMicros() - mainCpu) / 1e3;
  }
  engine->Stop();
  UseEngine(nullptr);
  return cost;
}

// All the parsed pushes in order, or (`warm`) as many cycling through the first kWarmPushes.
constexpr std::size_t kWarmPushes = 1000;
Cost Direct(const Recording& recording, bool warm) {
  auto engine = std::make_shared<DirectSpeed>();
  UseEngine(engine);
  Cost cost;
  {
    TKrRTDModel model;
    const auto start = std::chrono::steady_clock::now();
    const double cpu = ProcessCpuMilliseconds();
    model.Subscrible(recording.Subscription());
    const std::size_t cycle = warm ? kWarmPushes : recording.parsed.size();
    for (std::size_t i = 0; i < recording.parsed.size(); ++i)
      engine->observer->SaveQuoteData(recording.parsed[i % cycle]);
    cost.wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cost.cpu = ProcessCpuMilliseconds() - cpu;
    benchmark::DoNotOptimize(model.GetDoubleVal(recording.codes[0], 3, 0));
  }
  UseEngine(nullptr);
  return cost;
}

void BM_ReplayIntoModel_AgainstDirectDelivery(benchmark::State& state) {
  static const Recording recording;
  Cost replay, direct, warm;
  for (auto _ : state) {
    const Cost d = Direct(recording, false), r = Replay(recording);
    warm.wall += Direct(recording, true).wall;
    direct.wall += d.wall;
    direct.cpu += d.cpu;
    replay.wall += r.wall;
    replay.cpu += r.cpu;
    replay.mainCpu += r.mainCpu;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["replay_ms"] = replay.wall / n;
  state.counters["direct_ms"] = direct.wall / n;
  state.counters["direct_warm_ms"] = warm.wall / n;
  state.counters["ratio"] = replay.wall / direct.wall;
  // On a machine other work keeps busy the wall times wait for a core; the CPU times do not.
  state.counters["replay_cpu_ms"] = replay.cpu / n;
  state.counters["direct_cpu_ms"] = direct.cpu / n;
  state.counters["replay_main_cpu_ms"] = replay.mainCpu / n;
  state.SetItemsProcessed(state.iterations() * kPushes);
}
BENCHMARK(BM_ReplayIntoModel_AgainstDirectDelivery)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
}  // namespace kdp::bench
