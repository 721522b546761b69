// AES block modes against the NIST SP 800-38A examples (ECB-AES128, CBC-AES128), the final-block rule, and
// the stream and file helpers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "kdp/qvb/qvb_aes.h"

namespace kdp {
namespace {

const std::string kKey = HexToStr("2b7e151628aed2a6abf7158809cf4f3c");
const std::string kPlain = HexToStr(
    "6bc1bee22e409f96e93d7e117393172a"
    "ae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52ef"
    "f69f2445df4f9b17ad2b417be66c3710");

TEST(QVBAesModes, NistExamplesComeOutByteForByteBothWays) {
  TAESBlock iv{};
  for (std::uint8_t i = 0; i < 16; ++i) iv[i] = i;  // 000102...0f
  const std::string ecb =
      "3AD77BB40D7A3660A89ECAF32466EF97"
      "F5D3D58503B9699DE785895A96FDBAAF"
      "43B1CD7F598ECE23881B00E3ED030688"
      "7B0C785E27E8AD3F8223207104725DD4";
  const std::string cbc =
      "7649ABAC8119B246CEE98E9B12E9197D"
      "5086CB9B507219EE95DB113A917678B2"
      "73BED6B8E3C1743B7116E69E22229516"
      "3FF1CAA1681FAC09120ECA307586E1A7";
  EXPECT_EQ(StrToHex(EncryptAESStreamECB(kPlain, 0, kKey)), ecb);
  EXPECT_EQ(DecryptAESStreamECB(HexToStr(ecb), 0, kKey), kPlain);
  EXPECT_EQ(StrToHex(EncryptAESStreamCBC(kPlain, 0, kKey, iv)), cbc);
  EXPECT_EQ(DecryptAESStreamCBC(HexToStr(cbc), 0, kKey, iv), kPlain);
  // The first two blocks alone; a key expanded for decryption does not encrypt.
  EXPECT_EQ(StrToHex(EncryptAESStreamCBC(kPlain, 32, kKey, iv)), cbc.substr(0, 64));
  EXPECT_THROW(EncryptAES(TAESBlock{}, ExpandAESKeyForDecryption(kKey)), EAESError);
}

// A cipher text is as long as its plain text: whole blocks go through the mode, and a partial final block
// is XORed with the encryption of the last whole cipher block (the IV in CBC, zeros in ECB when there is
// none), worked out here block by block. Decryption gives back every length exactly, also a whole-block
// text that ends like PKCS#7 padding.
TEST(QVBAesModes, APartialFinalBlockKeepsItsLengthAndEveryTextComesBackExactly) {
  TAESBlock iv{};
  for (std::uint8_t i = 0; i < 16; ++i) iv[i] = static_cast<std::uint8_t>(0xF0 + i);
  const auto forward = ExpandAESKeyForEncryption(kKey);
  const auto block = [&](std::string_view bytes) {
    TAESBlock in{};
    std::copy_n(bytes.begin(), 16, in.begin());
    return EncryptAES(in, forward);
  };
  for (const std::size_t length : {0, 1, 15, 16, 17, 31, 33, 63, 64}) {
    SCOPED_TRACE(length);
    const std::string plain = kPlain.substr(0, length);
    const std::size_t full = length / 16 * 16;
    for (const bool cbc : {false, true}) {
      SCOPED_TRACE(cbc ? "CBC" : "ECB");
      const std::string cipher = cbc ? EncryptAESStreamCBC(plain, 0, kKey, iv) : EncryptAESStreamECB(plain, 0, kKey);
      ASSERT_EQ(cipher.size(), length);
      EXPECT_EQ(cbc ? DecryptAESStreamCBC(cipher, 0, kKey, iv) : DecryptAESStreamECB(cipher, 0, kKey), plain);
      if (full == length) continue;
      std::string chain = full > 0 ? cipher.substr(full - 16, 16) : std::string(16, '\0');
      if (full == 0 && cbc) chain.assign(iv.begin(), iv.end());
      const TAESBlock mask = block(chain);
      for (std::size_t i = full; i < length; ++i) {
        EXPECT_EQ(static_cast<std::uint8_t>(cipher[i]), static_cast<std::uint8_t>(plain[i]) ^ mask[i - full]) << i;
      }
    }
  }
  // Two blocks whose text ends in what would read as PKCS#7 padding: nothing is taken off.
  const std::string paddedLooking = kPlain.substr(0, 28) + std::string(4, '\x04');
  EXPECT_EQ(DecryptAESStreamECB(EncryptAESStreamECB(paddedLooking, 0, kKey), 0, kKey), paddedLooking);
}

TEST(QVBAesModes, StreamAndFileHelpersMatchTheStringHelper) {
  // Longer than one piece the stream helpers read at a time, ending in a partial block.
  std::string plain;
  for (int i = 0; plain.size() < 200'000; ++i) plain += "宏观数据 " + std::to_string(i) + "\n";
  plain += "x";
  ASSERT_NE(plain.size() % 16, 0u);
  const std::string key = "a key of any length";
  std::istringstream source(plain);
  std::ostringstream cipher;
  EncryptStream(source, &cipher, key, kb256);
  EXPECT_EQ(cipher.str(), EncryptString(plain, key, kb256));
  std::istringstream back(cipher.str());
  std::ostringstream clear;
  DecryptStream(back, &clear, key, kb256);
  EXPECT_EQ(clear.str(), plain);

  std::istringstream any("x");
  try {
    EncryptStream(any, nullptr, key, kb128);
    ADD_FAILURE() << "no destination accepted";
  } catch (const EAESError& e) {
    EXPECT_STREQ(e.what(), "Dest stream not created.");
    EXPECT_EQ(e.kind(), ErrorKind::kInvalidArgument);  // the caller's fault
  }
  const auto folder = std::filesystem::path(::testing::TempDir()) / "qvb_aes_files";
  std::filesystem::create_directories(folder);
  const std::string original = (folder / "plain.txt").string(), sealed = (folder / "plain.aes").string(),
                    opened = (folder / "opened.txt").string();
  std::ofstream(original, std::ios::binary) << plain;
  EncryptFile(original, sealed, key, kb192);
  DecryptFile(sealed, opened, key, kb192);
  const auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read(sealed), EncryptString(plain, key, kb192));
  EXPECT_EQ(read(opened), plain);
  try {
    EncryptFile((folder / "missing").string(), sealed, key, kb192);
    ADD_FAILURE() << "a missing file encrypted";
  } catch (const EAESError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::kCipher);  // no contract broken: the file is not there
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kdp
