// kdp-host lux columns
// The Lux columns the package loaded from its configuration: sector name, caption, processor, data
// strategy, the request kinds each serves, and whether it runs in test mode.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/lux/lux_requests.h"
#include "kdp/package.h"

namespace kdp::app {
namespace {

// The table's columns and their widths.
constexpr std::pair<Texts, int> kColumns[] = {{{"栏目", "欄目", "column"}, 28},
                                              {{"处理器", "處理器", "processor"}, 40},
                                              {{"策略", "策略", "strategy"}, 16},
                                              {{"请求", "請求", "requests"}, 24}};
constexpr Texts kCaption{"标题", "標題", "caption"};
constexpr Texts kTestMode{"（测试数据，无服务器）", "（測試資料，無伺服器）", " (test data, no server)"};
constexpr Texts kCount{"共 {} 个栏目", "共 {} 個欄目", "{} columns"};

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ",") + part;
  return text;
}

int ListColumns(Session& s) {
  auto columns = host::Query<IKrLuxColumnList>(QueryPackageInterface<IKrLuxDataManager>("IKrLuxDataMgr"));
  if (!columns) {
    fmt::print(s.err, "kdp-host: the package published no Lux data manager\n");
    return 1;
  }
  const std::vector<TLuxColumnInfo> list = columns->GetLuxColumns();
  std::string header;
  for (const auto& [title, width] : kColumns) header += Pad(Text(s, title), width, false) + " ";
  fmt::print(s.out, "{}{}\n", header, Text(s, kCaption));
  for (const TLuxColumnInfo& c : list) {
    const std::string cells[] = {c.Sector, c.DataProcessorName, c.DataStrategyName.empty() ? "-" : c.DataStrategyName,
                                 Joined(c.RequestKinds)};
    std::string line;
    for (std::size_t i = 0; i < std::size(cells); ++i) line += Pad(cells[i], kColumns[i].second, false) + " ";
    fmt::print(s.out, "{}{}{}\n", line, c.Caption, c.TestMode ? Text(s, kTestMode) : "");
  }
  fmt::print(s.out, "{}\n", TextFormat(s, kCount, list.size()));
  return 0;
}

}  // namespace

void AddLuxCommand(CLI::App& app, Action& chosen) {
  auto* lux = app.add_subcommand("lux", "the Lux information service's configuration");
  lux->require_subcommand(1);
  lux->add_subcommand("columns", "list the configured columns")->callback([&chosen] { chosen = ListColumns; });
}

}  // namespace kdp::app
