// TFieldStore: the quote fields of one real-time item, laid out for a price board that repaints a few
// dozen fields of hundreds of securities many times a second while the engine writes thousands of
// updates a second.
//
// An item keeps one 16-byte cell per field it holds, sorted by field ID: the field's number or integer
// (a field holds the one its dictionary type names), its flag byte, which of them are present, and where
// its text is; texts live beside the cells. What an item costs depends on its own fields only, whatever
// IDs other items use. The store remembers the last shape of prepared rows (kdp/rtd/rtd_quote_rows.h)
// whose fields are exactly its own, as an item updated by the same layout push after push is: such rows
// are written by position, and a read finds its cell through the shape's index (shared by every item of
// that shape): a table by ID for the quote fields' small IDs, one load and no hashing, and a hash for the
// rest. Other stores find cells by binary search. Iteration is in ID order.
//
// Main thread only, like the items that own the stores.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/rtd/rtd_quote_rows.h"

namespace kdp {

class TFieldStore {
 public:
  struct Cell {
    union {
      double number = 0.0;   // valid when kHasNumber
      std::int32_t integer;  // valid when kHasInteger
    };
    std::uint32_t id = 0;
    std::uint16_t text = 0;    // 1 + the text's index (0: no text)
    std::uint8_t flags = 0;    // the field's flag byte (valid when kHasFlag)
    std::uint8_t present = 0;  // kHas... bits, and the field's dictionary type above them

    // Whether the cell holds anything: a flag byte, a value or a text.
    bool Holds() const { return (present & kHasAny) != 0; }
    // The field's dictionary type (HQDICDATA_TYPE_...), kept since the cell was made.
    int Type() const { return present >> kTypeShift; }

    void SetNumber(double value) {
      number = value;
      present = static_cast<std::uint8_t>((present & ~kHasInteger) | kHasNumber);
    }
    void SetInteger(std::int32_t value) {
      integer = value;
      present = static_cast<std::uint8_t>((present & ~kHasNumber) | kHasInteger);
    }
  };
  static constexpr std::uint8_t kHasFlag = 1, kHasNumber = 2, kHasInteger = 4, kHasText = 8, kHasAny = 15;
  static constexpr int kTypeShift = 4;

  // The cell of a field, or nullptr when the item has none with anything present.
  const Cell* Find(std::uint32_t id) const {
    if (id < directRanks_.size()) {  // the common read: a quote field of an item a push keeps up to date
      const std::uint32_t rank = directRanks_[id];
      return rank != 0 && cells_[rank - 1].Holds() ? &cells_[rank - 1] : nullptr;
    }
    return FindAway(id);
  }
  Cell* Find(std::uint32_t id) { return const_cast<Cell*>(static_cast<const TFieldStore*>(this)->Find(id)); }
  // Whether the store has a cell for `id`, holding anything or not.
  bool Has(std::uint32_t id) const {
    const Cell* cell = LowerBound(id);
    return cell != cells_.data() + cells_.size() && cell->id == id;
  }
  bool IsEmpty() const { return cells_.empty(); }
  // The cell of a field of dictionary type `type`, created empty when missing. `cursor` is where the
  // previous write of an update ended (0 to start): fields written in ascending ID order find their
  // cells without a search. References to cells stay valid until the next Get.
  Cell& Get(std::uint32_t id, int type, std::size_t& cursor) {
    if (Cell* next = AtCursor(id, cursor)) return *next;
    return FindOrAdd(id, type, cursor);
  }
  Cell& Get(std::uint32_t id, int type) {
    std::size_t cursor = 0;
    return Get(id, type, cursor);
  }
  // The cell of `id` when it is the one at the cursor (then the cursor moves past it); else nullptr.
  Cell* AtCursor(std::uint32_t id, std::size_t& cursor) {
    return cursor < cells_.size() && cells_[cursor].id == id ? &cells_[cursor++] : nullptr;
  }

  // Whether the store holds exactly the fields of `shape`, which may then be written by rank.
  bool Holds(const TKrQuoteShape& shape) const { return shape_.get() == &shape; }
  // The cells in ID order. REQUIRES: Holds(shape) for the shape whose ranks index them.
  Cell* Cells() { return cells_.data(); }
  const void* CellsAddress() const { return cells_.data(); }
  // Remembers `shape` when the store holds exactly its fields (after they were all written).
  void NoteShape(const TKrQuoteShape& shape) {
    if (shape.distinct && !cells_.empty() && cells_.size() == shape.fields.size()) {
      shape_ = shape.shared_from_this();
      directRanks_ = shape.DirectRanks();
    }
  }
  // Room for `count` cells while the store is empty, so an item's first update allocates once.
  void ReserveFirst(std::size_t count) {
    if (cells_.empty()) cells_.reserve(count);
  }

  const std::string* Text(std::uint32_t id) const {
    const Cell* cell = Find(id);
    return cell != nullptr && cell->text != 0 ? &texts_[cell->text - 1u] : nullptr;
  }
  void SetText(Cell& cell, std::string_view text);
  void EraseText(Cell& cell);

  // Calls f(cell) for every cell that holds anything, in ID order.
  template <class F>
  void ForEach(F&& f) {
    for (Cell& cell : cells_) {
      if (cell.Holds()) f(cell);
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

 private:
  void ForgetShape() {
    shape_.reset();
    directRanks_ = {};
  }
  // Find for IDs beyond the shape's direct ranks, or in a store without a shape.
  const Cell* FindAway(std::uint32_t id) const;
  // Get away from the cursor: finds or makes the cell of `id`.
  Cell& FindOrAdd(std::uint32_t id, int type, std::size_t& cursor);
  // The first cell whose ID is not below `id` (branch-free: the IDs of a row come in no useful order).
  const Cell* LowerBound(std::uint32_t id) const {
    const Cell* base = cells_.data();
    std::size_t length = cells_.size();
    if (length == 0) return base;
    while (length > 1) {
      const std::size_t half = length / 2;
      base = base[half].id < id ? base + half : base;
      length -= half;
    }
    return base + (base->id < id);
  }

  std::vector<Cell> cells_;
  std::vector<std::string> texts_;
  std::shared_ptr<const TKrQuoteShape> shape_;  // the shape whose fields are exactly the cells, if any
  std::span<const std::uint16_t> directRanks_;   // shape_'s, held here to save a load per read (empty: none)
};

}  // namespace kdp
