// Format items: every instruction keyword with a typical value, values that cannot be shown, ranges,
// dates with the year, price steps, string fields, other languages, and the colour rules.
#include "format/format_item.h"

#include <clocale>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "kdp/fields/hq_field_types.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::TestHost;

std::shared_ptr<TKrHQFormatItem> Item(const std::string& format, bool usePriceStep = false) {
  auto item = std::make_shared<TKrHQFormatItem>();
  item->SetFormatText(format);
  item->SetUsePriceStep(usePriceStep);
  return item;
}

struct Case {
  const char* format;
  double value;
  const char* text;
};

// Chinese texts; the server date is 2026-12-04.
const Case kChineseCases[] = {
    {"", 1.5, "1.5"},
    {"%.3f", 1.5, "1.500"},
    {"%.99f", 1.5, "1.5"},  // a pattern asking for too wide a text shows the value as it is
    {"NEEDYEAR", 20261204, "2026-12-04"},
    {"needyear2", 20261204, "2026/12/04"},
    {"CHAR8DATE", 20261204, "20261204"},
    {"[FORMATNUMBER:0:0:2:1]", 123456789, "1.23亿"},
    // 1500亿 stays below a PointRef of 1500.5 and keeps its decimals; a PointRef read as 1500 would drop them.
    {"[FORMATNUMBER:0:0:2:1:0:0:1500.5]", 1.5e11, "1500.00亿"},
    {"[formatnumber:2:100:2:4]", 0.0123, "1.23%"},
    {"[CALCUNIT:1]", 123456, "12.3万"},
    {"[CALCUNIT]", 1234.4, "1234"},
    {"[CALCUNITE:2]", 123456, "123.46K"},
    {"[ROUNDUNIT:2]", 1234.5, "1234.50"},
    {"[ROUNDUNIT:2]", 123456, "12.35万"},
    {"[ROUNDUNITC:2]", 123456, "12.35万"},
    {"[ROUNDUNITE:1]", 1234.5, "1.2K"},
    {"[ROUNDUNITE:1]", 999.94, "999.9"},
    {"[ROUNDUNITS:2]", 120000, "12万"},
    {"[ROUNDUNITS:2]", 123456, "12.35万"},
    {"[ROUNDUNITS:2]", 10.1, "10.1"},
    {"[ROUNDUNITSEX:2]", 120000, "120K"},
    {"[ROUNDUNITSYMBOL:2:HKD]", 123456789, "HK$1.23亿"},
    {"[ROUNDUNITSYMBOL:2:usd]", -5e8, "-$5.00亿"},
    {"[ROUNDUNITPLUS:2]", 12345, "+1.23万"},
    {"[ROUNDUNITPLUS:2]", -12345, "-1.23万"},
    {"[ROUNDUNITPLUS:2]", 0.001, "0.00"},
    {"[ROUNDINCOME:2]", 5000, "0.50万"},
    {"[ROUNDINCOME:2]", -3000, "-0.30万"},
    {"[ROUNDINCOME:2]", 123456789, "1.23亿"},
    {"[ROUNDUPERCENT]", 9.5, "9.50%"},
    {"[FORMATFLOAT:2]", 1234567.891, "1,234,567.89"},
    {"[FORMATFLOAT:2]", -1234.5, "-1,234.50"},
    {"[FORMATFLOAT:0]", 123, "123"},
    {"[LFADDZERO:6]", 1, "000001"},
    {"[LFADDZERO]", 688981, "688981"},
    {"[LFADDZERO:6]", -1, "-"},
    {"[FORMAT_LIMITED_VALUE:2]", 0, "无限制"},
    {"[FORMAT_LIMITED_VALUE:2]", 12.3, "12.30"},
    {"[BBQHQFIELD]", 2.34567, "2.3457"},
    {"[BBQHQFIELD:2]", 0, "--"},
    {"[UNMATCHEDSTR]", 0, "未匹配"},
    {"[UNMATCHEDSTR:未成交:1]", 0, "未成交"},
    {"[UNMATCHEDSTR:未成交:1]", 3.14159, "3.1"},
    {"[SWAPPERIOD]", 7, "1W"},
    {"[SWAPPERIOD]", 90, "3M"},
    {"[SWAPPERIOD]", 365, "1Y"},
    {"[SWAPPERIOD]", 730, "2Y"},
    {"[SWAPPERIOD]", 10, "10D"},
    {"[SWAPPERIOD]", 0, "-"},
    {"[TERMNOTE]", 2.5, "2.50Y"},
    {"[TERMNOTE]", 0.5, "183D"},
    {"[TERMNOTE]", -1, "-"},
    {"[FORMATDATE]", 20261204, "2026-12-04"},
    {"[FORMATDATE:YYYY年MM月DD日]", 20261204, "2026年12月04日"},
    {"[FORMATDATE:MM-DD]", 20261204, "12-04"},
    {"[FORMATDATE:yy/mm/dd]", 20260105, "26/01/05"},
    {"[FORMATDATE]", 20261332, "-"},
    {"[FORMATDATE]", 0, "-"},
    {"[FORMATDATETIME]", 20261204103005, "2026-12-04 10:30:05"},
    {"[FORMATDATETIME:YYYY-MM-DD HH:NN]", 20261204, "2026-12-04 00:00"},
    {"[FORMATDATETIME]", 20261204256000, "-"},
    {"[FORMATTIME]", 93005, "09:30:05"},
    {"[FORMATTIME:HH:NN]", 93005, "09:30"},
    {"[FORMATTIME]", 246000, "-"},
    {"[FORMATTIME]", 96000, "-"},
    {"[LASTFORMATDATE]", 20261130, "11-30"},
    {"[LASTFORMATDATE]", 20251130, "2025-11-30"},
    {"[SHSCFORMATDATE]", 20261204, "04/12/2026"},
    {"[EPSDATE]", 20260930, "2026Q3"},
    {"[EPSDATE]", 20260815, "2026-08-15"},
    {"[ESTDATA]", 2027, "2027E"},
    {"[ESTDATA]", 20271231, "2027E"},
    {"[ESTDATA]", -5, "-"},
    {"[FORMATSEASONRPT]", 20260630, "2026中报"},
    {"[FORMATSEASONRPT]", 20261231, "2026年报"},
    {"[FORMATSEASONRPT]", 20260331, "2026一季报"},
    {"[FORMATSEASONRPT]", 20260815, "2026-08-15"},
    {"[FORMATYEARRPT]", 2025, "2025年度"},
    {"[FORMATYEARRPT]", 20251231, "2025年度"},
    {"[TRADINGSTATUS]", 1, "交易中"},
    {"[TRADINGSTATUS]", 0, "-"},
    {"[TRADINGSTATUS]", 5, ""},
    {"[TRADINGSTATUS]", 10, "重新集合竞价"},
    {"[NEEQ_ALLOW_STATUS]", 1, "允许协议"},
    {"[NEEQ_ALLOW_STATUS]", 0, "不允许协议"},
    {"[NEEQ_ALLOW_STATUS]", 2, ""},
    {"[NEEQ_EXT_TYPE]", 3, "精选层"},
    {"[NEEQ_TRADE_TYPE]", 2, "做市转让"},
    {"[PROFIT_EFFECT]", 6, "极好"},
    {"[PROFIT_EFFECT]", 5.5, "偏好"},
    {"[PROFIT_EFFECT]", 4, "好"},
    {"[PROFIT_EFFECT]", 3, "偏差"},
    {"[PROFIT_EFFECT]", 2, "差"},
    {"[PROFIT_EFFECT]", 0, "极差"},
    {"[PROFIT_EFFECT]", -1, ""},
    {"[FORMAT_TRUE_FALSE]", 1, "是"},
    {"[FORMAT_TRUE_FALSE]", 0, "否"},
    {"[FORMAT_TRUE_FALSE]", 2, ""},
    {"[FORMATSTRING:FUNDRATING]", 10, "★"},
    {"[FORMATSTRING:FUNDRATING]", 19.9, "★"},
    {"[FORMATSTRING:FUNDRATING]", 25, "★★"},
    {"[FORMATSTRING:FUNDRATING]", 55, "★★★★★"},
    {"[FORMATSTRING:FUNDRATING]", 60, "-"},
    {"[FORMATSTRING:FUNDRATING]", 9, "-"},
    {"[FORMATSTRING:MORNINGSTARFUNDRATING]", 3, "★★★"},
    {"[FORMATSTRING:KORAFUNDRATING]", 2, "★★☆☆☆"},
    {"[FORMATSTRING:DAYFOLLOWED]", 3, "连涨3天"},
    {"[FORMATSTRING:DAYFOLLOWED]", -2, "连跌2天"},
    {"[FORMATSTRING:HISHIGHDAYS]", 60, "60日新高"},
    {"[FORMATSTRING:PRENAME]", 7, "*ST"},
    {"[FORMATSTRING:TERMRATING]", 2, "AA+"},
    {"[FORMATSTRING:INDUSTRY]", 1, "银行"},
    {"[FORMATSTRING:INDUSTRY]", 99, "-"},
    {"[FORMATSTRING:tradephase]", 3, "午间休市"},
    {"[FORMATSTRING:WARRANTTYPE]", 4, "熊证"},
    {"[FORMATSTRING:CBONDTYPE]", 2, "可交换债"},
    {"[FORMATSTRING:SUBSTATUS]", 1.5, "-"},
    {"[FORMATSTRING:NOSUCH]", 1, "-"},
    {"[FUNDFACES]", 3, "C类"},
    {"[MANAGEMENTCOMPANY]", 2, "易方达基金"},
    {"[MANAGEMENTCOMPANY]", 77, "-"},
    {"[FORMAT_RANGE_VALUE_UNIT:2]", 123456, "12.35万"},
    {"[FORMAT_RANGE_VALUE_UNIT_MARKETVALUE:2]", 2.5e11, "2500亿"},
    {"[FORMAT_RANGE_VALUE_UNIT_STOCKVOL:2]", 1.5e9, "15.00亿股"},
    {"[NOSUCHKEYWORD:1]", 1.5, "1.5"},
    {"[FORMATNUMBER", 1.5, "2"},  // no closing bracket: the arguments end with the text
};

TEST(FormatItemTest, EveryInstructionInChinese) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  for (const Case& c : kChineseCases) {
    SCOPED_TRACE(std::string(c.format) + " of " + std::to_string(c.value));
    EXPECT_EQ(Item(c.format)->CalcAndFormat(c.value), c.text);
  }
}

// Every number text and instruction argument reads and writes a point under a comma locale.
TEST(FormatItemTest, NumberTextsDoNotDependOnTheLocale) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the de_DE.UTF-8 locale is missing";
  std::vector<std::pair<std::string, std::string>> seen;
  for (const Case& c : kChineseCases) seen.emplace_back(Item(c.format)->CalcAndFormat(c.value), c.text);
  std::setlocale(LC_ALL, previous.c_str());
  for (const auto& [text, expected] : seen) EXPECT_EQ(text, expected);
}

TEST(FormatItemTest, ValuesThatAreNotNumbersShowADash) {
  TestHost h;
  for (const char* format :
       {"", "%.2f", "[FORMATNUMBER:0:0:2:1]", "[FORMATNUMBER:x]", "[ROUNDUPERCENT]", "[FORMATDATE]", "[TRADINGSTATUS]",
        "[FORMATSTRING:FUNDRATING]", "[ROUNDUNITPLUS:2]", "NEEDYEAR"}) {
    SCOPED_TRACE(format);
    auto item = Item(format);
    for (double value : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity(), kHQNullValue}) {
      EXPECT_EQ(item->CalcAndFormat(value), "-");
      EXPECT_EQ(item->CalcAndFormat(value, true), "-");
    }
  }
  // An unreadable number instruction raises for a real value.
  EXPECT_THROW(Item("[FORMATNUMBER:0:1.5:2]")->CalcAndFormat(1.0), EHQFormatError);
  EXPECT_THROW(Item("[FORMATNUMBER:x]")->CalcAndFormat(1.0), EHQFormatError);
  EXPECT_EQ(Item("%d %d")->CalcAndFormat(1.0), "");  // a pattern that does not fit gives nothing
}

TEST(FormatItemTest, RangesDatesWithTheYearAndPriceSteps) {
  TestHost h;
  EXPECT_EQ(Item("[FORMAT_RANGE_VALUE_UNIT:2]")->CalcAndFormat(123456.0, 234567.0), "12.35万~23.46万");
  EXPECT_EQ(Item("[FORMAT_RANGE_VALUE_UNIT_MARKETVALUE:1]")->CalcAndFormat(5e9, std::nan("")), "50亿~-");
  EXPECT_EQ(Item("[FORMATNUMBER:0:0:2]")->CalcAndFormat(1.5, 2.5), "1.50");  // not a range instruction

  EXPECT_EQ(Item("[LASTFORMATDATE]")->CalcAndFormat(20261130, true), "2026-11-30");
  EXPECT_EQ(Item("[LASTFORMATDATE]")->CalcAndFormat(20261130, false), "11-30");
  EXPECT_EQ(Item("[FORMATDATE:MM-DD]")->CalcAndFormat(20261204, true), "2026-12-04");
  EXPECT_EQ(Item("[FORMATDATE:YYYY/MM/DD]")->CalcAndFormat(20261204, true), "2026/12/04");
  EXPECT_TRUE(Item("[FORMATDATE:YYYY-MM]")->IsOnlyShowYearMonth());
  EXPECT_FALSE(Item("[FORMATDATE]")->IsOnlyShowYearMonth());
  EXPECT_FALSE(Item("[FORMATNUMBER:0:0:2]")->IsOnlyShowYearMonth());

  auto price = Item("[FORMATNUMBER:0:0:2]", true);
  EXPECT_EQ(price->CalcAndFormat(12.3456, "", 0.001), "12.346");
  EXPECT_EQ(price->CalcAndFormat(12.3456, "", 0.0), "12.35");
  EXPECT_EQ(price->CalcAndFormat(3986.4, "", 0.2), "3986.4");
  EXPECT_EQ(Item("[FORMATNUMBER:0:0:2]", false)->CalcAndFormat(12.3456, "", 0.001), "12.35");
  EXPECT_EQ(Item("%.2f", true)->CalcAndFormat(12.34, "", 0.5), "12.3");
  EXPECT_EQ(price->CalcAndFormatByKoraCode(418.2, "", "00700.HK"), "418.2");   // step 0.2
  EXPECT_EQ(price->CalcAndFormatByKoraCode(3.456, "", "510050.SH"), "3.456");  // step 0.001
  EXPECT_EQ(price->CalcAndFormatByKoraCode(3.456, "", "NOPE.XX"), "3.46");     // no security: no step
  EXPECT_EQ(price->CalcAndFormatBySecurity(3.456, "", nullptr), "3.46");
  EXPECT_EQ(Item("[ROUNDUNITSYMBOL:2]")->CalcAndFormat(1234567, "USD", 0.0), "$123.46万");

  EXPECT_EQ(Item("[FORMATSTRING:WARRANTTYPE]")->FormatSpecString("2"), "认沽");
  EXPECT_EQ(Item("[FORMATSTRING:WARRANTTYPE]")->FormatSpecString("text"), "text");
  EXPECT_EQ(Item("%s股")->FormatSpecString("1000"), "1000股");
  EXPECT_EQ(Item("")->FormatSpecString("浦发银行"), "浦发银行");
  EXPECT_EQ(Item("[FORMATNUMBER:0:0:2]")->FormatSpecString("12"), "12");
}

TEST(FormatItemTest, OtherLanguagesUseTheirTextsAndTheEnglishLadder) {
  struct LanguageCase {
    const char* language;
    const char* format;
    double value;
    const char* text;
  };
  const LanguageCase cases[] = {
      {"ENG", "[FORMATNUMBER:0:0:2:1]", 123456789, "123.46M"},
      {"ENG", "[TRADINGSTATUS]", 1, "Trading"},
      {"ENG", "[FORMAT_TRUE_FALSE]", 1, "Yes"},
      {"ENG", "[FORMATSEASONRPT]", 20260630, "2026 Interim"},
      {"ENG", "[FORMATYEARRPT]", 2025, "FY2025"},
      {"ENG", "[FORMAT_RANGE_VALUE_UNIT_STOCKVOL:2]", 1.5e9, "1.50B shares"},
      {"ENG", "[ROUNDUNITC:2]", 123456, "12.35万"},
      {"ENG", "[FORMATSTRING:DAYFOLLOWED]", 4, "Up 4 days"},
      {"ENG", "[MANAGEMENTCOMPANY]", 1, "China AMC"},
      {"CHT", "[FORMATNUMBER:0:0:2:1]", 123456789, "1.23億"},  // both Chinese editions count in 万 / 萬
      {"ENS", "[FORMATNUMBER:0:0:2:1]", 11520, "11.52K"},
      {"CHT", "[TRADINGSTATUS]", 3, "交易結束"},
      {"CHT", "[ROUNDUNITC:2]", 123456, "12.35萬"},
  };
  std::string language;
  std::unique_ptr<TestHost> h;
  for (const LanguageCase& c : cases) {
    SCOPED_TRACE(std::string(c.language) + " " + c.format);
    if (language != c.language) {
      h.reset();
      language = c.language;
      h = std::make_unique<TestHost>([&](minihost::HostSettings& s) { s.language = language; });
      ASSERT_TRUE((*h)->StartPackage());
    }
    EXPECT_EQ(Item(c.format)->CalcAndFormat(c.value), c.text);
  }
}

TEST(FormatItemTest, ColoursCompareWithZeroAFieldOrAValue) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());  // the style manager
  auto item = Item("[FORMATNUMBER:0:0:2]");
  item->SetColors("RiseColor", "FallColor", "EqualColor", "VolumeColor");
  struct ColourCase {
    double value;
    const char* name;
  };
  for (const ColourCase& c :
       {ColourCase{0.5, "RiseColor"}, ColourCase{-0.5, "FallColor"}, ColourCase{0, "EqualColor"},
        ColourCase{5e-9, "EqualColor"}, ColourCase{-2e-8, "FallColor"}, ColourCase{std::nan(""), "VolumeColor"}}) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(item->GetColorName(c.value, false), c.name);
    EXPECT_EQ(item->GetColorName(c.value, true), "VolumeColor");
  }
  EXPECT_EQ(item->GetColorName(10.2, 10.36, false), "FallColor");
  EXPECT_EQ(item->GetColorName(10.36, 10.36, false), "EqualColor");

  // Colours of the current style (Dark): rise red, fall green; an unknown name gives the default colour.
  EXPECT_EQ(item->GetColor(nullptr, 1.0, false), 0xFF3232u);
  EXPECT_EQ(item->GetColor(nullptr, 1.0, 2.0, false), 0x00E600u);
  std::map<std::string, double> fields{{"PreClose", 10.0}, {"High", 12.0}};
  const auto reader = [&](const std::string& name) { return fields.count(name) ? fields[name] : 0.0; };
  EXPECT_EQ(item->GetColor(nullptr, 11.0, "PreClose", reader, false), 0xFF3232u);
  EXPECT_EQ(item->GetColor(nullptr, 11.0, "High", reader, false), 0x00E600u);
  auto odd = Item("");
  odd->SetColors("NoSuchColour", "", "", "");
  EXPECT_EQ(odd->GetColor(nullptr, 1.0, false), 0xE6E6E6u);
  EXPECT_EQ(odd->GetColor(nullptr, -1.0, false), 0xE6E6E6u);  // an empty name too

  // The number fields' rule follows the compare text.
  struct RuleCase {
    const char* compare;
    double value;
    const char* name;
  };
  for (const RuleCase& c : {RuleCase{"{$ZERO}", 0.1, "RiseColor"}, RuleCase{"{$zero}", -0.1, "FallColor"},
                            RuleCase{"PreClose", 9.5, "FallColor"}, RuleCase{"{$PreClose}", 10.0, "EqualColor"},
                            RuleCase{"", 5.0, "VolumeColor"}, RuleCase{"PreClose", std::nan(""), "VolumeColor"}}) {
    SCOPED_TRACE(c.compare);
    item->SetCompareTo(c.compare);
    EXPECT_EQ(item->GetDoubleFormatColorName(c.value, reader), c.name);
  }
  item->SetCompareTo("PreClose");
  EXPECT_EQ(item->GetDoubleFormatColorName(11.0, nullptr), "VolumeColor");  // nobody to ask
  fields["PreClose"] = kHQNullValue;
  EXPECT_EQ(item->GetDoubleFormatColorName(11.0, reader), "VolumeColor");
  EXPECT_EQ(item->GetDoubleFormatColor(nullptr, 11.0, reader), 0xFFFF00u);

  // Another style.
  auto light = host::Query<IKrHQStyleMgr>(h->Registry().Find(IKrHQStyleMgr::IID));
  ASSERT_TRUE(light->SetCurrentStyle("Light"));
  EXPECT_EQ(item->GetColor(nullptr, 1.0, false), 0xD00000u);
}

}  // namespace
}  // namespace kdp
