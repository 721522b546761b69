// Helpers several kdp-host commands share.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
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

}  // namespace kdp::app
