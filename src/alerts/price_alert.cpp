#include "kdp/alerts/price_alert.h"

#include <nlohmann/json.hpp>

#include "kdp/host/number_text.h"

namespace kdp {
namespace {

nlohmann::ordered_json EntityJson(const TKrAlertConditionEntity& entity) {
  nlohmann::ordered_json params = nlohmann::ordered_json::object();
  for (const TKrAlertConditionEntity::Param& p : entity.FParams) {
    const auto number = p.numeric ? host::ParseDouble(p.value) : std::nullopt;
    if (number) {
      params[p.name] = *number;
    } else {
      params[p.name] = p.value;
    }
  }
  return {{"ID", entity.FID},
          {"Type", entity.FRemindType},
          {"TypeText", entity.FTypeText},
          {"Desc", entity.FDesc},
          {"Params", std::move(params)}};
}

// Texts come from users and files: bytes that are not UTF-8 are replaced rather than thrown about.
std::string Dump(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

TKrAlertConditionEntity TKrAlertConditionEntity::FromRemind(TKrConditionsRemindBase& remind) {
  TKrAlertConditionEntity entity;
  entity.FID = remind.GetID();
  entity.FRemindType = std::string(RemindTypeName(remind.GetRemindType()));
  entity.FTypeText = remind.GetRemindTypeStr();
  entity.FDesc = remind.GetTriggerConditionDesc();
  for (const TKrRemindParam& param : remind.GetParams()) {
    entity.FParams.push_back({std::string(param.name), param.numeric, param.Get()});
  }
  return entity;
}

std::string TKrAlertConditionEntity::ToJSonStr() const { return Dump(EntityJson(*this)); }

std::vector<TKrPriceAlert> TKrPriceAlert::FromReminds(const std::vector<TKrConditionsRemindBase*>& reminds) {
  std::vector<TKrPriceAlert> alerts;
  for (TKrConditionsRemindBase* remind : reminds) {
    if (remind == nullptr) continue;
    auto alert = std::find_if(alerts.begin(), alerts.end(),
                              [&](const TKrPriceAlert& a) { return a.FKoraCode == remind->GetKoraCode(); });
    if (alert == alerts.end()) {
      alerts.emplace_back().FKoraCode = remind->GetKoraCode();
      alert = alerts.end() - 1;
    }
    alert->FConditions.push_back(TKrAlertConditionEntity::FromRemind(*remind));
  }
  return alerts;
}

std::string TKrPriceAlert::ToJSonStr() const {
  nlohmann::ordered_json conditions = nlohmann::ordered_json::array();
  for (const TKrAlertConditionEntity& entity : FConditions) conditions.push_back(EntityJson(entity));
  return Dump({{"KoraCode", FKoraCode}, {"Conditions", std::move(conditions)}});
}

}  // namespace kdp
