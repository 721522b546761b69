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
  if (s.format != OutputFormat::Table) {
    const Listing listing{
        {"code", "stock_code", "name", "full_name", "en_name", "stock_type", "exchange", "category", "list_status",
         "trade_span", "price_step", "currency", "ipo_date"},
        {{security->GetKoraCode(), security->GetStockCode(), security->GetStockName(), security->GetCABName(),
          security->GetENName(), security->GetStockType(), security->GetExchange(),
          security->GetCategory(host::kQuoteCategoryKind), std::string(1, security->GetListStatus()),
          security->GetTradeSpan(), security->GetPriceStep(), security->GetCurrency(),
          IsoDate(security->GetIPODate())}}};
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
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
  line("IPO date", security->GetIPODate());
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
