#include "kdp/host/data_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

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

void TDataTable::Reserve(int columns, int rows) {
  if (columns > 0) {
    if (!fields_) fields_ = std::make_shared<Fields>();
    if (fields_.use_count() == 1) fields_->reserve(static_cast<std::size_t>(columns));
    if (rows_ == 0) stride_ = std::max(stride_, static_cast<std::size_t>(columns));
  }
  if (rows > 0) cells_.reserve(stride_ * static_cast<std::size_t>(rows));
}

int TDataTable::AddField(std::string_view name, std::string_view typeName) {
  TFieldInfo info{};
  CopyName(info.name, name);
  CopyName(info.typeName, typeName);
  if (!fields_) {
    fields_ = std::make_shared<Fields>();
  } else if (fields_.use_count() > 1) {
    fields_ = std::make_shared<Fields>(*fields_);
  }
  Fields& fields = *fields_;
  fields.push_back(info);
  columns_ = static_cast<int>(fields.size());
  if (fields.size() > stride_) {
    const std::size_t wider = rows_ == 0 ? fields.size() : std::max(fields.size(), 2 * stride_);
    if (rows_ > 0) {
      std::vector<Cell> cells(wider * static_cast<std::size_t>(rows_));
      for (std::size_t r = 0; r < static_cast<std::size_t>(rows_); ++r) {
        for (std::size_t c = 0; c + 1 < fields.size(); ++c) cells[r * wider + c] = std::move(cells_[r * stride_ + c]);
      }
      cells_ = std::move(cells);
    }
    stride_ = wider;
  }
  return static_cast<int>(fields.size()) - 1;
}

int TDataTable::AddRow() {
  cells_.resize(cells_.size() + stride_);
  return rows_++;
}

void TDataTable::Set(int row, int column, Cell value) {
  if (row < 0 || column < 0 || row >= GetRowCount() || column >= GetFieldCount()) return;
  cells_[static_cast<std::size_t>(row) * stride_ + static_cast<std::size_t>(column)] = std::move(value);
}

bool TDataTable::ShareFieldsWith(const TDataTable& other) {
  if (fields_ == other.fields_) return true;
  static const Fields kNone;
  const Fields& mine = fields_ ? *fields_ : kNone;
  const Fields& theirs = other.fields_ ? *other.fields_ : kNone;
  const auto sameInfo = [](const TFieldInfo& a, const TFieldInfo& b) {
    return std::memcmp(a.name, b.name, sizeof a.name) == 0 &&
           std::memcmp(a.typeName, b.typeName, sizeof a.typeName) == 0;
  };
  if (!std::equal(mine.begin(), mine.end(), theirs.begin(), theirs.end(), sameInfo)) return false;
  fields_ = other.fields_;  // the same count: columns_ stays
  return true;
}

void TDataTable::ResetToColumnsOf(const TDataTable& layout) {
  Clear();
  fields_ = layout.fields_;
  columns_ = layout.columns_;
  stride_ = static_cast<std::size_t>(columns_);
}

void TDataTable::Clear() {
  // Field infos shared with other tables stay theirs; the table's own keep their memory.
  if (fields_.use_count() == 1) {
    fields_->clear();
  } else {
    fields_.reset();
  }
  columns_ = 0;
  cells_.clear();
  stride_ = 0;
  rows_ = 0;
}

void TDataTable::ResizeRows(int rows) {
  rows = std::max(rows, 0);
  cells_.resize(stride_ * static_cast<std::size_t>(rows));
  rows_ = rows;
}

TDataTable::Cell* TDataTable::MutableCellAt(int row, int column) {
  return const_cast<Cell*>(std::as_const(*this).CellAt(row, column));
}

PFieldInfo TDataTable::GetFieldInfo(int column) {
  return column >= 0 && column < GetFieldCount() ? &(*fields_)[static_cast<std::size_t>(column)] : nullptr;
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
