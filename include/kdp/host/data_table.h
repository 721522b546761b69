// TDataTable: an in-memory IDataSet, the form in which a quote engine builds its replies (and tests build
// theirs). Columns have a name and a type name ("int", "double", "int64", "string", or "dataset" for
// nested tables); cells hold a value of any of those kinds or nothing. Reads convert between numbers
// and text where they can; a cell out of range or without a value reads as 0, "" or nullptr.
//
// Built on one thread, then read-only: a finished table may be read from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <variant>
#include <vector>

#include "kdp/host/speed.h"

namespace kdp::host {

class TDataTable final : public Implements<IDataSet> {
 public:
  using Cell = std::variant<std::monostate, std::int32_t, std::int64_t, double, std::string, std::shared_ptr<IDataSet>>;

  // Makes room for `columns` columns and `rows` rows, so a table built to a known size allocates once.
  void Reserve(int columns, int rows);
  // Adds a column; the name and type name are cut to 31 bytes. Returns its index.
  int AddField(std::string_view name, std::string_view typeName);
  // Adds a row of empty cells; returns its index.
  int AddRow();
  // Sets a cell; ignored out of range.
  void Set(int row, int column, Cell value);
  // When `other` has the same columns (names and type names), this table takes on its field infos, so
  // both answer the same GetFieldsIdentity: an engine building a push's rows alike calls it per row, and
  // the push's reader then compares the columns once. A column added later gives the table its own
  // field infos again. Returns whether the columns were the same.
  bool ShareFieldsWith(const TDataTable& other);
  // Empties the table (as Clear) and gives it the columns of `layout`, sharing its field infos.
  void ResetToColumnsOf(const TDataTable& layout);

  // Refilling a table in place (a decoder reusing a spent table): Clear drops every column and row but
  // keeps the memory; ResizeRows keeps the columns and makes the table `rows` long, the cells of the rows
  // kept as they were and new ones empty; MutableCellAt is the stored cell (nullptr out of range).
  void Clear();
  void ResizeRows(int rows);
  Cell* MutableCellAt(int row, int column);

  int GetRowCount() override { return rows_; }
  int GetFieldCount() override { return Columns(); }
  PFieldInfo GetFieldInfo(int column) override;
  std::int32_t GetAsInteger(int row, int column) override;
  std::int64_t GetAsInt64(int row, int column) override;
  std::string GetAsString(int row, int column) override;
  double GetAsDouble(int row, int column) override;
  std::shared_ptr<IDataSet> GetAsDataSet(int row, int column) override;
  const void* GetFieldsIdentity() override { return fields_.get(); }

  // The cell as stored, without conversion; nullptr out of range. Inline: every read of a cell asks it.
  const Cell* CellAt(int row, int column) const {
    if (row < 0 || column < 0 || row >= rows_ || column >= Columns()) return nullptr;
    return &cells_[static_cast<std::size_t>(row) * stride_ + static_cast<std::size_t>(column)];
  }

 private:
  int Columns() const { return columns_; }

  using Fields = std::vector<TFieldInfo>;
  // Shared with the tables ShareFieldsWith joined, and never changed while shared; nullptr before the
  // first column.
  std::shared_ptr<Fields> fields_;
  int columns_ = 0;  // fields_'s size, at hand for every cell read
  // Row by row, `stride_` cells a row (at least one per column): a column added to a table with rows
  // doubles the stride when it runs out, so building a row field by field stays linear.
  std::vector<Cell> cells_;
  std::size_t stride_ = 0;
  int rows_ = 0;
};

// `data` as the table it is, or nullptr. The class is final, so comparing the type is enough: cheaper than
// a dynamic cast on paths taken per decoded table.
inline TDataTable* AsDataTable(IDataSet* data) {
  return data != nullptr && typeid(*data) == typeid(TDataTable) ? static_cast<TDataTable*>(data) : nullptr;
}

// The field name of a column as text ("" when absent).
std::string FieldName(IDataSet& data, int column);
// The type name of a column as text ("" when absent).
std::string FieldTypeName(IDataSet& data, int column);

}  // namespace kdp::host
