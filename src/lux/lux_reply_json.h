// Reading the JSON documents of Lux replies (nlohmann-json): parsing with a nesting limit, member look-ups
// that ignore ASCII case, and the text a JSON value becomes in a row field. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kdp {

// A parsed reply: members keep the order the document gives them, so rows keep it too.
using TReplyJson = nlohmann::ordered_json;

// Deeper structures are refused: they are no reply of ours, and printing one would recurse that deep.
inline constexpr int kReplyJsonDepthLimit = 32;

// Parses `body` into `document`. False, with `error` describing why, when the body is not one JSON value
// or nests deeper than kReplyJsonDepthLimit.
bool LoadReplyJson(std::string_view body, TReplyJson& document, std::string& error);

// The member `name` of an object (ASCII case ignored; an exact match first); null when `value` is no
// object or has no such member.
const TReplyJson* FindMember(const TReplyJson& value, std::string_view name);

// A value as row text: strings as they are, integers in decimal, other numbers as the terminal's
// shortest float text, true/false as "True"/"False", null as "", arrays and objects as compact JSON
// (bytes that are not UTF-8 printed as U+FFFD).
std::string JsonValueText(const TReplyJson& value);

}  // namespace kdp
