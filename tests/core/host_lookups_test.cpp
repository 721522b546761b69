#include "core/host_lookups.h"
#include "util/tools.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "config_files.h"
#include "core/data_cache.h"
#include "core/security_fake.h"
#include "kdp/host/paths.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::TestHost;

TEST(ToolsTest, CloudIndexRangeIsInclusiveAtBothEnds) {
  EXPECT_FALSE(IsCloudIndex(10000));
  EXPECT_TRUE(IsCloudIndex(10001));
  EXPECT_TRUE(IsCloudIndex(20001));
  EXPECT_FALSE(IsCloudIndex(20002));
}

TEST(ToolsTest, FrontAndAfterStrings) {
  EXPECT_EQ(GetAfterString(",", "a,b,c"), "b,c");
  EXPECT_EQ(GetAfterString(",", "abc"), "abc");
  EXPECT_EQ(GetAfterString("::", "abc"), "bc");  // not found: from position length(sub) on
  EXPECT_EQ(GetAfterString("=", "key="), "");
  EXPECT_EQ(GetAfterString("", "abc"), "abc");
  // Lengths count UTF-16 units, never bytes: an absent "。" (one unit, three bytes) skips nothing, an
  // absent "：：" one character, and a character outside the basic plane counts two.
  EXPECT_EQ(GetAfterString("。", "浦发银行"), "浦发银行");
  EXPECT_EQ(GetAfterString("：：", "浦发银行"), "发银行");
  EXPECT_EQ(GetAfterString("，", "a，b"), "b");
  EXPECT_EQ(GetAfterString("::", "𠀀x"), "x");   // the pair is skipped whole
  EXPECT_EQ(GetAfterString("𠀀", "abc"), "bc");  // a two-unit separator skips one unit
  EXPECT_EQ(GetAfterString("。。", "é"), "");    // nothing left after the skip
  EXPECT_EQ(GetFrontString(",", "abc"), "");
  EXPECT_EQ(GetFrontString(",", "a,b,c"), "a");
  EXPECT_EQ(GetFrontString("script{", "x=script{f(a)}"), "x=");
}

TEST(ToolsTest, WithoutAHostEverythingAnswersSafeDefaults) {
  ASSERT_EQ(host::InstalledHostEnvironment(), nullptr);
  // Without a host the server clock is still Beijing time, from the machine's UTC clock.
  const auto beijingNow = [] {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    return 25569.0 + (static_cast<double>(ms.count()) / 3600000.0 + 8) / 24.0;  // 1970-01-01 is day 25569
  };
  constexpr double kMillisecond = 1.0 / 86400000.0;  // the two sums round differently
  const double before = beijingNow();
  const double server = GetServerDateTime().value;
  const double after = beijingNow();
  EXPECT_GE(server, before - kMillisecond);
  EXPECT_LE(server, after + kMillisecond);
  EXPECT_EQ(G_getCurrentLanguage(), "CHS");
  EXPECT_EQ(GetLoginRegion(), 0);
  EXPECT_EQ(G_GetSecurity("600000.SH"), nullptr);
  EXPECT_EQ(G_GetSectorByID("SH_A"), nullptr);
  EXPECT_EQ(GetKoraCodesBySector("SH_A"), "");
}

// Counts look-ups, answering for one code only: stands for a security service registered at run time.
class CountingSecurityService final : public host::Implements<host::IKrSecurityMgrHQ> {
 public:
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code) override {
    ++calls;
    return code == "MYCODE.UD" ? std::make_shared<TKrSecurityFake>() : nullptr;
  }
  std::shared_ptr<host::IKrSecuritys> GetSecuritys(const std::vector<std::string>&) override { return nullptr; }
  int calls = 0;
};

TEST(ToolsTest, SecurityLookUpOrder) {
  TestHost h;
  auto service = std::make_shared<CountingSecurityService>();
  h->Registry().RegisterService(host::IKrSecurityMgrHQ::IID, 0, service);

  EXPECT_EQ(G_GetSecurity("  "), nullptr);
  EXPECT_EQ(service->calls, 0);  // a blank code never reaches the host

  auto registered = G_GetSecurity("MYCODE.UD");
  ASSERT_NE(registered, nullptr);
  EXPECT_EQ(registered->GetCurrency(), "CNY");

  auto master = G_GetSecurity(" 600000.sh ");
  ASSERT_NE(master, nullptr);
  EXPECT_EQ(master->GetStockName(), "浦发银行");
  EXPECT_EQ(service->calls, 2);

  auto temp = G_GetSecurity(kTempCSSecurityCode);
  ASSERT_NE(temp, nullptr);
  EXPECT_EQ(temp->GetKoraCode(), kTempCSSecurityCode);
  EXPECT_EQ(G_GetSecurity(kTempCSSecurityCode), temp);  // one temporary security per cache
  EXPECT_EQ(G_GetSecurity("NOSUCH.SH"), nullptr);
  // The host-only look-up, which other threads use, never reaches the package's data cache.
  FreeHQCache();
  EXPECT_EQ(G_GetHostSecurity(kTempCSSecurityCode), nullptr);
  EXPECT_FALSE(HQCacheExists());
  EXPECT_EQ(G_GetHostSecurity(" 600000.sh "), master);

  auto list = G_GetSecuritys({"600000.SH", "NOSUCH.SH", "00700.HK"});
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->GetItem(1)->GetKoraCode(), "00700.HK");
  EXPECT_EQ(G_GetSecuritys({}), nullptr);
  FreeHQCache();
}

TEST(ToolsTest, SectorLookUpsAndMemberCodes) {
  TestHost h;
  auto watchlist = G_GetSectorByID("default_user_sector_id");
  ASSERT_NE(watchlist, nullptr);
  EXPECT_EQ(watchlist->GetID(), "MY_WATCHLIST");
  EXPECT_EQ(G_GetSectorByID(""), nullptr);
  EXPECT_EQ(G_GetCustomSectorRoot()->GetChildCount(), 2);

  EXPECT_EQ(GetKoraCodesBySector("IND.LIQUOR"), "600519.SH,600809.SH,000568.SZ,000858.SZ,002304.SZ");
  EXPECT_EQ(GetKoraCodesBySector("NO_SUCH_SECTOR"), "");
  EXPECT_TRUE(h->Logger().Contains("GetKoraCodesBySector 该板块NO_SUCH_SECTOR未找到对应的KoraCode"));
}

TEST(ToolsTest, EtcBaseFilePathPrefersBaseThenRootThenBase) {
  const std::string etc = testing::MakeTempDir();
  std::filesystem::create_directories(etc + "/Base");
  std::ofstream(etc + "/Base/InBoth.dat") << "x";
  std::ofstream(etc + "/InBoth.dat") << "x";
  std::ofstream(etc + "/RootOnly.dat") << "x";
  {
    TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc); });
    EXPECT_EQ(GetEtcBaseFilePath("InBoth.dat"), etc + "/Base/InBoth.dat");
    EXPECT_EQ(GetEtcBaseFilePath("RootOnly.dat"), etc + "/RootOnly.dat");
    EXPECT_EQ(GetEtcBaseFilePath("Nowhere.dat"), etc + "/Base/Nowhere.dat");
    EXPECT_EQ(GetHQBasePath(), etc + "/HQ/Base/");
  }
  std::filesystem::remove_all(etc);
}

TEST(ToolsTest, SharedDatabaseLivesUnderTheUserDirectory) {
  TestHost h;
  auto db = G_GetSqliteDataBase();
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->GetPath(), host::GetUserPath("") + kSharedDataBaseFileName);
  EXPECT_TRUE(db->ExecSQL("CREATE TABLE t (x)"));
  EXPECT_EQ(G_GetSqliteDataBase(), db);
  EXPECT_TRUE(std::filesystem::exists(db->GetPath()));
  FreeHQCache();
}

// The cache is made again only when its file is no database; one the disk will not read (here a
// directory where its journal goes, an I/O error) keeps its rows for when the disk reads again.
TEST(ToolsTest, ADamagedCacheIsKeptAsideAndAnUnreadableOneIsLeftAsItIs) {
  TestHost h;
  const std::string path = host::GetUserPath("") + kSharedDataBaseFileName;
  const auto asideCount = [&] {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(host::GetUserPath("")))
      count += entry.path().filename().string().starts_with(kSharedDataBaseFileName + std::string(".corrupt-"));
    return count;
  };
  std::filesystem::create_directories(host::GetUserPath(""));
  std::ofstream(path) << "not a database, not a database, not a database, not a database";
  auto rebuilt = G_GetSqliteDataBase();
  ASSERT_NE(rebuilt, nullptr);
  EXPECT_TRUE(rebuilt->ExecSQL("CREATE TABLE kept (x); INSERT INTO kept VALUES (1)"));
  EXPECT_EQ(asideCount(), 1);
  rebuilt.reset();
  FreeHQCache();

  std::filesystem::create_directory(path + "-journal");
  auto unreadable = G_GetSqliteDataBase();
  ASSERT_NE(unreadable, nullptr);
  EXPECT_FALSE(unreadable->ExecSQL("SELECT x FROM kept"));
  EXPECT_FALSE(unreadable->IsDamaged());
  EXPECT_EQ(asideCount(), 1);
  unreadable.reset();
  FreeHQCache();
  std::filesystem::remove(path + "-journal");
  auto again = G_GetSqliteDataBase();
  ASSERT_NE(again, nullptr);
  auto rows = again->Query("SELECT x FROM kept");
  ASSERT_TRUE(rows && !rows->Eof());
  EXPECT_EQ(rows->GetAsInteger(0), 1);
  FreeHQCache();
}

}  // namespace
}  // namespace kdp
