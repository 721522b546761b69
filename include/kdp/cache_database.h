// Where the package keeps its cache of server answers (cloud reports and indicators): one SQLite file in
// the user's directory. It is a cache: the package keeps a damaged one aside and makes it again, and
// another program holding it locked makes the package's operations fail soon as busy (kdp/host/sqlite.h).
#pragma once

#include <string>

namespace kdp {

// The cache database's path; "" before the host's paths are known. Main thread.
std::string CacheDataBasePath();

}  // namespace kdp
