#include "refdata/trade_rules.h"

#include <cstring>

#include "core/package_lookup.h"
#include "kdp/host/speed.h"

namespace kdp {
namespace {

std::shared_ptr<host::ISpeed> Speed() {
  auto context = GetHQContext();
  return context ? context->GetSpeed() : nullptr;
}

}  // namespace

bool GetMarketTime_New(int question, const std::string& tradeSpan, TArrayMarketTimeSep& sessions) {
  sessions.clear();
  auto speed = Speed();
  if (!speed) return false;
  host::TMarketInfoBuffer buffer;
  const int count = speed->QueryMarketInfo(question, tradeSpan, buffer);
  if (count <= 0) return false;
  if (buffer.values != nullptr) sessions.assign(buffer.values, buffer.values + count);
  speed->FreeMarketInfo(question, buffer);
  return !sessions.empty();
}

bool GetStockExchange_New(int question, const std::string& tradeSpan, std::string& exchange) {
  exchange.clear();
  auto speed = Speed();
  if (!speed) return false;
  host::TMarketInfoBuffer buffer;
  if (speed->QueryMarketInfo(question, tradeSpan, buffer) != 0) return false;
  exchange.assign(buffer.text, strnlen(buffer.text, sizeof buffer.text));
  return !exchange.empty();
}

int GetStockTimeZone_New(int question, const std::string& tradeSpan) {
  auto speed = Speed();
  if (!speed) return kUnknownMarketTimeZone;
  host::TMarketInfoBuffer buffer;
  return speed->QueryMarketInfo(question, tradeSpan, buffer);
}

}  // namespace kdp
