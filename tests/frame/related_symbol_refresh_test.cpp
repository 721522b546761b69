// The published related-symbol table takes the cloud service's fresher relations when they arrive, and
// keeps the files' relations when the cloud fails.
#include "frame/related_symbol_refresh.h"

#include <chrono>

#include <gtest/gtest.h>

#include "core/package_lookup.h"
#include "kdp/refdata/reference_tables.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using testing::TestHost;

TEST(RelatedSymbolRefreshTest, TheCloudsRelationsReplaceTheFilesWhenTheyArriveAndAFailureKeepsTheFiles) {
  for (const bool cloudAnswers : {true, false}) {
    TestHost h;
    ASSERT_TRUE(h->StartPackage());
    if (!cloudAnswers) h->Lux()->SetAnswer(minihost::SimLuxClient::Answer::kError);
    auto related = G_QueryInterface<IRelatedSymbol>("IRelatedSymbol");
    ASSERT_NE(related, nullptr);
    int reloaded = 0;
    related->RegAfterLoadedCallBack([&](host::IInterface*) { ++reloaded; });
    // Until the reply the files answer: TCOM.O's Hong Kong listing is known only to the cloud's sample data.
    const auto otherListings = [&](const std::string& code) {
      std::vector<std::string> codes;
      related->GetRelatedSymbol(code, kRelationOther, codes);
      return codes;
    };
    EXPECT_TRUE(otherListings("TCOM.O").empty());
    EXPECT_EQ(related->GetAHRelateCode("601318.SH"), "02318.HK");
    if (cloudAnswers) {
      ASSERT_TRUE(h->Loop().RunUntil([&] { return reloaded > 0; }, 10s));
      EXPECT_EQ(reloaded, 1);
      EXPECT_EQ(otherListings("TCOM.O"), std::vector<std::string>{"09961.HK"});
      EXPECT_EQ(otherListings("09961.HK"), std::vector<std::string>{"TCOM.O"});
    } else {
      ASSERT_TRUE(h->Loop().RunUntil(
          [&] { return h->Logger().Contains("related symbols from the cloud did not arrive"); }, 10s));
      EXPECT_EQ(reloaded, 0);
      EXPECT_TRUE(otherListings("TCOM.O").empty());
    }
    // Relations of every kind survive the rebuild (or stay, without it) as the files had them.
    EXPECT_EQ(related->GetAHRelateCode("601318.SH"), "02318.HK");
    std::vector<std::string> bonds;
    related->GetRelatedSymbol("110059.SH", 2, bonds);
    EXPECT_EQ(bonds, std::vector<std::string>{"600000.SH"});
    h->StopPackage();
  }
}

}  // namespace
}  // namespace kdp
