// Helpers several kdp-host commands share.
#include <algorithm>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/ansi.h"
#include "kdp/package.h"
#include "kdp/refdata/market_time.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp::app {

std::shared_ptr<IKrHQSecurityManager> SecurityManager(Session& s) {
  auto manager = QueryPackageInterface<IKrHQSecurityManager>("IKrHQSecurityManager");
  if (!manager) fmt::print(s.err, "kdp-host: the package published no security manager\n");
  return manager;
}

bool IsKnownCode(Session& s, IKrHQSecurityManager& manager, const std::string& code) {
  auto known = [&](const std::string& c) { return s.host.Securities().GetSecurity(c) != nullptr; };
  if (known(code)) return true;
  if (SameTextAscii(GetAfterString(".", code), "UD") && code.find('.') != std::string::npos) return true;
  const std::string stripped = StripQuotePrefix(code);
  return manager.IsHardCode(stripped) || (stripped != code && known(stripped));
}

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  for (char16_t unit : host::Utf8ToUtf16(utf8)) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) continue;  // the second half of a surrogate pair
    const bool wide = (unit >= 0x1100 && unit <= 0x115F) || (unit >= 0x2E80 && unit <= 0xA4CF) ||
                      (unit >= 0xAC00 && unit <= 0xD7A3) || (unit >= 0xF900 && unit <= 0xFAFF) ||
                      (unit >= 0xFE30 && unit <= 0xFE4F) || (unit >= 0xFF00 && unit <= 0xFF60) ||
                      (unit >= 0xFFE0 && unit <= 0xFFE6);
    width += wide ? 2 : 1;
  }
  return width;
}

std::string Pad(const std::string& text, int width, bool right) {
  const std::string padding(static_cast<std::size_t>(std::max(0, width - DisplayWidth(text))), ' ');
  return right ? padding + text : text + padding;
}

}  // namespace kdp::app
