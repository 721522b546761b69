// TAnswersByCode: the security manager's kept answers by code, the code exactly as asked (case counts).
//
// GetSecurityInfo looks the code up here on every call, so this look-up is most of what a code seen before
// costs. The table is open addressing: slots of (the code's hash, the code, the answer), one cache line
// each, probed linearly and at most half full, so a look-up usually reads one line besides the answer.
// The hash is made for short codes, two multiplications done side by side, inline, where std::hash is a
// library call. Nothing is ever erased one by one (answers are replaced, or all forgotten at once), so the
// table needs no tombstones. A kept code costs 128 to 256 bytes of slots; the manager bounds their number.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kdp {

class TKrHQStockTypeInfoImpl;

namespace short_text {

inline std::uint64_t Load64(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

inline std::uint64_t Load32(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace short_text

// A 64-bit hash of a short text whose high bits are the well-mixed ones (a table takes its slot from
// them). A text of 8 to 16 bytes, a security code, is read as two words, its first and its last 8 bytes
// (overlapping), multiplied side by side; a longer one folds its middle words into the first; a shorter one
// is read as two overlapping 4-byte words, or as its first, middle and last bytes.
inline std::uint64_t ShortTextHash(std::string_view text) {
  using short_text::Load32;
  using short_text::Load64;
  constexpr std::uint64_t kHeadMultiplier = 0x9E3779B97F4A7C15ull;
  constexpr std::uint64_t kTailMultiplier = 0xC2B2AE3D27D4EB4Full;
  const char* bytes = text.data();
  const std::size_t size = text.size();
  std::uint64_t head = size;
  std::uint64_t tail = 0;
  if (size >= 8) {
    head ^= Load64(bytes);
    for (std::size_t at = 8; at + 8 < size; at += 8) head = (head * kHeadMultiplier) ^ Load64(bytes + at);
    tail = Load64(bytes + size - 8);
  } else if (size >= 4) {
    head ^= Load32(bytes) << 8;
    tail = Load32(bytes + size - 4);
  } else if (size > 0) {
    const auto byte = [bytes](std::size_t at) { return std::uint64_t{static_cast<unsigned char>(bytes[at])}; };
    tail = (byte(0) << 16) | (byte(size / 2) << 8) | byte(size - 1);
  }
  return (head * kHeadMultiplier) ^ (tail * kTailMultiplier);
}

// Whether two texts are the same, read word by word as ShortTextHash reads them: inline, where a short
// memcmp is a library call.
inline bool SameShortText(std::string_view a, std::string_view b) {
  using short_text::Load32;
  using short_text::Load64;
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  if (size >= 8) {
    for (std::size_t at = 0; at + 8 < size; at += 8) {
      if (Load64(a.data() + at) != Load64(b.data() + at)) return false;
    }
    return Load64(a.data() + size - 8) == Load64(b.data() + size - 8);
  }
  if (size >= 4) {
    return Load32(a.data()) == Load32(b.data()) && Load32(a.data() + size - 4) == Load32(b.data() + size - 4);
  }
  for (std::size_t at = 0; at < size; ++at) {
    if (a[at] != b[at]) return false;
  }
  return true;
}

class TAnswersByCode {
 public:
  using Answer = std::shared_ptr<TKrHQStockTypeInfoImpl>;

  TAnswersByCode() : Slots(kFirstCapacity) {}

  // The answer kept for `code`, or nullptr.
  const Answer* Find(std::string_view code) const {
    const Slot& slot = Slots[SlotOf(code, ShortTextHash(code))];
    return slot.answer ? &slot.answer : nullptr;
  }

  // Keeps `answer` (not null) for `code`, in place of what was kept for it.
  void Keep(std::string_view code, Answer answer) {
    const std::uint64_t hash = ShortTextHash(code);
    Slot& slot = Slots[SlotOf(code, hash)];
    const bool added = !slot.answer;
    if (added) {
      slot.hash = hash;
      slot.code.assign(code);
    }
    slot.answer = std::move(answer);
    if (added && ++Count * 2 > Mask + 1) Grow();
  }

  // Forgets every answer; the slots stay for the answers to come.
  void Clear() {
    if (Count == 0) return;
    for (Slot& slot : Slots) {
      slot.code.clear();
      slot.answer.reset();
    }
    Count = 0;
  }

  std::size_t Size() const { return Count; }

 private:
  static constexpr int kFirstCapacityBits = 6;
  static constexpr std::size_t kFirstCapacity = std::size_t{1} << kFirstCapacityBits;

  struct alignas(64) Slot {  // a cache line: a look-up reads one
    std::uint64_t hash = 0;
    std::string code;
    Answer answer;  // null: a free slot
  };

  // The slot holding `code`, or the free slot where it would go.
  std::size_t SlotOf(std::string_view code, std::uint64_t hash) const {
    for (std::size_t at = hash >> Shift;; at = (at + 1) & Mask) {
      const Slot& slot = Slots[at];
      if (!slot.answer || (slot.hash == hash && SameShortText(slot.code, code))) return at;
    }
  }

  void Grow() {
    std::vector<Slot> old = std::exchange(Slots, std::vector<Slot>(2 * (Mask + 1)));
    Mask = Slots.size() - 1;
    --Shift;
    for (Slot& slot : old) {
      if (slot.answer) Slots[SlotOf(slot.code, slot.hash)] = std::move(slot);
    }
  }

  std::vector<Slot> Slots;
  std::size_t Mask = kFirstCapacity - 1;  // the slot count less one
  int Shift = 64 - kFirstCapacityBits;     // a hash's top bits, as many as it takes to number the slots
  std::size_t Count = 0;
};

}  // namespace kdp
