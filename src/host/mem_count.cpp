#include "kdp/host/mem_count.h"

#include <map>
#include <mutex>
#include <string>

#include <fmt/format.h>

#include "kdp/host/log.h"

namespace kdp::host {
namespace {

struct Counts {
  std::mutex mutex;
  std::map<std::string, std::int64_t, std::less<>> live;
};

// Never destroyed: objects may be counted out while other statics are torn down at exit.
Counts& Registry() {
  static auto* counts = new Counts();
  return *counts;
}

}  // namespace

void IncMem(std::string_view className) {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  auto it = r.live.find(className);
  if (it == r.live.end()) it = r.live.emplace(std::string(className), 0).first;
  ++it->second;
}

void DecMem(std::string_view className) {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  auto it = r.live.find(className);
  if (it == r.live.end()) it = r.live.emplace(std::string(className), 0).first;
  --it->second;
}

std::int64_t LiveObjectCount(std::string_view className) {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  auto it = r.live.find(className);
  return it == r.live.end() ? 0 : it->second;
}

int CheckMemLeakOutOnTerminate() {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  int leaked = 0;
  for (const auto& [name, count] : r.live) {
    if (count == 0) continue;
    ++leaked;
    AddHQLog(fmt::format("CheckMemLeakOutOnTerminate {} live objects: {}", name, count), "MemCheck",
             host::LogSeverity::kWarning);
  }
  if (leaked == 0) AddHQLog("CheckMemLeakOutOnTerminate no live objects left", "MemCheck", host::LogSeverity::kInfo);
  return leaked;
}

}  // namespace kdp::host
