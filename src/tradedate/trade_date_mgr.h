// TKrTradeDateMgr (published as "ITradeDateMgr"): trading calendars per exchange, trade date objects,
// time zones and sessions per security.
//
// Calendars come from the report service as "Misc.TradeDateList" through the request transport's Lux
// road, one request per exchange at a time: the first look-up of an exchange answers empty and sends the
// request; the reply (a report stream and its status byte) replaces the exchange's list and every observer
// hears of it. A calendar is asked for again once a day has passed since it was first stored; a request
// that failed in transfer leaves its exchange marked outstanding, so nothing more is sent for it. A reply
// that failed, carries a zero status byte, does not decode or has no report leaves the calendar as it was.
//
// Threads: the main thread owns the manager: calendars, observers, requests, zones. The quote engine's
// threads may call GetMarketTime(code) (the engine asks for the sessions of the codes it serves): it reads
// the security cache under m_critSecurityList, the host's securities and trade rules (any thread), the
// stock type manager's resolution (read-only once published) and the world clock, which is main-thread
// only, so off the main thread a temporary cross-section security answers its type's sessions instead of
// its legs' combination. The services it reads are looked up once, on the main thread, when it is made.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "kdp/host/date_time.h"
#include "kdp/host/memory_stream.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/tradedate/trade_date.h"
#include "transport/http_downloader.h"

namespace kdp {

struct TDateInfo {
  host::DateTime UpdateDate;          // the exchange's current date-time when the calendar was first stored
  std::vector<std::string> DateList;  // trading days "yyyymmdd", as delivered
};

// The trading days of a calendar reply (a report stream behind its status byte): the second column of each
// record, as delivered. False, with `error`, when the reply is a failure, does not decode or holds no
// report. Never throws.
bool DecodeTradeDateReply(std::span<const std::uint8_t> reply, std::vector<std::string>& dates, std::string& error);

class TKrTradeDateMgr final : public host::Implements<ITradeDateMgr>,
                              public std::enable_shared_from_this<TKrTradeDateMgr> {
 public:
  // The report command's Lux address is host::kReportAppClass / host::kReportCommandID; the calendar
  // asked for runs from 25 days before the exchange's current date to 5 days after it.
  static constexpr int kDaysBefore = 25;
  static constexpr int kDaysAfter = 5;
  static constexpr std::size_t kSecurityCacheLimit = 20;
  static constexpr double kDefaultZone = 8;

  // REQUIRES: the main thread (it looks up the security manager, the world clock and the URL manager).
  TKrTradeDateMgr();
  ~TKrTradeDateMgr() override;

  std::shared_ptr<ITradeDateEx> GetTradeDateIntf(const std::string& code) override;
  std::string GetTradeDateAll(const std::string& code) override;
  double GetTradeZoneByKoraCode(const std::string& code) override;
  std::vector<int> GetMarketTime(const std::string& code) override;
  void SetTradeDateNotify(const std::shared_ptr<ITradeDateObserver>& observer) override;
  void DelTradeDateNotify(int serial) override;
  std::shared_ptr<ITradeDateEx> GetTradeDateIntf(const std::shared_ptr<host::IKrSecurity>& security) override;
  std::string GetTradeDateAll(const std::shared_ptr<host::IKrSecurity>& security) override;
  double GetTradeZoneByKoraCode(const std::shared_ptr<host::IKrSecurity>& security) override;
  std::vector<int> GetMarketTime(const std::shared_ptr<host::IKrSecurity>& security) override;

  // The sessions both codes trade in, in the first code's zone: the second code's sessions are shifted
  // into it (a day ahead puts them 2400 later, a day behind puts the first code's 2400 later).
  std::vector<int> CombineMarketByCode(const std::string& code1, const std::string& code2);

  // The exchange's current date-time: server time (UTC+8) shifted to the exchange's zone (0 when the
  // manager knows none for it).
  host::DateTime GetCurDate(const std::string& exchange);
  // Sends the calendar request of the exchange unless one is outstanding (or `skip`); whether it sent.
  bool RequestExchangeTradeDate(const std::string& exchange, bool skip);
  // The transport's completion of a calendar request.
  void OnDownLoadEnd(const Status& outcome, const host::MemoryStream* stream, std::uint32_t tag);

  // The host's security of a code through a cache of at most kSecurityCacheLimit entries (misses too).
  // Any thread.
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code);

 private:
  // Upper-case exchange of the security; "SSE" when the trade rules name none.
  std::string ExchangeOf(const std::shared_ptr<host::IKrSecurity>& security, bool logFailure);
  // The calendar's exchange: the cross-border channels' codes name theirs.
  std::string CalendarExchangeOf(const std::shared_ptr<host::IKrSecurity>& security);
  std::string HQTypeOf(const std::shared_ptr<host::IKrSecurity>& security) const;
  double ZoneOf(const std::shared_ptr<host::IKrSecurity>& security, int hops);
  std::vector<int> SessionsOf(const std::shared_ptr<host::IKrSecurity>& security, int hops);
  // The second security's sessions in the first one's zone, and the day they moved by (-1, 0, 1).
  std::pair<std::vector<int>, int> GetRelateMarket(const std::shared_ptr<host::IKrSecurity>& security1,
                                                   const std::shared_ptr<host::IKrSecurity>& security2);

  TKrHttpDownLoader m_httpDownLoader;
  bool FServerUrlSet = false;  // the URL manager's path for "KUDSDATA" is set on the first request
  std::map<std::string, TDateInfo> m_dicExchangeOfDate;
  std::map<std::string, double> m_dicExchangeOfTime;
  std::map<int, std::shared_ptr<ITradeDateObserver>> FCallBackMgr;
  int FReqNum = -1;
  std::uint32_t FRequestDataID = 0;
  std::map<std::string, int> FExchangeOfRequested;
  // The exchange of each calendar request in flight, by the request's tag (a pointer does not fit it).
  std::map<std::uint32_t, std::string> FRequestTags;
  std::map<std::string, std::shared_ptr<host::IKrSecurity>> FSecurityCache;
  mutable std::mutex m_critSecurityList;  // guards FSecurityCache
  // Looked up when made, then only read.
  const std::shared_ptr<IKrHQSecurityManager> FSecurityManager;
  const std::shared_ptr<IKrWorldClock> FWorldClock;
};

}  // namespace kdp
