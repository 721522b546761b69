// kdp-host services: every service the package published, in publication order, with its channel.
#include <algorithm>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"

namespace kdp::app {

int ListServices(Session& s) {
  struct Row {
    std::uint64_t sequence;
    std::string channel;
    std::string key;
  };
  std::vector<Row> rows;
  for (const auto& e : s.host.Registry().Entries()) {
    // A GUID alone tells a reader nothing: the interface name goes beside it.
    const std::string name = InterfaceNameOf(e.first);
    rows.push_back({e.sequence, "GUID", fmt::format("{}  {}", e.first.ToString(), name.empty() ? "(unknown)" : name)});
  }
  for (const auto& e : s.host.Names().Entries()) rows.push_back({e.sequence, "name", e.first});
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.sequence < b.sequence; });
  if (s.format != OutputFormat::Table) {
    Listing listing{{"number", "channel", "published_as"}, {}};
    for (const Row& r : rows) listing.rows.push_back({listing.rows.size() + 1, r.channel, r.key});
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
  }
  fmt::print(s.out, "{:>3}  {:<7} {}\n", "#", "channel", "published as");
  int n = 0;
  for (const Row& r : rows) fmt::print(s.out, "{:>3}  {:<7} {}\n", ++n, r.channel, r.key);
  return 0;
}

void AddServicesCommand(CLI::App& app, Action& chosen) {
  app.add_subcommand("services", "list every service the package published, in publication order")->callback([&chosen] {
    chosen = ListServices;
  });
}

}  // namespace kdp::app
