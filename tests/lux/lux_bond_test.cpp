// The bond platform's processors: the JSON requests they write, their sample replies read into rows
// (broker lists, dictionary pairs and tag bags, KDD documents inside documents, authorities), the replies
// they refuse, and pushes merged into the rows of the last reply.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/lux.h"
#include "lux/lux_bond_processor.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::CodedReply;
using testing::ContextText;
using testing::ParseSample;
using testing::QuotaText;
using testing::RowText;
using testing::SampleReply;
using testing::With;

// A pushed record carrying `document` under indicator 20065, with a news field beside it.
host::MemoryStream Push(const std::string& document) {
  return testing::PublishRecord({{2002, {"190210.IB"}}, {20065, {document}}});
}

const std::string kBgcBid =
    "Source=BD_QM_BBQ_BGC; ID=BGC190210B01; KoraCode=190210.IB; Side=Bid; Price=2.3125; Volume=4000; "
    "QuoteTime=10:33:12; DealFlag=0";

using LuxBondTest = testing::LuxHostTest;

TEST_F(LuxBondTest, BrokerQuotesAreReadFromTheListsOfTheProcessorsSources) {
  auto dealt = With<TKrLuxBondQuotoDealed>({{"KoraCode", "190210.IB"}, {"IssueDatetime", "20191015"}});
  auto message = dealt->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1306, 3700));
  EXPECT_EQ(
      ContextText(*message),
      R"({"queryType":"1","sourceType":"BD_QM_BBQ_ADMIN,BD_QM_BBQ_BGC,BD_QM_BBQ_ICAP,BD_QM_BBQ_PATR,BD_QM_BBQ_XT",)"
      R"("KoraCode":"190210.IB","IssueDatetime":"20191015"})");
  // BGC's bid was requoted within the reply: the later quote replaces the first where it stood. TPSC is
  // no source of this processor.
  auto table = ParseSample(*dealt, "LuxBondQuotoDealedDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 3);
  EXPECT_EQ(RowText(*table, 0), kBgcBid);
  EXPECT_EQ(table->GetIndexValue(1, "ID"), "BGC190210O01");
  EXPECT_EQ(RowText(*table, 2),
            "Source=BD_QM_BBQ_ICAP; ID=ICAP190210D07; KoraCode=190210.IB; Side=Deal; Price=2.3100; Volume=2000; "
            "QuoteTime=10:35:58; DealFlag=1");

  auto page = With<TKrLuxBBQF5DataProcessor>({{"KoraCode", "190210.IB"}});
  message = page->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1306, 3718));
  EXPECT_EQ(
      ContextText(*message),
      R"({"queryType":"1","sourceType":"BD_QM_BBQ_ADMIN,BD_QM_BBQ_BGC,BD_QM_BBQ_ICAP,BD_QM_BBQ_PATR,BD_QM_BBQ_XT,)"
      R"(BD_QM_BBQ_TPSC","KoraCode":"190210.IB","BeginDate":"20261204","EndDate":"20261204","BeginTime":"000000",)"
      R"("EndTime":"235959","IsNeedSourceCode":"1","IsAuthorized":"1"})");
  table = ParseSample(*page, "LuxBBQF5DataProcessor");
  ASSERT_EQ(table->GetRowCount(), 4);
  EXPECT_EQ(table->GetIndexValue(3, "Source"), "BD_QM_BBQ_TPSC");
  EXPECT_EQ(table->GetIndexValue(3, "Price"), "2.3200");
}

TEST_F(LuxBondTest, CommandsFromTheParametersAndTheEditionsLanguage) {
  auto missing = With<TKrLuxBBQF5TranDataProcessor>({{"appClass", "1306"}});
  EXPECT_EQ(missing->CreateReqMsg(), nullptr);
  EXPECT_TRUE(h->Logger().Contains("TKrLuxBBQF5TranDataProcessor.CreateSearchMsg Appclass and CommandID error!"));
  EXPECT_EQ(With<TKrBondLuxDataProcessor>({{"appClass", "4096"}, {"commandId", "1"}})->CreateSearchMsg(), nullptr);

  auto bond = With<TKrBondLuxDataProcessor>({{"appClass", "1306"},
                                             {"commandId", "3790"},
                                             {"ReqFieldIDS", "20001,20002,20007"},
                                             {"SubFieldIDS", "20001"},
                                             {"JSONStr", R"({"Term":"3Y"})"}});
  auto message = bond->CreateSearchMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1306, 3790));
  EXPECT_EQ(ContextText(*message), R"({"queryType":"1","ReqFieldIDS":"20001,20002,20007","SubFieldIDS":"20001",)"
                                   R"("userAgent":"KDP","isRequestPermission":"1"})");
  bond->SetIndexValue("IsHasJSONStr", "True");
  EXPECT_EQ(ContextText(*bond->CreateReqMsg()), R"({"queryType":"1","ReqFieldIDS":"20001,20002,20007",)"
                                                R"("SubFieldIDS":"20001","userAgent":"KDP","isRequestPermission":"1",)"
                                                R"("JSONStr":"{\"Term\":\"3Y\"}"})");

  auto tran = With<TKrLuxBBQF5TranDataProcessor>(
      {{"appClass", "1306"}, {"commandId", "3719"}, {"KoraCode", "220220.IB"}, {"ReqFieldIDS", "20001"}});
  message = tran->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1306, 3719));
  EXPECT_NE(ContextText(*message).find(R"("ReqFieldIDS":"20001","Language":"1","userAgent":"KDP")"), std::string::npos);
  auto table = ParseSample(*tran, "LuxBBQF5TranDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);
  EXPECT_EQ(table->GetIndexValue(0, "Source"), "BD_QM_BBQ_PATR");
  EXPECT_EQ(table->GetIndexValue(1, "ID"), "TPSC220220O04");
}

TEST(LuxBondEnglishTest, TheEnglishEditionAsksForLanguage2) {
  testing::TestHost english([](minihost::HostSettings& s) { s.language = "ENS"; });
  auto tran = With<TKrLuxBBQF5TranDataProcessor>({{"appClass", "1306"}, {"commandId", "3719"}});
  EXPECT_NE(ContextText(*tran->CreateReqMsg()).find(R"("Language":"2")"), std::string::npos);
}

TEST_F(LuxBondTest, DictionaryPairsTagBagsBenchmarksAndCommits) {
  auto bond = With<TKrBondLuxDataProcessor>({{"appClass", "1306"}, {"commandId", "3790"}});
  auto table = ParseSample(*bond, "BondLuxDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);
  EXPECT_EQ(RowText(*table, 0),
            "KoraCode=190210.IB; 20001=2.3100; 20002=-0.0125; 20007=102.4580; Rating=AAA; Issuer=国家开发银行");
  EXPECT_EQ(RowText(*table, 1), "KoraCode=220220.IB; 20001=2.6450; Rating=AAA");

  auto benchmark = With<TKrLuxBenchmarkDataProcessor>({{"ModuleType", "BOND"}, {"SectorIDS", "BM001,BM002"}});
  auto message = benchmark->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1306, 3720));
  EXPECT_EQ(ContextText(*message), R"({"QueryType":"1","ModuleType":"BOND","SectorIDS":"BM001,BM002"})");
  table = ParseSample(*benchmark, "LuxBenchmarkDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 3);
  EXPECT_EQ(RowText(*table, 0),
            "ID=SHIBOR_ON; SectorID=BM001; Name=隔夜Shibor; Rate=1.3520; Change=-0.0080; Date=20261204");

  auto commit = With<TKrLuxKDDCommitBargain>({{"queryType", "2"}});
  message = commit->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1311, 2154));
  EXPECT_EQ(ContextText(*message), R"({"queryType":"2","Version":"1.0"})");
  table = ParseSample(*commit, "LuxKDDCommitBargain");
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(RowText(*table, 0),
            "QuoteID=KQ20261204001; NegotiationID=NG20261204001; Result=0; ResultMsg=成交确认已提交");
}

TEST_F(LuxBondTest, KddDocumentsInsideTheReplyBecomeRowsWithTheAuthorities) {
  auto kdd = With<TKrLuxKDDF5DataProcessor>({{"KoraCode", "220215.IB"}});
  auto message = kdd->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1311, 2150));
  EXPECT_EQ(ContextText(*message), R"({"queryType":"1","sourceType":"KDD","KoraCode":"220215.IB","Version":"1.0"})");

  auto table = ParseSample(*kdd, "LuxKDDF5DataProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);  // the third document is of no known type
  EXPECT_TRUE(h->Logger().Contains("TKrLuxKDDF5DataProcessor 未知的JSONStr类型: Rpt.BDNEWS"));
  EXPECT_EQ(RowText(*table, 0),
            "MsgType=Rpt.BDQT; ID=KQ20261204001; KoraCode=220215.IB; Side=Bid; Price=2.4100; Volume=10000; "
            R"(JSONStr={"MsgType":"Rpt.BDQT","ID":"KQ20261204001","KoraCode":"220215.IB","Side":"Bid",)"
            R"("Price":"2.4100","Volume":"10000"}; BargainAuthor=1; ManagementAuthor=0; PlatformAuthor=1)");
  std::string negotiation = RowText(*table, 1);
  const std::size_t document = negotiation.find("; JSONStr={"), authors = negotiation.find("; BargainAuthor=");
  ASSERT_LT(document, authors);
  negotiation.erase(document, authors - document);  // the document text, between the counterparty and the authorities
  EXPECT_EQ(negotiation,
            "MsgType=Rpt.BDRFQ; ID=KR20261204007; KoraCode=220215.IB; Side=Ofr; Volume=5000; QuoteID=KQ20261204001; "
            "NegotiationID=NG20261204001; CounterpartyName=张伟; CounterpartyInstitutionName=某城市商业银行; "
            "CounterpartyPhone=021-60000001; CounterpartyMobile=13800000001; CounterpartyEmail=zhangwei@bank.example; "
            "CounterpartyKoraId=KID300118; BargainAuthor=1; ManagementAuthor=0; PlatformAuthor=1");
}

TEST_F(LuxBondTest, AuthorityRequestsAndTheirFlags) {
  TKrLuxKDDAuthority kdd;
  auto message = kdd.CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1005, 614));
  EXPECT_EQ(ContextText(*message), R"({"UserID":"10000001"})");
  auto table = ParseSample(kdd, "LuxKDDAuthority");
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(RowText(*table, 0), "UserID=10000001; BargainAuthor=1; ManagementAuthor=0; PlatformAuthor=1");

  // The BTA body is fixed text: this key order, and the user's ID unquoted.
  TKrLuxBTAAuthority bta;
  message = bta.CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1029, 1001));
  EXPECT_EQ(ContextText(*message), R"({"cmdid":1041,"Version":"1.0","Userid":10000001})");
  bta.SetIndexValue("Userid", "20000002");
  EXPECT_EQ(ContextText(*bta.CreateReqMsg()), R"({"cmdid":1041,"Version":"1.0","Userid":20000002})");
  table = ParseSample(bta, "LuxBTAAuthority");
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(RowText(*table, 0), "cmdid=1041; Userid=10000001; BTAAuthor=1; QuoteAuthor=1; TradeAuthor=0");
}

TEST_F(LuxBondTest, RefusedRepliesGiveAnEmptyTableAndALineNamingTheProcessor) {
  struct Case {
    std::string what;
    host::TBaseLuxMessage reply;
    std::string logged;
  };
  host::MemoryStream cut;
  cut.Write("\0\0", 2);  // half a code
  std::vector<Case> cases;
  cases.push_back({"a failed code", CodedReply(R"({"Records":[]})", 5, "无权限"),
                   "TKrLuxBenchmarkDataProcessor.ProcessRpMsg not LCodeHeader.IsSuccess code=5 message=无权限"});
  cases.push_back({"not JSON", CodedReply("{\"Records\": [", 0),
                   "TKrLuxBenchmarkDataProcessor.DecodeData异常:not a JSON document"});
  cases.push_back({"not an object", CodedReply("[1, 2]", 0), "TKrLuxBenchmarkDataProcessor.DecodeData异常:"});
  cases.push_back({"a header cut short",
                   host::TBaseLuxMessage(testing::ReplyWire(cut.AsStringView()), 1, host::mpNormal),
                   "TKrLuxBenchmarkDataProcessor.ProcessRpMsg 应答没有完整的LCodeHeader"});
  cases.push_back({"a time-out", host::TBaseLuxMessage({}, 1, host::mpTimeout),
                   "TKrLuxBenchmarkDataProcessor.ProcessRpMsg 应答无法读取"});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    TKrLuxBenchmarkDataProcessor benchmark;
    ASSERT_EQ(ParseSample(benchmark, "LuxBenchmarkDataProcessor")->GetRowCount(), 3);
    EXPECT_FALSE(benchmark.ProcessRpMsg(c.reply));
    EXPECT_EQ(benchmark.GetAnalyseLuxData()->GetRowCount(), 0);
    EXPECT_TRUE(h->Logger().Contains(c.logged));
  }
}

TEST_F(LuxBondTest, PushesMergeIntoTheRowsOfTheLastReply) {
  auto page = With<TKrLuxBBQF5DataProcessor>({{"KoraCode", "190210.IB"}, {"2030", "BBQ"}, {"SaveData", "True"}});
  EXPECT_EQ(QuotaText(*page->CreateSubInfo(SITIndex)), "20065=");
  auto conditions = page->CreateSubInfo(SITIndexQuota);
  EXPECT_EQ(QuotaText(*conditions), "2002=190210.IB; 2030=BBQ");  // the code as 2002, then the parameters
  EXPECT_FALSE(conditions->IsUseAuthLevel());

  auto replied = ParseSample(*page, "LuxBBQF5DataProcessor");
  ASSERT_EQ(replied->GetRowCount(), 4);
  // BGC requotes its bid; XT quotes for the first time.
  auto push = Push(R"({"BD_QM_BBQ_BGC":[{"ID":"BGC190210B01","Price":"2.3100","QuoteTime":"10:40:00"}],)"
                   R"("BD_QM_BBQ_XT":[{"ID":"XT190210B01","Side":"Bid","Price":"2.3300"}]})");
  ASSERT_TRUE(page->ProcessPublishMsg(push));
  auto pushed = page->GetAnalyseLuxData();
  ASSERT_EQ(pushed->GetRowCount(), 2);
  EXPECT_EQ(RowText(*pushed, 0),
            "Source=BD_QM_BBQ_BGC; ID=BGC190210B01; KoraCode=190210.IB; Side=Bid; Price=2.3100; Volume=4000; "
            "QuoteTime=10:40:00; DealFlag=0");
  EXPECT_EQ(RowText(*pushed, 1), "Source=BD_QM_BBQ_XT; ID=XT190210B01; Side=Bid; Price=2.3300");
  // The table the reply handed out is not changed by the merge.
  EXPECT_EQ(RowText(*replied, 0), kBgcBid);

  // With NotifyAll the push delivers every row known, the merged ones in their places.
  page->SetIndexValue("NotifyAll", "True");
  auto again = Push(R"({"BD_QM_BBQ_ICAP":[{"ID":"ICAP190210D07","DealFlag":"2"}]})");
  ASSERT_TRUE(page->ProcessPublishMsg(again));
  auto all = page->GetAnalyseLuxData();
  ASSERT_EQ(all->GetRowCount(), 5);
  EXPECT_EQ(all->GetIndexValue(0, "Price"), "2.3100");
  EXPECT_EQ(all->GetIndexValue(2, "ID"), "ICAP190210D07");
  EXPECT_EQ(all->GetIndexValue(2, "DealFlag"), "2");
  EXPECT_EQ(all->GetIndexValue(2, "Price"), "2.3100");
  EXPECT_EQ(all->GetIndexValue(4, "ID"), "XT190210B01");

  // A new reply starts the remembered rows again.
  ParseSample(*page, "LuxBBQF5DataProcessor");
  auto third = Push(R"({"BD_QM_BBQ_BGC":[{"ID":"BGC190210O01","Price":"2.3000"}]})");
  ASSERT_TRUE(page->ProcessPublishMsg(third));
  EXPECT_EQ(page->GetAnalyseLuxData()->GetRowCount(), 4);
  EXPECT_EQ(page->GetAnalyseLuxData()->GetIndexValue(0, "Price"), "2.3125");

  // Records that are no push of ours.
  auto noDocument = testing::PublishRecord({{2001, {"N1"}}});
  EXPECT_FALSE(page->ProcessPublishMsg(noDocument));
  EXPECT_TRUE(h->Logger().Contains("TKrLuxBBQF5DataProcessor.ProcessPublishMsg 推送记录没有20065"));
  host::MemoryStream garbage(std::string_view("\xff\xff\xff\x7f", 4));
  EXPECT_FALSE(page->ProcessPublishMsg(garbage));
  EXPECT_EQ(page->GetAnalyseLuxData()->GetRowCount(), 0);
}

}  // namespace
}  // namespace kdp
