#include "kdp/host/guid.h"

#include <fmt/format.h>

namespace kdp::host {

std::optional<Guid> Guid::Parse(std::string_view text) {
  auto bytes = TryParse(text);
  if (!bytes) return std::nullopt;
  Guid g;
  g.bytes_ = *bytes;
  return g;
}

std::string Guid::ToString() const {
  const auto& b = bytes_;
  return fmt::format(
      "{:02X}{:02X}{:02X}{:02X}-{:02X}{:02X}-{:02X}{:02X}-{:02X}{:02X}-"
      "{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}",
      b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

}  // namespace kdp::host
