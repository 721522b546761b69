// The warrant, brief-fundamental, currency, index-sector and fund-company tables: loading their ".dat"
// files (code page 936) with bad records among good ones, look-ups, and their publication on demand.
#include <atomic>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "config_files.h"
#include "core/package_lookup.h"
#include "kdp/host/ansi.h"
#include "kdp/host/services.h"
#include "refdata/currency_manager.h"
#include "refdata/fund_management_company.h"
#include "refdata/index_sectors.h"
#include "refdata/related_symbol.h"
#include "refdata/security_basic_manager.h"
#include "refdata/warrant_manager.h"
#include "test_host.h"
#include "util/file_watcher.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using ReferenceTablesTest = testing::ReferenceFileTest;

// Every field of a record, in the file's order, joined by "|".
std::string Fields(IWarrantInfo& w) {
  return fmt::format("{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}", w.GetWarrantCode(), w.GetStockCode(), w.GetDaysRemain(),
                     w.GetInitialVolume(), w.GetMemo(), w.GetLastTradeDate(), w.GetExpireDate(), w.GetExerciseRatio(),
                     w.GetExercisePrice(), w.GetVolumeRemain(), w.GetPreClose(), w.GetMaxPrice(), w.GetMinPrice());
}
std::string Fields(ISecurityBasic& b) {
  return fmt::format("{}|{}|{}|{}|{}|{}|{}|{}|{}", b.GetKoraCode(), b.GetListedStock(), b.GetCaptilStock(),
                     b.GetEarningPerShare(), b.GetNetAssetPerShare(), b.GetLatest5AV(), b.GetEarningPerShareLYR(),
                     b.GetEPSProjected(), b.GetLastReportDate());
}

TEST_F(ReferenceTablesTest, WarrantRecordsOfTheWrongShapeAreSkippedAndABadWholeNumberEndsTheLoad) {
  const std::string path =
      Write("Warrantinfo.dat",
            "13521.HK,00700.HK,206,200000000,\"腾讯购A,欧式\",20270622,20270628,0.01,588.88,"
            "153200000,0.184,0.262,0.051\r\n"
            "\r\n"
            "14873.HK,00700.HK,206,150000000,memo,20270622,20270628,0.01,420\r\n"  // 9 fields
            "16288.hk,09988.HK,237,300000000,,20270723,20270729,n/a,128.8,226400000,,0.188,-\r\n"
            "21506.HK,03690.HK,soon,180000000,,20270324,20270330,0.05,188.88,40120000,0.03,0.09,0.02\r\n"
            "25901.HK,00005.HK,82,100000000,,20270219,20270225,0.1,105,77000000,0.1,0.14,0.06\r\n");
  TkrWarrantManager manager(path);
  EXPECT_EQ(manager.Count(), 2u);

  auto first = manager.GetItemByCode("13521.hk");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Fields(*first),
            "13521.HK|00700.HK|206|200000000|腾讯购A,欧式|20270622|20270628|0.01|588.88|153200000|0.184|0.262|0.051");
  // Floating fields that do not parse are 0; the key is upper-cased, the stored code is kept as written.
  auto lenient = manager.GetItemByCode("16288.HK");
  ASSERT_NE(lenient, nullptr);
  EXPECT_EQ(Fields(*lenient), "16288.hk|09988.HK|237|300000000||20270723|20270729|0|128.8|226400000|0|0.188|0");

  EXPECT_EQ(manager.GetItemByCode("14873.HK"), nullptr);  // wrong field count
  EXPECT_EQ(manager.GetItemByCode("21506.HK"), nullptr);  // days remaining is not a number ...
  EXPECT_EQ(manager.GetItemByCode("25901.HK"), nullptr);  // ... which ends the load
  EXPECT_EQ(manager.GetItemByCode(""), nullptr);
  EXPECT_TRUE(h->Logger().Contains("Warrantinfo.dat: line 5: 'soon' is not a valid integer value"));
  EXPECT_TRUE(h->Logger().Contains("Warrantinfo.dat: 1 record(s) without 13 fields skipped, the first at line 3"));
}

TEST_F(ReferenceTablesTest, SecurityBasicsReadFloatsLenientlyAndTheReportYearFromTheDate) {
  const std::string path = Write("Secbrief.dat",
                                 "600000.SH,1022948.47,1848059.9,0.9363,2.1567,318310,0.9468,1.0937,20260930\n"
                                 "00700.hk,x,9.2e5,,3.5,1e6,2.1,2.4,2026-06-30\n"
                                 "AAPL.O,1,2,3\n");
  TkrSecurityBasicManager manager(path);
  EXPECT_EQ(manager.Count(), 2u);
  auto spd = manager.GetSecurityBasic("600000.sh");
  ASSERT_NE(spd, nullptr);
  EXPECT_EQ(Fields(*spd), "600000.SH|1022948.47|1848059.9|0.9363|2.1567|318310|0.9468|1.0937|20260930");
  EXPECT_EQ(spd->GetLatestAnnualReportYear(), 2026);
  // A date that does not parse is 0, and so is its year.
  auto tencent = manager.GetSecurityBasic("00700.HK");
  ASSERT_NE(tencent, nullptr);
  EXPECT_EQ(Fields(*tencent), "00700.hk|0|920000|0|3.5|1000000|2.1|2.4|0");  // the code as written
  EXPECT_EQ(tencent->GetLatestAnnualReportYear(), 0);
  EXPECT_EQ(manager.GetSecurityBasic("AAPL.O"), nullptr);
}

TEST_F(ReferenceTablesTest, ConvertingToCnyUsesTheRateAndUnknownCurrenciesGiveZero) {
  const std::string path = Write("Currency.dat",
                                 "HKD,港币,0.9137\n"
                                 "usd,美元,7.1128\n"
                                 "JPY,日元\n"
                                 "GBP,英镑,9.0451\n"
                                 "EUR,欧元,about 7.7\n"
                                 "CHF,瑞士法郎,8.1\n");
  TkrCurrencyManager manager(path);
  auto usd = manager.GetCurrencyByCode("USD");
  ASSERT_NE(usd, nullptr);
  EXPECT_EQ(usd->GetCode(), "usd");
  EXPECT_EQ(usd->GetName(), "美元");
  EXPECT_DOUBLE_EQ(usd->GetRate(), 7.1128);

  struct Case {
    const char* code;
    double amount;
    double cny;
  };
  const Case cases[] = {
      {"HKD", 1000, 913.7}, {"hkd", -2, -1.8274}, {"GBP", 0, 0},
      {"USD", 1, 7.1128},   {"JPY", 1000, 0},  // skipped: two fields
      {"EUR", 1000, 0},                        // the rate does not parse, which ends the load ...
      {"CHF", 1000, 0},                        // ... before this one
      {"XYZ", 1e9, 0},      {"", 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_NEAR(manager.ConvertToCny(c.code, c.amount), c.cny, 1e-9);
  }
  EXPECT_TRUE(h->Logger().Contains("Currency.dat: line 5: 'about 7.7' is not a valid floating point value"));
}

TEST_F(ReferenceTablesTest, MissingFilesLeaveEmptyTablesAndAreLogged) {
  const std::string missing = scratch_.File("none.dat");
  TkrWarrantManager warrants(missing);
  TkrSecurityBasicManager basics(missing);
  TkrCurrencyManager currencies(missing);
  TKrIndexSectors sectors(missing, nullptr);
  THQFundManagementCompanyImpl companies(missing);
  TKrRelatedSymbol related(missing, missing);
  EXPECT_EQ(warrants.GetItemByCode("13521.HK"), nullptr);
  EXPECT_EQ(basics.GetSecurityBasic("600000.SH"), nullptr);
  EXPECT_EQ(currencies.ConvertToCny("USD", 1), 0.0);
  EXPECT_EQ(sectors.GetSectorByIndex("000001.SH"), "");
  EXPECT_EQ(sectors.GetIndexBySector("SH_A"), "");
  EXPECT_EQ(companies.GetFundCompany(1), "");
  std::vector<std::string> list{"stale"};
  related.GetAllRelatedSymbol("601318.SH", list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(related.GetAHKoraCodeCount(), 0);
  EXPECT_EQ(h->Logger().CountContaining("not FileExists: " + missing), 7u);
}

TEST_F(ReferenceTablesTest, IndexesOfASectorComeInTableOrderEachFollowedByAComma) {
  // 399106.SZ hashes to a later bucket than 399001.SZ, so the table's order differs from the file's.
  const std::string path = Write("IndexSectors.dat",
                                 "399106.SZ,SZ_A\n"
                                 "000001.sh,SH_A\n"
                                 "399001.SZ,SZ_A\n"
                                 "399006.SZ,CYB,extra\n"
                                 "HSI.HI,sz_a\n");
  TKrIndexSectors sectors(path, nullptr);
  EXPECT_EQ(sectors.GetIndexBySector("SZ_A"), "399001.SZ,399106.SZ,");
  EXPECT_EQ(sectors.GetIndexBySector("SH_A"), "000001.SH,");
  EXPECT_EQ(sectors.GetIndexBySector("sz_a"), "HSI.HI,");  // sector IDs compare exactly
  EXPECT_EQ(sectors.GetIndexBySector("CYB"), "");
  EXPECT_EQ(sectors.GetSectorByIndex("000001.SH"), "SH_A");
  EXPECT_EQ(sectors.GetSectorByIndex("hsi.hi"), "sz_a");
  EXPECT_EQ(sectors.GetSectorByIndex("399006.SZ"), "");
}

TEST_F(ReferenceTablesTest, FundCompaniesAreAskedForByLineNumber) {
  const std::string path =
      Write("FundManagementCompany.dat",
            "华夏基金管理有限公司\r\n南方基金管理股份有限公司, \"A\"\r\n\r\n易方达基金管理有限公司\r\n");
  THQFundManagementCompanyImpl companies(path);
  EXPECT_EQ(companies.Count(), 4u);
  const std::pair<int, const char*> cases[] = {
      {0, ""},
      {-1, ""},
      {1, "华夏基金管理有限公司"},
      {2, "南方基金管理股份有限公司, \"A\""},  // lines are not split
      {3, ""},
      {4, "易方达基金管理有限公司"},
      {5, ""},
  };
  for (const auto& [index, name] : cases) {
    SCOPED_TRACE(index);
    EXPECT_EQ(companies.GetFundCompany(index), name);
  }
}

TEST_F(ReferenceTablesTest, AnIndexSectorFileReplacedOnDiskIsReloadedOnce) {
  const std::string path = Write("IndexSectors.dat", "000001.SH,SH_A\n399001.SZ,SZ_A\n");
  auto watcher = std::make_shared<TKrFileWatcherMgr>();
  auto sectors = std::make_shared<TKrIndexSectors>(path, watcher);
  EXPECT_EQ(watcher->ObserverCount(), 1u);
  auto period = [&] {
    h->Loop().AdvanceBy(30min);
    ASSERT_TRUE(h->Loop().RunUntil([&] { return watcher->IsCheckFinished(); }, 10s));
  };
  period();
  EXPECT_EQ(h->Logger().CountContaining("IndexSectors.dat reloaded"), 0u);

  // Replace the file as a download does: a new file renamed over the old one, dated a minute later.
  const std::string fresh = Write("IndexSectors.new", "000001.SH,SH_A\n399001.SZ,SZ_A\n399006.SZ,CYB\n");
  fs::last_write_time(fresh, fs::last_write_time(path) + 60s);
  fs::rename(fresh, path);
  EXPECT_EQ(sectors->GetSectorByIndex("399006.SZ"), "");
  period();
  EXPECT_EQ(sectors->GetSectorByIndex("399006.SZ"), "CYB");
  EXPECT_EQ(h->Logger().CountContaining("IndexSectors.dat reloaded: 3 indexes"), 1u);
  period();
  EXPECT_EQ(h->Logger().CountContaining("IndexSectors.dat reloaded"), 1u);

  sectors.reset();  // withdraws its observer
  EXPECT_EQ(watcher->ObserverCount(), 0u);
  EXPECT_FALSE(watcher->IsTimerEnabled());
}

// Look-ups made off the main thread while the watcher reloads must see either table, never a torn one.
TEST_F(ReferenceTablesTest, LookUpsDuringAReloadSeeAWholeTable) {
  const std::string path = Write("IndexSectors.dat", "000001.SH,SH_A\n399001.SZ,SZ_A\n");
  TKrIndexSectors sectors(path, nullptr);
  std::atomic<bool> stop{false};
  std::thread reloader([&] {
    while (!stop) sectors.Reload();
  });
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(sectors.GetSectorByIndex("399001.SZ"), "SZ_A");
    ASSERT_EQ(sectors.GetIndexBySector("SH_A"), "000001.SH,");
  }
  stop = true;
  reloader.join();
}

TEST(ReferenceTablesServiceTest, TablesArePublishedOnFirstLookUpFromTheSampleConfiguration) {
  testing::TestHost h;
  ASSERT_TRUE(h->StartPackage());
  auto watcherFace = host::KrIntfService<IKrFileWatcherMgr>();
  auto* watcher = dynamic_cast<TKrFileWatcherMgr*>(watcherFace.get());
  ASSERT_NE(watcher, nullptr);
  EXPECT_EQ(watcher->ObserverCount(), 0u);

  for (const char* name : {"IWarrantManager", "ISecurityBasicManager", "ICurrencyManager", "IIndexSectors",
                           "IFundManagementCompany", "IRelatedSymbol"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(h->Names().GetIntf(name), nullptr);
    const host::InterfacePtr first = G_QueryInterface(name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(h->Names().GetIntf(name), first);
    EXPECT_EQ(G_QueryInterface(name), first);
  }
  EXPECT_EQ(watcher->ObserverCount(), 1u);  // the index-sector file is watched
  // (That the tables find the sample files is the host's "ref" command tests'.)

  h->StopPackage();
  EXPECT_TRUE(h->Names().Entries().empty());
  EXPECT_TRUE(h->Registry().Entries().empty());
}

}  // namespace
}  // namespace kdp
