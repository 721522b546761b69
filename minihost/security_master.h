// The stand-in host's security master, loaded from the securities file of the configuration:
// UTF-8 text, one security per line, fields separated by ",":
//   code,name,stock_type,exchange,category,list_status,trade_span,price_step,currency,last_close,
//   en_name,full_name,ipo_date
// A first line starting with "code" is the header; blank lines and lines starting with "#" are skipped.
// A line with another field count, a field that is not plain text (control characters, bytes that are not
// UTF-8), an unreadable number, a price step not above 0 or a negative close is logged with the file, the
// line number and the reason, and skipped.
//
// Loaded when the host is made, before anything else runs, and read-only afterwards: look-ups may come
// from any thread (the quote engine asks about securities from its own).
//
// Security extensions: a security whose trade span has a market rule answers IKrSecurityTradeHours from
// it; one listed with an underlying in the extensions file ("Host/SecurityExtensions.json":
// {"underlying": {"IF2612.CFE": "000300.SH"}}) answers IKrSecurityUnderlying. Both are set while the host
// starts, before anybody can look a security up.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/security.h"
#include "market_rules.h"

namespace kdp::minihost {

struct SecurityRecord {
  std::string koraCode;  // "600000.SH"
  std::string name;
  std::string stockType;
  std::string exchange;
  int category = 0;  // the quote category (kind 3)
  char listStatus = host::kListStatusListed;
  std::string tradeSpan;
  double priceStep = 0.01;
  std::string currency;
  double lastClose = 0.0;
  std::string enName;
  std::string fullName;
  std::string ipoDate;
};

class MiniSecurity final
    : public host::Implements<host::IKrSecurity, host::IKrSecurityUnderlying, host::IKrSecurityTradeHours> {
 public:
  explicit MiniSecurity(SecurityRecord record) : r_(std::move(record)) {}

  // The extensions are faces of the securities that have them.
  void* QueryInterface(const host::Guid& iid) override;

  std::string GetKoraCode() override { return r_.koraCode; }
  std::string GetStockCode() override;
  std::string GetStockName() override { return r_.name; }
  std::string GetStockType() override { return r_.stockType; }
  char GetListStatus() override { return r_.listStatus; }
  std::string GetExchange() override { return r_.exchange; }
  std::string GetCABName() override { return r_.fullName; }
  std::string GetENName() override { return r_.enName; }
  std::string GetIPODate() override { return r_.ipoDate; }
  double GetIPOPrice() override { return 0.0; }
  int GetSuspensionTime() override { return r_.listStatus == host::kListStatusSuspended ? 930 : 0; }
  std::string GetTradeSpan() override { return r_.tradeSpan; }
  int GetCategory(int kind) override { return kind == host::kQuoteCategoryKind ? r_.category : 0; }
  std::string GetCurrency() override { return r_.currency; }
  double GetPriceStep() override { return r_.priceStep; }

  // host::IKrSecurityUnderlying
  std::string GetUnderlyingCode() override { return underlying_; }
  // host::IKrSecurityTradeHours, from the trade span's rule
  int GetTimeZone() override { return rule_ ? rule_->zone : 8; }
  int GetSessionCount() override { return rule_ ? static_cast<int>(rule_->sessions.size() / 2) : 0; }
  bool GetSession(int index, double& start, double& end) override;

  const SecurityRecord& Record() const { return r_; }

 private:
  friend class MiniSecurityMaster;
  SecurityRecord r_;
  std::string underlying_;
  const MarketRule* rule_ = nullptr;  // owned by the master's rules
};

class MiniSecuritys final : public host::Implements<host::IKrSecuritys> {
 public:
  explicit MiniSecuritys(std::vector<std::shared_ptr<host::IKrSecurity>> items) : items_(std::move(items)) {}
  int GetCount() override { return static_cast<int>(items_.size()); }
  std::shared_ptr<host::IKrSecurity> GetItem(int index) override {
    return index >= 0 && index < GetCount() ? items_[static_cast<std::size_t>(index)] : nullptr;
  }

 private:
  std::vector<std::shared_ptr<host::IKrSecurity>> items_;
};

class MiniSecurityMaster final : public host::Implements<host::IKrSecurityMgrHQ> {
 public:
  // Loads the file; returns false (with `error`) when it cannot be read at all.
  bool Load(const std::string& path, std::string& error);
  // Parses one file's text; bad lines are logged and skipped. Returns how many securities were added.
  std::size_t LoadText(const std::string& text, const std::string& sourceName);

  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code) override;
  std::shared_ptr<host::IKrSecuritys> GetSecuritys(const std::vector<std::string>& codes) override;

  std::size_t Count() const { return ordered_.size(); }
  const std::vector<std::shared_ptr<MiniSecurity>>& All() const { return ordered_; }

  // Gives every security the rule of its trade span (the master keeps the rules alive). Returns the codes
  // whose trade span has no rule.
  std::vector<std::string> AttachMarketRules(std::shared_ptr<const MarketRules> rules);
  // Reads the extensions file. False, with `error`, when it is not the expected JSON or names a security
  // the master does not have.
  bool LoadExtensions(const std::string& path, std::string& error);
  bool LoadExtensionsText(const std::string& json, std::string& error);
  // Counts the loads and changes above.
  std::uint64_t Revision() const { return revision_.load(std::memory_order_acquire); }

 private:
  std::atomic<std::uint64_t> revision_{0};
  std::shared_ptr<const MarketRules> rules_;
  std::map<std::string, std::shared_ptr<MiniSecurity>> by_code_;  // upper-case code
  std::vector<std::shared_ptr<MiniSecurity>> ordered_;
};

}  // namespace kdp::minihost
