#include "kdp/qvb/qvb_aes.h"

#include <algorithm>
#include <memory>

#include <fmt/format.h>
#include <openssl/evp.h>

namespace kdp {
namespace {

const EVP_CIPHER* Cipher(std::size_t keySize, bool cbc) {
  switch (keySize) {
    case 16:
      return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24:
      return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 32:
      return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default:
      throw EAESError(fmt::format("AES key of {} bytes", keySize));
  }
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::string Run(std::string_view source, std::string_view key, const std::uint8_t* iv, bool encrypt, bool padding) {
  CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  if (!context) throw EAESError("AES context not created");
  const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
  if (EVP_CipherInit_ex(context.get(), Cipher(key.size(), iv != nullptr), nullptr, keyBytes, iv, encrypt ? 1 : 0) !=
          1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), padding ? 1 : 0) != 1) {
    throw EAESError("AES initialisation failed");
  }
  std::string out(source.size() + 16, '\0');
  int written = 0, last = 0;
  auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
  if (EVP_CipherUpdate(context.get(), outBytes, &written, reinterpret_cast<const unsigned char*>(source.data()),
                       static_cast<int>(source.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), outBytes + written, &last) != 1) {
    throw EAESError(encrypt ? "Encrypt stream error." : "Decrypt stream error.");
  }
  out.resize(static_cast<std::size_t>(written + last));
  return out;
}

std::string_view Part(std::string_view source, std::size_t count) {
  return count == 0 ? source : source.substr(0, count);
}

std::string SizedKey(std::string_view key, TKeyBit keyBit) {
  static constexpr std::size_t kSizes[] = {16, 24, 32};
  std::string sized(key.substr(0, kSizes[keyBit]));
  sized.resize(kSizes[keyBit], '\0');
  return sized;
}

TAESBlock OneBlock(const TAESBlock& in, std::string_view key, bool encrypt) {
  const std::string out =
      Run(std::string_view(reinterpret_cast<const char*>(in.data()), in.size()), key, nullptr, encrypt, false);
  TAESBlock block{};
  std::copy_n(out.begin(), block.size(), block.begin());
  return block;
}

}  // namespace

TAESBlock EncryptAES(const TAESBlock& in, std::string_view key) { return OneBlock(in, key, true); }
TAESBlock DecryptAES(const TAESBlock& in, std::string_view key) { return OneBlock(in, key, false); }

std::string EncryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key) {
  return Run(Part(source, count), key, nullptr, true, true);
}
std::string DecryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key) {
  return Run(Part(source, count), key, nullptr, false, true);
}
std::string EncryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv) {
  return Run(Part(source, count), key, iv.data(), true, true);
}
std::string DecryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv) {
  return Run(Part(source, count), key, iv.data(), false, true);
}

std::string EncryptString(std::string_view value, std::string_view key, TKeyBit keyBit) {
  return EncryptAESStreamECB(value, 0, SizedKey(key, keyBit));
}
std::string DecryptString(std::string_view value, std::string_view key, TKeyBit keyBit) {
  return DecryptAESStreamECB(value, 0, SizedKey(key, keyBit));
}

std::string StrToHex(std::string_view bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) hex += fmt::format("{:02X}", c);
  return hex;
}

std::string HexToStr(std::string_view hex) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = nibble(hex[i]), low = nibble(hex[i + 1]);
    if (high < 0 || low < 0) break;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

}  // namespace kdp
