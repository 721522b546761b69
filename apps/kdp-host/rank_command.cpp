// kdp-host rank SECTOR --sort FIELD --top N: a sector ranking by quote fields (command 3040).
#include <algorithm>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kdp/host/security.h"
#include "kdp/speed/speed_history_providers.h"
#include "kdp/speed/speed_session.h"
#include "sector_master.h"

namespace kdp::app {
namespace {

// The dictionary's last price and previous close, which format the ranking's price columns.
constexpr std::uint32_t kLastPrice = 3;
constexpr std::uint32_t kPrevClose = 4;

// The heading of a field's ranking: sector, field ID, field name, rows, order, and a parent's note.
constexpr Texts kHeading{"{0} 按字段 {1} {2} 排名（前 {3} 名，{4}{5}）", "{0} 按欄位 {1} {2} 排名（前 {3} 名，{4}{5}）",
                         "{0} by field {1} {2} ({3} of {4}{5})"};
constexpr Texts kHighest{"从高到低", "從高到低", "highest"};
constexpr Texts kLowest{"从低到高", "從低到高", "lowest"};
constexpr Texts kParentNote{"，其 {1} 个子板块的 {0} 只证券", "，其 {1} 個子板塊的 {0} 檔證券",
                            ", the {0} members of its {1} sectors"};

std::string NameOf(Session& s, const std::string& code) {
  auto security = s.host.Securities().GetSecurity(code);
  return security ? DisplayName(s, *security) : std::string();
}

// False, with a message, when the engine does not simulate a field to rank by: it would rank every
// security by nothing.
bool EngineHasFields(Session& s, const std::vector<std::uint32_t>& fields) {
  if (s.host.Speed() == nullptr) return true;
  for (std::uint32_t id : fields) {
    if (!s.host.Speed()->Fields().RoleOf(static_cast<std::uint32_t>(id))) {
      fmt::print(s.err, "kdp-host: the quote engine has no field {} to rank by\n", id);
      return false;
    }
  }
  return true;
}

// Fills the ranking request; the heading's note on a parent sector, whose children's members rank
// together ("" for any other sector).
std::string FillRequest(Session& s, TKrSpeedReqParamCmdID3040& params, const std::string& sector,
                        const std::vector<std::uint32_t>& sortFields, int top, bool ascending) {
  params.SetSectorName(sector);
  std::string parentNote;
  if (auto parent = s.host.Sectors().Find(sector);
      parent && parent->GetMemberCodes().empty() && parent->GetChildCount() > 0) {
    std::vector<std::string> codes;
    CollectMembers(*parent, codes);
    params.SetKoraCodeList(fmt::format("{}", fmt::join(codes, ",")));
    parentNote = TextFormat(s, kParentNote, codes.size(), parent->GetChildCount());
  }
  params.SetSortIDs(fmt::format("{}", fmt::join(sortFields, ",")));
  // One direction per field: the engine sorts a field without one highest first.
  const std::vector<std::string> directions(sortFields.size(), ascending ? "0" : "1");
  params.SetSortDirections(fmt::format("{}", fmt::join(directions, ",")));
  params.SetLinesNumber(top);
  return parentNote;
}

// The rankings as one listing (--format json or csv): a row per ranked security of each field.
void WriteRankListing(Session& s, const TKrPrimaryInfo3040& sectors) {
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
}

// One field's ranking of a sector as a table under its heading.
void PrintRanking(Session& s, const std::string& sectorName, std::uint32_t field, const TKrChartItems& items,
                  bool ascending, const std::string& parentNote) {
  fmt::print(s.out, "{}\n",
             TextFormat(s, kHeading, sectorName, field, FieldHeader(field), items.GetRowCount(),
                        Text(s, ascending ? kLowest : kHighest), parentNote));
  // The name column holds the longest name and a blank (English names run longer than Chinese ones).
  int nameWidth = 14;
  for (int r = 0; r < items.GetRowCount(); ++r) {
    nameWidth = std::max(nameWidth, DisplayWidth(NameOf(s, items.GetKoraCode(r))) + 1);
  }
  fmt::print(s.out, "{:>4}  {}{}{}{}{}\n", "#", Pad(Text(s, words::kCode), 12, false),
             Pad(Text(s, words::kName), nameWidth, false), Pad(FieldHeader(field), 14, true),
             Pad(Text(s, words::kLast), 12, true), Pad(Text(s, words::kPrevClose), 12, true));
  for (int r = 0; r < items.GetRowCount(); ++r) {
    const std::string code = items.GetKoraCode(r);
    fmt::print(s.out, "{:>4}  {}{}{}{}{}\n", r + 1, Pad(code, 12, false), Pad(NameOf(s, code), nameWidth, false),
               Pad(FormatFieldValue(code, field, items.GetValue(r)), 14, true),
               Pad(FormatFieldValue(code, kLastPrice, items.GetNewValue(r)), 12, true),
               Pad(FormatFieldValue(code, kPrevClose, items.GetPreValue(r)), 12, true));
  }
}

int Rank(Session& s, const std::string& sector, const std::vector<std::string>& sortNames, int top, bool ascending) {
  const auto sortFields = ResolveFields(s, sortNames);
  if (!sortFields || !EngineHasFields(s, *sortFields)) return 1;
  G_GetHQSpeedImpl();
  TKrSpeedDataProviderCmd3040 provider;
  if (provider.GetParams() == nullptr) {
    fmt::print(s.err, "kdp-host: the quote engine offers no sector ranking\n");
    return 1;
  }
  ReplyWait wait;
  provider.SetOnDataNotify([&](bool) { wait.Arrived(); });
  const std::string parentNote = FillRequest(s, *provider.GetParams(), sector, *sortFields, top, ascending);
  if (provider.FireRequest() <= 0 || !wait.Wait()) {
    fmt::print(s.err, "kdp-host: no reply to the ranking request\n");
    return 1;
  }
  auto parser = provider.GetParser();
  const auto& sectors = parser->GetPrimaryInfo(0);
  if (sectors.GetRowCount() == 0) {
    fmt::print(s.err, "kdp-host: unknown sector {} (the sectors are those of Host/Sectors.json, e.g. SH_A, IND.BANK)\n",
               sector);
    return 1;
  }
  if (s.format != OutputFormat::Table) {
    WriteRankListing(s, sectors);
    return 0;
  }
  for (int i = 0; i < sectors.GetRowCount(); ++i) {
    const auto& charts = sectors.GetSectorChartItems(i);
    for (int k = 0; k < charts.GetRowCount(); ++k) {
      PrintRanking(s, sectors.GetSectorName(i), static_cast<std::uint32_t>(charts.GetIndex(k)), charts.GetChartItems(k),
                   ascending, parentNote);
    }
  }
  return 0;
}

}  // namespace

void AddRankCommand(CLI::App& app, Action& chosen) {
  struct RankOptions {
    std::string sector;
    std::vector<std::string> sort{"81"};
    int top = 10;
    bool ascending = false;
  };
  auto rank = std::make_shared<RankOptions>();
  auto* rank_cmd = app.add_subcommand("rank", "rank a sector's securities by quote fields (command 3040)");
  rank_cmd
      ->add_option("SECTOR", rank->sector, "sector ID, e.g. IND.BANK or the parent INDUSTRY; several joined by \",\"")
      ->required();
  rank_cmd->add_option("--sort", rank->sort, "fields to rank by, IDs (0 to 9999) or names, joined by \",\"")
      ->delimiter(',')
      ->check(FieldIdOrName(9999))
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
