// kdp-host services | security CODE | (demo)
#include <algorithm>
#include <variant>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/security.h"

namespace kdp::app {
namespace {

int ListServices(Session& s) {
  struct Row {
    std::uint64_t sequence;
    std::string channel;
    std::string key;
  };
  std::vector<Row> rows;
  for (const auto& e : s.host.Registry().Entries()) rows.push_back({e.sequence, "GUID", e.first.ToString()});
  for (const auto& e : s.host.Names().Entries()) rows.push_back({e.sequence, "name", e.first});
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.sequence < b.sequence; });
  fmt::print(s.out, "{:>3}  {:<7} {}\n", "#", "channel", "published as");
  int n = 0;
  for (const Row& r : rows) fmt::print(s.out, "{:>3}  {:<7} {}\n", ++n, r.channel, r.key);
  return 0;
}

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
  line("IPO date", security->GetIPODate());
  return 0;
}

}  // namespace

void AddFrameCommands(CLI::App& app, Action& chosen) {
  app.add_subcommand("services", "list every service the package published, in publication order")->callback([&chosen] {
    chosen = ListServices;
  });

  auto* security = app.add_subcommand("security", "show the host security object of a code");
  auto code = std::make_shared<std::string>();
  security->add_option("CODE", *code, "security code, e.g. 600000.SH")->required();
  security->callback([&chosen, code] { chosen = [code](Session& s) { return ShowSecurity(s, *code); }; });
}

int RunDemo(Session& s) {
  fmt::print(s.out, "KDP on {} ({} securities, server time {})\n\nPublished services:\n", s.host.Settings().etcRoot,
             s.host.Securities().Count(), s.host.Context().GetServerDateTime().ToString());
  ListServices(s);
  fmt::print(s.out, "\nA price board from the simulated quote engine:\n");
  return PrintBoardSnapshot(s,
                            {"600000.SH", "000001.SZ", "300750.SZ", "00700.HK", "AAPL.O", "IF2612.CFE", "000300.SH"});
}

}  // namespace kdp::app
