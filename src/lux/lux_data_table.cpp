#include "lux/lux_data_table.h"

#include <algorithm>

#include "lux/lux_data_item.h"

namespace kdp {
namespace {

// The rows of any table, taken before the receiving table changes (a table may be added to itself).
std::vector<IKrLuxDataTable::ItemPtr> RowsOf(IKrLuxDataTable& table) {
  std::vector<IKrLuxDataTable::ItemPtr> rows;
  const int count = table.GetRowCount();
  rows.reserve(count);
  for (int i = 0; i < count; ++i) {
    auto item = table.GetRowItem(i);
    rows.push_back(item ? std::move(item) : NewLuxDataItem());
  }
  return rows;
}

}  // namespace

int TKrLuxDataTable::AddRow() { return AddRow(nullptr); }

int TKrLuxDataTable::AddRow(ItemPtr item) {
  FDataItemLst.push_back(item ? std::move(item) : NewLuxDataItem());
  return static_cast<int>(FDataItemLst.size()) - 1;
}

bool TKrLuxDataTable::AddTable(const TablePtr& table) {
  if (!table) return false;
  auto rows = RowsOf(*table);
  FDataItemLst.insert(FDataItemLst.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  return true;
}

bool TKrLuxDataTable::InsertRow(int row) { return InsertRow(row, nullptr); }

bool TKrLuxDataTable::InsertRow(int row, ItemPtr item) {
  if (row < 0 || row > static_cast<int>(FDataItemLst.size())) return false;
  FDataItemLst.insert(FDataItemLst.begin() + row, item ? std::move(item) : NewLuxDataItem());
  return true;
}

bool TKrLuxDataTable::InsertTable(int row, const TablePtr& table) {
  if (!table || !IsValidRow(row)) return false;
  auto rows = RowsOf(*table);
  FDataItemLst.insert(FDataItemLst.begin() + row, std::make_move_iterator(rows.begin()),
                      std::make_move_iterator(rows.end()));
  return true;
}

IKrLuxDataTable::ItemPtr TKrLuxDataTable::RemoveRow(int row) {
  if (!IsValidRow(row)) return nullptr;
  ItemPtr item = std::move(FDataItemLst[row]);
  FDataItemLst.erase(FDataItemLst.begin() + row);
  return item;
}

int TKrLuxDataTable::GetColCount(int row) { return IsValidRow(row) ? FDataItemLst[row]->GetIndexCount() : 0; }

int TKrLuxDataTable::GetRowByIndex(std::string_view name, std::string_view value) {
  for (std::size_t i = 0; i < FDataItemLst.size(); ++i) {
    if (FDataItemLst[i]->GetIndexValue(name) == value) return static_cast<int>(i);
  }
  return -1;
}

void TKrLuxDataTable::SetIndexValue(int row, std::string_view name, std::string_view value) {
  if (IsValidRow(row)) FDataItemLst[row]->SetIndexValue(name, value);
}

void TKrLuxDataTable::SetIndexValue(int row, int col, std::string_view value) {
  if (!IsValidRow(row)) return;
  IKrLuxDataItem& item = *FDataItemLst[row];
  item.SetIndexValue(item.GetIndexByOrder(col), value);
}

std::string TKrLuxDataTable::GetIndexValue(int row, std::string_view name) {
  return IsValidRow(row) ? FDataItemLst[row]->GetIndexValue(name) : std::string();
}

std::string TKrLuxDataTable::GetIndexValue(int row, int col) {
  return IsValidRow(row) ? FDataItemLst[row]->GetIndexValueByOrder(col) : std::string();
}

std::string TKrLuxDataTable::GetIndex(int row, int col) {
  return IsValidRow(row) ? FDataItemLst[row]->GetIndexByOrder(col) : std::string();
}

IKrLuxDataTable::ItemPtr TKrLuxDataTable::GetRowItem(int row) { return IsValidRow(row) ? FDataItemLst[row] : nullptr; }

void TKrLuxDataTable::Reverse() { std::reverse(FDataItemLst.begin(), FDataItemLst.end()); }

IKrLuxDataTable::TablePtr TKrLuxDataTable::Clone() {
  auto copy = std::make_shared<TKrLuxDataTable>();
  copy->FDataItemLst.reserve(FDataItemLst.size());
  for (const ItemPtr& item : FDataItemLst) copy->FDataItemLst.push_back(item->Clone());
  return copy;
}

std::shared_ptr<IKrLuxDataTable> NewLuxDataTable() { return std::make_shared<TKrLuxDataTable>(); }

}  // namespace kdp
