// TStreamSerializer: reads and writes the host's scalar and string encodings on a MemoryStream.
//
// Encodings (little-endian throughout):
//   Byte 1 byte; Word 2 bytes; LongWord 4 bytes; Int64 8 bytes; Double 8 bytes IEEE-754;
//   AnsiString: LongWord byte count, then the text in code page 936 (GBK);
//   String:     LongWord count of UTF-16 code units, then the text as UTF-16LE.
// Strings are UTF-8 on the package side; the serializer converts at this edge.
// A read that runs past the end returns false and leaves the position where it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kdp/host/memory_stream.h"

namespace kdp::host {

class TStreamSerializer {
 public:
  explicit TStreamSerializer(MemoryStream& stream) : stream_(stream) {}

  void WriteByte(std::uint8_t v);
  void WriteWord(std::uint16_t v);
  void WriteLongWord(std::uint32_t v);
  void WriteInt64(std::int64_t v);
  void WriteDouble(double v);
  void WriteAnsiString(std::string_view utf8);
  void WriteString(std::string_view utf8);

  bool ReadByte(std::uint8_t& v);
  bool ReadWord(std::uint16_t& v);
  bool ReadLongWord(std::uint32_t& v);
  bool ReadInt64(std::int64_t& v);
  bool ReadDouble(double& v);
  bool ReadAnsiString(std::string& utf8);
  bool ReadString(std::string& utf8);

  MemoryStream& Stream() { return stream_; }

 private:
  template <class T>
  void WriteScalar(T v);
  template <class T>
  bool ReadScalar(T& v);

  MemoryStream& stream_;
};

}  // namespace kdp::host
