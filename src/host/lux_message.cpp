// The Lux message header codec and the request defaults of the host's message classes.
#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"

namespace kdp::host {

void TBaseMessage::MakeEmptyRequest() {
  header_ = TLuxMessageHeader{};
  body_.Clear();
  DoMakeEmptyRequest();
}

void TBaseMessage::SerializeBody(MemoryStream& wire) {
  TStreamSerializer out(wire);
  out.WriteByte(header_.ProtocolVersion);
  out.WriteByte(header_.HeaderVersion);
  out.WriteByte(header_.MessageKind);
  out.WriteLongWord(header_.CommandWord);
  out.WriteByte(header_.Priority);
  out.WriteLongWord(static_cast<std::uint32_t>(header_.SerialNumber));
  out.WriteByte(header_.MessageProp);
  out.WriteByte(header_.Compression);
  out.WriteByte(header_.Encryption);
  out.WriteByte(header_.TimeToLive);
}

void TBaseMessage::Serialize(MemoryStream& wire) {
  wire.Clear();
  SerializeBody(wire);
  wire.Write(body_.Data(), body_.Size());
  wire.SetPosition(0);
}

bool TBaseMessage::Deserialize(std::span<const std::uint8_t> wire) {
  if (wire.size() < kLuxHeaderSize) return false;
  MemoryStream in(wire.first(kLuxHeaderSize));
  TStreamSerializer reader(in);
  TLuxMessageHeader h;
  std::uint8_t prop = 0;
  std::uint32_t serial = 0;
  reader.ReadByte(h.ProtocolVersion);
  reader.ReadByte(h.HeaderVersion);
  reader.ReadByte(h.MessageKind);
  reader.ReadLongWord(h.CommandWord);
  reader.ReadByte(h.Priority);
  reader.ReadLongWord(serial);
  reader.ReadByte(prop);
  reader.ReadByte(h.Compression);
  reader.ReadByte(h.Encryption);
  reader.ReadByte(h.TimeToLive);
  h.SerialNumber = static_cast<std::int32_t>(serial);
  h.MessageProp = prop <= mpTimeout ? static_cast<TMessageProperty>(prop) : mpError;
  header_ = h;
  body_ = MemoryStream(wire.subspan(kLuxHeaderSize));
  return true;
}

void TBaseLuxRequestMessage::DoMakeEmptyRequest() {
  TLuxMessageHeader& h = Header();
  h.ProtocolVersion = 1;
  h.HeaderVersion = 1;
  h.MessageKind = 1;
  h.Priority = 8;
  h.TimeToLive = 8;
}

TBaseLuxMessage::TBaseLuxMessage(std::vector<std::uint8_t> received, std::int32_t serial, TMessageProperty prop)
    : received_(std::move(received)) {
  SetSerialNumber(serial);
  SetMessageProp(prop);
}

bool TBaseLuxMessage::Deserialize() {
  const std::int32_t serial = GetSerialNumber();
  const TMessageProperty prop = GetMessageProp();
  if (!TBaseMessage::Deserialize(received_)) return false;
  SetSerialNumber(serial);
  SetMessageProp(prop);
  return true;
}

}  // namespace kdp::host
