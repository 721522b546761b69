// MemoryStream: a growable byte buffer with a read/write position, the unit in which message bodies,
// replies and serialized records travel between the host and the package. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace kdp::host {

class MemoryStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::span<const std::uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}
  explicit MemoryStream(std::string_view bytes) : bytes_(bytes.begin(), bytes.end()) {}

  // Writes at the position, growing the buffer as needed, and advances the position.
  void Write(const void* data, std::size_t n) {
    if (n == 0) return;
    if (position_ + n > bytes_.size()) bytes_.resize(position_ + n);
    std::memcpy(bytes_.data() + position_, data, n);
    position_ += n;
  }
  // Reads up to n bytes from the position; returns how many were read.
  std::size_t Read(void* data, std::size_t n) {
    const std::size_t available = Remaining();
    if (n > available) n = available;
    if (n != 0) std::memcpy(data, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }

  std::size_t Size() const { return bytes_.size(); }
  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return position_ < bytes_.size() ? bytes_.size() - position_ : 0; }
  void SetPosition(std::size_t position) { position_ = position; }
  void Clear() {
    bytes_.clear();
    position_ = 0;
  }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  std::string_view AsStringView() const { return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace kdp::host
