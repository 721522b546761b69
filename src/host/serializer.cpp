#include "kdp/host/serializer.h"

#include <bit>
#include <cstring>

#include "kdp/host/ansi.h"

namespace kdp::host {

static_assert(std::endian::native == std::endian::little, "the wire encodings assume a little-endian host");

template <class T>
void TStreamSerializer::WriteScalar(T v) {
  stream_.Write(&v, sizeof v);
}

template <class T>
bool TStreamSerializer::ReadScalar(T& v) {
  if (stream_.Remaining() < sizeof v) return false;
  stream_.Read(&v, sizeof v);
  return true;
}

void TStreamSerializer::WriteByte(std::uint8_t v) { WriteScalar(v); }
void TStreamSerializer::WriteWord(std::uint16_t v) { WriteScalar(v); }
void TStreamSerializer::WriteLongWord(std::uint32_t v) { WriteScalar(v); }
void TStreamSerializer::WriteInt64(std::int64_t v) { WriteScalar(v); }
void TStreamSerializer::WriteDouble(double v) { WriteScalar(v); }

void TStreamSerializer::WriteAnsiString(std::string_view utf8) {
  const std::string ansi = Utf8ToAnsi(utf8);
  WriteLongWord(static_cast<std::uint32_t>(ansi.size()));
  stream_.Write(ansi.data(), ansi.size());
}

void TStreamSerializer::WriteString(std::string_view utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  WriteLongWord(static_cast<std::uint32_t>(wide.size()));
  for (char16_t unit : wide) WriteScalar(static_cast<std::uint16_t>(unit));
}

bool TStreamSerializer::ReadByte(std::uint8_t& v) { return ReadScalar(v); }
bool TStreamSerializer::ReadWord(std::uint16_t& v) { return ReadScalar(v); }
bool TStreamSerializer::ReadLongWord(std::uint32_t& v) { return ReadScalar(v); }
bool TStreamSerializer::ReadInt64(std::int64_t& v) { return ReadScalar(v); }
bool TStreamSerializer::ReadDouble(double& v) { return ReadScalar(v); }

bool TStreamSerializer::ReadAnsiString(std::string& utf8) {
  const std::size_t start = stream_.Position();
  std::uint32_t length = 0;
  if (!ReadLongWord(length) || stream_.Remaining() < length) {
    stream_.SetPosition(start);
    return false;
  }
  std::string ansi(length, '\0');
  stream_.Read(ansi.data(), length);
  utf8 = AnsiToUtf8(ansi);
  return true;
}

bool TStreamSerializer::ReadString(std::string& utf8) {
  const std::size_t start = stream_.Position();
  std::uint32_t units = 0;
  if (!ReadLongWord(units) || stream_.Remaining() / 2 < units) {
    stream_.SetPosition(start);
    return false;
  }
  std::u16string wide(units, u'\0');
  for (auto& unit : wide) {
    std::uint16_t v = 0;
    ReadScalar(v);
    unit = static_cast<char16_t>(v);
  }
  utf8 = Utf16ToUtf8(wide);
  return true;
}

}  // namespace kdp::host
