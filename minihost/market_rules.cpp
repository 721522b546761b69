#include "market_rules.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

#include <date/tz.h>
#include <nlohmann/json.hpp>

#include "kdp/host/display_text.h"

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
      std::optional<std::string> tzName;
      try {
        rule.exchange = value.at("exchange").get<std::string>();
        rule.zone = value.at("zone").get<int>();
        rule.sessions = value.at("sessions").get<std::vector<int>>();
        if (value.contains("tz")) tzName = value.at("tz").get<std::string>();
      } catch (const nlohmann::json::exception& e) {
        error = "trade span " + host::EscapeControlChars(span) + ": " + e.what();
        return false;
      }
      if (tzName) {
        try {
          rule.tz = date::locate_zone(*tzName);
          rule.tz->get_info(date::sys_seconds{});  // reads the zone's file now rather than on the engine's thread
        } catch (const std::exception& e) {
          error = "unknown time zone " + host::EscapeControlChars(*tzName) + " for trade span " +
                  host::EscapeControlChars(span) + " (" + e.what() + ")";
          return false;
        }
      }
      if (rule.sessions.empty() || rule.sessions.size() % 2 != 0 || rule.zone < -12 || rule.zone > 14 ||
          rule.exchange.empty() || rule.exchange.size() > 15 || !host::IsPlainText(span) ||
          !host::IsPlainText(rule.exchange)) {
        error = "malformed rule for trade span " + host::EscapeControlChars(span);
        return false;
      }
      for (int t : rule.sessions) {
        if (!ValidTime(t)) {
          error = "bad session time " + std::to_string(t) + " for trade span " + host::EscapeControlChars(span);
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

int MarketRuleAnswers::Query(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) {
  const MarketRule* rule = rules_->Find(argument);
  switch (kind) {
    case host::kMarketInfoSessions: {
      if (rule == nullptr) return 0;
      auto values = std::make_unique<std::int32_t[]>(rule->sessions.size());
      std::copy(rule->sessions.begin(), rule->sessions.end(), values.get());
      buffer.values = values.get();
      std::lock_guard lock(mutex_);
      lent_.emplace(values.get(), std::move(values));
      return static_cast<int>(rule->sessions.size());
    }
    case host::kMarketInfoExchange: {
      if (rule == nullptr) return -1;
      std::memset(buffer.text, 0, sizeof buffer.text);
      const std::size_t n = std::min(rule->exchange.size(), sizeof buffer.text - 1);
      std::memcpy(buffer.text, rule->exchange.data(), n);
      return 0;
    }
    case host::kMarketInfoTimeZone:
      // Unknown spans trade on the host's home market time.
      return rule == nullptr ? kServerTimeZone : rule->zone;
    default:
      return -1;
  }
}

void MarketRuleAnswers::Free(host::TMarketInfoBuffer& buffer) {
  std::lock_guard lock(mutex_);
  if (lent_.erase(buffer.values) != 0) buffer.values = nullptr;
}

std::size_t MarketRuleAnswers::LentBuffers() const {
  std::lock_guard lock(mutex_);
  return lent_.size();
}

}  // namespace kdp::minihost
