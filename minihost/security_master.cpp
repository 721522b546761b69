#include "security_master.h"

#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "kdp/host/date_time.h"
#include "kdp/host/display_text.h"
#include "kdp/host/excerpt.h"
#include "kdp/host/log.h"
#include "kdp/host/number_text.h"
#include "text_files.h"

namespace kdp::minihost {
namespace {

constexpr std::size_t kFieldCount = 13;
constexpr const char* kColumns[kFieldCount] = {"code",        "name",       "stock_type", "exchange", "category",
                                               "list_status", "trade_span", "price_step", "currency", "last_close",
                                               "en_name",     "full_name",  "ipo_date"};

bool ReadNumber(const std::string& text, int& out) {
  const auto value = host::ParseInt32(text);
  if (value) out = *value;
  return value.has_value();
}

bool ReadNumber(const std::string& text, double& out) {
  const auto value = host::ParseDouble(text);
  if (value) out = *value;
  return value.has_value();
}

// Why a line's fields make no security ("" when they do); the numbers are read into `r`. Every field
// is text a terminal may show, a price step is above 0 and a close not below 0.
std::string Refusal(const std::vector<std::string>& f, SecurityRecord& r) {
  if (f.size() != kFieldCount) return fmt::format("{} fields instead of {}", f.size(), kFieldCount);
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (!host::IsPlainText(f[i])) return fmt::format("{} is not text", kColumns[i]);
  }
  if (f[0].empty()) return "the code is empty";
  if (f[5].size() != 1) return "list_status is not one letter";
  if (!ReadNumber(f[4], r.category)) return "category is not a whole number";
  if (!ReadNumber(f[7], r.priceStep) || !(r.priceStep > 0)) return "price_step is not a number above 0";
  if (!ReadNumber(f[9], r.lastClose) || r.lastClose < 0) return "last_close is not a number of at least 0";
  return {};
}

}  // namespace

void* MiniSecurity::QueryInterface(const host::Guid& iid) {
  if (iid == host::IKrSecurityUnderlying::IID && underlying_.empty()) return nullptr;
  if (iid == host::IKrSecurityTradeHours::IID && rule_ == nullptr) return nullptr;
  return Implements::QueryInterface(iid);
}

bool MiniSecurity::GetSession(int index, double& start, double& end) {
  if (index < 0 || index >= GetSessionCount()) return false;
  const int from = rule_->sessions[static_cast<std::size_t>(index) * 2];
  const int to = rule_->sessions[static_cast<std::size_t>(index) * 2 + 1];
  start = host::EncodeTime(from / 100, from % 100);
  end = host::EncodeTime(to / 100, to % 100);
  return true;
}

std::string MiniSecurity::GetStockCode() {
  const std::size_t dot = r_.koraCode.find('.');
  return dot == std::string::npos ? r_.koraCode : r_.koraCode.substr(0, dot);
}

bool MiniSecurityMaster::Load(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadTextFile(path, "securities file", text, error)) return false;
  LoadText(text, path);
  return true;
}

std::size_t MiniSecurityMaster::LoadText(const std::string& text, const std::string& sourceName) {
  revision_.fetch_add(1, std::memory_order_acq_rel);
  std::istringstream lines(text);
  std::string line;
  std::size_t line_number = 0;
  std::size_t added = 0;
  // A damaged file would repeat the same warning for every line: the first few are logged, then a count.
  constexpr std::size_t kReportedLines = 20;
  std::size_t skipped = 0;
  const auto skip = [&](const std::string& message) {
    if (++skipped <= kReportedLines) host::AddHQLog(message, "SecurityMaster", host::LogSeverity::kError);
  };
  while (std::getline(lines, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '#' || (line_number == 1 && line.rfind("code", 0) == 0)) continue;
    const std::vector<std::string> f = SplitFields(line);
    SecurityRecord r;
    const std::string why = Refusal(f, r);
    if (!why.empty()) {
      skip(fmt::format("{}:{}: malformed security line skipped ({}): {}", sourceName, line_number, why,
                       host::Excerpt(line)));
      continue;
    }
    r.koraCode = UpperAscii(f[0]);
    r.name = f[1];
    r.stockType = f[2];
    r.exchange = f[3];
    r.listStatus = f[5][0];
    r.tradeSpan = f[6];
    r.currency = f[8];
    r.enName = f[10];
    r.fullName = f[11];
    r.ipoDate = f[12];
    auto security = std::make_shared<MiniSecurity>(r);
    auto [it, inserted] = by_code_.try_emplace(r.koraCode, security);
    if (!inserted) {
      skip(fmt::format("{}:{}: duplicate code {} skipped", sourceName, line_number, host::Excerpt(r.koraCode)));
      continue;
    }
    ordered_.push_back(security);
    ++added;
  }
  if (skipped > kReportedLines) {
    host::AddHQLog(
        fmt::format("{}: {} lines skipped in all; the first {} are logged above", sourceName, skipped, kReportedLines),
        "SecurityMaster", host::LogSeverity::kError);
  }
  return added;
}

std::shared_ptr<host::IKrSecurity> MiniSecurityMaster::GetSecurity(const std::string& code) {
  auto it = by_code_.find(UpperAscii(code));
  return it == by_code_.end() ? nullptr : it->second;
}

std::shared_ptr<host::IKrSecuritys> MiniSecurityMaster::GetSecuritys(const std::vector<std::string>& codes) {
  if (codes.empty()) return nullptr;
  std::vector<std::shared_ptr<host::IKrSecurity>> found;
  for (const std::string& code : codes) {
    if (auto security = GetSecurity(code)) found.push_back(std::move(security));
  }
  return std::make_shared<MiniSecuritys>(std::move(found));
}

std::vector<std::string> MiniSecurityMaster::AttachMarketRules(std::shared_ptr<const MarketRules> rules) {
  revision_.fetch_add(1, std::memory_order_acq_rel);
  rules_ = std::move(rules);
  std::vector<std::string> unknown;
  for (const auto& security : ordered_) {
    security->rule_ = rules_ ? rules_->Find(security->r_.tradeSpan) : nullptr;
    if (security->rule_ == nullptr) unknown.push_back(security->r_.koraCode);
  }
  return unknown;
}

bool MiniSecurityMaster::LoadExtensions(const std::string& path, std::string& error) {
  return LoadTextFile(path, "security extensions", error,
                      [this](const std::string& text, std::string& e) { return LoadExtensionsText(text, e); });
}

bool MiniSecurityMaster::LoadExtensionsText(const std::string& json, std::string& error) {
  revision_.fetch_add(1, std::memory_order_acq_rel);
  std::map<std::string, std::string> underlyings;
  try {
    const nlohmann::json j = nlohmann::json::parse(json);
    const nlohmann::json listed = j.value("underlying", nlohmann::json::object());
    for (const auto& [code, underlying] : listed.items()) {
      underlyings[UpperAscii(code)] = UpperAscii(underlying.get<std::string>());
    }
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return false;
  }
  for (const auto& [code, underlying] : underlyings) {
    if (!by_code_.contains(code) || !by_code_.contains(underlying)) {
      error = fmt::format("underlying {} of {}: no such security", host::EscapeControlChars(underlying),
                          host::EscapeControlChars(code));
      return false;
    }
  }
  for (const auto& [code, underlying] : underlyings) by_code_.at(code)->underlying_ = underlying;
  return true;
}

}  // namespace kdp::minihost
