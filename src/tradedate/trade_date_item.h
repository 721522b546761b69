// TKrTradeDateItem: a security's trade dates: the current trade date, following the security's real-time
// trade date (field 1 of the item's own real-time model), and the exchange's calendar around it, loaded
// from the manager on the first period query when the item was made before the calendar arrived.
//
// The calendar is kept as numbers (an entry that is not one reads as -1). A strictly ascending calendar,
// as the report service delivers it, is searched by halving; any other is scanned as delivered.
//
// Threads: main thread only (as the model it owns).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kdp/host/security.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/tradedate/trade_date.h"

namespace kdp {

class TKrTradeDateMgr;

class TKrTradeDateItem final : public host::Implements<ITradeDateEx> {
 public:
  // `calendar`: the exchange's trading days as comma text ("" while the manager has none). The current
  // trade date is the last trading day not after `curDate` (index -1 when there is none; `curDate`
  // itself, index 0, without a calendar).
  TKrTradeDateItem(std::weak_ptr<TKrTradeDateMgr> manager, std::shared_ptr<host::IKrSecurity> security,
                   host::DateTime curDate, const std::string& calendar);
  ~TKrTradeDateItem() override;

  int GetLatestDate() override;
  void SetLatestDate(int value) override;
  int GetLatestDateBef(int days) override;
  std::vector<int> GetLatestDatePeriod(int days) override;
  int GetBeforeDate(host::DateTime dateTime) override;
  int GetAfterDate(host::DateTime dateTime) override;
  bool GetLoadState() override { return m_bLoad; }
  std::string GetKoraCode() override;

  int GetCurTradeDateIndex() const { return FCurTradeDateIndex; }

 private:
  void LoadCalendar(const std::string& calendar);
  // The index of the last entry not after `value`; -1 when there is none.
  int LastIndexNotAfter(int value) const;
  // The index of the first entry equal to `value` among [first, last); -1 when there is none.
  int FindDate(int value, int first, int last) const;
  // Applies the real-time trade date when it moved.
  void RefreshFromRealTime();
  // Loads the manager's calendar on the first query of at least one day.
  void CalcCurTradeDateIndex(int days);

  std::weak_ptr<TKrTradeDateMgr> FManager;
  int FCurTradeDate = 0;
  int FCurTradeDateIndex = 0;
  std::vector<int> m_lstTradeDate;
  bool m_bAscending = true;  // m_lstTradeDate strictly ascending
  std::unique_ptr<TKrRTDModel> FRTDModel;
  bool m_bLoad = false;
  std::shared_ptr<host::IKrSecurity> FSecuirty;
};

}  // namespace kdp
