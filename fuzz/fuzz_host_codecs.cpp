// Serialized bodies, compressed replies and code-page text arriving from servers.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "kdp/host/ansi.h"
#include "kdp/host/serializer.h"
#include "kdp/host/unzip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  kdp::host::MemoryStream stream(bytes);
  kdp::host::TStreamSerializer in(stream);
  std::string text;
  std::uint8_t b;
  std::uint32_t lw;
  double d;
  // Read a mix of fields until the body runs out; every read either succeeds or stops cleanly.
  while (in.ReadByte(b)) {
    switch (b % 4) {
      case 0:
        if (!in.ReadAnsiString(text)) return 0;
        break;
      case 1:
        if (!in.ReadString(text)) return 0;
        break;
      case 2:
        if (!in.ReadLongWord(lw)) return 0;
        break;
      default:
        if (!in.ReadDouble(d)) return 0;
        break;
    }
  }
  kdp::host::MemoryStream inflated;
  kdp::host::UnZipToStream(bytes, inflated, 1 << 20);
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const std::string utf8 = kdp::host::AnsiToUtf8(raw);
  kdp::host::Utf8ToAnsi(utf8);
  kdp::host::Utf16ToUtf8(kdp::host::Utf8ToUtf16(raw));
  return 0;
}
