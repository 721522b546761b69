// HostSettings: what the stand-in host needs to start: the configuration root, where it keeps user data
// and logs, who the user is (IDs, language, data rights, login region) and the server clock offset.
//
// Settings come from "Host/host.json" under the configuration root (when present); the command line
// overrides single values. Unknown keys are ignored; a value of the wrong type is an error.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kdp::minihost {

struct HostSettings {
  std::string etcRoot;  // configuration root
  std::string dataDir;  // user data, temporary files and logs live below it
  std::string binDir;   // the host's program directory; empty: the running program's
  std::string userId = "10000001";
  std::string accountId = "A10000001";
  std::string language = "CHS";
  std::vector<std::string> rights;  // the user's data rights
  int loginRegion = 0;
  double serverTimeOffsetSeconds = 0.0;  // server clock minus the local clock
  // When set ("2026-12-04 10:30:00"), the server clock starts at this time instead of the local clock's.
  std::string serverTimeStart;
  bool detailedLog = false;
  std::string securitiesFile = "Host/Securities.csv";  // relative to the configuration root
  std::string sectorsFile = "Host/Sectors.json";
  std::string tradeSpansFile = "Host/TradeSpans.json";
  std::string securityExtensionsFile = "Host/SecurityExtensions.json";  // optional
  std::string reportsFile = "Host/Reports/Reports.json";                // the report data; optional
  bool quoteEngine = true;                                              // false runs the host without a quote engine
  std::string quoteFieldsFile = "Host/QuoteFields.json";
  std::uint64_t quoteSeed = 20261204;  // the simulated market's random seed
  double quoteRate = 1.0;              // trades per second per security
  int quotePollMs = 100;               // how often the engine looks at the clock
  int quoteWarmUpSeconds = 0;          // market history simulated before the host starts
  bool luxClient = true;               // false runs the host without a Lux client
  // The Lux service's answers, relative to the root; without "index.json" there the host has no Lux client.
  std::string luxScenarioDir = "../scenario/lux";
  int luxLatencyMs = 30;         // from a request to its reply
  int luxPushIntervalMs = 5000;  // pushed news; 0: none
  int luxPollMs = 5;             // how often the client looks at the clock
  bool luxConnected = true;      // false: the client starts disconnected
  int luxConnectAfterMs = 0;     // starting disconnected: connect after this (0: never)
  // The terminal's server list: name -> address ("korareportserver" -> "10.1.2.3:8080").
  std::map<std::string, std::string, std::less<>> servers;
};

// The host's default data directory: $KDP_DATA_DIR, else $XDG_STATE_HOME/kdp, else ~/.local/state/kdp.
std::string DefaultDataDir();

// Reads "Host/host.json" under `etcRoot` into a settings value whose etcRoot is `etcRoot`.
// nullopt, with `error` filled, when the root does not exist or the file is malformed.
std::optional<HostSettings> LoadHostSettings(const std::string& etcRoot, std::string& error);

}  // namespace kdp::minihost
