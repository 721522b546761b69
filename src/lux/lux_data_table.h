// TKrLuxDataTable: an ordered list of Lux rows (IKrLuxDataItem), shared by reference between tables.
//
// No lock: a table is used by one thread at a time (see kdp/lux/lux_data.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/lux/lux_data.h"

namespace kdp {

class TKrLuxDataTable final : public host::Implements<IKrLuxDataTable> {
 public:
  int AddRow() override;
  int AddRow(ItemPtr item) override;
  bool AddTable(const TablePtr& table) override;
  bool InsertRow(int row) override;
  bool InsertRow(int row, ItemPtr item) override;
  bool InsertTable(int row, const TablePtr& table) override;
  ItemPtr RemoveRow(int row) override;
  void Clear() override { FDataItemLst.clear(); }
  int GetRowCount() override { return static_cast<int>(FDataItemLst.size()); }
  int GetColCount(int row) override;
  int GetRowByIndex(std::string_view name, std::string_view value) override;
  void SetIndexValue(int row, std::string_view name, std::string_view value) override;
  void SetIndexValue(int row, int col, std::string_view value) override;
  std::string GetIndexValue(int row, std::string_view name) override;
  std::string GetIndexValue(int row, int col) override;
  std::string GetIndex(int row, int col) override;
  ItemPtr GetRowItem(int row) override;
  void Reverse() override;
  TablePtr Clone() override;

  void Reserve(std::size_t rows) { FDataItemLst.reserve(rows); }

 private:
  bool IsValidRow(int row) const { return row >= 0 && row < static_cast<int>(FDataItemLst.size()); }

  std::vector<ItemPtr> FDataItemLst;
};

}  // namespace kdp
