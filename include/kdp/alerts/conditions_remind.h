// Condition reminders: each watches one security's real-time quotes (or the clock) and fires when its
// condition is reached: a price level, a price difference between two securities, a change ratio, a
// volume, a stop-loss or take-profit level, a rebound from the day's low or a fall-back from its high, a
// position relative to a moving average, or a time of day.
//
// A reminder owns a real-time model (TKrRTDModel) subscribed to the fields its condition reads. Every
// update of that model is offered to the reminder (OnDataUpdate); a monitoring reminder whose frequency
// allows it, whose quote is the reminder's security and stamped inside the market's sessions, and whose
// condition is reached records the quote's trade date-time and raises its triggered event. A re-arm flag
// keeps it from firing again until the watched value has gone back to the other side of its level; a
// reminder firing "once every day" fires at most once per server date. The time reminder runs on a package
// timer instead of a model.
//
// Prices are valid when, rounded to 6 decimals, they are at least 0.000001: a zero or missing price never
// fires anything.
//
// Reminders are configured (code, parameters), then StartMonitor subscribes the model; SetState pauses or
// resumes the tests without touching the subscription. SaveToXMLNode and CreateFromXML keep reminders as
// XML elements whose attributes are the reminder's fields.
//
// Main thread only: the update cycle runs inside the model's notification, the time reminder's test in
// its timer. REQUIRES: a triggered event does not destroy the reminder that raised it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "kdp/host/date_time.h"
#include "kdp/host/security.h"
#include "kdp/rtd/rtd_item.h"

namespace kdp {

class TKrRTDModel;
class TKrDPTimer;
class IKrHQSecurityInfo;
class IKrHQSecurityManager;
class IKrHQFormatManager;

enum class TKrTriggerState { tsPause, tsMonitor };
enum class TKrTriggerFrequency { tfOnceVeryDay, tfManyVeryDay };
enum class TKrRemindType {
  rtNone,
  rtTimeArrive,
  rtPriceArrive,
  rtPriceDiffArrive,
  rtRangeArrive,
  rtVolumeArrive,
  rtLossBlow,
  rtWinAbove,
  rtPriceDownUp,
  rtPriceUpDown,
  rtAboveMA,
  rtBelowMA,
  rtSpread,
};
enum class TMonitorPriceType { ptPriceUp, ptPriceDown };
enum class TMonitorPriceDiffType { pdtPriceDiff, pdtPriceRate };
enum class TMonitorRangeType { rtRangeAbove, rtRangeBlow };
enum class TMonitorVolumeType { vtTotalVolume, vtChangeHandRate };
enum class TMonitorLossBlowType { lbtLossPrice, lbtCostPriceBlow, lbtCostPriceRangeBlow };
enum class TMonitorWinAboveType { watWinPrice, watCostPriceAbove, watCostPriceRangeAbove };
enum class TKrMAType { mtMA1, mtMA5, mtMA10, mtMA20, mtMA60, mtMA120, mtMA250 };

// The enumerators' names ("rtPriceArrive", "ptPriceUp"), as the reminder files write them.
std::string_view RemindTypeName(TKrRemindType type);
// The type of a name (exact); rtNone for a name that is none.
TKrRemindType RemindTypeByName(std::string_view name);

// One setting of a reminder as text: the reminder files and the price-alert records read and write a
// reminder's settings through these, so a new setting is one new row of its class's list.
struct TKrRemindParam {
  std::string_view name;  // the attribute name: "CustomPrice"
  bool numeric;           // written as a number in price-alert records
  std::function<std::string()> Get;
  // False (the setting unchanged) for a text that does not read: not a finite number, not a name of the
  // enumeration, not a date-time.
  std::function<bool(std::string_view)> Set;
  // The texts an enumeration or a yes/no setting takes, to tell a user what would read; empty for others.
  std::span<const std::string_view> choices;
};

class TKrConditionsRemindBase;
using TKrRemindTriggerEvent = std::function<void(TKrConditionsRemindBase& remind)>;

class TKrConditionsRemindBase {
 public:
  virtual ~TKrConditionsRemindBase();
  TKrConditionsRemindBase(const TKrConditionsRemindBase&) = delete;
  TKrConditionsRemindBase& operator=(const TKrConditionsRemindBase&) = delete;

  // A new, paused reminder of the type; nullptr for rtNone and rtSpread, which have no reminder class.
  static std::unique_ptr<TKrConditionsRemindBase> CreateConditionsRemind(TKrRemindType type);
  // Reads a reminder element written by SaveToXMLNode. Every attribute present must read and the element
  // must name a type and a code (the time reminder: a time instead); otherwise nullptr and `error` says
  // which attribute did not. Nothing is subscribed.
  static std::unique_ptr<TKrConditionsRemindBase> CreateFromXML(const pugi::xml_node& node, std::string& error);
  // Writes the reminder's fields as attributes of `node`.
  void SaveToXMLNode(pugi::xml_node node);

  // ---- configuration ----
  TKrRemindType GetRemindType() const { return FRemindType; }
  const std::string& GetID() const { return FID; }
  void SetID(const std::string& id) { FID = id; }
  const std::string& GetKoraCode() const { return FKoraCode; }
  // A monitoring reminder subscribes again for the new code.
  void SetKoraCode(const std::string& code);
  const std::string& GetMemo() const { return FMemo; }
  void SetMemo(const std::string& memo) { FMemo = memo; }
  TKrTriggerFrequency GetTriggerFrequency() const { return FTriggerFrequency; }
  void SetTriggerFrequency(TKrTriggerFrequency frequency) { FTriggerFrequency = frequency; }
  const std::string& GetAlertSoundFile() const { return FAlertSoundFile; }
  void SetAlertSoundFile(const std::string& file) { FAlertSoundFile = file; }
  const std::string& GetPromptDesc() const { return FPromptDesc; }
  void SetPromptDesc(const std::string& text) { FPromptDesc = text; }
  // Whether the owner keeps the reminder monitoring after it fired (the owner's choice to apply).
  bool GetContinueMonitor() const { return FContinueMonitor; }
  void SetContinueMonitor(bool on) { FContinueMonitor = on; }
  void SetOnTriggerred(TKrRemindTriggerEvent event) { FOnTriggerred = std::move(event); }

  TKrTriggerState GetState() const { return FState; }
  // Only a monitoring reminder tests its condition.
  void SetState(TKrTriggerState state) { FState = state; }
  // The re-arm flag: true at construction, cleared by a trigger, set again once the watched value is back
  // on the other side of its level.
  bool GetFitRemindAgain() const { return FFitRemindAgain; }
  // The trade date-time of the last trigger (the quote's, or the server time for the time reminder); 0
  // before the first.
  host::DateTime GetLastTradeDate() const { return FLastTradeDate; }

  // Every setting of the reminder's class, in the order the files write them. The rows refer to the
  // reminder: valid while it lives.
  virtual std::vector<TKrRemindParam> GetParams() = 0;
  // "价格到达", "止损", ...: the kind of reminder as the terminal names it.
  std::string GetRemindTypeStr() const;
  // The condition in words: "最新价 上涨到 10.00".
  virtual std::string GetTriggerConditionDesc() = 0;
  // The subscription the reminder's model needs: its security (and a second one) with the fields read.
  virtual TKrRealTimeParamStructure GetSymbolDataDyn() const;

  // ---- monitoring ----
  // Resolves the security and its sessions and subscribes the model (made on first use) to
  // GetSymbolDataDyn. Monitoring again re-subscribes.
  virtual void StartMonitor();
  virtual void StopMonitor();
  bool IsMonitoring() const { return FMonitoring; }
  // The reminder's model; nullptr before StartMonitor.
  TKrRTDModel* GetRTDModel() { return FRTDModel.get(); }

  // ---- the update cycle (run for every updated code of the model) ----
  void OnDataUpdate(const std::string& code);
  // Monitoring, frequency, update condition and the condition test, tested in that order.
  bool IsNeedUpdate(const std::string& code);
  virtual bool IsMatchTriggerFrequency();
  // The code is the reminder's security and its quote is stamped inside the market's sessions.
  virtual bool IsMatchUpdateCondition(const std::string& code);
  // The item's trade date and time (fields 1 and 2, in the market's own time) form a valid date-time whose
  // time of day lies in the market's sessions. A bad time is logged ("TradeTime: %f is error") once until a
  // good one arrives; without sessions every valid time matches.
  bool IsMatchUpdateIndex(const std::shared_ptr<host::IKrSecurity>& security);
  // The condition test; may change the re-arm flag.
  virtual bool DoIsNeedUpdate() = 0;
  // The trigger: records the trade date-time and raises the triggered event.
  virtual void OnDoDataUpdate(const std::string& code);
  virtual void OnAfterDataUpdate(const std::string& code);

 protected:
  explicit TKrConditionsRemindBase(TKrRemindType type);

  // The model's item of a code; nullptr when there is none (yet).
  std::shared_ptr<IRTDItem> ItemOf(const std::string& code);
  // The item of the reminder's own security, kept between updates.
  IRTDItem* MainItem();
  // The valid price (field 3) of an item, or 0 for none.
  static double ValidPrice(IRTDItem* item);
  // The comparison of every price reminder but the price-arrive one: X is reached when X > ε or |X| < ε.
  // Reached and re-armed: true, and the flag is cleared; not reached and X < 0: the flag is set again.
  bool TestReached(double x);
  // A price as the security's format shows it ("10.00"); shortest float text without a format.
  std::string FormatPrice(double price) const;
  // The base's own settings and those of the subclass, for GetParams.
  std::vector<TKrRemindParam> BaseParams();

  // What every update reads first, together: a thousand reminders' objects do not stay in the caches.
  TKrTriggerState FState = TKrTriggerState::tsPause;
  TKrTriggerFrequency FTriggerFrequency = TKrTriggerFrequency::tfManyVeryDay;
  bool FFitRemindAgain = true;
  bool FMonitoring = false;
  std::unique_ptr<TKrRTDModel> FRTDModel;

 private:
  std::string FWatchedCode;  // the code as the security manager reports it
  std::shared_ptr<IRTDItem> FMainItem;
  bool FBadTimeLogged = false;
  // A quote's date is checked again only when it changes, the sessions once per minute of trade time.
  int FSessionMinute = -1;
  bool FSessionMinuteInside = false;
  double FCheckedTradeDate = -1;
  std::vector<int> FMarketTimeSep;  // the security's sessions, read when monitoring starts

 protected:
  std::string FKoraCode;
  host::DateTime FLastTradeDate;
  TKrRemindTriggerEvent FOnTriggerred;
  const TKrRemindType FRemindType;
  std::string FMemo;
  std::string FID;
  std::string FAlertSoundFile;
  std::string FPromptDesc;
  bool FContinueMonitor = true;
  std::shared_ptr<IKrHQSecurityInfo> FSecurityInfo;
  std::shared_ptr<IKrHQFormatManager> FFormatMgr;
  std::shared_ptr<IKrHQSecurityManager> FSecurityManager;
  std::shared_ptr<host::IKrSecurity> FSecurity;

 private:
  void OnModelUpdate();
  // The minute (hhmm) of a quote's trade date and time when they make a real date-time, else -1.
  int TradeMinute(double date, double time);
};

class TKrTimeArriveRemind final : public TKrConditionsRemindBase {
 public:
  TKrTimeArriveRemind();
  ~TKrTimeArriveRemind() override;
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  TKrRealTimeParamStructure GetSymbolDataDyn() const override { return TKrRealTimeParamStructure(); }
  // Starts the reminder's one-second timer; the first time due is the first occurrence of FTime (its date,
  // then its time of day on later days) not before the server time now.
  void StartMonitor() override;
  void StopMonitor() override;
  bool IsMatchUpdateCondition(const std::string&) override { return true; }
  // True once the server time has reached the time due; the time due then moves to the next day.
  bool DoIsNeedUpdate() override;
  // Records the server time as the trade date-time and raises the triggered event.
  void OnDoDataUpdate(const std::string& code) override;
  // The timer's work: the time test for a monitoring reminder whose frequency allows it. The time due
  // moves on whether or not the reminder monitors, so a paused reminder does not fire late.
  void CheckTime();
  host::DateTime GetTimeDue() const { return FTimeDue; }

  host::DateTime FTime;

 private:
  std::shared_ptr<TKrDPTimer> FTimer;
  host::DateTime FTimeDue;
};

class TKrPriceArriveRemind final : public TKrConditionsRemindBase {
 public:
  TKrPriceArriveRemind() : TKrConditionsRemindBase(TKrRemindType::rtPriceArrive) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  // d = price - level (up) or level - price (down): fires once d > ε, re-armed once d < ε.
  bool DoIsNeedUpdate() override;

  double FCustomPrice = 0.0;
  TMonitorPriceType FMonitorPriceType = TMonitorPriceType::ptPriceUp;
};

// Compares the prices of two securities: their difference (first minus second) or that difference as a
// percentage of the second price. A level of 0 or above is reached from below, a negative level from above.
class TKrPriceDiffArriveRemind final : public TKrConditionsRemindBase {
 public:
  TKrPriceDiffArriveRemind() : TKrConditionsRemindBase(TKrRemindType::rtPriceDiffArrive) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  TKrRealTimeParamStructure GetSymbolDataDyn() const override;
  void StartMonitor() override;
  // Updates of either security count.
  bool IsMatchUpdateCondition(const std::string& code) override;
  bool DoIsNeedUpdate() override;

  double FPriceDiff = 0.0;
  double FPriceRate = 0.0;  // percent
  std::string FSecondKoraCode;
  TMonitorPriceDiffType FMonitorPriceDiffType = TMonitorPriceDiffType::pdtPriceDiff;
  std::shared_ptr<host::IKrSecurity> FSecondSecurity;
};

// The change ratio (field 81, a fraction) in percent against |FRange|.
class TKrRangeArriveRemind final : public TKrConditionsRemindBase {
 public:
  TKrRangeArriveRemind() : TKrConditionsRemindBase(TKrRemindType::rtRangeArrive) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  TKrRealTimeParamStructure GetSymbolDataDyn() const override;
  bool DoIsNeedUpdate() override;

  TMonitorRangeType FMonitorRangeType = TMonitorRangeType::rtRangeAbove;
  double FRange = 0.0;  // percent
};

// The day's volume (the field named "Volume") against FTotalVolume, or the turnover rate (field 187, a
// fraction) in percent against FChangeHandRate.
class TKrVolumeArriveRemind final : public TKrConditionsRemindBase {
 public:
  TKrVolumeArriveRemind() : TKrConditionsRemindBase(TKrRemindType::rtVolumeArrive) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  TKrRealTimeParamStructure GetSymbolDataDyn() const override;
  bool DoIsNeedUpdate() override;

  double FTotalVolume = 0.0;
  double FChangeHandRate = 0.0;  // percent
  TMonitorVolumeType FMonitorVolumeType = TMonitorVolumeType::vtTotalVolume;
};

// Stop-loss: the price falls to a level, to the cost less an amount, or to the cost less a percentage.
class TKrLossBlowRemind final : public TKrConditionsRemindBase {
 public:
  TKrLossBlowRemind() : TKrConditionsRemindBase(TKrRemindType::rtLossBlow) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  bool DoIsNeedUpdate() override;

  double FLossPrice = 0.0;
  TMonitorLossBlowType FMonitorLossBlowType = TMonitorLossBlowType::lbtLossPrice;
  double FCostPriceRangeBlow = 0.0;  // percent
  double FCostPriceBlow = 0.0;
  double FCostPrice = 0.0;
};

// Take-profit: the price rises to a level, to the cost plus an amount, or to the cost plus a percentage.
class TKrWinAboveRemind final : public TKrConditionsRemindBase {
 public:
  TKrWinAboveRemind() : TKrConditionsRemindBase(TKrRemindType::rtWinAbove) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  bool DoIsNeedUpdate() override;

  double FCostPriceRangeAbove = 0.0;  // percent
  double FCostPriceAbove = 0.0;
  double FCostPrice = 0.0;
  double FWinPrice = 0.0;
  TMonitorWinAboveType FMonitorWinAboveType = TMonitorWinAboveType::watWinPrice;
};

// A rebound of |FAntimissileRange| percent from the day's low (field 7).
class TKrPriceDownUpRemind final : public TKrConditionsRemindBase {
 public:
  TKrPriceDownUpRemind() : TKrConditionsRemindBase(TKrRemindType::rtPriceDownUp) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  TKrRealTimeParamStructure GetSymbolDataDyn() const override;
  bool DoIsNeedUpdate() override;

  double FAntimissileRange = 0.0;  // percent
};

// A fall-back of |FReturnRange| percent from the day's high (field 6).
class TKrPriceUpDownRemind final : public TKrConditionsRemindBase {
 public:
  TKrPriceUpDownRemind() : TKrConditionsRemindBase(TKrRemindType::rtPriceUpDown) {}
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  TKrRealTimeParamStructure GetSymbolDataDyn() const override;
  bool DoIsNeedUpdate() override;

  double FReturnRange = 0.0;  // percent
};

// The price crossing a moving average from the side where the previous close (field 4) was.
class TKrMARemindBase : public TKrConditionsRemindBase {
 public:
  std::vector<TKrRemindParam> GetParams() override;
  std::string GetTriggerConditionDesc() override;
  TKrRealTimeParamStructure GetSymbolDataDyn() const override;
  // The field ID of the moving average FMAType selects (the dictionary's "MA5", ...; the day's average
  // price "AvgPrice" for mtMA1); 0 when the dictionary has no such field.
  std::uint32_t GetCurMAIndex() const;

  double FFloatValue = 0.0;
  TKrMAType FMAType = TKrMAType::mtMA5;

 protected:
  using TKrConditionsRemindBase::TKrConditionsRemindBase;
  // The price, the average and the previous close of the reminder's security; false when one is missing.
  bool ReadMA(double& price, double& ma, double& preClose);
};

class TKrAboveMARemind final : public TKrMARemindBase {
 public:
  TKrAboveMARemind() : TKrMARemindBase(TKrRemindType::rtAboveMA) {}
  // Only while the previous close was below the average: X = price - MA + FFloatValue.
  bool DoIsNeedUpdate() override;
};

class TKrBelowMARemind final : public TKrMARemindBase {
 public:
  TKrBelowMARemind() : TKrMARemindBase(TKrRemindType::rtBelowMA) {}
  // Only while the previous close was above the average: X = MA + FFloatValue - price.
  bool DoIsNeedUpdate() override;
};

}  // namespace kdp
