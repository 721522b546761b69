// TKrLuxDataReqMessage: the request message of the Lux processors. It carries a processor's request
// body (the message context) to the host's Lux client behind the host's request header.
//
// An empty request of this kind has the header 1, 1, 3 (protocol and header version, kind), command word
// 0, priority 16, no compression or encryption and 10 hops. A text context travels as the host
// serializer's AnsiString (LongWord byte count, then the text in code page 936); a stream context as its
// bytes. On the wire: the header, then the context unchanged.
//
// Built and sent on the main thread; owned by whoever built it.
#pragma once

#include <cstdint>
#include <string_view>

#include "kdp/host/lux.h"
#include "kdp/host/memory_stream.h"
#include "kdp/host/serializer.h"

namespace kdp {

// The application class and command ID of the news, sector-tree and dealer-dictionary requests.
inline constexpr std::uint32_t kLuxNewsAppClass = 1411;
inline constexpr std::uint32_t kLuxNewsCommandID = 6001;

class TKrLuxDataReqMessage final : public host::TBaseLuxRequestMessage {
 public:
  TKrLuxDataReqMessage() : FSerializer(FSerializerStream) {}
  TKrLuxDataReqMessage(const TKrLuxDataReqMessage&) = delete;
  TKrLuxDataReqMessage& operator=(const TKrLuxDataReqMessage&) = delete;

  // The package's header defaults (see above).
  void MakeEmptySubscribeRequest();
  // The command word: application class × 2^20 + command ID.
  void SetCommand(std::uint32_t appClass, std::uint32_t commandID) {
    SetCommandWord(host::MakeLuxCommandWord(appClass, commandID));
  }
  bool SetMsgContext(std::string_view text);
  bool SetMsgContext(const host::MemoryStream& stream);
  const host::MemoryStream& GetMsgContext() const { return FNewsStream; }

 protected:
  void DoMakeEmptyRequest() override;
  void SerializeBody(host::MemoryStream& wire) override;

 private:
  host::MemoryStream FNewsStream;
  host::MemoryStream FSerializerStream;
  host::TStreamSerializer FSerializer;
};

}  // namespace kdp
