// AES (FIPS-197) on OpenSSL EVP, with 128-, 192- and 256-bit keys: keys expanded once for one direction,
// one block, whole buffers in ECB and CBC mode, and the string, stream and file helpers the terminal uses.
//
// Final block: a whole number of blocks is encrypted as it is (no block is added), and a partial final
// block of n bytes is XORed with the first n bytes of the encryption of the last whole cipher block (the
// IV in CBC, or zero bytes in ECB, when there is none), so the cipher text is exactly as long as the plain
// text and decryption, doing the same, gives back exactly what was encrypted, whatever the length or the
// last bytes. Nothing in the package calls these; they are offered to the terminal. Failures throw
// EAESError.
//
// Stateless functions: any thread. An expanded key is one cipher context: one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "kdp/error.h"

struct evp_cipher_ctx_st;

namespace kdp {

// kInvalidArgument for a call that breaks the contract (a key of another size, a key expanded for the other
// direction, no destination stream); kCipher when the cipher or a stream fails.
class EAESError : public Error {
 public:
  EAESError(ErrorKind kind, const std::string& message) : Error(kind, message) {}
};

enum TKeyBit { kb128, kb192, kb256 };

using TAESBlock = std::array<std::uint8_t, 16>;

// A key of 16, 24 or 32 bytes (the key size follows its length) expanded for one direction.
class TAESExpandedKey {
 public:
  bool ForEncryption() const { return FEncrypt; }
  evp_cipher_ctx_st* Context() const { return FContext.get(); }

 private:
  friend TAESExpandedKey ExpandAESKey(std::string_view key, bool encrypt);
  TAESExpandedKey(std::shared_ptr<evp_cipher_ctx_st> context, bool encrypt)
      : FContext(std::move(context)), FEncrypt(encrypt) {}

  std::shared_ptr<evp_cipher_ctx_st> FContext;
  bool FEncrypt;
};

TAESExpandedKey ExpandAESKey(std::string_view key, bool encrypt);
inline TAESExpandedKey ExpandAESKeyForEncryption(std::string_view key) { return ExpandAESKey(key, true); }
inline TAESExpandedKey ExpandAESKeyForDecryption(std::string_view key) { return ExpandAESKey(key, false); }

// One block; the key must be expanded for that direction.
TAESBlock EncryptAES(const TAESBlock& in, const TAESExpandedKey& key);
TAESBlock DecryptAES(const TAESBlock& in, const TAESExpandedKey& key);
inline TAESBlock EncryptAES(const TAESBlock& in, std::string_view key) {
  return EncryptAES(in, ExpandAESKeyForEncryption(key));
}
inline TAESBlock DecryptAES(const TAESBlock& in, std::string_view key) {
  return DecryptAES(in, ExpandAESKeyForDecryption(key));
}

// Whole buffers; `count` bytes of `source` (0 for all of it).
std::string EncryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key);
std::string DecryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key);
std::string EncryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv);
std::string DecryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv);

// ECB with a key text cut to 16, 24 or 32 bytes and filled up with zero bytes; the cipher text is raw
// bytes.
std::string EncryptString(std::string_view value, std::string_view key, TKeyBit keyBit);
std::string DecryptString(std::string_view value, std::string_view key, TKeyBit keyBit);

// The same from the source's position to its end, written to `dest` piece by piece (memory stays bounded
// whatever the length). A null `dest` throws "Dest stream not created."; a failure "Encrypt stream
// error." or "Decrypt stream error." (part of the output may have been written).
void EncryptStream(std::istream& source, std::ostream* dest, std::string_view key, TKeyBit keyBit);
void DecryptStream(std::istream& source, std::ostream* dest, std::string_view key, TKeyBit keyBit);
// The same from file to file (the destination is created or replaced); a file that cannot be opened
// throws, naming it.
void EncryptFile(const std::string& sourcePath, const std::string& destPath, std::string_view key, TKeyBit keyBit);
void DecryptFile(const std::string& sourcePath, const std::string& destPath, std::string_view key, TKeyBit keyBit);

// Upper-case hexadecimal text of bytes, and back; HexToStr stops at the first pair that is not hexadecimal.
std::string StrToHex(std::string_view bytes);
std::string HexToStr(std::string_view hex);

}  // namespace kdp
