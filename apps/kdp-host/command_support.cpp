// Helpers several kdp-host commands share.
#include <algorithm>
#include <cctype>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/fields/field_names.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/ansi.h"
#include "kdp/host/date_time.h"
#include "kdp/host/display_text.h"
#include "kdp/host/number_text.h"
#include "kdp/package.h"
#include "kdp/refdata/market_time.h"
#include "settings.h"
#include "util/float_text.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp::app {

EscapingStreamBuf::int_type EscapingStreamBuf::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  const char c = traits_type::to_char_type(ch);
  if (c == '\n') {
    WriteLine(true);
  } else {
    line_ += c;
  }
  return ch;
}

std::streamsize EscapingStreamBuf::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) overflow(traits_type::to_int_type(text[i]));
  return count;
}

int EscapingStreamBuf::sync() {
  if (!line_.empty()) WriteLine(false);
  return target_->pubsync();
}

void EscapingStreamBuf::WriteLine(bool lineEnd) {
  std::string shown = host::EscapeControlChars(line_);
  if (lineEnd) shown += '\n';
  target_->sputn(shown.data(), static_cast<std::streamsize>(shown.size()));
  line_.clear();
}

namespace {

CLI::Validator Check(std::string description, bool (*valid)(const std::string&), std::string what) {
  return CLI::Validator(
      [valid, what](std::string& text) {
        return valid(text) ? std::string() : host::EscapeControlChars(text) + " is not " + what;
      },
      std::move(description));
}

}  // namespace

const CLI::Validator& FiniteNumber() {
  static const CLI::Validator check = Check(
      "NUMBER", [](const std::string& t) { return host::ParseDouble(t).has_value(); }, "a finite number");
  return check;
}

const CLI::Validator& DateTimeText() {
  static const CLI::Validator check = Check(
      "DATETIME", [](const std::string& t) { return host::DateTime::Parse(t).has_value(); },
      "a date-time (write \"2026-12-04 10:30:00\")");
  return check;
}

CLI::Validator FieldIdOrName(int highest) {
  return CLI::Validator(
      [highest](std::string& text) {
        if (const auto id = host::ParseInt32(text)) {
          return *id >= 0 && *id <= highest ? std::string()
                                            : fmt::format("{} is not a field ID (0 to {})", *id, highest);
        }
        const bool word = !text.empty() && std::isalpha(static_cast<unsigned char>(text[0])) &&
                          std::all_of(text.begin(), text.end(),
                                      [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
        return word ? std::string()
                    : host::EscapeControlChars(text) + fmt::format(" is not a field ID (0 to {}) or name", highest);
      },
      "ID|NAME");
}

const CLI::Validator& PlainName() {
  static const CLI::Validator check = Check(
      "NAME", [](const std::string& t) { return minihost::IsPlainName(t); },
      "a plain name (letters, digits, \"_\", \"-\" and \".\", at most 64)");
  return check;
}

std::shared_ptr<IKrHQSecurityManager> SecurityManager(Session& s) {
  auto manager = QueryPackageInterface<IKrHQSecurityManager>("IKrHQSecurityManager");
  if (!manager) fmt::print(s.err, "kdp-host: the package published no security manager\n");
  return manager;
}

bool IsKnownCode(Session& s, IKrHQSecurityManager& manager, const std::string& code) {
  auto known = [&](const std::string& c) { return s.host.Securities().GetSecurity(c) != nullptr; };
  if (known(code)) return true;
  if (SameTextAscii(GetAfterString(".", code), "UD") && code.find('.') != std::string::npos) return true;
  const std::string stripped = StripQuotePrefix(code);
  return manager.IsHardCode(stripped) || (stripped != code && known(stripped));
}

Edition EditionOf(Session& session) {
  const std::string language = session.host.Context().GetLanguage();
  if (language == "ENG" || language == "ENS") return Edition::kEnglish;
  return language == "CHT" ? Edition::kTraditional : Edition::kSimplified;
}

bool IsEnglishEdition(Session& session) { return EditionOf(session) == Edition::kEnglish; }

std::string DisplayName(Session& session, host::IKrSecurity& security) {
  std::string english = IsEnglishEdition(session) ? security.GetENName() : std::string();
  return english.empty() ? security.GetStockName() : english;
}

std::string WeekdayName(Session& session, int dayOfWeek) {
  static constexpr Texts kNames[] = {
      {"周日", "週日", "Sun"}, {"周一", "週一", "Mon"}, {"周二", "週二", "Tue"}, {"周三", "週三", "Wed"},
      {"周四", "週四", "Thu"}, {"周五", "週五", "Fri"}, {"周六", "週六", "Sat"},
  };
  return Text(session, kNames[static_cast<std::size_t>(std::clamp(dayOfWeek, 1, 7) - 1)]);
}

const char* Text(Session& session, const Texts& texts) {
  switch (EditionOf(session)) {
    case Edition::kTraditional:
      return texts.cht;
    case Edition::kEnglish:
      return texts.eng;
    case Edition::kSimplified:
      break;
  }
  return texts.chs;
}

std::string LabelLine(Session& session, const Texts& label, const std::string& value, int width) {
  return Pad(Text(session, label), width, false) + value + '\n';
}

std::string CityName(Session& session, const std::string& city) {
  static constexpr std::pair<std::string_view, Texts> kCities[] = {
      {"Beijing", {"北京", "北京", "Beijing"}},
      {"Hong Kong", {"香港", "香港", "Hong Kong"}},
      {"Taipei", {"台北", "臺北", "Taipei"}},
      {"Singapore", {"新加坡", "新加坡", "Singapore"}},
      {"Tokyo", {"东京", "東京", "Tokyo"}},
      {"Seoul", {"首尔", "首爾", "Seoul"}},
      {"Sydney", {"悉尼", "雪梨", "Sydney"}},
      {"Jakarta", {"雅加达", "雅加達", "Jakarta"}},
      {"Mumbai", {"孟买", "孟買", "Mumbai"}},
      {"Dubai", {"迪拜", "杜拜", "Dubai"}},
      {"Moscow", {"莫斯科", "莫斯科", "Moscow"}},
      {"Frankfurt", {"法兰克福", "法蘭克福", "Frankfurt"}},
      {"Paris", {"巴黎", "巴黎", "Paris"}},
      {"Zurich", {"苏黎世", "蘇黎世", "Zurich"}},
      {"London", {"伦敦", "倫敦", "London"}},
      {"Sao Paulo", {"圣保罗", "聖保羅", "Sao Paulo"}},
      {"New York", {"纽约", "紐約", "New York"}},
      {"Chicago", {"芝加哥", "芝加哥", "Chicago"}},
      {"Toronto", {"多伦多", "多倫多", "Toronto"}},
  };
  for (const auto& [name, texts] : kCities) {
    if (SameTextAscii(city, name)) return Text(session, texts);
  }
  return city;
}

std::optional<std::vector<std::uint32_t>> ResolveFields(Session& s, const std::vector<std::string>& fields) {
  std::vector<std::uint32_t> ids;
  for (const std::string& field : fields) {
    const auto number = host::ParseInt32(field);
    const int id = number ? (FieldNameByID(*number).empty() ? 0 : *number) : FieldIDByName(field);
    if (id <= 0) {
      fmt::print(s.err,
                 "kdp-host: unknown field {}: the field dictionary (HQ/Base/HQDictionary.xml) has no field of that "
                 "{}; give IDs or names it lists, e.g. 3 or NewPrice\n",
                 field, number ? "ID" : "name");
      return std::nullopt;
    }
    ids.push_back(static_cast<std::uint32_t>(id));
  }
  return ids;
}

std::string FieldHeader(std::uint32_t id) {
  const std::string name = FieldNameByID(static_cast<int>(id));
  return name.empty() ? std::to_string(id) : name;
}

std::string FormatFieldValue(const std::string& code, std::uint32_t id, double value) {
  const auto formats = QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager");
  auto item = formats ? formats->GetDataFormatObjByName(code, FieldNameByID(static_cast<int>(id))) : nullptr;
  if (!item && formats) item = formats->GetDataFormatObjByID(code, static_cast<int>(id));
  if (item) {
    try {
      return item->CalcAndFormatByKoraCode(value, "", code);
    } catch (const std::exception&) {
      // a broken format shows the plain number
    }
  }
  return FloatToText(value);
}

std::string DateText(int yyyymmdd) {
  const auto day = host::DateTime::FromYyyymmdd(yyyymmdd);
  return day ? day->ToString().substr(0, 10) : std::to_string(yyyymmdd);
}

std::string DateText(const std::string& yyyymmdd) {
  const auto number = host::ParseInt32(yyyymmdd);
  return number && host::DateTime::FromYyyymmdd(*number) ? DateText(*number) : yyyymmdd;
}

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  for (char16_t unit : host::Utf8ToUtf16(utf8)) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) continue;  // the second half of a surrogate pair
    const bool wide = (unit >= 0x1100 && unit <= 0x115F) || (unit >= 0x2E80 && unit <= 0xA4CF) ||
                      (unit >= 0xAC00 && unit <= 0xD7A3) || (unit >= 0xF900 && unit <= 0xFAFF) ||
                      (unit >= 0xFE30 && unit <= 0xFE4F) || (unit >= 0xFF00 && unit <= 0xFF60) ||
                      (unit >= 0xFFE0 && unit <= 0xFFE6);
    width += wide ? 2 : 1;
  }
  return width;
}

std::string Pad(const std::string& text, int width, bool right) {
  const std::string padding(static_cast<std::size_t>(std::max(0, width - DisplayWidth(text))), ' ');
  return right ? padding + text : text + padding;
}

void CollectMembers(host::IKrSector& sector, std::vector<std::string>& codes) {
  for (const std::string& code : sector.GetMemberCodes()) {
    if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
  }
  for (int i = 0; i < sector.GetChildCount(); ++i) {
    if (auto child = sector.GetChild(i)) CollectMembers(*child, codes);
  }
}

void PlayRecordingThrough(Session& session) {
  auto* replay = session.host.Replay();
  if (replay == nullptr) return;
  // A recording ends: at pace it takes as long as it lasted, divided by the speed.
  constexpr auto kLongerThanAnyRecording = std::chrono::hours(24 * 366);
  session.host.Loop().RunUntil([replay] { return replay->Finished(); }, kLongerThanAnyRecording);
}

}  // namespace kdp::app
