// The sector cache on the stand-in host's sector and security masters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "refdata/hq_sector_cache.h"
#include "test_host.h"

namespace kdp {
namespace {

constexpr const char* kSectors = R"({
  "defaultUserSector": "MINE",
  "sectors": [
    {"id": "BANKS", "name": "银行", "members": ["600000.SH", "600036.SH", "NOSUCH.SH"]},
    {"id": "EMPTY", "name": "空", "members": []},
    {"id": "LIQUOR", "name": "白酒", "members": ["600519.SH"]}
  ],
  "userSectors": [
    {"id": "MINE", "name": "自选股", "members": ["00700.HK"]}
  ]
})";

class SectorCacheTest : public ::testing::Test {
 protected:
  SectorCacheTest() {
    std::string error;
    EXPECT_TRUE(h->Sectors().LoadText(kSectors, error)) << error;
  }
  testing::TestHost h;
  TKrHQSectorCache cache;
};

TEST_F(SectorCacheTest, LookUpsAnswerNothingWhileCachingIsOffEvenForCachedSectors) {
  EXPECT_FALSE(cache.GetIsCacheSector());
  cache.SetSectorID("BANKS");
  EXPECT_EQ(cache.GetSectorByID("BANKS"), nullptr);
  EXPECT_EQ(cache.GetSecurity("600000.SH"), nullptr);
  EXPECT_EQ(cache.GetSecuritys({"600000.SH"}), nullptr);
  std::vector<std::shared_ptr<host::IKrSector>> cached;
  EXPECT_TRUE(cache.GetCacheSectorIDs(cached));  // filled all the same
  ASSERT_EQ(cached.size(), 1u);

  cache.SetIsCacheSector(true);
  ASSERT_NE(cache.GetSectorByID("BANKS"), nullptr);
  EXPECT_EQ(cache.GetSectorByID("BANKS")->GetName(), "银行");
  ASSERT_NE(cache.GetSecurity("600036.SH"), nullptr);
  EXPECT_EQ(cache.GetSecurity("600036.SH")->GetKoraCode(), "600036.SH");
  EXPECT_EQ(cache.GetSecurity("NOSUCH.SH"), nullptr);  // the host does not know it: skipped
  EXPECT_EQ(cache.GetSecurity("600519.SH"), nullptr);  // not a member of a cached sector

  cache.SetIsCacheSector(false);
  EXPECT_EQ(cache.GetSectorByID("BANKS"), nullptr);
}

TEST_F(SectorCacheTest, IdListsSplitStrictlyAtCommas) {
  cache.SetIsCacheSector(true);
  cache.SetSectorIDs("BANKS,,LIQUOR, EMPTY,");
  EXPECT_NE(cache.GetSectorByID("BANKS"), nullptr);
  EXPECT_NE(cache.GetSectorByID("LIQUOR"), nullptr);
  EXPECT_NE(cache.GetSecurity("600519.SH"), nullptr);
  EXPECT_EQ(cache.GetSectorByID("EMPTY"), nullptr);  // asked for as " EMPTY", which the host does not have
  EXPECT_EQ(cache.GetSectorByID(" EMPTY"), nullptr);
  std::vector<std::shared_ptr<host::IKrSector>> cached;
  EXPECT_TRUE(cache.GetCacheSectorIDs(cached));
  EXPECT_EQ(cached.size(), 2u);

  cache.SetSectorIDs("EMPTY");  // a sector without members is cached all the same
  EXPECT_NE(cache.GetSectorByID("EMPTY"), nullptr);
  cache.SetSectorIDs("");
  cache.SetSectorID("NOSUCH");
  cached.clear();
  EXPECT_TRUE(cache.GetCacheSectorIDs(cached));
  EXPECT_EQ(cached.size(), 3u);
}

TEST_F(SectorCacheTest, TheDefaultUserSectorAndUserSectorsAreFoundUnderTheirOwnIds) {
  cache.SetIsCacheSector(true);
  cache.SetSectorID("default_user_sector_id");
  ASSERT_NE(cache.GetSectorByID("MINE"), nullptr);  // stored under the sector's own ID
  EXPECT_EQ(cache.GetSectorByID("default_user_sector_id"), nullptr);
  EXPECT_NE(cache.GetSecurity("00700.HK"), nullptr);
}

TEST_F(SectorCacheTest, CollectionsAreFetchedOncePerCodeList) {
  std::vector<std::shared_ptr<host::IKrSector>> none;
  EXPECT_FALSE(cache.GetCacheSectorIDs(none));
  cache.SetIsCacheSector(true);
  EXPECT_EQ(cache.GetSecuritys({}), nullptr);
  const auto first = cache.GetSecuritys({"600000.SH", "600519.SH"});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetCount(), 2);
  EXPECT_EQ(cache.GetSecuritys({"600000.SH", "600519.SH"}), first);
  const auto reversed = cache.GetSecuritys({"600519.SH", "600000.SH"});
  ASSERT_NE(reversed, nullptr);
  EXPECT_NE(reversed, first);
  EXPECT_EQ(reversed->GetItem(0)->GetKoraCode(), "600519.SH");
}

}  // namespace
}  // namespace kdp
