#include "lux/lux_reply_rows.h"

#include <algorithm>
#include <memory>
#include <memory_resource>
#include <new>

namespace kdp {

namespace {

// The arena's first chunk: a reply's size, within limits. Chunks grow from there, and the limit keeps
// the first few below malloc's mapping threshold (128 KiB by default), so a reply after reply does not
// map and unmap its memory (and fault it in page by page) every time.
constexpr std::size_t kFirstChunkMin = 1024;
constexpr std::size_t kFirstChunkMax = 32 * 1024;

// Names are mostly the parser's constants, so the same name is usually the same text.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.data() == b.data() || a == b);
}

}  // namespace

struct TLuxReplyRows::Block {
  explicit Block(std::size_t bytes) : Arena(bytes) {}
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  // The arena frees memory without destroying what it holds: the rows own buffers of their own once
  // changed.
  ~Block() {
    for (TKrLuxDataItem* row : Rows) std::destroy_at(row);
  }

  // Texts copied in whole (the reply), each its own allocation.
  std::vector<std::unique_ptr<char[]>> Copies;
  // The rows, their fields and texts they keep.
  std::pmr::monotonic_buffer_resource Arena;
  std::vector<TKrLuxDataItem*> Rows;
  std::vector<std::shared_ptr<const void>> Owners;
};

TLuxReplyRows::TLuxReplyRows(std::size_t bytesGuess)
    : FBlock(std::make_shared<Block>(std::clamp(bytesGuess, kFirstChunkMin, kFirstChunkMax))) {}

std::span<char> TLuxReplyRows::CopyIn(std::string_view text) {
  FBlock->Copies.push_back(std::make_unique_for_overwrite<char[]>(text.size() + 1));
  char* copy = FBlock->Copies.back().get();
  *std::copy(text.begin(), text.end(), copy) = '\0';
  return {copy, text.size() + 1};
}

std::string_view TLuxReplyRows::Keep(std::string_view text) {
  if (text.empty()) return {};
  char* copy = static_cast<char*>(FBlock->Arena.allocate(text.size(), 1));
  std::copy(text.begin(), text.end(), copy);
  return {copy, text.size()};
}

void TLuxReplyRows::KeepAlive(std::shared_ptr<const void> owner) { FBlock->Owners.push_back(std::move(owner)); }

void TLuxReplyRows::ReserveRows(std::size_t rows) { FBlock->Rows.reserve(FBlock->Rows.size() + rows); }

void TLuxReplyRows::SetValue(std::string_view name, std::string_view value) {
  for (TLuxFieldView& field : FRow) {
    if (SameName(field.Name, name)) {
      field.Value = value;
      return;
    }
  }
  FRow.push_back({name, value});
}

std::string_view TLuxReplyRows::FindValue(std::string_view name) const {
  for (const TLuxFieldView& field : FRow) {
    if (SameName(field.Name, name)) return field.Value;
  }
  return {};
}

IKrLuxDataTable::ItemPtr TLuxReplyRows::FinishRow() {
  Block& block = *FBlock;
  auto* fields =
      static_cast<TLuxFieldView*>(block.Arena.allocate(FRow.size() * sizeof(TLuxFieldView), alignof(TLuxFieldView)));
  std::uninitialized_copy(FRow.begin(), FRow.end(), fields);
  block.Rows.reserve(block.Rows.size() + 1);  // so the row is listed for destruction once made
  auto* row = new (block.Arena.allocate(sizeof(TKrLuxDataItem), alignof(TKrLuxDataItem))) TKrLuxDataItem();
  block.Rows.push_back(row);
  row->ViewFields({fields, FRow.size()});
  FRow.clear();
  // Shares the block's ownership: the row lives as long as the block.
  return IKrLuxDataTable::ItemPtr(FBlock, row);
}

}  // namespace kdp
