#include "settings.h"

#include <algorithm>
#include <cctype>
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

// Letters to insert, delete or replace to turn one text into the other, in any ASCII case.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      const std::size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = row[j];
      row[j] = next;
    }
  }
  return row[b.size()];
}

bool ReadAll(const json& j, HostSettings& s, std::string& error) {
  if (!j.is_object()) {
    error = "the settings must be a JSON object";
    return false;
  }
  // Every key read is a known one; a key left over is a typo or a setting of another version.
  std::vector<std::string_view> known;
  const auto read = [&](const char* key, auto& value) {
    known.emplace_back(key);
    return Read(j, key, value, error);
  };
  const bool read_all = read("userId", s.userId) && read("accountId", s.accountId) &&
         read("language", s.language) && read("rights", s.rights) &&
         read("loginRegion", s.loginRegion) &&
         read("serverTimeOffsetSeconds", s.serverTimeOffsetSeconds) &&
         read("serverTimeStart", s.serverTimeStart) && read("detailedLog", s.detailedLog) &&
         read("securitiesFile", s.securitiesFile) && read("sectorsFile", s.sectorsFile) &&
         read("tradeSpansFile", s.tradeSpansFile) &&
         read("securityExtensionsFile", s.securityExtensionsFile) &&
         read("reportsFile", s.reportsFile) && read("cloudServiceFile", s.cloudServiceFile) &&
         read("quoteEngine", s.quoteEngine) && read("quoteFieldsFile", s.quoteFieldsFile) &&
         read("quoteSeed", s.quoteSeed) && read("quoteRate", s.quoteRate) &&
         read("quotePollMs", s.quotePollMs) && read("quoteWarmUpSeconds", s.quoteWarmUpSeconds) &&
         read("dataDir", s.dataDir) && read("binDir", s.binDir) &&
         read("servers", s.servers) && read("standInServers", s.standInServers) &&
         read("luxClient", s.luxClient) && read("luxScenarioDir", s.luxScenarioDir) &&
         read("luxLatencyMs", s.luxLatencyMs) && read("luxPushIntervalMs", s.luxPushIntervalMs) &&
         read("luxPollMs", s.luxPollMs) && read("luxConnected", s.luxConnected) &&
         read("luxConnectAfterMs", s.luxConnectAfterMs);
  if (!read_all) return false;
  for (const auto& item : j.items()) {
    const std::string& key = item.key();
    if (std::ranges::find(known, key) != known.end()) continue;
    const auto nearest = std::ranges::min_element(
        known, {}, [&](std::string_view candidate) { return EditDistance(key, candidate); });
    error = fmt::format("unknown setting \"{}\" (did you mean \"{}\"?)", host::EscapeControlChars(key), *nearest);
    return false;
  }
  return true;
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
