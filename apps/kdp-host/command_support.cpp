// Helpers several kdp-host commands share.
#include <algorithm>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/ansi.h"
#include "kdp/host/date_time.h"
#include "kdp/host/display_text.h"
#include "kdp/host/number_text.h"
#include "kdp/package.h"
#include "kdp/refdata/market_time.h"
#include "settings.h"
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

const CLI::Validator& FieldId() {
  static const CLI::Validator check = Check(
      "ID", [](const std::string& t) { return host::ParseInt32(t).value_or(-1) >= 0 && *host::ParseInt32(t) <= 9999; },
      "a field ID from 0 to 9999");
  return check;
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
  static constexpr std::array<std::array<const char*, 7>, 3> kNames{{
      {"周日", "周一", "周二", "周三", "周四", "周五", "周六"},
      {"週日", "週一", "週二", "週三", "週四", "週五", "週六"},
      {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
  }};
  return kNames[static_cast<std::size_t>(EditionOf(session))]
               [static_cast<std::size_t>(std::clamp(dayOfWeek, 1, 7) - 1)];
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

void PlayRecordingThrough(Session& session) {
  auto* replay = session.host.Replay();
  if (replay == nullptr) return;
  // A recording ends: at pace it takes as long as it lasted, divided by the speed.
  constexpr auto kLongerThanAnyRecording = std::chrono::hours(24 * 366);
  session.host.Loop().RunUntil([replay] { return replay->Finished(); }, kLongerThanAnyRecording);
}

}  // namespace kdp::app
