// The host's Lux message: header layout and decoding, the pushed-record codec, and the string hash.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "kdp/host/str_hash.h"

namespace kdp::host {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Wire(TBaseMessage& message) {
  MemoryStream wire;
  message.Serialize(wire);
  return Bytes(wire.Bytes().begin(), wire.Bytes().end());
}

TEST(LuxMessage, AnEmptyRequestHasTheHostDefaultsAndTheDocumentedLayout) {
  TBaseLuxRequestMessage request;
  request.SetCommandWord(7);
  request.MessageBody().Write("old", 3);
  request.MakeEmptyRequest();
  request.SetSerialNumber(-2);
  request.MessageBody().Write("hi", 2);
  EXPECT_EQ(Wire(request), (Bytes{0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x08, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                                  0x00, 0x08, 'h', 'i'}));
}

TEST(LuxMessage, CommandWordsPutTheClassInTheTopTwelveBits) {
  EXPECT_EQ(MakeLuxCommandWord(1411, 6001), 0x58301771u);
  EXPECT_EQ(MakeLuxCommandWord(1403, 6405), 0x57B01905u);
  EXPECT_EQ(MakeLuxCommandWord(4095, 0xFFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(MakeLuxCommandWord(1, 0), 0x00100000u);
}

TEST(LuxMessage, DeserializeReadsHeaderAndBodyAndKeepsWhatTheClientSet) {
  TBaseMessage reply;
  reply.Header().MessageKind = 2;
  reply.SetCommandWord(MakeLuxCommandWord(1411, 6001));
  reply.SetSerialNumber(77);
  reply.MessageBody().Write("body", 4);
  const Bytes wire = Wire(reply);

  TBaseLuxMessage received(wire, 78, mpTimeout);
  ASSERT_TRUE(received.Deserialize());
  EXPECT_EQ(received.Header().MessageKind, 2);
  EXPECT_EQ(received.GetCommandWord(), 0x58301771u);
  EXPECT_EQ(received.GetSerialNumber(), 78);  // the client's bookkeeping wins
  EXPECT_EQ(received.GetMessageProp(), mpTimeout);
  EXPECT_EQ(received.MessageBody().AsStringView(), "body");

  // Fewer bytes than a header: nothing is read.
  TBaseLuxMessage cut(Bytes(wire.begin(), wire.begin() + 15), 5, mpNormal);
  EXPECT_FALSE(cut.Deserialize());
  EXPECT_EQ(cut.MessageBody().Size(), 0u);
  TBaseLuxMessage headerOnly(Bytes(wire.begin(), wire.begin() + 16), 5, mpNormal);
  ASSERT_TRUE(headerOnly.Deserialize());
  EXPECT_EQ(headerOnly.MessageBody().Size(), 0u);
}

TEST(LuxPublishRecord, RoundTripsAndRefusesWhatDoesNotAddUp) {
  const std::vector<TLuxIndicator> indicators{
      {2001, {"N1"}}, {2002, {"600000.SH", "000001.SZ"}}, {2007, {"标题"}}, {2011, {}}};
  MemoryStream record;
  EncodeLuxPublishRecord(indicators, record);
  record.SetPosition(0);
  std::vector<TLuxIndicator> decoded;
  ASSERT_TRUE(DecodeLuxPublishRecord(record, decoded));
  EXPECT_EQ(decoded, indicators);

  const Bytes bytes(record.Bytes().begin(), record.Bytes().end());
  auto decodes = [](Bytes b) {
    MemoryStream s(b);
    std::vector<TLuxIndicator> out{{1, {"stale"}}};
    const bool ok = DecodeLuxPublishRecord(s, out);
    EXPECT_TRUE(ok || out.empty());
    return ok;
  };
  EXPECT_TRUE(decodes(bytes));
  EXPECT_FALSE(decodes(Bytes(bytes.begin(), bytes.end() - 1)));  // a value cut short
  Bytes trailing = bytes;
  trailing.push_back(0);
  EXPECT_FALSE(decodes(trailing));  // bytes after the last indicator
  Bytes huge = bytes;
  huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;  // four billion indicators in a few bytes
  EXPECT_FALSE(decodes(huge));
  EXPECT_FALSE(decodes(Bytes{1, 0}));
  EXPECT_TRUE(decodes(Bytes{0, 0, 0, 0}));  // an empty record is a record
}

TEST(StrHash, IsFnv1aOverUtf16LittleEndianUnits) {
  EXPECT_EQ(StrHash(""), 2166136261u);
  EXPECT_EQ(StrHash("A"), 1792377636u);  // bytes 41 00
  EXPECT_EQ(StrHash("ab"), 2174188438u);
  // Codes that differ in one digit, which spread poorly under the table hash, differ here.
  EXPECT_NE(StrHash("600000.SH"), StrHash("600001.SH"));
}

}  // namespace
}  // namespace kdp::host
