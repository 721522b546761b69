#include "format/format_number.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/string_catalog.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

struct Level {
  double size;
  int decimalExponent;  // size = 10^decimalExponent
  int forcedBy;         // the UnitLevel that forces this level
  int chineseWord;      // 0 万, 1 亿, 2 万亿; -1 on the English ladder
  std::string_view english;
};

// Largest first; index 1 is the level UnitLevel 6 always shows (亿, B).
constexpr std::array<Level, 3> kChineseLadder{Level{1e12, 12, 4, 2, ""}, Level{1e8, 8, 3, 1, ""},
                                              Level{1e4, 4, 2, 0, ""}};
constexpr std::array<Level, 4> kEnglishLadder{Level{1e12, 12, 4, -1, "T"}, Level{1e9, 9, 3, -1, "B"},
                                              Level{1e6, 6, 2, -1, "M"}, Level{1e3, 3, 1, -1, "K"}};

std::string_view WordOf(const Level& level, const TUnitWords& words) {
  switch (level.chineseWord) {
    case 0:
      return words.tenThousand;
    case 1:
      return words.hundredMillion;
    case 2:
      return words.trillion;
    default:
      return level.english;
  }
}

// Room for "%.20f" of the largest double.
constexpr std::size_t kFixedBufferSize = 352;

int ToIntArg(const std::string& text) {
  const std::string_view t = TrimView(text);
  if (t.empty()) return 0;
  const auto value = ParseInt64(t);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) {
    throw EHQFormatError(fmt::format("'{}' is not a valid integer value", text));
  }
  return static_cast<int>(*value);
}

double ToFloatArg(const std::string& text) {
  const std::string_view t = TrimView(text);
  if (t.empty()) return 0.0;
  const auto value = ParseDouble(t);
  if (!value) throw EHQFormatError(fmt::format("'{}' is not a valid floating point value", text));
  return *value;
}

// The value in units of the level. A tie is judged on the value itself, whose decimals the division only
// shifts: 10050 at two places of 万 is the tie 1.005万 and shows "1.01万", although the quotient's binary
// value lies below 1.005.
double Scaled(double value, const Level& level, int point, double pointRef) {
  const double scaled = value / level.size;
  if (point < 0) return scaled;
  const int decimals = pointRef > 0 && std::fabs(scaled) >= pointRef ? 0 : std::min(point, kMaxDecimals);
  if (!IsDecimalTie(value, decimals - level.decimalExponent)) return scaled;
  return std::nextafter(scaled, scaled > 0 ? HUGE_VAL : -HUGE_VAL);
}

std::string LevelText(double value, const Level& level, int point, double pointRef, const TUnitWords& words) {
  return FormatPointByNum(Scaled(value, level, point, pointRef), point, pointRef).append(WordOf(level, words));
}

template <std::size_t N>
std::string Ladder(double value, const TKrFormatNumberParams& p, const std::array<Level, N>& ladder,
                   const TUnitWords& words) {
  const double magnitude = std::fabs(value);
  if (p.UnitLevel == 6) {
    const Level& top = ladder[1];
    if (magnitude <= 1e12) return FixedText(Scaled(value, top, 0, 0.0), 0).append(WordOf(top, words));
    return LevelText(value, top, p.Point, p.PointRef, words);
  }
  for (const Level& level : ladder) {
    const bool take = (p.UnitLevel == 0 && magnitude >= level.size) ||
                      (p.UnitLevel == 5 && magnitude >= level.size * std::pow(10.0, 4 - p.Point)) ||
                      p.UnitLevel == level.forcedBy;
    if (take) return LevelText(value, level, p.Point, p.PointRef, words);
  }
  return FixedText(value, 0);
}

}  // namespace

TKrFormatNumberParams ParseFormatNumberParams(const std::vector<std::string>& args) {
  TKrFormatNumberParams p;
  const auto arg = [&](std::size_t i) -> const std::string* { return i < args.size() ? &args[i] : nullptr; };
  if (auto a = arg(0)) p.CalcType = ToIntArg(*a);
  if (auto a = arg(1)) {
    const std::string_view t = TrimView(*a);
    const auto value = t.empty() ? std::optional<std::int64_t>(0) : ParseInt64(t);
    if (!value) throw EHQFormatError(fmt::format("'{}' is not a valid integer value", *a));
    p.CalcNumber = static_cast<double>(*value);
  }
  if (auto a = arg(2)) p.Point = ToIntArg(*a);
  if (auto a = arg(3)) p.Suffix = ToIntArg(*a);
  if (auto a = arg(4)) p.UnitOnly = ToIntArg(*a);
  if (auto a = arg(5)) p.UnitLevel = ToIntArg(*a);
  if (auto a = arg(6)) p.PointRef = ToFloatArg(*a);
  return p;
}

const TUnitWords& EnglishUnitWords() {
  static const TUnitWords english{false};
  return english;
}

const TUnitWords& CurrentUnitWords() {
  // The user's language is the host context's for the whole session, and each start of the package makes
  // a new string catalogue: the words are taken once per catalogue (a catalogue that is gone, even if a new
  // one took its address, counts as a change). Without a catalogue they are looked up every time.
  static std::weak_ptr<IHQStrCatch> cachedCatalogue;
  static const IHQStrCatch* cachedAddress = nullptr;
  static TUnitWords words;
  const std::shared_ptr<IHQStrCatch> catalogue = G_GetStrCatch();
  if (!catalogue || catalogue.get() != cachedAddress || cachedCatalogue.expired()) {
    cachedCatalogue = catalogue;
    cachedAddress = catalogue.get();
    const std::string language = G_getCurrentLanguage();  // the Chinese editions count in 万 / 萬
    words.chinese = SameTextAscii(language, "CHS") || SameTextAscii(language, "CHT");
    words.tenThousand = GetLanguageStrDef(38701, "万");
    words.hundredMillion = GetLanguageStrDef(38702, "亿");
    words.trillion = GetLanguageStrDef(38703, "万亿");
  }
  return words;
}

const TUnitWords& ChineseUnitWords() {
  static TUnitWords chinese;
  chinese = CurrentUnitWords();
  chinese.chinese = true;
  return chinese;
}

namespace {

// "%.<point>f" of the value into `buffer`; the length written.
std::size_t FixedChars(char* buffer, std::size_t size, double value, int point) {
  if (point > kMaxDecimals) point = kMaxDecimals;
  if (point < 0) point = 0;
  value = TieAwayFromZero(value, point);
  const auto [end, ec] = std::to_chars(buffer, buffer + size, value, std::chars_format::fixed, point);
  if (ec != std::errc()) {  // only a non-finite value or a too small buffer: fall back to the general routine
    const std::string text = fmt::format("{:.{}f}", value, point);
    const std::size_t n = std::min(size, text.size());
    std::copy_n(text.data(), n, buffer);
    return n;
  }
  return static_cast<std::size_t>(end - buffer);
}

}  // namespace

// Where value * 10^point is below 2^52 the product is rounded directly: its nearest double can only fall on the
// other side of a half when it is that half itself, and the quotient of two exact numbers is the double
// nearest to the decimal, as reading the text would give. Otherwise the text is written and read.
double RoundedAt(double value, int point) {
  static constexpr std::array<double, 23> kPowersOfTen{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  point = std::clamp(point, 0, kMaxDecimals);
  if (static_cast<std::size_t>(point) < kPowersOfTen.size()) {
    const double scale = kPowersOfTen[static_cast<std::size_t>(point)];
    const double product = TieAwayFromZero(value, point) * scale;
    if (std::fabs(product) < 0x1p52 && std::fabs(product - std::trunc(product)) != 0.5) {
      return std::round(product) / scale;
    }
  }
  char buffer[kFixedBufferSize];
  const std::size_t n = FixedChars(buffer, sizeof buffer, value, point);
  double rounded = 0.0;
  const auto [end, ec] = std::from_chars(buffer, buffer + n, rounded);
  return ec == std::errc() && end == buffer + n ? rounded : 0.0;
}

std::string FixedText(double value, int point) {
  if (point < 0) return FloatToText(value);
  char buffer[kFixedBufferSize];
  return std::string(buffer, FixedChars(buffer, sizeof buffer, value, point));
}

std::string FormatNumber(double value, const TKrFormatNumberParams& p, const TUnitWords& words) {
  switch (p.CalcType) {
    case 0:
      value += p.CalcNumber;
      break;
    case 1:
      value -= p.CalcNumber;
      break;
    case 2:
      value *= p.CalcNumber;
      break;
    case 3:
      if (p.CalcNumber != 0.0) value /= p.CalcNumber;
      break;
    default:
      break;
  }
  if (p.Suffix >= 1 && p.Suffix <= 3) {
    // The units apply to the rounded number, so 99999999.996 at two decimals is 1.00亿, not 10000.00万.
    const double rounded = p.Point == -1 ? StrToFloatDef(FloatToText(value), 0.0) : RoundedAt(value, p.Point);
    return FormatNumberUnit(rounded, p, words);
  }
  std::string text = p.Point == -1 ? FloatToText(value) : FixedText(value, p.Point < 0 ? 0 : p.Point);
  if (p.Suffix == 4) text += '%';
  return text;
}

std::string FormatNumberUnit(double value, const TKrFormatNumberParams& p, const TUnitWords& words) {
  if (p.UnitOnly != 0 && p.Suffix >= 1 && p.Suffix <= 3) {
    const Level& level = words.chinese ? kChineseLadder[static_cast<std::size_t>(3 - p.Suffix)]
                                       : kEnglishLadder[static_cast<std::size_t>(4 - p.Suffix)];
    return LevelText(value, level, p.Point, p.PointRef, words);
  }
  return words.chinese ? Ladder(value, p, kChineseLadder, words) : Ladder(value, p, kEnglishLadder, words);
}

std::string FormatPointByNum(double value, int point, double pointRef) {
  if (point == -1) return FloatToText(value);
  if (pointRef > 0 && std::fabs(value) >= pointRef) return FixedText(value, 0);
  return FixedText(value, point < 0 ? 0 : point);
}

std::string RoundPercent(double value) {
  const double magnitude = std::fabs(value);
  return FixedText(value, magnitude > 100 ? 0 : magnitude > 10 ? 1 : 2) + "%";
}

int PriceStepDecimals(double step) {
  if (!(step > 0) || !std::isfinite(step)) return -1;
  std::string text = FloatToText(step);
  if (step >= 1 || text.find('E') == std::string::npos) {
    const std::size_t dot = text.find('.');
    return dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
  }
  int count = 0;
  while ((text.find('E') != std::string::npos || text.find('.') != std::string::npos) && count < kMaxDecimals) {
    step *= 10;
    ++count;
    text = FloatToText(step);
  }
  return count;
}

std::string PriceStepFormat(double step) {
  const int decimals = PriceStepDecimals(step);
  return decimals < 0 ? std::string() : "%." + std::to_string(decimals) + "f";
}

}  // namespace kdp
