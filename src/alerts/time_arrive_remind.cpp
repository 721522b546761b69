// The time reminder: a package timer looks at the server time every second.
#include <cmath>

#include <fmt/format.h>

#include "alerts/remind_params.h"
#include "core/host_lookups.h"
#include "core/string_catalog.h"
#include "kdp/alerts/conditions_remind.h"
#include "kdp/host/log.h"
#include "util/dp_timer.h"

namespace kdp {
namespace {

constexpr unsigned kTimerInterval = 1000;  // ms

// The first of `time`, `time` + 1 day, `time` + 2 days, ... that is not before `now`.
host::DateTime FirstOccurrenceFrom(host::DateTime time, host::DateTime now) {
  if (time >= now) return time;
  return time.AddDays(std::ceil(now.value - time.value));
}

}  // namespace

TKrTimeArriveRemind::TKrTimeArriveRemind() : TKrConditionsRemindBase(TKrRemindType::rtTimeArrive) {}

TKrTimeArriveRemind::~TKrTimeArriveRemind() { UnRegisterTimer(FTimer); }

std::vector<TKrRemindParam> TKrTimeArriveRemind::GetParams() {
  auto params = BaseParams();
  params.push_back(DateTimeParam("Time", FTime));
  return params;
}

std::string TKrTimeArriveRemind::GetTriggerConditionDesc() {
  const auto p = FTime.Decode();
  return GetLanguageStrDef(143100, "时间到达") + fmt::format("{:02}:{:02}:{:02}", p.hour, p.minute, p.second);
}

void TKrTimeArriveRemind::StartMonitor() {
  FTimeDue = FirstOccurrenceFrom(FTime, GetServerDateTime());
  if (!FTimer) {
    FTimer = RegisterTimer();
    FTimer->SetOnTimer([this](TKrDPTimer*) { CheckTime(); });
    FTimer->SetInterval(kTimerInterval);
  }
  FTimer->SetEnabled(true);
  FMonitoring = true;
}

void TKrTimeArriveRemind::StopMonitor() {
  if (FTimer) FTimer->SetEnabled(false);
  FMonitoring = false;
}

void TKrTimeArriveRemind::CheckTime() {
  const bool due = DoIsNeedUpdate();
  if (due && FState == TKrTriggerState::tsMonitor && IsMatchTriggerFrequency()) OnDoDataUpdate(FKoraCode);
}

bool TKrTimeArriveRemind::DoIsNeedUpdate() {
  const host::DateTime now = GetServerDateTime();
  if (now < FTimeDue) return false;
  // Strictly after now: the next day's time, however long the loop was away.
  FTimeDue = FirstOccurrenceFrom(FTime, now.AddSeconds(0.001));
  return true;
}

void TKrTimeArriveRemind::OnDoDataUpdate(const std::string&) {
  FLastTradeDate = GetServerDateTime();
  if (host::IsNeedWriteHQLog()) {
    host::AddHQLog(
        fmt::format("{} {}: {} at {}", GetRemindTypeStr(), FID, GetTriggerConditionDesc(), FLastTradeDate.ToString()),
        "uKrConditionsRemind", host::LogSeverity::kInfo);
  }
  if (FOnTriggerred) FOnTriggerred(*this);
}

}  // namespace kdp
