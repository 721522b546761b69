// The stock type map loader: any text either loads or ends with EStockTypeMapError; whatever loaded then
// answers resolutions, queries and zone shifts (time-zone database names included, at odd date-times too).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/security_fake.h"
#include "refdata/stock_type_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto manager = std::make_shared<kdp::TKrHQStockTypeManagerImpl>(8);
  try {
    manager->LoadStockTypeMapXml(text);
  } catch (const kdp::EStockTypeMapError&) {
    // ends the load; what was read stays
  }
  for (const char* code : {"600000.SH", "X.UD", "YTM_019547.SH", "FP_DJI.GI", "USDCNY.FX", "", "."}) {
    auto info = manager->GetSecurityInfo(code);
    info->GetF5Page();
    info->GetF5PageFreePad("pad");
    info->GetMarketTimeSepDate();
    kdp::GenMarketCleanTime(info->GetMarketTimeSep());
  }
  auto fake = std::make_shared<kdp::TKrSecurityFake>();
  fake->SetKoraCode("A1.SH");
  fake->SetStockType("A");
  manager->GetSecurityInfo(fake);
  for (int i = -1; i <= manager->GetCount(); ++i) {
    const kdp::TKrStockTypeDataItem item = manager->GetItem(i);
    manager->GetHQTypeByID(item.StockID);
    manager->GetHQTypeIDByName(item.HQType);
    manager->GetHQMarketOpenByID(item.StockID);
    manager->GetHQMarketCloseByID(item.StockID);
    kdp::IsCrossDayTrade(item.MarketTimeSep);
    int t = 1000, offset = 0, start = 0;
    kdp::RoundToSepEnd(item.MarketTimeSep, t);
    kdp::GetCycleRoundToSep(1000, item.MarketTimeSep, offset, start);
  }
  kdp::TKrWorldClock& clock = manager->WorldClock();
  for (const kdp::TTimeZoneInfo& zone : clock.GetCityTimeZones()) {
    for (double day : {kdp::host::DateTime::FromParts(2026, 7, 1, 9, 30).value, zone.TimeZone * 1e4, -1e300}) {
      kdp::host::DateTime when(day);
      clock.ShiftDateTime(zone.City, when);
      clock.ShiftDateTimeEx(zone.TimeZone, 8, when);
      clock.ShiftCityDateTime(zone.City, "Beijing", when);
      clock.GetZoneOffset(zone, when);
      clock.IsInSummerTime(zone, when);
    }
  }
  return 0;
}
