#include "rtd/field_store.h"

namespace kdp {

const TFieldStore::Cell* TFieldStore::FindAway(std::uint32_t id) const {
  if (shape_) {
    const std::int32_t rank = shape_->RankOf(id);
    return rank >= 0 && cells_[static_cast<std::size_t>(rank)].Holds() ? &cells_[static_cast<std::size_t>(rank)]
                                                                       : nullptr;
  }
  const Cell* cell = LowerBound(id);
  return cell != cells_.data() + cells_.size() && cell->id == id && cell->Holds() ? cell : nullptr;
}

TFieldStore::Cell& TFieldStore::FindOrAdd(std::uint32_t id, int type, std::size_t& cursor) {
  const auto at = static_cast<std::size_t>(LowerBound(id) - cells_.data());
  if (at == cells_.size() || cells_[at].id != id) {
    Cell cell;
    cell.id = id;
    cell.present = static_cast<std::uint8_t>((type & 0x0F) << kTypeShift);
    cells_.insert(cells_.begin() + static_cast<std::ptrdiff_t>(at), cell);
    ForgetShape();
  }
  cursor = at + 1;
  return cells_[at];
}

void TFieldStore::SetText(Cell& cell, std::string_view text) {
  if (cell.text == 0) {
    if (texts_.size() == UINT16_MAX) return;  // more text fields than a dictionary has: not stored
    texts_.emplace_back(text);
    cell.text = static_cast<std::uint16_t>(texts_.size());
  } else if (std::string& kept = texts_[cell.text - 1u]; kept != text) {
    kept.assign(text);  // names and the like seldom change: most updates leave the text alone
  }
}

void TFieldStore::EraseText(Cell& cell) {
  if (cell.text != 0) texts_[cell.text - 1u].clear();
}

void TFieldStore::Clear() {
  cells_.clear();
  texts_.clear();
  ForgetShape();
}

std::size_t TFieldStore::MemoryBytes() const {
  std::size_t bytes = sizeof(*this) + cells_.capacity() * sizeof(Cell) + texts_.capacity() * sizeof(std::string);
  for (const std::string& text : texts_) bytes += text.capacity() > 15 ? text.capacity() + 1 : 0;
  return bytes;
}

}  // namespace kdp
