#include "cloud/cloud_calendar.h"

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/tradedate/trade_date.h"

namespace kdp {

host::DateTime THostCloudCalendar::ServerDateTime() const { return GetServerDateTime(); }

int THostCloudCalendar::LocalDate() const { return host::DateTime::Now().Yyyymmdd(); }

namespace {

// The trading days of a trade date object.
class TTradeDateDays final : public ICloudTradeDays {
 public:
  explicit TTradeDateDays(std::shared_ptr<ITradeDateEx> item) : FItem(std::move(item)) {}
  int LatestDateBef(int n) const override { return FItem->GetLatestDateBef(n); }
  int BeforeDate(host::DateTime date) const override { return FItem->GetBeforeDate(date); }

 private:
  std::shared_ptr<ITradeDateEx> FItem;
};

}  // namespace

std::shared_ptr<const ICloudTradeDays> THostCloudCalendar::TradeDaysOf(const std::string& koraCode) const {
  const auto manager = G_TradeDateManager();
  auto item = manager ? manager->GetTradeDateIntf(koraCode) : nullptr;
  if (!item) return nullptr;
  if (!item->GetLoadState()) {
    manager->GetTradeDateAll(koraCode);  // requests the calendar unless it is on its way
    return nullptr;
  }
  return std::make_shared<TTradeDateDays>(std::move(item));
}

}  // namespace kdp
