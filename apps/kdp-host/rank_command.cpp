// kdp-host rank SECTOR --sort FIELD --top N: a sector ranking by quote fields (command 3040).
#include <fmt/format.h>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kdp/host/security.h"
#include "kdp/speed/speed_history_providers.h"
#include "kdp/speed/speed_session.h"

namespace kdp::app {
namespace {

std::string NameOf(Session& s, const std::string& code) {
  auto security = s.host.Securities().GetSecurity(code);
  return security ? security->GetStockName() : std::string();
}

int Rank(Session& s, const std::string& sector, const std::vector<int>& sortFields, int top, bool ascending) {
  // A field the engine does not simulate would rank every security by nothing.
  if (s.host.Speed() != nullptr) {
    for (int id : sortFields) {
      if (!s.host.Speed()->Fields().RoleOf(static_cast<std::uint32_t>(id))) {
        fmt::print(s.err, "kdp-host: the quote engine has no field {} to rank by\n", id);
        return 1;
      }
    }
  }
  G_GetHQSpeedImpl();
  TKrSpeedDataProviderCmd3040 provider;
  if (provider.GetParams() == nullptr) {
    fmt::print(s.err, "kdp-host: the quote engine offers no sector ranking\n");
    return 1;
  }
  ReplyWait wait;
  provider.SetOnDataNotify([&](bool) { wait.Arrived(); });
  provider.GetParams()->SetSectorName(sector);
  provider.GetParams()->SetSortIDs(fmt::format("{}", fmt::join(sortFields, ",")));
  provider.GetParams()->SetSortDirections(ascending ? "0" : "1");
  provider.GetParams()->SetLinesNumber(top);
  if (provider.FireRequest() <= 0 || !wait.Wait()) {
    fmt::print(s.err, "kdp-host: no reply to the ranking request\n");
    return 1;
  }
  auto parser = provider.GetParser();
  const auto& sectors = parser->GetPrimaryInfo(0);
  if (sectors.GetRowCount() == 0) {
    fmt::print(s.err, "kdp-host: unknown sector {}\n", sector);
    return 1;
  }
  if (s.format != OutputFormat::Table) {
    Listing listing{{"sector", "field", "rank", "code", "name", "value", "last", "prev"}, {}};
    for (int i = 0; i < sectors.GetRowCount(); ++i) {
      const auto& charts = sectors.GetSectorChartItems(i);
      for (int k = 0; k < charts.GetRowCount(); ++k) {
        const auto& items = charts.GetChartItems(k);
        for (int r = 0; r < items.GetRowCount(); ++r) {
          const std::string code = items.GetKoraCode(r);
          listing.rows.push_back({sectors.GetSectorName(i), charts.GetIndex(k), r + 1, code, NameOf(s, code),
                                  items.GetValue(r), items.GetNewValue(r), items.GetPreValue(r)});
        }
      }
    }
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
  }
  for (int i = 0; i < sectors.GetRowCount(); ++i) {
    const auto& charts = sectors.GetSectorChartItems(i);
    for (int k = 0; k < charts.GetRowCount(); ++k) {
      const auto& items = charts.GetChartItems(k);
      fmt::print(s.out, "{} by field {} ({} of {})\n", sectors.GetSectorName(i), charts.GetIndex(k),
                 items.GetRowCount(), ascending ? "lowest" : "highest");
      fmt::print(s.out, "{:>4}  {:<12}{:<14}{:>14}{:>12}{:>12}\n", "#", "code", "name", "value", "last", "prev");
      for (int r = 0; r < items.GetRowCount(); ++r) {
        const std::string code = items.GetKoraCode(r);
        fmt::print(s.out, "{:>4}  {:<12}{:<14}{:>14.6g}{:>12.3f}{:>12.3f}\n", r + 1, code, NameOf(s, code),
                   items.GetValue(r), items.GetNewValue(r), items.GetPreValue(r));
      }
    }
  }
  return 0;
}

}  // namespace

void AddRankCommand(CLI::App& app, Action& chosen) {
  struct RankOptions {
    std::string sector;
    std::vector<int> sort{81};
    int top = 10;
    bool ascending = false;
  };
  auto rank = std::make_shared<RankOptions>();
  auto* rank_cmd = app.add_subcommand("rank", "rank a sector's securities by quote fields (command 3040)");
  rank_cmd->add_option("SECTOR", rank->sector, "sector ID, e.g. IND.BANK; several joined by \",\"")->required();
  rank_cmd->add_option("--sort", rank->sort, "field IDs to rank by (0 to 9999), joined by \",\"")
      ->delimiter(',')
      ->check(FieldId())
      ->capture_default_str();
  rank_cmd->add_option("--top", rank->top, "how many securities per field")
      ->capture_default_str()
      ->check(CLI::Range(1, 500));
  rank_cmd->add_flag("--ascending", rank->ascending, "lowest first");
  rank_cmd->callback([&chosen, rank] {
    chosen = [rank](Session& s) { return Rank(s, rank->sector, rank->sort, rank->top, rank->ascending); };
  });
}

}  // namespace kdp::app
