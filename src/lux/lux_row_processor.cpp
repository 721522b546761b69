#include "lux/lux_row_processor.h"

#include <array>
#include <limits>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "kdp/host/log.h"
#include "kdp/host/number_text.h"
#include "kdp/host/serializer.h"
#include "kdp/host/services.h"
#include "lux/lux_data_item.h"
#include "lux/lux_data_table.h"
#include "lux/lux_reply_json.h"
#include "lux/lux_reply_xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxRowProcessor";

// Parameters that serve the data manager and are never sent.
constexpr std::array<std::string_view, 7> kManagerParams{"SaveData", "SaveHisNum", "NotifyAll", "uniquetag",
                                                         "datasize", "startid",    "StartNum"};

bool IsManagerParam(std::string_view name) {
  for (std::string_view known : kManagerParams) {
    if (SameTextAscii(name, known)) return true;
  }
  return false;
}

void WriteField(host::TStreamSerializer& writer, TLuxFieldType type, std::string_view text) {
  switch (type) {
    case TLuxFieldType::kString:
      writer.WriteString(text);
      break;
    case TLuxFieldType::kLongWord: {
      const std::int64_t number = host::ParseInt64(text).value_or(0);
      const bool fits = number >= 0 && number <= std::numeric_limits<std::uint32_t>::max();
      writer.WriteLongWord(fits ? static_cast<std::uint32_t>(number) : 0);
      break;
    }
    case TLuxFieldType::kInt64:
      writer.WriteInt64(host::ParseInt64(text).value_or(0));
      break;
    case TLuxFieldType::kDouble:
      writer.WriteDouble(host::ParseDouble(text).value_or(0.0));
      break;
    case TLuxFieldType::kBoolean:
      writer.WriteByte(host::ParseBool(text).value_or(false) ? 1 : 0);
      break;
  }
}

// The body of a request and the text its log line shows.
struct Body {
  host::MemoryStream Record;  // kRecord
  std::string Text;           // the text body, or the record's fields as "name=value&..."
};

Body WriteBody(const TLuxProcessorRow& row, const TLuxRequest& request) {
  Body body;
  switch (row.Body) {
    case TLuxRequestBody::kRecord: {
      host::TStreamSerializer writer(body.Record);
      for (const TLuxRequestField& field : row.Request) {
        const std::string value = RequestFieldValue(request.Params, field);
        WriteField(writer, field.Type, value);
        if (!body.Text.empty()) body.Text += '&';
        body.Text += fmt::format("{}={}", field.Param, value);
      }
      break;
    }
    case TLuxRequestBody::kQueryPairs: {
      std::string pairs;
      auto add = [&pairs](std::string_view name, std::string_view value) {
        if (value.empty()) return;
        if (!pairs.empty()) pairs += ';';
        pairs += fmt::format("{}:{}", name, value);
      };
      if (row.Request.empty()) {
        for (const auto& [name, value] : request.Params) {
          if (!IsManagerParam(name)) add(name, value);
        }
      } else {
        for (const TLuxRequestField& field : row.Request) add(field.Param, RequestFieldValue(request.Params, field));
      }
      body.Text = fmt::format("{}{}{}", row.QueryPrefix, pairs, row.QuerySuffix);
      if (!row.SuffixParam.empty()) body.Text += ParamValue(request.Params, row.SuffixParam);
      break;
    }
    case TLuxRequestBody::kText:
      if (!row.Request.empty()) body.Text = RequestFieldValue(request.Params, row.Request.front());
      break;
    case TLuxRequestBody::kNewsSearch:
      body.Text = BuildNewsQuery(request.Params, *row.SearchStyle, IsEnsEdition(), true, {});
      break;
  }
  return body;
}

// The rows of an XML reply, each handed to `add`; false with `why` when there is no row list.
template <class AddRow>
bool ReadXmlRows(std::string_view document, const TLuxProcessorRow& row, const AddRow& add, std::string& why) {
  pugi::xml_document doc;
  std::string error;
  LoadReplyXml(doc, document, error);
  if (!error.empty()) {
    why = "XML: " + error;
    return false;
  }
  pugi::xml_node list;
  std::string_view rowName;
  if (row.Reply == TLuxReplyFormat::kXmlResult) {
    list = FindElement(doc, "result");
    why = "未找到result节点";
  } else {
    pugi::xml_node set = FindElement(doc, "DataSet");
    if (!set) set = FindElement(doc, "DateSet");
    list = FindChildElement(FindChildElement(set, "Data"), "Body");
    rowName = "Record";
    why = "未找到DataSet/Data/Body节点";
  }
  if (!list) return false;
  for (pugi::xml_node node : list.children()) {
    if (node.type() != pugi::node_element) continue;
    if (!rowName.empty() && !SameTextAscii(node.name(), rowName)) continue;
    auto item = std::make_shared<TKrLuxDataItem>();
    for (const TLuxReplyField& field : row.Fields) {
      item->SetIndexValue(field.Field, ChildOrAttribute(node, field.Source.empty() ? field.Field : field.Source));
    }
    add(std::move(item));
  }
  return true;
}

// The rows of a JSON reply, each handed to `add`; false with `why` when the reply failed or has no rows.
template <class AddRow>
bool ReadJsonRows(std::string_view document, const TLuxProcessorRow& row, const AddRow& add, std::string& why) {
  TReplyJson doc;
  if (!LoadReplyJson(document, doc, why)) {
    why = "JSON: " + why;
    return false;
  }
  if (const TReplyJson* code = FindMember(doc, "code"); code != nullptr && JsonValueText(*code) != "0") {
    const TReplyJson* message = FindMember(doc, "message");
    why = fmt::format("code={} message={}", JsonValueText(*code), message ? JsonValueText(*message) : "");
    return false;
  }
  const TReplyJson* data = FindMember(doc, "data");
  if (data == nullptr || !(data->is_array() || data->is_object())) {
    why = "未找到data";
    return false;
  }
  auto addRow = [&](const TReplyJson& object) {
    auto item = std::make_shared<TKrLuxDataItem>();
    for (const TLuxReplyField& field : row.Fields) {
      const TReplyJson* value = FindMember(object, field.Source.empty() ? field.Field : field.Source);
      item->SetIndexValue(field.Field, value ? JsonValueText(*value) : std::string());
    }
    add(std::move(item));
  };
  if (data->is_object()) {
    addRow(*data);
    return true;
  }
  for (const TReplyJson& element : *data) {
    if (element.is_object()) addRow(element);
  }
  return true;
}

}  // namespace

std::string ParamValue(const TKrLuxDataRequestInfo::Params& params, std::string_view name) {
  for (const auto& [key, value] : params) {
    if (SameTextAscii(key, name)) return value;
  }
  return {};
}

void SetParam(TKrLuxDataRequestInfo::Params& params, std::string_view name, std::string_view value) {
  for (auto& [key, old] : params) {
    if (SameTextAscii(key, name)) {
      old = value;
      return;
    }
  }
  params.emplace_back(name, value);
}

std::string RequestFieldValue(const TKrLuxDataRequestInfo::Params& params, const TLuxRequestField& field) {
  std::string value = ParamValue(params, field.Param);
  if (TrimView(value).empty()) value = field.UserIDByDefault ? CurrentUserID() : std::string(field.Default);
  if (field.Prefix.empty()) return value;
  return std::string(field.Prefix) + value;
}

TKrLuxRowProcessor::TKrLuxRowProcessor(const TLuxProcessorRow& row)
    : FRow(row),
      FServer(row.ServerName.empty() ? std::string() : host::GetServerAddressByNameWithHttpPrefix(row.ServerName)) {}

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxRowProcessor::BuildMessage() {
  TLuxRequest request{SnapshotIndex(), FRow.CommandID};
  if (FRow.CompleteRequest != nullptr) FRow.CompleteRequest(request);
  Body body = WriteBody(FRow, request);
  auto message = std::make_unique<TKrLuxDataReqMessage>();
  message->MakeEmptyRequest();
  message->SetCommand(FRow.AppClass, request.CommandID);
  if (FRow.Body == TLuxRequestBody::kRecord) {
    message->SetMsgContext(body.Record);
  } else {
    message->SetMsgContext(body.Text);
  }
  host::AddHQLog(fmt::format("{}.CreateReqMsg {}/{} MessageFormat={} 序列化成功", FRow.ClassName, FRow.AppClass,
                             request.CommandID, body.Text),
                 kLogSource, host::LogSeverity::kInfo);
  return message;
}

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxRowProcessor::CreateReqMsg() {
  return FRow.Body == TLuxRequestBody::kNewsSearch ? nullptr : BuildMessage();
}

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxRowProcessor::CreateSearchMsg() {
  return FRow.Body == TLuxRequestBody::kNewsSearch ? BuildMessage() : nullptr;
}

bool TKrLuxRowProcessor::ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) {
  auto table = std::make_shared<TKrLuxDataTable>();
  std::string_view body;
  const TReplyBody status = ReadReplyBody(ARecvMsg, II_DECODE_OFFSET, body);
  std::string why(DescribeReplyBody(status));
  auto add = [this, &table](std::shared_ptr<TKrLuxDataItem> item) {
    if (FRow.FinishRow != nullptr) FRow.FinishRow(*item, FServer);
    if (!FRow.UserStockType.empty()) item->SetIndexValue("UserStockType", FRow.UserStockType);
    table->AddRow(std::move(item));
  };
  bool read = false;
  if (status == TReplyBody::kOk) {
    read =
        FRow.Reply == TLuxReplyFormat::kJson ? ReadJsonRows(body, FRow, add, why) : ReadXmlRows(body, FRow, add, why);
  }
  if (!read) {
    host::AddHQLog(fmt::format("{}.ProcessRpMsg 应答无法解析: {}", FRow.ClassName, why), kLogSource,
                   host::LogSeverity::kNotice);
    SetAnalyseLuxData(std::make_shared<TKrLuxDataTable>());
    return false;
  }
  host::AddHQLog(fmt::format("{}.ProcessRpMsg 解析完成，共{}行", FRow.ClassName, table->GetRowCount()), kLogSource,
                 host::LogSeverity::kInfo);
  SetAnalyseLuxData(std::move(table));
  return true;
}

std::string TKrLuxRowProcessor::GetSectorID() {
  if (FRow.SectorKeyParam.empty()) return GetSectorName();
  const std::string key = ParamValue(SnapshotIndex(), FRow.SectorKeyParam);
  return key.empty() ? GetSectorName() : GetSectorName() + ":" + key;
}

}  // namespace kdp
