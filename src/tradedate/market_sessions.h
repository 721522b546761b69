// Trading sessions as HHMM start/end values ("930,1130,1300,1500"): the time two lists of sessions have in
// common. Pure functions; any thread.
#pragma once

#include <vector>

namespace kdp {

// The trading time common to both lists, as HHMM start/end values. Each list is first made monotone (a
// value below the one before it moves to the next day, +2400), the sessions are intersected pairwise and
// values past midnight come back below 2400. Either list empty gives an empty result; sessions that only
// touch (one ends where the other starts) share nothing.
std::vector<int> GetCombineMarketTime(std::vector<int> a, std::vector<int> b);

}  // namespace kdp
