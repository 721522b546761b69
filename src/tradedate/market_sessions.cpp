#include "tradedate/market_sessions.h"

#include <cstddef>

namespace kdp {
namespace {

constexpr int kNextDay = 2400;

void MakeMonotone(std::vector<int>& sessions) {
  for (std::size_t i = 1; i < sessions.size(); ++i) {
    if (sessions[i] < sessions[i - 1]) sessions[i] += kNextDay;
  }
}

}  // namespace

std::vector<int> GetCombineMarketTime(std::vector<int> a, std::vector<int> b) {
  std::vector<int> common;
  if (a.size() < 2 || b.size() < 2) return common;
  MakeMonotone(a);
  MakeMonotone(b);
  // Whole sessions only: a trailing start without its end is no session.
  const std::size_t aPairs = a.size() / 2, bPairs = b.size() / 2;
  std::size_t ia = 0, ib = 0;
  int bStart = b[0];
  while (ia < aPairs && ib < bPairs) {
    const int aStart = a[2 * ia], aEnd = a[2 * ia + 1], bEnd = b[2 * ib + 1];
    if (aStart <= bStart && bStart < aEnd) {
      common.push_back(bStart);
      if (bEnd > aEnd) {
        common.push_back(aEnd);
        bStart = aEnd;
        ++ia;
      } else {
        common.push_back(bEnd);
        if (++ib < bPairs) bStart = b[2 * ib];
      }
    } else if (bStart < aStart) {
      if (bEnd < aStart) {
        if (++ib < bPairs) bStart = b[2 * ib];
      } else {
        bStart = aStart;
      }
    } else {
      ++ia;
    }
  }
  for (int& value : common) {
    if (value > kNextDay) value -= kNextDay;
  }
  return common;
}

}  // namespace kdp
