// The request message of the Lux processors on the wire.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kdp/host/serializer.h"
#include "lux/lux_req_message.h"

namespace kdp {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Wire(host::TBaseMessage& message) {
  host::MemoryStream wire;
  message.Serialize(wire);
  return Bytes(wire.Bytes().begin(), wire.Bytes().end());
}

TEST(LuxRequestMessage, TheWireIsTheHeaderThenTheContextUnchanged) {
  TKrLuxDataReqMessage message;
  message.MakeEmptyRequest();
  message.SetCommand(1411, 6001);
  message.SetSerialNumber(0x01020304);
  message.SetMsgContext("name=x新闻");
  const Bytes expected{0x01, 0x01, 0x03,        // versions and kind
                       0x71, 0x17, 0x30, 0x58,  // 1411 << 20 | 6001 = 0x58301771
                       0x10,                    // priority 16
                       0x04, 0x03, 0x02, 0x01,  // serial number
                       0x00, 0x00, 0x00, 0x0A,  // property, compression, encryption, 10 hops
                       0x0A, 0x00, 0x00, 0x00,  // the context: 10 bytes of code page 936
                       'n',  'a',  'm',  'e',  '=', 'x', 0xD0, 0xC2, 0xCE, 0xC5};
  EXPECT_EQ(Wire(message), expected);

  // A stream context goes out as its bytes, and replaces the text context.
  host::MemoryStream stream;
  host::TStreamSerializer(stream).WriteLongWord(0xA1B2C3D4);
  stream.SetPosition(4);  // the whole content counts, not what is left after the position
  message.SetMsgContext(stream);
  const Bytes wire = Wire(message);
  ASSERT_EQ(wire.size(), host::kLuxHeaderSize + 4);
  EXPECT_EQ(Bytes(wire.begin() + host::kLuxHeaderSize, wire.end()), (Bytes{0xD4, 0xC3, 0xB2, 0xA1}));

  // Making the message empty again restores the header defaults.
  message.SetCommand(1, 1);
  message.Header().Priority = 99;
  message.MakeEmptyRequest();
  EXPECT_EQ(message.GetCommandWord(), 0u);
  EXPECT_EQ(message.Header().Priority, 16);
  EXPECT_EQ(message.Header().TimeToLive, 10);
}

}  // namespace
}  // namespace kdp
