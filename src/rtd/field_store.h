// TFieldStore: the quote fields of one real-time item, laid out for a price board that repaints a few
// dozen fields of hundreds of securities many times a second while the engine writes thousands of
// updates a second.
//
// Every field ID gets a dense slot number, shared by the whole process, on first use; an item keeps one
// 16-byte cell per slot (its number, its integer, its flag byte and which of them are present), so a read
// is two array indexes. Texts, which few fields carry, live beside the cells. Iteration is in slot order.
//
// Main thread only, like the items that own the stores.
#pragma once

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
    std::uint8_t flags = 0;   // the field's flag byte (valid when kHasFlag)
    std::uint8_t present = 0;  // kHas... bits
  };
  static constexpr std::uint8_t kHasFlag = 1, kHasNumber = 2, kHasInteger = 4, kHasText = 8;

  // The cell of a field, or nullptr when the item has none.
  const Cell* Find(std::uint32_t id) const;
  Cell* Find(std::uint32_t id);
  // The cell of a field, created empty when missing.
  Cell& Get(std::uint32_t id);

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

  void Clear();
  // Bytes held by this store (cells and texts), for memory accounting.
  std::size_t MemoryBytes() const;

  // The process-wide slot of a field ID (assigned on first use) and back.
  static std::size_t SlotOf(std::uint32_t id);
  static std::uint32_t IdOfSlot(std::size_t slot);

 private:
  static bool FindSlot(std::uint32_t id, std::size_t& slot);

  std::vector<Cell> cells_;
  std::vector<std::pair<std::uint32_t, std::string>> texts_;
};

}  // namespace kdp
