// The news family's other members (announcements, negative, stock and live news) and the subject sector
// tree: the request each builds, and the sample replies of the news read into the named fields.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lux/lux_news_processor.h"
#include "lux/lux_sector_tree_processor.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::ParseSample;
using testing::QueryOf;
using testing::QuotaText;
using testing::RowText;
using testing::With;

using LuxNewsFamilyTest = testing::LuxHostTest;

TEST_F(LuxNewsFamilyTest, AnnouncementsKeepContentAndBuildAttachmentLinks) {
  auto processor = With<TKrLuxAnnouncementDataProcessor>({{"koracode", "600000.SH"}, {"pagesize", "20"}});
  EXPECT_EQ(QueryOf(processor->CreateReqMsg()),
            "name=getlist&mediatype=03&param_v2=koracode:600000.SH&pagesize=20&pageno=1" + testing::kNewsFields);

  auto table = ParseSample(*processor, "LuxAnnouncementDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);
  EXPECT_EQ(RowText(*table, 0),
            "ID=A2026120400311; Title=浦发银行关于召开2026年第二次临时股东大会的通知; NewsDate=2026-12-04 17:45:10; "
            "URL=http://news.kora.example/ann/view.php?id=A2026120400311&t=1; Column=新闻; Source=上海证券交易所; "
            "Abstract=公司定于2026年12月22日召开临时股东大会。; "
            "Content=会议召开时间：2026年12月22日14点30分\r\n会议地点：上海市中山东一路12号; AttechmentID=1; "
            "AttechmentName=股东大会通知.pdf; AttechmentBaseUrl=http://ann.kora.example; "
            "AttechmentUrl=http://ann.kora.example/ns/getatt.php?id=A2026120400311&att_id=1; AttechmentType=PDF; "
            "UserStockType=Announcement");
  // Two attachments: the first one's fields, the kind MANY and the list.
  auto second = table->GetRowItem(1);
  EXPECT_EQ(GetAttechmentTypeFromDataItem(second), atMany);
  EXPECT_EQ(GetAttechmentUrlFromDataItem(second), "http://ann.kora.example/ns/getatt.php?id=A2026120400298&att_id=1");
  EXPECT_EQ(second->GetIndexValue("ManyAttechments"),
            "[{\"id\":\"1\",\"name\":\"第三季度报告全文.pdf\",\"type\":\"PDF\",\"url\":\"http://ann.kora.example/ns/"
            "getatt.php?id=A2026120400298&att_id=1\"},{\"id\":\"2\",\"name\":\"第三季度报告正文.docx\",\"type\":"
            "\"DOC\",\"url\":\"http://ann.kora.example/ns/getatt.php?id=A2026120400298&att_id=2\"}]");
  EXPECT_EQ(GetAnnouncementContentFromDataItem(second), "");
}

TEST_F(LuxNewsFamilyTest, NegativeNewsAsksForTheNegativeClassOfEachCode) {
  auto processor = With<TKrLuxNegativeNewsDataProcessor>(
      {{"koracode", "601997.SH,600000.SH"}, {"pagesize", "20"}, {"newstype", "9"}});
  EXPECT_EQ(QueryOf(processor->CreateReqMsg()),
            "name=getlist&mediatype=01&param_v2=v2025:601997.SH0402 OR v2025:600000.SH0402&pagesize=20&pageno=1"
            "&returnfields=id,title,date,snap,channel,sitename,keyword,section,sentence");

  auto table = ParseSample(*processor, "LuxNegativeNewsDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 1);
  // Only the sentence whose section begins with 337 adds to "section"; the element "section" is not kept.
  EXPECT_EQ(RowText(*table, 0),
            "ID=N2026120400077; Title=某城商行因违规放贷被罚没1200万元; NewsDate=2026-12-04 14:22:08; "
            "URL=http://news.kora.example/snap/view.php?id=N2026120400077&src=kora&t=1; Column=新闻; Source=金融时报; "
            "Tagcode=601997.SH; section=337108; UserStockType=News");
}

TEST_F(LuxNewsFamilyTest, StockNewsUsesTheLiveNewsQuery) {
  auto dated = With<TKrLuxStockNewsProcessor>({{"koracode", "00700.HK"},
                                               {"startDate", "20261201"},
                                               {"endDate", "20261204"},
                                               {"pagesize", "30"},
                                               {"StartNum", "30"}});
  EXPECT_EQ(QueryOf(dated->CreateReqMsg()),
            "calltype=C#&name=livenewsinfo&param=v2002:00700.HK;date1:[20261201 TO 20261204]&pagesize=30&pageno=2");
  auto plain = With<TKrLuxStockNewsProcessor>({{"koracode", "00700.HK,TME.N"}, {"pageno", "4"}});
  EXPECT_EQ(QueryOf(plain->CreateSearchMsg()),
            "calltype=C#&name=livenewsinfo&param=v2002:00700.HK,TME.N&pagesize=50&pageno=4");

  auto table = ParseSample(*plain, "LuxStockNewsProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);
  EXPECT_EQ(RowText(*table, 1),
            "ID=L2026120400388; Title=腾讯音乐第三季度在线音乐付费用户增至1.2亿; NewsDate=2026-12-04 14:02:31; "
            "URL=http://news.kora.example/live/L2026120400388.html; Column=英文新闻; Source=Kora Wire; "
            "Tagcode=00700.HK,TME.N; UserStockType=News");
}

TEST_F(LuxNewsFamilyTest, LiveNewsKeepsTheMarkAndSubscribesTheLiveIndex) {
  auto processor = With<TKrLuxLiveNewsProcessor>({{"koracode", "000001.SH"}, {"SaveData", "True"}});
  auto index = processor->CreateSubInfo(SITIndex);
  EXPECT_EQ(QuotaText(*index), "2001=; 2007=; 2008=; 2009=; 2010=; 2011=; 2012=; 2005=; v2041=");
  auto conditions = processor->CreateSubInfo(SITIndexQuota);
  EXPECT_EQ(QuotaText(*conditions), "2041=ON3101; 2002=000001.SH");

  auto table = ParseSample(*processor, "LuxLiveNewsProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);
  EXPECT_EQ(
      RowText(*table, 0),
      "ID=L2026120400412; Title=央行开展3000亿元MLF操作，利率持平; NewsDate=2026-12-04 15:32:00; "
      "URL=http://news.kora.example/live/view.php?id=L2026120400412&t=1; Column=新闻; Source=Kora快讯; "
      "Tagcode=000001.SH; Abstract=本月MLF到期2500亿元，实现净投放500亿元。; luximportantmark=1; UserStockType=News");
  EXPECT_TRUE(GetLuxImportantMark(table->GetRowItem(0)));
  EXPECT_FALSE(GetLuxImportantMark(table->GetRowItem(1)));
}

TEST_F(LuxNewsFamilyTest, TheSubjectTreeHasAQueryAndAStoreOfItsOwn) {
  TKrLuxSubjectSectorTreeDataProcessor subject;
  subject.SetSectorName("SUBJECT_TREE");
  subject.SetIndexValue("SectorTreeType", "27");  // the subject tree has its own query whatever the type says
  EXPECT_EQ(QueryOf(subject.CreateReqMsg()), "calltype=C#&name=code&param=type:22;subnode:N0001");
  EXPECT_EQ(subject.GetSectorID(), "SUBJECT_TREE");
}

}  // namespace
}  // namespace kdp
