// A push's wall-clock latency from the engine's thread to the first widget's call-back, against the floor
// this design sets: the same data set handed from the same thread to the main thread through the same
// main-loop wake-up, with nothing done on arrival but a look at its rows.
//
// Each sample: a poster thread (the engine's) stamps the time and posts; the main thread, asleep in the
// loop's wait, wakes and runs the post. Measured: the post delivers the push to the engine's observer, as
// the stand-in engine's post does, and the time is taken when the model tells its widget. Baseline: the
// post takes the time after reading the push's row count. The push is one security's 25 fields (a tick)
// or 220 securities' (the push of BM_PushMainThreadCost); the poster waits 200 us before posting so the main thread is
// asleep, as a terminal's main thread is between pushes. Samples alternate between the sides. Counters: the median and
// 99th percentile of each side in microseconds, and the ratio of the medians and of the p99s.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <benchmark/benchmark.h>

#include "bench_host.h"
#include "kdp/rtd/rtd_model.h"
#include "main_loop.h"
#include "quote_rows.h"
#include "realtime_subscription.h"
#include "scripted_speed.h"

namespace kdp::bench {
namespace {

using Clock = std::chrono::steady_clock;

double MicrosBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::micro>(to - from).count();
}

// A thread that posts one task to a loop each time it is asked, stamping the moment of the post.
class Poster {
 public:
  explicit Poster(host::IMainLoop& loop) : loop_(loop), thread_([this] { Run(); }) {}
  ~Poster() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  // Posts `task` from the poster's thread after a pause; returns at once.
  void Post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      task_ = std::move(task);
    }
    wake_.notify_one();
  }
  // The moment of the last post. Read after the posted task ran (the loop's queue orders the two).
  Clock::time_point PostedAt() const { return posted_at_; }

 private:
  void Run() {
    while (true) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || task_; });
        if (stopping_) return;
        task = std::move(task_);
        task_ = nullptr;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      posted_at_ = Clock::now();
      loop_.Post(std::move(task));
    }
  }

  host::IMainLoop& loop_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> task_;
  bool stopping_ = false;
  Clock::time_point posted_at_;
  std::thread thread_;
};

void BM_PushLatencyAgainstBareHandOff(benchmark::State& state) {
  auto& host = BenchHost();
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  host.StopPackage();  // the package's session takes the engine it finds when it starts
  host.Context().SetSpeed(engine);
  host.StartPackage();
  {
    std::vector<std::string> codes = SampleCodes();
    codes.resize(static_cast<std::size_t>(state.range(0)));
    std::vector<TSpeedQuoteData> rows;
    for (std::size_t c = 0; c < codes.size(); ++c) rows.push_back(QuoteRow(codes[c], kEngineFields, c));
    const auto push = QuotePush(rows);
    const TKrRealTimeParamStructure params = testing::Subscription(codes, kEngineFields);
    TKrRTDModel model;
    Clock::time_point arrived{};
    bool done = false;
    model.SetUpdateNotify([&] {
      if (!done) arrived = Clock::now();
      done = true;
    });
    model.Subscrible(params);
    auto observer = engine->observers.empty() ? nullptr : engine->observers.back();
    if (!observer) {
      state.SkipWithError("the model did not subscribe");
    } else {
      observer->SaveQuoteData(push);  // the snapshot: the items exist from here on
      host.Loop().RunUntilIdle();
      minihost::MiniMainLoop loop;  // on the real clock: its wait sleeps until a post wakes it
      loop.BindToCurrentThread();
      Poster poster(loop);
      // One sample: post `task`, wake, run it; the time from the post to `arrived`.
      const auto sample = [&](std::function<void()> task) {
        done = false;
        poster.Post(std::move(task));
        if (!loop.RunUntil([&] { return done; }, std::chrono::seconds(5))) return -1.0;
        host.Loop().RunUntilIdle();  // what the delivery left for later
        return MicrosBetween(poster.PostedAt(), arrived);
      };
      const auto delivered = [&] { observer->SaveQuoteData(push); };
      std::atomic<int> seen{0};
      const auto handedOff = [&] {
        seen += push->GetAsDataSet(0, 1)->GetRowCount();
        arrived = Clock::now();
        done = true;
      };
      for (int warmUp = 0; warmUp < 20; ++warmUp) {
        sample(delivered);
        sample(handedOff);
      }
      std::vector<double> measured, baseline;
      bool baselineFirst = true;
      for (auto _ : state) {
        if (baselineFirst) baseline.push_back(sample(handedOff));
        measured.push_back(sample(delivered));
        if (!baselineFirst) baseline.push_back(sample(handedOff));
        baselineFirst = !baselineFirst;
      }
      if (std::find(measured.begin(), measured.end(), -1.0) != measured.end() ||
          std::find(baseline.begin(), baseline.end(), -1.0) != baseline.end()) {
        state.SkipWithError("a post never arrived");
      }
      const double m50 = Quantile(measured, 0.5), b50 = Quantile(baseline, 0.5);
      const double m99 = Quantile(measured, 0.99), b99 = Quantile(baseline, 0.99);
      state.counters["median_us"] = m50;
      state.counters["p99_us"] = m99;
      state.counters["baseline_median_us"] = b50;
      state.counters["baseline_p99_us"] = b99;
      state.counters["ratio"] = b50 > 0 ? m50 / b50 : 0;
      state.counters["ratio_p99"] = b99 > 0 ? m99 / b99 : 0;
    }
  }
  host.StopPackage();
  host.Context().SetSpeed(nullptr);
  host.StartPackage();
}
BENCHMARK(BM_PushLatencyAgainstBareHandOff)
    ->ArgName("securities")
    ->Arg(1)
    ->Arg(220)
    ->Iterations(400)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace kdp::bench
