// The board for scripts (--format json|csv): a row per security with the fields' raw values, headed by
// English names; `--fields` add a column per field ID, computed columns one per name. A row's time is the
// server's (UTC+8) when it was taken; its last trade's time is that of its market's zone, as on the board.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "command.h"
#include "kdp/rtd/rtd_model.h"

namespace kdp::app {

// Field IDs of the sample dictionary the board shows.
inline constexpr std::uint32_t kLastField = 3;
inline constexpr std::uint32_t kPrevCloseField = 4;
inline constexpr std::uint32_t kVolumeField = 8;
inline constexpr std::uint32_t kChangeField = 10;
inline constexpr std::uint32_t kChangeRatioField = 81;

class BoardRows {
 public:
  BoardRows(Session& s, const std::vector<std::uint32_t>& extra, const std::vector<std::string>& computed)
      : s_(s), extra_(extra), computed_(computed) {}

  std::vector<std::string> Columns() const;
  // Null for a field without a value (none yet, or none the user may see).
  std::vector<nlohmann::json> Row(TKrRTDModel& model, const std::string& code);

  // How many field values the rows carried so far.
  int ShownCells() const { return shown_; }

 private:
  Session& s_;
  const std::vector<std::uint32_t>& extra_;
  const std::vector<std::string>& computed_;
  int shown_ = 0;
};

}  // namespace kdp::app
