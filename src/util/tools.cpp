#include "util/tools.h"


namespace kdp {

std::string GetFrontString(std::string_view sub, std::string_view text) {
  const std::size_t p = text.find(sub);
  return p == std::string_view::npos ? std::string() : std::string(text.substr(0, p));
}

std::string GetAfterString(std::string_view sub, std::string_view text) {
  const std::size_t found = text.find(sub);
  // 1-based position p (0 when absent); the result starts at p + length(sub), 1-based.
  const std::size_t p = found == std::string_view::npos ? 0 : found + 1;
  const std::size_t start = p + sub.size() - 1;  // 0-based
  return start >= text.size() ? std::string() : std::string(text.substr(start));
}

}  // namespace kdp
