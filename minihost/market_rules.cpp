#include "market_rules.h"

#include <nlohmann/json.hpp>

#include "kdp/host/display_text.h"

#include "text_files.h"

namespace kdp::minihost {
namespace {

bool ValidTime(int hhmm) { return hhmm >= 0 && hhmm <= 2400 && hhmm % 100 < 60; }

}  // namespace

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
      try {
        rule.exchange = value.at("exchange").get<std::string>();
        rule.zone = value.at("zone").get<int>();
        rule.sessions = value.at("sessions").get<std::vector<int>>();
      } catch (const nlohmann::json::exception& e) {
        error = "trade span " + host::EscapeControlChars(span) + ": " + e.what();
        return false;
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

}  // namespace kdp::minihost
