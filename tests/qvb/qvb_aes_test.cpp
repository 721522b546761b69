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
  // The first two blocks alone, and one block at a time with a key expanded once.
  EXPECT_EQ(StrToHex(EncryptAESStreamCBC(kPlain, 32, kKey, iv)), cbc.substr(0, 64));
  const auto forward = ExpandAESKeyForEncryption(kKey);
  const auto backward = ExpandAESKeyForDecryption(kKey);
  for (std::size_t b = 0; b < 4; ++b) {
    SCOPED_TRACE(b);
    TAESBlock plain{}, cipher{};
    std::copy_n(kPlain.begin() + static_cast<std::ptrdiff_t>(16 * b), 16, plain.begin());
    const std::string expected = HexToStr(ecb.substr(32 * b, 32));
    std::copy_n(expected.begin(), 16, cipher.begin());
    EXPECT_EQ(EncryptAES(plain, forward), cipher);
    EXPECT_EQ(DecryptAES(cipher, backward), plain);
  }
  EXPECT_THROW(EncryptAES(TAESBlock{}, backward), EAESError);
}

// A partial final block is filled with PKCS#7 bytes and those are taken off again; a whole number of blocks
// gains nothing; a cipher text that is not whole blocks fails.
TEST(QVBAesModes, OnlyAPartialFinalBlockIsFilledAndDecryptionTakesExactlyThatOff) {
  struct Case {
    std::size_t length;  // of the NIST plain text taken
    std::size_t cipherLength;
  };
  for (const Case& c :
       {Case{0, 0}, Case{1, 16}, Case{15, 16}, Case{16, 16}, Case{17, 32}, Case{63, 64}, Case{64, 64}}) {
    SCOPED_TRACE(c.length);
    const std::string plain = kPlain.substr(0, c.length);
    const std::string cipher = EncryptAESStreamECB(plain, 0, kKey);
    EXPECT_EQ(cipher.size(), c.cipherLength);
    EXPECT_EQ(DecryptAESStreamECB(cipher, 0, kKey), plain);
    if (c.length % 16 == 0) continue;
    // The last block decrypts to the text's tail followed by 16 - n bytes of 16 - n.
    const std::size_t n = c.length % 16, full = c.length - n;
    TAESBlock last{};
    std::copy_n(cipher.begin() + static_cast<std::ptrdiff_t>(full), 16, last.begin());
    const TAESBlock filled = DecryptAES(last, kKey);
    EXPECT_EQ(std::string(filled.begin(), filled.begin() + static_cast<std::ptrdiff_t>(n)), plain.substr(full));
    for (std::size_t i = n; i < 16; ++i) EXPECT_EQ(filled[i], 16 - n) << i;
  }
  EXPECT_THROW(DecryptAESStreamECB(kPlain.substr(0, 20), 0, kKey), EAESError);
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
  }
  std::istringstream ragged(std::string(20, 'c'));
  std::ostringstream ignored;
  try {
    DecryptStream(ragged, &ignored, key, kb128);
    ADD_FAILURE() << "a partial cipher block accepted";
  } catch (const EAESError& e) {
    EXPECT_STREQ(e.what(), "Decrypt stream error.");
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
  EXPECT_THROW(EncryptFile((folder / "missing").string(), sealed, key, kb192), EAESError);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kdp
