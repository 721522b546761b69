#include "tradedate/trade_date_mgr.h"

#include <cmath>
#include <variant>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/kuds.h"
#include "kdp/host/log.h"
#include "kdp/host/main_loop.h"
#include "kdp/host/speed.h"
#include "kdp/refdata/related_data.h"
#include "refdata/trade_rules.h"
#include "tradedate/market_sessions.h"
#include "tradedate/trade_date_item.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrTradeDateMgr";
constexpr const char* kServerAlias = "KUDSDATASERVER";
constexpr const char* kUrlKey = "KUDSDATA";
constexpr const char* kDefaultExchange = "SSE";
constexpr double kServerZone = 8;
constexpr double kLowestZone = -12;
// A security whose market follows another ("CR") may name one that follows a third; a longer chain is
// taken for a loop in the host's data.
constexpr int kMaxUnderlyingHops = 4;

// The calendars of the cross-border trading channels are those of the market traded into.
constexpr std::pair<std::string_view, std::string_view> kChannelExchanges[] = {
    {"GGTTO.KI", "HKS"}, {"HSGGTTO.KI", "HKS"},  {"LGTTO.KI", "SHN"},
    {"HGTTO.KI", "SHN"}, {"SSGGTTO.KI", "HKSZ"}, {"SGTTO.KI", "SZN"},
};

std::string JoinDates(const std::vector<std::string>& dates) {
  std::string text;
  for (const std::string& date : dates) {
    if (!text.empty()) text += ',';
    text += date;
  }
  return text;
}

std::string CellText(const host::TKUDSValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
  if (const auto* number = std::get_if<double>(&value)) return FloatToText(*number);
  return {};
}

// A time of day (a fraction of a day) as HHMM.
int HhmmOf(double timeOfDay) {
  const int minutes = static_cast<int>(std::lround(timeOfDay * 1440.0)) % 1440;
  return minutes / 60 * 100 + minutes % 60;
}

// The recognised temporary cross-section securities: the codes the package makes up for them.
bool IsTempSecurity(const std::string& code) { return code.size() > 6 && SameTextAscii(code.substr(0, 6), "TEMPCS"); }

}  // namespace

TKrTradeDateMgr::TKrTradeDateMgr()
    : m_dicExchangeOfTime{{"SSE", kServerZone}, {"SZSE", kServerZone}},
      FSecurityManager(G_SecurityManager()),
      FWorldClock(G_WorldClock()) {
  m_httpDownLoader.SetServerAlias(kServerAlias);
  m_httpDownLoader.SetOnDownLoaderEndEvent(
      [this](const Status& outcome, host::MemoryStream* stream, std::uint32_t tag) { OnDownLoadEnd(outcome, stream, tag); });
}

TKrTradeDateMgr::~TKrTradeDateMgr() = default;

// ---- securities ----

std::shared_ptr<host::IKrSecurity> TKrTradeDateMgr::GetSecurity(const std::string& code) {
  std::lock_guard lock(m_critSecurityList);
  if (auto it = FSecurityCache.find(code); it != FSecurityCache.end()) return it->second;
  if (FSecurityCache.size() >= kSecurityCacheLimit) FSecurityCache.clear();
  // The package's own stand-in securities live in its data cache, which is the main thread's.
  auto security = host::IsMainThread() ? G_GetSecurity(code) : G_GetHostSecurity(code);
  FSecurityCache[code] = security;
  return security;
}

std::string TKrTradeDateMgr::HQTypeOf(const std::shared_ptr<host::IKrSecurity>& security) const {
  auto info = FSecurityManager ? FSecurityManager->GetSecurityInfo(security) : nullptr;
  return info ? info->GetHQType() : std::string();
}

std::string TKrTradeDateMgr::ExchangeOf(const std::shared_ptr<host::IKrSecurity>& security, bool logFailure) {
  std::string exchange;
  GetStockExchange_New(host::kMarketInfoExchange, security->GetTradeSpan(), exchange);
  if (exchange.empty()) {
    if (logFailure) {
      host::AddHQLog("GetStockExchange_New Failed: " + security->GetKoraCode() + " type: " + security->GetTradeSpan(),
                     kLogSource, host::LogSeverity::kNotice);
    }
    return kDefaultExchange;
  }
  return ToUpperAscii(exchange);
}

std::string TKrTradeDateMgr::CalendarExchangeOf(const std::shared_ptr<host::IKrSecurity>& security) {
  const std::string code = ToUpperAscii(security->GetKoraCode());
  for (const auto& [channel, exchange] : kChannelExchanges) {
    if (code == channel) return std::string(exchange);
  }
  return ExchangeOf(security, false);
}

// ---- calendars ----

host::DateTime TKrTradeDateMgr::GetCurDate(const std::string& exchange) {
  host::DateTime now = GetServerDateTime();
  auto zone = m_dicExchangeOfTime.find(ToUpperAscii(exchange));
  if (FWorldClock) FWorldClock->ShiftDateTimeEx(kServerZone, zone == m_dicExchangeOfTime.end() ? 0 : zone->second, now);
  return now;
}

bool TKrTradeDateMgr::RequestExchangeTradeDate(const std::string& exchange, bool skip) {
  const std::string key = ToUpperAscii(exchange);
  if (skip || FExchangeOfRequested.contains(key)) return false;
  if (!FServerUrlSet) {
    // The URL manager is an on-demand service: asked when the first request goes, not at start-up.
    auto urls = G_URLManager();
    m_httpDownLoader.SetServerUrl(urls ? urls->GetURL(kUrlKey) : std::string());
    FServerUrlSet = true;
  }
  const std::uint32_t tag = ++FRequestDataID;
  FRequestTags[tag] = key;
  const host::DateTime today = GetCurDate(exchange);
  const std::string command =
      fmt::format("report name=Misc.TradeDateList koraCodes= marketCodes={} startDate={} endDate={}", exchange,
                  today.AddDays(-kDaysBefore).Yyyymmdd(), today.AddDays(kDaysAfter).Yyyymmdd());
  m_httpDownLoader.SendLuxCloudReportRequest(command, tag, host::kReportAppClass, host::kReportCommandID);
  FExchangeOfRequested[key] = 1;
  host::AddHQLog("TradeDate请求 RequestExchangeTradeDate" + exchange, kLogSource, host::LogSeverity::kInfo);
  return true;
}

bool DecodeTradeDateReply(std::span<const std::uint8_t> reply, std::vector<std::string>& dates, std::string& error) {
  dates.clear();
  const auto split = host::SplitStatusByte(reply);
  if (!split || split->status == host::kKudsStatusFailed) {
    error = "the service answered a failure";
    return false;
  }
  host::TKUDSResponse response;
  if (!response.Decode(split->stream, error)) return false;
  const host::TKUDSReport* report = response.GetReport();
  if (!report) {
    error = "the reply holds no report";
    return false;
  }
  for (int record = 0; record < report->GetRecordCount(); ++record) {
    dates.push_back(CellText(report->GetValue(record, 1)));
  }
  return true;
}

void TKrTradeDateMgr::OnDownLoadEnd(const Status& outcome, const host::MemoryStream* stream, std::uint32_t tag) {
  auto request = FRequestTags.find(tag);
  if (request == FRequestTags.end()) {
    host::AddHQLog(fmt::format("TradeDate reply to no calendar request: tag {}", tag), kLogSource,
                   host::LogSeverity::kNotice);
    return;
  }
  const std::string exchange = request->second;
  FRequestTags.erase(request);
  host::AddHQLog("TradeDate Clould报表返回OnDownLoadEnd begin", kLogSource, host::LogSeverity::kInfo);
  if (!outcome.ok()) {
    host::AddHQLog(fmt::format("TradeDate request of {} failed: {}", exchange, outcome.message()), kLogSource,
                   host::LogSeverity::kNotice);
    return;
  }
  std::vector<std::string> dates;
  std::string error;
  if (!stream || !DecodeTradeDateReply(stream->Bytes(), dates, error)) {
    host::AddHQLog("Clould报表LUX数据请求失败DecodeData: " + (stream ? error : std::string("no reply")), kLogSource,
                   host::LogSeverity::kNotice);
    return;
  }
  FExchangeOfRequested.erase(exchange);
  auto [entry, added] = m_dicExchangeOfDate.try_emplace(exchange);
  if (added) entry->second.UpdateDate = GetCurDate(exchange);
  entry->second.DateList = std::move(dates);
  // A copy: an observer may register or remove observers while it is told.
  const auto observers = FCallBackMgr;
  for (const auto& [serial, observer] : observers) {
    if (auto notify = observer->GetNotifyCallBack()) notify(true);
  }
}

std::string TKrTradeDateMgr::GetTradeDateAll(const std::shared_ptr<host::IKrSecurity>& security) {
  if (!security) return {};
  const std::string exchange = CalendarExchangeOf(security);
  auto entry = m_dicExchangeOfDate.find(exchange);
  if (entry == m_dicExchangeOfDate.end() || entry->second.UpdateDate.AddDays(1) < GetCurDate(exchange)) {
    RequestExchangeTradeDate(exchange, false);
    return {};
  }
  return JoinDates(entry->second.DateList);
}

std::shared_ptr<ITradeDateEx> TKrTradeDateMgr::GetTradeDateIntf(const std::shared_ptr<host::IKrSecurity>& security) {
  if (!security) return nullptr;
  const std::string exchange = ExchangeOf(security, true);
  if (!m_dicExchangeOfTime.contains(exchange)) {
    m_dicExchangeOfTime[exchange] = GetStockTimeZone_New(host::kMarketInfoTimeZone, security->GetTradeSpan());
  }
  auto entry = m_dicExchangeOfDate.find(exchange);
  const std::string calendar = entry == m_dicExchangeOfDate.end() ? std::string() : JoinDates(entry->second.DateList);
  return std::make_shared<TKrTradeDateItem>(weak_from_this(), security, GetCurDate(exchange), calendar);
}

// ---- zones and sessions ----

double TKrTradeDateMgr::ZoneOf(const std::shared_ptr<host::IKrSecurity>& security, int hops) {
  if (!security || hops > kMaxUnderlyingHops) return kDefaultZone;
  double zone = kDefaultZone;
  const auto legs = IsTempSecurity(security->GetKoraCode()) ? host::Query<host::IKrTempCSSecurity>(security) : nullptr;
  const std::string type = legs ? std::string() : HQTypeOf(security);
  if (legs) {
    zone = ZoneOf(GetSecurity(legs->GetKoracode1()), hops + 1);
  } else if (type == "CR") {
    if (auto underlying = host::Query<host::IKrSecurityUnderlying>(security)) {
      zone = ZoneOf(GetSecurity(underlying->GetUnderlyingCode()), hops + 1);
    }
  } else if (type == "CQ" || type == "CS") {
    if (auto hours = host::Query<host::IKrSecurityTradeHours>(security)) zone = hours->GetTimeZone();
  } else {
    zone = GetStockTimeZone_New(host::kMarketInfoTimeZone, security->GetTradeSpan());
  }
  return zone < kLowestZone ? kDefaultZone : zone;
}

std::vector<int> TKrTradeDateMgr::SessionsOf(const std::shared_ptr<host::IKrSecurity>& security, int hops) {
  if (!security || hops > kMaxUnderlyingHops) return {};
  std::vector<int> sessions;
  const auto legs = IsTempSecurity(security->GetKoraCode()) ? host::Query<host::IKrTempCSSecurity>(security) : nullptr;
  const std::string type = legs ? std::string() : HQTypeOf(security);
  if (legs) {
    // The world clock the combination needs is the main thread's.
    if (host::IsMainThread()) sessions = CombineMarketByCode(legs->GetKoracode1(), legs->GetKoracode2());
  } else if (type == "CR") {
    if (auto underlying = host::Query<host::IKrSecurityUnderlying>(security)) {
      sessions = SessionsOf(GetSecurity(underlying->GetUnderlyingCode()), hops + 1);
    }
  } else if (type == "CQ" || type == "CS") {
    if (auto hours = host::Query<host::IKrSecurityTradeHours>(security)) {
      for (int i = 0, count = hours->GetSessionCount(); i < count; ++i) {
        double start = 0, end = 0;
        if (!hours->GetSession(i, start, end)) break;
        sessions.push_back(HhmmOf(start));
        sessions.push_back(HhmmOf(end));
      }
    }
  } else {
    GetMarketTime_New(host::kMarketInfoSessions, security->GetTradeSpan(), sessions);
  }
  if (sessions.empty()) {
    if (auto info = FSecurityManager ? FSecurityManager->GetSecurityInfo(security) : nullptr) {
      sessions = info->GetMarketTimeSep();
    }
  }
  return sessions;
}

std::pair<std::vector<int>, int> TKrTradeDateMgr::GetRelateMarket(const std::shared_ptr<host::IKrSecurity>& security1,
                                                                  const std::shared_ptr<host::IKrSecurity>& security2) {
  std::vector<int> sessions = GetMarketTime(security2);
  if (!FWorldClock || sessions.empty()) return {{}, 0};
  const double from = GetTradeZoneByKoraCode(security2), to = GetTradeZoneByKoraCode(security1);
  // Today's offsets: a zone's rules of long ago (local mean time) say nothing about today's sessions.
  const host::DateTime day = GetServerDateTime().DatePart();
  int dayMoved = 0;
  for (std::size_t i = 0; i < sessions.size(); ++i) {
    const host::DateTime local(day.value + host::EncodeTime(sessions[i] / 100 % 24, sessions[i] % 100));
    host::DateTime shifted = local;
    FWorldClock->ShiftDateTimeEx(from, to, shifted);
    if (i == 0) dayMoved = static_cast<int>(std::floor(shifted.value) - std::floor(local.value));
    sessions[i] = shifted.Hhmm();
  }
  return {sessions, dayMoved};
}

std::vector<int> TKrTradeDateMgr::CombineMarketByCode(const std::string& code1, const std::string& code2) {
  std::vector<int> a = GetMarketTime(code1);
  auto security2 = GetSecurity(code2);
  if (!security2) return GetCombineMarketTime(a, {});
  auto [b, dayMoved] = GetRelateMarket(GetSecurity(code1), security2);
  if (dayMoved == 1) {
    for (int& value : b) value += 2400;
  } else if (dayMoved == -1) {
    for (int& value : a) value += 2400;
  }
  return GetCombineMarketTime(std::move(a), std::move(b));
}

double TKrTradeDateMgr::GetTradeZoneByKoraCode(const std::shared_ptr<host::IKrSecurity>& security) {
  return ZoneOf(security, 0);
}

std::vector<int> TKrTradeDateMgr::GetMarketTime(const std::shared_ptr<host::IKrSecurity>& security) {
  return SessionsOf(security, 0);
}

// ---- by code ----

std::shared_ptr<ITradeDateEx> TKrTradeDateMgr::GetTradeDateIntf(const std::string& code) {
  auto security = GetSecurity(code);
  return security ? GetTradeDateIntf(security) : nullptr;
}

std::string TKrTradeDateMgr::GetTradeDateAll(const std::string& code) {
  auto security = GetSecurity(code);
  return security ? GetTradeDateAll(security) : std::string();
}

double TKrTradeDateMgr::GetTradeZoneByKoraCode(const std::string& code) {
  auto security = GetSecurity(code);
  return security ? GetTradeZoneByKoraCode(security) : kDefaultZone;
}

std::vector<int> TKrTradeDateMgr::GetMarketTime(const std::string& code) {
  auto security = GetSecurity(code);
  return security ? GetMarketTime(security) : std::vector<int>();
}

// ---- observers ----

void TKrTradeDateMgr::SetTradeDateNotify(const std::shared_ptr<ITradeDateObserver>& observer) {
  if (!observer) return;
  for (const auto& [serial, registered] : FCallBackMgr) {
    if (registered == observer) return;
  }
  observer->SetReqSerialID(++FReqNum);
  FCallBackMgr[FReqNum] = observer;
}

void TKrTradeDateMgr::DelTradeDateNotify(int serial) { FCallBackMgr.erase(serial); }

}  // namespace kdp
