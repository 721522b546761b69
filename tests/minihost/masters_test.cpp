// The stand-in host's settings, security master and sector master: what they read and what they refuse.
#include <chrono>
#include <cstdlib>
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
  EXPECT_DOUBLE_EQ(tencent->GetPriceStep(), 0.2);  // the tick of a price between 200 and 500
  EXPECT_EQ(h->Securities().GetSecurity("881001.KI")->GetCategory(host::kQuoteCategoryKind), 300);
  EXPECT_EQ(h->Securities().GetSecurity("881001.KI")->GetCategory(1), 0);

  auto industries = h->Sectors().GetSectorByID("INDUSTRY");
  ASSERT_NE(industries, nullptr);
  EXPECT_GT(industries->GetChildCount(), 5);
  EXPECT_NE(h->Sectors().GetSectorByID("ind.bank"), nullptr);      // children are found by ID too
  EXPECT_EQ(h->Sectors().GetSectorByID("MY_WATCHLIST"), nullptr);  // user sectors are not system sectors
  EXPECT_EQ(h->Sectors().GetUserSectorByID("my_watchlist")->GetName(), "自选股");
}

TEST(MastersTest, SecuritiesAnswerTheirExtensions) {
  // The extensions come from the host's market rules, with or without a quote engine.
  TestHost h([](HostSettings& s) { s.quoteEngine = false; });
  auto master = host::KrIntfService<host::IKrSecurityMgrHQ>();
  auto underlying = host::Query<host::IKrSecurityUnderlying>(master->GetSecurity("IF2612.CFE"));
  ASSERT_NE(underlying, nullptr);
  EXPECT_EQ(underlying->GetUnderlyingCode(), "000300.SH");
  EXPECT_EQ(host::Query<host::IKrSecurityUnderlying>(master->GetSecurity("600000.SH")), nullptr);

  // Gold trades 21:00 to 02:30 at night, then three day sessions; times of day are fractions of a day.
  auto gold = host::Query<host::IKrSecurityTradeHours>(master->GetSecurity("AU2702.SHF"));
  ASSERT_NE(gold, nullptr);
  EXPECT_EQ(gold->GetTimeZone(), 8);
  ASSERT_EQ(gold->GetSessionCount(), 4);
  double start = -1, end = -1;
  ASSERT_TRUE(gold->GetSession(0, start, end));
  EXPECT_DOUBLE_EQ(start, 21.0 / 24);
  EXPECT_DOUBLE_EQ(end, 2.5 / 24);
  ASSERT_TRUE(gold->GetSession(3, start, end));
  EXPECT_DOUBLE_EQ(start, 13.5 / 24);
  EXPECT_DOUBLE_EQ(end, 15.0 / 24);
  EXPECT_FALSE(gold->GetSession(4, start, end));
  EXPECT_FALSE(gold->GetSession(-1, start, end));
  auto apple = host::Query<host::IKrSecurityTradeHours>(master->GetSecurity("AAPL.O"));
  ASSERT_NE(apple, nullptr);
  EXPECT_EQ(apple->GetTimeZone(), -5);
  EXPECT_EQ(apple->GetSessionCount(), 1);

  // A trade span without a rule gives no trading hours; an underlying must be a known security.
  MiniSecurityMaster own;
  own.LoadText(
      "600000.SH,浦发银行,A,SH,0,L,SH,0.01,CNY,10.36,SPD,浦发,19991110\n"
      "X1.XX,x,A,XX,0,L,NOWHERE,0.01,CNY,1,X,X,20000101\n",
      "inline");
  auto rules = std::make_shared<MarketRules>();
  std::string error;
  ASSERT_TRUE(rules->LoadText(R"({"spans": {"SH": {"exchange": "SSE", "zone": 8, "sessions": [930, 1500]}}})", error));
  EXPECT_EQ(own.AttachMarketRules(rules), std::vector<std::string>{"X1.XX"});
  EXPECT_NE(host::Query<host::IKrSecurityTradeHours>(own.GetSecurity("600000.SH")), nullptr);
  EXPECT_FALSE(own.LoadExtensionsText(R"({"underlying": {"X1.XX": "NOPE.SH"}})", error));
  EXPECT_NE(error.find("NOPE.SH"), std::string::npos) << error;
  EXPECT_EQ(host::Query<host::IKrSecurityUnderlying>(own.GetSecurity("X1.XX")), nullptr);
  ASSERT_TRUE(own.LoadExtensionsText(R"({"underlying": {"x1.xx": "600000.sh"}})", error)) << error;
  EXPECT_EQ(host::Query<host::IKrSecurityUnderlying>(own.GetSecurity("X1.XX"))->GetUnderlyingCode(), "600000.SH");
  EXPECT_EQ(host::Query<host::IKrSecurityTradeHours>(own.GetSecurity("X1.XX")), nullptr);
}

// Rows a careless operator could write: each is refused with the file, the line and the reason, and a
// name with an escape sequence never reaches the log as one.
TEST(MastersTest, MalformedSecurityRowsAreLoggedAndSkipped) {
  TestHost h;
  MiniSecurityMaster lines;
  const std::size_t read = lines.LoadText(
      "code,name,stock_type,exchange,category,list_status,trade_span,price_step,currency,last_close,en,full,ipo\n"
      "600000.SH,浦发银行,A,SH,0,L,SH,0.01,CNY,10.36,SPD,浦发,19991110\n"
      "\n# a comment\n"
      "000001.SZ,too,few,fields\n"
      "000002.SZ,万科A,A,SZ,x,L,SZ,0.01,CNY,6.74,Vanke,万科,19910129\n"
      "600000.SH,again,A,SH,0,L,SH,0.01,CNY,10.36,SPD,浦发,19991110\r\n",
      "inline");
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(h->Logger().CountContaining("malformed security line skipped"), 2u);
  EXPECT_TRUE(h->Logger().Contains("inline:7: duplicate code 600000.SH skipped"));
  EXPECT_EQ(lines.GetSecuritys({}), nullptr);

  MiniSecurityMaster master;
  const std::size_t added = master.LoadText(
      "600001.SH,a,A,SH,0,L,SH,0.01,CNY,nan,E,F,19990101\n"
      "600002.SH,b,A,SH,0,L,SH,0.01,CNY,inf,E,F,19990101\n"
      "600003.SH,c,A,SH,0,L,SH,0.01,CNY,-5,E,F,19990101\n"
      "600004.SH,d,A,SH,0,L,SH,0,CNY,5,E,F,19990101\n"
      "600005.SH,e,A,SH,0,L,SH,-0.01,CNY,5,E,F,19990101\n"
      "600006.SH,\x1b]0;owned\x07,A,SH,0,L,SH,0.01,CNY,5,E,F,19990101\n"
      "600007.SH,\xff\xfe,A,SH,0,L,SH,0.01,CNY,5,E,F,19990101\n"
      "600008.SH,fine,A,SH,0,L,SH,0.01,CNY,0,E,F,19990101\n",
      "Securities.csv");
  EXPECT_EQ(added, 1u);  // a close of 0 is a price, if a poor one
  EXPECT_NE(master.GetSecurity("600008.SH"), nullptr);
  const char* expected[] = {
      "Securities.csv:1: malformed security line skipped (last_close is not a number of at least 0)",
      "Securities.csv:2: malformed security line skipped (last_close is not a number of at least 0)",
      "Securities.csv:3: malformed security line skipped (last_close is not a number of at least 0)",
      "Securities.csv:4: malformed security line skipped (price_step is not a number above 0)",
      "Securities.csv:5: malformed security line skipped (price_step is not a number above 0)",
      "Securities.csv:6: malformed security line skipped (name is not text)",
      "Securities.csv:7: malformed security line skipped (name is not text)",
  };
  for (const char* line : expected) EXPECT_TRUE(h->Logger().Contains(line)) << line;
  EXPECT_TRUE(h->Logger().Contains("\\e]0;owned\\x07"));
  for (const LogRecord& r : h->Logger().Records()) {
    EXPECT_EQ(r.message.find('\x1b'), std::string::npos) << r.message;
  }
}

TEST(MastersTest, SectorsWhoseFieldsAreNotTextAreRefusedWithTheirSector) {
  MiniSectorMaster sectors;
  std::string error;
  EXPECT_FALSE(sectors.LoadText(R"({"sectors": [{"id": "A", "members": ["600000.SH", 7]}]})", error));
  EXPECT_NE(error.find("sector A: a member is not a code: 7"), std::string::npos) << error;
  EXPECT_FALSE(sectors.LoadText(R"({"sectors": [{"id": 5}]})", error));
  EXPECT_NE(error.find("\"id\" is not text"), std::string::npos) << error;
  EXPECT_FALSE(sectors.LoadText(R"({"sectors": [{"id": "A", "name": "\u001b]0;x\u0007"}]})", error));
  EXPECT_NE(error.find("\"name\" is not text: \"\\u001b]0;x\\u0007\""), std::string::npos) << error;
  EXPECT_FALSE(sectors.LoadText(R"({"sectors": {"id": "A"}})", error));
  EXPECT_NE(error.find("\"sectors\" is not a list"), std::string::npos) << error;
  std::string nested = R"({"sectors": [)";
  for (int i = 0; i < 40; ++i) nested += R"({"id": "S)" + std::to_string(i) + R"(", "children": [)";
  for (int i = 0; i < 40; ++i) nested += "]}";
  nested += "]}";
  EXPECT_FALSE(sectors.LoadText(nested, error));
  EXPECT_NE(error.find("nested deeper than 32 levels"), std::string::npos) << error;
  // A refused file leaves what was loaded before.
  ASSERT_TRUE(sectors.LoadText(R"({"sectors": [{"id": "A", "members": ["600000.SH"]}]})", error)) << error;
  EXPECT_FALSE(sectors.LoadText(R"({"sectors": [{"id": "B", "members": [1]}]})", error));
  EXPECT_NE(sectors.GetSectorByID("A"), nullptr);
}

// Every setting is checked, and a refusal names the key: a rate too high for the date's precision hung
// the start, a user ID with "../" escaped the data directory, a start time that does not parse was
// ignored.
TEST(MastersTest, EverySettingIsCheckedAndARefusalNamesItsKey) {
  const std::string etc = kdp::testing::MakeTempDir();
  std::filesystem::create_directories(etc + "/Host");
  struct Case {
    const char* json;
    const char* error;  // nullptr: accepted
  };
  const Case cases[] = {
      {R"({"quoteRate": 0})", "\"quoteRate\" must be from 0.001 to 1000 trades a second, not 0"},
      {R"({"quoteRate": -2})", "\"quoteRate\" must be from 0.001 to 1000"},
      {R"({"quoteRate": 1e9})", "\"quoteRate\" must be from 0.001 to 1000"},
      {R"({"quoteRate": "fast"})", "\"quoteRate\" must be a number, not \"fast\""},
      {R"({"quoteRate": 1000})", nullptr},
      {R"({"quotePollMs": 0})", "\"quotePollMs\" must be from 1 to 3600000 ms, not 0"},
      {R"({"quoteWarmUpSeconds": -1})", "\"quoteWarmUpSeconds\" must be from 0 to 604800"},
      {R"({"quoteSeed": -1})", "\"quoteSeed\" must be a whole number of at least 0"},
      {R"({"userId": "../../x"})", "\"userId\" must be a plain name"},
      {R"({"userId": ".."})", "\"userId\" must be a plain name"},
      {R"({"userId": ""})", "\"userId\" must be a plain name"},
      {R"({"userId": 12})", "\"userId\" must be a text, not 12"},
      {R"({"userId": "u-1.b_2"})", nullptr},
      {R"({"language": "FR"})", "\"language\" must be CHS, CHT, ENG or ENS, not \"FR\""},
      {R"({"rights": ["A", 3]})", "\"rights\" must be a list of texts"},
      {R"({"loginRegion": 1.5})", "\"loginRegion\" must be a whole number"},
      {R"({"serverTimeStart": "tomorrow"})", "\"serverTimeStart\" is not a date-time"},
      {R"({"serverTimeStart": "2026-12-04 10:30"})", nullptr},
      {R"({"serverTimeOffsetSeconds": 1e12})", "\"serverTimeOffsetSeconds\" must be from"},
      {R"({"accountId": "\u001b[2J"})", "\"accountId\" holds control characters"},
      {R"({"securitiesFile": ""})", "\"securitiesFile\" must not be empty"},
      {R"({"detailedLog": "yes"})", "\"detailedLog\" must be true or false"},
      {R"({"servers": {"report": 8080}})", "\"servers\" must be an object of texts"},
      {R"({"servers": ["10.1.2.3"]})", "\"servers\" must be an object of texts"},
      {R"({"servers": {"report": "10.1.2.3\u001b[2J"}})", "\"servers\" holds control characters"},
      {R"({"servers": {"report": "10.1.2.3:8080"}})", nullptr},
      {R"({"servers": {"report": "10.1.2.3:8080"}, "standInServers": ["report"]})", nullptr},
      {R"({"servers": {"report": "10.1.2.3:8080"}, "standInServers": ["kuds"]})",
       "\"standInServers\" names \"kuds\", which \"servers\" does not"},
      {R"({"reportsFile": 3})", "\"reportsFile\" must be a text"},
      {R"({"quoteRat": 2})", "unknown setting \"quoteRat\" (did you mean \"quoteRate\"?)"},
      {R"({"LUXPOLLMS": 5, "userid": "u"})", "unknown setting \"LUXPOLLMS\" (did you mean \"luxPollMs\"?)"},
      {R"([1, 2])", "the settings must be a JSON object"},
      {R"({"userId": )", "not JSON"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    std::ofstream(etc + "/Host/host.json", std::ios::trunc) << c.json;
    std::string error;
    const auto settings = LoadHostSettings(etc, error);
    if (c.error == nullptr) {
      EXPECT_TRUE(settings.has_value()) << error;
    } else {
      EXPECT_FALSE(settings.has_value());
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_EQ(error.rfind(etc + "/Host/host.json: ", 0), 0u) << error;  // the file is named first
    }
  }
  // Without a file the settings are the defaults. A file that reads makes settings the host is made from,
  // which still needs its security master; values set by a program rather than read from the file are
  // checked as the host is made.
  std::filesystem::remove(etc + "/Host/host.json");
  std::string error;
  EXPECT_TRUE(LoadHostSettings(etc, error).has_value()) << error;
  std::ofstream(etc + "/Host/host.json") << R"({"userId": "u1", "rights": ["A", "B"], "language": "ENG"})";
  auto settings = LoadHostSettings(etc, error);
  ASSERT_TRUE(settings.has_value()) << error;
  EXPECT_EQ(settings->userId, "u1");
  EXPECT_EQ(settings->rights.size(), 2u);
  settings->dataDir = etc + "/data";
  EXPECT_EQ(MiniHost::Create(*settings, {}, error), nullptr);
  EXPECT_NE(error.find("cannot read securities file " + etc + "/Host/Securities.csv: No such file or directory"),
            std::string::npos)
      << error;
  settings->userId = "../escape";
  EXPECT_EQ(MiniHost::Create(*settings, {}, error), nullptr);
  EXPECT_NE(error.find("\"userId\" must be a plain name"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(etc + "/escape"));
  EXPECT_EQ(host::InstalledHostEnvironment(), nullptr);

  // A settings file, or a root, that cannot be read says so, with the system's reason.
  std::filesystem::remove(etc + "/Host/host.json");
  std::filesystem::create_directory(etc + "/Host/host.json");
  EXPECT_FALSE(LoadHostSettings(etc, error).has_value());
  EXPECT_NE(error.find("cannot read host settings " + etc + "/Host/host.json: Is a directory"), std::string::npos)
      << error;
  EXPECT_FALSE(LoadHostSettings("/no/such/root", error).has_value());
  EXPECT_NE(error.find("configuration root not found"), std::string::npos);
  std::filesystem::remove_all(etc);
}

TEST(MastersTest, QuoteEngineAnswersMarketRulesByTradeSpan) {
  TestHost h;
  auto speed = host::GetHQContext()->GetSpeed();
  ASSERT_NE(speed, nullptr);
  // Session arrays are lent until they are handed back; each question lends its own.
  host::TMarketInfoBuffer buffer, other;
  // (The answers themselves are the package's trade-rule tests'; spans are found in any case.)
  ASSERT_EQ(speed->QueryMarketInfo(host::kMarketInfoSessions, "shfe_night", buffer), 8);
  ASSERT_NE(buffer.values, nullptr);
  ASSERT_EQ(speed->QueryMarketInfo(host::kMarketInfoSessions, "SH", other), 4);
  EXPECT_NE(other.values, buffer.values);
  EXPECT_EQ(h->Speed()->LentMarketInfoBuffers(), 2u);
  speed->FreeMarketInfo(host::kMarketInfoSessions, buffer);
  EXPECT_EQ(buffer.values, nullptr);
  speed->FreeMarketInfo(host::kMarketInfoSessions, buffer);  // handing back twice takes nothing else
  EXPECT_EQ(h->Speed()->LentMarketInfoBuffers(), 1u);
  EXPECT_EQ(other.values[3], 1500);
  speed->FreeMarketInfo(host::kMarketInfoSessions, other);
  EXPECT_EQ(h->Speed()->LentMarketInfoBuffers(), 0u);
  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoSessions, "NOWHERE", buffer), 0);
  EXPECT_EQ(buffer.values, nullptr);

  EXPECT_EQ(speed->QueryMarketInfo(host::kMarketInfoExchange, "NOWHERE", buffer), -1);
  EXPECT_EQ(speed->QueryMarketInfo(12345, "SH", buffer), -1);
}

TEST(MastersTest, MarketRulesRefuseMalformedSpans) {
  MarketRules rules;
  std::string error;
  EXPECT_FALSE(
      rules.LoadText(R"({"spans": {"X": {"exchange": "E\u0007", "zone": 8, "sessions": [930, 1130]}}})", error));
  EXPECT_FALSE(rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": "8", "sessions": [930, 1130]}}})", error));
  EXPECT_NE(error.find("trade span X: "), std::string::npos) << error;
  EXPECT_FALSE(rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": 8, "sessions": [930]}}})", error));
  EXPECT_NE(error.find("X"), std::string::npos);
  EXPECT_FALSE(rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": 8, "sessions": [930, 1175]}}})", error));
  EXPECT_FALSE(rules.LoadText(R"({"spans": []})", error));
  EXPECT_FALSE(rules.LoadText("not json", error));
  EXPECT_FALSE(rules.LoadText(
      R"({"spans": {"X": {"exchange": "E", "zone": -5, "sessions": [930, 1600], "tz": "America/Nowhere"}}})", error));
  EXPECT_NE(error.find("unknown time zone America/Nowhere for trade span X"), std::string::npos);
  EXPECT_FALSE(
      rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": -5, "sessions": [930, 1600], "tz": 5}}})", error));
  EXPECT_TRUE(rules.LoadText(R"({"spans": {"X": {"exchange": "E", "zone": -3, "sessions": [0, 2400]}}})", error));
  EXPECT_EQ(rules.Find("x")->zone, -3);
  // Without a database zone the market keeps its standard zone all year.
  EXPECT_EQ(rules.Find("x")->LocalTime(host::DateTime::FromParts(2026, 7, 1, 21, 0)).ToString(), "2026-07-01 10:00:00");
}

// Without a start time the server clock is the machine's UTC clock read in Beijing time (UTC+8, no summer
// time), whatever zone the machine keeps; the measured offset still applies.
TEST(MastersTest, ServerClockKeepsBeijingTimeOnAnyMachineZone) {
  using namespace std::chrono;
  const char* saved = std::getenv("TZ");
  const std::string before = saved != nullptr ? saved : "";
  struct Case {
    const char* tz;
    sys_seconds utc;
    double offsetSeconds;
    const char* beijing;
  };
  constexpr auto kJuly1 = sys_days{year{2026} / 7 / 1};
  const Case cases[] = {
      {"UTC", kJuly1 + hours{3} + minutes{21}, 0, "2026-07-01 11:21:00"},
      {"America/New_York", kJuly1 + hours{3} + minutes{21}, 0, "2026-07-01 11:21:00"},
      {"Asia/Shanghai", kJuly1 + hours{3} + minutes{21}, 0, "2026-07-01 11:21:00"},
      // 20:30 UTC is half past four the next morning in Beijing; New York is still on 30 June.
      {"America/New_York", kJuly1 + hours{20} + minutes{30}, 90, "2026-07-02 04:31:30"},
      {"Europe/London", sys_days{year{2026} / 12 / 31} + hours{23}, -3600, "2027-01-01 06:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tz);
    setenv("TZ", c.tz, 1);
    tzset();
    TestHost h(
        [&](HostSettings& s) {
          s.serverTimeStart.clear();
          s.serverTimeOffsetSeconds = c.offsetSeconds;
        },
        TestHost::ClockKind::kManual, [&](MiniHost::Options& o) { o.utcAtStart = c.utc; });
    EXPECT_EQ(h->Context().GetServerDateTime().ToString(), c.beijing);
  }
  if (saved != nullptr) {
    setenv("TZ", before.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(MastersTest, ContextAnswersRightsIdentityAndServers) {
  TestHost h([](HostSettings& s) {
    s.rights = {"EQ_HQ_SH_L1"};
    s.servers.insert({{"plain", "10.1.2.3:8080"}, {"web", "http://w.example"}, {"secure", "https://s.example:443"}});
  });
  auto context = host::GetHQContext();
  ASSERT_NE(context, nullptr);
  EXPECT_TRUE(context->HasRight("EQ_HQ_SH_L1"));
  EXPECT_FALSE(context->HasRight("eq_hq_sh_l1"));
  EXPECT_EQ(context->GetUserID(), "10000001");
  EXPECT_EQ(context->GetAccountID(), "A10000001");
  EXPECT_EQ(context->GetServerDateTime().ToString(), "2026-12-04 10:30:00");
  // Server addresses get an HTTP prefix unless they name a scheme; names are exact.
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("korareportserver"), "http://report.kora.example:8080");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("KORAREPORTSERVER"), "");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("plain"), "http://10.1.2.3:8080");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("web"), "http://w.example");
  EXPECT_EQ(host::GetServerAddressByNameWithHttpPrefix("secure"), "https://s.example:443");
  // The stand-in Lux client, which the settings can switch off.
  EXPECT_EQ(context->GetLuxClient().get(), static_cast<host::IBaseLuxClient*>(h->Lux()));
  EXPECT_NE(context->GetLuxClient(), nullptr);
}

TEST(MastersTest, WithoutTheLuxClientTheContextHasNone) {
  TestHost h([](HostSettings& s) { s.luxClient = false; });
  EXPECT_EQ(h->Lux(), nullptr);
  EXPECT_EQ(host::GetHQContext()->GetLuxClient(), nullptr);
}

}  // namespace
}  // namespace kdp::minihost
