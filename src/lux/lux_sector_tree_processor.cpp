#include "lux/lux_sector_tree_processor.h"

#include <pugixml.hpp>

#include "kdp/host/log.h"
#include "lux/lux_data_table.h"
#include "lux/lux_reply_xml.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxSectorTreeProcessor";

}  // namespace

std::string TKrLuxSectorTreeProcessor::Query() {
  const std::string type = GetIndexValue("SectorTreeType");
  std::string query = "calltype=C#&name=code&param=type:" + type;
  if (type == "27") query += ";subnode:N1071";
  if (IsEnsEdition()) query += ";lng:01";
  return query;
}

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxSectorTreeProcessor::CreateReqMsg() {
  auto message = std::make_unique<TKrLuxDataReqMessage>();
  message->MakeEmptyRequest();
  message->SetCommand(kLuxNewsAppClass, kLuxNewsCommandID);
  message->SetMsgContext(Query());
  return message;
}

bool TKrLuxSectorTreeProcessor::ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) {
  auto table = std::make_shared<TKrLuxDataTable>();
  std::string_view body;
  switch (ReadReplyBody(ARecvMsg, II_DECODE_OFFSET, body)) {
    case TReplyBody::kErrorReply:
      host::AddHQLog("SectorTree ProcessRpMsg ARecvMsg.MessageProp = mpError", kLogSource, host::LogSeverity::kNotice);
      break;
    case TReplyBody::kUndecodable:
      host::AddHQLog("SectorTree ProcessRpMsg ARecvMsg.Deserialize Failed!", kLogSource, host::LogSeverity::kNotice);
      break;
    case TReplyBody::kTooShort:
      host::AddHQLog("SectorTree ProcessRpMsg MessageBody.Size < II_DECODE_OFFSET", kLogSource,
                     host::LogSeverity::kNotice);
      break;
    case TReplyBody::kOk: {
      pugi::xml_document doc;
      std::string error;
      LoadReplyXml(doc, body, error);
      if (!error.empty()) host::AddHQLog("SectorTree XML: " + error, kLogSource, host::LogSeverity::kNotice);
      const pugi::xml_node result = FindElement(doc, "result");
      if (!result) {
        host::AddHQLog("SectorTree LResultNode is nil!", kLogSource, host::LogSeverity::kNotice);
        break;
      }
      // AnalyseSector: a row per node, a field per attribute.
      for (pugi::xml_node node : result.children()) {
        if (node.type() != pugi::node_element) continue;
        const int row = table->AddRow();
        for (pugi::xml_attribute attribute : node.attributes()) {
          table->SetIndexValue(row, attribute.name(), attribute.value());
        }
      }
      SetAnalyseLuxData(std::move(table));
      return true;
    }
  }
  SetAnalyseLuxData(std::move(table));
  return false;
}

}  // namespace kdp
