// The stand-in host's settings, security master and sector master: what they read and what they refuse.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "kdp/host/log.h"
#include "kdp/host/speed.h"
#include "mini_host.h"
#include "test_host.h"

namespace kdp::minihost {
namespace {

using kdp::testing::TestHost;

TEST(MastersTest, SampleConfigurationLoadsConsistently) {
  TestHost h;
  EXPECT_GE(h->Securities().Count(), 250u);
  EXPECT_FALSE(h->Logger().Contains("malformed security line"));
  EXPECT_FALSE(h->Logger().Contains("sector member without a security"));
  EXPECT_FALSE(h->Logger().Contains("unknown trade span"));

  auto tencent = h->Securities().GetSecurity("00700.hk");
  ASSERT_NE(tencent, nullptr);
  EXPECT_EQ(tencent->GetStockCode(), "00700");
  EXPECT_EQ(tencent->GetCurrency(), "HKD");
  EXPECT_DOUBLE_EQ(tencent->GetPriceStep(), 0.2);  // the tick of a price between 200 and 500
  EXPECT_EQ(h->Securities().GetSecurity("600745.SH")->GetListStatus(), host::kListStatusSuspended);
  EXPECT_EQ(h->Securities().GetSecurity("881001.KI")->GetCategory(host::kQuoteCategoryKind), 300);
  EXPECT_EQ(h->Securities().GetSecurity("881001.KI")->GetCategory(1), 0);

  auto industries = h->Sectors().GetSectorByID("INDUSTRY");
  ASSERT_NE(industries, nullptr);
  EXPECT_GT(industries->GetChildCount(), 5);
  EXPECT_NE(h->Sectors().GetSectorByID("ind.bank"), nullptr);      // children are found by ID too
  EXPECT_EQ(h->Sectors().GetSectorByID("MY_WATCHLIST"), nullptr);  // user sectors are not system sectors
  EXPECT_EQ(h->Sectors().GetUserSectorByID("my_watchlist")->GetName(), "自选股");
}

TEST(MastersTest, MalformedSecurityLinesAreLoggedAndSkipped) {
  TestHost h;
  MiniSecurityMaster master;
  const std::size_t added = master.LoadText(
      "code,name,stock_type,exchange,category,list_status,trade_span,price_step,currency,last_close,en,full,ipo\n"
      "600000.SH,浦发银行,A,SH,0,L,SH,0.01,CNY,10.36,SPD,浦发,19991110\n"
      "\n# a comment\n"
      "000001.SZ,too,few,fields\n"
      "000002.SZ,万科A,A,SZ,x,L,SZ,0.01,CNY,6.74,Vanke,万科,19910129\n"
      "600000.SH,again,A,SH,0,L,SH,0.01,CNY,10.36,SPD,浦发,19991110\r\n",
      "inline");
  EXPECT_EQ(added, 1u);
  EXPECT_EQ(h->Logger().CountContaining("malformed security line skipped"), 2u);
  EXPECT_TRUE(h->Logger().Contains("inline:7: duplicate code 600000.SH skipped"));
  EXPECT_EQ(master.GetSecuritys({}), nullptr);
}

TEST(MastersTest, SettingsAndMissingFilesGiveClearErrors) {
  std::string error;
  EXPECT_FALSE(LoadHostSettings("/no/such/root", error).has_value());
  EXPECT_NE(error.find("configuration root not found"), std::string::npos);

  const std::string etc = kdp::testing::MakeTempDir();
  std::filesystem::create_directories(etc + "/Host");
  std::ofstream(etc + "/Host/host.json") << R"({"userId": 12})";
  EXPECT_FALSE(LoadHostSettings(etc, error).has_value());
  EXPECT_NE(error.find("host.json"), std::string::npos);

  std::ofstream(etc + "/Host/host.json") << R"({"userId": "u1", "rights": ["A", "B"], "language": "ENG"})";
  auto settings = LoadHostSettings(etc, error);
  ASSERT_TRUE(settings.has_value()) << error;
  EXPECT_EQ(settings->userId, "u1");
  EXPECT_EQ(settings->rights.size(), 2u);
  settings->dataDir = etc + "/data";
  EXPECT_EQ(MiniHost::Create(*settings, {}, error), nullptr);  // no securities file in this root
  EXPECT_NE(error.find("Securities.csv"), std::string::npos);
  EXPECT_EQ(host::InstalledHostEnvironment(), nullptr);
  std::filesystem::remove_all(etc);
}

TEST(MastersTest, QuoteEngineAnswersMarketRulesByTradeSpan) {
  {
    TestHost without([](HostSettings& s) { s.quoteEngine = false; });
    EXPECT_EQ(host::GetHQContext()->GetSpeed(), nullptr);
  }
  TestHost h;
  auto speed = host::GetHQContext()->GetSpeed();
  ASSERT_NE(speed, nullptr);
  host::TMarketInfoBuffer buffer;
  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoSessions, "shfe_night", buffer), 8);
  EXPECT_EQ(buffer.values, (std::vector<std::int32_t>{2100, 230, 900, 1015, 1030, 1130, 1330, 1500}));
  speed->FreeMarketInfo(host::kMarketInfoSessions, buffer);
  EXPECT_TRUE(buffer.values.empty());
  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoSessions, "NOWHERE", buffer), 0);

  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoExchange, "HK", buffer), 0);
  EXPECT_STREQ(buffer.text, "HKEX");
  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoExchange, "NOWHERE", buffer), -1);
  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoTimeZone, "GI_TOKYO", buffer), 9);
  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoTimeZone, "US", buffer), -5);
  EXPECT_EQ(speed->QueryMarketInfo(12345, "SH", buffer), -1);
}

TEST(MastersTest, MarketRulesRefuseMalformedSpans) {
  MarketRules rules;
  std::string error;
  EXPECT_FALSE(rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": 8, "sessions": [930]}}})", error));
  EXPECT_NE(error.find("X"), std::string::npos);
  EXPECT_FALSE(rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": 8, "sessions": [930, 1175]}}})", error));
  EXPECT_FALSE(rules.LoadText(R"({"spans": []})", error));
  EXPECT_FALSE(rules.LoadText("not json", error));
  EXPECT_TRUE(rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": -3, "sessions": [0, 2400]}}})", error));
  EXPECT_EQ(rules.Find("x")->zone, -3);
}

TEST(MastersTest, ContextAnswersRightsAndIdentity) {
  TestHost h([](HostSettings& s) { s.rights = {"EQ_HQ_SH_L1"}; });
  auto context = host::GetHQContext();
  ASSERT_NE(context, nullptr);
  EXPECT_TRUE(context->HasRight("EQ_HQ_SH_L1"));
  EXPECT_FALSE(context->HasRight("eq_hq_sh_l1"));
  EXPECT_EQ(context->GetUserID(), "10000001");
  EXPECT_EQ(context->GetAccountID(), "A10000001");
  EXPECT_EQ(context->GetServerDateTime().ToString(), "2026-12-04 10:30:00");
  // The sample's server list.
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("korareportserver"), "http://report.kora.example:8080");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("KORAREPORTSERVER"), "");
  EXPECT_EQ(context->GetLuxClient(), nullptr);
}

TEST(MastersTest, ServerAddressesGetAnHttpPrefixUnlessTheyNameAScheme) {
  TestHost h([](HostSettings& s) {
    s.servers = {{"plain", "10.1.2.3:8080"}, {"web", "http://w.example"}, {"secure", "https://s.example:443"}};
  });
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("plain"), "http://10.1.2.3:8080");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("web"), "http://w.example");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("secure"), "https://s.example:443");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("korareportserver"), "");
}

}  // namespace
}  // namespace kdp::minihost
