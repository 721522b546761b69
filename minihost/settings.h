// HostSettings: what the stand-in host needs to start: the configuration root, where it keeps user data
// and logs, who the user is (IDs, language, data rights, login region) and the server clock offset.
//
// Settings come from "Host/host.json" under the configuration root (when present); the command line
// overrides single values. Unknown keys are ignored; a value of the wrong kind or out of its range is an
// error naming the key.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
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
  std::string cloudServiceFile = "Host/Reports/CloudService.json";      // the cloud data service; optional
  bool quoteEngine = true;                                              // false runs the host without a quote engine
  std::string quoteFieldsFile = "Host/QuoteFields.json";
  std::uint64_t quoteSeed = 20261204;  // the simulated market's random seed
  double quoteRate = 1.0;              // trades per second per security, 0.001 to 1000
  int quotePollMs = 100;               // how often the engine looks at the clock, 1 ms to an hour
  int quoteWarmUpSeconds = 0;          // market history before the host starts, up to a week (SimSpeed)
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
  // Names among `servers` the stand-in answers itself over HTTP (the cloud service's HTTP reports), so
  // their addresses need no network.
  std::vector<std::string> standInServers;
};

// The host's default data directory: $KDP_DATA_DIR, else $XDG_STATE_HOME/kdp, else ~/.local/state/kdp.
std::string DefaultDataDir();

// Reads "Host/host.json" under `etcRoot` into a settings value whose etcRoot is `etcRoot`.
// nullopt, with `error` filled, when the root does not exist, the file cannot be read or is not JSON, or
// a setting is of the wrong kind or fails CheckHostSettings.
std::optional<HostSettings> LoadHostSettings(const std::string& etcRoot, std::string& error);

// The settings of a "Host/host.json" text over `settings` (keys absent keep their values). False, with
// `error`, for text that is not a JSON object, a value of the wrong kind, or a failed CheckHostSettings.
bool ParseHostSettings(const std::string& text, HostSettings& settings, std::string& error);

// Every setting in its range: the user ID a plain name (it names a directory), the language CHS, CHT,
// ENG or ENS, texts without control characters, the start time a date-time, the quote rate from 0.001 to 1000
// a second, and so on. False with `error` naming the key and the value.
bool CheckHostSettings(const HostSettings& settings, std::string& error);

// Letters, digits, "_", "-" and ".", 1 to 64 of them, and neither "." nor "..": a name that stays one
// directory below wherever it is joined.
bool IsPlainName(std::string_view name);

}  // namespace kdp::minihost
