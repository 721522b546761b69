// kdp-host sectors news|affiche|law [--column CODE [--kind DITGet|DITSearch|DITSub]]
// A column tree of the stand-in Lux service as the sector tree manager keeps it, one node a line indented
// by level; with --column, the request description a news widget would use for that column of the tree.
#include <algorithm>

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
  std::string column;
  std::string kind = "DITGet";
};

int RunSectors(Session& s, const Options& o) {
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
  auto* sectors = app.add_subcommand("sectors", "a column tree of the Lux service: news, affiche or law");
  sectors->add_option("TREE", options->tree, "news, affiche or law")
      ->required()
      ->check(CLI::IsMember({"news", "affiche", "law"}));
  sectors->add_option("--column", options->column, "a column code of the tree: print its request description");
  sectors->add_option("--kind", options->kind, "the request kind for --column")
      ->check(CLI::IsMember({"DITGet", "DITSearch", "DITSub"}));
  sectors->callback([&chosen, options] { chosen = [options](Session& s) { return RunSectors(s, *options); }; });
}

}  // namespace kdp::app
