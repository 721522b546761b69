// The order of the board's rows: by a field's value, highest first unless asked otherwise, the first N of
// them; and the members of a quote sector, for a board of a sector.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "command.h"

namespace kdp::app {

struct BoardOrder {
  std::uint32_t field = 0;  // 0: the rows in the order the codes were given
  bool ascending = false;
  std::size_t top = 0;  // 0: every row
};

// A security's value of the sort field; nullopt while it has none.
using SortValue = std::function<std::optional<double>(const std::string& code)>;

// `codes` in the order: by value (securities without one after those with one), equal values in the
// given order; then the first `top`.
std::vector<std::string> OrderCodes(const std::vector<std::string>& codes, const SortValue& value,
                                    const BoardOrder& order);

// The field after `current` in `cycle` (the first when `current` is not in it): what `s` sorts by next.
std::uint32_t NextSortField(const std::vector<std::uint32_t>& cycle, std::uint32_t current);

// The securities of a quote sector as `rank` takes them: its members, or for a parent sector without
// members of its own, its descendants' members, each once. nullopt (with a message) for an unknown sector.
std::optional<std::vector<std::string>> SectorMembers(Session& s, const std::string& sector);

}  // namespace kdp::app
