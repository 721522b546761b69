// The query strings of the news processors, their subscription parameters and sector IDs.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kdp/host/str_hash.h"
#include "lux/lux_news_processor.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using Params = std::vector<std::pair<std::string, std::string>>;

constexpr std::string_view kPlain = "name=getlist&mediatype=01&param_v2=";

template <class Processor = TKrLuxNewsDataProcessor>
std::shared_ptr<Processor> With(const Params& params) {
  auto processor = std::make_shared<Processor>();
  processor->SetSectorName("个股新闻");
  for (const auto& [name, value] : params) processor->SetIndexValue(name, value);
  return processor;
}

std::string HistoryQuery(TKrLuxDataRequestInfo& processor) { return testing::QueryOf(processor.CreateReqMsg()); }

std::string Expected(std::string_view conditions, std::string_view tail) {
  return std::string(kPlain) + std::string(conditions) + std::string(tail) + testing::kNewsFields;
}

TEST(LuxNewsQuery, ConditionsFromTheParametersAndThePageFromTheRowsAlreadyHeld) {
  struct Case {
    const char* what;
    Params params;
    std::string conditions;
    std::string tail = "&pagesize=50&pageno=1";
  };
  const std::vector<Case> cases{
      {"two codes; newstype is not sent",
       {{"newstype", "1"}, {"koracode", "600000.SH,000001.SZ"}},
       "koracode:600000.SH OR koracode:000001.SZ"},
      {"a list under another name", {{"A", "1"}, {"B", "2,3"}}, "A:1 AND (B:2 OR B:3)"},
      {"codes, then the rest bracketed, in parameter order",
       {{"channel", "1,5"}, {"koracode", "600000.SH"}, {"v2025", "0402"}},
       "channel:1 OR channel:5 AND (koracode:600000.SH) AND (v2025:0402)"},
      {"brackets in a code", {{"koracode", "ABC(1).HK"}}, "koracode:ABC_1_.HK"},
      {"an ampersand in a code", {{"koracode", "A&B.SH"}}, "koracode:A\\\\&B.SH"},
      {"names in another case",
       {{"KoraCode", "600000.SH,600036.SH"}, {"NEWSTYPE", "2"}},
       "koracode:600000.SH OR koracode:600036.SH"},
      {"manager's parameters stay home",
       {{"datasize", "20"}, {"startid", "N9"}, {"SaveData", "True"}, {"SaveHisNum", "True"}, {"uniquetag", "x"}},
       ""},
      {"dates alone", {{"startDate", "20261201"}, {"endDate", "20261204"}}, "date1:[20261201 TO 20261204]"},
      {"dates after conditions",
       {{"startDate", "20261201"}, {"koracode", "600000.SH"}, {"endDate", "20261204"}},
       "koracode:600000.SH;date1:[20261201 TO 20261204]"},
      {"one date is no range", {{"startDate", "20261201"}, {"koracode", "600000.SH"}}, "koracode:600000.SH"},
      // The page number follows the rows already held.
      {"an empty page size is the default", {{"pagesize", ""}, {"StartNum", "100"}}, "", "&pagesize=50&pageno=3"},
      {"none held", {{"pagesize", "20"}, {"StartNum", "0"}}, "", "&pagesize=20&pageno=1"},
      {"a page held", {{"pagesize", "20"}, {"StartNum", "20"}}, "", "&pagesize=20&pageno=2"},
      {"two pages held", {{"pagesize", "20"}, {"StartNum", "40"}}, "", "&pagesize=20&pageno=3"},
      {"two pages and a row held", {{"pagesize", "20"}, {"StartNum", "41"}}, "", "&pagesize=20&pageno=4"},
      {"pages of the default size held", {{"StartNum", "120"}}, "", "&pagesize=50&pageno=4"},
      {"a page number given", {{"pagesize", "20"}, {"StartNum", "40"}, {"pageno", "7"}}, "", "&pagesize=20&pageno=7"},
      {"a page number that is no number", {{"pageno", "next"}}, "", "&pagesize=50&pageno=0"},
      {"a page size that is no number", {{"pagesize", "all"}, {"StartNum", "40"}}, "", "&pagesize=all&pageno=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HistoryQuery(*With(c.params)), Expected(c.conditions, c.tail));
  }
}

TEST(LuxNewsQuery, SortGoesWithHistoryOnlyAndSearchesSendItAsConditions) {
  const Params params{{"koracode", "600000.SH"}, {"Sort", "date desc"}, {"SortBeginDate", "20261101"},
                      {"SortEndDate", "  "},     {"StartNum", "40"},    {"pagesize", "20"},
                      {"SaveData", "False"},     {"pageno", "2"}};
  EXPECT_EQ(HistoryQuery(*With(params)),
            Expected("koracode:600000.SH", "&pagesize=20&pageno=2&begindate=20261101&sort=date desc"));
  EXPECT_EQ(testing::QueryOf(With(params)->CreateSearchMsg()),
            Expected("koracode:600000.SH AND (Sort:date desc) AND (SortBeginDate:20261101) AND (SortEndDate:  ) AND "
                     "(StartNum:40) AND (SaveData:False)",
                     "&pagesize=20&pageno=2"));
  // A search does not compute a page from StartNum.
  EXPECT_EQ(testing::QueryOf(With({{"pagesize", "20"}})->CreateSearchMsg()), Expected("", "&pagesize=20&pageno=0"));
}

TEST(LuxNewsQuery, FamilyPrefixesAndTheEditionTest) {
  const Params params{{"koracode", "X(1).HK,Y.HK"}, {"B", "2,3"}, {"startDate", "1"}, {"endDate", "2"}, {"Sort", "d"}};
  const std::string chinese = HistoryQuery(*With<TKrLuxLEDNewsDataProcessor>(params));
  EXPECT_EQ(chinese,
            "name=getlist&mediatype=01&returnfields=&param_v2=koracode:X_1_.HK OR koracode:Y.HK AND (B:2 OR B:3);"
            "date1:[1 TO 2]&type=01,03,16&pagesize=50&pageno=1&sort=d" +
                testing::kNewsFields);
  // Subject news: no brackets, no code escaping, no dates or sort, one prefix for every edition.
  const std::string subject =
      "name=getlist&mediatype=13&param_v2=koracode:X(1).HK OR koracode:Y.HK AND B:2 OR "
      "B:3&pagesize=50&pageno=1" +
      testing::kNewsFields;
  EXPECT_EQ(HistoryQuery(*With<TKrLuxSubjectNewsDataProcessor>(params)), subject);

  testing::TestHost h([](minihost::HostSettings& s) { s.language = "ENS"; });
  EXPECT_EQ(HistoryQuery(*With(params)).substr(0, 45), "name=getlist&mediatype=01&lng=01&param_v2=kor");
  EXPECT_EQ(HistoryQuery(*With<TKrLuxLEDNewsDataProcessor>(params)).substr(0, 56),
            "name=getlist&mediatype=01&lng=01&returnfields=&param_v2=");
  EXPECT_EQ(HistoryQuery(*With<TKrLuxSubjectNewsDataProcessor>(params)), subject);
  EXPECT_EQ(HistoryQuery(*With<TKrLuxCommNewsDataProcessor>(params)).substr(0, 45),
            "name=getlist&mediatype=16&lng=01&param_v2=kor");
  EXPECT_EQ(h->Logger().CountContaining("CreateReqMsg MessageFormat=name=getlist&mediatype=13&param_v2=koracode:X(1)"),
            1u);
}

TEST(LuxNewsQuery, TheBaseProcessorSendsNothing) {
  TKrLuxDataRequestInfo base;
  EXPECT_EQ(base.CreateReqMsg(), nullptr);
  EXPECT_EQ(base.CreateSearchMsg(), nullptr);
  EXPECT_EQ(base.CreateSubInfo(SITIndex), nullptr);
}

TEST(LuxNewsSubscription, ConditionsTakeTheCodesAs2002AndLeaveTheManagersParametersOut) {
  auto processor = With({{"pagesize", "20"},
                         {"koracode", "600000.SH,000001.SZ"},
                         {"SaveData", "True"},
                         {"uniquetag", "IND.BANK"},
                         {"newstype", "1"}});
  auto conditions = processor->CreateSubInfo(SITIndexQuota);
  ASSERT_NE(conditions, nullptr);
  EXPECT_EQ(testing::QuotaText(*conditions), "pagesize=20; 2002=600000.SH,000001.SZ; newstype=1");
}

TEST(LuxNewsSectorID, TheRequestHashNamesTheStore) {
  testing::TestHost h;
  auto plain = With({{"koracode", "600000.SH"}});
  EXPECT_EQ(plain->GetReqInfoHashCode(), 333197635u);  // StrHash("个股新闻")
  EXPECT_EQ(plain->GetSectorID(), "333197635");
  EXPECT_EQ(With({{"uniquetag", "   "}})->GetSectorID(), "333197635");

  // A tag naming a sector: the tag, the column and the sector's codes.
  const std::string bank =
      "600000.SH,600015.SH,600016.SH,600036.SH,601166.SH,601169.SH,601288.SH,601328.SH,601398.SH,601939.SH,"
      "601988.SH,000001.SZ,002142.SZ";
  EXPECT_EQ(With({{"uniquetag", "IND.BANK"}})->GetReqInfoHashCode(), host::StrHash("IND.BANK个股新闻" + bank));
  EXPECT_NE(With({{"uniquetag", "IND.BANK"}})->GetSectorID(), With({{"uniquetag", "MY_HK"}})->GetSectorID());
  // A tag naming no sector: the column, then the tag.
  EXPECT_EQ(With({{"uniquetag", "NO.SUCH"}})->GetReqInfoHashCode(), host::StrHash("个股新闻NO.SUCH"));
  EXPECT_TRUE(h->Logger().Contains("NO.SUCH"));

  auto userDefined =
      With<TKrLuxUserDefineNewsDataProcessor>({{"USER_DEFINE_NODE_NAME", "我的新闻"}, {"koracode", "600000.SH"}});
  EXPECT_EQ(userDefined->GetSectorID(), "个股新闻我的新闻");
  EXPECT_EQ(userDefined->GetIndexQuotaCount(), 1);
  EXPECT_EQ(HistoryQuery(*userDefined), Expected("koracode:600000.SH", "&pagesize=50&pageno=1"));
}

}  // namespace
}  // namespace kdp
