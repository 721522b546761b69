// Condition reminders under one quote push, interleaved with their baseline (goal: within 3x).
//
// Measured: 10,000 price reminders, a level above and one below the price on each of 5,000 securities,
// each with its own real-time model as reminders have. One push of the 5,000 securities reaches them as
// the quote engine delivers it: the package's quote feed reads it once, every model stores its security's
// row and runs the reminder's update cycle (frequency, security, session, condition).
// Baseline: a plain loop over the same push: one parse of the engine's data set of 5,000 rows, then each
// of the 10,000 thresholds compared with its security's price, with the same re-arm flags.
//
// Pushes alternate between a price above both levels and one below both, so each push fires 5,000
// reminders and re-arms the other 5,000, on both sides alike (checked). With the argument 1 the reminders
// are paused: their update cycle stops at the first test, which leaves what the delivery into 10,000
// models costs by itself.
#include <unordered_map>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "kdp/alerts/conditions_remind.h"
#include "kdp/speed/speed_quote_data.h"
#include "kdp/speed/speed_session.h"
#include "paired_timing.h"
#include "scripted_speed.h"

namespace kdp::bench {
namespace {

constexpr int kSecurities = 5000;
constexpr double kEpsilon = 0.000001;

// User-defined codes: they share one classification, with the mainland sessions, so the host's sample
// security master, which other benchmarks walk, stays as it is.
std::string Code(int s) { return fmt::format("{:06}.UD", s); }
double UpLevel(int s) { return 10.0 + s * 0.001; }
double DownLevel(int s) { return UpLevel(s) - 1.0; }

// One push: the engine's data set of every security.
std::shared_ptr<host::IDataSet> MakePush(double offsetFromUpLevel) {
  std::vector<testing::QuoteRow> rows;
  for (int s = 0; s < kSecurities; ++s) {
    rows.push_back({Code(s), {{1, 20261204}, {2, 103000}, {3, UpLevel(s) + offsetFromUpLevel}}, {}});
  }
  return testing::QuotePush(rows);
}

// A threshold of the plain loop: the security's index, its level and direction, and its re-arm flag.
struct Threshold {
  int security;
  double level;
  bool up;
  bool armed = true;
};

void BM_RemindersOnOnePush_PlainLoopBaseline(benchmark::State& state) {
  auto& host = BenchHost();
  auto previous = host.Context().GetSpeed();
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  host.Context().SetSpeed(engine);
  FreeHQSpeedImpl();  // the package's session is made again, on this engine

  std::vector<std::unique_ptr<TKrPriceArriveRemind>> reminds;
  std::vector<Threshold> thresholds;
  std::unordered_map<std::string, int> securityOf;
  const bool paused = state.range(0) == 1;
  long measuredFired = 0, baselineFired = 0;
  for (int s = 0; s < kSecurities; ++s) {
    securityOf.emplace(Code(s), s);
    for (const bool up : {true, false}) {
      auto remind = std::make_unique<TKrPriceArriveRemind>();
      remind->SetKoraCode(Code(s));
      remind->FCustomPrice = up ? UpLevel(s) : DownLevel(s);
      remind->FMonitorPriceType = up ? TMonitorPriceType::ptPriceUp : TMonitorPriceType::ptPriceDown;
      remind->SetState(paused ? TKrTriggerState::tsPause : TKrTriggerState::tsMonitor);
      remind->SetOnTriggerred([&](TKrConditionsRemindBase&) { ++measuredFired; });
      remind->StartMonitor();
      reminds.push_back(std::move(remind));
      thresholds.push_back({s, up ? UpLevel(s) : DownLevel(s), up});
    }
  }
  if (engine->observers.size() != 1) {
    state.SkipWithError("the reminders' models did not subscribe through one engine request");
    return;
  }
  const std::shared_ptr<host::IDataSet> pushes[] = {MakePush(0.5), MakePush(-1.5)};  // above both levels, below both
  int baselinePhase = 0, measuredPhase = 0;  // each side alternates its own pushes, whichever runs first

  Interleave(
      state,
      [&] {
        const TKrSpeedDataSetParseCmdID3070 rows(pushes[baselinePhase]);
        for (const TSpeedQuoteData& row : rows.Rows()) {
          double price = 0;
          for (std::size_t i = 0; i < row.FItemArray.size(); ++i) {
            if (row.FItemArray[i] == 3) price = std::get<double>(row.FValueArray[i]);
          }
          const auto security = securityOf.find(row.FKoraCode);
          if (security == securityOf.end() || price < kEpsilon) continue;
          for (int k = 0; k < 2; ++k) {
            Threshold& t = thresholds[static_cast<std::size_t>(security->second * 2 + k)];
            const double d = t.up ? price - t.level : t.level - price;
            if (d > kEpsilon && t.armed) {
              t.armed = false;
              ++baselineFired;
            } else if (d < kEpsilon) {
              t.armed = true;
            }
          }
        }
        baselinePhase = 1 - baselinePhase;
      },
      [&] {
        engine->observers[0]->SaveQuoteData(pushes[measuredPhase]);
        measuredPhase = 1 - measuredPhase;
      });

  // Interleave's untimed first pair pushed once more on each side.
  state.counters["fired_per_push"] = static_cast<double>(measuredFired) / static_cast<double>(state.iterations() + 1);
  if (!paused && measuredFired != baselineFired) {
    state.SkipWithError(
        fmt::format("the reminders fired {} times, the plain loop {}", measuredFired, baselineFired).c_str());
  }
  for (auto& remind : reminds) remind->StopMonitor();
  reminds.clear();
  host.Context().SetSpeed(previous);
  FreeHQSpeedImpl();
}
BENCHMARK(BM_RemindersOnOnePush_PlainLoopBaseline)->ArgName("paused")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kdp::bench
