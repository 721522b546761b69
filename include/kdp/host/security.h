// The host's security and sector masters as the package sees them.
//
// IKrSecurity is one security by code ("600000.SH"): its names, stock type, exchange, listing status, trade
// span, categories, currency and price step; some securities also answer the extensions below (their
// underlying security, their own trading hours). IKrSecuritys is an ordered list of them. IKrSecurityMgrHQ
// looks securities up by code. IKrSector is a sector (a named, ordered list of member codes, possibly with
// child sectors), and IKrSectorMgrHQ looks sectors up.
//
// Thread-safety: the objects are immutable once handed out, and the masters' look-ups may be made from
// any thread (the quote engine asks about securities and sectors from threads of its own).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/interface.h"

namespace kdp::host {

// Listing status letters of IKrSecurity::GetListStatus.
inline constexpr char kListStatusListed = 'L';
inline constexpr char kListStatusSuspended = 'S';
inline constexpr char kListStatusDelisted = 'D';
inline constexpr char kListStatusNotYetListed = 'N';

// The category kind the quote classification uses.
inline constexpr int kQuoteCategoryKind = 3;

class IKrSecurity : public virtual IInterface {
 public:
  static constexpr Guid IID = "DB3A5989-58CC-4826-AB1F-14CA7CC583AE";
  virtual std::string GetKoraCode() = 0;   // "600000.SH"
  virtual std::string GetStockCode() = 0;  // "600000"
  virtual std::string GetStockName() = 0;  // short display name
  virtual std::string GetStockType() = 0;  // the host's type letter(s): "A", "HK", "IDX", ...
  virtual char GetListStatus() = 0;        // one of kListStatus...
  virtual std::string GetExchange() = 0;   // "SH"
  virtual std::string GetCABName() = 0;    // full Chinese name
  virtual std::string GetENName() = 0;
  virtual std::string GetIPODate() = 0;  // "yyyymmdd", empty when unknown
  virtual double GetIPOPrice() = 0;
  virtual int GetSuspensionTime() = 0;     // hhmm the trading stopped today; 0 when trading
  virtual std::string GetTradeSpan() = 0;  // the market's session key, e.g. "SH" or "HKEX"
  virtual int GetCategory(int kind) = 0;   // 0 when the security has no category of that kind
  virtual std::string GetCurrency() = 0;   // "CNY", "HKD", "USD"
  virtual double GetPriceStep() = 0;       // minimum price change
};

// Extensions a security object may answer through QueryInterface; securities without them answer nullptr.

// The security whose market this one follows (an index future follows its index, a continuous contract
// its current month): the package asks it for the zone and sessions of such a security.
class IKrSecurityUnderlying : public virtual IInterface {
 public:
  static constexpr Guid IID = "29F672A0-4973-4BC5-BDC7-CDF1B8C9E40C";
  virtual std::string GetUnderlyingCode() = 0;  // "000300.SH"
};

// The trading hours a security keeps itself, for securities whose hours are not those of an exchange.
class IKrSecurityTradeHours : public virtual IInterface {
 public:
  static constexpr Guid IID = "42BAAE51-1420-4E52-AD16-8DE9836B1454";
  virtual int GetTimeZone() = 0;  // whole hours east of UTC
  virtual int GetSessionCount() = 0;
  // Session `index`'s start and end as times of day (fractions of a day, in the security's zone); a
  // session that crosses midnight ends before it starts. False for an index out of range.
  virtual bool GetSession(int index, double& start, double& end) = 0;
};

// The installed host's securities revision (IHostEnvironment::SecuritiesRevision); 0 without a host.
// Whoever keeps answers derived from security look-ups compares it to know they still hold.
std::uint64_t GetSecuritiesRevision();

// A temporary cross-section security: a made-up security over two legs (a spread of two codes) for a
// calculation; its zone and sessions are those of its legs.
class IKrTempCSSecurity : public virtual IInterface {
 public:
  static constexpr Guid IID = "108979E9-F2AA-4BFC-ACA2-17ED1A0DF202";
  virtual std::string GetKoracode1() = 0;  // the first leg's code
  virtual std::string GetKoracode2() = 0;  // the second leg's code
};

class IKrSecuritys : public virtual IInterface {
 public:
  static constexpr Guid IID = "FBC8A6D9-BB91-4103-A455-C6BF6CA35064";
  virtual int GetCount() = 0;
  virtual std::shared_ptr<IKrSecurity> GetItem(int index) = 0;  // nullptr out of range
};

class IKrSecurityMgrHQ : public virtual IInterface {
 public:
  static constexpr Guid IID = "F99DCA48-6814-4261-A886-978B4EC3A508";
  // The security with that code (upper-cased before look-up), or nullptr.
  virtual std::shared_ptr<IKrSecurity> GetSecurity(const std::string& code) = 0;
  // The securities of the codes that are known, in the order given; nullptr for an empty list.
  virtual std::shared_ptr<IKrSecuritys> GetSecuritys(const std::vector<std::string>& codes) = 0;
};

class IKrSector : public virtual IInterface {
 public:
  static constexpr Guid IID = "77B7F493-889E-4E5E-8BAC-188E347BB904";
  virtual std::string GetID() = 0;
  virtual std::string GetName() = 0;
  virtual std::vector<std::string> GetMemberCodes() = 0;  // in the sector's order
  virtual int GetChildCount() = 0;
  virtual std::shared_ptr<IKrSector> GetChild(int index) = 0;
};

class IKrSectorMgrHQ : public virtual IInterface {
 public:
  static constexpr Guid IID = "145BA7ED-2B48-44E9-8764-A91C7A2D99BB";
  // A system sector by ID, or nullptr.
  virtual std::shared_ptr<IKrSector> GetSectorByID(const std::string& id) = 0;
  // The second look-up by ID: the user's own sectors under the custom root, or nullptr.
  virtual std::shared_ptr<IKrSector> GetUserSectorByID(const std::string& id) = 0;
  virtual std::shared_ptr<IKrSector> GetDefaultUserSector() = 0;
  virtual std::shared_ptr<IKrSector> GetCustomSectorRoot() = 0;
};

}  // namespace kdp::host
