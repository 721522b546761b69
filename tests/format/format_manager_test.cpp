// The format manager: loading groups, the fallbacks by name and by field ID, look-ups by code, security
// and HQ type ID, computed fields' dependencies, and the shipped sample as the price board uses it.
#include "format/format_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config_files.h"
#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "fields/hq_dictionary.h"
#include "refdata/stock_type_manager.h"
#include "script/script_server.h"
#include "test_host.h"

namespace kdp {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::TestHost;

constexpr const char* kFieldsXml = R"xml(<D>
  <Item id="1" name="TradeDate"/><Item id="3" name="NewPrice"/><Item id="4" name="PreClose"/><Item id="6" name="High"/>
  <Item id="7" name="Low"/><Item id="8" name="Volume"/><Item id="32" name="ConversionPrice"/><Item id="99" name="Lonely"/>
</D>)xml";

constexpr const char* kColumnsXml = R"xml(<FormatColumns>
  <!-- comment -->
  <Group NAME=" A.SH , a.sz ">
    <Item name="NewPrice" FORMAT="[FORMATNUMBER:0:0:2]" compareto="PreClose" gtcolor="RiseColor" ltcolor="FallColor" eqcolor="EqualColor" defcolor="DefaultColor" usepricestep="TRUE"/>
    <Item name="Volume" format="[FORMATNUMBER:0:0:2:1]"/>
    <Item name="Amplitude" format="[ROUNDUPERCENT]" expressions="Amplitude = (High - Low) / PreClose * 100"/>
    <Item name="Spread2" format="%.2f" expressions="x = Amplitude * 2 + Ref_High + Nothing"/>
    <Item name="Loop1" expressions="a = Loop2 + High"/>
    <Item name="Loop2" expressions="b = Loop1 + Low"/>
    <Item name="Script" expressions="script{r = Calc({$NewPrice})}"/>
  </Group>
  <Group name="HK"><Item name="NewPrice" format="[FORMATNUMBER:0:0:3]" UsePriceStep="yes"/></Group>
  <Group name="BARE"><Item name="Other" format="%.1f"/></Group>
  <Group name="A.SH"><Item name="NewPrice" format="ignored: A.SH is taken"/></Group>
  <Group><Item name="NoGroupName"/></Group>
  <Group name="SUPERMARKET_FORMATITEMS">
    <Item name="NewPrice" format="[FORMATNUMBER:0:0:4]"/>
    <Item name="TradeDate" format="[FORMATDATE]"/>
  </Group>
  <Script name="HQFormat">function Calc(a: Double): Double; begin Result := a; end;</Script>
</FormatColumns>)xml";

constexpr const char* kMapXml = R"xml(<Map><StockTypeMap>
  <type id="1" StockType="A" Suffix=".SH" HQType="A.SH"/>
  <type id="20" StockType="HK" Suffix=".HK" HQType="HK"/>
  <type id="30" StockType="US" Suffix=".O" HQType="O"/>
</StockTypeMap></Map>)xml";

class FormatManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bytes;
    ASSERT_TRUE(host::EncodeXmlAsBinDocument(kFieldsXml, bytes));
    auto fields = host::HQQueryBinDocInterface();
    ASSERT_TRUE(fields->LoadFromBytes(bytes));
    dictionary_.LoadBinDictionaryData(*fields->GetRoot());
    securities_->LoadStockTypeMapXml(kMapXml);
    testing::WriteHqcFile(dir_.File("FormatColumns.hqc"), kColumnsXml);
    CreateScriptServer();
    manager_ = std::make_shared<TKrHQFormatManager>(dir_.File("FormatColumns.hqc"), securities_, &dictionary_);
  }

  std::string FormatOf(const std::shared_ptr<IKrHQFormatItem>& item) { return item ? item->GetFormatText() : "(none)"; }

  testing::ScratchDir dir_;
  TestHost host_;
  TKrHQDictionaryImpl dictionary_;
  std::shared_ptr<TKrHQStockTypeManagerImpl> securities_ = std::make_shared<TKrHQStockTypeManagerImpl>(8);
  std::shared_ptr<TKrHQFormatManager> manager_;
};

TEST_F(FormatManagerTest, ByNameTheGroupThenTheSupermarket) {
  struct Case {
    const char* hqType;
    const char* name;
    const char* format;
  };
  for (const Case& c :
       {Case{"A.SH", "newprice", "[FORMATNUMBER:0:0:2]"}, Case{"a.sz", "NEWPRICE", "[FORMATNUMBER:0:0:2]"},
        Case{"A.SH", "TradeDate", "[FORMATDATE]"},  // not in the group
        Case{"HK", "NewPrice", "[FORMATNUMBER:0:0:3]"}, Case{"XX", "NewPrice", "[FORMATNUMBER:0:0:4]"},
        Case{"XX", "Volume", "(none)"}, Case{"BARE", "NewPrice", "[FORMATNUMBER:0:0:4]"},
        Case{"", "TradeDate", "[FORMATDATE]"}}) {
    SCOPED_TRACE(std::string(c.hqType) + "/" + c.name);
    EXPECT_EQ(FormatOf(manager_->GetItemByHQType(c.hqType, c.name)), c.format);
  }
  // One group object answers for every HQ type it lists.
  EXPECT_EQ(manager_->GetItemByHQType("A.SH", "Volume"), manager_->GetItemByHQType("A.SZ", "Volume"));
  EXPECT_THAT(manager_->GetHQTypes(), ElementsAre("A.SH", "A.SZ", "BARE", "HK", "SUPERMARKET_FORMATITEMS"));
  // The script is not Lua: its syntax error is logged with its place, and its functions answer nothing.
  EXPECT_TRUE(host_->Logger().Contains("script HQFormat not loaded: HQFormat:1: ')' expected near ':'"));
  EXPECT_FALSE(manager_->GetItemByHQType("A.SH", "Script")->GetHQFormatExp()->Exec());

  auto item = manager_->GetItemByHQType("A.SH", "NewPrice");
  EXPECT_TRUE(item->GetUsePriceStep());
  EXPECT_EQ(item->GetCompareString(), "PreClose");
  EXPECT_EQ(item->GetIndexName(), "NewPrice");
  EXPECT_EQ(item->GetColorName(1, false), "RiseColor");
  EXPECT_FALSE(manager_->GetItemByHQType("HK", "NewPrice")->GetUsePriceStep());  // only "TRUE" counts

  // Items outlive the caller's reference to the manager.
  auto hk = manager_->GetItemByHQType("HK", "NewPrice");
  manager_.reset();
  EXPECT_EQ(hk->CalcAndFormat(418.2), "418.200");
}

TEST_F(FormatManagerTest, ByFieldIDTheGroupOrASHThenNewPriceThenTheSupermarket) {
  struct Case {
    const char* hqType;
    int id;
    const char* format;
  };
  for (const Case& c : {Case{"A.SH", 8, "[FORMATNUMBER:0:0:2:1]"},
                        Case{"A.SH", 1, "[FORMATNUMBER:0:0:2]"},      // the group's NewPrice before the supermarket
                        Case{"XX", 8, "[FORMATNUMBER:0:0:2:1]"},      // no group: "A.SH"'s
                        Case{"HK", 8, "[FORMATNUMBER:0:0:3]"},        // the group has no Volume: its NewPrice
                        Case{"A.SH", 12345, "[FORMATNUMBER:0:0:2]"},  // a field the dictionary does not know
                        Case{"BARE", 1, "[FORMATDATE]"},              // neither field nor NewPrice: the supermarket
                        Case{"BARE", 99, "[FORMATNUMBER:0:0:4]"}}) {  // ... and its NewPrice
    SCOPED_TRACE(std::string(c.hqType) + "/" + std::to_string(c.id));
    EXPECT_EQ(FormatOf(manager_->GetItemByHQTypeAndID(c.hqType, c.id)), c.format);
  }
}

TEST_F(FormatManagerTest, LooksUpBySecurityCodeAndHQTypeID) {
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByName("600000.SH", "NewPrice")), "[FORMATNUMBER:0:0:2]");
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByName(G_GetSecurity("00700.HK"), "NewPrice")), "[FORMATNUMBER:0:0:3]");
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByName(20, "NewPrice")), "[FORMATNUMBER:0:0:3]");
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByName(30, "NewPrice")), "[FORMATNUMBER:0:0:4]");  // O has no group
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByName(777, "NewPrice")), "[FORMATNUMBER:0:0:4]");
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByID("AAPL.O", 8)), "[FORMATNUMBER:0:0:2:1]");  // "A.SH"'s group
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByID(G_GetSecurity("00700.HK"), 3)), "[FORMATNUMBER:0:0:3]");
  EXPECT_EQ(FormatOf(manager_->GetDataFormatObjByID(1, 8)), "[FORMATNUMBER:0:0:2:1]");
  EXPECT_EQ(manager_->GetDataFormatObjByName(std::shared_ptr<host::IKrSecurity>(), "NewPrice"), nullptr);
  EXPECT_EQ(manager_->GetDataFormatObjByID(std::shared_ptr<host::IKrSecurity>(), 3), nullptr);

  // Without a security manager codes cannot be classified.
  TKrHQFormatManager alone(dir_.File("FormatColumns.hqc"), nullptr, &dictionary_);
  EXPECT_EQ(alone.GetDataFormatObjByName("600000.SH", "NewPrice"), nullptr);
  // An HQ type ID nobody knows is a type without a group: "A.SH"'s by ID, the supermarket's by name.
  EXPECT_EQ(FormatOf(alone.GetDataFormatObjByID(1, 3)), "[FORMATNUMBER:0:0:2]");
  EXPECT_EQ(FormatOf(alone.GetDataFormatObjByName(1, "NewPrice")), "[FORMATNUMBER:0:0:4]");
}

TEST_F(FormatManagerTest, ComputedFieldsListTheFieldsTheyRead) {
  auto amplitude = manager_->GetItemByHQType("A.SH", "Amplitude");
  ASSERT_NE(amplitude->GetHQFormatExp(), nullptr);
  EXPECT_THAT(amplitude->GetDataList(), ElementsAre(6, 7, 4));
  // Through another item of the group, with a second-guide variable and a name nobody knows.
  auto spread = manager_->GetItemByHQType("A.SZ", "Spread2");
  EXPECT_THAT(spread->GetDataList(), ElementsAre(6, 7, 4));
  EXPECT_THAT(spread->GetSecondDataList(), ElementsAre(6));
  // Items naming each other end the walk.
  EXPECT_THAT(manager_->GetItemByHQType("A.SH", "Loop1")->GetDataList(), ElementsAre(7, 6));
  EXPECT_THAT(manager_->GetItemByHQType("A.SH", "Loop2")->GetDataList(), ElementsAre(7, 6));
  // A script expression names its variables but reads no dictionary fields through the engine.
  auto script = manager_->GetItemByHQType("A.SH", "Script");
  ASSERT_NE(script->GetHQFormatExp(), nullptr);
  EXPECT_TRUE(script->GetHQFormatExp()->IsScriptExp());
  EXPECT_THAT(script->GetDataList(), ElementsAre(3));
  EXPECT_EQ(manager_->GetItemByHQType("A.SH", "NewPrice")->GetHQFormatExp(), nullptr);
  EXPECT_THAT(manager_->GetItemByHQType("A.SH", "NewPrice")->GetDataList(), IsEmpty());

  auto item = manager_->GetItemByHQType("A.SH", "Volume");
  item->AppendDataList(8);
  item->AppendDataList({8, 9, 3});
  EXPECT_THAT(item->GetDataList(), ElementsAre(8, 9, 3));
}

TEST(FormatManagerLoadTest, MissingOrBrokenDocumentsLeaveNoGroups) {
  TestHost h;
  testing::ScratchDir dir;
  testing::WriteTextFile(dir.File("broken.hqc"), "KHQC\x01\x00\x05");
  for (const std::string& file : {dir.File("missing.hqc"), dir.File("broken.hqc")}) {
    SCOPED_TRACE(file);
    TKrHQFormatManager manager(file, nullptr);
    EXPECT_TRUE(manager.GetHQTypes().empty());
    EXPECT_EQ(manager.GetItemByHQType("A.SH", "NewPrice"), nullptr);
    EXPECT_EQ(manager.GetItemByHQTypeAndID("A.SH", 3), nullptr);
  }
  EXPECT_TRUE(h->Logger().Contains("TKrHQFormatManager.LoadBinData FileName:"));
  EXPECT_TRUE(h->Logger().Contains(" TKrHQFormatManager.LoadFile end: "));
}

// The sample configuration: every market has its formats (what each instruction shows is the format item's
// tests, the board's fields as the host program shows them its command tests).
TEST(FormatManagerSampleTest, EveryMarketHasAGroupAndComputedFieldsReadTheirFields) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  auto manager = G_QueryInterface<IKrHQFormatManager>("IKrHQFormatManager");
  ASSERT_NE(manager, nullptr);
  auto securities = G_QueryInterface<IKrHQSecurityManager>("IKrHQSecurityManager");
  // Every HQ type of the stock type map has a group.
  auto impl = std::dynamic_pointer_cast<TKrHQFormatManager>(manager);
  ASSERT_NE(impl, nullptr);
  const std::vector<std::string> groups = impl->GetHQTypes();
  for (int i = 0; i < securities->GetCount(); ++i) {
    const std::string type = securities->GetItem(i).HQType;
    SCOPED_TRACE(type);
    EXPECT_NE(std::find(groups.begin(), groups.end(), type), groups.end());
  }

  // Computed fields of the sample read their fields.
  EXPECT_THAT(manager->GetDataFormatObjByName("113052.SH", "PremiumRate")->GetDataList(), ElementsAre(3, 32));
  EXPECT_THAT(manager->GetDataFormatObjByName("113052.SH", "PremiumRate")->GetSecondDataList(), ElementsAre(3));
}

}  // namespace
}  // namespace kdp
