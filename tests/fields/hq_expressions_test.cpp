// The expression dictionary: per-market lists, the fallback to market "A.SH", and the dependency lists
// with second-guide variables and references to other expressions of the same market.
#include "fields/hq_expressions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_host.h"

namespace kdp {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::TestHost;

constexpr const char* kFieldsXml = R"xml(<HQDictionary>
  <Item id="3" name="NewPrice"/><Item id="4" name="PreClose"/><Item id="6" name="High"/><Item id="7" name="Low"/>
  <Item id="32" name="ConversionPrice"/><Item id="101" name="MA5"/>
</HQDictionary>)xml";

constexpr const char* kExpressionsXml = R"xml(<HQExpressions>
  <!-- comment -->
  <Expression name="Amplitude" market="A.SH, A.SZ" caption="振幅">
     Amplitude = (High - Low) / PreClose * 100
  </Expression>
  <Expression name="Amplitude" market="HK" caption="振幅HK">Amplitude = (High - Low) / PreClose</Expression>
  <Expression name="ConversionValue" market="K.SH" caption="转股价值">ConversionValue = 100 / ConversionPrice * Ref_NewPrice</Expression>
  <Expression name="PremiumRate" market="K.SH" caption="溢价率">PremiumRate = (NewPrice / conversionvalue - 1) * 100 + Unknown</Expression>
  <Expression name="Ping" market="X" caption="">Ping = Pong + NewPrice</Expression>
  <Expression name="Pong" market="X" caption="">Pong = Ping + ref_High</Expression>
  <Expression name="Broken" market="A.SH" caption="坏">Broken = (NewPrice</Expression>
  <Expression name="NoMarket" caption="">x = NewPrice</Expression>
  <Expression market="A.SH">x = NewPrice</Expression>
</HQExpressions>)xml";

class HQExpressionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Load(fields_, kFieldsXml, [&](const host::IBinNode& root) { dictionary_.LoadBinDictionaryData(root); });
    Load(expressions_doc_, kExpressionsXml, [&](const host::IBinNode& root) { expressions_.LoadBinData(root); });
  }

  template <class Fn>
  static void Load(std::shared_ptr<host::IBinDocument>& doc, const char* xml, Fn fill) {
    std::string bytes;
    ASSERT_TRUE(host::EncodeXmlAsBinDocument(xml, bytes));
    doc = host::HQQueryBinDocInterface();
    ASSERT_TRUE(doc->LoadFromBytes(bytes));
    fill(*doc->GetRoot());
  }

  TestHost host_;  // the expression engine
  TKrHQDictionaryImpl dictionary_;
  TKrHQExpressionsImpl expressions_{dictionary_};
  std::shared_ptr<host::IBinDocument> fields_, expressions_doc_;
};

TEST_F(HQExpressionsTest, ItemsLiveInEveryListedMarketAndUnknownMarketsFallBackToASH) {
  const auto* sh = expressions_.GetExpItemByMarket("Amplitude", "A.SH");
  const auto* sz = expressions_.GetExpItemByMarket("amplitude", "a.sz");
  const auto* hk = expressions_.GetExpItemByMarket("Amplitude", "HK");
  ASSERT_NE(sh, nullptr);
  ASSERT_NE(sz, nullptr);
  ASSERT_NE(hk, nullptr);
  EXPECT_NE(sh, sz);  // one item per market
  EXPECT_EQ(sh->FCaption, "振幅");
  EXPECT_EQ(sh->FExpression, "Amplitude = (High - Low) / PreClose * 100");  // the node text, trimmed
  EXPECT_EQ(hk->FCaption, "振幅HK");                                        // HK has its own

  // A market without the item answers from "A.SH"; a name nobody defines is null.
  EXPECT_EQ(expressions_.GetExpItemByMarket("Amplitude", "US"), sh);
  EXPECT_EQ(expressions_.GetExpItemByMarket("Spread", "US"), nullptr);
  EXPECT_EQ(expressions_.GetExpItemByMarket("ConversionValue", "A.SZ"), nullptr);

  EXPECT_NE(expressions_.GetDictionaryByType("k.sh"), nullptr);
  EXPECT_EQ(expressions_.GetDictionaryByType("US"), nullptr);
  // Nodes without a name or a market are skipped.
  EXPECT_EQ(expressions_.GetExpItemByMarket("NoMarket", "A.SH"), nullptr);
  EXPECT_EQ(expressions_.GetDictionaryByType("A.SH")->size(), 2u);  // Amplitude and Broken
}

TEST_F(HQExpressionsTest, DependencyListsFollowSecondGuidesAndOtherExpressions) {
  const auto* amplitude = expressions_.GetExpItemByMarket("Amplitude", "A.SZ");
  EXPECT_THAT(amplitude->m_aDataList, ElementsAre(6, 7, 4));
  EXPECT_THAT(amplitude->m_aSecondDataList, IsEmpty());

  const auto* value = expressions_.GetExpItemByMarket("ConversionValue", "K.SH");
  EXPECT_THAT(value->m_aDataList, ElementsAre(32));
  EXPECT_THAT(value->m_aSecondDataList, ElementsAre(3));

  // PremiumRate reads NewPrice itself and, through ConversionValue (named in another case), its fields;
  // the unknown name contributes nothing.
  const auto* premium = expressions_.GetExpItemByMarket("PremiumRate", "K.SH");
  EXPECT_TRUE(premium->FIsValid);
  EXPECT_THAT(premium->m_aDataList, ElementsAre(3, 32));
  EXPECT_THAT(premium->m_aSecondDataList, ElementsAre(3));

  // Two expressions naming each other end the walk instead of looping.
  const auto* ping = expressions_.GetExpItemByMarket("Ping", "X");
  const auto* pong = expressions_.GetExpItemByMarket("Pong", "X");
  EXPECT_THAT(ping->m_aDataList, ElementsAre(3));
  EXPECT_THAT(pong->m_aSecondDataList, ElementsAre(6));
  EXPECT_THAT(ping->m_aSecondDataList, ElementsAre(6));

  // An expression that does not parse stays invalid and reads nothing.
  const auto* broken = expressions_.GetExpItemByMarket("Broken", "A.SH");
  ASSERT_NE(broken, nullptr);
  EXPECT_FALSE(broken->FIsValid);
  EXPECT_THAT(broken->m_aDataList, IsEmpty());

  TKrHQExpDictionaryItem copy;
  copy.Dup(*premium);
  EXPECT_EQ(copy.m_aDataList, premium->m_aDataList);
  EXPECT_EQ(copy.m_aSecondDataList, premium->m_aSecondDataList);
}

TEST(HQExpressionsSampleTest, ShippedExpressionsResolveTheirFields) {
  TestHost h;
  const TKrHQExpressionsImpl& expressions = KrHQExpressionsImpl();
  const auto* premium = expressions.GetExpItemByMarket("PremiumRate", "K.SZ");
  ASSERT_NE(premium, nullptr);
  EXPECT_TRUE(premium->FIsValid);
  EXPECT_THAT(premium->m_aDataList, ElementsAre(3, 32));
  EXPECT_THAT(premium->m_aSecondDataList, ElementsAre(3));
  const auto* amplitude = expressions.GetExpItemByMarket("Amplitude", "I.SH");  // via "A.SH"
  ASSERT_NE(amplitude, nullptr);
  EXPECT_THAT(amplitude->m_aDataList, ElementsAre(6, 7, 4));
  FreeHQExpressionsImpl();
  FreeHQDictionaryImpl();
}

}  // namespace
}  // namespace kdp
