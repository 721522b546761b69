// The reminders' common part: the update cycle, the session test, the triggered event, the factory and
// the XML form.
#include "kdp/alerts/conditions_remind.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "alerts/remind_params.h"
#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/string_catalog.h"
#include "core/service_catalog.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/log.h"
#include "kdp/refdata/market_time.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/rtd/rtd_model.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrConditionsRemind";
constexpr double kEpsilon = 0.000001;
constexpr std::uint32_t kTradeDateField = 1;
constexpr std::uint32_t kTradeTimeField = 2;
constexpr std::uint32_t kNewPriceField = 3;

// GetRemindTypeStr, by ordinal: the Chinese text, and in other languages the string catalogue's text
// 143000 + the ordinal.
constexpr std::array<const char*, 13> kRemindTypeTexts{"",           "时间到达", "价格到达", "价差到达", "涨跌幅到达",
                                                       "成交量到达", "止损",     "止盈",     "反弹",     "回落",
                                                       "上穿均线",   "下穿均线", "价差"};
constexpr int kRemindTypeTextIds = 143000;

// The quote's trade date-time from a date (yyyymmdd) and a time (hhmmss) read as numbers.
std::optional<host::DateTime> TradeDateTime(double date, double time) {
  if (!std::isfinite(date) || !std::isfinite(time) || date < 0 || time < 0 || date > 99991231 || time > 235959) {
    return std::nullopt;
  }
  return host::DateTime::FromYyyymmddHhmmss(std::llround(date), std::llround(time));
}

}  // namespace

std::string_view RemindTypeName(TKrRemindType type) { return kRemindTypeNames[static_cast<std::size_t>(type)]; }

TKrRemindType RemindTypeByName(std::string_view name) {
  for (std::size_t i = 0; i < kRemindTypeNames.size(); ++i) {
    if (kRemindTypeNames[i] == name) return static_cast<TKrRemindType>(i);
  }
  return TKrRemindType::rtNone;
}

TKrConditionsRemindBase::TKrConditionsRemindBase(TKrRemindType type) : FRemindType(type) {}

TKrConditionsRemindBase::~TKrConditionsRemindBase() = default;

std::unique_ptr<TKrConditionsRemindBase> TKrConditionsRemindBase::CreateConditionsRemind(TKrRemindType type) {
  switch (type) {
    case TKrRemindType::rtTimeArrive:
      return std::make_unique<TKrTimeArriveRemind>();
    case TKrRemindType::rtPriceArrive:
      return std::make_unique<TKrPriceArriveRemind>();
    case TKrRemindType::rtPriceDiffArrive:
      return std::make_unique<TKrPriceDiffArriveRemind>();
    case TKrRemindType::rtRangeArrive:
      return std::make_unique<TKrRangeArriveRemind>();
    case TKrRemindType::rtVolumeArrive:
      return std::make_unique<TKrVolumeArriveRemind>();
    case TKrRemindType::rtLossBlow:
      return std::make_unique<TKrLossBlowRemind>();
    case TKrRemindType::rtWinAbove:
      return std::make_unique<TKrWinAboveRemind>();
    case TKrRemindType::rtPriceDownUp:
      return std::make_unique<TKrPriceDownUpRemind>();
    case TKrRemindType::rtPriceUpDown:
      return std::make_unique<TKrPriceUpDownRemind>();
    case TKrRemindType::rtAboveMA:
      return std::make_unique<TKrAboveMARemind>();
    case TKrRemindType::rtBelowMA:
      return std::make_unique<TKrBelowMARemind>();
    case TKrRemindType::rtNone:
    case TKrRemindType::rtSpread:
      break;
  }
  return nullptr;
}

// ---- XML ----

std::unique_ptr<TKrConditionsRemindBase> TKrConditionsRemindBase::CreateFromXML(const pugi::xml_node& node,
                                                                                std::string& error) {
  const std::string_view typeName = node.attribute("Type").value();
  auto remind = CreateConditionsRemind(RemindTypeByName(typeName));
  if (!remind) {
    error = fmt::format("unknown reminder type \"{}\"", typeName);
    return nullptr;
  }
  std::vector<TKrRemindParam> params = remind->GetParams();
  for (const pugi::xml_attribute& attribute : node.attributes()) {
    const std::string_view name = attribute.name();
    if (name == "Type") continue;
    auto param = std::find_if(params.begin(), params.end(), [&](const TKrRemindParam& p) { return p.name == name; });
    if (param == params.end()) {
      error = fmt::format("{} has no setting \"{}\"", typeName, name);
      return nullptr;
    }
    if (!param->Set(attribute.value())) {
      error = fmt::format("{} setting \"{}\" does not read: \"{}\"", typeName, name, attribute.value());
      return nullptr;
    }
  }
  const bool timed = remind->FRemindType == TKrRemindType::rtTimeArrive;
  if (remind->FKoraCode.empty() && !timed) {
    error = fmt::format("{} names no security (Code)", typeName);
    return nullptr;
  }
  if (timed && !node.attribute("Time")) {
    error = fmt::format("{} names no time (Time)", typeName);
    return nullptr;
  }
  return remind;
}

void TKrConditionsRemindBase::SaveToXMLNode(pugi::xml_node node) {
  node.append_attribute("Type").set_value(std::string(RemindTypeName(FRemindType)).c_str());
  for (const TKrRemindParam& param : GetParams()) {
    node.append_attribute(std::string(param.name).c_str()).set_value(param.Get().c_str());
  }
}

std::vector<TKrRemindParam> TKrConditionsRemindBase::BaseParams() {
  return {
      TextParam("ID", FID),
      TextParam("Code", FKoraCode),
      TextParam("Memo", FMemo),
      EnumParam("State", FState, kTriggerStateNames),
      EnumParam("Frequency", FTriggerFrequency, kTriggerFrequencyNames),
      TextParam("AlertSoundFile", FAlertSoundFile),
      TextParam("PromptDesc", FPromptDesc),
      BoolParam("ContinueMonitor", FContinueMonitor),
      BoolParam("FitRemindAgain", FFitRemindAgain),
      DateTimeParam("LastTradeDate", FLastTradeDate),
  };
}

// ---- texts ----

std::string TKrConditionsRemindBase::GetRemindTypeStr() const {
  const auto ordinal = static_cast<std::size_t>(FRemindType);
  if (ordinal == 0) return {};
  return GetLanguageStrDef(kRemindTypeTextIds + static_cast<int>(ordinal), kRemindTypeTexts[ordinal]);
}

std::string TKrConditionsRemindBase::FormatPrice(double price) const {
  auto formats = FFormatMgr ? FFormatMgr : G_FormatManager();
  if (auto item = formats ? formats->GetDataFormatObjByName(FKoraCode, "NewPrice") : nullptr) {
    try {
      return item->CalcAndFormatByKoraCode(price, std::string(), FKoraCode);
    } catch (const std::exception&) {
      // An unreadable instruction: the plain number below.
    }
  }
  return FloatToText(price);
}

// ---- monitoring ----

TKrRealTimeParamStructure TKrConditionsRemindBase::GetSymbolDataDyn() const {
  TKrRealTimeParamStructure params(1);
  params.SetKoraCode(0, FKoraCode);
  params.SetItemArray(0, {kTradeDateField, kTradeTimeField, kNewPriceField});
  return params;
}

void TKrConditionsRemindBase::SetKoraCode(const std::string& code) {
  FKoraCode = code;
  if (FMonitoring) StartMonitor();
}

void TKrConditionsRemindBase::StartMonitor() {
  FSecurityManager = G_SecurityManager();
  FFormatMgr = G_FormatManager();
  FSecurity = G_GetSecurity(FKoraCode);
  FSecurityInfo = FSecurityManager ? FSecurityManager->GetSecurityInfo(FKoraCode) : nullptr;
  FMarketTimeSep = FSecurityInfo ? FSecurityInfo->GetMarketTimeSep() : std::vector<int>();
  FWatchedCode = FSecurityInfo && !FSecurityInfo->GetKoraCode().empty() ? FSecurityInfo->GetKoraCode() : FKoraCode;
  FBadTimeLogged = false;
  FSessionMinute = -1;
  FMainItem.reset();
  if (!FRTDModel) {
    FRTDModel = std::make_unique<TKrRTDModel>();
    FRTDModel->SetUpdateNotify([this] { OnModelUpdate(); });
    FRTDModel->SetNotifyHot(&FState, &FSessionMinute);
  }
  FRTDModel->Subscrible(GetSymbolDataDyn());
  FMonitoring = true;
}

void TKrConditionsRemindBase::StopMonitor() {
  if (FRTDModel) FRTDModel->UnSubscrible();
  FMainItem.reset();
  FMonitoring = false;
}

void TKrConditionsRemindBase::OnModelUpdate() {
  // By index: a triggered event may make the model subscribe again, which changes the list.
  const std::vector<std::string>& codes = FRTDModel->GetUpdateSecurityList();
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string code = codes[i];
    OnDataUpdate(code);
  }
}

std::shared_ptr<IRTDItem> TKrConditionsRemindBase::ItemOf(const std::string& code) {
  return FRTDModel ? FRTDModel->GetRTDItem(code) : nullptr;
}

IRTDItem* TKrConditionsRemindBase::MainItem() {
  if (!FMainItem) FMainItem = ItemOf(FKoraCode);
  return FMainItem.get();
}

double TKrConditionsRemindBase::ValidPrice(IRTDItem* item) {
  if (item == nullptr) return 0.0;
  const double price = item->GetDoubleDataByID(kNewPriceField);
  return std::isfinite(price) && std::round(price * 1e6) / 1e6 >= kEpsilon ? price : 0.0;
}

bool TKrConditionsRemindBase::TestReached(double x) {
  const bool reached = x > kEpsilon || std::fabs(x) < kEpsilon;
  if (reached && FFitRemindAgain) {
    FFitRemindAgain = false;
    return true;
  }
  if (!reached && x < 0) FFitRemindAgain = true;
  return false;
}

// ---- the update cycle ----

void TKrConditionsRemindBase::OnDataUpdate(const std::string& code) {
  if (IsNeedUpdate(code)) OnDoDataUpdate(code);
  OnAfterDataUpdate(code);
}

bool TKrConditionsRemindBase::IsNeedUpdate(const std::string& code) {
  return FState == TKrTriggerState::tsMonitor && IsMatchTriggerFrequency() && IsMatchUpdateCondition(code) &&
         DoIsNeedUpdate();
}

bool TKrConditionsRemindBase::IsMatchTriggerFrequency() {
  if (FTriggerFrequency == TKrTriggerFrequency::tfManyVeryDay) return true;
  return std::floor(GetServerDateTime().value) != std::floor(FLastTradeDate.value);
}

bool TKrConditionsRemindBase::IsMatchUpdateCondition(const std::string& code) {
  return SameTextAscii(code, FWatchedCode) && IsMatchUpdateIndex(FSecurity);
}

bool TKrConditionsRemindBase::IsMatchUpdateIndex(const std::shared_ptr<host::IKrSecurity>&) {
  IRTDItem* item = MainItem();
  if (item == nullptr) return false;
  // The unshifted fields: the market's own date and time, which its sessions are written in.
  const bool present = !item->IsNullByID(kTradeDateField) && !item->IsNullByID(kTradeTimeField);
  const double date = present ? item->GetDoubleDataByID2(kTradeDateField) : 0.0;
  const double time = present ? item->GetDoubleDataByID2(kTradeTimeField) : 0.0;
  const int minute = TradeMinute(date, time);
  if (minute < 0) {
    if (!FBadTimeLogged) {
      host::AddHQLog(fmt::format("TradeTime: {:f} is error", date + time / 1e6), kLogSource,
                     host::LogSeverity::kWarning);
      FBadTimeLogged = true;
    }
    return false;
  }
  FBadTimeLogged = false;
  if (FMarketTimeSep.empty()) return true;
  if (minute != FSessionMinute) {
    FSessionMinute = minute;
    FSessionMinuteInside = IsInMarketTimeSep(FMarketTimeSep, minute);
  }
  if (FSessionMinuteInside) return true;
  if (host::IsNeedWriteHQLog()) {
    host::AddHQLog(fmt::format("IsMatchUpdateIndex {}: trade time {} is outside the sessions", FKoraCode,
                               TradeDateTime(date, time)->ToString()),
                   kLogSource, host::LogSeverity::kInfo);
  }
  return false;
}

int TKrConditionsRemindBase::TradeMinute(double date, double time) {
  if (!std::isfinite(time) || time < 0 || time > 235959) return -1;
  const long long hhmmss = std::llround(time);
  if (hhmmss > 235959 || hhmmss / 100 % 100 > 59 || hhmmss % 100 > 59) return -1;
  if (date != FCheckedTradeDate) {
    if (!TradeDateTime(date, 0)) return -1;
    FCheckedTradeDate = date;
  }
  return static_cast<int>(hhmmss / 100);
}

void TKrConditionsRemindBase::OnDoDataUpdate(const std::string& code) {
  std::shared_ptr<IRTDItem> other;
  IRTDItem* item = SameTextAscii(code, FKoraCode) ? MainItem() : (other = ItemOf(code)).get();
  const auto tradeTime =
      item ? TradeDateTime(item->GetDoubleDataByID(kTradeDateField), item->GetDoubleDataByID(kTradeTimeField))
           : std::nullopt;
  FLastTradeDate = tradeTime ? *tradeTime : GetServerDateTime();
  if (host::IsNeedWriteHQLog()) {
    host::AddHQLog(fmt::format("{} {} {}: {} at {}", GetRemindTypeStr(), FID, FKoraCode, GetTriggerConditionDesc(),
                               FLastTradeDate.ToString()),
                   kLogSource, host::LogSeverity::kInfo);
  }
  if (FOnTriggerred) FOnTriggerred(*this);
}

void TKrConditionsRemindBase::OnAfterDataUpdate(const std::string&) {}

}  // namespace kdp
