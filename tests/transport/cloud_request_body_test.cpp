// The byte layout of the "B1" cloud report request body, worked out by hand.
#include "transport/cloud_request_body.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kdp {
namespace {

std::vector<std::uint8_t> Bytes(const host::MemoryStream& stream) {
  return {stream.Bytes().begin(), stream.Bytes().end()};
}

TEST(CloudRequestBodyTest, B1BodyLayoutAndByteOrders) {
  // "中文" is D6 D0 CE C4 in code page 936.
  const host::MemoryStream body = MakeB1RequestBody("KDP", 0x01020304, "中文", "report x");
  const std::vector<std::uint8_t> expected = {
      0x00, 0x00, 0x00, 0x2B,                          // 43 bytes follow, big-endian
      0x03, 0x00, 0x00, 0x00, 'K',  'D',  'P',         // context text
      0x04, 0x03, 0x02, 0x01,                          // context number, little-endian
      0x04, 0x00, 0x00, 0x00, 0xD6, 0xD0, 0xCE, 0xC4,  // extra text: its ANSI length, not its UTF-8 one
      0x01, 0x00, 0x00, 0x00,                          // 1
      0x03,                                            // the request format
      0x01, 0x01,                                      //
      0x0D, 0x00, 0x00, 0x00,                          // command length + 5
      0x01,                                            //
      0x08, 0x00, 0x00, 0x00, 'r',  'e',  'p',  'o',  'r', 't', ' ', 'x'};
  EXPECT_EQ(Bytes(body), expected);
  EXPECT_EQ(body.Position(), 0u);

  // Lengths past one byte: the total is big-endian, the command's lengths little-endian.
  const std::vector<std::uint8_t> bytes = Bytes(MakeB1RequestBody("", 0, "", std::string(300, 'a')));
  ASSERT_EQ(bytes.size(), 4u + 328u);
  // 4 + 4 + 4 + 4 + 1 + 2 + 4 + 1 + 4 + 300 = 328 bytes follow the total: 0x148.
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4), (std::vector<std::uint8_t>{0, 0, 1, 0x48}));
  // 305 = 0x131 at offset 4 + 19, then the byte 1, then 300 = 0x12C.
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 23, bytes.begin() + 32),
            (std::vector<std::uint8_t>{0x31, 0x01, 0, 0, 0x01, 0x2C, 0x01, 0, 0}));
  EXPECT_EQ(bytes.back(), 'a');
}

}  // namespace
}  // namespace kdp
