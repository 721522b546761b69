#include "lux/lux_news_processor.h"

#include <array>
#include <fstream>
#include <iterator>
#include <vector>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/str_hash.h"
#include "lux/lux_dealer_id.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxNewsDataProcessor";
constexpr std::string_view kReturnFields =
    "&returnfields=id,title,date,snap,channel,sitename,keyword,broker,attechmenturl,abstract,section,sentence";
constexpr std::string_view kDefaultPageSize = "50";

constexpr std::string_view kListReturnFields =
    "&returnfields=id,title,date,snap,channel,sitename,keyword,section,sentence";

constexpr TNewsQueryStyle kNewsStyle{"name=getlist&mediatype=01&lng=01&param_v2=",
                                     "name=getlist&mediatype=01&param_v2=",
                                     "&pagesize=",
                                     true,
                                     true,
                                     &KoraCodeCondition,
                                     kReturnFields};
constexpr TNewsQueryStyle kSubjectStyle{"name=getlist&mediatype=13&param_v2=",
                                        "name=getlist&mediatype=13&param_v2=",
                                        "&pagesize=",
                                        false,
                                        false,
                                        &KoraCodeCondition,
                                        kReturnFields};
constexpr TNewsQueryStyle kCommStyle{"name=getlist&mediatype=16&lng=01&param_v2=",
                                     "name=getlist&mediatype=16&param_v2=",
                                     "&pagesize=",
                                     true,
                                     true,
                                     &KoraCodeCondition,
                                     kReturnFields};
constexpr TNewsQueryStyle kLedStyle{"name=getlist&mediatype=01&lng=01&returnfields=&param_v2=",
                                    "name=getlist&mediatype=01&returnfields=&param_v2=",
                                    "&type=01,03,16&pagesize=",
                                    true,
                                    true,
                                    &KoraCodeCondition,
                                    kReturnFields};
constexpr TNewsQueryStyle kAnnouncementStyle{"name=getlist&mediatype=03&lng=01&param_v2=",
                                             "name=getlist&mediatype=03&param_v2=",
                                             "&pagesize=",
                                             true,
                                             true,
                                             &KoraCodeCondition,
                                             kReturnFields};
constexpr TNewsQueryStyle kNegativeStyle{"name=getlist&mediatype=01&lng=01&param_v2=",
                                         "name=getlist&mediatype=01&param_v2=",
                                         "&pagesize=",
                                         true,
                                         true,
                                         &NegativeNewsCondition,
                                         kListReturnFields};
constexpr TNewsQueryStyle kStockNewsStyle{"calltype=C#&name=livenewsinfo&param=",
                                          "calltype=C#&name=livenewsinfo&param=",
                                          "&pagesize=",
                                          true,
                                          true,
                                          &LiveNewsCodeCondition,
                                          ""};

constexpr TNewsReplyOptions kAnnouncementReply{"Announcement", true, false, true};
constexpr TNewsReplyOptions kLiveNewsReply{"News", true, true, false};

// What a parameter is to the query.
enum class Role {
  kCondition,
  kNotSent,
  kPageSize,
  kPageNo,
  kStartNum,
  kStartDate,
  kEndDate,
  kCodes,
  kSort,
  kSortBegin,
  kSortEnd
};

struct KnownParameter {
  std::string_view Name;
  Role Use;
  bool HistoryOnly;  // a search sends it as a condition
};

constexpr std::array<KnownParameter, 15> kKnownParameters{{
    {"pagesize", Role::kPageSize, false},
    {"newstype", Role::kNotSent, false},
    {"datasize", Role::kNotSent, false},
    {"startid", Role::kNotSent, false},
    {"uniquetag", Role::kNotSent, false},
    {"SaveData", Role::kNotSent, true},
    {"SaveHisNum", Role::kNotSent, true},
    {"startDate", Role::kStartDate, false},
    {"endDate", Role::kEndDate, false},
    {"koracode", Role::kCodes, false},
    {"pageno", Role::kPageNo, false},
    {"Sort", Role::kSort, true},
    {"SortBeginDate", Role::kSortBegin, true},
    {"SortEndDate", Role::kSortEnd, true},
    {"StartNum", Role::kStartNum, true},
}};

Role RoleOf(std::string_view name, bool search) {
  for (const KnownParameter& known : kKnownParameters) {
    if (SameTextAscii(name, known.Name)) {
      return search && known.HistoryOnly ? Role::kCondition : known.Use;
    }
  }
  return Role::kCondition;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// "N:V", every "," of V starting another "N:" alternative.
std::string Condition(std::string_view name, std::string_view value) {
  std::string condition(name);
  condition += ':';
  condition += value;
  ReplaceAll(condition, ",", fmt::format(" OR {}:", name));
  return condition;
}

// Codes as the search engine reads them: "&" escaped, brackets made "_".
std::string EscapedCodes(std::string_view codes) {
  std::string value(codes);
  ReplaceAll(value, "&", "\\\\&");
  for (char& c : value) {
    if (c == '(' || c == ')') c = '_';
  }
  return value;
}

// The page to ask for: the number given, or the page after the rows the caller already has.
int PageNumber(const std::string* pageNo, int startNum, std::string_view pageSize) {
  if (pageNo != nullptr && !pageNo->empty()) return ParseInt32(*pageNo).value_or(0);
  const int size = ParseInt32(pageSize).value_or(0);
  if (size <= 0 || startNum <= 0) return 1;
  return (startNum + size - 1) / size + 1;
}

}  // namespace

std::string KoraCodeCondition(std::string_view codes) {
  std::string value = EscapedCodes(codes);
  ReplaceAll(value, ",", " OR koracode:");
  return "koracode:" + value;
}

std::string NegativeNewsCondition(std::string_view codes) {
  std::string value = EscapedCodes(codes);
  ReplaceAll(value, ",", "0402 OR v2025:");
  return "v2025:" + value + "0402";
}

std::string LiveNewsCodeCondition(std::string_view codes) { return "v2002:" + std::string(codes); }

int NewsPageNumber(const TKrLuxDataRequestInfo::Params& params) {
  const std::string* pageNo = nullptr;
  int startNum = 0;
  std::string pageSize(kDefaultPageSize);
  for (const auto& [name, value] : params) {
    if (SameTextAscii(name, "pageno")) pageNo = &value;
    if (SameTextAscii(name, "StartNum")) startNum = ParseInt32(value).value_or(0);
    if (SameTextAscii(name, "pagesize") && !value.empty()) pageSize = value;
  }
  return PageNumber(pageNo, startNum, pageSize);
}

std::string BuildNewsQuery(const TKrLuxDataRequestInfo::Params& params, const TNewsQueryStyle& style, bool edition,
                           bool search, const std::string& conditionSuffix) {
  std::string pageSize(kDefaultPageSize);
  const std::string* pageNo = nullptr;
  int startNum = 0;
  std::string startDate, endDate, sort, sortBegin, sortEnd;
  std::vector<std::string> conditions;
  for (const auto& [name, value] : params) {
    Role role = RoleOf(name, search);
    if (!style.DatesSortAndCodes && role == Role::kCodes) role = Role::kCondition;
    switch (role) {
      case Role::kPageSize:
        pageSize = value.empty() ? std::string(kDefaultPageSize) : value;
        break;
      case Role::kPageNo:
        pageNo = &value;
        break;
      case Role::kStartNum:
        startNum = ParseInt32(value).value_or(0);
        break;
      case Role::kStartDate:
        startDate = value;
        break;
      case Role::kEndDate:
        endDate = value;
        break;
      case Role::kSort:
        sort = value;
        break;
      case Role::kSortBegin:
        sortBegin = value;
        break;
      case Role::kSortEnd:
        sortEnd = value;
        break;
      case Role::kCodes:
        conditions.push_back(style.CodesCondition(value));
        break;
      case Role::kCondition:
        conditions.push_back(Condition(name, value));
        break;
      case Role::kNotSent:
        break;
    }
  }

  std::string query(edition ? style.EditionPrefix : style.Prefix);
  const std::size_t conditionsStart = query.size();
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    if (i == 0) {
      query += conditions[i];
    } else if (style.BracketConditions) {
      query += fmt::format(" AND ({})", conditions[i]);
    } else {
      query += " AND " + conditions[i];
    }
  }
  query += conditionSuffix;
  if (style.DatesSortAndCodes && !startDate.empty() && !endDate.empty()) {
    if (query.size() > conditionsStart) query += ';';
    query += fmt::format("date1:[{} TO {}]", startDate, endDate);
  }
  query += style.PageSizeKey;
  query += pageSize;
  query += "&pageno=";
  query +=
      std::to_string(search ? (pageNo ? ParseInt32(*pageNo).value_or(0) : 0) : PageNumber(pageNo, startNum, pageSize));
  if (!search && style.DatesSortAndCodes) {
    if (!TrimView(sortBegin).empty()) query += "&begindate=" + sortBegin;
    if (!TrimView(sortEnd).empty()) query += "&enddate=" + sortEnd;
    if (!TrimView(sort).empty()) query += "&sort=" + sort;
  }
  query += style.ReturnFields;
  return query;
}

TKrLuxNewsDataProcessor::TKrLuxNewsDataProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxNewsDataProcessor", kNewsStyle, kNewsReplyOptions) {}

TKrLuxNewsDataProcessor::TKrLuxNewsDataProcessor(std::string_view name, const TNewsQueryStyle& style,
                                                 const TNewsReplyOptions& options)
    : FName(name), FStyle(style), FReplyOptions(options), FReplyContext(TNewsReplyContext::FromHost()) {}

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxNewsDataProcessor::BuildMessage(bool search) {
  const std::string query = BuildNewsQuery(SnapshotIndex(), FStyle, IsEnsEdition(), search, ConditionSuffix());
  auto message = std::make_unique<TKrLuxDataReqMessage>();
  message->MakeEmptyRequest();
  message->SetCommand(kLuxNewsAppClass, kLuxNewsCommandID);
  message->SetMsgContext(query);
  host::AddHQLog(fmt::format("CreateReqMsg MessageFormat={} 序列化成功", query), kLogSource, host::LogSeverity::kInfo);
  return message;
}

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxNewsDataProcessor::CreateReqMsg() { return BuildMessage(false); }
std::unique_ptr<TKrLuxDataReqMessage> TKrLuxNewsDataProcessor::CreateSearchMsg() { return BuildMessage(true); }

std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> TKrLuxNewsDataProcessor::CreateSubInfo(TSubInfoType subInfoType) {
  auto subInfo = std::make_shared<TKrLuxDataIndexQuotaSubInfo>();
  if (subInfoType == SITIndex) {
    host::AddHQLog("TKrLuxNewsDataProcessor.CreateSubInfo 设置订阅内容", kLogSource, host::LogSeverity::kInfo);
    // The fields a push should carry.
    for (std::string_view field : {"2001", "2007", "2008", "2009", "2010", "2011", "2012", "2005"}) {
      subInfo->SetIndexQuotaValue(field, "");
    }
    return subInfo;
  }
  for (const auto& [name, value] : SnapshotIndex()) {
    if (SameTextAscii(name, "koracode")) {
      subInfo->SetIndexQuotaValue("2002", value);
      host::AddHQLog(fmt::format("TKrLuxNewsDataProcessor.CreateSubInfo KoraCode: {}", value), kLogSource,
                     host::LogSeverity::kInfo);
    } else if (!SameTextAscii(name, "SaveData") && !SameTextAscii(name, "uniquetag")) {
      subInfo->SetIndexQuotaValue(name, value);
    }
  }
  host::AddHQLog("TKrLuxNewsDataProcessor.CreateSubInfo 设置订阅条件", kLogSource, host::LogSeverity::kInfo);
  return subInfo;
}

bool TKrLuxNewsDataProcessor::ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) {
  host::AddHQLog("ProcessRpMsg 开始解析新闻数据", kLogSource, host::LogSeverity::kInfo);
  auto table = std::make_shared<TKrLuxDataTable>();
  std::string_view body;
  const TReplyBody status = ReadReplyBody(ARecvMsg, II_DECODE_OFFSET, body);
  bool read = false;
  switch (status) {
    case TReplyBody::kOk:
      read = ParseNewsReply(body, FReplyContext, GetIndexValue("koracode"), *table, FReplyOptions);
      if (!read) {
        host::AddHQLog(fmt::format("{}.ProcessRpMsg 应答无法解析", FName), kLogSource, host::LogSeverity::kNotice);
      }
      break;
    case TReplyBody::kErrorReply:
      host::AddHQLog(fmt::format("{}.ProcessRpMsg 错误应答(mpError)，不解析", FName), kLogSource,
                     host::LogSeverity::kNotice);
      break;
    case TReplyBody::kUndecodable:
      host::AddHQLog(fmt::format("{}.ProcessRpMsg 应答反序列化失败", FName), kLogSource, host::LogSeverity::kNotice);
      break;
    case TReplyBody::kTooShort:
      host::AddHQLog(fmt::format("{}.ProcessRpMsg MessageBody.Size < II_DECODE_OFFSET", FName), kLogSource,
                     host::LogSeverity::kNotice);
      break;
  }
  SetAnalyseLuxData(std::move(table));
  return read;
}

bool TKrLuxNewsDataProcessor::ProcessPublishMsg(host::MemoryStream& record) {
  host::AddHQLog("ProcessPublishMsg Receive one Publish msg", kLogSource, host::LogSeverity::kInfo);
  auto table = std::make_shared<TKrLuxDataTable>();
  const bool parsed = ParseNewsPublishRecord(record, FReplyContext, *table);
  SetAnalyseLuxData(std::move(table));
  return parsed;
}

std::shared_ptr<IKrLuxDataTable> TKrLuxNewsDataProcessor::ProcessTestData() {
  auto table = std::make_shared<TKrLuxDataTable>();
  std::ifstream in(GetTestData(), std::ios::binary);
  if (!in) {
    host::AddHQLog(fmt::format("{}.ProcessTestData 测试数据不存在: {}", FName, GetTestData()), kLogSource,
                   host::LogSeverity::kNotice);
    return table;
  }
  const std::string document{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ParseNewsReply(document, FReplyContext, GetIndexValue("koracode"), *table, FReplyOptions);
  return table;
}

std::string TKrLuxNewsDataProcessor::GetSectorID() { return std::to_string(GetReqInfoHashCode()); }

std::uint32_t TKrLuxNewsDataProcessor::GetReqInfoHashCode() {
  const std::string tag = GetIndexValue("uniquetag");
  if (TrimView(tag).empty()) return TKrLuxDataRequestInfo::GetReqInfoHashCode();
  const std::string codes = GetKoraCodesBySector(tag);
  if (codes.empty()) return host::StrHash(GetSectorName() + tag);
  return host::StrHash(tag + GetSectorName() + codes);
}

TKrLuxSubjectNewsDataProcessor::TKrLuxSubjectNewsDataProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxSubjectNewsDataProcessor", kSubjectStyle, kNewsReplyOptions) {}

TKrLuxCommNewsDataProcessor::TKrLuxCommNewsDataProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxCommNewsDataProcessor", kCommStyle, kNewsReplyOptions) {}

std::string TKrLuxCommNewsDataProcessor::ConditionSuffix() {
  TKrUserDealerIDProvider& provider = TKrUserDealerIDProvider::GetInstance();
  const std::string dealer = provider.GetUserDealerID();
  if (dealer.empty() || provider.IsIDIncluded()) return {};
  return fmt::format(" AND (!siteid:{})", dealer);
}

TKrLuxLEDNewsDataProcessor::TKrLuxLEDNewsDataProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxLEDNewsDataProcessor", kLedStyle, kNewsReplyOptions) {}

TKrLuxUserDefineNewsDataProcessor::TKrLuxUserDefineNewsDataProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxUserDefineNewsDataProcessor", kNewsStyle, kNewsReplyOptions) {}

TKrLuxAnnouncementDataProcessor::TKrLuxAnnouncementDataProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxAnnouncementDataProcessor", kAnnouncementStyle, kAnnouncementReply) {}

TKrLuxNegativeNewsDataProcessor::TKrLuxNegativeNewsDataProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxNegativeNewsDataProcessor", kNegativeStyle, kNewsReplyOptions) {}

TKrLuxStockNewsProcessor::TKrLuxStockNewsProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxStockNewsProcessor", kStockNewsStyle, kNewsReplyOptions) {}

TKrLuxLiveNewsProcessor::TKrLuxLiveNewsProcessor()
    : TKrLuxNewsDataProcessor("TKrLuxLiveNewsProcessor", kNewsStyle, kLiveNewsReply) {}

std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> TKrLuxLiveNewsProcessor::CreateSubInfo(TSubInfoType subInfoType) {
  auto news = TKrLuxNewsDataProcessor::CreateSubInfo(subInfoType);
  auto subInfo = std::make_shared<TKrLuxDataIndexQuotaSubInfo>();
  if (subInfoType == SITIndexQuota) subInfo->SetIndexQuotaValue("2041", "ON3101");
  for (int i = 0; i < news->GetIndexQuotaCount(); ++i) {
    subInfo->SetIndexQuotaValue(news->GetIndexQuotaByOrder(i), news->GetIndexQuotaValueByOrder(i));
  }
  if (subInfoType == SITIndex) subInfo->SetIndexQuotaValue("v2041", "");
  return subInfo;
}

void TKrLuxUserDefineNewsDataProcessor::SetIndexValue(std::string_view name, std::string_view value) {
  if (name == "USER_DEFINE_NODE_NAME") {
    FUserDefineNodeName = value;
    return;
  }
  TKrLuxNewsDataProcessor::SetIndexValue(name, value);
}

}  // namespace kdp
