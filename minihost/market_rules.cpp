#include "market_rules.h"

#include <chrono>
#include <cmath>

#include <date/tz.h>
#include <nlohmann/json.hpp>

#include "text_files.h"

namespace kdp::minihost {
namespace {

bool ValidTime(int hhmm) { return hhmm >= 0 && hhmm <= 2400 && hhmm % 100 < 60; }

constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 as a DateTime

}  // namespace

host::DateTime MarketRule::LocalTime(host::DateTime serverTime) const {
  if (tz == nullptr) return serverTime.AddDays((zone - kServerTimeZone) / 24.0);
  const double utcSeconds = (serverTime.value - kUnixEpochDays) * 86400.0 - kServerTimeZone * 3600.0;
  const date::sys_seconds utc{std::chrono::seconds(std::llround(utcSeconds))};
  return serverTime.AddSeconds(static_cast<double>(tz->get_info(utc).offset.count() - kServerTimeZone * 3600));
}

bool MarketRules::Load(const std::string& path, std::string& error) {
  return LoadTextFile(path, "market rules", error,
                      [this](const std::string& text, std::string& e) { return LoadText(text, e); });
}

bool MarketRules::LoadText(const std::string& json, std::string& error) {
  std::map<std::string, MarketRule> rules;
  try {
    const nlohmann::json j = nlohmann::json::parse(json);
    if (!j.is_object() || !j.contains("spans") || !j.at("spans").is_object()) {
      error = "expected an object with \"spans\" by trade span";
      return false;
    }
    for (const auto& [span, value] : j.at("spans").items()) {
      MarketRule rule;
      rule.exchange = value.at("exchange").get<std::string>();
      rule.zone = value.at("zone").get<int>();
      rule.sessions = value.at("sessions").get<std::vector<int>>();
      if (value.contains("tz")) {
        const std::string name = value.at("tz").get<std::string>();
        try {
          rule.tz = date::locate_zone(name);
          rule.tz->get_info(date::sys_seconds{});  // reads the zone's file now rather than on the engine's thread
        } catch (const std::exception& e) {
          error = "unknown time zone " + name + " for trade span " + span + " (" + e.what() + ")";
          return false;
        }
      }
      if (rule.sessions.empty() || rule.sessions.size() % 2 != 0 || rule.zone < -12 || rule.zone > 14 ||
          rule.exchange.empty() || rule.exchange.size() > 15) {
        error = "malformed rule for trade span " + span;
        return false;
      }
      for (int t : rule.sessions) {
        if (!ValidTime(t)) {
          error = "bad session time " + std::to_string(t) + " for trade span " + span;
          return false;
        }
      }
      rules.emplace(UpperAscii(span), std::move(rule));
    }
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return false;
  }
  rules_ = std::move(rules);
  return true;
}

const MarketRule* MarketRules::Find(const std::string& tradeSpan) const {
  auto it = rules_.find(UpperAscii(tradeSpan));
  return it == rules_.end() ? nullptr : &it->second;
}

}  // namespace kdp::minihost
