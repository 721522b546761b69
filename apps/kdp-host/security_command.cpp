// kdp-host security CODE: the host security object of a code.
// kdp-host security --sector ID[,ID...]: sectors and their members as the package's sector cache keeps
// them (IKrHQSectorCache, published by GUID), which sector-based widgets read instead of asking the host.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/security.h"
#include "kdp/refdata/sector_cache.h"

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
  line("IPO date", DateText(security->GetIPODate()));
  return 0;
}

int ShowCachedSectors(Session& s, const std::string& ids) {
  auto cache = host::Query<IKrHQSectorCache>(s.host.Registry().Find(IKrHQSectorCache::IID));
  if (!cache) {
    fmt::print(s.err, "kdp-host: the package published no IKrHQSectorCache\n");
    return 2;
  }
  cache->SetIsCacheSector(true);
  cache->SetSectorIDs(ids);
  std::vector<std::shared_ptr<host::IKrSector>> sectors;
  if (!cache->GetCacheSectorIDs(sectors)) {
    fmt::print(s.err, "kdp-host: no sector {} is known to the host\n", ids);
    return 1;
  }
  for (const auto& sector : sectors) {
    const std::vector<std::string> codes = sector->GetMemberCodes();
    fmt::print(s.out, "{}  {}: {} members\n", sector->GetID(), sector->GetName(), codes.size());
    for (const std::string& code : codes) {
      auto security = cache->GetSecurity(code);
      fmt::print(s.out, "  {:<12}{}\n", code, security ? security->GetStockName() : "(no security object)");
    }
  }
  return 0;
}

}  // namespace

void AddSecurityCommand(CLI::App& app, Action& chosen) {
  auto* security = app.add_subcommand("security", "show the host security object of a code");
  auto code = std::make_shared<std::string>();
  auto sectors = std::make_shared<std::string>();
  auto* codeOption = security->add_option("CODE", *code, "security code, e.g. 600000.SH");
  auto* sectorOption =
      security->add_option("--sector", *sectors, "sector IDs joined by \",\": the sector cache's members instead");
  codeOption->excludes(sectorOption);
  security->callback([&chosen, code, sectors] {
    if (code->empty() && sectors->empty()) throw CLI::RequiredError("CODE or --sector");
    chosen = [code, sectors](Session& s) {
      return sectors->empty() ? ShowSecurity(s, *code) : ShowCachedSectors(s, *sectors);
    };
  });
}

}  // namespace kdp::app
