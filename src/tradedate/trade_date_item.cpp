#include "tradedate/trade_date_item.h"

#include <algorithm>
#include <cmath>

#include "kdp/rtd/rtd_item.h"
#include "tradedate/trade_date_mgr.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::uint32_t kTradeDateField = 1;
constexpr int kNotADate = -1;

// A calendar day `days` after a yyyymmdd date; -1 when the date is not one.
int ShiftCalendarDay(int yyyymmdd, int days) {
  const auto date = host::DateTime::FromYyyymmdd(yyyymmdd);
  return date ? date->AddDays(days).Yyyymmdd() : kNotADate;
}

}  // namespace

TKrTradeDateItem::TKrTradeDateItem(std::weak_ptr<TKrTradeDateMgr> manager, std::shared_ptr<host::IKrSecurity> security,
                                   host::DateTime curDate, const std::string& calendar)
    : FManager(std::move(manager)), FRTDModel(std::make_unique<TKrRTDModel>()), FSecuirty(std::move(security)) {
  const std::string code = GetKoraCode();
  // The model answers this item's security for its own code only.
  FRTDModel->SetOnGetSecurity([security = FSecuirty, code](const std::string& asked) {
    return SameTextAscii(asked, code) ? security : nullptr;
  });
  if (!code.empty()) {
    TKrRealTimeParamStructure params(1);
    params.SetKoraCode(0, code);
    params.SetItemArray(0, {kTradeDateField});
    FRTDModel->Subscrible(params);
  }
  LoadCalendar(calendar);
  m_bLoad = !calendar.empty();
  FCurTradeDate = curDate.Yyyymmdd();
  if (!m_lstTradeDate.empty()) {
    FCurTradeDateIndex = LastIndexNotAfter(FCurTradeDate);
    if (FCurTradeDateIndex >= 0) FCurTradeDate = m_lstTradeDate[static_cast<std::size_t>(FCurTradeDateIndex)];
  }
}

TKrTradeDateItem::~TKrTradeDateItem() {
  if (FRTDModel) FRTDModel->UnSubscrible();
}

std::string TKrTradeDateItem::GetKoraCode() { return FSecuirty ? FSecuirty->GetKoraCode() : std::string(); }

void TKrTradeDateItem::LoadCalendar(const std::string& calendar) {
  m_lstTradeDate.clear();
  if (calendar.empty()) return;
  for (const std::string& entry : SplitString(calendar, ','))
    m_lstTradeDate.push_back(StrToIntDef(Trim(entry), kNotADate));
  m_bAscending = std::adjacent_find(m_lstTradeDate.begin(), m_lstTradeDate.end(), std::greater_equal<int>()) ==
                     m_lstTradeDate.end() &&
                 m_lstTradeDate.front() != kNotADate;
}

int TKrTradeDateItem::LastIndexNotAfter(int value) const {
  if (m_bAscending) {
    return static_cast<int>(std::upper_bound(m_lstTradeDate.begin(), m_lstTradeDate.end(), value) -
                            m_lstTradeDate.begin()) -
           1;
  }
  for (int i = static_cast<int>(m_lstTradeDate.size()) - 1; i >= 0; --i) {
    if (m_lstTradeDate[static_cast<std::size_t>(i)] <= value) return i;
  }
  return -1;
}

int TKrTradeDateItem::FindDate(int value, int first, int last) const {
  if (first >= last) return -1;
  const auto begin = m_lstTradeDate.begin() + first, end = m_lstTradeDate.begin() + last;
  const auto it = m_bAscending ? std::lower_bound(begin, end, value) : std::find(begin, end, value);
  return it != end && *it == value ? static_cast<int>(it - m_lstTradeDate.begin()) : -1;
}

void TKrTradeDateItem::RefreshFromRealTime() {
  const std::string code = GetKoraCode();
  if (code.empty()) return;
  const int realTime = static_cast<int>(std::trunc(FRTDModel->GetDoubleVal(code, kTradeDateField, 0)));
  if (realTime != 0 && realTime != FCurTradeDate) SetLatestDate(realTime);
}

void TKrTradeDateItem::SetLatestDate(int value) {
  if (value == FCurTradeDate) return;
  if (!m_bLoad) {
    FCurTradeDate = value;
    return;
  }
  const int index = LastIndexNotAfter(value);
  if (index < 0) return;
  FCurTradeDateIndex = index;
  FCurTradeDate = m_lstTradeDate[static_cast<std::size_t>(index)];
}

void TKrTradeDateItem::CalcCurTradeDateIndex(int days) {
  if (m_bLoad || days < 1) return;
  auto manager = FManager.lock();
  if (!manager) return;
  LoadCalendar(manager->GetTradeDateAll(FSecuirty));
  if (m_lstTradeDate.empty()) return;
  FCurTradeDateIndex = LastIndexNotAfter(FCurTradeDate);
  m_bLoad = true;
}

int TKrTradeDateItem::GetLatestDate() {
  RefreshFromRealTime();
  return FCurTradeDate;
}

int TKrTradeDateItem::GetLatestDateBef(int days) {
  RefreshFromRealTime();
  CalcCurTradeDateIndex(days);
  if (!m_bLoad) return ShiftCalendarDay(FCurTradeDate, -days);
  const long long index = static_cast<long long>(FCurTradeDateIndex) - days;
  if (index < 0 || index >= static_cast<long long>(m_lstTradeDate.size())) return kNotADate;
  return m_lstTradeDate[static_cast<std::size_t>(index)];
}

std::vector<int> TKrTradeDateItem::GetLatestDatePeriod(int days) {
  RefreshFromRealTime();
  CalcCurTradeDateIndex(days);
  std::vector<int> period;
  const int count = static_cast<int>(m_lstTradeDate.size());
  if (FCurTradeDateIndex < 0 || FCurTradeDateIndex >= count) return period;
  const int last = std::max(0, FCurTradeDateIndex - std::max(days, 1) + 1);
  for (int i = FCurTradeDateIndex; i >= last; --i) period.push_back(m_lstTradeDate[static_cast<std::size_t>(i)]);
  return period;
}

int TKrTradeDateItem::GetBeforeDate(host::DateTime dateTime) {
  if (!m_bLoad) return dateTime.AddDays(-1).Yyyymmdd();
  const int index = FindDate(dateTime.Yyyymmdd(), 1, static_cast<int>(m_lstTradeDate.size()));
  return index < 0 ? kNotADate : m_lstTradeDate[static_cast<std::size_t>(index - 1)];
}

int TKrTradeDateItem::GetAfterDate(host::DateTime dateTime) {
  if (!m_bLoad) return dateTime.AddDays(1).Yyyymmdd();
  const int index = FindDate(dateTime.Yyyymmdd(), 0, static_cast<int>(m_lstTradeDate.size()) - 1);
  return index < 0 ? kNotADate : m_lstTradeDate[static_cast<std::size_t>(index + 1)];
}

}  // namespace kdp
