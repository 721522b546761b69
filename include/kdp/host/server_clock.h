// The quote server's clock: Beijing time, UTC+8 without summer time, whatever zone the machine keeps. Hosts
// work it out from the machine's UTC clock (the system clock counts UTC), never from the machine's zone.
#pragma once

#include <chrono>

#include "kdp/host/date_time.h"

namespace kdp::host {

inline constexpr double kServerTimeZoneHours = 8.0;

// The server's wall clock at an instant of the system clock.
inline DateTime ServerTimeAt(std::chrono::system_clock::time_point instant) {
  constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 as a DateTime
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch()).count();
  return DateTime(kUnixEpochDays + static_cast<double>(ms) / 86400000.0 + kServerTimeZoneHours / 24.0);
}

}  // namespace kdp::host
