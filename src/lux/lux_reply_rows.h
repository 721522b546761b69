// TLuxReplyRows: the rows a parser makes of one reply, in one block of memory that all of them share.
//
// A parser copies the reply's text into the block once (CopyIn), parses it there, and fills each row with
// views: names are constants, values point into the copy or at texts it keeps in the block (Keep). A
// finished row is a TKrLuxDataItem living in the block and viewing its fields there; a reference to any
// row keeps the whole block alive, and changing a row copies that row's fields into it first, so a row
// never sees another's changes. So a reply of hundreds of rows costs a few allocations, not a few per
// row, at the price of a kept row holding its whole reply's memory.
//
// Made and filled by one thread. Once its rows are handed out the block is only read, and the thread
// that drops the last row frees it.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "kdp/lux/lux_data.h"
#include "lux/lux_data_item.h"

namespace kdp {

class TLuxReplyRows {
 public:
  // `bytesGuess`: about how much the rows will hold besides copied-in texts (the reply's size will do).
  explicit TLuxReplyRows(std::size_t bytesGuess);

  // A copy of a whole reply kept with the rows, writable (a parser may work in it in place), with a NUL
  // after the text: the span covers both.
  std::span<char> CopyIn(std::string_view text);
  // A copy of a short text kept with the rows: texts a parser makes (links, lists) and texts it does not
  // own (the host's).
  std::string_view Keep(std::string_view text);
  // Keeps `owner` as long as the rows (a document whose text lives in the document itself).
  void KeepAlive(std::shared_ptr<const void> owner);
  void ReserveRows(std::size_t rows);

  // Sets a field of the row being built: a new name goes after the others. REQUIRES: `name` and `value`
  // stay valid as long as the rows (constants, text copied in or kept).
  void SetValue(std::string_view name, std::string_view value);
  // A field of the row being built ("" when absent).
  std::string_view FindValue(std::string_view name) const;
  // The row built so far as an item; the next SetValue starts a new row.
  IKrLuxDataTable::ItemPtr FinishRow();

 private:
  struct Block;
  std::shared_ptr<Block> FBlock;
  std::vector<TLuxFieldView> FRow;
};

}  // namespace kdp
