#include "lux/lux_auth_level.h"

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "kdp/host/serializer.h"
#include "lux/lux_data_table.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxDataMgr";
constexpr std::size_t kFieldBytes = 8;  // a field ID and its value

// The levels of a reply body; false when the body does not decode.
bool ReadLevels(std::string_view body, std::vector<std::uint32_t>& levels) {
  host::MemoryStream stream(body);
  host::TStreamSerializer reader(stream);
  std::uint32_t records = 0;
  if (!reader.ReadLongWord(records) || records > stream.Remaining() / 4) return false;
  for (std::uint32_t r = 0; r < records; ++r) {
    std::uint32_t fields = 0;
    if (!reader.ReadLongWord(fields) || fields > stream.Remaining() / kFieldBytes) return false;
    for (std::uint32_t f = 0; f < fields; ++f) {
      std::uint32_t id = 0, value = 0;
      if (!reader.ReadLongWord(id) || !reader.ReadLongWord(value)) return false;
      if (id == kAuthLevelFieldID) levels.push_back(value);
    }
  }
  return stream.Remaining() == 0;
}

}  // namespace

std::unique_ptr<TKrLuxDataReqMessage> TKrLuxAuthLevelProcessor::CreateReqMsg() {
  host::MemoryStream body;
  host::TStreamSerializer(body).WriteString(CurrentUserID());
  auto message = std::make_unique<TKrLuxDataReqMessage>();
  message->MakeEmptyRequest();
  message->SetCommand(kAuthLevelAppClass, kAuthLevelCommandID);
  message->SetMsgContext(body);
  return message;
}

bool TKrLuxAuthLevelProcessor::ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) {
  auto table = std::make_shared<TKrLuxDataTable>();
  std::string_view body;
  const TReplyBody status = ReadReplyBody(ARecvMsg, 0, body);
  std::vector<std::uint32_t> levels;
  const bool read = status == TReplyBody::kOk && ReadLevels(body, levels);
  if (!read) {
    const std::string_view why = status == TReplyBody::kOk ? "记录无法解码" : DescribeReplyBody(status);
    host::AddHQLog(fmt::format("TKrLuxAuthLevelProcessor.ProcessRpMsg 权限应答无法解析: {}", why), kLogSource,
                   host::LogSeverity::kNotice);
    SetAnalyseLuxData(std::move(table));
    return false;
  }
  for (std::uint32_t level : levels) table->SetIndexValue(table->AddRow(), "2021", std::to_string(level));
  SetAnalyseLuxData(std::move(table));
  return true;
}

void TKrLuxBaseDataCache::SaveAuthList(const std::shared_ptr<IKrLuxDataTable>& table) {
  FAuthList.clear();
  for (int row = 0; table && row < table->GetRowCount(); ++row) {
    std::string level = table->GetIndexValue(row, "2021");
    if (!level.empty()) FAuthList.push_back(std::move(level));
  }
}

}  // namespace kdp
