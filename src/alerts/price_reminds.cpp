// The reminders that watch quotes: their settings, the fields they subscribe, their condition texts and
// their condition tests. Every test first needs a valid last price of the reminder's security.
#include <cmath>

#include <fmt/format.h>

#include "alerts/remind_params.h"
#include "core/host_lookups.h"
#include "core/string_catalog.h"
#include "fields/hq_dictionary.h"
#include "kdp/alerts/conditions_remind.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/rtd/rtd_model.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr double kEpsilon = 0.000001;
constexpr std::uint32_t kPreCloseField = 4;
constexpr std::uint32_t kHighField = 6;
constexpr std::uint32_t kLowField = 7;
constexpr std::uint32_t kChangeRatioField = 81;    // a fraction: 0.0123 is 1.23%
constexpr std::uint32_t kTurnoverRateField = 187;  // a fraction

// The base subscription (trade date, time, price) of every code, plus `extra` fields of the first code.
TKrRealTimeParamStructure WithFields(TKrRealTimeParamStructure params, std::initializer_list<std::uint32_t> extra) {
  std::vector<std::uint32_t> ids = params.GetItemArray(0);
  for (std::uint32_t id : extra) {
    if (id != 0) ids.push_back(id);
  }
  params.SetItemArray(0, ids);
  return params;
}

// A field's value when the item holds one.
std::optional<double> FieldOf(IRTDItem* item, std::uint32_t id) {
  if (item == nullptr || id == 0 || item->IsNullByID(id)) return std::nullopt;
  const double value = item->GetDoubleDataByID(id);
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::uint32_t FieldIDByName(const std::string& name) {
  const int id = KrHQDictionaryImpl().GetIDByName(name);
  return id > 0 ? static_cast<std::uint32_t>(id) : 0u;
}

std::string Percent(double value) { return FloatToText(value) + "%"; }

// The words of the condition texts in the user's language (the string catalogue; Chinese by default).
std::string Word(int id, const char* chinese) { return GetLanguageStrDef(id, chinese); }
std::string LastPrice() { return Word(143101, "最新价"); }
std::string BelowOrReaches(bool below) { return below ? Word(143106, "低于") : Word(143107, "达到"); }

}  // namespace

// ---- price level ----

std::vector<TKrRemindParam> TKrPriceArriveRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("CustomPrice", FCustomPrice));
  params.push_back(EnumParam("MonitorPriceType", FMonitorPriceType, kMonitorPriceTypeNames));
  return params;
}

std::string TKrPriceArriveRemind::GetTriggerConditionDesc() {
  return LastPrice() +
         (FMonitorPriceType == TMonitorPriceType::ptPriceUp ? Word(143102, "上涨到") : Word(143103, "下跌到")) +
         FormatPrice(FCustomPrice);
}

bool TKrPriceArriveRemind::DoIsNeedUpdate() {
  const double price = ValidPrice(MainItem());
  if (price == 0.0) return false;
  const double d = FMonitorPriceType == TMonitorPriceType::ptPriceUp ? price - FCustomPrice : FCustomPrice - price;
  if (d > kEpsilon && FFitRemindAgain) {
    FFitRemindAgain = false;
    return true;
  }
  if (d < kEpsilon) FFitRemindAgain = true;
  return false;
}

// ---- price difference of two securities ----

std::vector<TKrRemindParam> TKrPriceDiffArriveRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("PriceDiff", FPriceDiff));
  params.push_back(NumberParam("PriceRate", FPriceRate));
  params.push_back(TextParam("SecondCode", FSecondKoraCode));
  params.push_back(EnumParam("MonitorPriceDiffType", FMonitorPriceDiffType, kMonitorPriceDiffTypeNames));
  return params;
}

std::string TKrPriceDiffArriveRemind::GetTriggerConditionDesc() {
  if (FMonitorPriceDiffType == TMonitorPriceDiffType::pdtPriceRate) {
    return FKoraCode + Word(143104, "相对") + FSecondKoraCode + Word(143105, "价差比例") +
           BelowOrReaches(FPriceRate < 0) + Percent(FPriceRate);
  }
  return FKoraCode + Word(143108, "与") + FSecondKoraCode + Word(143109, "价差") + BelowOrReaches(FPriceDiff < 0) +
         FormatPrice(FPriceDiff);
}

TKrRealTimeParamStructure TKrPriceDiffArriveRemind::GetSymbolDataDyn() const {
  TKrRealTimeParamStructure params = TKrConditionsRemindBase::GetSymbolDataDyn();
  params.AddOneItem();
  params.SetKoraCode(1, FSecondKoraCode);
  params.SetItemArray(1, params.GetItemArray(0));
  return params;
}

void TKrPriceDiffArriveRemind::StartMonitor() {
  FSecondSecurity = G_GetSecurity(FSecondKoraCode);
  TKrConditionsRemindBase::StartMonitor();
}

bool TKrPriceDiffArriveRemind::IsMatchUpdateCondition(const std::string& code) {
  const bool either = SameTextAscii(code, FKoraCode) || SameTextAscii(code, FSecondKoraCode);
  return either && IsMatchUpdateIndex(FSecurity);
}

bool TKrPriceDiffArriveRemind::DoIsNeedUpdate() {
  const double first = ValidPrice(MainItem());
  const double second = ValidPrice(ItemOf(FSecondKoraCode).get());
  if (first == 0.0 || second == 0.0) return false;
  const bool byRate = FMonitorPriceDiffType == TMonitorPriceDiffType::pdtPriceRate;
  const double value = byRate ? (first - second) / second * 100.0 : first - second;
  const double level = byRate ? FPriceRate : FPriceDiff;
  return TestReached(level >= 0 ? value - level : level - value);
}

// ---- change ratio ----

std::vector<TKrRemindParam> TKrRangeArriveRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(EnumParam("MonitorRangeType", FMonitorRangeType, kMonitorRangeTypeNames));
  params.push_back(NumberParam("Range", FRange));
  return params;
}

std::string TKrRangeArriveRemind::GetTriggerConditionDesc() {
  const bool above = FMonitorRangeType == TMonitorRangeType::rtRangeAbove;
  return Word(143110, "涨跌幅") + (above ? Word(143111, "高于") : Word(143106, "低于")) +
         Percent(above ? std::fabs(FRange) : -std::fabs(FRange));
}

TKrRealTimeParamStructure TKrRangeArriveRemind::GetSymbolDataDyn() const {
  return WithFields(TKrConditionsRemindBase::GetSymbolDataDyn(), {kChangeRatioField});
}

bool TKrRangeArriveRemind::DoIsNeedUpdate() {
  IRTDItem* item = MainItem();
  const auto ratio = FieldOf(item, kChangeRatioField);
  if (ValidPrice(item) == 0.0 || !ratio) return false;
  const double value = *ratio * 100.0;
  const double range = std::fabs(FRange);
  return TestReached(FMonitorRangeType == TMonitorRangeType::rtRangeAbove ? value - range : -range - value);
}

// ---- volume ----

std::vector<TKrRemindParam> TKrVolumeArriveRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("TotalVolume", FTotalVolume));
  params.push_back(NumberParam("ChangeHandRate", FChangeHandRate));
  params.push_back(EnumParam("MonitorVolumeType", FMonitorVolumeType, kMonitorVolumeTypeNames));
  return params;
}

std::string TKrVolumeArriveRemind::GetTriggerConditionDesc() {
  if (FMonitorVolumeType == TMonitorVolumeType::vtChangeHandRate) {
    return Word(143112, "换手率达到") + Percent(FChangeHandRate);
  }
  return Word(143113, "成交量达到") + FloatToText(FTotalVolume);
}

TKrRealTimeParamStructure TKrVolumeArriveRemind::GetSymbolDataDyn() const {
  return WithFields(TKrConditionsRemindBase::GetSymbolDataDyn(), {FieldIDByName("Volume"), kTurnoverRateField});
}

bool TKrVolumeArriveRemind::DoIsNeedUpdate() {
  IRTDItem* item = MainItem();
  if (ValidPrice(item) == 0.0) return false;
  if (FMonitorVolumeType == TMonitorVolumeType::vtChangeHandRate) {
    const auto rate = FieldOf(item, kTurnoverRateField);
    return rate && TestReached(*rate * 100.0 - FChangeHandRate);
  }
  const auto volume = FieldOf(item, FieldIDByName("Volume"));
  return volume && TestReached(*volume - FTotalVolume);
}

// ---- stop-loss and take-profit ----

std::vector<TKrRemindParam> TKrLossBlowRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("LossPrice", FLossPrice));
  params.push_back(EnumParam("MonitorLossBlowType", FMonitorLossBlowType, kMonitorLossBlowTypeNames));
  params.push_back(NumberParam("CostPriceRangeBlow", FCostPriceRangeBlow));
  params.push_back(NumberParam("CostPriceBlow", FCostPriceBlow));
  params.push_back(NumberParam("CostPrice", FCostPrice));
  return params;
}

std::string TKrLossBlowRemind::GetTriggerConditionDesc() {
  switch (FMonitorLossBlowType) {
    case TMonitorLossBlowType::lbtCostPriceBlow:
      return Word(143114, "最新价跌破成本价") + FormatPrice(FCostPrice) + Word(143115, "减") +
             FormatPrice(FCostPriceBlow);
    case TMonitorLossBlowType::lbtCostPriceRangeBlow:
      return Word(143114, "最新价跌破成本价") + FormatPrice(FCostPrice) + Word(143116, "的") +
             Percent(100.0 - FCostPriceRangeBlow);
    case TMonitorLossBlowType::lbtLossPrice:
      break;
  }
  return Word(143117, "最新价跌破止损价") + FormatPrice(FLossPrice);
}

bool TKrLossBlowRemind::DoIsNeedUpdate() {
  const double price = ValidPrice(MainItem());
  if (price == 0.0) return false;
  double level = FLossPrice;
  if (FMonitorLossBlowType == TMonitorLossBlowType::lbtCostPriceBlow) level = FCostPrice - FCostPriceBlow;
  if (FMonitorLossBlowType == TMonitorLossBlowType::lbtCostPriceRangeBlow) {
    level = (100.0 - FCostPriceRangeBlow) * FCostPrice / 100.0;
  }
  return TestReached(level - price);
}

std::vector<TKrRemindParam> TKrWinAboveRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("CostPriceRangeAbove", FCostPriceRangeAbove));
  params.push_back(NumberParam("CostPriceAbove", FCostPriceAbove));
  params.push_back(NumberParam("CostPrice", FCostPrice));
  params.push_back(NumberParam("WinPrice", FWinPrice));
  params.push_back(EnumParam("MonitorWinAboveType", FMonitorWinAboveType, kMonitorWinAboveTypeNames));
  return params;
}

std::string TKrWinAboveRemind::GetTriggerConditionDesc() {
  switch (FMonitorWinAboveType) {
    case TMonitorWinAboveType::watCostPriceAbove:
      return Word(143118, "最新价涨过成本价") + FormatPrice(FCostPrice) + Word(143119, "加") +
             FormatPrice(FCostPriceAbove);
    case TMonitorWinAboveType::watCostPriceRangeAbove:
      return Word(143118, "最新价涨过成本价") + FormatPrice(FCostPrice) + Word(143116, "的") +
             Percent(100.0 + FCostPriceRangeAbove);
    case TMonitorWinAboveType::watWinPrice:
      break;
  }
  return Word(143120, "最新价涨过止盈价") + FormatPrice(FWinPrice);
}

bool TKrWinAboveRemind::DoIsNeedUpdate() {
  const double price = ValidPrice(MainItem());
  if (price == 0.0) return false;
  double level = FWinPrice;
  if (FMonitorWinAboveType == TMonitorWinAboveType::watCostPriceAbove) level = FCostPrice + FCostPriceAbove;
  if (FMonitorWinAboveType == TMonitorWinAboveType::watCostPriceRangeAbove) {
    level = (100.0 + FCostPriceRangeAbove) * FCostPrice / 100.0;
  }
  return TestReached(price - level);
}

// ---- rebound and fall-back ----

std::vector<TKrRemindParam> TKrPriceDownUpRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("AntimissileRange", FAntimissileRange));
  return params;
}

std::string TKrPriceDownUpRemind::GetTriggerConditionDesc() {
  return Word(143121, "最新价从最低价反弹") + Percent(std::fabs(FAntimissileRange));
}

TKrRealTimeParamStructure TKrPriceDownUpRemind::GetSymbolDataDyn() const {
  return WithFields(TKrConditionsRemindBase::GetSymbolDataDyn(), {kLowField});
}

bool TKrPriceDownUpRemind::DoIsNeedUpdate() {
  IRTDItem* item = MainItem();
  const double price = ValidPrice(item);
  const auto low = FieldOf(item, kLowField);
  if (price == 0.0 || !low || *low < kEpsilon) return false;
  return TestReached(price - (std::fabs(FAntimissileRange) / 100.0 + 1.0) * *low);
}

std::vector<TKrRemindParam> TKrPriceUpDownRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("ReturnRange", FReturnRange));
  return params;
}

std::string TKrPriceUpDownRemind::GetTriggerConditionDesc() {
  return Word(143122, "最新价从最高价回落") + Percent(std::fabs(FReturnRange));
}

TKrRealTimeParamStructure TKrPriceUpDownRemind::GetSymbolDataDyn() const {
  return WithFields(TKrConditionsRemindBase::GetSymbolDataDyn(), {kHighField});
}

bool TKrPriceUpDownRemind::DoIsNeedUpdate() {
  IRTDItem* item = MainItem();
  const double price = ValidPrice(item);
  const auto high = FieldOf(item, kHighField);
  if (price == 0.0 || !high || *high < kEpsilon) return false;
  return TestReached((1.0 - std::fabs(FReturnRange) / 100.0) * *high - price);
}

// ---- moving averages ----

std::vector<TKrRemindParam> TKrMARemindBase::GetParams() {
  auto params = BaseParams();
  params.push_back(NumberParam("FloatValue", FFloatValue));
  params.push_back(EnumParam("MAType", FMAType, kMATypeNames));
  return params;
}

std::string TKrMARemindBase::GetTriggerConditionDesc() {
  const std::string name(kMATypeNames[static_cast<std::size_t>(FMAType)].substr(2));  // "MA5"
  const std::string offset = FFloatValue == 0.0 ? std::string() : Word(143123, "，浮动") + FormatPrice(FFloatValue);
  return LastPrice() + (FRemindType == TKrRemindType::rtAboveMA ? Word(143124, "上穿") : Word(143125, "下穿")) + name +
         offset;
}

std::uint32_t TKrMARemindBase::GetCurMAIndex() const {
  if (FMAType == TKrMAType::mtMA1) return FieldIDByName("AvgPrice");
  return FieldIDByName(std::string(kMATypeNames[static_cast<std::size_t>(FMAType)].substr(2)));
}

TKrRealTimeParamStructure TKrMARemindBase::GetSymbolDataDyn() const {
  return WithFields(TKrConditionsRemindBase::GetSymbolDataDyn(), {kPreCloseField, GetCurMAIndex()});
}

bool TKrMARemindBase::ReadMA(double& price, double& ma, double& preClose) {
  IRTDItem* item = MainItem();
  price = ValidPrice(item);
  const auto average = FieldOf(item, GetCurMAIndex());
  const auto previous = FieldOf(item, kPreCloseField);
  if (price == 0.0 || !average || !previous) return false;
  ma = *average;
  preClose = *previous;
  return true;
}

bool TKrAboveMARemind::DoIsNeedUpdate() {
  double price = 0, ma = 0, preClose = 0;
  if (!ReadMA(price, ma, preClose)) return false;
  if (ma - preClose > kEpsilon) return TestReached(price - ma + FFloatValue);
  if (ma - preClose < 0) FFitRemindAgain = true;
  return false;
}

bool TKrBelowMARemind::DoIsNeedUpdate() {
  double price = 0, ma = 0, preClose = 0;
  if (!ReadMA(price, ma, preClose)) return false;
  if (preClose - ma > kEpsilon) return TestReached(ma + FFloatValue - price);
  if (preClose - ma < 0) FFitRemindAgain = true;
  return false;
}

}  // namespace kdp
