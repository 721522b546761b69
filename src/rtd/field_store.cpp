#include "rtd/field_store.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <unordered_map>

namespace kdp {
namespace {

constexpr std::uint32_t kDirect = 1u << 16;
constexpr std::uint32_t kMaxSlots = 1u << 16;  // distinct field IDs one process can hold
constexpr std::uint32_t kUnassigned = 0xFFFFFFFFu;

struct SlotTable {
  SlotTable() {
    for (auto& s : direct) s.store(kUnassigned, std::memory_order_relaxed);
  }
  std::array<std::atomic<std::uint32_t>, kDirect> direct;  // field ID -> slot
  std::array<std::atomic<std::uint32_t>, kMaxSlots> ids;   // slot -> field ID
  std::mutex mutex;                                        // guards assignment and large
  std::unordered_map<std::uint32_t, std::uint32_t> large;
  std::uint32_t count = 0;
};

// Never destroyed: items may outlive other statics at exit.
SlotTable& Slots() {
  static auto* table = new SlotTable();
  return *table;
}

}  // namespace

std::uint32_t TFieldStore::LargeSlot(std::uint32_t id) {
  SlotTable& t = Slots();
  std::lock_guard lock(t.mutex);
  auto it = t.large.find(id);
  return it == t.large.end() ? kNoSlot : it->second;
}

std::uint32_t TFieldStore::AssignSlot(std::uint32_t id) {
  SlotTable& t = Slots();
  std::lock_guard lock(t.mutex);
  if (id < kDirect) {
    const std::uint32_t s = t.direct[id].load(std::memory_order_acquire);
    if (s != kUnassigned) return s;
  } else if (auto it = t.large.find(id); it != t.large.end()) {
    return it->second;
  }
  direct_slots_.store(t.direct.data(), std::memory_order_release);
  if (t.count == kMaxSlots) return kNoSlot;
  const std::uint32_t fresh = t.count++;
  t.ids[fresh].store(id, std::memory_order_release);
  if (id < kDirect) {
    t.direct[id].store(fresh, std::memory_order_release);
  } else {
    t.large.emplace(id, fresh);
  }
  return fresh;
}

std::uint32_t TFieldStore::IdOfSlot(std::size_t slot) {
  return slot < kMaxSlots ? Slots().ids[slot].load(std::memory_order_acquire) : 0;
}

const std::string* TFieldStore::Text(std::uint32_t id) const {
  for (const auto& [key, text] : texts_) {
    if (key == id) return &text;
  }
  return nullptr;
}

void TFieldStore::SetText(std::uint32_t id, std::string text) {
  for (auto& [key, value] : texts_) {
    if (key == id) {
      value = std::move(text);
      return;
    }
  }
  texts_.emplace_back(id, std::move(text));
}

void TFieldStore::EraseText(std::uint32_t id) {
  std::erase_if(texts_, [id](const auto& entry) { return entry.first == id; });
}

void TFieldStore::Clear() {
  cells_.clear();
  texts_.clear();
}

std::size_t TFieldStore::MemoryBytes() const {
  std::size_t bytes = sizeof(*this) + cells_.capacity() * sizeof(Cell) + texts_.capacity() * sizeof(texts_[0]);
  for (const auto& [key, text] : texts_) bytes += text.capacity() > 15 ? text.capacity() + 1 : 0;
  return bytes;
}

}  // namespace kdp
