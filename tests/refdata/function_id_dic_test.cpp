// Rights and function IDs: the command permission dictionary, permission counting with the two rights
// that count only for mainland logins, the function ID document, every page chooser by market group, and
// the audit record of a function use.
#include "refdata/function_id_dic.h"

#include <set>

#include <gtest/gtest.h>

#include "config_files.h"
#include "kdp/host/services.h"
#include "refdata/permission.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::ScratchDir;
using testing::TestHost;

TEST(CommandPermissionTest, TheCatalogueMapsCommandsToRightsAndTheRestToTheBaseRight) {
  TestHost h;
  const auto catalog = CommandRightCatalog();
  std::set<int> ids;
  for (const TCommandRight& entry : catalog) ids.insert(entry.commandID);
  EXPECT_EQ(ids.size(), catalog.size());  // no command twice: the dictionary would keep only one
  EXPECT_EQ(GetPermissionByCommandID(1001), "EQ_QM_SH");
  EXPECT_TRUE(IsHavePermissionByCommandID(1094));

  for (int unknown : {0, -1, 1000, 1095, 99999}) {
    SCOPED_TRACE(unknown);
    EXPECT_FALSE(IsHavePermissionByCommandID(unknown));
    EXPECT_EQ(GetPermissionByCommandID(unknown), "F_BASE");
  }
  // Freed at shut-down, made again on the next use.
  FreeHQPermissionDict();
  EXPECT_EQ(GetPermissionByCommandID(1001), "EQ_QM_SH");
}

TEST(CommandPermissionTest, HeldRightsAreCountedAndMainlandOnlyRightsCountOnlyForRegionZero) {
  const std::string text = "EQ_HQ_HK_FREERQ,CM_HQ_HKPRS_MAINLAND_FREE,EQ_HQ_SH_L1,EQ_HQ_SZ_L2";
  struct Case {
    int region;
    int count;
  };
  for (const Case c : {Case{0, 3}, Case{1, 1}, Case{2, 1}}) {
    SCOPED_TRACE(c.region);
    TestHost h([&](minihost::HostSettings& s) {
      s.rights = {"EQ_HQ_HK_FREERQ", "CM_HQ_HKPRS_MAINLAND_FREE", "EQ_HQ_SH_L1"};
      s.loginRegion = c.region;
    });
    EXPECT_EQ(MatchPermission(text), c.count);
    EXPECT_EQ(MatchPermission("CM_HQ_HKPRS_MAINLAND_FREE"), c.region == 0 ? 1 : 0);
    EXPECT_EQ(MatchPermission(""), 0);
    EXPECT_EQ(MatchPermission(" EQ_HQ_SH_L1 , EQ_HQ_SH_L2 ,,"), 1);  // blanks and empty names are no rights
    EXPECT_EQ(MatchPermission("eq_hq_sh_l1"), 0);                    // rights are exact names
  }
  EXPECT_EQ(FastSplit("  ;a;;b ", ";"), (std::vector<std::string>{"", "a", "", "b"}));
  EXPECT_EQ(FastSplit("x}{y:z", "}{"), (std::vector<std::string>{"x", "y:z"}));
  EXPECT_TRUE(FastSplit("   ", ";").empty());
}

TEST(FunctionIDDicTest, NamesComeFromTheConfigElementWithoutRegardToCase) {
  TestHost h;
  TFunctionIDDic dic(std::string(KDP_SAMPLE_ETC) + "/HQ/Base/HqFuncID.xml");
  EXPECT_EQ(dic.GetFunctionIDByStr("id_gbf_kline"), "000202020002");
  EXPECT_EQ(dic.GetFunctionIDByStr("ID_Nothing"), "");
  EXPECT_EQ(dic.GetFunctionIDByStr(""), "");
  ASSERT_NE(dic.GetFunctionIDConfigNode(), nullptr);
  EXPECT_EQ(dic.GetFunctionIDConfigNode()->GetNodeName(), "MODULECONFIG");
  ASSERT_NE(dic.GetFunctionIDServerNode(), nullptr);
  EXPECT_EQ(dic.GetFunctionIDServerNode()->FindChild("Server")->GetAttribute("name"), "korareportserver");
}

TEST(FunctionIDDicTest, AMissingOrPartialDocumentLeavesNamesEmptyButNumbersWork) {
  TestHost h;
  ScratchDir dir;
  TFunctionIDDic missing(dir.File("HqFuncID.xml"));
  EXPECT_TRUE(h->Logger().Contains("LoadFile Fail FileName = " + dir.File("HqFuncID.hqc")));
  EXPECT_EQ(missing.GetFunctionIDByStr("ID_NTB_Prices"), "");
  EXPECT_EQ(missing.GetFunctionIDConfigNode(), nullptr);
  EXPECT_EQ(missing.GetPageFunIDByHQType(TFunctionPage::kMinute, "A.SH"), "000100530001");
  EXPECT_EQ(missing.GetPageFunIDByHQType(TFunctionPage::kMinute, "Z.SH"), "");  // a bond page needs its name

  // Element names compare in upper case; entries without a name are skipped; a name given twice keeps the
  // later ID; a document without SERVERCONFIG has no server node.
  testing::WriteHqcFile(dir.File("Partial.hqc"), R"(<r><config><Item IDName="ID_SBF_Tick" id="1"/><Item id="2"/>
      <Item IDName="ID_SBF_Tick" id="000202030005"/></config><moduleconfig/></r>)");
  TFunctionIDDic partial(dir.File("Partial.xml"));
  EXPECT_EQ(partial.GetFunctionIDByStr("ID_SBF_Tick"), "000202030005");
  EXPECT_NE(partial.GetFunctionIDConfigNode(), nullptr);
  EXPECT_EQ(partial.GetFunctionIDServerNode(), nullptr);
  EXPECT_EQ(partial.GetPageFunIDByHQType(TFunctionPage::kTick, "SBF"), "000202030005");
}

TEST(FunctionIDDicTest, EachPageIsChosenByTheFirstMarketGroupHoldingTheType) {
  TestHost h;
  h->StartPackage();
  TFunctionIDDic& dic = TFunctionIDDic::GetInstance();
  ASSERT_EQ(dic.GetMarketGroups().size(), 20u);
  EXPECT_EQ(dic.GetMarketGroups()[1], (std::vector<std::string>{"X", "XW"}));
  EXPECT_EQ(dic.FindMarketGroup("TWO"), 2);  // listed twice: the first group decides
  EXPECT_EQ(dic.FindMarketGroup("tw"), -1);  // types compare exactly
  struct Case {
    const char* code;
    TFunctionPage page;
    const char* id;
  };
  const Case cases[] = {
      {"600000.SH", TFunctionPage::kMinute, "000100530001"},  // A.SH
      {"300750.SZ", TFunctionPage::kKline, "000100530002"},   // CYB.SZ
      {"510300.SH", TFunctionPage::kTradeDetail, "000100570003"},
      {"00700.HK", TFunctionPage::kDealPrice, "000101530004"},
      {"AAPL.O", TFunctionPage::kTick, "000100560005"},
      {"IBM.N", TFunctionPage::kHisPlay, "000100560006"},
      {"000001.SH", TFunctionPage::kAttachEDE, "000101540007"},  // an index
      {"IF2612.CFE", TFunctionPage::kAttachMacro, "000101520008"},
      {"019547.SH", TFunctionPage::kMinute, "000202010001"},  // a treasury bond: ID_NTB_Prices
      {"019547.SH", TFunctionPage::kUserAttach, "000202010011"},
      {"113050.SH", TFunctionPage::kCancelAttach, "000202010010"},  // a convertible bond
      {"600000.SH", TFunctionPage::kAttachSecurity, "000100530009"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    auto security = h->Securities().GetSecurity(c.code);
    ASSERT_NE(security, nullptr);
    EXPECT_EQ(dic.GetPageFunIDByKoraCode(c.page, security), c.id);
  }
  auto a = h->Securities().GetSecurity("600000.SH");
  EXPECT_EQ(dic.GetKlineFunIDByKoraCode(a), "000100530002");
  EXPECT_EQ(dic.GetMinuteFunIDByKoraCode(a), "000100530001");
  EXPECT_EQ(dic.GetTradeDetailFunIDByKoraCode(a), "000100530003");
  EXPECT_EQ(dic.GetDealPriceFunIDByKoraCode(a), "000100530004");
  EXPECT_EQ(dic.GetTICKFunIDByKoraCode(a), "000100530005");
  EXPECT_EQ(dic.GetHisPlayFunIDByKoraCode(a), "000100530006");
  EXPECT_EQ(dic.GetAttachEDEFunIDByKoraCode(a), "000100530007");
  EXPECT_EQ(dic.GetAttachMacroFunIDByKoraCode(a), "000100530008");
  EXPECT_EQ(dic.GetAttachSecurityFunIDByKoraCode(a), "000100530009");
  EXPECT_EQ(dic.GetCancelAttachFunIDByKoraCode(a), "000100530010");
  EXPECT_EQ(dic.GetUserAttachFunIDByKoraCode(a), "000100530011");
  EXPECT_EQ(dic.GetMinuteFunIDByKoraCode(nullptr), "");
  EXPECT_EQ(dic.GetPageFunIDByHQType(TFunctionPage::kMinute, "UD"), "");  // no group holds user-defined codes
  EXPECT_EQ(dic.GetPageFunIDByHQType(TFunctionPage::kMinute, "T"), "000202020001");  // bond futures
  EXPECT_EQ(dic.GetPageFunIDByHQType(TFunctionPage::kMinute, "FX.EX"), "000101510001");
  EXPECT_EQ(&TFunctionIDDic::GetInstance(), &dic);  // one instance
}

TEST(FunctionIDDicTest, AFunctionUseIsAuditedAndLogged) {
  TestHost h;
  HQWriteBAuditLog("000100530001", "600000.SH");
  const auto records = h->AuditTrail().Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].FunctionID, "000100530001");
  EXPECT_EQ(records[0].KoraCode, "600000.SH");
  EXPECT_EQ(records[0].UserID, "10000001");
  EXPECT_EQ(records[0].AccountID, "A10000001");
  EXPECT_EQ(records[0].Time, host::DateTime::FromParts(2026, 12, 4, 10, 30, 0));
  EXPECT_TRUE(h->Logger().Contains("HQWriteBAuditLog FunctionID=000100530001"));
}

}  // namespace
}  // namespace kdp
