#include "settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

namespace kdp::minihost {

std::string DefaultDataDir() {
  if (const char* dir = std::getenv("KDP_DATA_DIR"); dir && *dir) return dir;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return std::string(state) + "/kdp";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/state/kdp";
  return (std::filesystem::temp_directory_path() / "kdp").string();
}

std::optional<HostSettings> LoadHostSettings(const std::string& etcRoot, std::string& error) {
  std::error_code ec;
  if (etcRoot.empty() || !std::filesystem::is_directory(etcRoot, ec)) {
    error = "configuration root not found: " + (etcRoot.empty() ? std::string("(empty)") : etcRoot);
    return std::nullopt;
  }
  HostSettings settings;
  settings.etcRoot = std::filesystem::absolute(etcRoot, ec).string();
  settings.dataDir = DefaultDataDir();

  const std::filesystem::path file = std::filesystem::path(etcRoot) / "Host" / "host.json";
  if (!std::filesystem::exists(file, ec)) return settings;
  std::ifstream in(file);
  try {
    const nlohmann::json j = nlohmann::json::parse(in);
    settings.userId = j.value("userId", settings.userId);
    settings.accountId = j.value("accountId", settings.accountId);
    settings.language = j.value("language", settings.language);
    settings.rights = j.value("rights", settings.rights);
    settings.loginRegion = j.value("loginRegion", settings.loginRegion);
    settings.serverTimeOffsetSeconds = j.value("serverTimeOffsetSeconds", settings.serverTimeOffsetSeconds);
    settings.serverTimeStart = j.value("serverTimeStart", settings.serverTimeStart);
    settings.detailedLog = j.value("detailedLog", settings.detailedLog);
    settings.securitiesFile = j.value("securitiesFile", settings.securitiesFile);
    settings.sectorsFile = j.value("sectorsFile", settings.sectorsFile);
    settings.tradeSpansFile = j.value("tradeSpansFile", settings.tradeSpansFile);
    settings.securityExtensionsFile = j.value("securityExtensionsFile", settings.securityExtensionsFile);
    settings.reportsFile = j.value("reportsFile", settings.reportsFile);
    settings.quoteEngine = j.value("quoteEngine", settings.quoteEngine);
    settings.quoteFieldsFile = j.value("quoteFieldsFile", settings.quoteFieldsFile);
    settings.quoteSeed = j.value("quoteSeed", settings.quoteSeed);
    settings.quoteRate = j.value("quoteRate", settings.quoteRate);
    settings.quotePollMs = j.value("quotePollMs", settings.quotePollMs);
    settings.quoteWarmUpSeconds = j.value("quoteWarmUpSeconds", settings.quoteWarmUpSeconds);
    settings.luxClient = j.value("luxClient", settings.luxClient);
    settings.luxScenarioDir = j.value("luxScenarioDir", settings.luxScenarioDir);
    settings.luxLatencyMs = j.value("luxLatencyMs", settings.luxLatencyMs);
    settings.luxPushIntervalMs = j.value("luxPushIntervalMs", settings.luxPushIntervalMs);
    settings.luxPollMs = j.value("luxPollMs", settings.luxPollMs);
    settings.luxConnected = j.value("luxConnected", settings.luxConnected);
    settings.luxConnectAfterMs = j.value("luxConnectAfterMs", settings.luxConnectAfterMs);
    if (j.contains("servers")) {
      for (const auto& [name, address] : j.at("servers").items()) settings.servers[name] = address.get<std::string>();
    }
    if (j.contains("dataDir")) settings.dataDir = j.at("dataDir").get<std::string>();
    settings.binDir = j.value("binDir", settings.binDir);
  } catch (const nlohmann::json::exception& e) {
    error = file.string() + ": " + e.what();
    return std::nullopt;
  }
  return settings;
}

}  // namespace kdp::minihost
