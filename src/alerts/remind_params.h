// The rows of a reminder's settings list (TKrRemindParam): one helper per kind of field, so each reminder
// class lists its fields once and the files and alert records follow. Enumerations are written by the
// names of their enumerators, numbers as shortest float text, date-times as "yyyy-mm-dd hh:nn:ss".
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "kdp/alerts/conditions_remind.h"

namespace kdp {

// The enumerators' names in ordinal order.
inline constexpr std::array<std::string_view, 2> kTriggerStateNames{"tsPause", "tsMonitor"};
inline constexpr std::array<std::string_view, 2> kTriggerFrequencyNames{"tfOnceVeryDay", "tfManyVeryDay"};
inline constexpr std::array<std::string_view, 13> kRemindTypeNames{
    "rtNone",         "rtTimeArrive", "rtPriceArrive", "rtPriceDiffArrive", "rtRangeArrive",
    "rtVolumeArrive", "rtLossBlow",   "rtWinAbove",    "rtPriceDownUp",     "rtPriceUpDown",
    "rtAboveMA",      "rtBelowMA",    "rtSpread"};
inline constexpr std::array<std::string_view, 2> kMonitorPriceTypeNames{"ptPriceUp", "ptPriceDown"};
inline constexpr std::array<std::string_view, 2> kMonitorPriceDiffTypeNames{"pdtPriceDiff", "pdtPriceRate"};
inline constexpr std::array<std::string_view, 2> kMonitorRangeTypeNames{"rtRangeAbove", "rtRangeBlow"};
inline constexpr std::array<std::string_view, 2> kMonitorVolumeTypeNames{"vtTotalVolume", "vtChangeHandRate"};
inline constexpr std::array<std::string_view, 3> kMonitorLossBlowTypeNames{"lbtLossPrice", "lbtCostPriceBlow",
                                                                           "lbtCostPriceRangeBlow"};
inline constexpr std::array<std::string_view, 3> kMonitorWinAboveTypeNames{"watWinPrice", "watCostPriceAbove",
                                                                           "watCostPriceRangeAbove"};
inline constexpr std::array<std::string_view, 7> kMATypeNames{"mtMA1",  "mtMA5",   "mtMA10", "mtMA20",
                                                              "mtMA60", "mtMA120", "mtMA250"};

TKrRemindParam NumberParam(std::string_view name, double& field);
TKrRemindParam TextParam(std::string_view name, std::string& field);
TKrRemindParam BoolParam(std::string_view name, bool& field);
TKrRemindParam DateTimeParam(std::string_view name, host::DateTime& field);

template <class E, std::size_t N>
TKrRemindParam EnumParam(std::string_view name, E& field, const std::array<std::string_view, N>& names) {
  return TKrRemindParam{name, false, [&field, &names] { return std::string(names[static_cast<std::size_t>(field)]); },
                        [&field, &names](std::string_view text) {
                          for (std::size_t i = 0; i < N; ++i) {
                            if (names[i] == text) {
                              field = static_cast<E>(i);
                              return true;
                            }
                          }
                          return false;
                        },
                        names};
}

}  // namespace kdp
