// kdp-host security CODE: the host security object of a code.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/security.h"

namespace kdp::app {
namespace {

int ShowSecurity(Session& s, const std::string& code) {
  auto security = s.host.Securities().GetSecurity(code);
  if (!security) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
    return 1;
  }
  auto line = [&](std::string_view label, const std::string& value) { fmt::print(s.out, "{:<16}{}\n", label, value); };
  line("code", security->GetKoraCode());
  line("stock code", security->GetStockCode());
  line("name", security->GetStockName());
  line("full name", security->GetCABName());
  line("English name", security->GetENName());
  line("stock type", security->GetStockType());
  line("exchange", security->GetExchange());
  line("category", std::to_string(security->GetCategory(host::kQuoteCategoryKind)));
  line("list status", std::string(1, security->GetListStatus()));
  line("trade span", security->GetTradeSpan());
  line("price step", fmt::format("{}", security->GetPriceStep()));
  line("currency", security->GetCurrency());
  line("IPO date", DateText(security->GetIPODate()));
  return 0;
}

}  // namespace

void AddSecurityCommand(CLI::App& app, Action& chosen) {
  auto* security = app.add_subcommand("security", "show the host security object of a code");
  auto code = std::make_shared<std::string>();
  security->add_option("CODE", *code, "security code, e.g. 600000.SH")->required();
  security->callback([&chosen, code] { chosen = [code](Session& s) { return ShowSecurity(s, *code); }; });
}

}  // namespace kdp::app
