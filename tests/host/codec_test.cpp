// The byte-level codecs at the package's edges: code page 936, the stream serializer, zlib inflation.
#include <zlib.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "kdp/host/ansi.h"
#include "kdp/host/serializer.h"
#include "kdp/host/unzip.h"

namespace kdp::host {
namespace {

TEST(AnsiTest, InvalidInputBecomesQuestionMarks) {
  // A lone lead byte at the end and an undefined byte value.
  EXPECT_EQ(AnsiToUtf8(std::string("\xD6\xD0\xD6", 3)), "中?");
  EXPECT_EQ(AnsiToUtf8(std::string("a\xFF"
                                   "b",
                                   3)),
            "a?b");
  // A character outside code page 936 and broken UTF-8.
  EXPECT_EQ(Utf8ToAnsi("x\xF0\x9F\x98\x80y"), "x?y");
  EXPECT_EQ(Utf8ToAnsi(std::string("\xC3", 1)), "?");
}

TEST(AnsiTest, Utf16RoundTripIncludesSurrogatePairs) {
  const std::u16string wide = Utf8ToUtf16("价A😀");
  ASSERT_EQ(wide.size(), 4u);  // one BMP character, one ASCII, one surrogate pair
  EXPECT_EQ(wide[0], u'价');
  EXPECT_EQ(Utf16ToUtf8(wide), "价A😀");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "?");
}

TEST(SerializerTest, ShortReadsFailAndKeepThePosition) {
  MemoryStream stream;
  TStreamSerializer out(stream);
  out.WriteLongWord(1000);  // claims 1000 bytes that are not there
  out.WriteByte('x');
  stream.SetPosition(0);
  TStreamSerializer in(stream);
  std::string text;
  EXPECT_FALSE(in.ReadAnsiString(text));
  EXPECT_EQ(stream.Position(), 0u);
  EXPECT_FALSE(in.ReadString(text));
  std::int64_t big = 0;
  EXPECT_FALSE(in.ReadInt64(big));
  std::uint32_t length = 0;
  EXPECT_TRUE(in.ReadLongWord(length));
  EXPECT_EQ(length, 1000u);
}

std::vector<std::uint8_t> Compress(const std::string& text, bool gzip) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, gzip ? 15 + 16 : 15, 8, Z_DEFAULT_STRATEGY);
  std::vector<std::uint8_t> out(compressBound(text.size()) + 32);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  zs.avail_in = static_cast<uInt>(text.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

TEST(UnzipTest, InflatesZlibAndGzipAndRejectsDamage) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "600000.SH,10.36,浦发银行;";
  for (bool gzip : {false, true}) {
    SCOPED_TRACE(gzip);
    const auto packed = Compress(text, gzip);
    MemoryStream out;
    ASSERT_TRUE(UnZipToStream(packed, out));
    EXPECT_EQ(out.AsStringView(), text);

    MemoryStream truncated_out;
    EXPECT_FALSE(UnZipToStream(std::span(packed).first(packed.size() / 2), truncated_out));
    EXPECT_EQ(truncated_out.Size(), 0u);
    MemoryStream limited;
    EXPECT_FALSE(UnZipToStream(packed, limited, 1000));
  }
  const std::uint8_t garbage[] = {1, 2, 3, 4, 5};
  MemoryStream out;
  EXPECT_FALSE(UnZipToStream(garbage, out));
}

}  // namespace
}  // namespace kdp::host
