#include "rtd/field_store.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace kdp {
namespace {

// Field IDs below this bound map through a direct table; larger (Lux) IDs through a hash map.
constexpr std::uint32_t kDirectIds = 1u << 16;
constexpr std::uint32_t kNoSlot = 0xFFFFFFFFu;

struct SlotTable {
  SlotTable() {
    for (auto& s : direct) s.store(kNoSlot, std::memory_order_relaxed);
  }
  std::array<std::atomic<std::uint32_t>, kDirectIds> direct;
  std::mutex mutex;  // guards assignment, large and ids
  std::unordered_map<std::uint32_t, std::uint32_t> large;
  std::vector<std::uint32_t> ids;  // slot -> field ID
  std::atomic<std::size_t> count{0};
};

SlotTable& Slots() {
  static auto* table = new SlotTable();  // lives for the process: items may outlive static destruction order
  return *table;
}

}  // namespace

bool TFieldStore::FindSlot(std::uint32_t id, std::size_t& slot) {
  SlotTable& t = Slots();
  if (id < kDirectIds) {
    const std::uint32_t s = t.direct[id].load(std::memory_order_acquire);
    if (s == kNoSlot) return false;
    slot = s;
    return true;
  }
  std::lock_guard lock(t.mutex);
  auto it = t.large.find(id);
  if (it == t.large.end()) return false;
  slot = it->second;
  return true;
}

std::size_t TFieldStore::SlotOf(std::uint32_t id) {
  std::size_t slot;
  if (FindSlot(id, slot)) return slot;
  SlotTable& t = Slots();
  std::lock_guard lock(t.mutex);
  if (id < kDirectIds) {
    const std::uint32_t s = t.direct[id].load(std::memory_order_acquire);
    if (s != kNoSlot) return s;
  } else if (auto it = t.large.find(id); it != t.large.end()) {
    return it->second;
  }
  const auto fresh = static_cast<std::uint32_t>(t.ids.size());
  t.ids.push_back(id);
  if (id < kDirectIds) {
    t.direct[id].store(fresh, std::memory_order_release);
  } else {
    t.large.emplace(id, fresh);
  }
  return fresh;
}

std::uint32_t TFieldStore::IdOfSlot(std::size_t slot) {
  SlotTable& t = Slots();
  std::lock_guard lock(t.mutex);
  return slot < t.ids.size() ? t.ids[slot] : 0;
}

const TFieldStore::Cell* TFieldStore::Find(std::uint32_t id) const {
  std::size_t slot;
  if (!FindSlot(id, slot) || slot >= cells_.size()) return nullptr;
  const Cell& cell = cells_[slot];
  return cell.present != 0 ? &cell : nullptr;
}

TFieldStore::Cell* TFieldStore::Find(std::uint32_t id) {
  return const_cast<Cell*>(static_cast<const TFieldStore*>(this)->Find(id));
}

TFieldStore::Cell& TFieldStore::Get(std::uint32_t id) {
  const std::size_t slot = SlotOf(id);
  if (slot >= cells_.size()) cells_.resize(slot + 1);
  return cells_[slot];
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
