// kdp-host services: every service the package published, in publication order, with its channel.
#include <algorithm>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"

namespace kdp::app {

namespace {
constexpr Texts kChannel{"发布方式", "發佈方式", "channel"};
constexpr Texts kPublishedAs{"发布为", "發佈為", "published as"};
constexpr Texts kByName{"名称", "名稱", "name"};
constexpr Texts kUnknown{"（未知）", "（未知）", "(unknown)"};
}  // namespace

int ListServices(Session& s) {
  struct Row {
    std::uint64_t sequence;
    bool byName;
    std::string key;        // the GUID, or the name published under
    std::string interface;  // a GUID's interface name; "" when unknown
    // What it was published as, with the words for an unknown interface in `unknown`.
    std::string PublishedAs(const char* unknown) const {
      if (byName) return key;
      // A GUID alone tells a reader nothing: the interface name goes beside it.
      return fmt::format("{}  {}", key, interface.empty() ? unknown : interface);
    }
  };
  std::vector<Row> rows;
  for (const auto& e : s.host.Registry().Entries()) {
    rows.push_back({e.sequence, false, e.first.ToString(), InterfaceNameOf(e.first)});
  }
  for (const auto& e : s.host.Names().Entries()) rows.push_back({e.sequence, true, e.first, {}});
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.sequence < b.sequence; });
  if (s.format != OutputFormat::Table) {
    Listing listing{{"number", "channel", "published_as"}, {}};
    for (const Row& r : rows) {
      listing.rows.push_back({listing.rows.size() + 1, r.byName ? "name" : "GUID", r.PublishedAs(kUnknown.eng)});
    }
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
  }
  fmt::print(s.out, "{:>3}  {} {}\n", "#", Pad(Text(s, kChannel), 8, false), Text(s, kPublishedAs));
  int n = 0;
  for (const Row& r : rows) {
    fmt::print(s.out, "{:>3}  {} {}\n", ++n, Pad(r.byName ? Text(s, kByName) : "GUID", 8, false),
               r.PublishedAs(Text(s, kUnknown)));
  }
  return 0;
}

void AddServicesCommand(CLI::App& app, Action& chosen) {
  app.add_subcommand("services", "list every service the package published, in publication order")->callback([&chosen] {
    chosen = ListServices;
  });
}

}  // namespace kdp::app
