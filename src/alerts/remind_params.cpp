#include "alerts/remind_params.h"

#include <array>

#include "kdp/host/date_time.h"
#include "kdp/host/number_text.h"
#include "util/float_text.h"

namespace kdp {

TKrRemindParam NumberParam(std::string_view name, double& field) {
  return TKrRemindParam{name, true, [&field] { return FloatToText(field); },
                        [&field](std::string_view text) {
                          const auto value = host::ParseDouble(text);
                          if (value) field = *value;
                          return value.has_value();
                        },
                        {}};
}

TKrRemindParam TextParam(std::string_view name, std::string& field) {
  return TKrRemindParam{name, false, [&field] { return field; },
                        [&field](std::string_view text) {
                          field = std::string(text);
                          return true;
                        },
                        {}};
}

TKrRemindParam BoolParam(std::string_view name, bool& field) {
  static constexpr std::array<std::string_view, 2> kChoices{"true", "false"};
  return TKrRemindParam{name, false, [&field] { return std::string(field ? "true" : "false"); },
                        [&field](std::string_view text) {
                          const auto value = host::ParseBool(text);
                          if (value) field = *value;
                          return value.has_value();
                        },
                        kChoices};
}

TKrRemindParam DateTimeParam(std::string_view name, host::DateTime& field) {
  return TKrRemindParam{name, false, [&field] { return field.ToString(); },
                        [&field](std::string_view text) {
                          const auto value = host::DateTime::Parse(text);
                          if (value) field = *value;
                          return value.has_value();
                        },
                        {}};
}

}  // namespace kdp
