// AES (FIPS-197) on OpenSSL EVP, with 128-, 192- and 256-bit keys: one block, whole buffers in ECB and
// CBC mode, and the string helpers the terminal uses. The buffer helpers pad the final partial block as
// PKCS#7 does (a whole final block gains a block of padding), so any length encrypts and decrypts back;
// a cipher text that does not unpad fails. Nothing in the package calls these; they are offered to the
// terminal. Failures throw EAESError.
//
// Stateless: any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "kdp/error.h"

namespace kdp {

class EAESError : public Error {
 public:
  explicit EAESError(const std::string& message) : Error(ErrorKind::kInvalidArgument, message) {}
};

enum TKeyBit { kb128, kb192, kb256 };

using TAESBlock = std::array<std::uint8_t, 16>;

// One block with a key of 16, 24 or 32 bytes (the key size follows the key's length).
TAESBlock EncryptAES(const TAESBlock& in, std::string_view key);
TAESBlock DecryptAES(const TAESBlock& in, std::string_view key);

// Whole buffers; `count` bytes of `source` (0 for all of it).
std::string EncryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key);
std::string DecryptAESStreamECB(std::string_view source, std::size_t count, std::string_view key);
std::string EncryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv);
std::string DecryptAESStreamCBC(std::string_view source, std::size_t count, std::string_view key, const TAESBlock& iv);

// ECB with a key text cut to 16, 24 or 32 bytes and filled up with zero bytes; the cipher text is raw
// bytes.
std::string EncryptString(std::string_view value, std::string_view key, TKeyBit keyBit);
std::string DecryptString(std::string_view value, std::string_view key, TKeyBit keyBit);

// Upper-case hexadecimal text of bytes, and back; HexToStr stops at the first pair that is not hexadecimal.
std::string StrToHex(std::string_view bytes);
std::string HexToStr(std::string_view hex);

}  // namespace kdp
