// The stock type map: loading (every element kind, the errors that end a load and what stays), the
// resolution chain, the map queries, the F5 page choice, and start-up publication after loading; and the
// answers kept for codes asked again: the table they sit in (every code finds its own answer, exactly as
// written, through growth and after a reset), its bound, and which calls may use it (the main thread of the
// host installed now, however the manager was made).
#include "refdata/stock_type_manager.h"

#include <atomic>
#include <clocale>
#include <thread>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config_files.h"
#include "refdata/answers_by_code.h"
#include "refdata/permission.h"
#include "refdata/stock_type_info.h"
#include "test_host.h"

namespace kdp {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::TestHost;

// A host security with the fields resolution reads: code, type and quote category.
std::shared_ptr<host::IKrSecurity> Sec(std::string code, std::string type, int category = 0) {
  minihost::SecurityRecord record;
  record.koraCode = std::move(code);
  record.stockType = std::move(type);
  record.category = category;
  return std::make_shared<minihost::MiniSecurity>(std::move(record));
}

// What the map gave a security: sessions, clearing time, clock, index, default sector, history folder,
// whether the sessions are its own, trading, menu state, the two volume divisors, open and close,
// category and list status.
std::string MapFields(IKrHQSecurityInfo& i) {
  return fmt::format("{}|{}|{}|{}|{}|{}|own {}|trade {}|menu {}|div {} {}|{} {}|{}|{}",
                     fmt::join(i.GetMarketTimeSep(), ","), i.GetMarketClean(), i.GetCity(), i.GetIndexCode(),
                     i.GetdefaultSector(), i.GetHisDir(), i.GetUseOwnMarketTimeSep(), i.GetAllowTrade(),
                     i.GetMenuState(), i.GetKLineHisVolumeDiv(), i.GetKLineRealTimeVolumeDiv(), i.GetMarketOpen(),
                     i.GetMarketClose(), i.GetCategory(), i.GetListStatus());
}

constexpr const char* kMapXml = R"xml(<?xml version="1.0"?>
<Map>
  <!-- a comment between the elements is skipped -->
  <worldclock>
    <zone city="Beijing" gmt="8"/>
    <zone city="New York" gmt="-5" summerdiff="1" summerstart="2016-03-13 02:00:00" summerend="2016-11-06 02:00:00"/>
    <zone city="Kolkata" gmt="5.5"/>
  </worldclock>
  <globalindex>
    <index code="DJI.GI" StockType="GIDX" Suffix=".GI" IndexCode="DJI.GI" defaultSector="GI_US" HisDir="GI_NY" MarketTimeSep="930,1600" clock="New York"/>
    <index code="bare.gi" MarketClean="1234"/>
  </globalindex>
  <HardCodes>
    <code name="USDCNY.FX" MapStockType="FX" MapSuffix=".FX"/>
    <code name="019547.SH" MapStockType="BOND" MapSuffix=".SH"/>
    <code name="LOST.XX" MapStockType="NONE" MapSuffix=".XX"/>
  </HardCodes>
  <StockTypeMap>
    <type id="1" StockType="A" Suffix=".SH" HQType="A.SH" IndexCode="000001.SH" defaultSector="SH_A" HisDir="SHase" MarketTimeSep="930, 1130 ,1300,1500" AllowTrade="true" menuState="5" KLineHisVolumeDiv="100" defaultCode="600000.SH">
      <F5Page permission="default">F5_A</F5Page>
      <F5Page permission="EQ_HQ_SH_L2">F5_A_L2</F5Page>
    </type>
    <!-- comments inside the map are skipped -->
    <type id="2" StockType="A" Suffix=".SZ" HQType="A.SZ" MarketTimeSep="930,1130,1300,1500"/>
    <type id="41" StockType="FUT" Suffix=".SHF" HQType="SHF" MarketTimeSep="2100,230,900,1015,1030,1130,1330,1500" menuState="x"/>
    <type id="44" StockType="FUT" Suffix="" HQType="FUT" MarketTimeSep="900,1500"/>
    <type id="45" StockType="FUT" Suffix=".EMPTY" HQType="FUT"/>
    <type id="7" StockType="BOND" Suffix=".SH" HQType="Z.SH" MarketTimeSep="930,1130,1300,1500"/>
    <type id="91" StockType="FX" Suffix=".FX" HQType="FX.FX" MarketTimeSep="600,600" clock="London"/>
    <type id="50" StockType="GIDX" Suffix=".GI" HQType="GI" MarketTimeSep="900,1600" clock="Tokyo"/>
    <type id="90" StockType="S" Suffix=".SH" HQType="UD"><F5Page permission="">F5_UD</F5Page></type>
    <type id="60" Category="300" HQType="I.KI" MarketTimeSep="930,1130,1300,1500"><F5Page permission="default"/></type>
    <type id="61" Category="300" HQType="DROPPED"/>
    <type id="62" Category="200" HQType="A.SH"/>
  </StockTypeMap>
  <unknown><type id="x"/></unknown>
</Map>)xml";

class StockTypeManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { manager_->LoadStockTypeMapXml(kMapXml); }

  TestHost host_;
  std::shared_ptr<TKrHQStockTypeManagerImpl> manager_ = std::make_shared<TKrHQStockTypeManagerImpl>(8);
};

// The F5 page too: the sample user holds EQ_HQ_SH_L1 but not EQ_HQ_SH_L2; market and STAR indexes have
// pages of their own.
TEST_F(StockTypeManagerTest, ResolvesByCategoryThenTypeAndSuffixThenTypeAloneThenTheDefault) {
  struct Case {
    std::shared_ptr<host::IKrSecurity> security;
    const char* resolved;  // HQ type, map entry ID, suffix, stock type and F5 page
  };
  const Case cases[] = {
      {Sec("600000.SH", "A"), "A.SH|1|.SH|A|F5_A"},
      {Sec("000001.SZ", "a"), "A.SZ|2|.SZ|A|"},               // keys compare in upper case; no pages
      {Sec("881001.ki", "IDX", 300), "I.KI|60||IDX|F5_S_A"},  // the category wins; its type stays the host's
      {Sec("600001.SH", "A", 999), "A.SH|1|.SH|A|F5_A"},      // an unknown category is ignored
      {Sec("000300.SH", "A"), "A.SH|1|.SH|A|F5_S_A"},
      {Sec("000688.SH", "A"), "A.SH|1|.SH|A|F5_S_K"},
      {Sec("AU2702.SHF", "FUT"), "SHF|41|.SHF|FUT|"},
      {Sec("SC2703.INE", "FUT"), "FUT|44||FUT|"},   // the type alone
      {Sec("XYZ.QQ", "ZZZ"), "A.SH|1|.SH|A|F5_A"},  // the default entry
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.security->GetKoraCode());
    auto info = manager_->GetSecurityInfo(c.security);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(fmt::format("{}|{}|{}|{}|{}", info->GetHQType(), info->GetHQTypeID(), info->GetExchange(),
                          info->GetStockType(), info->GetF5Page()),
              c.resolved);
    EXPECT_EQ(info->GetKoraCode(), c.security->GetKoraCode());
    EXPECT_EQ(info->GetISecurity(), c.security);
    EXPECT_FALSE(info->GetUseOwnMarketTimeSep());
  }

  // Blanks in the session list are ignored; Beijing is the default clock; open and close are not filled
  // from the map.
  auto a = manager_->GetSecurityInfo(Sec("600000.SH", "A"));
  EXPECT_EQ(MapFields(*a),
            "930,1130,1300,1500|835|Beijing|000001.SH|SH_A|SHase|own false|trade true|menu 5|div 100 1|0 0|0|L");
  EXPECT_EQ(a->GetF5PageFreePad(" "), "F5_A");
  EXPECT_EQ(a->GetF5PageFreePad("pad1"), "F5_A");  // the map never fills pad permissions

  // Setters change the info, never the map (the city: the kept answers' test).
  a->SetMarketTimeSep({900, 1000});
  EXPECT_EQ(manager_->GetSecurityInfo(Sec("600000.SH", "A"))->GetMarketTimeSep().size(), 4u);

  // Cross-day sessions: those after midnight fall on the next day.
  auto night = manager_->GetSecurityInfo(Sec("AU2702.SHF", "FUT"));
  EXPECT_EQ(night->GetMenuState(), 2147483647);  // an unreadable menu state gives the default
  EXPECT_THAT(TransMarketTimeSepDateTimeToMinute(night->GetMarketTimeSepDate()),
              ElementsAre(1260, 1590, 1980, 2055, 2070, 2130, 2250, 2340));
}

TEST_F(StockTypeManagerTest, CodesTheHostDoesNotKnow) {
  // User-defined codes: the "S..SH" entry and a substitute security with empty codes.
  for (const char* code : {"MYBASKET.UD", "x.ud"}) {
    SCOPED_TRACE(code);
    auto info = manager_->GetSecurityInfo(code);
    EXPECT_EQ(info->GetHQType(), "UD");
    EXPECT_EQ(info->GetF5Page(), "F5_UD");
    ASSERT_NE(info->GetISecurity(), nullptr);
    EXPECT_EQ(info->GetStockCode(), "");
    EXPECT_EQ(info->GetKoraCode(), "");
    EXPECT_EQ(info->GetTradeSpan(), "");
  }
  // Hard codes, also behind a quote prefix; the substitute carries the stripped code.
  struct Case {
    const char* code;
    const char* hqType;
    const char* stockCode;
  };
  for (const Case& c : {Case{"USDCNY.FX", "FX.FX", "USDCNY.FX"}, Case{"usdcny.fx", "FX.FX", "usdcny.fx"},
                        Case{"YTM_019547.SH", "Z.SH", "019547.SH"}, Case{"LOST.XX", "", "LOST.XX"}}) {
    SCOPED_TRACE(c.code);
    auto info = manager_->GetSecurityInfo(c.code);
    EXPECT_EQ(info->GetHQType(), c.hqType);  // a hard code whose map entry is missing stays unfilled
    EXPECT_EQ(info->GetStockCode(), c.stockCode);
    EXPECT_EQ(info->GetCategory(), 0);
  }
  EXPECT_EQ(manager_->GetSecurityInfo("USDCNY.FX")->GetCity(), "London");
  EXPECT_TRUE(manager_->IsHardCode("YTM_019547.SH"));
  EXPECT_FALSE(manager_->IsHardCode("019548.SH"));

  // Anything else resolves as the host's 600000.SH.
  for (const char* code : {"NOPE.XX", "FP_600000.SH", "", "NP_XYZ.QQ"}) {
    SCOPED_TRACE(code);
    auto info = manager_->GetSecurityInfo(code);
    EXPECT_EQ(info->GetKoraCode(), "600000.SH");
    EXPECT_EQ(info->GetHQType(), "A.SH");
  }
  // A host security object for the code is used as it is (019547.SH is a known bond, not hard-coded).
  auto bond = manager_->GetSecurityInfo("019547.SH");
  EXPECT_EQ(bond->GetHQType(), "Z.SH");
  EXPECT_EQ(bond->GetStockName(), "16国债19");
  // No object at all resolves 600000.SH too.
  EXPECT_EQ(manager_->GetSecurityInfo(std::shared_ptr<host::IKrSecurity>())->GetKoraCode(), "600000.SH");
}

// Stands for a security service a module registers at run time: it knows 600000.SH as a future.
class FutureSecurities final : public host::Implements<host::IKrSecurityMgrHQ> {
 public:
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code) override {
    return code == "600000.SH" ? future_ : nullptr;
  }
  std::shared_ptr<host::IKrSecuritys> GetSecuritys(const std::vector<std::string>&) override { return nullptr; }

 private:
  std::shared_ptr<host::IKrSecurity> future_ = Sec("600000.SH", "FUT");
};

TEST_F(StockTypeManagerTest, AnswersAreKeptUntilTheMapTheHostsSecuritiesOrACallerChangeThem) {
  auto first = manager_->GetSecurityInfo("600000.SH");
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), first);
  EXPECT_EQ(first->GetHQType(), "A.SH");
  auto security = host_->Securities().GetSecurity("600000.SH");
  auto bySecurity = manager_->GetSecurityInfo(security);
  EXPECT_EQ(manager_->GetSecurityInfo(security), bySecurity);
  EXPECT_EQ(manager_->GetSecurityInfo(std::shared_ptr<host::IKrSecurity>()),
            manager_->GetSecurityInfo(std::shared_ptr<host::IKrSecurity>()));

  // A caller that changes its answer keeps it to itself from then on.
  first->SetCity("Tokyo");
  auto fresh = manager_->GetSecurityInfo("600000.SH");
  EXPECT_NE(fresh, first);
  EXPECT_EQ(fresh->GetCity(), "Beijing");
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), fresh);

  // The host's securities change: a module registers a service that knows the code otherwise, and
  // withdraws it again.
  host_->Registry().RegisterService(host::IKrSecurityMgrHQ::IID, 0, std::make_shared<FutureSecurities>());
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH")->GetHQType(), "FUT");
  EXPECT_EQ(manager_->GetSecurityInfo(security)->GetHQType(), "A.SH");  // the object asked about is the same
  host_->Registry().UnregisterService(host::IKrSecurityMgrHQ::IID, 0);
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH")->GetHQType(), "A.SH");

  // The map changes: the code becomes a global index entry of its own.
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH")->GetIndexCode(), "000001.SH");
  manager_->LoadStockTypeMapXml(
      R"(<Map><globalindex><index code="600000.SH" IndexCode="000300.SH"/></globalindex></Map>)");
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH")->GetIndexCode(), "000300.SH");
  EXPECT_EQ(manager_->GetSecurityInfo(security)->GetIndexCode(), "000300.SH");
}

// The quote engine's configuration resolves on the engine's threads while widgets resolve on the main
// thread and the host's securities change under both: the engine's answers are its own, made afresh, and
// right; the kept answers are the main thread's alone.
TEST_F(StockTypeManagerTest, OtherThreadsResolveWithoutTheKeptAnswers) {
  auto security = host_->Securities().GetSecurity("600519.SH");
  constexpr int kRounds = 300;
  std::atomic<int> engineRounds{0}, mainRounds{0};
  std::atomic<bool> engineWrong{false};
  std::vector<std::shared_ptr<IKrHQSecurityInfo>> engineAnswers;
  std::thread engine([&] {
    while (engineRounds < kRounds || mainRounds < kRounds) {
      auto info = manager_->GetSecurityInfo(security);
      auto hard = manager_->GetSecurityInfo("USDCNY.FX");
      if (info->GetHQType() != "A.SH" || hard->GetHQType() != "FX.FX") engineWrong = true;
      if (engineAnswers.size() < 8) engineAnswers.push_back(info);
      ++engineRounds;
    }
  });
  auto services = std::make_shared<FutureSecurities>();
  std::shared_ptr<IKrHQSecurityInfo> kept;
  while (mainRounds < kRounds || engineRounds < kRounds) {
    const bool registered = mainRounds % 2 == 0;
    if (registered) {
      host_->Registry().RegisterService(host::IKrSecurityMgrHQ::IID, 0, services);
    } else {
      host_->Registry().UnregisterService(host::IKrSecurityMgrHQ::IID, 0);
    }
    kept = manager_->GetSecurityInfo(security);
    EXPECT_EQ(manager_->GetSecurityInfo(security), kept);
    EXPECT_EQ(manager_->GetSecurityInfo("600000.SH")->GetHQType(), registered ? "FUT" : "A.SH");
    ++mainRounds;
  }
  engine.join();
  EXPECT_FALSE(engineWrong);
  ASSERT_GE(engineAnswers.size(), 2u);
  EXPECT_NE(engineAnswers[0], engineAnswers[1]);  // made afresh each time
  EXPECT_NE(engineAnswers[0], kept);
}

TEST_F(StockTypeManagerTest, GlobalIndexEntriesOverrideTheResolvedType) {
  // A host security of type GIDX: the entry's clock (not Tokyo, the type's), sessions, index, sector and
  // folder; the rest are the defaults, as the type sets nothing else.
  auto dji = manager_->GetSecurityInfo("DJI.GI");
  EXPECT_EQ(dji->GetHQType(), "GI");
  EXPECT_EQ(MapFields(*dji),
            "930,1600|835|New York|DJI.GI|GI_US|GI_NY|own true|trade false|menu 2147483647|div 1 1|0 0|0|L");

  // Behind a quote prefix, on the default entry.
  auto prefixed = manager_->GetSecurityInfo("NP_DJI.GI");
  EXPECT_EQ(prefixed->GetHQType(), "A.SH");
  EXPECT_EQ(prefixed->GetExchange(), ".GI");
  EXPECT_EQ(prefixed->GetCity(), "New York");

  // An entry without values keeps the type's, but its (empty) sessions decide the clearing time.
  auto bare = manager_->GetSecurityInfo(Sec("BARE.GI", "GIDX"));
  EXPECT_EQ(MapFields(*bare), "900,1600|0|Tokyo||||own true|trade false|menu 2147483647|div 1 1|0 0|0|L");
}

TEST_F(StockTypeManagerTest, MapQueriesByIDAndName) {
  EXPECT_EQ(manager_->GetHQTypeByID(41), "SHF");
  EXPECT_EQ(manager_->GetHQTypeByID(60), "I.KI");  // category entries are searched too
  EXPECT_EQ(manager_->GetHQTypeByID(61), "");      // the duplicate category was dropped
  EXPECT_EQ(manager_->GetHQTypeByID(12345), "");

  EXPECT_EQ(manager_->GetHQTypeIDByName("A.SH"), 62);  // a category entry answers first
  EXPECT_EQ(manager_->GetHQTypeIDByName("a.sh"), 0);   // exact names
  // Two map entries with one HQ type: the last in key order ("FUT." before "FUT..EMPTY").
  EXPECT_EQ(manager_->GetHQTypeIDByName("FUT"), 45);
  EXPECT_EQ(manager_->GetHQTypeIDByName("SHF"), 41);

  EXPECT_EQ(manager_->GetHQMarketOpenByID(41), 2100);
  EXPECT_EQ(manager_->GetHQMarketCloseByID(41), 1500);
  EXPECT_EQ(manager_->GetHQMarketCleanByID(41), 2005);
  EXPECT_EQ(manager_->GetHQMarketOpenByID(45), 0);  // no sessions
  EXPECT_EQ(manager_->GetHQMarketCloseByID(45), 0);
  EXPECT_EQ(manager_->GetHQMarketCleanByID(45), 0);
  EXPECT_EQ(manager_->GetHQMarketOpenByID(60), 0);  // category entries are not searched
  EXPECT_EQ(manager_->GetHQMarketCleanByID(999), 0);

  ASSERT_EQ(manager_->GetCount(), 11);
  EXPECT_EQ(manager_->GetItem(0).Category, 200);  // categories first, in order
  EXPECT_EQ(manager_->GetItem(1).HQType, "I.KI");
  EXPECT_EQ(manager_->GetItem(1).F5Page, "F5_A");  // an empty F5Page text means F5_A
  EXPECT_EQ(manager_->GetItem(2).HQType, "A.SH");  // then the map by key: "A..SH"
  EXPECT_EQ(manager_->GetItem(2).DefaultCode, "600000.SH");
  EXPECT_EQ(manager_->GetItem(2).F5PageNamesStr, ";F5_A_L2");
  EXPECT_EQ(manager_->GetItem(2).F5PermissionsStr, ";EQ_HQ_SH_L2");
  EXPECT_EQ(manager_->GetItem(10).HQType, "UD");  // "S..SH" sorts last
  EXPECT_EQ(manager_->GetItem(11).HQType, "");
  EXPECT_EQ(manager_->GetItem(-1).StockID, 0);
}

TEST(StockTypeMapLoadTest, ErrorsEndTheLoadAndKeepWhatWasRead) {
  testing::ScratchDir etc;  // no zone file
  TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc.Path()); });
  const std::string zones = R"xml(<worldclock><zone city="Beijing" gmt="8"/></worldclock>)xml";
  const std::string entry = R"xml(<type id="1" StockType="A" Suffix=".SH" HQType="A.SH"/>)xml";
  struct Case {
    const char* name;
    std::string body;
    const char* message;  // "" when the load succeeds
    int count;            // map entries afterwards
    int zones;            // world clock zones afterwards
  };
  const Case cases[] = {
      {"bad gmt", "<worldclock><zone city='X' gmt='8,5'/></worldclock>", "'8,5' is not a valid floating point value", 0,
       0},
      {"comment in worldclock", "<worldclock><zone city='A' gmt='1'/><!-- note --></worldclock>",
       "is not a valid floating point", 0, 1},
      {"bad summer start",
       "<worldclock><zone city='A' gmt='1' summerstart='2016-13-40' summerend='2016-10-01'/></worldclock>",
       "TransSummerStr error. summerstr=2016-13-40", 0, 0},
      {"missing summer end", "<worldclock><zone city='A' gmt='1' summerstart='2016-03-13 02:00:00'/></worldclock>",
       "TransSummerStr error. summerstr=", 0, 0},
      {"bad sessions",
       "<StockTypeMap>" + entry + "<type id='2' StockType='A' Suffix='.SZ' MarketTimeSep='930,abc'/></StockTypeMap>",
       "DecodeMarketTimeSep error. MarketTime=930,abc", 1, 0},
      {"empty session piece",
       "<StockTypeMap><type id='2' StockType='A' Suffix='.SZ' MarketTimeSep='930,,1500'/></StockTypeMap>",
       "DecodeMarketTimeSep error. MarketTime=930,,1500", 0, 0},
      {"bad id", "<StockTypeMap>" + entry + "<type id='two' StockType='A' Suffix='.SZ'/></StockTypeMap>",
       "'two' is not a valid integer value", 1, 0},
      {"missing id", "<StockTypeMap><type StockType='A' Suffix='.SZ'/></StockTypeMap>", "is not a valid integer value",
       0, 0},
      {"duplicate key", "<StockTypeMap>" + entry + "<type id='3' StockType='a' Suffix='.sh'/></StockTypeMap>",
       "Duplicates not allowed", 1, 0},
      {"duplicate global index", "<globalindex><index code='DJI.GI'/><index code='dji.gi'/></globalindex>",
       "Duplicates not allowed", 0, 0},
      {"zones stay after a later error", zones + "<StockTypeMap><type id='x'/></StockTypeMap>", "not a valid integer",
       0, 1},
      {"bad divisor", "<StockTypeMap><type id='2' StockType='A' Suffix='.SZ' KLineHisVolumeDiv='ten'/></StockTypeMap>",
       "'ten' is not a valid floating point value", 0, 0},
      {"comments and unknown elements",
       zones + "<!-- c --><other/><StockTypeMap><!-- c -->" + entry + "</StockTypeMap>", "", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TKrHQStockTypeManagerImpl manager(8);
    std::string message;
    try {
      manager.LoadStockTypeMapXml("<Map>" + c.body + "</Map>");
    } catch (const EStockTypeMapError& e) {
      message = e.what();
    }
    if (std::string(c.message).empty()) {
      EXPECT_EQ(message, "");
    } else {
      EXPECT_THAT(message, HasSubstr(c.message));
    }
    EXPECT_EQ(manager.GetCount(), c.count);
    EXPECT_EQ(static_cast<int>(manager.WorldClock().GetCityTimeZones().size()), c.zones);
  }

  TKrHQStockTypeManagerImpl manager(8);
  EXPECT_THROW(manager.LoadStockTypeMapXml("<Map><worldclock>"), EStockTypeMapError);
  EXPECT_NO_THROW(manager.LoadStockTypeMap("/nonexistent/StockTypeMap.xml"));  // missing: nothing, silently
  EXPECT_EQ(manager.GetCount(), 0);
}

TEST(StockTypeMapLoadTest, NumbersReadTheSameUnderACommaLocale) {
  TestHost h;
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  TKrHQStockTypeManagerImpl manager(8);
  std::string error;
  try {
    manager.LoadStockTypeMapXml(
        "<Map><worldclock><zone city='Kolkata' gmt='5.5'/></worldclock><StockTypeMap>"
        "<type id='1' StockType='A' Suffix='.SH' KLineHisVolumeDiv='0.5'/></StockTypeMap></Map>");
  } catch (const std::exception& e) {
    error = e.what();
  }
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(error, "");
  TTimeZoneInfo zone;
  ASSERT_TRUE(manager.WorldClock().GetTimeZoneInfoByCity("Kolkata", zone));
  EXPECT_DOUBLE_EQ(zone.TimeZone, 5.5);
  EXPECT_DOUBLE_EQ(manager.GetItem(0).klinehisvolumediv, 0.5);
}

TEST(F5PageTest, TheBestRatedPageWinsAndFreeHongKongQuotesNeedTheMainland) {
  struct Case {
    std::vector<std::string> rights;
    int region;
    const char* page;
  };
  const Case cases[] = {
      {{"EQ_HQ_HK_DELAY"}, 0, "F5_HK_DELAY"},
      {{"EQ_HQ_HK_FREERQ"}, 0, "F5_HK"},
      {{"EQ_HQ_HK_FREERQ"}, 1, "F5_HK_DELAY"},  // free quotes do not count outside the mainland
      {{"EQ_HQ_HK_FREERQ", "CM_HQ_HKPRS_MAINLAND_FREE"}, 0, "F5_HK"},
      {{"EQ_HQ_HK_FREERQ", "EQ_HQ_HK_L1"}, 0, "F5_HK"},                    // a tie keeps the earlier page
      {{"EQ_HQ_HK_FREERQ", "EQ_HQ_HK_L1", "EQ_HQ_HK_L2"}, 0, "F5_HK_L2"},  // two rights beat one
      {{"EQ_HQ_HK_L2"}, 3, "F5_HK_L2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.rights) + " region " + std::to_string(c.region));
    TestHost h([&](minihost::HostSettings& s) {
      s.rights = c.rights;
      s.loginRegion = c.region;
    });
    auto manager = std::make_shared<TKrHQStockTypeManagerImpl>(8);
    manager->LoadStockTypeMap(std::string(KDP_SAMPLE_ETC) + "/HQ/Base/StockTypeMap.xml");
    EXPECT_EQ(manager->GetSecurityInfo("00700.HK")->GetF5Page(), c.page);
  }
}

TEST(StockTypeManagerStartupTest, ABrokenMapFailsTheStartUpBeforePublication) {
  testing::ScratchDir etc;
  testing::WriteTextFile(
      etc.File("HQ/Base/StockTypeMap.xml"),
      "<Map><StockTypeMap><type id='1' StockType='A' Suffix='.SH'/><type id='oops'/></StockTypeMap></Map>");
  TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc.Path()); });
  EXPECT_FALSE(h->StartPackage());
  EXPECT_EQ(h->Names().GetIntf("IKrHQSecurityManager"), nullptr);
  EXPECT_EQ(h->Names().GetIntf("IKrWorldClock"), nullptr);
  EXPECT_EQ(h->Registry().Entries().size(), 4u);  // the rows before it (style, skin, forms, sector cache) stay
  EXPECT_TRUE(h->Logger().Contains("'oops' is not a valid integer value"));
}

std::shared_ptr<TKrHQStockTypeInfoImpl> NewAnswer() { return std::make_shared<TKrHQStockTypeInfoImpl>(nullptr); }

// Codes of every length from 0 to 40 (each branch of the word-wise reading): all zeros, and all zeros
// but one digit at each place, the way security codes differ from one another.
std::vector<std::string> VariedCodes() {
  std::vector<std::string> codes;
  for (std::size_t length = 0; length <= 40; ++length) {
    const std::string zeros(length, '0');
    codes.push_back(zeros);
    for (std::size_t at = 0; at < length; ++at) {
      for (char digit = '1'; digit <= '9'; ++digit) {
        codes.push_back(zeros);
        codes.back()[at] = digit;
      }
    }
  }
  return codes;
}

TEST(SameShortTextTest, EveryByteOfEveryLengthCounts) {
  for (std::size_t length = 0; length <= 40; ++length) {
    const std::string text(length, 'a');
    EXPECT_TRUE(SameShortText(text, std::string(length, 'a'))) << length;
    EXPECT_FALSE(SameShortText(text, std::string(length + 1, 'a'))) << length;
    for (std::size_t at = 0; at < length; ++at) {
      std::string other = text;
      other[at] = 'b';
      EXPECT_FALSE(SameShortText(text, other)) << length << " differing at " << at;
    }
  }
}

TEST(AnswersByCodeTest, EachCodeFindsItsOwnAnswerThroughGrowth) {
  const std::vector<std::string> codes = VariedCodes();
  ASSERT_EQ(codes.size(), 41u + 9u * (40u * 41u / 2u));
  TAnswersByCode table;
  std::vector<std::shared_ptr<TKrHQStockTypeInfoImpl>> answers;
  for (const std::string& code : codes) {
    answers.push_back(NewAnswer());
    table.Keep(code, answers.back());
  }
  EXPECT_EQ(table.Size(), codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const auto* found = table.Find(codes[i]);
    ASSERT_NE(found, nullptr) << codes[i];
    EXPECT_EQ(*found, answers[i]) << codes[i];
  }
  EXPECT_EQ(table.Find("600000.SHX"), nullptr);
  EXPECT_EQ(table.Find("00000000000000000000000000000000000000000"), nullptr);  // 41 characters
}

TEST(AnswersByCodeTest, CodesAreExactAnswersAreReplacedAndAResetForgetsAll) {
  TAnswersByCode table;
  const auto upper = NewAnswer();
  const auto lower = NewAnswer();
  table.Keep("600000.SH", upper);
  table.Keep("600000.sh", lower);
  table.Keep(" 600000.SH", NewAnswer());
  EXPECT_EQ(table.Size(), 3u);
  EXPECT_EQ(*table.Find("600000.SH"), upper);
  EXPECT_EQ(*table.Find("600000.sh"), lower);

  const auto again = NewAnswer();
  table.Keep("600000.SH", again);
  EXPECT_EQ(table.Size(), 3u);
  EXPECT_EQ(*table.Find("600000.SH"), again);

  table.Clear();
  EXPECT_EQ(table.Size(), 0u);
  EXPECT_EQ(table.Find("600000.SH"), nullptr);
  EXPECT_EQ(table.Find("600000.sh"), nullptr);
  table.Keep("600000.sh", upper);
  EXPECT_EQ(*table.Find("600000.sh"), upper);
  EXPECT_EQ(table.Find("600000.SH"), nullptr);
}

// Codes from outside cannot grow the kept answers without bound: up to kMaxAnswers codes every one keeps
// its answer; one code more and the manager starts afresh.
TEST_F(StockTypeManagerTest, KeptCodesStopAtTheirBound) {
  constexpr std::size_t kBound = TKrHQStockTypeManagerImpl::kMaxAnswers;
  constexpr std::size_t kEvery = 4096;
  const auto code = [](std::size_t i) { return fmt::format("Z{}.XX", i); };
  auto first = manager_->GetSecurityInfo("600000.SH");
  std::vector<std::shared_ptr<IKrHQSecurityInfo>> sampled;
  for (std::size_t i = 1; i < kBound; ++i) {
    auto info = manager_->GetSecurityInfo(code(i));
    if (i % kEvery == 0) sampled.push_back(info);
  }
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), first);
  ASSERT_EQ(sampled.size(), kBound / kEvery - 1);
  for (std::size_t k = 0; k < sampled.size(); ++k)
    EXPECT_EQ(manager_->GetSecurityInfo(code((k + 1) * kEvery)), sampled[k]);

  manager_->GetSecurityInfo("ONE.MORE");
  auto fresh = manager_->GetSecurityInfo("600000.SH");
  EXPECT_NE(fresh, first);
  EXPECT_EQ(fresh->GetHQType(), "A.SH");
  EXPECT_NE(manager_->GetSecurityInfo(code(kEvery)), sampled[0]);
}

// A host whose main thread is a thread that has ended: no call is on its main thread.
class ElsewhereHost final : public host::IHostEnvironment {
 public:
  ElsewhereHost() {
    std::thread([this] { loop_.BindToCurrentThread(); }).join();
  }
  std::shared_ptr<host::IKrServiceProvider> ServiceProvider() override { return nullptr; }
  host::InterfacePtr QueryRegisteredService(const host::Guid&) override { return nullptr; }
  void Log(std::string_view, std::string_view, int) override {}
  bool IsDetailedLogOn() const override { return false; }
  void FlushLog() override {}
  const host::HostPaths& Paths() const override { return paths_; }
  host::IMainLoop& Loop() override { return loop_; }
  void ShowErrorMessage(std::string_view, std::string_view) override {}
  std::uint64_t SecuritiesRevision() const override { return 0; }

 private:
  host::HostPaths paths_;
  minihost::MiniMainLoop loop_;
};

// The manager remembers the thread and the host it was made under; with another host installed, that
// host says which thread is its main one.
TEST_F(StockTypeManagerTest, UnderAnotherHostOnlyItsMainThreadUsesTheKeptAnswers) {
  auto kept = manager_->GetSecurityInfo("600000.SH");
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), kept);

  ElsewhereHost elsewhere;
  host::InstallHostEnvironment(&elsewhere);
  auto first = manager_->GetSecurityInfo("600000.SH");
  auto second = manager_->GetSecurityInfo("600000.SH");
  host::InstallHostEnvironment(&*host_);
  EXPECT_NE(first, kept);
  EXPECT_NE(second, first);
  EXPECT_EQ(first->GetHQType(), "A.SH");

  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), kept);  // untouched meanwhile
}

// A manager made off the main thread knows no main thread of its own and asks the host each time.
TEST_F(StockTypeManagerTest, AManagerMadeOffTheMainThreadKeepsTheMainThreadsAnswers) {
  std::shared_ptr<TKrHQStockTypeManagerImpl> made;
  std::thread([&made] { made = std::make_shared<TKrHQStockTypeManagerImpl>(8); }).join();
  made->LoadStockTypeMapXml(kMapXml);
  auto kept = made->GetSecurityInfo("600000.SH");
  EXPECT_EQ(made->GetSecurityInfo("600000.SH"), kept);
  std::shared_ptr<IKrHQSecurityInfo> fromThread;
  std::thread([&] { fromThread = made->GetSecurityInfo("600000.SH"); }).join();
  EXPECT_NE(fromThread, kept);
  EXPECT_EQ(fromThread->GetHQType(), "A.SH");
}

}  // namespace
}  // namespace kdp
