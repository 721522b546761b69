// The processors that are rows of one class: great events, research reports, the subject columns and the
// community service. For each, the request it writes (binary records read back field by field in the
// documented order) and its sample reply read into the named fields; then the replies they refuse.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "kdp/host/serializer.h"
#include "lux/lux_news_processor.h"
#include "lux/lux_processor_rows.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Value = std::variant<std::string, std::uint32_t, std::int64_t, double, bool>;
using Record = std::vector<Value>;
using testing::ContextText;
using testing::NewsReply;
using testing::ParseSample;
using testing::RowText;
using testing::SampleReply;
using testing::With;

// Reads a record body back in the shape `expected` has (String, LongWord, Int64, Double, Byte); a read
// past the end or bytes left over show as a mismatch.
Record ReadBack(const TKrLuxDataReqMessage& message, const Record& expected) {
  host::MemoryStream body(message.GetMsgContext().Bytes());
  host::TStreamSerializer reader(body);
  Record read;
  for (const Value& shape : expected) {
    bool ok = false;
    if (std::holds_alternative<std::string>(shape)) {
      std::string v;
      ok = reader.ReadString(v);
      read.emplace_back(v);
    } else if (std::holds_alternative<std::uint32_t>(shape)) {
      std::uint32_t v = 0;
      ok = reader.ReadLongWord(v);
      read.emplace_back(v);
    } else if (std::holds_alternative<std::int64_t>(shape)) {
      std::int64_t v = 0;
      ok = reader.ReadInt64(v);
      read.emplace_back(v);
    } else if (std::holds_alternative<double>(shape)) {
      double v = 0;
      ok = reader.ReadDouble(v);
      read.emplace_back(v);
    } else {
      std::uint8_t v = 0;
      ok = reader.ReadByte(v) && v <= 1;
      read.emplace_back(v == 1);
    }
    if (!ok) read.back() = std::string("(unreadable)");
  }
  if (body.Remaining() != 0) read.emplace_back(std::string("(bytes left over)"));
  return read;
}

using LuxRowProcessorTest = testing::LuxHostTest;

TEST_F(LuxRowProcessorTest, TheCommunityServiceRecordsAndTheirReplies) {
  struct Case {
    std::string name;  // the registered name, which names the sample reply
    std::function<std::shared_ptr<TKrLuxDataRequestInfo>(const Pairs&)> make;
    Pairs params;
    std::uint32_t commandID;
    Record request;
    int rows;
    std::string firstRow;
  };
  const std::string comments = "HQ_00_N2026120400031";
  const std::vector<Case> cases{
      {"LuxViewPointBallotDataProcessor",
       With<TKrLuxViewPointBallotDataProcessor>,
       {{"PageIndex", "2"}, {"PageSize", "10"}, {"IsAll", "true"}, {"NewsURL", "http://news.kora.example/n/31"}},
       9730,
       {0u, 2u, 10u, true, "", "", "", "http://news.kora.example/n/31"},
       1,
       "SurveyID=SV20261204001; PositiveView=看多; NegativeView=看空; PositiveViewID=1; NegativeViewID=2; "
       "PositiveNums=1286; NegativeNums=904; PositiveTotalPoints=25720; NegativeTotalPoints=18080; "
       "HisPositiveNums=58211; HisNegativeNums=47730; HisPositiveTotalPoints=1164220; HisNegativeTotalPoints=954600"},
      {"TKrLuxSubjectAddViews",
       With<TKrLuxSubjectAddViews>,
       {{"SurveyID", "SV20261204001"}, {"ViewID", "1"}, {"AgreeOrDisAgree", "2"}},
       9738,
       {"SV20261204001", "1", 2u, "10000001"},
       1,
       "SurveyID=SV20261204001; Result=1; PositiveNums=1287; NegativeNums=904"},
      {"LuxBallotStateDataProcessor",
       With<TKrLuxBallotStateDataProcessor>,
       {{"SurveyID", "SV20261204001"}},
       9737,
       {"SV20261204001"},
       1,
       "SurveyID=SV20261204001; BallotState=1"},
      {"LuxSHIndexBallotDataProcessor",
       With<TKrLuxSHIndexBallotDataProcessor>,
       {{"TradeDate", "20261204"}},
       9780,
       {20261204u},
       2,
       "POSITIVE_VIEW_ID=1; POSITIVE_NUMS=3520; POSITIVE_TOTAL_POINTS=70400; CurrentTradeDate=20261204"},
      {"LuxSHIndexUserIsGamblingDataProcessor",
       With<TKrLuxSHIndexUserIsGamblingDataProcessor>,
       {{"tradedate", "20261204"}},  // names are matched in any case
       9781,
       {"10000001", 20261204u},
       1,
       "OPTIONLIST_ID=OPT20261204-3; GRAMBLING_NUM=20"},
      {"LuxSHIndexGamblingDataProcessor",
       With<TKrLuxSHIndexGamblingDataProcessor>,
       {{"Points", "3412.5"},
        {"TradeDate", "20261204"},
        {"Number", "20"},
        {"ContractID", "SH000001-20261204"},
        {"Key", "k-77"},
        {"ContractOptionID", "OPT20261204-3"}},
       9782,
       {"10000001", 3412.5, 20261204u, 20u, "SH000001-20261204", "k-77", "OPT20261204-3"},
       1,
       "SHINDEX_BALLOT_STATE=1"},
      {"LuxSHIndexGamblingResultDataProcessor",
       With<TKrLuxSHIndexGamblingResultDataProcessor>,
       {{"UserID", "10000002"}, {"TradeDate", "20261203"}},
       9784,
       {"10000002", 20261203u},
       2,
       "OPTIONLIST_ID=OPT20261203-2; GAMBLING_STATUS=2; GRAMBLING_NUM=20; SETTLEMENT_NUM=38"},
      {"LuxUserFractionDataProcessor",
       With<TKrLuxUserFractionDataProcessor>,
       {{"BillType", "1"}},
       9703,
       {"10000001", 1u},
       1,
       "Fraction=1250"},
      {"LuxFractionDeductDataProcessor",
       With<TKrLuxFractionDeductDataProcessor>,
       {{"RechargeKey", "RK-2026-0091"},
        {"BillID", "B20261204-15"},
        {"BillType", "2"},
        {"BillInfo", "购买Level-2行情"},
        {"Amount", "20"}},
       9700,
       {"RK-2026-0091", "10000001", 1u, "2026-12-04 10:30:00", "B20261204-15", 2u, "购买Level-2行情", 20.0},
       1,
       "FractionDeductState=0"},
      {"LuxSubjectCommentNumProcessor",
       With<TKrLuxSubjectCommentNumProcessor>,
       {{"URL", "N2026120400031"}},
       9722,
       {comments},
       1,
       "RevertCount=37; CanComment=True"},
      {"LuxSubjectCommentsProcessor",
       With<TKrLuxSubjectCommentsProcessor>,
       {{"URI", "N2026120400031"}, {"curPageIndex", "2"}},
       9720,
       {comments, 2u, 20u},
       3,
       "RevertID=RV0091810; RevertContent=息差企稳是关键，明年看好。; UserID=10023318; UserName=价值投资者; "
       "CreateTime=2026-12-04 10:20:31; UpCount=12; DownCount=1; Anonymity=False; Path=0/RV0091810; "
       "ResourceID=RS000918273; Deleted=False"},
      {"LuxGetSubjectResourceIDProcessor",
       With<TKrLuxGetSubjectResourceIDProcessor>,
       {{"URI", "N2026120400031"}, {"Title", "浦发银行：拟发行不超过500亿元金融债券"}},
       9721,
       {"", comments, 0u, true, "浦发银行：拟发行不超过500亿元金融债券"},
       1,
       "ResourceID=RS000918273"},
      {"LuxSubjectCommentsByResourceIDProcessor",
       With<TKrLuxSubjectCommentsByResourceIDProcessor>,
       {{"ResourceID", "RS000918274"}, {"pageSize", "50"}},
       9715,
       {"RS000918274", 1u, 50u},
       2,
       "RevertID=RV0091830; RevertContent=请问金融债的期限是多久？; UserID=10055120; UserName=bond_fan; "
       "CreateTime=2026-12-04 13:15:00; UpCount=2; DownCount=0; Anonymity=False; Path=0/RV0091830; "
       "ResourceID=RS000918274; Deleted=False"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto processor = c.make(c.params);
    auto message = processor->CreateReqMsg();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1802, c.commandID));
    EXPECT_EQ(ReadBack(*message, c.request), c.request);
    auto table = ParseSample(*processor, c.name);
    ASSERT_EQ(table->GetRowCount(), c.rows);
    EXPECT_EQ(RowText(*table, 0), c.firstRow);
  }
}

TEST_F(LuxRowProcessorTest, ACommentOrALikeIsSubmittedUnderItsOwnCommand) {
  const std::string comment = R"({"ResourceID":"RS000918273","Content":"看好银行板块的估值修复。"})";
  TKrLuxSubmitUserComment submit;
  submit.SetIndexValue("SubmitComments", comment);
  auto message = submit.CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1802, 9717));
  EXPECT_EQ(ContextText(*message), comment);

  TKrLuxSubmitUserComment like;
  like.SetIndexValue("SubmitComments", comment);
  like.SetIndexValue("SubmitLike", R"({"RevertID":"RV0091810","Up":1})");
  message = like.CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1802, 9723));
  EXPECT_EQ(ContextText(*message), R"({"RevertID":"RV0091810","Up":1})");

  auto table = ParseSample(submit, "LuxSubmitCommentsProcessor");
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(RowText(*table, 0),
            "ErrorCode=0; ErrorMessage=; ForbidHour=0; RevertID=RV0091840; RevertContent=看好银行板块的估值修复。; "
            "UserID=10000001; UserName=kora_user01; CreateTime=2026-12-04 15:40:12; UpCount=0; DownCount=0; "
            "Anonymity=False; Path=0/RV0091840; ResourceID=RS000918273");
}

TEST_F(LuxRowProcessorTest, GreatEventsAskForADateRangeAndLinkToTheEventsPage) {
  auto events = With<TKrLuxGreatEventDataProcessor>(
      {{"koracode", "600000.SH"}, {"DateRange", "Future2Weeks"}, {"pagesize", "20"}, {"StartNum", "40"}});
  events->SetSectorName("F10_GREATEVENT");
  auto message = events->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1303, 3316));
  // Event IDs, sectors, codes, sort, page size and number, language, report, occurrence and expiry ranges,
  // security type. Today is 2026-12-04 on the server; rows 41 to 60 are page 3.
  const Record future{"", "", "600000.SH",  "OccurDate asc", 20u, 3u, "CHS",
                      "", "", "2026-12-04", "2026-12-18",    "",  "", 0u};
  EXPECT_EQ(ReadBack(*message, future), future);
  events->SetIndexValue("DateRange", "pre1year");
  const Record pastYear{"", "", "600000.SH",  "OccurDate asc", 20u, 3u, "CHS",
                        "", "", "2025-12-04", "2026-12-04",    "",  "", 0u};
  EXPECT_EQ(ReadBack(*events->CreateReqMsg(), pastYear), pastYear);
  // Each security's events have a store of their own.
  EXPECT_EQ(events->GetSectorID(), "F10_GREATEVENT:600000.SH");

  auto table = ParseSample(*events, "LuxGreatEventDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);
  EXPECT_EQ(RowText(*table, 0),
            "ID=E20261222000123; Title=浦发银行2026年第二次临时股东大会; NewsDate=2026-12-22; KoraCode=600000.SH; "
            "SecurityName=浦发银行; EventType=股东大会; ReportDate=2026-12-04; ExpireDate=2026-12-22; "
            "Content=审议发行金融债券的议案; "
            "URL=http://corpevent.kora.example:8080/corpeventsweb/tab.aspx?tabid=0&koracode=600000.SH&date=2026-12-22; "
            "UserStockType=GreatEvent");
  // A record written with attributes reads the same.
  EXPECT_EQ(table->GetIndexValue(1, "Title"), "浦发银行优先股股息发放");
  EXPECT_EQ(table->GetIndexValue(1, "Content"), "");
  EXPECT_EQ(table->GetIndexValue(1, "URL"),
            "http://corpevent.kora.example:8080/corpeventsweb/tab.aspx?tabid=0&koracode=600000.SH&date=2026-12-10");
}

TEST_F(LuxRowProcessorTest, ResearchReportsTellTheirAttachmentsAndOpenOnTheReportServer) {
  auto reports = With<TKrLuxResearchReportDataProcessor>(
      {{"koracode", "600000.SH"}, {"startDate", "20261101"}, {"endDate", "2026-12-04"}, {"pagesize", "20"}});
  auto message = reports->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1403, 6302));
  // Key, code, source, author, class, trade, begin and end times, dealer flag, security ID, sort, page
  // size and number, the requester.
  const Record query{"",
                     "600000.SH",
                     "",
                     "",
                     "",
                     "",
                     "2026-11-01 00:00:00",
                     "2026-12-04 23:59:59",
                     0u,
                     "",
                     "Doc_Storetime desc",
                     20u,
                     1u,
                     "<internalUserId:10000001>"};
  EXPECT_EQ(ReadBack(*message, query), query);

  auto table = ParseSample(*reports, "LuxResearchReportDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 4);
  EXPECT_EQ(RowText(*table, 0),
            "ID=R2026120400091; Title=浦发银行：息差企稳，资产质量持续改善; NewsDate=2026-12-04 09:00:00; "
            "Source=华泰证券; Column=公司研究; Author=王磊; AttechmentType=INTERNET; "
            "URL=http://report.kora.example:8080/KoraRCHost/RPP/ViewReportInfo.aspx?reportid=R2026120400091; "
            "UserStockType=ResearchReport");
  // Attachment counts 2, 0 and 4.
  EXPECT_EQ(GetAttechmentTypeFromDataItem(table->GetRowItem(1)), atInternetTwo);
  EXPECT_EQ(GetAttechmentTypeFromDataItem(table->GetRowItem(2)), atNone);
  EXPECT_EQ(GetAttechmentTypeFromDataItem(table->GetRowItem(3)), atMany);
  EXPECT_TRUE(GetNeedGetResearchReportAttachment(table->GetRowItem(3)));

  TKrLuxGetResearchReportAttachment attachments;
  attachments.SetIndexValue("ID", "R2026120300452");
  message = attachments.CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1403, 6327));
  EXPECT_EQ(ReadBack(*message, {std::string("R2026120300452")}), Record{std::string("R2026120300452")});
  table = ParseSample(attachments, "TKrLuxGetResearchReportAttachment");
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(RowText(*table, 0), "ID=R2026120300452; AttachIDs=RA452001,RA452002");
}

TEST_F(LuxRowProcessorTest, SubjectColumnsWriteTheirQueriesAndReadTheirLists) {
  auto content = With<TKrLuxSubjectContentDataProcessor>(
      {{"newsid", "S2026120400007"}, {"SaveData", "False"}, {"koracode", "002594.SZ"}, {"startid", "0"}});
  auto message = content->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1410, 6000));
  // The data manager's own parameters are not sent.
  EXPECT_EQ(ContextText(*message), "calltype=Csharp&name=querycontent&param=newsid:S2026120400007;koracode:002594.SZ");
  auto table = ParseSample(*content, "LuxSubjectContentDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(
      RowText(*table, 0),
      "title=新能源汽车下乡政策落地，车企加速布局县域市场; "
      "content=多部门联合印发通知，开展新一轮新能源汽车下乡活动。<br>业内人士认为，县域市场有望成为新的增长点。; "
      "publishdate=2026-12-04 08:30:00; url=http://news.kora.example/subject/S2026120400007.html; sitename=Kora专题; "
      "channel=1; sectercodes=BK0477,BK0900; industrycodes=C36; tradename=汽车制造业; newsid=S2026120400007");

  auto subject = With<TKrLuxSubjectDataProcessor>(
      {{"q", "新能源"}, {"subjectid", "3021"}, {"sessionid", "S-8f3a"}, {"pagesize", "20"}});
  message = subject->CreateReqMsg();
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1411, 6002));
  // The four subject fields in their order, those with a value, then the session.
  EXPECT_EQ(ContextText(*message),
            "calltype=Csharp&name=dealsubject&param=subjectid:3021;q:新能源&xsltindex=1&kora.sessionid=S-8f3a");
  table = ParseSample(*subject, "LuxSubjectDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 1);
  EXPECT_EQ(RowText(*table, 0),
            "subjectid=3021; subjectname=新能源汽车; subjecttitle=新能源汽车下乡：县域市场的新机会; "
            "subjectcontent=政策、销量与产业链梳理; createtime=2026-11-20 09:00:00; cause=政策催化; remark=每周更新");

  auto list = With<TKrLuxSubjectListDataProcessor>(
      {{"indexname", "新能源汽车"}, {"koracode", "002594.SZ"}, {"pageno", "2"}, {"pagesize", "10"}});
  EXPECT_EQ(list->CreateReqMsg(), nullptr);  // search only
  message = list->CreateSearchMsg();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->GetCommandWord(), host::MakeLuxCommandWord(1411, 6001));
  EXPECT_EQ(ContextText(*message),
            "name=getlist&mediatype=01&param_v2=indexname:新能源汽车 AND (koracode:002594.SZ)&pagesize=10&pageno=2");
  table = ParseSample(*list, "LuxSubjectListDataProcessor");
  ASSERT_EQ(table->GetRowCount(), 2);
  EXPECT_EQ(RowText(*table, 1),
            "id=N2026120400061; title=11月新能源汽车销量同比增长32%; date=2026-12-04 11:05:00; "
            "snap=http://news.kora.example/snap/view.php?id=N2026120400061; abstract=渗透率升至48.5%。; channel=1; "
            "sitename=中国汽车报; keyword=002594.SZ,601633.SH; indexname=新能源汽车; sourcetype=1; repeatcount=14; "
            "url=http://www.cnautonews.example/2026-12/04/n61.html");
}

TEST_F(LuxRowProcessorTest, RepliesThatCannotBeReadGiveAnEmptyTableAndALineNamingTheProcessor) {
  struct Case {
    std::string what;
    std::function<std::shared_ptr<TKrLuxDataRequestInfo>(const Pairs&)> make;
    std::function<host::TBaseLuxMessage()> reply;
    std::string logged;
  };
  const std::vector<Case> cases{
      {"a failed code", With<TKrLuxUserFractionDataProcessor>,
       [] { return NewsReply(R"({"code": 3, "message": "用户不存在", "data": {"Fraction": 0}})"); },
       "TKrLuxUserFractionDataProcessor.ProcessRpMsg 应答无法解析: code=3 message=用户不存在"},
      {"no data", With<TKrLuxBallotStateDataProcessor>, [] { return NewsReply(R"({"code": 0})"); },
       "TKrLuxBallotStateDataProcessor.ProcessRpMsg 应答无法解析: 未找到data"},
      {"not JSON", With<TKrLuxSubjectCommentsProcessor>, [] { return NewsReply("<result/>"); },
       "TKrLuxSubjectCommentsProcessor.ProcessRpMsg 应答无法解析: JSON"},
      {"JSON nested too deep", With<TKrLuxSubjectCommentsProcessor>,
       [] { return NewsReply(R"({"code":0,"data":[{"Path":)" + std::string(40, '[') + std::string(40, ']') + "}]}"); },
       "TKrLuxSubjectCommentsProcessor.ProcessRpMsg 应答无法解析: JSON: nested deeper than 32"},
      {"XML cut short", With<TKrLuxResearchReportDataProcessor>,
       [] { return NewsReply("<DataSet><Data><Body><Record><ReportID>R1</ReportID>"); },
       "TKrLuxResearchReportDataProcessor.ProcessRpMsg 应答无法解析: XML"},
      {"no DataSet", With<TKrLuxGreatEventDataProcessor>,
       [] { return NewsReply("<result><Record><EventID>E1</EventID></Record></result>"); },
       "TKrLuxGreatEventDataProcessor.ProcessRpMsg 应答无法解析: 未找到DataSet/Data/Body节点"},
      {"no result", With<TKrLuxSubjectContentDataProcessor>, [] { return NewsReply("<response code=\"1\"/>"); },
       "TKrLuxSubjectContentDataProcessor.ProcessRpMsg 应答无法解析: 未找到result节点"},
      {"an error reply", With<TKrLuxSHIndexBallotDataProcessor>,
       [] { return NewsReply(R"({"code":0,"data":[]})", host::mpError); },
       "TKrLuxSHIndexBallotDataProcessor.ProcessRpMsg 应答无法解析: mpError"},
      {"a news processor's time-out", With<TKrLuxNegativeNewsDataProcessor>,
       [] { return host::TBaseLuxMessage({}, 7, host::mpTimeout); }, "TKrLuxNegativeNewsDataProcessor.ProcessRpMsg"},
      {"a body shorter than its prefix", With<TKrLuxSubjectDataProcessor>,
       [] { return host::TBaseLuxMessage(testing::ReplyWire("ab"), 1, host::mpNormal); },
       "TKrLuxSubjectDataProcessor.ProcessRpMsg 应答无法解析: MessageBody.Size < II_DECODE_OFFSET"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto processor = c.make({});
    h->Logger().ClearRecords();
    auto bad = c.reply();
    EXPECT_FALSE(processor->ProcessRpMsg(bad));
    EXPECT_EQ(processor->GetAnalyseLuxData()->GetRowCount(), 0);
    EXPECT_TRUE(h->Logger().Contains(c.logged));
  }
  // A bad reply replaces the rows of the last good one; an empty list is a good reply with no rows.
  TKrLuxSubjectCommentsProcessor comments;
  auto table = ParseSample(comments, "LuxSubjectCommentsProcessor");
  ASSERT_EQ(table->GetRowCount(), 3);
  // A deleted comment shows as deleted.
  EXPECT_EQ(table->GetIndexValue(1, "RevertContent"), "评论已删除");
  EXPECT_EQ(table->GetIndexValue(1, "Anonymity"), "True");
  EXPECT_EQ(table->GetIndexValue(2, "RevertContent"), "同意楼上，分红也不错。");
  auto bad = NewsReply(R"({"code": 0, "data": )");
  EXPECT_FALSE(comments.ProcessRpMsg(bad));
  EXPECT_EQ(comments.GetAnalyseLuxData()->GetRowCount(), 0);
  ASSERT_EQ(ParseSample(comments, "LuxSubjectCommentsProcessor")->GetRowCount(), 3);
  auto empty = NewsReply(R"({"code":"0","message":"","data":[]})");
  EXPECT_TRUE(comments.ProcessRpMsg(empty));
  EXPECT_EQ(comments.GetAnalyseLuxData()->GetRowCount(), 0);
}

}  // namespace
}  // namespace kdp
