// Price-alert records: the reminders of one security as the terminal hands them to an alert service or
// shows them in an alert list, written as JSON (ToJSonStr). A record is a snapshot: it holds texts and
// numbers, not the reminders.
//
//   {"KoraCode":"600000.SH","Conditions":[{"ID":"a1","Type":"rtPriceArrive","TypeText":"价格到达",
//    "Desc":"最新价上涨到10.50","Params":{"CustomPrice":10.5,"MonitorPriceType":"ptPriceUp",...}}]}
//
// Main thread only (building a record reads the reminders' condition texts).
#pragma once

#include <string>
#include <vector>

#include "kdp/alerts/conditions_remind.h"

namespace kdp {

// One reminder of the record: its kind, its condition in words and every setting.
class TKrAlertConditionEntity {
 public:
  struct Param {
    std::string name;
    bool numeric;  // written as a JSON number
    std::string value;
  };

  static TKrAlertConditionEntity FromRemind(TKrConditionsRemindBase& remind);
  std::string ToJSonStr() const;

  std::string FID;
  std::string FRemindType;  // "rtPriceArrive"
  std::string FTypeText;    // "价格到达"
  std::string FDesc;        // the condition text
  std::vector<Param> FParams;
};

class TKrPriceAlert {
 public:
  // One record per security, in the order the securities first appear among the reminders.
  static std::vector<TKrPriceAlert> FromReminds(const std::vector<TKrConditionsRemindBase*>& reminds);
  std::string ToJSonStr() const;

  std::string FKoraCode;
  std::vector<TKrAlertConditionEntity> FConditions;
};

}  // namespace kdp
