#include "lux/lux_reply_json.h"

#include <fmt/format.h>

#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {

bool LoadReplyJson(std::string_view body, TReplyJson& document, std::string& error) {
  bool tooDeep = false;
  // A structure that opens past the limit is dropped as it is read, so it is never built.
  const TReplyJson::parser_callback_t limitDepth = [&tooDeep](int depth, TReplyJson::parse_event_t event, TReplyJson&) {
    const bool opens =
        event == TReplyJson::parse_event_t::object_start || event == TReplyJson::parse_event_t::array_start;
    if (opens && depth >= kReplyJsonDepthLimit) {
      tooDeep = true;
      return false;
    }
    return true;
  };
  document = TReplyJson::parse(body.begin(), body.end(), limitDepth, false);
  if (document.is_discarded()) {
    error = "not a JSON document";
    return false;
  }
  if (tooDeep) {
    document = nullptr;
    error = fmt::format("nested deeper than {}", kReplyJsonDepthLimit);
    return false;
  }
  error.clear();
  return true;
}

const TReplyJson* FindMember(const TReplyJson& value, std::string_view name) {
  if (!value.is_object()) return nullptr;
  if (auto exact = value.find(name); exact != value.end()) return &*exact;
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (SameTextAscii(it.key(), name)) return &it.value();
  }
  return nullptr;
}

std::string JsonValueText(const TReplyJson& value) {
  switch (value.type()) {
    case TReplyJson::value_t::string:
      return value.get_ref<const std::string&>();
    case TReplyJson::value_t::number_integer:
      return std::to_string(value.get<std::int64_t>());
    case TReplyJson::value_t::number_unsigned:
      return std::to_string(value.get<std::uint64_t>());
    case TReplyJson::value_t::number_float:
      return FloatToText(value.get<double>());
    case TReplyJson::value_t::boolean:
      return value.get<bool>() ? "True" : "False";
    case TReplyJson::value_t::null:
    case TReplyJson::value_t::discarded:
      return {};
    default:
      return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
}

}  // namespace kdp
