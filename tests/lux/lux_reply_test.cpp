// Replies and pushes into tables: the news document, pushed news records, raw messages, the sector tree
// and the dealer documents, each also with the malformed forms they must survive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kdp/host/ansi.h"
#include "lux/lux_async_message.h"
#include "lux/lux_data_item.h"
#include "lux/lux_dealer_id.h"
#include "lux/lux_news_processor.h"
#include "lux/lux_news_reply.h"
#include "lux/lux_sector_tree_processor.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::NewsReply;
using testing::RowText;

// The news document the tests read, with items of every shape.
std::string NewsDocument() { return testing::SampleDocument("news_reply.xml", KDP_LUX_TEST_DATA); }

// Made inside the host, so the report server is the sample's.
std::shared_ptr<TKrLuxNewsDataProcessor> Processor(const std::string& codes) {
  return testing::With<TKrLuxNewsDataProcessor>({{"koracode", codes}});
}

using LuxNewsReplyTest = testing::LuxHostTest;

TEST_F(LuxNewsReplyTest, ARealisticDocumentBecomesRowsOfANewTable) {
  auto processor = Processor("600000.SH,600036.SH");
  auto reply = NewsReply(NewsDocument());
  ASSERT_TRUE(processor->ProcessRpMsg(reply));
  auto table = processor->GetAnalyseLuxData();
  ASSERT_EQ(table->GetRowCount(), 4);

  // sentences of a requested code whose section starts 337
  EXPECT_EQ(RowText(*table, 0),
            "ID=N2026120400017; Title=浦发银行前三季度净利润同比增长5.2%，资产质量保持稳定; NewsDate=2026-12-04 "
            "09:31:05; URL=http://news.kora.example/snap/view.php?id=N2026120400017&src=kora&t=1; Column=新闻; "
            "Source=证券时报网; Tagcode=600000.SH; section=337010,337045; UserStockType=News");
  // Upper-case elements; the broker replaces the site and the snap link.
  EXPECT_EQ(RowText(*table, 1),
            "ID=R88812; Title=银行业深度报告：息差企稳，估值修复可期; NewsDate=2026-12-03 18:00:00; "
            "URL=http://report.kora.example:8080/KoraRCHost/RPP/ViewReportInfo.aspx?reportid=R88812; Column=研究报告; "
            "Source=华泰证券; AttechmentUrl=http://files.kora.example/rpt/R88812.pdf; AttechmentType=PDF; "
            "UserStockType=News");
  // "?" as the first character is no query part; channel 9 is "other".
  EXPECT_EQ(RowText(*table, 2),
            "ID=N2026120400009; Title=Morning brief: index futures & \"blue chips\"; NewsDate=2026-12-04 08:02:11; "
            "URL=?id=N2026120400009; Column=新闻; Source=Kora Wire; "
            "AttechmentUrl=http://files.kora.example/brief.html; UserStockType=News");
  // A channel that is not a number; a sentence code without a comma names nothing.
  EXPECT_EQ(table->GetIndexValue(3, "Column"), "新闻");
  EXPECT_EQ(table->GetIndexValue(3, "section"), "");
  EXPECT_TRUE(h->Logger().Contains("AnalyseAndSaveLuxNews 新闻数量：4"));

  // Sentences are matched against the request's codes: another request keeps other sections.
  auto other = Processor("000001.SZ");
  auto again = NewsReply(NewsDocument());
  ASSERT_TRUE(other->ProcessRpMsg(again));
  EXPECT_EQ(other->GetAnalyseLuxData()->GetIndexValue(0, "section"), "337020");

  // Each parse replaces the processor's table and leaves the one handed out as it was.
  auto empty = NewsReply("<response><result/></response>");
  EXPECT_TRUE(processor->ProcessRpMsg(empty));
  EXPECT_EQ(processor->GetAnalyseLuxData()->GetRowCount(), 0);
  EXPECT_EQ(table->GetRowCount(), 4);
}

TEST_F(LuxNewsReplyTest, MalformedRepliesGiveEmptyOrPartialTablesAndALogLine) {
  const std::string document = NewsDocument();
  struct Case {
    const char* what;
    host::TBaseLuxMessage reply;
    int rows;
    const char* logged;
  };
  std::vector<Case> cases;
  cases.push_back({"cut inside the second item", NewsReply(document.substr(0, document.find("<Broker>"))), 2,
                   "AnalyseAndSaveLuxNews 新闻数据不是完整的XML"});
  // The element begun in the last byte counts, as pugixml's load_buffer reads it.
  cases.push_back({"cut after a one-letter name", NewsReply("<response><result><item><id>1</id></item><i"), 2,
                   "AnalyseAndSaveLuxNews 新闻数据不是完整的XML"});
  cases.push_back({"no result element", NewsReply("<response><total>0</total></response>"), 0,
                   "AnalyseAndSaveLuxNews 未找到Result节点"});
  cases.push_back({"not XML", NewsReply("\xFF\xFE\x00<<&&>>"), 0, "AnalyseAndSaveLuxNews 未找到Result节点"});
  cases.push_back({"an error reply", NewsReply(document, host::mpError), 0, "ProcessRpMsg 错误应答(mpError)"});
  cases.push_back({"a time-out", host::TBaseLuxMessage({}, 3, host::mpTimeout), 0, "ProcessRpMsg 应答反序列化失败"});
  cases.push_back({"a body shorter than its prefix", host::TBaseLuxMessage(testing::ReplyWire("ab"), 4, host::mpNormal),
                   0, "ProcessRpMsg MessageBody.Size < II_DECODE_OFFSET"});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    h->Logger().ClearRecords();
    auto processor = Processor("600000.SH");
    processor->ProcessRpMsg(c.reply);
    EXPECT_EQ(processor->GetAnalyseLuxData()->GetRowCount(), c.rows);
    EXPECT_TRUE(h->Logger().Contains(c.logged));
  }
  // The partial second item keeps what was read before the cut.
  auto processor = Processor("600000.SH");
  auto cut = NewsReply(document.substr(0, document.find("<Broker>")));
  processor->ProcessRpMsg(cut);
  EXPECT_EQ(processor->GetAnalyseLuxData()->GetIndexValue(1, "Source"), "研报中心");
}

// The rows of one reply share the reply's memory; a change to one row, or to a clone, reaches no other,
// and a row outlives its table and the bytes it was read from. The document comes as UTF-8, as UTF-16 and
// in code page 936 as it declares.
TEST_F(LuxNewsReplyTest, RowsOfOneReplyInAnyEncodingShareTheirMemoryButNotTheirChanges) {
  const std::string items =
      "<response><result>"
      "<item><id>A1</id><title>第一条</title><channel>1</channel></item>"
      "<item><id>B2</id><title>second</title><snap>http://x.example/v?id=B2</snap></item>"
      "<item><id>C3</id><title>third</title><broker>某证券</broker></item>"
      "</result></response>";
  const std::string utf8 = "<?xml version=\"1.0\"?>" + items;
  const std::u16string utf16 = host::Utf8ToUtf16(utf8);
  std::string utf16Bytes = "\xFF\xFE";  // UTF-16LE with its byte-order mark: pugixml converts it into its own buffer
  for (char16_t unit : utf16) {
    utf16Bytes += static_cast<char>(unit & 0xFF);
    utf16Bytes += static_cast<char>(unit >> 8);
  }
  const std::string gbk = host::Utf8ToAnsi("<?xml version=\"1.0\" encoding=\"GB2312\"?>" + items);
  const TNewsReplyContext context = TNewsReplyContext::FromHost();
  for (const std::string& encoded : {utf8, utf16Bytes, gbk}) {
    SCOPED_TRACE(encoded.size());
    auto table = std::make_shared<TKrLuxDataTable>();
    {
      const std::string document = encoded;  // gone before the rows are read
      ParseNewsReply(document, context, "", *table);
    }
    ASSERT_EQ(table->GetRowCount(), 3);

    // A row that changes a value and adds a name keeps its order; its siblings keep theirs.
    table->SetIndexValue(0, "Title", "第一条，改过的更长标题");
    table->SetIndexValue(0, "Browsed", "True");
    EXPECT_EQ(RowText(*table, 0), "ID=A1; Title=第一条，改过的更长标题; Column=新闻; UserStockType=News; Browsed=True");
    EXPECT_EQ(RowText(*table, 1), "ID=B2; Title=second; URL=http://x.example/v?id=B2&t=1; UserStockType=News");

    // A clone and its source change apart.
    auto clone = table->GetRowItem(1)->Clone();
    clone->SetIndexValue("ID", "clone");
    table->SetIndexValue(1, "Title", "changed");
    EXPECT_EQ(table->GetIndexValue(1, "ID"), "B2");
    EXPECT_EQ(clone->GetIndexValue("Title"), "second");
    EXPECT_EQ(clone->GetSerialStr(), "ID♀clone♂Title♀second♂URL♀http://x.example/v?id=B2&t=1♂UserStockType♀News");

    // A value the row views can be set into the row itself.
    auto third = std::dynamic_pointer_cast<TKrLuxDataItem>(table->GetRowItem(2));
    ASSERT_NE(third, nullptr);
    third->SetIndexValue("Copy", third->FindIndexValue("Source"));
    EXPECT_EQ(third->GetIndexValue("Copy"), "某证券");

    // The last row kept outlives the table and every other row.
    auto kept = table->GetRowItem(1);
    table.reset();
    third.reset();
    EXPECT_EQ(kept->GetSerialStr(), "ID♀B2♂Title♀changed♂URL♀http://x.example/v?id=B2&t=1♂UserStockType♀News");
  }
}

TEST_F(LuxNewsReplyTest, PushedRecordsBecomeOneRowEach) {
  auto processor = Processor("600000.SH");
  const std::vector<host::TLuxIndicator> indicators{{2001, {"N77"}},      {2002, {"600000.SH"}},
                                                    {2007, {"盘中快讯"}}, {2008, {"2026-12-04 10:31:00"}},
                                                    {2009, {"快讯中心"}}, {2010, {"http://news.kora.example/N77"}},
                                                    {2011, {"4"}},        {2005, {"600000.SH", "600036.SH"}},
                                                    {2012, {"ignored"}}};
  auto record = testing::PublishRecord(indicators);
  ASSERT_TRUE(processor->ProcessPublishMsg(record));
  auto table = processor->GetAnalyseLuxData();
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(RowText(*table, 0),
            "ID=N77; Title=盘中快讯; NewsDate=2026-12-04 10:31:00; Source=快讯中心; URL=http://news.kora.example/N77; "
            "Column=经济通新闻; Tagcode=600000.SH,600036.SH");

  // The next push replaces the table; a record that cannot be decoded leaves it empty.
  host::MemoryStream garbage(std::string_view("\x05\x00\x00\x00\x01", 5));
  EXPECT_FALSE(processor->ProcessPublishMsg(garbage));
  EXPECT_EQ(processor->GetAnalyseLuxData()->GetRowCount(), 0);
  EXPECT_EQ(table->GetRowCount(), 1);
  EXPECT_TRUE(h->Logger().Contains("ProcessPublishMsg 推送记录无法解码 (5 字节)"));
}

TEST(LuxAsyncMessage, KeepsTheBodyAfterItsPrefixOrWholeForCloudReports) {
  testing::TestHost h;
  TKrLuxDataAsyncMessage plain;
  TKrLuxCloudPRDataAsyncMessage cloud;
  // The messages they send are checked by the data manager's raw message test and the Lux road tests.
  auto asFace = host::Query<IKrLuxDataAsyncMessage>(std::make_shared<TKrLuxCloudPRDataAsyncMessage>());
  EXPECT_NE(asFace, nullptr);

  struct Case {
    const char* what;
    host::TBaseLuxMessage reply;
    bool plainOk;
    std::string plainKept;
    bool cloudOk;
    std::string cloudKept;
    const char* logged;
  };
  std::vector<Case> cases;
  cases.push_back({"normal", host::TBaseLuxMessage(testing::ReplyWire("HEADbody"), 1, host::mpNormal), true, "body",
                   true, "HEADbody", ""});
  cases.push_back({"short", host::TBaseLuxMessage(testing::ReplyWire("ab"), 1, host::mpNormal), false, "", true, "ab",
                   "PostAsyncMessage: MessageBody.Size is invalid"});
  cases.push_back({"error", host::TBaseLuxMessage(testing::ReplyWire("HEADbody"), 1, host::mpError), false, "", false,
                   "", "PostAsyncMessage: mpError"});
  cases.push_back(
      {"time-out", host::TBaseLuxMessage({}, 1, host::mpTimeout), false, "", false, "", "PostAsyncMessage: mpTimeOut"});
  cases.push_back({"undecodable", host::TBaseLuxMessage({1, 2, 3}, 1, host::mpNormal), false, "", false, "",
                   "PostAsyncMessage: Deserialize failed"});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    h->Logger().ClearRecords();
    host::TBaseLuxMessage copy = c.reply;
    EXPECT_EQ(plain.ProcessRpMsg(c.reply), c.plainOk);
    EXPECT_EQ(plain.GetDataStream().AsStringView(), c.plainKept);
    EXPECT_EQ(plain.GetMsgProp(), c.reply.GetMessageProp());
    EXPECT_EQ(cloud.ProcessRpMsg(copy), c.cloudOk);
    EXPECT_EQ(cloud.GetDataStream().AsStringView(), c.cloudKept);
    if (*c.logged) {
      EXPECT_TRUE(h->Logger().Contains(c.logged));
    }
  }
}

TEST(LuxSectorTree, RequestsAndRefusedReplies) {
  testing::TestHost h([](minihost::HostSettings& s) { s.language = "ENS"; });
  TKrLuxSectorTreeProcessor tree;
  EXPECT_EQ(tree.GetSectorID(), "{FEF825A1-42AA-4F84-AF8F-AF18935492E3}");
  tree.SetIndexValue("SectorTreeType", "27");
  auto message = tree.CreateReqMsg();
  EXPECT_EQ(testing::ContextText(*message), "calltype=C#&name=code&param=type:27;subnode:N1071;lng:01");
  EXPECT_EQ(message->GetCommandWord(), 0x58301771u);
  tree.SetIndexValue("SectorTreeType", "12");
  EXPECT_EQ(testing::ContextText(*tree.CreateReqMsg()), "calltype=C#&name=code&param=type:12;lng:01");

  // The nodes themselves are read by the sectors command's tests; here a refused reply replaces them.
  auto reply = NewsReply("<root><result><node code=\"N1071\"/></result></root>");
  ASSERT_TRUE(tree.ProcessRpMsg(reply));
  ASSERT_EQ(tree.GetAnalyseLuxData()->GetRowCount(), 1);
  auto missing = NewsReply("<root/>");
  EXPECT_FALSE(tree.ProcessRpMsg(missing));
  EXPECT_EQ(tree.GetAnalyseLuxData()->GetRowCount(), 0);
  EXPECT_TRUE(h->Logger().Contains("SectorTree LResultNode is nil!"));
  auto error = NewsReply("<result/>", host::mpError);
  EXPECT_FALSE(tree.ProcessRpMsg(error));
  EXPECT_TRUE(h->Logger().Contains("SectorTree ProcessRpMsg ARecvMsg.MessageProp = mpError"));
}

TEST(LuxDealerDocuments, DealerIDDictionaryAndReports) {
  TKrUserDealerIDProcessor user(1403, 6405, "<Report/>");
  EXPECT_EQ(user.CreateReqMsg()->GetCommandWord(), 0x57B01905u);
  EXPECT_EQ(testing::ContextText(*user.CreateReqMsg()), "<Report/>");
  for (const std::string document :
       {"<DataSet><Data><Body><Record><User_DealerId>D0301</User_DealerId></Record></Body></Data></DataSet>",
        "<?xml version=\"1.0\"?><DateSet><Data><Body><Record User_dealerId=\"D0301\"/></Body></Data></DateSet>"}) {
    SCOPED_TRACE(document);
    auto table = user.GetInfoFromMsg(document);
    ASSERT_EQ(table->GetRowCount(), 1);
    EXPECT_EQ(RowText(*table, 0), "User_dealerId=D0301");
  }
  EXPECT_EQ(user.GetInfoFromMsg("<DataSet><Data><Record/></Data></DataSet>")->GetRowCount(), 0);
  auto reply =
      NewsReply("<DataSet><Data><Body><Record><User_dealerId>D9</User_dealerId></Record></Body></Data></DataSet>");
  ASSERT_TRUE(user.ProcessRpMsg(reply));
  EXPECT_EQ(user.GetAnalyseLuxData()->GetIndexValue(0, "User_dealerId"), "D9");

  TKrAllDealersProcessor dealers;
  auto list = dealers.GetInfoFromMsg(
      "<Result><item code=\"D0101\" name=\"华泰证券\"/><item><code>D0301</code><name>国泰君安</name></item>"
      "<!-- none --></Result>");
  ASSERT_EQ(list->GetRowCount(), 2);
  EXPECT_EQ(RowText(*list, 0), "code=D0101; name=华泰证券");
  EXPECT_EQ(RowText(*list, 1), "code=D0301; name=国泰君安");
  EXPECT_EQ(dealers.GetInfoFromMsg("not xml")->GetRowCount(), 0);

  TKrRPReportProcessor reports;
  auto titles =
      reports.GetInfoFromMsg("<x><result><r date=\"2026-12-01\" title=\"年度策略\" extra=\"no\"/></result></x>");
  ASSERT_EQ(titles->GetRowCount(), 1);
  EXPECT_EQ(RowText(*titles, 0), "NewsDate=2026-12-01; Title=年度策略");
}

}  // namespace
}  // namespace kdp
