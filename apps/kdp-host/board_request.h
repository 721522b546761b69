// What a board shows, from its command's options: the codes or a sector's members, the fields, the order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board_rows.h"
#include "board_sort.h"
#include "command.h"

namespace kdp::app {

// What a board shows and for how long.
struct BoardRequest {
  std::vector<std::string> codes;
  std::vector<std::uint32_t> extra;
  std::vector<std::string> computed;
  int seconds = 0;
  bool once = false;
  ConnectionDrop drop;
  BoardOrder order;
};

// What `s` sorts by in turn: the quote columns, then the `--fields` columns.
inline const std::vector<std::uint32_t> kSortCycle{kLastField, kChangeField, kChangeRatioField, kVolumeField};

struct BoardOptions {
  std::vector<std::string> codes;
  std::string sector;
  std::vector<std::string> fields;
  std::string sort;
  bool ascending = false;
  std::size_t top = 0;
  int seconds = 0;
  bool once = false;
  ConnectionDrop drop;
};

// The board the options ask for; nullopt (with a message) when a code, sector or field is unknown.
std::optional<BoardRequest> RequestOf(Session& s, const BoardOptions& options);

}  // namespace kdp::app
