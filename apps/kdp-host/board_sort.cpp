// Sorting the board and the members of its sector.
#include "board_sort.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ostream.h>

namespace kdp::app {

std::vector<std::string> OrderCodes(const std::vector<std::string>& codes, const SortValue& value,
                                    const BoardOrder& order) {
  std::vector<std::string> ordered = codes;
  if (order.field != 0) {
    using Keyed = std::pair<std::optional<double>, std::string>;
    std::vector<Keyed> keyed;
    for (const std::string& code : codes) keyed.emplace_back(value(code), code);
    std::stable_sort(keyed.begin(), keyed.end(), [&order](const Keyed& a, const Keyed& b) {
      if (!a.first || !b.first) return a.first.has_value() && !b.first.has_value();
      const double left = *a.first, right = *b.first;
      return order.ascending ? left < right : left > right;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) ordered[i] = keyed[i].second;
  }
  if (order.top > 0 && ordered.size() > order.top) ordered.resize(order.top);
  return ordered;
}

std::uint32_t NextSortField(const std::vector<std::uint32_t>& cycle, std::uint32_t current) {
  if (cycle.empty()) return current;
  const auto at = std::find(cycle.begin(), cycle.end(), current);
  return at == cycle.end() || at + 1 == cycle.end() ? cycle.front() : *(at + 1);
}

std::optional<std::vector<std::string>> SectorMembers(Session& s, const std::string& sector) {
  const auto found = s.host.Sectors().Find(sector);
  if (!found) {
    fmt::print(s.err, "kdp-host: unknown sector {}\n", sector);
    return std::nullopt;
  }
  std::vector<std::string> codes;
  if (found->GetMemberCodes().empty()) {
    CollectMembers(*found, codes);
  } else {
    codes = found->GetMemberCodes();
  }
  return codes;
}

}  // namespace kdp::app
