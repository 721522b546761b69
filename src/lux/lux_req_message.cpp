#include "lux/lux_req_message.h"

namespace kdp {

void TKrLuxDataReqMessage::MakeEmptySubscribeRequest() {
  host::TLuxMessageHeader& h = Header();
  h.ProtocolVersion = 1;
  h.HeaderVersion = 1;
  h.MessageKind = 3;
  h.CommandWord = 0;
  h.Priority = 16;
  h.Compression = 0;
  h.Encryption = 0;
  h.TimeToLive = 10;
}

void TKrLuxDataReqMessage::DoMakeEmptyRequest() {
  host::TBaseLuxRequestMessage::DoMakeEmptyRequest();
  MakeEmptySubscribeRequest();
}

bool TKrLuxDataReqMessage::SetMsgContext(std::string_view text) {
  FSerializerStream.Clear();
  FSerializer.WriteAnsiString(text);
  FNewsStream = FSerializerStream;
  FNewsStream.SetPosition(0);
  return true;
}

bool TKrLuxDataReqMessage::SetMsgContext(const host::MemoryStream& stream) {
  FNewsStream = host::MemoryStream(stream.Bytes());
  return true;
}

void TKrLuxDataReqMessage::SerializeBody(host::MemoryStream& wire) {
  host::TBaseLuxRequestMessage::SerializeBody(wire);
  MessageBody() = host::MemoryStream(FNewsStream.Bytes());
}

}  // namespace kdp
