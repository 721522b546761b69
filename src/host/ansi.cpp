// Code-page conversion through glibc iconv. One converter per direction and thread, opened on first use.
#include "kdp/host/ansi.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace kdp::host {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // How many input bytes a character that cannot be converted occupies at `p`.
  using SkipLength = std::size_t (*)(const char* p, std::size_t available);

  // Converts `in`; each input character that is invalid or has no equivalent in the target becomes
  // `replacement`.
  std::string Run(std::string_view in, std::string_view replacement, SkipLength skip_length) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    std::size_t produced = 0;
    while (src_left > 0) {
      char* dst = out.data() + produced;
      std::size_t dst_left = out.size() - produced;
      const std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      produced = out.size() - dst_left;
      if (rc != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else {  // EILSEQ or EINVAL: replace one unit and go on
        out.replace(produced, replacement.size(), replacement);
        produced += replacement.size();
        if (out.size() < produced + 16) out.resize(produced * 2 + 16);
        const std::size_t skip = std::min(skip_length(src, src_left), src_left);
        src += skip;
        src_left -= skip;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    out.resize(produced);
    return out;
  }

 private:
  iconv_t cd_;
};

std::size_t OneByte(const char*, std::size_t) { return 1; }
std::size_t OneUtf16Unit(const char*, std::size_t) { return 2; }

// A whole UTF-8 sequence when it is well formed (a character the target lacks), else one byte.
std::size_t Utf8Sequence(const char* p, std::size_t available) {
  const auto lead = static_cast<unsigned char>(p[0]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 1;
  if (length > available) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

Converter& GbkToUtf8() {
  thread_local Converter c("UTF-8", "CP936");
  return c;
}
Converter& Utf8ToGbk() {
  thread_local Converter c("CP936", "UTF-8");
  return c;
}
Converter& Utf8ToUtf16Le() {
  thread_local Converter c("UTF-16LE", "UTF-8");
  return c;
}
Converter& Utf16LeToUtf8() {
  thread_local Converter c("UTF-8", "UTF-16LE");
  return c;
}

}  // namespace

std::string AnsiToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  return GbkToUtf8().Run(gbk, "?", OneByte);
}

std::string Utf8ToAnsi(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Utf8ToGbk().Run(utf8, "?", Utf8Sequence);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  if (IsAscii(utf8)) {
    out.assign(utf8.begin(), utf8.end());
    return out;
  }
  static constexpr char kQuestionMarkLe[] = {'?', '\0'};
  const std::string bytes = Utf8ToUtf16Le().Run(utf8, std::string_view(kQuestionMarkLe, 2), Utf8Sequence);
  out.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string bytes(utf16.size() * 2, '\0');
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    bytes[2 * i] = static_cast<char>(utf16[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(utf16[i] >> 8);
  }
  return Utf16LeToUtf8().Run(bytes, "?", OneUtf16Unit);
}

}  // namespace kdp::host
