#include "security_master.h"

#include <sstream>

#include <fmt/format.h>

#include "kdp/host/display_text.h"
#include "kdp/host/log.h"
#include "kdp/host/number_text.h"
#include "text_files.h"

namespace kdp::minihost {
namespace {

constexpr std::size_t kFieldCount = 13;
constexpr const char* kColumns[kFieldCount] = {"code",        "name",       "stock_type", "exchange", "category",
                                               "list_status", "trade_span", "price_step", "currency", "last_close",
                                               "en_name",     "full_name",  "ipo_date"};

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.emplace_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

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
  std::istringstream lines(text);
  std::string line;
  std::size_t line_number = 0;
  std::size_t added = 0;
  while (std::getline(lines, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '#' || (line_number == 1 && line.rfind("code", 0) == 0)) continue;
    const std::vector<std::string> f = SplitFields(line);
    SecurityRecord r;
    const std::string why = Refusal(f, r);
    if (!why.empty()) {
      host::AddHQLog(fmt::format("{}:{}: malformed security line skipped ({}): {}", sourceName, line_number, why, line),
                     "SecurityMaster", host::LogSeverity::kError);
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
      host::AddHQLog(fmt::format("{}:{}: duplicate code {} skipped", sourceName, line_number, r.koraCode),
                     "SecurityMaster", host::LogSeverity::kError);
      continue;
    }
    ordered_.push_back(security);
    ++added;
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

}  // namespace kdp::minihost
