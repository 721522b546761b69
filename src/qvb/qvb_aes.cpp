#include "kdp/qvb/qvb_aes.h"

#include <algorithm>
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>

#include <fmt/format.h>
#include <openssl/evp.h>

namespace kdp {
namespace {

constexpr std::size_t kBlock = 16;
constexpr std::size_t kPiece = 64 * 1024;  // stream helpers read this much at a time

const EVP_CIPHER* Cipher(std::size_t keySize, bool cbc) {
  switch (keySize) {
    case 16:
      return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24:
      return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 32:
      return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default:
      throw EAESError(ErrorKind::kInvalidArgument, fmt::format("AES key of {} bytes", keySize));
  }
}

std::shared_ptr<EVP_CIPHER_CTX> NewContext(std::string_view key, const std::uint8_t* iv, bool encrypt) {
  std::shared_ptr<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  if (!context) throw EAESError(ErrorKind::kCipher, "AES context not created");
  const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
  if (EVP_CipherInit_ex(context.get(), Cipher(key.size(), iv != nullptr), nullptr, keyBytes, iv, encrypt ? 1 : 0) !=
          1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
    throw EAESError(ErrorKind::kCipher, "AES initialisation failed");
  }
  return context;
}

// One pass of a cipher over input given in pieces, with the final-block rule of the header: whole blocks
// go through the mode as they are; a partial final block is XORed with the encryption of the last whole
// cipher block (the IV in CBC, zero bytes in ECB, when there is none), the same in both directions.
class TCipherRun {
 public:
  TCipherRun(std::string_view key, const std::uint8_t* iv, bool encrypt)
      : FContext(NewContext(key, iv, encrypt)), FKey(key), FEncrypt(encrypt) {
    if (iv != nullptr) std::copy_n(iv, kBlock, FChain.begin());
  }

  // Appends what the whole blocks of `piece` (with any bytes held from before) give to `out`.
  void Update(std::string_view piece, std::string& out) {
    FPending.append(piece);
    const std::size_t whole = FPending.size() / kBlock * kBlock;
    if (whole == 0) return;
    const std::string_view blocks(FPending.data(), whole);
    Apply(blocks, out);
    const std::string_view lastCipher =
        FEncrypt ? std::string_view(out).substr(out.size() - kBlock) : blocks.substr(whole - kBlock);
    std::copy_n(lastCipher.begin(), kBlock, FChain.begin());
    FPending.erase(0, whole);
  }

  void Finish(std::string& out) {
    if (FPending.empty()) return;
    TAESBlock mask{};
    int written = 0;
    const auto maskContext = NewContext(FKey, nullptr, true);
    if (EVP_CipherUpdate(maskContext.get(), mask.data(), &written, FChain.data(), kBlock) != 1) {
      throw EAESError(ErrorKind::kCipher, FEncrypt ? "Encrypt stream error." : "Decrypt stream error.");
    }
    for (std::size_t i = 0; i < FPending.size(); ++i) out += static_cast<char>(FPending[i] ^ mask[i]);
    FPending.clear();
  }

 private:
  void Apply(std::string_view in, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + in.size() + kBlock);
    int written = 0;
    if (EVP_CipherUpdate(FContext.get(), reinterpret_cast<unsigned char*>(out.data() + at), &written,
                         reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size())) != 1) {
      throw EAESError(ErrorKind::kCipher, FEncrypt ? "Encrypt stream error." : "Decrypt stream error.");
    }
    out.resize(at + static_cast<std::size_t>(written));
  }

  std::shared_ptr<EVP_CIPHER_CTX> FContext;
  std::string FKey;
  bool FEncrypt;
  TAESBlock FChain{};    // the last whole cipher block (the IV, or zeros, before the first)
  std::string FPending;  // input bytes short of a whole block
};

std::string Run(std::string_view source, std::string_view key, const std::uint8_t* iv, bool encrypt) {
  TCipherRun run(key, iv, encrypt);
  std::string out;
  run.Update(source, out);
  run.Finish(out);
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

TAESBlock OneBlock(const TAESBlock& in, const TAESExpandedKey& key, bool encrypt) {
  if (key.ForEncryption() != encrypt)
    throw EAESError(ErrorKind::kInvalidArgument, "AES key expanded for the other direction");
  TAESBlock out{};
  int written = 0;
  if (EVP_CipherUpdate(key.Context(), out.data(), &written, in.data(), static_cast<int>(in.size())) != 1 ||
      written != static_cast<int>(out.size())) {
    throw EAESError(ErrorKind::kCipher, "AES block failed");
  }
  return out;
}

void RunStream(std::istream& source, std::ostream* dest, std::string_view key, TKeyBit keyBit, bool encrypt) {
  if (!dest) throw EAESError(ErrorKind::kInvalidArgument, "Dest stream not created.");
  TCipherRun run(SizedKey(key, keyBit), nullptr, encrypt);
  std::string piece(kPiece, '\0'), out;
  while (source) {
    source.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    run.Update(std::string_view(piece).substr(0, static_cast<std::size_t>(source.gcount())), out);
    dest->write(out.data(), static_cast<std::streamsize>(out.size()));
    out.clear();
  }
  if (source.bad()) throw EAESError(ErrorKind::kCipher, encrypt ? "Encrypt stream error." : "Decrypt stream error.");
  run.Finish(out);
  dest->write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!*dest) throw EAESError(ErrorKind::kCipher, encrypt ? "Encrypt stream error." : "Decrypt stream error.");
}

void RunFile(const std::string& sourcePath, const std::string& destPath, std::string_view key, TKeyBit keyBit,
             bool encrypt) {
  std::ifstream source(sourcePath, std::ios::binary);
  if (!source) throw EAESError(ErrorKind::kCipher, "Cannot open " + sourcePath);
  std::ofstream dest(destPath, std::ios::binary | std::ios::trunc);
  if (!dest) throw EAESError(ErrorKind::kCipher, "Cannot create " + destPath);
  RunStream(source, &dest, key, keyBit, encrypt);
}

}  // namespace

TAESExpandedKey ExpandAESKey(std::string_view key, bool encrypt) {
  return TAESExpandedKey(NewContext(key, nullptr, encrypt), encrypt);
}

TAESBlock EncryptAES(const TAESBlock& in, const TAESExpandedKey& key) { return OneBlock(in, key, true); }
TAESBlock DecryptAES(const TAESBlock& in, const TAESExpandedKey& key) { return OneBlock(in, key, false); }

std::string EncryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key) {
  return Run(Part(source, count), key, nullptr, true);
}
std::string DecryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key) {
  return Run(Part(source, count), key, nullptr, false);
}
std::string EncryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv) {
  return Run(Part(source, count), key, iv.data(), true);
}
std::string DecryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv) {
  return Run(Part(source, count), key, iv.data(), false);
}

std::string EncryptString(std::string_view value, std::string_view key, TKeyBit keyBit) {
  return EncryptAESStreamECB(value, 0, SizedKey(key, keyBit));
}
std::string DecryptString(std::string_view value, std::string_view key, TKeyBit keyBit) {
  return DecryptAESStreamECB(value, 0, SizedKey(key, keyBit));
}

void EncryptStream(std::istream& source, std::ostream* dest, std::string_view key, TKeyBit keyBit) {
  RunStream(source, dest, key, keyBit, true);
}
void DecryptStream(std::istream& source, std::ostream* dest, std::string_view key, TKeyBit keyBit) {
  RunStream(source, dest, key, keyBit, false);
}

void EncryptFile(const std::string& sourcePath, const std::string& destPath, std::string_view key, TKeyBit keyBit) {
  RunFile(sourcePath, destPath, key, keyBit, true);
}
void DecryptFile(const std::string& sourcePath, const std::string& destPath, std::string_view key, TKeyBit keyBit) {
  RunFile(sourcePath, destPath, key, keyBit, false);
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
