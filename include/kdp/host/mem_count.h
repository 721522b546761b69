// Live-object counting. Classes that want leak reports call IncMem in their constructor and DecMem in
// their destructor; CheckMemLeakOutOnTerminate logs every class whose count is not back to zero.
// Thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

namespace kdp::host {

void IncMem(std::string_view className);
void DecMem(std::string_view className);
std::int64_t LiveObjectCount(std::string_view className);
// Logs one line per class still alive; returns how many classes leaked.
int CheckMemLeakOutOnTerminate();

}  // namespace kdp::host
