// What the replayed engine's source files share (replay_speed.cpp, replay_engine_thread.cpp,
// replay_bindings.cpp, replay_market.cpp): its limits, its log source and small helpers. Nothing else
// includes it.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "recording_format.h"

namespace kdp::replay {

inline constexpr std::string_view kLogSource = "ReplaySpeed";
// Recorded data requests are numbered from 1 by the recorder; a number beyond this is not one it made.
inline constexpr std::uint32_t kMaxRecordedRequests = 65536;
// Replies held for a recorded command nobody has sent yet (a response, its data and notices).
inline constexpr std::size_t kMaxHeldReplies = 16;
// Pushes gathered before they are posted as one task. Fewer, larger batches cost both threads fewer
// wake-ups, as long as several stay in flight (at the default most in flight, a quarter of it): played as
// fast as possible, 64 took 1.2x-1.3x the main thread's plain delivery, 256 1.14x-1.25x, 512 1.2x-1.3x.
inline constexpr std::size_t kBatchSize = 256;
inline constexpr double kSecondsPerDay = 86400.0;
// Server times are days in a double, which near today's dates resolve about a microsecond: a record is
// due this much before its exact time, so one recorded at the moment a clock step ends plays at that step.
inline constexpr auto kDueSlack = std::chrono::milliseconds(1);

inline bool SameSubscription(const host::TKrSpeedSymbolDataList& a, const host::TKrSpeedSymbolDataList& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const auto& x, const auto& y) { return x.KoraCode == y.KoraCode && x.ItemIDs == y.ItemIDs; });
}

// Subscriptions and history commands are what the package does first; the pace starts at the first one.
inline bool StartsThePace(RecordKind kind) { return kind == RecordKind::kSubscribe || kind == RecordKind::kRequest; }

template <class Call>
void CallOutside(const char* what, Call&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    host::AddHQLog(fmt::format("{} failed: {}", what, e.what()), kLogSource, host::LogSeverity::kError);
  } catch (...) {
    host::AddHQLog(fmt::format("{} failed", what), kLogSource, host::LogSeverity::kError);
  }
}

}  // namespace kdp::replay
