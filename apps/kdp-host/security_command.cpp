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

constexpr Texts kStockCode{"证券代码", "證券代碼", "stock code"};
constexpr Texts kFullName{"全称", "全稱", "full name"};
constexpr Texts kEnglishName{"英文名称", "英文名稱", "English name"};
constexpr Texts kExchange{"交易所", "交易所", "exchange"};
constexpr Texts kCategory{"分类", "分類", "category"};
constexpr Texts kListStatus{"上市状态", "上市狀態", "list status"};
constexpr Texts kTradeSpan{"交易时间规则", "交易時間規則", "trade span"};
constexpr Texts kPriceStep{"最小变动价位", "最小變動價位", "price step"};
constexpr Texts kCurrency{"币种", "幣別", "currency"};
constexpr Texts kIPODate{"上市日期", "上市日期", "IPO date"};
constexpr Texts kMembers{"{}  {}：{} 只成员", "{}  {}：{} 檔成員", "{}  {}: {} members"};
constexpr Texts kNoSecurityObject{"（无证券对象）", "（無證券物件）", "(no security object)"};

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
  auto line = [&](const Texts& label, const std::string& value) { s.out << LabelLine(s, label, value, 16); };
  line(words::kCode, security->GetKoraCode());
  line(kStockCode, security->GetStockCode());
  line(words::kName, security->GetStockName());
  line(kFullName, security->GetCABName());
  line(kEnglishName, security->GetENName());
  line(words::kStockType, security->GetStockType());
  line(kExchange, security->GetExchange());
  line(kCategory, std::to_string(security->GetCategory(host::kQuoteCategoryKind)));
  line(kListStatus, std::string(1, security->GetListStatus()));
  line(kTradeSpan, security->GetTradeSpan());
  line(kPriceStep, fmt::format("{}", security->GetPriceStep()));
  line(kCurrency, security->GetCurrency());
  line(kIPODate, DateText(security->GetIPODate()));
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
    fmt::print(s.out, "{}\n", TextFormat(s, kMembers, sector->GetID(), sector->GetName(), codes.size()));
    for (const std::string& code : codes) {
      auto security = cache->GetSecurity(code);
      fmt::print(s.out, "  {:<12}{}\n", code,
                 security ? DisplayName(s, *security) : std::string(Text(s, kNoSecurityObject)));
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
