// The data set codec: a compact binary form of an IDataSet, nested tables included, for whoever keeps a
// quote engine's replies outside the process (the quote recorder) and reads them back as TDataTable.
//
// A TDataTable is written cell by cell as stored, so empty cells stay empty and every read of the copy
// answers as the original did. Any other data set is read through each column's type name: "int" as
// GetAsInteger, "int64" as GetAsInt64, "double" as GetAsDouble, "dataset" as GetAsDataSet (nullptr is an
// empty cell), anything else as GetAsString; reads in the column's own type then answer as the original.
//
// Layout, little-endian:
//   data set := u16 column count, columns, u32 row count, rows
//   column   := u8 name length, name bytes, u8 type-name length, type-name bytes (at most 31 bytes each)
//   row      := its cells in column order; a row of a table without columns is one byte 0
//   cell     := u8 kind, then by kind: 0 empty; 1 int32 (4 bytes); 2 int64 (8 bytes); 3 double (8 bytes,
//               IEEE-754); 4 text (u32 byte count, then the bytes as they are: the engine's code page);
//               5 a nested data set
//
// Every row takes at least one byte, every column two, so a count is checked against the bytes left
// before anything is allocated. Tables nest at most kMaxDataSetDepth deep and one data set holds at
// most kMaxDataSetCells cells (nested ones included), which bounds what a decode may allocate whatever
// the input claims.
//
// The functions are stateless and run on any thread; a TDataTableRecycler belongs to the one thread that
// decodes with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kdp/host/byte_reader.h"
#include "kdp/host/data_table.h"
#include "kdp/host/speed.h"

namespace kdp::host {

inline constexpr int kMaxDataSetDepth = 16;
inline constexpr std::size_t kMaxDataSetCells = std::size_t{1} << 20;

// Appends the encoding of `data` to `out`. False, with `out` as it was and `error` saying why, for a data
// set nested deeper than kMaxDataSetDepth (a table holding itself included), with more than
// kMaxDataSetCells cells, or with a text of 4 GiB or more.
bool EncodeDataSet(IDataSet& data, std::string& out, std::string& error);

// Spent decoded data sets kept to decode into again, so that a stream of data sets of one shape (a replayed
// recording's pushes) decodes without allocating, and its tables are freed by the thread that made them
// rather than by the one that read them. Recycle takes a data set back once its reader is done with it and
// keeps it (at most kMaxSpareTables) when the caller held the only reference; weak references are not
// counted, so whoever keeps a decoded table keeps it strongly. Nested tables still held elsewhere are left
// to their holders when the spare one is refilled; a spare keeps the memory of the most it ever held.
//
// It also remembers the column layouts it has decoded (at most kMaxLayouts), by the bytes that encode
// them: every table of a known layout shares that layout's field infos (TDataTable::ResetToColumnsOf), so
// a spare table of the same layout is recognised by one comparison of those bytes instead of column by
// column, and readers of the decoded tables see one fields identity per layout, as a live engine's rows.
// Not thread-safe: the decoding thread recycles.
class TDataTableRecycler {
 public:
  static constexpr std::size_t kMaxSpareTables = 4096;
  static constexpr std::size_t kMaxLayouts = 64;

  void Recycle(std::shared_ptr<IDataSet> data);
  // The spare kept longest, or nullptr: the latest ones were read a moment ago, perhaps on another core,
  // whose cache would give their lines back only to take them again.
  std::shared_ptr<TDataTable> Take();
  std::size_t SpareCount() const { return spare_.size(); }

  // When `in` goes on with the encoding of a column layout met before (column count and columns), moves
  // past it and answers a table without rows holding those columns; else nullptr, `in` unmoved.
  TDataTable* KnownLayoutAt(ByteReader& in);
  // Remembers the columns of `table` as those `encodedColumns` encode, while there is room.
  void AddLayout(std::span<const std::uint8_t> encodedColumns, const TDataTable& table);

 private:
  std::deque<std::shared_ptr<TDataTable>> spare_;
  // Kept for the recycler's life, so their field infos stay shared and are never changed in place.
  std::vector<std::pair<std::string, std::unique_ptr<TDataTable>>> layouts_;
};

// Decodes the data set at the start of `bytes` and sets `used` to the bytes it took. nullptr, with
// `error` ("truncated cell kind at byte 40", "cell kind 9 at byte 12"), when the bytes do not hold one.
// With a recycler, a spare data set is refilled in place: a table keeps its columns when they are the same,
// a nested table nobody else holds is refilled too, anything else is made afresh. A spare data set that
// fails to refill is dropped.
std::shared_ptr<TDataTable> DecodeDataSet(std::span<const std::uint8_t> bytes, std::size_t& used, std::string& error,
                                          TDataTableRecycler* recycler = nullptr);

}  // namespace kdp::host
