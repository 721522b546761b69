#include "lux/lux_async_message.h"

#include "kdp/host/log.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxDataMgrDef";

}  // namespace

void* TKrLuxDataAsyncMessage::QueryInterface(const host::Guid& iid) {
  if (iid == IKrLuxDataAsyncMessage::IID) return static_cast<IKrLuxDataAsyncMessage*>(this);
  return TKrLuxDataRequestInfo::QueryInterface(iid);
}

void TKrLuxDataAsyncMessage::Prepare(std::uint32_t appClass, std::uint32_t commandID, std::uint32_t userData) {
  FUserData = userData;
  FSendMsg.MakeEmptyRequest();
  FSendMsg.SetCommand(appClass, commandID);
}

bool TKrLuxDataAsyncMessage::CreatAsyncMessage(std::uint32_t appClass, std::uint32_t commandID,
                                               std::string_view content, std::uint32_t userData) {
  Prepare(appClass, commandID, userData);
  return FSendMsg.SetMsgContext(content);
}

bool TKrLuxDataAsyncMessage::CreatAsyncMessage(std::uint32_t appClass, std::uint32_t commandID,
                                               const host::MemoryStream& content, std::uint32_t userData) {
  Prepare(appClass, commandID, userData);
  return FSendMsg.SetMsgContext(content);
}

host::TMessageProperty TKrLuxDataAsyncMessage::GetMsgProp() {
  std::lock_guard lock(FReplyLock);
  return FMsgProp;
}

host::MemoryStream TKrLuxDataAsyncMessage::GetDataStream() {
  std::lock_guard lock(FReplyLock);
  return host::MemoryStream(FDataStream.Bytes());
}

bool TKrLuxDataAsyncMessage::ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) {
  std::lock_guard lock(FReplyLock);
  FDataStream.Clear();
  FMsgProp = ARecvMsg.GetMessageProp();
  if (FMsgProp == host::mpError) {
    host::AddHQLog("PostAsyncMessage: mpError", kLogSource, host::LogSeverity::kNotice);
    return false;
  }
  if (FMsgProp == host::mpTimeout) {
    host::AddHQLog("PostAsyncMessage: mpTimeOut", kLogSource, host::LogSeverity::kNotice);
    return false;
  }
  if (!ARecvMsg.Deserialize()) {
    host::AddHQLog("PostAsyncMessage: Deserialize failed", kLogSource, host::LogSeverity::kNotice);
    return false;
  }
  const std::string_view body = ARecvMsg.MessageBody().AsStringView();
  if (body.size() < BodyOffset()) {
    host::AddHQLog("PostAsyncMessage: MessageBody.Size is invalid", kLogSource, host::LogSeverity::kNotice);
    return false;
  }
  FDataStream = host::MemoryStream(body.substr(BodyOffset()));
  return true;
}

}  // namespace kdp
