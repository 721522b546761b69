// Trading calendars and sessions per security (published as "ITradeDateMgr").
//
// ITradeDateMgr answers, for a security given by code or object: its exchange's trading calendar as comma
// text, a trade date object bound to the security (ITradeDateEx), its time zone in hours and its trading
// sessions as HHMM values. Calendars come from the report service ("Misc.TradeDateList"); the first call
// for an exchange answers empty and starts the request, and observers hear when a calendar arrives.
// ITradeDateEx: dates in and out are integers yyyymmdd, except the date-time arguments.
//
// Threads: the main thread, except GetMarketTime(code), which the quote engine's threads may call too (see
// the implementation's header). Observers are called on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/date_time.h"
#include "kdp/host/interface.h"
#include "kdp/host/security.h"

namespace kdp {

class ITradeDateObserver : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "E7FDEDF5-85C9-48CB-8596-E67BB3077914";
  // Called with true when a calendar arrived.
  using TNotify = std::function<void(bool)>;
  virtual TNotify GetNotifyCallBack() = 0;
  virtual void SetNotifyCallBack(TNotify callback) = 0;
  virtual int GetReqSerialID() = 0;
  virtual void SetReqSerialID(int serial) = 0;
};

class ITradeDateEx : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "D13EC586-27AE-4151-982A-0F52493FC5E6";
  // The current trade date (following the security's real-time trade date).
  virtual int GetLatestDate() = 0;
  // Moves the current trade date to the last trading day not after `value` (to `value` itself while the
  // calendar is not loaded).
  virtual void SetLatestDate(int value) = 0;
  // The trading day `days` before the current one; -1 outside the calendar. Before the calendar is loaded:
  // the calendar day `days` before.
  virtual int GetLatestDateBef(int days) = 0;
  // The current trading day and the ones before it, `days` in all (at least one), latest first.
  virtual std::vector<int> GetLatestDatePeriod(int days) = 0;
  // The trading day before / after a trading day; -1 when the date is not one or has none before / after.
  // Before the calendar is loaded: the calendar day before / after.
  virtual int GetBeforeDate(host::DateTime dateTime) = 0;
  virtual int GetAfterDate(host::DateTime dateTime) = 0;
  // Whether the calendar is loaded.
  virtual bool GetLoadState() = 0;
  virtual std::string GetKoraCode() = 0;
};

class ITradeDateMgr : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "510C698D-0392-4395-AA99-BEDB439BC9CF";
  // By code: the host's security of the code, then as below; a code without one gives nullptr, "", 8
  // and no sessions.
  virtual std::shared_ptr<ITradeDateEx> GetTradeDateIntf(const std::string& code) = 0;
  virtual std::string GetTradeDateAll(const std::string& code) = 0;
  virtual double GetTradeZoneByKoraCode(const std::string& code) = 0;
  virtual std::vector<int> GetMarketTime(const std::string& code) = 0;
  // Registers an observer (nullptr is ignored; one registered already keeps its serial); the serial.
  virtual void SetTradeDateNotify(const std::shared_ptr<ITradeDateObserver>& observer) = 0;
  virtual void DelTradeDateNotify(int serial) = 0;
  // A new trade date object for the security; nullptr without one.
  virtual std::shared_ptr<ITradeDateEx> GetTradeDateIntf(const std::shared_ptr<host::IKrSecurity>& security) = 0;
  // The exchange's calendar, dates yyyymmdd joined by ","; "" while it is being fetched.
  virtual std::string GetTradeDateAll(const std::shared_ptr<host::IKrSecurity>& security) = 0;
  // The security's time zone in hours east of UTC (8 when unknown).
  virtual double GetTradeZoneByKoraCode(const std::shared_ptr<host::IKrSecurity>& security) = 0;
  // The security's sessions as HHMM start/end values.
  virtual std::vector<int> GetMarketTime(const std::shared_ptr<host::IKrSecurity>& security) = 0;
};

// The observer callers register: a callback and the serial the manager gave it.
class TTradeDateObserver final : public host::Implements<ITradeDateObserver> {
 public:
  explicit TTradeDateObserver(TNotify notify = {}) : FNotify(std::move(notify)) {}
  TNotify GetNotifyCallBack() override { return FNotify; }
  void SetNotifyCallBack(TNotify callback) override { FNotify = std::move(callback); }
  int GetReqSerialID() override { return FReqSerialID; }
  void SetReqSerialID(int serial) override { FReqSerialID = serial; }

 private:
  TNotify FNotify;
  int FReqSerialID = -1;
};

}  // namespace kdp
