#include "settings.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "kdp/host/date_time.h"
#include "kdp/host/display_text.h"
#include "kdp/host/excerpt.h"
#include "sim_market.h"
#include "text_files.h"

namespace kdp::minihost {
namespace {

using nlohmann::json;

// The JSON kind a setting takes, and the words an error uses for it.
template <class T>
struct Kind;
template <>
struct Kind<std::string> {
  static bool Fits(const json& v) { return v.is_string(); }
  static constexpr const char* kWords = "a text";
};
template <>
struct Kind<bool> {
  static bool Fits(const json& v) { return v.is_boolean(); }
  static constexpr const char* kWords = "true or false";
};
template <>
struct Kind<int> {
  static bool Fits(const json& v) {
    return v.is_number_integer() && v.get<std::int64_t>() >= INT32_MIN && v.get<std::int64_t>() <= INT32_MAX;
  }
  static constexpr const char* kWords = "a whole number";
};
template <>
struct Kind<std::uint64_t> {
  static bool Fits(const json& v) { return v.is_number_unsigned(); }
  static constexpr const char* kWords = "a whole number of at least 0";
};
template <>
struct Kind<double> {
  static bool Fits(const json& v) { return v.is_number(); }
  static constexpr const char* kWords = "a number";
};
template <>
struct Kind<std::vector<std::string>> {
  static bool Fits(const json& v) {
    if (!v.is_array()) return false;
    for (const json& item : v) {
      if (!item.is_string()) return false;
    }
    return true;
  }
  static constexpr const char* kWords = "a list of texts";
};
template <>
struct Kind<std::map<std::string, std::string, std::less<>>> {
  static bool Fits(const json& v) {
    if (!v.is_object()) return false;
    for (const json& item : v) {
      if (!item.is_string()) return false;
    }
    return true;
  }
  static constexpr const char* kWords = "an object of texts";
};

// Reads `key` into `value` when the object has it. A value of another kind is an error naming the key.
template <class T>
bool Read(const json& settings, const char* key, T& value, std::string& error) {
  const auto it = settings.find(key);
  if (it == settings.end()) return true;
  if (!Kind<T>::Fits(*it)) {
    error = fmt::format("\"{}\" must be {}, not {}", key, Kind<T>::kWords, host::Excerpt(it->dump()));
    return false;
  }
  value = it->template get<T>();
  return true;
}

bool ReadAll(const json& j, HostSettings& s, std::string& error) {
  if (!j.is_object()) {
    error = "the settings must be a JSON object";
    return false;
  }
  return Read(j, "userId", s.userId, error) && Read(j, "accountId", s.accountId, error) &&
         Read(j, "language", s.language, error) && Read(j, "rights", s.rights, error) &&
         Read(j, "loginRegion", s.loginRegion, error) &&
         Read(j, "serverTimeOffsetSeconds", s.serverTimeOffsetSeconds, error) &&
         Read(j, "serverTimeStart", s.serverTimeStart, error) && Read(j, "detailedLog", s.detailedLog, error) &&
         Read(j, "securitiesFile", s.securitiesFile, error) && Read(j, "sectorsFile", s.sectorsFile, error) &&
         Read(j, "tradeSpansFile", s.tradeSpansFile, error) &&
         Read(j, "securityExtensionsFile", s.securityExtensionsFile, error) &&
         Read(j, "reportsFile", s.reportsFile, error) && Read(j, "cloudServiceFile", s.cloudServiceFile, error) &&
         Read(j, "quoteEngine", s.quoteEngine, error) && Read(j, "quoteFieldsFile", s.quoteFieldsFile, error) &&
         Read(j, "quoteSeed", s.quoteSeed, error) && Read(j, "quoteRate", s.quoteRate, error) &&
         Read(j, "quotePollMs", s.quotePollMs, error) && Read(j, "quoteWarmUpSeconds", s.quoteWarmUpSeconds, error) &&
         Read(j, "dataDir", s.dataDir, error) && Read(j, "binDir", s.binDir, error) &&
         Read(j, "servers", s.servers, error) && Read(j, "standInServers", s.standInServers, error) &&
         Read(j, "luxClient", s.luxClient, error) && Read(j, "luxScenarioDir", s.luxScenarioDir, error) &&
         Read(j, "luxLatencyMs", s.luxLatencyMs, error) && Read(j, "luxPushIntervalMs", s.luxPushIntervalMs, error) &&
         Read(j, "luxPollMs", s.luxPollMs, error) && Read(j, "luxConnected", s.luxConnected, error) &&
         Read(j, "luxConnectAfterMs", s.luxConnectAfterMs, error);
}

std::string Quoted(const std::string& text) { return "\"" + host::EscapeControlChars(text) + "\""; }

// NaN is in no range.
template <class T>
bool InRange(const char* key, T value, T low, T high, const char* unit, std::string& error) {
  if (value >= low && value <= high) return true;
  error = fmt::format("\"{}\" must be from {} to {}{}, not {}", key, low, high, unit, value);
  return false;
}

bool IsText(const char* key, const std::string& value, bool required, std::string& error) {
  if (required && value.empty()) {
    error = fmt::format("\"{}\" must not be empty", key);
    return false;
  }
  if (host::IsPlainText(value)) return true;
  error = fmt::format("\"{}\" holds control characters or bytes that are not UTF-8: {}", key, Quoted(value));
  return false;
}

}  // namespace

std::string DefaultDataDir() {
  if (const char* dir = std::getenv("KDP_DATA_DIR"); dir && *dir) return dir;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return std::string(state) + "/kdp";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/state/kdp";
  return (std::filesystem::temp_directory_path() / "kdp").string();
}

bool IsPlainName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name == "." || name == "..") return false;
  for (char c : name) {
    const bool allowed =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
    if (!allowed) return false;
  }
  return true;
}

bool CheckHostSettings(const HostSettings& s, std::string& error) {
  if (!IsPlainName(s.userId)) {
    error = fmt::format(
        "\"userId\" must be a plain name of letters, digits, \"_\", \"-\" and \".\" (at most 64), "
        "not {}",
        Quoted(s.userId));
    return false;
  }
  if (s.language != "CHS" && s.language != "CHT" && s.language != "ENG" && s.language != "ENS") {
    error = fmt::format("\"language\" must be CHS, CHT, ENG or ENS, not {}", Quoted(s.language));
    return false;
  }
  if (!IsText("accountId", s.accountId, false, error)) return false;
  for (const std::string& right : s.rights) {
    if (!IsText("rights", right, true, error)) return false;
  }
  if (!InRange("loginRegion", s.loginRegion, 0, 9999, "", error)) return false;
  // Ten years either way is far more than any server clock is off by.
  if (!InRange("serverTimeOffsetSeconds", s.serverTimeOffsetSeconds, -315576000.0, 315576000.0, " seconds", error)) {
    return false;
  }
  if (!s.serverTimeStart.empty() && !host::DateTime::Parse(s.serverTimeStart)) {
    error = fmt::format("\"serverTimeStart\" is not a date-time (write \"2026-12-04 10:30:00\"): {}",
                        Quoted(s.serverTimeStart));
    return false;
  }
  for (const auto& [key, file] : {std::pair{"securitiesFile", &s.securitiesFile},
                                  {"sectorsFile", &s.sectorsFile},
                                  {"tradeSpansFile", &s.tradeSpansFile},
                                  {"securityExtensionsFile", &s.securityExtensionsFile},
                                  {"reportsFile", &s.reportsFile},
                                  {"cloudServiceFile", &s.cloudServiceFile},
                                  {"quoteFieldsFile", &s.quoteFieldsFile}}) {
    if (!IsText(key, *file, true, error)) return false;
  }
  if (!IsText("dataDir", s.dataDir, true, error) || !IsText("binDir", s.binDir, false, error)) return false;
  for (const auto& [name, address] : s.servers) {
    if (!IsText("servers", name, true, error) || !IsText("servers", address, true, error)) return false;
  }
  for (const std::string& name : s.standInServers) {
    if (!s.servers.contains(name)) {
      error = fmt::format("\"standInServers\" names \"{}\", which \"servers\" does not", name);
      return false;
    }
  }
  // A date resolves about a microsecond: a thousand trades a second per security is the most a tick
  // can still be told apart from the next.
  return InRange("quoteRate", s.quoteRate, SimMarket::kMinRate, SimMarket::kMaxRate, " trades a second", error) &&
         InRange("quotePollMs", s.quotePollMs, 1, 3'600'000, " ms", error) &&
         InRange("quoteWarmUpSeconds", s.quoteWarmUpSeconds, 0, 604'800, " seconds", error) &&
         IsText("luxScenarioDir", s.luxScenarioDir, false, error) &&
         InRange("luxLatencyMs", s.luxLatencyMs, 0, 600'000, " ms", error) &&
         InRange("luxPushIntervalMs", s.luxPushIntervalMs, 0, 86'400'000, " ms", error) &&
         InRange("luxPollMs", s.luxPollMs, 1, 3'600'000, " ms", error) &&
         InRange("luxConnectAfterMs", s.luxConnectAfterMs, 0, 86'400'000, " ms", error);
}

std::optional<HostSettings> LoadHostSettings(const std::string& etcRoot, std::string& error) {
  std::error_code ec;
  if (etcRoot.empty() || !std::filesystem::is_directory(etcRoot, ec)) {
    error = "configuration root not found: " + (etcRoot.empty() ? std::string("(empty)") : Quoted(etcRoot));
    return std::nullopt;
  }
  HostSettings settings;
  settings.etcRoot = std::filesystem::absolute(etcRoot, ec).string();
  settings.dataDir = DefaultDataDir();

  const std::string file = (std::filesystem::path(etcRoot) / "Host" / "host.json").string();
  if (!std::filesystem::exists(file, ec)) return settings;
  std::string text;
  if (!ReadTextFile(file, "host settings", text, error)) return std::nullopt;
  if (!ParseHostSettings(text, settings, error)) {
    error = file + ": " + error;
    return std::nullopt;
  }
  return settings;
}

bool ParseHostSettings(const std::string& text, HostSettings& settings, std::string& error) {
  json j;
  if (!ParseJson(text, j, error)) return false;
  return ReadAll(j, settings, error) && CheckHostSettings(settings, error);
}

}  // namespace kdp::minihost
