#include "kdp/host/data_table.h"

#include <cmath>
#include <cstring>
#include <limits>

#include <fmt/format.h>

#include "kdp/host/number_text.h"

namespace kdp::host {
namespace {

void CopyName(char (&target)[32], std::string_view source) {
  std::memset(target, 0, sizeof target);
  std::memcpy(target, source.data(), std::min(source.size(), sizeof target - 1));
}

template <class Int>
Int ClampToInt(double v) {
  if (!std::isfinite(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
  if (v <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
  return static_cast<Int>(v);
}

}  // namespace

int TDataTable::AddField(std::string_view name, std::string_view typeName) {
  TFieldInfo info{};
  CopyName(info.name, name);
  CopyName(info.typeName, typeName);
  fields_.push_back(info);
  for (auto& row : rows_) row.resize(fields_.size());
  return static_cast<int>(fields_.size()) - 1;
}

int TDataTable::AddRow() {
  rows_.emplace_back(fields_.size());
  return static_cast<int>(rows_.size()) - 1;
}

void TDataTable::Set(int row, int column, Cell value) {
  if (row < 0 || column < 0 || row >= GetRowCount() || column >= GetFieldCount()) return;
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(value);
}

PFieldInfo TDataTable::GetFieldInfo(int column) {
  return column >= 0 && column < GetFieldCount() ? &fields_[static_cast<std::size_t>(column)] : nullptr;
}

const TDataTable::Cell* TDataTable::CellAt(int row, int column) const {
  if (row < 0 || column < 0 || row >= static_cast<int>(rows_.size()) || column >= static_cast<int>(fields_.size())) {
    return nullptr;
  }
  return &rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

std::int64_t TDataTable::GetAsInt64(int row, int column) {
  const Cell* cell = CellAt(row, column);
  if (cell == nullptr) return 0;
  if (const auto* v = std::get_if<std::int32_t>(cell)) return *v;
  if (const auto* v = std::get_if<std::int64_t>(cell)) return *v;
  if (const auto* v = std::get_if<double>(cell)) return ClampToInt<std::int64_t>(*v);
  if (const auto* v = std::get_if<std::string>(cell)) return ParseInt64(*v).value_or(0);
  return 0;
}

std::int32_t TDataTable::GetAsInteger(int row, int column) {
  const Cell* cell = CellAt(row, column);
  if (cell != nullptr) {
    if (const auto* v = std::get_if<double>(cell)) return ClampToInt<std::int32_t>(*v);
  }
  const std::int64_t wide = GetAsInt64(row, column);
  if (wide > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (wide < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(wide);
}

double TDataTable::GetAsDouble(int row, int column) {
  const Cell* cell = CellAt(row, column);
  if (cell == nullptr) return 0.0;
  if (const auto* v = std::get_if<double>(cell)) return *v;
  if (const auto* v = std::get_if<std::int32_t>(cell)) return *v;
  if (const auto* v = std::get_if<std::int64_t>(cell)) return static_cast<double>(*v);
  if (const auto* v = std::get_if<std::string>(cell)) return ParseDouble(*v).value_or(0.0);
  return 0.0;
}

std::string TDataTable::GetAsString(int row, int column) {
  const Cell* cell = CellAt(row, column);
  if (cell == nullptr) return {};
  if (const auto* v = std::get_if<std::string>(cell)) return *v;
  if (const auto* v = std::get_if<std::int32_t>(cell)) return std::to_string(*v);
  if (const auto* v = std::get_if<std::int64_t>(cell)) return std::to_string(*v);
  if (const auto* v = std::get_if<double>(cell)) return fmt::format("{}", *v);
  return {};
}

std::shared_ptr<IDataSet> TDataTable::GetAsDataSet(int row, int column) {
  const Cell* cell = CellAt(row, column);
  if (cell == nullptr) return nullptr;
  const auto* v = std::get_if<std::shared_ptr<IDataSet>>(cell);
  return v ? *v : nullptr;
}

std::string FieldName(IDataSet& data, int column) {
  PFieldInfo info = data.GetFieldInfo(column);
  return info ? std::string(info->name, strnlen(info->name, sizeof info->name)) : std::string();
}

std::string FieldTypeName(IDataSet& data, int column) {
  PFieldInfo info = data.GetFieldInfo(column);
  return info ? std::string(info->typeName, strnlen(info->typeName, sizeof info->typeName)) : std::string();
}

}  // namespace kdp::host
