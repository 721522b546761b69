#include "format/format_texts.h"

#include <cmath>

#include <fmt/format.h>

#include "core/string_catalog.h"
#include "kdp/host/date_time.h"
#include "util/hq_format.h"
#include "util/strings.h"

namespace kdp {
namespace {

struct EnumText {
  int value;
  int id;            // string catalogue number
  const char* text;  // the Chinese default
};

constexpr EnumText kTradingStatus[] = {
    {1, 140001, "交易中"},   {2, 140002, "休市/暂停交易"}, {3, 140003, "交易结束"},      {4, 140004, "集合竞价"},
    {8, 140005, "盘前交易"}, {9, 140006, "盘后交易"},      {10, 140007, "重新集合竞价"},
};
constexpr EnumText kNeeqExtType[] = {
    {1, 140011, "基础层"},
    {2, 140012, "创新层"},
    {3, 140013, "精选层"},
};
constexpr EnumText kNeeqTradeType[] = {
    {1, 140021, "协议转让"},
    {2, 140022, "做市转让"},
    {3, 140023, "集合竞价"},
    {4, 140024, "连续竞价"},
};
constexpr EnumText kCBondType[] = {
    {1, 141001, "可转债"},
    {2, 141002, "可交换债"},
    {3, 141003, "分离交易可转债"},
};
constexpr EnumText kDealDirection[] = {
    {0, 141011, "中性"},
    {1, 141012, "买入"},
    {2, 141013, "卖出"},
};
constexpr EnumText kFundInvestmentType[] = {
    {1, 141021, "股票型"}, {2, 141022, "混合型"}, {3, 141023, "债券型"}, {4, 141024, "货币型"},
    {5, 141025, "指数型"}, {6, 141026, "QDII"},   {7, 141027, "FOF"},
};
constexpr EnumText kHotLevel[] = {
    {1, 141031, "冷"}, {2, 141032, "温"}, {3, 141033, "热"}, {4, 141034, "火爆"}, {5, 141035, "沸腾"},
};
constexpr EnumText kMarket[] = {
    {1, 141041, "上交所"}, {2, 141042, "深交所"}, {3, 141043, "北交所"}, {4, 141044, "港交所"}, {5, 141045, "纳斯达克"},
    {6, 141046, "纽交所"}, {7, 141047, "中金所"}, {8, 141048, "上期所"}, {9, 141049, "大商所"}, {10, 141050, "郑商所"},
};
constexpr EnumText kSubStatus[] = {
    {0, 141061, "未开始"}, {1, 141062, "申购中"}, {2, 141063, "待中签"},
    {3, 141064, "已中签"}, {4, 141065, "待上市"}, {5, 141066, "已上市"},
};
constexpr EnumText kTradePhase[] = {
    {0, 141071, "开市前"},       {1, 141072, "集合竞价"}, {2, 141073, "连续竞价"},     {3, 141074, "午间休市"},
    {4, 141075, "收盘集合竞价"}, {5, 141076, "闭市"},     {6, 141077, "盘后固定价格"}, {7, 141078, "停牌"},
};
constexpr EnumText kValueState[] = {
    {1, 141081, "低估"},
    {2, 141082, "合理"},
    {3, 141083, "高估"},
};
constexpr EnumText kWarrantExerciseType[] = {
    {1, 141091, "欧式"},
    {2, 141092, "美式"},
    {3, 141093, "百慕大式"},
};
constexpr EnumText kWarrantType[] = {
    {1, 141101, "认购"},
    {2, 141102, "认沽"},
    {3, 141103, "牛证"},
    {4, 141104, "熊证"},
};
constexpr EnumText kFundFaces[] = {
    {1, 141111, "A类"}, {2, 141112, "B类"}, {3, 141113, "C类"},
    {4, 141114, "E类"}, {5, 141115, "H类"}, {6, 141116, "I类"},
};

template <std::size_t N>
std::string Lookup(const EnumText (&table)[N], double value) {
  if (!(std::fabs(value - std::round(value)) < 1e-9)) return {};
  const auto code = static_cast<long long>(std::llround(value));
  for (const EnumText& e : table) {
    if (e.value == code) return GetLanguageStrDef(e.id, e.text);
  }
  return {};
}

// A whole number in int range, or nullopt.
std::optional<int> WholeNumber(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 2e9 || std::fabs(value - std::round(value)) > 1e-9) {
    return std::nullopt;
  }
  return static_cast<int>(std::llround(value));
}

std::string Stars(int filled, int total) {
  std::string text;
  for (int i = 0; i < filled; ++i) text += "★";
  for (int i = filled; i < total; ++i) text += "☆";
  return text;
}

// Codes shown as written in every language.
std::string Symbol(double value, std::initializer_list<std::pair<int, const char*>> symbols) {
  const auto code = WholeNumber(value);
  if (!code) return "-";
  for (const auto& [v, text] : symbols) {
    if (v == *code) return text;
  }
  return "-";
}

std::string OrDash(std::string text) { return text.empty() ? "-" : text; }

}  // namespace

std::optional<TQuoteDateTime> QuoteDate(double value) {
  if (!std::isfinite(value) || value <= 0 || value >= 1e15) return std::nullopt;
  auto whole = static_cast<std::int64_t>(std::floor(value));
  std::int64_t hhmmss = 0;
  if (whole >= 10000000000LL) {  // yyyymmddhhmmss
    hhmmss = whole % 1000000;
    whole /= 1000000;
  }
  const auto date = host::DateTime::FromYyyymmddHhmmss(whole, hhmmss);
  if (!date) return std::nullopt;
  const host::DateTime::Parts p = date->Decode();
  return TQuoteDateTime{p.year, p.month, p.day, p.hour, p.minute, p.second};
}

std::optional<TQuoteDateTime> QuoteTime(double value) {
  if (!std::isfinite(value) || value < 0 || value >= 240000) return std::nullopt;
  const auto t = static_cast<int>(std::floor(value));
  const int h = t / 10000, m = t / 100 % 100, s = t % 100;
  if (m > 59 || s > 59) return std::nullopt;
  return TQuoteDateTime{0, 0, 0, h, m, s};
}

std::string FormatQuoteDateTime(const TQuoteDateTime& when, std::string_view pattern) {
  std::string out;
  std::size_t i = 0;
  const auto at = [&](std::string_view token) {
    return i + token.size() <= pattern.size() && SameTextAscii(pattern.substr(i, token.size()), token);
  };
  while (i < pattern.size()) {
    if (at("YYYY")) {
      out += fmt::format("{:04}", when.year);
      i += 4;
    } else if (at("YY")) {
      out += fmt::format("{:02}", when.year % 100);
      i += 2;
    } else if (at("MM")) {
      out += fmt::format("{:02}", when.month);
      i += 2;
    } else if (at("DD")) {
      out += fmt::format("{:02}", when.day);
      i += 2;
    } else if (at("HH")) {
      out += fmt::format("{:02}", when.hour);
      i += 2;
    } else if (at("NN") || at("MI")) {
      out += fmt::format("{:02}", when.minute);
      i += 2;
    } else if (at("SS")) {
      out += fmt::format("{:02}", when.second);
      i += 2;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

bool PatternHasYear(std::string_view pattern) { return ToUpperAscii(pattern).find("YY") != std::string::npos; }

bool PatternIsYearMonth(std::string_view pattern) {
  const std::string upper = ToUpperAscii(pattern);
  return upper.find("YY") != std::string::npos && upper.find("MM") != std::string::npos &&
         upper.find("DD") == std::string::npos;
}

std::string TradingStatusText(double value) {
  if (WholeNumber(value) == 0) return "-";
  return Lookup(kTradingStatus, value);
}

std::string NeeqAllowStatusText(double value) {
  constexpr EnumText kAllow[] = {{1, 123053, "允许协议"}, {0, 123062, "不允许协议"}};
  return Lookup(kAllow, value);
}

std::string NeeqExtTypeText(double value) { return Lookup(kNeeqExtType, value); }

std::string NeeqTradeTypeText(double value) { return Lookup(kNeeqTradeType, value); }

std::string TrueFalseText(double value) {
  constexpr EnumText kTrueFalse[] = {{1, 13467, "是"}, {0, 5826, "否"}};
  return Lookup(kTrueFalse, value);
}

std::string ProfitEffectText(double value) {
  if (value >= 6) return GetLanguageStrDef(134554, "极好");
  if (value >= 5) return GetLanguageStrDef(134555, "偏好");
  if (value >= 4) return GetLanguageStrDef(134556, "好");
  if (value >= 3) return GetLanguageStrDef(134559, "偏差");
  if (value >= 2) return GetLanguageStrDef(134557, "差");
  if (value >= 0) return GetLanguageStrDef(134558, "极差");
  return {};
}

std::string FundFacesText(double value) { return OrDash(Lookup(kFundFaces, value)); }

std::string ManagementCompanyText(double value) {
  const auto code = WholeNumber(value);
  if (!code || *code <= 0 || *code > 9999) return "-";
  return GetLanguageStrDef(920000 + *code, "-");
}

std::string FormatStringText(std::string_view subKeyword, double value) {
  const std::string sub = ToUpperAscii(TrimView(subKeyword));
  const auto code = WholeNumber(value);
  if (sub == "CBONDTYPE") return OrDash(Lookup(kCBondType, value));
  if (sub == "DEALDIRECTION") return OrDash(Lookup(kDealDirection, value));
  if (sub == "FUNDINVESTMENTTYPE") return OrDash(Lookup(kFundInvestmentType, value));
  if (sub == "HOTLEVEL") return OrDash(Lookup(kHotLevel, value));
  if (sub == "MARKET") return OrDash(Lookup(kMarket, value));
  if (sub == "SUBSTATUS") return OrDash(Lookup(kSubStatus, value));
  if (sub == "TRADEPHASE") return OrDash(Lookup(kTradePhase, value));
  if (sub == "VALUESTATE") return OrDash(Lookup(kValueState, value));
  if (sub == "WARRANTEXERCISETYPE") return OrDash(Lookup(kWarrantExerciseType, value));
  if (sub == "WARRANTTYPE") return OrDash(Lookup(kWarrantType, value));
  if (sub == "FUNDRATING") {
    if (value >= 10 && value < 20) return "★";
    if (value >= 20 && value < 30) return "★★";
    if (value >= 30 && value < 40) return "★★★";
    if (value >= 40 && value < 50) return "★★★★";
    if (value >= 50 && value < 60) return "★★★★★";
    return "-";
  }
  if (sub == "MORNINGSTARFUNDRATING") return code && *code >= 1 && *code <= 5 ? Stars(*code, 0) : "-";
  if (sub == "KORAFUNDRATING") return code && *code >= 1 && *code <= 5 ? Stars(*code, 5) : "-";
  if (sub == "DAYFOLLOWED") {
    if (!code || *code == 0) return "-";
    return *code > 0 ? HQFormat(GetLanguageStrDef(142001, "连涨%d天"), *code)
                     : HQFormat(GetLanguageStrDef(142002, "连跌%d天"), -*code);
  }
  if (sub == "HISHIGHDAYS") {
    if (!code || *code <= 0) return "-";
    return HQFormat(GetLanguageStrDef(142003, "%d日新高"), *code);
  }
  if (sub == "INDUSTRY") {
    if (!code || *code <= 0 || *code > 9999) return "-";
    return GetLanguageStrDef(910000 + *code, "-");
  }
  if (sub == "PRENAME") {
    return Symbol(value, {{1, "N"}, {2, "C"}, {3, "XD"}, {4, "XR"}, {5, "DR"}, {6, "ST"}, {7, "*ST"}, {8, "退"}});
  }
  if (sub == "PRENAMEEB") return Symbol(value, {{1, "N"}, {2, "Z"}, {3, "退"}});
  if (sub == "PRENAMEQZ") return Symbol(value, {{1, "N"}, {2, "E"}, {3, "退"}});
  if (sub == "TERMRATING") {
    return Symbol(value, {{1, "AAA"},
                          {2, "AA+"},
                          {3, "AA"},
                          {4, "AA-"},
                          {5, "A+"},
                          {6, "A"},
                          {7, "A-"},
                          {8, "BBB+"},
                          {9, "BBB"},
                          {10, "BBB-"},
                          {11, "BB"},
                          {12, "B"},
                          {13, "CCC"},
                          {14, "CC"},
                          {15, "C"},
                          {16, "D"}});
  }
  return "-";
}

std::optional<std::string> SeasonReportText(const TQuoteDateTime& date) {
  const int mmdd = date.month * 100 + date.day;
  int id = 0;
  const char* chinese = nullptr;
  switch (mmdd) {
    case 331:
      id = 142011, chinese = "一季报";
      break;
    case 630:
      id = 142012, chinese = "中报";
      break;
    case 930:
      id = 142013, chinese = "三季报";
      break;
    case 1231:
      id = 142014, chinese = "年报";
      break;
    default:
      return std::nullopt;
  }
  return std::to_string(date.year) + GetLanguageStrDef(id, chinese);
}

std::string LimitFreeText() { return GetLanguageStrDef(142031, "无限制"); }
std::string ShareWord() { return GetLanguageStrDef(142041, "股"); }
std::string UnmatchedText() { return GetLanguageStrDef(142051, "未匹配"); }
std::string FiscalYearText(int year) { return HQFormat(GetLanguageStrDef(142021, "%d年度"), year); }

}  // namespace kdp
