// The field dictionary: name and ID look-ups across the three ID ranges, the Lux and cloud attributes,
// the read error of a missing or broken document, the expression pool, and the shipped sample.
#include "fields/hq_dictionary.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config_files.h"
#include "kdp/package.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::ScratchDir;
using testing::TestHost;

constexpr const char* kDictionaryXml = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<HQDictionary>
  <!-- comments are skipped -->
  <Item id="3" name="NewPrice" cname="最新价" caption="现价" type="double"/>
  <Item id="5" name="Open" cname="开盘价" caption="今开" type="double"/>
  <Item id="11" name="StockName" cname="名称" type="string"/>
  <Item id="17" name="TradingStatus" cname="交易状态" type="integer"/>
  <Item id="40" name="Odd" cname="怪" type="text"/>
  <Item name="NoID" cname="无编号"/>
  <Item id="41" cname="无名称"/>
  <Item id="10001" name="NetInflow" cname="净流入" type="double" CloudType="1" CloudCommandID="1000" KssFunction="KSS(a)"/>
  <Item id="15000" name="Strength" cname="强度" CloudType="0" CloudCommandID="100" MatrixFunction="RS(a,20)" KssFunction="unused"/>
  <Item id="12000" name="Plain" cname="普通" CloudCommandID="7"/>
  <Item id="20003" name="Rating" cname="评级" type="integer" LuxId="301" MapIndex="Rating"/>
  <Item id="20009" name="Target" cname="目标价" LuxId="302" MapIndex="TargetPrice"/>
  <Item id="20010" name="Echo" cname="重复" LuxId="301"/>
  <Item id="20011" name="NoLux" LuxId="abc"/>
</HQDictionary>)xml";

TEST(HQDictionaryTest, LooksUpNamesCaseInsensitivelyAndIDsInTheirRanges) {
  TKrHQDictionaryImpl dictionary;
  auto document = host::HQQueryBinDocInterface();
  std::string bytes;
  ASSERT_TRUE(host::EncodeXmlAsBinDocument(kDictionaryXml, bytes));
  ASSERT_TRUE(document->LoadFromBytes(bytes));
  dictionary.LoadBinDictionaryData(*document->GetRoot());

  for (const char* name : {"open", "OPEN", "Open", "oPeN"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(dictionary.GetIDByName(name), 5);
  }
  EXPECT_EQ(dictionary.GetIDByName("Opening"), 0);
  EXPECT_EQ(dictionary.GetIDByName("NoID"), 0);          // a node without an id is skipped
  EXPECT_EQ(dictionary.GetDictionaryItem(41), nullptr);  // and one without a name

  EXPECT_EQ(dictionary.GetNameByID(3), "最新价");
  EXPECT_EQ(dictionary.GetEngNameByID(3), "NewPrice");
  EXPECT_EQ(dictionary.GetNameByID(4), "");
  EXPECT_EQ(dictionary.GetEngNameByID(999999), "");

  struct TypeCase {
    int id;
    int type;
  };
  for (const TypeCase& c :
       {TypeCase{3, HQDICDATA_TYPE_DOUBLE}, TypeCase{11, HQDICDATA_TYPE_STRING}, TypeCase{17, HQDICDATA_TYPE_INTEGER},
        TypeCase{40, HQDICDATA_TYPE_DOUBLE}, TypeCase{15000, HQDICDATA_TYPE_DOUBLE},
        TypeCase{4, HQDICDATA_TYPE_INTEGER}, TypeCase{-7, HQDICDATA_TYPE_INTEGER}}) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(dictionary.GetTypeByID(c.id), c.type);
  }

  // The three arrays: quote IDs up to 10000, cloud IDs 10001..20000, Lux IDs from 20001.
  ASSERT_NE(dictionary.GetDictionaryItem(15000), nullptr);
  EXPECT_EQ(dictionary.GetDictionaryItem(15000)->FName, "Strength");
  EXPECT_EQ(dictionary.GetDictionaryItem(14999), nullptr);
  EXPECT_EQ(dictionary.GetDictionaryItem(15001), nullptr);  // beyond the filled part of the cloud array
  EXPECT_EQ(dictionary.GetDictionaryItem(20000), nullptr);
  EXPECT_EQ(dictionary.GetDictionaryItem(10000), nullptr);
  EXPECT_EQ(dictionary.GetMaxIndex(), 40);
  EXPECT_EQ(dictionary.GetLength(), 41);
  EXPECT_EQ(dictionary.GetMaxIndexCloud(), 15000);

  EXPECT_EQ(dictionary.GetCloudCommandIDByID(5), -1);
  EXPECT_EQ(dictionary.GetCloudCommandIDByID(10002), -1);  // a cloud ID nobody defined
  EXPECT_EQ(dictionary.GetCloudCommandIDByID(15000), 100);
  EXPECT_EQ(dictionary.GetCloudCommandIDByID(20003), -1);
  EXPECT_EQ(dictionary.GetMatrixFunctionByID(15000), "RS(a,20)");
  EXPECT_EQ(dictionary.GetMatrixFunctionByID(10001), "KSS(a)");
  EXPECT_EQ(dictionary.GetMatrixFunctionByID(12000), "");  // neither family
  EXPECT_EQ(dictionary.GetCloudTypeByID(10001), TCloudIndexType::itReal);
  EXPECT_EQ(dictionary.GetCloudTypeByID(15000), TCloudIndexType::itStub);
  EXPECT_EQ(dictionary.GetCloudTypeByName("netinflow"), TCloudIndexType::itReal);
  EXPECT_EQ(dictionary.GetCloudTypeByName("Rating"), TCloudIndexType::itStub);  // not a cloud field

  EXPECT_EQ(dictionary.GetLuxMapIndex(20009), "TargetPrice");
  EXPECT_EQ(dictionary.GetLuxMapIndex(3), "");
  EXPECT_EQ(dictionary.GetIndexIDByLuxId(301), "20003");  // the first of two items with that number
  EXPECT_EQ(dictionary.GetIndexIDByLuxId(302), "20009");
  EXPECT_EQ(dictionary.GetIndexIDByLuxId(0), "");  // the LuxId of a non-numeric text is 0, never found
  EXPECT_EQ(dictionary.GetIndexIDByLuxName("target"), "20009");
  EXPECT_EQ(dictionary.GetIndexIDByLuxName("NewPrice"), "");  // not a Lux field
  EXPECT_EQ(dictionary.GetLuxIdByLuxName("RATING"), 301);
  EXPECT_EQ(dictionary.GetLuxIdByLuxName("nothing"), 0);
}

// A dictionary file that is not there is logged with its cause; only one that exists but cannot be read
// shows the error box. Either way the dictionary answers "not found".
TEST(HQDictionaryTest, MissingOrBrokenDocumentShowsTheReadErrorAndAnswersNotFound) {
  ScratchDir dir;
  testing::WriteTextFile(dir.File("broken.hqc"), "KHQC\x01garbage");
  for (const char* language : {"CHS", "ENG"}) {
    SCOPED_TRACE(language);
    TestHost h([&](minihost::HostSettings& s) { s.language = language; });
    ASSERT_TRUE(h->StartPackage());  // the string catalogue comes with the package
    for (const std::string& file : {dir.File("missing.hqc"), dir.File("broken.hqc")}) {
      SCOPED_TRACE(file);
      const bool exists = file == dir.File("broken.hqc");
      const std::size_t before = h->ErrorMessages().size();
      TKrHQDictionaryImpl dictionary(file);
      EXPECT_EQ(dictionary.Count(), 0u);
      EXPECT_EQ(dictionary.GetIDByName("NewPrice"), 0);
      const std::string said = "TKrHQDictionaryImpl cannot read " + file + ": ";
      const auto records = h->Logger().Records();
      const auto line =
          std::find_if(records.rbegin(), records.rend(), [&](const auto& r) { return r.message.rfind(said, 0) == 0; });
      ASSERT_NE(line, records.rend());
      EXPECT_GT(line->message.size(), said.size());  // the cause is named
      if (!exists) {
        EXPECT_TRUE(h->Logger().Contains("cannot read " + file + ": the file does not exist"));
        EXPECT_EQ(h->ErrorMessages().size(), before);
        continue;
      }
      ASSERT_EQ(h->ErrorMessages().size(), before + 1);
      const auto& [caption, text] = h->ErrorMessages().back();
      if (std::string(language) == "CHS") {
        EXPECT_EQ(caption, "发生错误");
        EXPECT_EQ(text, "读取 HQDictionary.xml 错误!");
      } else {
        EXPECT_EQ(caption, "Error");
        EXPECT_EQ(text, "Cannot read HQDictionary.xml!");
      }
      EXPECT_EQ(dictionary.GetDictionaryItem(3), nullptr);
      EXPECT_EQ(dictionary.GetTypeByID(3), HQDICDATA_TYPE_INTEGER);
    }
    EXPECT_TRUE(h->Logger().Contains("发生错误") || h->Logger().Contains("Error"));
  }
}

TEST(HQDictionaryTest, ExpressionPoolSharesParsedExpressionsAndRefusesBadOnes) {
  TestHost h;  // the host's expression engine
  TKrHQDictionaryImpl dictionary;
  auto first = dictionary.GetOrCreateExpressionObj("Amp = (High - Low) / PreClose * 100");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(dictionary.GetOrCreateExpressionObj("Amp = (High - Low) / PreClose * 100"), first);
  EXPECT_NE(dictionary.GetOrCreateExpressionObj("Amp = (High - Low) / PreClose"), first);
  EXPECT_EQ(dictionary.GetOrCreateExpressionObj("Amp = (High - "), nullptr);

  TKrHQDictionaryItem item;
  item.SetExpression("Amp = (High - Low) / PreClose * 100", dictionary);
  EXPECT_TRUE(item.FIsValid);
  EXPECT_EQ(item.FExp, first);
  TKrHQDictionaryItem broken;
  broken.SetExpression("1 +* 2", dictionary);
  EXPECT_FALSE(broken.FIsValid);
  EXPECT_EQ(broken.FExpression, "1 +* 2");

  TKrHQDictionaryItem copy;
  copy.Dup(item);
  EXPECT_EQ(copy.FExp, first);
  EXPECT_TRUE(copy.FIsValid);
}

}  // namespace
}  // namespace kdp
