// The calendar the cloud date macros read: the server's date-time, the local date, and the trading days
// of a security's market. The cloud code sees trading days only through this small view, so the macros
// are tested against fixed calendars and the view is wired to the trade date manager where it lives.
//
// Dates travel as yyyymmdd integers. Main thread, like the command items that ask.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "kdp/host/date_time.h"

namespace kdp {

// The trading days of one market, as the trade date item of a security answers them (yyyymmdd, or -1
// when the item has no such day; the macros write that answer as it is).
class ICloudTradeDays {
 public:
  virtual ~ICloudTradeDays() = default;
  // The trading day `n` before the item's current trade date.
  virtual int LatestDateBef(int n) const = 0;
  // The trading day before the trading day `date`; -1 when `date` is not one or is the first.
  virtual int BeforeDate(host::DateTime date) const = 0;
};

class ICloudCalendar {
 public:
  virtual ~ICloudCalendar() = default;
  // The server time ("now" of every current-date macro).
  virtual host::DateTime ServerDateTime() const = 0;
  // The machine's local date.
  virtual int LocalDate() const = 0;
  // The trading days of the market of `koraCode`; nullptr when there is no calendar for it.
  virtual std::shared_ptr<const ICloudTradeDays> TradeDaysOf(const std::string& koraCode) const = 0;
};

// The host's clocks, and a security's trading days from the trade date manager ("ITradeDateMgr"): none
// while the manager is missing or the security's calendar is not loaded yet (asking starts its loading),
// so macros that need trading days then stay in the text unchanged.
class THostCloudCalendar final : public ICloudCalendar {
 public:
  host::DateTime ServerDateTime() const override;
  int LocalDate() const override;
  std::shared_ptr<const ICloudTradeDays> TradeDaysOf(const std::string& koraCode) const override;
};

}  // namespace kdp

namespace kdp {

// What a request text depends on besides its item: the terminal language ("ENS" asks for English) and the
// calendar of the date macros.
struct TCloudRequestContext {
  std::string language;
  const ICloudCalendar& calendar;
};

}  // namespace kdp
