// Little-endian scalars over plain byte buffers, for binary layouts read straight from memory (no copy
// into a MemoryStream first): ByteReader reads a span with bounds checks and remembers the first thing
// it could not read ("truncated row count at byte 17"); ByteWriter appends to a std::string.
//
// Both are plain values, used by one thread at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include <fmt/format.h>

namespace kdp::host {

static_assert(std::endian::native == std::endian::little, "the binary layouts assume a little-endian host");

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // Reads a scalar and moves past it; false (position unchanged, the failure remembered) when fewer than
  // sizeof(T) bytes are left.
  template <class T>
  requires std::is_arithmetic_v<T>
  bool Read(T& value, const char* what) {
    if (Remaining() < sizeof value) return Fail(fmt::format("truncated {}", what));
    std::memcpy(&value, bytes_.data() + position_, sizeof value);
    position_ += sizeof value;
    return true;
  }
  // `n` bytes as a view into the buffer.
  bool ReadView(std::size_t n, std::string_view& view, const char* what) {
    if (Remaining() < n) return Fail(fmt::format("truncated {}", what));
    view = {reinterpret_cast<const char*>(bytes_.data() + position_), n};
    position_ += n;
    return true;
  }
  bool Skip(std::size_t n, const char* what) {
    if (Remaining() < n) return Fail(fmt::format("truncated {}", what));
    position_ += n;
    return true;
  }

  // Remembers `why` at the current position (the first failure wins) and answers false.
  bool Fail(std::string_view why) { return FailWith(fmt::format("{} at byte {}", why, position_)); }
  // Remembers `message` as it is (the first failure wins) and answers false.
  bool FailWith(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }

  // The bytes from the position on.
  std::span<const std::uint8_t> Rest() const { return bytes_.subspan(position_); }
  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return bytes_.size() - position_; }
  const std::string& Error() const { return error_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  std::string error_;
};

class ByteWriter {
 public:
  explicit ByteWriter(std::string& out) : out_(out) {}

  template <class T>
  requires std::is_arithmetic_v<T>
  void Write(T value) {
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    out_.append(raw, sizeof value);
  }
  void WriteBytes(std::string_view bytes) { out_.append(bytes); }
  std::string& Buffer() { return out_; }

 private:
  std::string& out_;
};

}  // namespace kdp::host
