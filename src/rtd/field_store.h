// TFieldStore: the quote fields of one real-time item, laid out for a price board that repaints a few
// dozen fields of hundreds of securities many times a second while the engine writes thousands of
// updates a second.
//
// Every field ID gets a dense slot number, shared by the whole process, on first use; an item keeps one
// 16-byte cell per slot (its number, its integer, its flag byte and which of them are present), so a read
// or a write is two array indexes. An item's cells reach up to the highest slot it uses, so the owner
// stores only field IDs from a bounded set (the field dictionary's): every new ID makes every later item
// bigger. Texts, which few fields carry, live beside the cells. Iteration is in slot order.
//
// Main thread only, like the items that own the stores; slot numbers may be assigned from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kdp {

class TFieldStore {
 public:
  struct Cell {
    double number = 0.0;
    std::int32_t integer = 0;
    std::uint8_t flags = 0;    // the field's flag byte (valid when kHasFlag)
    std::uint8_t present = 0;  // kHas... bits
  };
  static constexpr std::uint8_t kHasFlag = 1, kHasNumber = 2, kHasInteger = 4, kHasText = 8;

  // The cell of a field, or nullptr when the item has none.
  const Cell* Find(std::uint32_t id) const {
    const std::uint32_t slot = KnownSlot(id);
    if (slot >= cells_.size()) return nullptr;  // also for an unassigned slot
    const Cell& cell = cells_[slot];
    return cell.present != 0 ? &cell : nullptr;
  }
  Cell* Find(std::uint32_t id) { return const_cast<Cell*>(static_cast<const TFieldStore*>(this)->Find(id)); }
  // The cell of a field, created empty when missing; nullptr when the process has no slot left for a
  // new field ID.
  Cell* Get(std::uint32_t id) {
    const std::uint32_t slot = SlotOf(id);
    if (slot == kNoSlot) return nullptr;
    if (slot >= cells_.size()) cells_.resize(slot + 1);
    return &cells_[slot];
  }

  const std::string* Text(std::uint32_t id) const;
  void SetText(std::uint32_t id, std::string text);
  void EraseText(std::uint32_t id);

  // Calls f(id, cell) for every field that has a cell with anything present, in slot order.
  template <class F>
  void ForEach(F&& f) {
    for (std::size_t slot = 0; slot < cells_.size(); ++slot) {
      if (cells_[slot].present != 0) f(IdOfSlot(slot), cells_[slot]);
    }
  }
  // Calls f(cell) for every cell, present or not (for updates that touch every flag byte).
  template <class F>
  void ForEachCell(F&& f) {
    for (Cell& cell : cells_) f(cell);
  }

  void Clear();
  // Bytes held by this store (cells and texts), for memory accounting.
  std::size_t MemoryBytes() const;

  // The process-wide slot of a field ID (assigned on first use), or kNoSlot once every slot is taken;
  // and back.
  static constexpr std::uint32_t kNoSlot = 0xFFFFFFFFu;
  static std::uint32_t SlotOf(std::uint32_t id) {
    const std::uint32_t slot = KnownSlot(id);
    return slot != kNoSlot ? slot : AssignSlot(id);
  }
  static std::uint32_t IdOfSlot(std::size_t slot);

 private:
  static constexpr std::uint32_t kDirectIds = 1u << 16;  // IDs below map through a direct table

  // The slot of an ID already assigned one, or kNoSlot.
  static std::uint32_t KnownSlot(std::uint32_t id) {
    if (id >= kDirectIds) return LargeSlot(id);
    const std::atomic<std::uint32_t>* direct = direct_slots_.load(std::memory_order_acquire);
    return direct != nullptr ? direct[id].load(std::memory_order_acquire) : kNoSlot;
  }
  // The direct table, published once the first slot is assigned.
  static inline std::atomic<const std::atomic<std::uint32_t>*> direct_slots_{nullptr};
  static std::uint32_t LargeSlot(std::uint32_t id);
  static std::uint32_t AssignSlot(std::uint32_t id);

  std::vector<Cell> cells_;
  std::vector<std::pair<std::uint32_t, std::string>> texts_;
};

}  // namespace kdp
