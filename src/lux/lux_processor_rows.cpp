#include "lux/lux_processor_rows.h"

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "kdp/host/number_text.h"
#include "lux/lux_data_item.h"
#include "util/strings.h"

namespace kdp {
namespace {

using Field = TLuxRequestField;
using Reply = TLuxReplyField;
using enum TLuxFieldType;

// ---- hooks ----

std::string IsoDate(int year, int month, int day) { return fmt::format("{:04}-{:02}-{:02}", year, month, day); }

// "pageno" as the news columns compute it, when the request does not give one.
void SetPageNumber(TLuxRequest& request) {
  if (TrimView(ParamValue(request.Params, "pageno")).empty()) {
    SetParam(request.Params, "pageno", std::to_string(NewsPageNumber(request.Params)));
  }
}

// "Future2Weeks": occurring from today to 14 days on; "pre1year": from a year ago (28 February for
// 29 February) to today. Today is the server's date.
void CompleteGreatEventRequest(TLuxRequest& request) {
  SetPageNumber(request);
  if (TrimView(ParamValue(request.Params, "Language")).empty()) {
    SetParam(request.Params, "Language", G_getCurrentLanguage());
  }
  const std::string range = ParamValue(request.Params, "DateRange");
  const host::DateTime today = GetServerDateTime().DatePart();
  const host::DateTime::Parts now = today.Decode();
  std::string begin, end;
  if (SameTextAscii(range, "Future2Weeks")) {
    const host::DateTime::Parts later = today.AddDays(14).Decode();
    begin = IsoDate(now.year, now.month, now.day);
    end = IsoDate(later.year, later.month, later.day);
  } else if (SameTextAscii(range, "pre1year")) {
    begin = IsoDate(now.year - 1, now.month, now.month == 2 && now.day == 29 ? 28 : now.day);
    end = IsoDate(now.year, now.month, now.day);
  } else {
    return;
  }
  SetParam(request.Params, "OccurBeginDate", begin);
  SetParam(request.Params, "OccurEndDate", end);
}

void FinishGreatEventRow(TKrLuxDataItem& row, const std::string& server) {
  row.SetIndexValue("URL", fmt::format("{}/corpeventsweb/tab.aspx?tabid=0&koracode={}&date={}", server,
                                       row.FindIndexValue("KoraCode"), row.FindIndexValue("NewsDate")));
}

// A date ("yyyymmdd" or "yyyy-mm-dd") as the report service's time "yyyy-mm-dd hh:mm:ss"; other texts
// as they are.
std::string ReportTime(std::string_view date, std::string_view timeOfDay) {
  const std::string_view d = TrimView(date);
  const bool compact = d.size() == 8 && d.find_first_not_of("0123456789") == std::string_view::npos;
  if (compact) return fmt::format("{} {}", FormateDate(d), timeOfDay);
  if (d.size() == 10) return fmt::format("{} {}", d, timeOfDay);
  return std::string(d);
}

void CompleteResearchReportRequest(TLuxRequest& request) {
  SetPageNumber(request);
  const std::string start = ParamValue(request.Params, "startDate");
  const std::string end = ParamValue(request.Params, "endDate");
  if (!TrimView(start).empty()) SetParam(request.Params, "BeginDate", ReportTime(start, "00:00:00"));
  if (!TrimView(end).empty()) SetParam(request.Params, "EndDate", ReportTime(end, "23:59:59"));
  SetParam(request.Params, "UserTag", fmt::format("<internalUserId:{}>", CurrentUserID()));
}

// The attachment count as the attachment kind: none, one or two on the internet, or many.
void FinishResearchReportRow(TKrLuxDataItem& row, const std::string& server) {
  const int count = host::ParseInt32(row.FindIndexValue("AttechmentType")).value_or(0);
  row.SetIndexValue("AttechmentType", count <= 0   ? "NONE"
                                      : count == 1 ? "INTERNET"
                                      : count == 2 ? "INTERNET_TWO"
                                                   : "MANY");
  row.SetIndexValue("URL",
                    fmt::format("{}/KoraRCHost/RPP/ViewReportInfo.aspx?reportid={}", server, row.FindIndexValue("ID")));
}

// Line breaks of the content as HTML breaks. The server writes "\r\n", which XML reads as "\n".
void FinishSubjectContentRow(TKrLuxDataItem& row, const std::string&) {
  const std::string_view content = row.FindIndexValue("content");
  std::string html;
  html.reserve(content.size());
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
    if (content[i] == '\n') {
      html += "<br>";
    } else {
      html += content[i];
    }
  }
  row.SetIndexValue("content", html);
}

void FinishCommentRow(TKrLuxDataItem& row, const std::string&) {
  if (host::ParseBool(row.FindIndexValue("Deleted")).value_or(false)) row.SetIndexValue("RevertContent", "评论已删除");
}

void CompleteFractionDeductRequest(TLuxRequest& request) {
  if (TrimView(ParamValue(request.Params, "CreateTime")).empty()) {
    SetParam(request.Params, "CreateTime", GetServerDateTime().ToString());
  }
}

void CompleteSubmitRequest(TLuxRequest& request) {
  const std::string like = ParamValue(request.Params, "SubmitLike");
  if (!like.empty()) {
    request.CommandID = 9723;
    SetParam(request.Params, "SubmitContent", like);
  } else {
    SetParam(request.Params, "SubmitContent", ParamValue(request.Params, "SubmitComments"));
  }
}

// ---- news server: subject columns ----

constexpr TNewsQueryStyle kSubjectListStyle{"name=getlist&mediatype=01&lng=01&param_v2=",
                                            "name=getlist&mediatype=01&param_v2=",
                                            "&pagesize=",
                                            true,
                                            true,
                                            &KoraCodeCondition,
                                            ""};

constexpr Reply kSubjectContentReply[] = {{"title"},   {"content"},     {"publishdate"},   {"url"},       {"sitename"},
                                          {"channel"}, {"sectercodes"}, {"industrycodes"}, {"tradename"}, {"newsid"}};
constexpr Field kSubjectRequest[] = {{"subjectid"}, {"followid"}, {"q"}, {"koracode"}};
constexpr Reply kSubjectReply[] = {{"subjectid"},  {"subjectname"}, {"subjecttitle"}, {"subjectcontent"},
                                   {"createtime"}, {"cause"},       {"remark"}};
constexpr Reply kSubjectListReply[] = {{"id"},        {"title"},      {"date"},        {"snap"},
                                       {"abstract"},  {"channel"},    {"sitename"},    {"keyword"},
                                       {"indexname"}, {"sourcetype"}, {"repeatcount"}, {"url"}};

// ---- great events and research reports ----

constexpr Field kGreatEventRequest[] = {{"EventIDs"},
                                        {"Sectors"},
                                        {"koracode"},
                                        {"Sort", kString, "OccurDate asc"},
                                        {"pagesize", kLongWord, "50"},
                                        {"pageno", kLongWord, "1"},
                                        {"Language"},
                                        {"ReportBeginDate"},
                                        {"ReportEndDate"},
                                        {"OccurBeginDate"},
                                        {"OccurEndDate"},
                                        {"ExpireBeginDate"},
                                        {"ExpireEndDate"},
                                        {"SecurityType", kLongWord, "0"}};
constexpr Reply kGreatEventReply[] = {{"ID", "EventID"}, {"Title", "EventTitle"}, {"NewsDate", "OccurDate"},
                                      {"KoraCode"},      {"SecurityName"},        {"EventType"},
                                      {"ReportDate"},    {"ExpireDate"},          {"Content", "EventContent"}};

constexpr Field kResearchReportRequest[] = {{"Key"},
                                            {"koracode"},
                                            {"ReportSource"},
                                            {"Author"},
                                            {"ReportClass"},
                                            {"Trade"},
                                            {"BeginDate"},
                                            {"EndDate"},
                                            {"DealerFlag", kLongWord, "0"},
                                            {"SecurityID"},
                                            {"Sort", kString, "Doc_Storetime desc"},
                                            {"pagesize", kLongWord, "50"},
                                            {"pageno", kLongWord, "1"},
                                            {"UserTag"}};
constexpr Reply kResearchReportReply[] = {
    {"ID", "ReportID"},       {"Title"},  {"NewsDate", "PublishDate"},      {"Source", "OrgName"},
    {"Column", "ReportType"}, {"Author"}, {"AttechmentType", "AttachCount"}};
constexpr Field kAttachmentRequest[] = {{"ID"}};
constexpr Reply kAttachmentReply[] = {{"ID", "ReportID"}, {"AttachIDs"}};

// ---- community service ----

constexpr Field kSurveyCondition[] = {{"SearchType", kLongWord, "0"},
                                      {"PageIndex", kLongWord, "1"},
                                      {"PageSize", kLongWord, "20"},
                                      {"IsAll", kBoolean, "False"},
                                      {"Content"},
                                      {"BeginDate"},
                                      {"EndDate"},
                                      {"NewsURL"}};
constexpr Reply kSurveyReply[] = {{"SurveyID"},
                                  {"PositiveView"},
                                  {"NegativeView"},
                                  {"PositiveViewID"},
                                  {"NegativeViewID"},
                                  {"PositiveNums"},
                                  {"NegativeNums"},
                                  {"PositiveTotalPoints"},
                                  {"NegativeTotalPoints"},
                                  {"HisPositiveNums"},
                                  {"HisNegativeNums"},
                                  {"HisPositiveTotalPoints"},
                                  {"HisNegativeTotalPoints"}};
constexpr Field kAddViewRequest[] = {
    {"SurveyID"}, {"ViewID"}, {"AgreeOrDisAgree", kLongWord, "1"}, {"UserID", kString, {}, {}, true}};
constexpr Reply kAddViewReply[] = {{"SurveyID"}, {"Result"}, {"PositiveNums"}, {"NegativeNums"}};
constexpr Field kSurveyIDRequest[] = {{"SurveyID"}};
constexpr Reply kBallotStateReply[] = {{"SurveyID"}, {"BallotState"}};
constexpr Field kTradeDateRequest[] = {{"TradeDate", kLongWord, "0"}};
constexpr Reply kSHIndexBallotReply[] = {
    {"POSITIVE_VIEW_ID"}, {"POSITIVE_NUMS"}, {"POSITIVE_TOTAL_POINTS"}, {"CurrentTradeDate"}};
constexpr Field kUserTradeDateRequest[] = {{"UserID", kString, {}, {}, true}, {"TradeDate", kLongWord, "0"}};
constexpr Reply kUserIsGamblingReply[] = {{"OPTIONLIST_ID"}, {"GRAMBLING_NUM"}};
constexpr Field kBetOnContractCondition[] = {{"IMID", kString, {}, {}, true},
                                             {"Points", kDouble, "0"},
                                             {"TradeDate", kLongWord, "0"},
                                             {"Number", kLongWord, "1"},
                                             {"ContractID"},
                                             {"Key"},
                                             {"ContractOptionID"}};
constexpr Reply kGamblingReply[] = {{"SHINDEX_BALLOT_STATE"}};
constexpr Reply kGamblingResultReply[] = {
    {"OPTIONLIST_ID"}, {"GAMBLING_STATUS"}, {"GRAMBLING_NUM"}, {"SETTLEMENT_NUM"}};
constexpr Field kUserFractionRequest[] = {{"UserID", kString, {}, {}, true}, {"BillType", kLongWord, "0"}};
constexpr Reply kUserFractionReply[] = {{"Fraction"}};
constexpr Field kUserFraction[] = {{"RechargeKey"},
                                   {"UserIDs", kString, {}, {}, true},
                                   {"Count", kLongWord, "1"},
                                   {"CreateTime"},
                                   {"BillID"},
                                   {"BillType", kLongWord, "0"},
                                   {"BillInfo"},
                                   {"Amount", kDouble, "0"}};
constexpr Reply kFractionDeductReply[] = {{"FractionDeductState"}};
constexpr Field kCommentNumRequest[] = {{"URL", kString, {}, "HQ_00_"}};
constexpr Reply kCommentNumReply[] = {{"RevertCount"}, {"CanComment"}};
constexpr Field kCommentsRequest[] = {
    {"URI", kString, {}, "HQ_00_"}, {"curPageIndex", kLongWord, "1"}, {"pageSize", kLongWord, "20"}};
constexpr Reply kCommentReply[] = {{"RevertID"},   {"RevertContent"}, {"UserID"},    {"UserName"},
                                   {"CreateTime"}, {"UpCount"},       {"DownCount"}, {"Anonymity"},
                                   {"Path"},       {"ResourceID"},    {"Deleted"}};
constexpr Field kTopic[] = {{"ResourceID"},
                            {"URI", kString, {}, "HQ_00_"},
                            {"RevertCount", kLongWord, "0"},
                            {"CanComment", kBoolean, "True"},
                            {"Title"}};
constexpr Reply kResourceIDReply[] = {{"ResourceID"}};
constexpr Field kCommentsByResourceRequest[] = {
    {"ResourceID"}, {"curPageIndex", kLongWord, "1"}, {"pageSize", kLongWord, "20"}};
constexpr Field kSubmitRequest[] = {{"SubmitContent"}};
constexpr Reply kSubmitReply[] = {{"ErrorCode"}, {"ErrorMessage"}, {"ForbidHour"}, {"RevertID"}, {"RevertContent"},
                                  {"UserID"},    {"UserName"},     {"CreateTime"}, {"UpCount"},  {"DownCount"},
                                  {"Anonymity"}, {"Path"},         {"ResourceID"}};

constexpr std::uint32_t kCommunity = 1802;

}  // namespace

const TLuxProcessorRow kGreatEventRow{.ClassName = "TKrLuxGreatEventDataProcessor",
                                      .AppClass = 1303,
                                      .CommandID = 3316,
                                      .Body = TLuxRequestBody::kRecord,
                                      .Request = kGreatEventRequest,
                                      .Reply = TLuxReplyFormat::kXmlDataSet,
                                      .Fields = kGreatEventReply,
                                      .UserStockType = "GreatEvent",
                                      .ServerName = "corpeventserver",
                                      .SectorKeyParam = "koracode",
                                      .CompleteRequest = &CompleteGreatEventRequest,
                                      .FinishRow = &FinishGreatEventRow};

const TLuxProcessorRow kResearchReportRow{.ClassName = "TKrLuxResearchReportDataProcessor",
                                          .AppClass = 1403,
                                          .CommandID = 6302,
                                          .Body = TLuxRequestBody::kRecord,
                                          .Request = kResearchReportRequest,
                                          .Reply = TLuxReplyFormat::kXmlDataSet,
                                          .Fields = kResearchReportReply,
                                          .UserStockType = "ResearchReport",
                                          .ServerName = "korareportserver",
                                          .SectorKeyParam = "koracode",
                                          .CompleteRequest = &CompleteResearchReportRequest,
                                          .FinishRow = &FinishResearchReportRow};

const TLuxProcessorRow kResearchReportAttachmentRow{.ClassName = "TKrLuxGetResearchReportAttachment",
                                                    .AppClass = 1403,
                                                    .CommandID = 6327,
                                                    .Body = TLuxRequestBody::kRecord,
                                                    .Request = kAttachmentRequest,
                                                    .Reply = TLuxReplyFormat::kXmlDataSet,
                                                    .Fields = kAttachmentReply};

const TLuxProcessorRow kSubjectContentRow{.ClassName = "TKrLuxSubjectContentDataProcessor",
                                          .AppClass = 1410,
                                          .CommandID = 6000,
                                          .Body = TLuxRequestBody::kQueryPairs,
                                          .QueryPrefix = "calltype=Csharp&name=querycontent&param=",
                                          .Reply = TLuxReplyFormat::kXmlResult,
                                          .Fields = kSubjectContentReply,
                                          .FinishRow = &FinishSubjectContentRow};

const TLuxProcessorRow kSubjectRow{.ClassName = "TKrLuxSubjectDataProcessor",
                                   .AppClass = 1411,
                                   .CommandID = 6002,
                                   .Body = TLuxRequestBody::kQueryPairs,
                                   .Request = kSubjectRequest,
                                   .QueryPrefix = "calltype=Csharp&name=dealsubject&param=",
                                   .QuerySuffix = "&xsltindex=1&kora.sessionid=",
                                   .SuffixParam = "sessionid",
                                   .Reply = TLuxReplyFormat::kXmlResult,
                                   .Fields = kSubjectReply};

const TLuxProcessorRow kSubjectListRow{.ClassName = "TKrLuxSubjectListDataProcessor",
                                       .AppClass = 1411,
                                       .CommandID = 6001,
                                       .Body = TLuxRequestBody::kNewsSearch,
                                       .SearchStyle = &kSubjectListStyle,
                                       .Reply = TLuxReplyFormat::kXmlResult,
                                       .Fields = kSubjectListReply};

const TLuxProcessorRow kViewPointBallotRow{.ClassName = "TKrLuxViewPointBallotDataProcessor",
                                           .AppClass = kCommunity,
                                           .CommandID = 9730,
                                           .Request = kSurveyCondition,
                                           .Fields = kSurveyReply};

const TLuxProcessorRow kSubjectAddViewsRow{.ClassName = "TKrLuxSubjectAddViews",
                                           .AppClass = kCommunity,
                                           .CommandID = 9738,
                                           .Request = kAddViewRequest,
                                           .Fields = kAddViewReply};

const TLuxProcessorRow kBallotStateRow{.ClassName = "TKrLuxBallotStateDataProcessor",
                                       .AppClass = kCommunity,
                                       .CommandID = 9737,
                                       .Request = kSurveyIDRequest,
                                       .Fields = kBallotStateReply};

const TLuxProcessorRow kSHIndexBallotRow{.ClassName = "TKrLuxSHIndexBallotDataProcessor",
                                         .AppClass = kCommunity,
                                         .CommandID = 9780,
                                         .Request = kTradeDateRequest,
                                         .Fields = kSHIndexBallotReply};

const TLuxProcessorRow kSHIndexUserIsGamblingRow{.ClassName = "TKrLuxSHIndexUserIsGamblingDataProcessor",
                                                 .AppClass = kCommunity,
                                                 .CommandID = 9781,
                                                 .Request = kUserTradeDateRequest,
                                                 .Fields = kUserIsGamblingReply};

const TLuxProcessorRow kSHIndexGamblingRow{.ClassName = "TKrLuxSHIndexGamblingDataProcessor",
                                           .AppClass = kCommunity,
                                           .CommandID = 9782,
                                           .Request = kBetOnContractCondition,
                                           .Fields = kGamblingReply};

const TLuxProcessorRow kSHIndexGamblingResultRow{.ClassName = "TKrLuxSHIndexGamblingResultDataProcessor",
                                                 .AppClass = kCommunity,
                                                 .CommandID = 9784,
                                                 .Request = kUserTradeDateRequest,
                                                 .Fields = kGamblingResultReply};

const TLuxProcessorRow kUserFractionRow{.ClassName = "TKrLuxUserFractionDataProcessor",
                                        .AppClass = kCommunity,
                                        .CommandID = 9703,
                                        .Request = kUserFractionRequest,
                                        .Fields = kUserFractionReply};

const TLuxProcessorRow kFractionDeductRow{.ClassName = "TKrLuxFractionDeductDataProcessor",
                                          .AppClass = kCommunity,
                                          .CommandID = 9700,
                                          .Request = kUserFraction,
                                          .Fields = kFractionDeductReply,
                                          .CompleteRequest = &CompleteFractionDeductRequest};

const TLuxProcessorRow kSubjectCommentNumRow{.ClassName = "TKrLuxSubjectCommentNumProcessor",
                                             .AppClass = kCommunity,
                                             .CommandID = 9722,
                                             .Request = kCommentNumRequest,
                                             .Fields = kCommentNumReply};

const TLuxProcessorRow kSubjectCommentsRow{.ClassName = "TKrLuxSubjectCommentsProcessor",
                                           .AppClass = kCommunity,
                                           .CommandID = 9720,
                                           .Request = kCommentsRequest,
                                           .Fields = kCommentReply,
                                           .FinishRow = &FinishCommentRow};

const TLuxProcessorRow kGetSubjectResourceIDRow{.ClassName = "TKrLuxGetSubjectResourceIDProcessor",
                                                .AppClass = kCommunity,
                                                .CommandID = 9721,
                                                .Request = kTopic,
                                                .Fields = kResourceIDReply};

const TLuxProcessorRow kSubjectCommentsByResourceIDRow{.ClassName = "TKrLuxSubjectCommentsByResourceIDProcessor",
                                                       .AppClass = kCommunity,
                                                       .CommandID = 9715,
                                                       .Request = kCommentsByResourceRequest,
                                                       .Fields = kCommentReply,
                                                       .FinishRow = &FinishCommentRow};

const TLuxProcessorRow kSubmitUserCommentRow{.ClassName = "TKrLuxSubmitUserComment",
                                             .AppClass = kCommunity,
                                             .CommandID = 9717,
                                             .Body = TLuxRequestBody::kText,
                                             .Request = kSubmitRequest,
                                             .Fields = kSubmitReply,
                                             .CompleteRequest = &CompleteSubmitRequest};

}  // namespace kdp
