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
  fmt::print(s.out, "{:<28} {:<40} {:<16} {:<24} {}\n", "column", "processor", "strategy", "requests", "caption");
  for (const TLuxColumnInfo& c : list) {
    fmt::print(s.out, "{:<28} {:<40} {:<16} {:<24} {}{}\n", c.Sector, c.DataProcessorName,
               c.DataStrategyName.empty() ? "-" : c.DataStrategyName, Joined(c.RequestKinds), c.Caption,
               c.TestMode ? " (test data, no server)" : "");
  }
  fmt::print(s.out, "{} columns\n", list.size());
  return 0;
}

}  // namespace

void AddLuxCommand(CLI::App& app, Action& chosen) {
  auto* lux = app.add_subcommand("lux", "the Lux information service's configuration");
  lux->require_subcommand(1);
  lux->add_subcommand("columns", "list the configured columns")->callback([&chosen] { chosen = ListColumns; });
}

}  // namespace kdp::app
