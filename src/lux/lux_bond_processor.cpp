#include "lux/lux_bond_processor.h"

#include <array>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/lux.h"
#include "kdp/host/number_text.h"
#include "kdp/host/serializer.h"
#include "lux/lux_data_item.h"
#include "lux/lux_data_table.h"
#include "lux/lux_reply_json.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxBondProcessor";

using Field = TLuxRequestField;

// ---- reading records into rows ----

void AddMembers(const TReplyJson& object, TKrLuxDataItem& row);

void AddIndicators(const TReplyJson& list, TKrLuxDataItem& row) {
  for (const TReplyJson& pair : list) {
    const TReplyJson* id = FindMember(pair, "DictionaryId");
    const TReplyJson* value = FindMember(pair, "IndicatorValue");
    if (id == nullptr) continue;
    const std::string idText = JsonValueText(*id);
    const std::string valueText = value ? JsonValueText(*value) : std::string();
    if (host::IsNeedWriteHQLog()) {
      host::AddHQLog(fmt::format("AnalyseRespondMsg DictionaryId={} IndicatorValue={}", idText, valueText), kLogSource,
                     host::LogSeverity::kInfo);
    }
    row.SetIndexValue(idText, valueText);
  }
}

void AddTagBag(const TReplyJson& bag, TKrLuxDataItem& row) {
  const TReplyJson* items = FindMember(bag, "TagItems");
  if (items == nullptr || !items->is_array()) return;
  for (const TReplyJson& element : *items) {
    const TReplyJson* tag = FindMember(element, "TagItem");
    if (tag == nullptr) tag = &element;
    const TReplyJson* key = FindMember(*tag, "Key");
    const TReplyJson* value = FindMember(*tag, "Value");
    if (key != nullptr) row.SetIndexValue(JsonValueText(*key), value ? JsonValueText(*value) : std::string());
  }
}

// Nesting is bounded by the parse (kReplyJsonDepthLimit), so the recursion is too.
void AddMembers(const TReplyJson& object, TKrLuxDataItem& row) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    const std::string& key = it.key();
    const TReplyJson& value = it.value();
    if (SameTextAscii(key, "Indicators") && value.is_array()) {
      AddIndicators(value, row);
    } else if (SameTextAscii(key, "TagBag") && value.is_object()) {
      AddTagBag(value, row);
    } else if (value.is_object()) {
      AddMembers(value, row);
    } else {
      row.SetIndexValue(key, JsonValueText(value));
    }
  }
}

bool IsKddMessageType(std::string_view type) {
  return type == "Rpt.BDQT" || type == "Rpt.BDRFQ" || type == "Rpt.BDMYRFQ";
}

// Replaces a row of an ID seen before where it stood; appends the others.
void KeepByID(std::vector<std::shared_ptr<TKrLuxDataItem>>& rows, std::unordered_map<std::string, std::size_t>& at,
              std::shared_ptr<TKrLuxDataItem> row) {
  const std::string id(row->FindIndexValue("ID"));
  if (!id.empty()) {
    auto [found, added] = at.try_emplace(id, rows.size());
    if (!added) {
      rows[found->second] = std::move(row);
      return;
    }
  }
  rows.push_back(std::move(row));
}

// ---- request hooks ----

std::string ServerDateText() { return std::to_string(GetServerDateTime().Yyyymmdd()); }

void CompleteBBQF5Request(TLuxRequest& request) {
  for (std::string_view date : {"BeginDate", "EndDate"}) {
    if (TrimView(ParamValue(request.Params, date)).empty()) SetParam(request.Params, date, ServerDateText());
  }
}

void CompleteBBQF5TranRequest(TLuxRequest& request) {
  CompleteBBQF5Request(request);
  SetParam(request.Params, "Language", IsEnsEdition() ? "2" : "1");
}

void CompleteBondLuxRequest(TLuxRequest& request) {
  if (!host::ParseBool(ParamValue(request.Params, "IsHasJSONStr")).value_or(false)) {
    SetParam(request.Params, "JSONStr", "");
  }
}

std::string BTAAuthorityBody(const TKrLuxDataRequestInfo::Params& params) {
  std::string user = ParamValue(params, "Userid");
  if (TrimView(user).empty()) user = CurrentUserID();
  return fmt::format("{{\"cmdid\":1041,\"Version\":\"1.0\",\"Userid\":{}}}", user);
}

// ---- rows ----

constexpr std::string_view kBrokerSources[] = {"BD_QM_BBQ_ADMIN", "BD_QM_BBQ_BGC", "BD_QM_BBQ_ICAP", "BD_QM_BBQ_PATR",
                                               "BD_QM_BBQ_XT"};
constexpr std::string_view kBBQF5Sources[] = {"BD_QM_BBQ_ADMIN", "BD_QM_BBQ_BGC", "BD_QM_BBQ_ICAP",
                                              "BD_QM_BBQ_PATR",  "BD_QM_BBQ_XT",  "BD_QM_BBQ_TPSC"};

constexpr Field kBondQuotoDealedRequest[] = {
    {"queryType", TLuxFieldType::kString, "1"},
    {"sourceType", TLuxFieldType::kString, "BD_QM_BBQ_ADMIN,BD_QM_BBQ_BGC,BD_QM_BBQ_ICAP,BD_QM_BBQ_PATR,BD_QM_BBQ_XT"},
    {"KoraCode"},
    {"IssueDatetime"}};
constexpr Field kBBQF5Request[] = {
    {"queryType", TLuxFieldType::kString, "1"},
    {"sourceType", TLuxFieldType::kString,
     "BD_QM_BBQ_ADMIN,BD_QM_BBQ_BGC,BD_QM_BBQ_ICAP,BD_QM_BBQ_PATR,BD_QM_BBQ_XT,BD_QM_BBQ_TPSC"},
    {"KoraCode"},
    {"BeginDate"},
    {"EndDate"},
    {"BeginTime", TLuxFieldType::kString, "000000"},
    {"EndTime", TLuxFieldType::kString, "235959"},
    {"IsNeedSourceCode", TLuxFieldType::kString, "1"},
    {"IsAuthorized", TLuxFieldType::kString, "1"}};
constexpr Field kBBQF5TranRequest[] = {
    {"queryType", TLuxFieldType::kString, "1"},
    {"sourceType", TLuxFieldType::kString,
     "BD_QM_BBQ_ADMIN,BD_QM_BBQ_BGC,BD_QM_BBQ_ICAP,BD_QM_BBQ_PATR,BD_QM_BBQ_XT,BD_QM_BBQ_TPSC"},
    {"KoraCode"},
    {"BeginDate"},
    {"EndDate"},
    {"BeginTime", TLuxFieldType::kString, "000000"},
    {"EndTime", TLuxFieldType::kString, "235959"},
    {"IsNeedSourceCode", TLuxFieldType::kString, "1"},
    {"IsAuthorized", TLuxFieldType::kString, "1"},
    {"ReqFieldIDS"},
    {"Language"},
    {"userAgent", TLuxFieldType::kString, "KDP"},
    {"isRequestPermission", TLuxFieldType::kString, "1"}};
constexpr Field kKDDF5Request[] = {{"queryType", TLuxFieldType::kString, "1"},
                                   {"sourceType", TLuxFieldType::kString, "KDD"},
                                   {"KoraCode"},
                                   {"Version", TLuxFieldType::kString, "1.0"}};
constexpr Field kKDDCommitRequest[] = {{"queryType", TLuxFieldType::kString, "1"},
                                       {"Version", TLuxFieldType::kString, "1.0"}};
constexpr Field kBenchmarkRequest[] = {{"QueryType", TLuxFieldType::kString, "1"}, {"ModuleType"}, {"SectorIDS"}};
constexpr Field kBondLuxRequest[] = {{"queryType", TLuxFieldType::kString, "1"},
                                     {"ReqFieldIDS"},
                                     {"SubFieldIDS"},
                                     {"userAgent", TLuxFieldType::kString, "KDP"},
                                     {"isRequestPermission", TLuxFieldType::kString, "1"},
                                     {.Param = "JSONStr", .OmitWhenEmpty = true}};
constexpr Field kKDDAuthorityRequest[] = {{.Param = "UserID", .UserIDByDefault = true}};

}  // namespace

const TBondProcessorRow kBondQuotoDealedRow{.ClassName = "TKrLuxBondQuotoDealed",
                                            .AppClass = 1306,
                                            .CommandID = 3700,
                                            .Request = kBondQuotoDealedRequest,
                                            .Reply = TBondReply::kSourceLists,
                                            .Sources = kBrokerSources};
const TBondProcessorRow kBBQF5Row{.ClassName = "TKrLuxBBQF5DataProcessor",
                                  .AppClass = 1306,
                                  .CommandID = 3718,
                                  .Request = kBBQF5Request,
                                  .Reply = TBondReply::kSourceLists,
                                  .Sources = kBBQF5Sources,
                                  .CompleteRequest = &CompleteBBQF5Request};
const TBondProcessorRow kBBQF5TranRow{.ClassName = "TKrLuxBBQF5TranDataProcessor",
                                      .Request = kBBQF5TranRequest,
                                      .Reply = TBondReply::kSourceLists,
                                      .Sources = kBBQF5Sources,
                                      .CompleteRequest = &CompleteBBQF5TranRequest};
const TBondProcessorRow kKDDF5Row{.ClassName = "TKrLuxKDDF5DataProcessor",
                                  .AppClass = 1311,
                                  .CommandID = 2150,
                                  .Request = kKDDF5Request,
                                  .Reply = TBondReply::kJsonStr};
const TBondProcessorRow kKDDCommitBargainRow{
    .ClassName = "TKrLuxKDDCommitBargain", .AppClass = 1311, .CommandID = 2154, .Request = kKDDCommitRequest};
const TBondProcessorRow kBenchmarkRow{
    .ClassName = "TKrLuxBenchmarkDataProcessor", .AppClass = 1306, .CommandID = 3720, .Request = kBenchmarkRequest};
const TBondProcessorRow kBondLuxRow{
    .ClassName = "TKrBondLuxDataProcessor", .Request = kBondLuxRequest, .CompleteRequest = &CompleteBondLuxRequest};
const TBondProcessorRow kKDDAuthorityRow{
    .ClassName = "TKrLuxKDDAuthority", .AppClass = 1005, .CommandID = 614, .Request = kKDDAuthorityRequest};
const TBondProcessorRow kBTAAuthorityRow{
    .ClassName = "TKrLuxBTAAuthority", .AppClass = 1029, .CommandID = 1001, .FixedBody = &BTAAuthorityBody};

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxBondProcessor::BuildMessage() {
  TLuxRequest request{SnapshotIndex(), FRow.CommandID};
  std::uint32_t appClass = FRow.AppClass;
  if (appClass == 0) {
    const auto givenClass = host::ParseInt64(ParamValue(request.Params, "appClass"));
    const auto givenCommand = host::ParseInt64(ParamValue(request.Params, "commandId"));
    // The application class has 12 bits of the command word, the command ID 20.
    if (!givenClass || !givenCommand || *givenClass <= 0 || *givenClass >= (1 << 12) || *givenCommand < 0 ||
        *givenCommand >= (1 << 20)) {
      host::AddHQLog(fmt::format("{}.CreateSearchMsg Appclass and CommandID error!", FRow.ClassName), kLogSource,
                     host::LogSeverity::kNotice);
      return nullptr;
    }
    appClass = static_cast<std::uint32_t>(*givenClass);
    request.CommandID = static_cast<std::uint32_t>(*givenCommand);
  }
  if (FRow.CompleteRequest != nullptr) FRow.CompleteRequest(request);
  std::string body;
  if (FRow.FixedBody != nullptr) {
    body = FRow.FixedBody(request.Params);
  } else {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const TLuxRequestField& field : FRow.Request) {
      std::string value = RequestFieldValue(request.Params, field);
      if (field.OmitWhenEmpty && value.empty()) continue;
      object[std::string(field.Param)] = std::move(value);
    }
    body = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  auto message = std::make_unique<TKrLuxDataReqMessage>();
  message->MakeEmptyRequest();
  message->SetCommand(appClass, request.CommandID);
  message->SetMsgContext(body);
  host::AddHQLog(fmt::format("{}.CreateReqMsg {}/{} MessageFormat={} 序列化成功", FRow.ClassName, appClass,
                             request.CommandID, body),
                 kLogSource, host::LogSeverity::kInfo);
  return message;
}

std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> TKrLuxBondProcessor::CreateSubInfo(TSubInfoType subInfoType) {
  auto subInfo = std::make_shared<TKrLuxDataIndexQuotaSubInfo>();
  subInfo->SetIsUserAuthLevel(false);
  if (subInfoType == SITIndex) {
    subInfo->SetIndexQuotaValue(std::to_string(kBondDocumentIndicator), "");
    return subInfo;
  }
  for (const auto& [name, value] : SnapshotIndex()) {
    if (SameTextAscii(name, "KoraCode")) {
      subInfo->SetIndexQuotaValue("2002", value);
    } else if (host::ParseInt32(name).value_or(0) > 0) {
      subInfo->SetIndexQuotaValue(name, value);
    }
  }
  return subInfo;
}

bool TKrLuxBondProcessor::ReadDocument(std::string_view document, Rows& rows, std::string& why) const {
  TReplyJson doc;
  if (!LoadReplyJson(document, doc, why) || !doc.is_object()) {
    if (why.empty()) why = "not a JSON object";
    why = fmt::format("{}.DecodeData异常:{}", FRow.ClassName, why);
    return false;
  }
  std::unordered_map<std::string, std::size_t> at;
  auto recordRow = [](const TReplyJson& record) {
    auto row = std::make_shared<TKrLuxDataItem>();
    AddMembers(record, *row);
    return row;
  };
  const TReplyJson* records = FindMember(doc, "Records");
  switch (FRow.Reply) {
    case TBondReply::kRecords:
      if (records == nullptr) {
        KeepByID(rows, at, recordRow(doc));
        break;
      }
      if (!records->is_array()) break;
      for (const TReplyJson& record : *records) {
        if (record.is_object()) KeepByID(rows, at, recordRow(record));
      }
      break;
    case TBondReply::kSourceLists:
      for (std::string_view source : FRow.Sources) {
        const TReplyJson* list = FindMember(doc, source);
        if (list == nullptr || !list->is_array()) continue;
        for (const TReplyJson& record : *list) {
          if (!record.is_object()) continue;
          auto row = std::make_shared<TKrLuxDataItem>();
          row->SetIndexValue("Source", source);
          AddMembers(record, *row);
          KeepByID(rows, at, std::move(row));
        }
      }
      break;
    case TBondReply::kJsonStr: {
      if (records == nullptr || !records->is_array()) break;
      std::array<std::pair<std::string_view, std::string>, 3> authorities{
          {{"BargainAuthor", {}}, {"ManagementAuthor", {}}, {"PlatformAuthor", {}}}};
      for (auto& [name, value] : authorities) {
        if (const TReplyJson* given = FindMember(doc, name)) value = JsonValueText(*given);
      }
      for (const TReplyJson& record : *records) {
        const TReplyJson* text = FindMember(record, "JSONStr");
        if (text == nullptr || !text->is_string()) continue;
        TReplyJson inner;
        std::string error;
        if (!LoadReplyJson(text->get_ref<const std::string&>(), inner, error) || !inner.is_object()) {
          host::AddHQLog(fmt::format("{}.DecodeData异常:JSONStr {}", FRow.ClassName, error), kLogSource,
                         host::LogSeverity::kNotice);
          continue;
        }
        const TReplyJson* type = FindMember(inner, "MsgType");
        const std::string typeText = type ? JsonValueText(*type) : std::string();
        if (!IsKddMessageType(typeText)) {
          host::AddHQLog(fmt::format("{} 未知的JSONStr类型: {}", FRow.ClassName, typeText), kLogSource,
                         host::LogSeverity::kNotice);
          continue;
        }
        auto row = recordRow(inner);
        row->SetIndexValue("JSONStr", text->get_ref<const std::string&>());
        for (const auto& [name, value] : authorities) row->SetIndexValue(name, value);
        KeepByID(rows, at, std::move(row));
      }
      break;
    }
  }
  return true;
}

bool TKrLuxBondProcessor::ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) {
  std::string_view body;
  const TReplyBody status = ReadReplyBody(ARecvMsg, 0, body);
  std::string why;
  Rows rows;
  if (status != TReplyBody::kOk) {
    why = fmt::format("{}.ProcessRpMsg 应答无法读取: {}", FRow.ClassName, DescribeReplyBody(status));
  } else {
    host::MemoryStream header(body);
    host::TStreamSerializer reader(header);
    std::uint32_t code = 0;
    std::string message;
    if (!reader.ReadLongWord(code) || !reader.ReadAnsiString(message)) {
      why = fmt::format("{}.ProcessRpMsg 应答没有完整的LCodeHeader", FRow.ClassName);
    } else if (code != 0) {
      why = fmt::format("{}.ProcessRpMsg not LCodeHeader.IsSuccess code={} message={}", FRow.ClassName, code, message);
    } else {
      ReadDocument(body.substr(header.Position()), rows, why);
    }
  }
  if (!why.empty()) {
    host::AddHQLog(why, kLogSource, host::LogSeverity::kNotice);
    SetAnalyseLuxData(std::make_shared<TKrLuxDataTable>());
    return false;
  }
  auto table = std::make_shared<TKrLuxDataTable>();
  table->Reserve(rows.size());
  for (const auto& row : rows) table->AddRow(row);
  {
    std::lock_guard lock(FRowsLock);
    FRows.clear();
    FRowOfID.clear();
    for (const auto& row : rows) {
      if (FRows.size() == kBondRowsKept) break;
      const std::string id(row->FindIndexValue("ID"));
      if (!id.empty()) FRowOfID.emplace(id, FRows.size());
      FRows.push_back(row);
    }
  }
  host::AddHQLog(fmt::format("{}.ProcessRpMsg 解析完成，共{}行", FRow.ClassName, table->GetRowCount()), kLogSource,
                 host::LogSeverity::kInfo);
  SetAnalyseLuxData(std::move(table));
  return true;
}

TKrLuxBondProcessor::Rows TKrLuxBondProcessor::MergePushed(Rows pushed, bool notifyAll) {
  std::lock_guard lock(FRowsLock);
  for (auto& row : pushed) {
    const std::string id(row->FindIndexValue("ID"));
    const auto known = id.empty() ? FRowOfID.end() : FRowOfID.find(id);
    if (known != FRowOfID.end()) {
      // A push carries what changed: the remembered fields, then the pushed ones over them.
      auto merged = std::make_shared<TKrLuxDataItem>();
      const TKrLuxDataItem& before = *FRows[known->second];
      for (std::size_t i = 0; i < before.Count(); ++i) merged->SetIndexValue(before.NameAt(i), before.ValueAt(i));
      for (std::size_t i = 0; i < row->Count(); ++i) merged->SetIndexValue(row->NameAt(i), row->ValueAt(i));
      FRows[known->second] = merged;
      row = std::move(merged);
    } else if (FRows.size() < kBondRowsKept) {
      if (!id.empty()) FRowOfID.emplace(id, FRows.size());
      FRows.push_back(row);
    }
  }
  return notifyAll ? FRows : pushed;
}

bool TKrLuxBondProcessor::ProcessPublishMsg(host::MemoryStream& record) {
  std::vector<host::TLuxIndicator> indicators;
  std::string why;
  Rows pushed;
  if (!host::DecodeLuxPublishRecord(record, indicators)) {
    why = fmt::format("{}.ProcessPublishMsg 推送记录无法解码", FRow.ClassName);
  } else {
    const host::TLuxIndicator* document = nullptr;
    for (const host::TLuxIndicator& indicator : indicators) {
      if (indicator.FieldID == kBondDocumentIndicator && !indicator.Values.empty()) document = &indicator;
    }
    if (document == nullptr) {
      why = fmt::format("{}.ProcessPublishMsg 推送记录没有{}", FRow.ClassName, kBondDocumentIndicator);
    } else {
      ReadDocument(document->Values.front(), pushed, why);
    }
  }
  if (!why.empty()) {
    host::AddHQLog(why, kLogSource, host::LogSeverity::kNotice);
    SetAnalyseLuxData(std::make_shared<TKrLuxDataTable>());
    return false;
  }
  const bool notifyAll = GetIndexValue("NotifyAll") == "True";
  auto table = std::make_shared<TKrLuxDataTable>();
  for (auto& row : MergePushed(std::move(pushed), notifyAll)) table->AddRow(std::move(row));
  SetAnalyseLuxData(std::move(table));
  return true;
}

}  // namespace kdp
