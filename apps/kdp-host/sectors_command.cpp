// kdp-host sectors news|affiche|law [--column CODE [--kind DITGet|DITSearch|DITSub]]
// kdp-host sectors quote [PARENT]
// A column tree of the stand-in Lux service as the sector tree manager keeps it, one node a line indented
// by level; with --column, the request description a news widget would use for that column of the tree.
// The quote sectors of the host (what `rank`, `sector-chart` and `board` take) with their member counts.
#include <algorithm>
#include <set>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/lux/sector_tree.h"
#include "kdp/package.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

constexpr auto kTreeWait = 15s;

constexpr std::pair<TSectorType, Texts> kTreeNames[] = {{TSectorType::kNews, {"新闻", "新聞", "news"}},
                                                       {TSectorType::kAffiche, {"公告", "公告", "affiche"}},
                                                       {TSectorType::kLaw, {"法规", "法規", "law"}}};
constexpr Texts kTreeHeading{"{}栏目树：{} 个节点", "{}欄目樹：{} 個節點", "{} tree: {} nodes"};
constexpr Texts kRequestHeading{"栏目 {1} 的 {0} 请求：", "欄目 {1} 的 {0} 請求：", "{0} request of column {1}:"};

struct Options {
  std::string tree;
  std::string parent;  // quote: the sector whose subtree is listed
  std::string column;
  std::string kind = "DITGet";
};

// The distinct codes of a sector and its descendants.
void CollectCodes(host::IKrSector& sector, std::set<std::string>& codes) {
  for (const std::string& code : sector.GetMemberCodes()) codes.insert(code);
  for (int i = 0; i < sector.GetChildCount(); ++i) {
    if (auto child = sector.GetChild(i)) CollectCodes(*child, codes);
  }
}

void AddQuoteSectorRows(host::IKrSector& sector, const std::string& parent, int level, Listing& listing) {
  std::set<std::string> codes;
  CollectCodes(sector, codes);
  listing.rows.push_back({sector.GetID(), sector.GetName(), parent, level, codes.size(), sector.GetChildCount()});
  for (int i = 0; i < sector.GetChildCount(); ++i) {
    if (auto child = sector.GetChild(i)) AddQuoteSectorRows(*child, sector.GetID(), level + 1, listing);
  }
}

constexpr Texts kSectorHeader{"板块", "板塊", "sector"};
constexpr Texts kSecurities{"证券数", "證券數", "securities"};
constexpr Texts kInSectors{"（含 {} 个板块）", "（含 {} 個板塊）", "  in {} sectors"};

int RunQuoteSectors(Session& s, const Options& o) {
  Listing listing{{"id", "name", "parent", "level", "members", "sectors"}, {}};
  if (o.parent.empty()) {
    const auto root = s.host.Sectors().SystemRoot();
    for (int i = 0; root && i < root->GetChildCount(); ++i) AddQuoteSectorRows(*root->GetChild(i), "", 0, listing);
  } else if (auto sector = s.host.Sectors().Find(o.parent)) {
    AddQuoteSectorRows(*sector, "", 0, listing);
  } else {
    fmt::print(s.err, "kdp-host: unknown sector {} (`kdp-host sectors quote` lists them)\n", o.parent);
    return 1;
  }
  if (s.format != OutputFormat::Table) {
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
  }
  fmt::print(s.out, "{}{}{}\n", Pad(Text(s, kSectorHeader), 18, false), Pad(Text(s, words::kName), 14, false),
             Pad(Text(s, kSecurities), 6, true));
  for (const auto& row : listing.rows) {
    const int level = row[3].get<int>(), children = row[5].get<int>();
    const std::string id = std::string(static_cast<std::size_t>(level) * 2, ' ') + row[0].get<std::string>();
    fmt::print(s.out, "{}{}{:>6}{}\n", Pad(id, 18, false), Pad(row[1].get<std::string>(), 14, false),
               row[4].get<std::size_t>(), children > 0 ? TextFormat(s, kInSectors, children) : "");
  }
  return 0;
}

int RunSectors(Session& s, const Options& o) {
  if (o.tree == "quote") return RunQuoteSectors(s, o);
  if (!o.parent.empty()) {
    fmt::print(s.err, "kdp-host: a {} tree takes no sector ({}); see --column\n", o.tree, o.parent);
    return 1;
  }
  auto trees = QueryPackageInterface<ISectorTreeMgr>("ISectorTreeMgr");
  if (!trees) {
    fmt::print(s.err, "kdp-host: the package published no ISectorTreeMgr\n");
    return 2;
  }
  TSectorType type = TSectorType::kNews;
  for (TSectorType candidate : {TSectorType::kNews, TSectorType::kAffiche, TSectorType::kLaw}) {
    if (SectorTypeKey(candidate) == o.tree) type = candidate;
  }
  // The news tree's reply ends the exchange of all three: once it is stored, every reply is in.
  std::shared_ptr<const TSectorTreeNodes> nodes = trees->GetSectorTree(type);
  if (!nodes &&
      !s.host.Loop().RunUntil([&] { return trees->GetSectorTree(TSectorType::kNews) != nullptr; }, kTreeWait)) {
    fmt::print(s.err, "kdp-host: no news tree from the Lux service within {} seconds\n", kTreeWait.count());
    return 1;
  }
  if (!nodes) nodes = trees->GetSectorTree(type);
  if (!nodes) {
    fmt::print(s.err, "kdp-host: the sector tree manager keeps no {} tree (only the news tree's reply is stored)\n",
               o.tree);
    return 1;
  }
  if (!o.column.empty() &&
      std::none_of(nodes->begin(), nodes->end(), [&](const TNewsSectorItem& node) { return node.Code == o.column; })) {
    std::string codes;
    for (const TNewsSectorItem& node : *nodes) codes += " " + node.Code;
    fmt::print(s.err, "kdp-host: the {} tree has no column {}; its columns are:{}\n", o.tree, o.column, codes);
    return 1;
  }
  const auto name = std::find_if(std::begin(kTreeNames), std::end(kTreeNames),
                                 [type](const auto& tree) { return tree.first == type; });
  fmt::print(s.out, "{}\n", TextFormat(s, kTreeHeading, Text(s, name->second), nodes->size()));
  for (const TNewsSectorItem& node : *nodes) {
    fmt::print(s.out, "{}{}  {}{}\n", std::string(static_cast<std::size_t>(std::clamp(node.Level, 0, 16)) * 2 + 2, ' '),
               node.Code, node.CodeName, node.IsLeaf != 0 ? "" : "/");
  }
  if (o.column.empty()) return 0;
  ReqInfoPtr info = trees->GetSectorTreeReqInfo(o.column, o.kind);
  if (!info) {
    fmt::print(s.err, "kdp-host: no {} request for column {} (see the log)\n", o.kind, o.column);
    return 1;
  }
  fmt::print(s.out, "{}\n", TextFormat(s, kRequestHeading, o.kind, o.column));
  for (int i = 0; i < info->GetIndexQuotaCount(); ++i) {
    fmt::print(s.out, "  {} = {}\n", info->GetIndexByOrder(i), info->GetIndexValueByOrder(i));
  }
  return 0;
}

}  // namespace

void AddSectorsCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<Options>();
  auto* sectors = app.add_subcommand(
      "sectors", "a column tree of the Lux service (news, affiche or law), or the host's quote sectors (quote)");
  sectors->add_option("TREE", options->tree, "news, affiche, law or quote")
      ->required()
      ->check(CLI::IsMember({"news", "affiche", "law", "quote"}));
  sectors->add_option("PARENT", options->parent, "quote: only this sector and the sectors under it, e.g. INDUSTRY");
  sectors->add_option("--column", options->column, "a column code of the tree: print its request description");
  sectors->add_option("--kind", options->kind, "the request kind for --column")
      ->check(CLI::IsMember({"DITGet", "DITSearch", "DITSub"}));
  sectors->callback([&chosen, options] { chosen = [options](Session& s) { return RunSectors(s, *options); }; });
}

}  // namespace kdp::app
