#include "kdp/host/data_set_codec.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "kdp/host/byte_reader.h"

namespace kdp::host {
namespace {

// Cell kinds.
constexpr std::uint8_t kEmpty = 0;
constexpr std::uint8_t kInt32 = 1;
constexpr std::uint8_t kInt64 = 2;
constexpr std::uint8_t kDouble = 3;
constexpr std::uint8_t kText = 4;
constexpr std::uint8_t kDataSet = 5;

constexpr std::size_t kMaxNameBytes = sizeof(TFieldInfo::name) - 1;

// The cells a table counts against the limit: a row of a table without columns costs one, as it does
// in the layout.
std::uint64_t CellCount(std::uint64_t rows, std::uint64_t columns) {
  return rows * std::max<std::uint64_t>(columns, 1);
}

class Encoder {
 public:
  explicit Encoder(std::string& out) : out_(out) {}

  bool Table(IDataSet& data, int depth) {
    if (depth > kMaxDataSetDepth) return Fail(fmt::format("a data set nested deeper than {} levels", kMaxDataSetDepth));
    const int columns = std::max(data.GetFieldCount(), 0);
    const int rows = std::max(data.GetRowCount(), 0);
    if (columns > std::numeric_limits<std::uint16_t>::max()) return Fail(fmt::format("{} columns", columns));
    cells_ += CellCount(static_cast<std::uint64_t>(rows), static_cast<std::uint64_t>(columns));
    if (cells_ > kMaxDataSetCells) return Fail(fmt::format("more than {} cells", kMaxDataSetCells));

    std::vector<std::string> types;
    out_.Write(static_cast<std::uint16_t>(columns));
    for (int c = 0; c < columns; ++c) {
      Name(FieldName(data, c));
      types.push_back(FieldTypeName(data, c));
      Name(types.back());
    }
    out_.Write(static_cast<std::uint32_t>(rows));
    auto* table = dynamic_cast<TDataTable*>(&data);
    for (int r = 0; r < rows; ++r) {
      if (columns == 0) out_.Write(std::uint8_t{0});
      for (int c = 0; c < columns; ++c) {
        const bool written = table != nullptr ? StoredCell(*table, r, c, depth)
                                              : TypedCell(data, r, c, types[static_cast<std::size_t>(c)], depth);
        if (!written) return false;
      }
    }
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
  }

  void Name(const std::string& name) {
    const std::size_t n = std::min(name.size(), kMaxNameBytes);
    out_.Write(static_cast<std::uint8_t>(n));
    out_.WriteBytes(std::string_view(name).substr(0, n));
  }

  bool Text(std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) return Fail("a text of 4 GiB or more");
    out_.Write(kText);
    out_.Write(static_cast<std::uint32_t>(text.size()));
    out_.WriteBytes(text);
    return true;
  }

  bool Nested(const std::shared_ptr<IDataSet>& nested, int depth) {
    if (!nested) {
      out_.Write(kEmpty);
      return true;
    }
    out_.Write(kDataSet);
    return Table(*nested, depth + 1);
  }

  bool StoredCell(const TDataTable& table, int row, int column, int depth) {
    const TDataTable::Cell& cell = *table.CellAt(row, column);
    if (const auto* v = std::get_if<std::int32_t>(&cell)) {
      out_.Write(kInt32);
      out_.Write(*v);
    } else if (const auto* v = std::get_if<std::int64_t>(&cell)) {
      out_.Write(kInt64);
      out_.Write(*v);
    } else if (const auto* v = std::get_if<double>(&cell)) {
      out_.Write(kDouble);
      out_.Write(*v);
    } else if (const auto* v = std::get_if<std::string>(&cell)) {
      return Text(*v);
    } else if (const auto* v = std::get_if<std::shared_ptr<IDataSet>>(&cell)) {
      return Nested(*v, depth);
    } else {
      out_.Write(kEmpty);
    }
    return true;
  }

  bool TypedCell(IDataSet& data, int row, int column, const std::string& type, int depth) {
    if (type == "int") {
      out_.Write(kInt32);
      out_.Write(data.GetAsInteger(row, column));
    } else if (type == "int64") {
      out_.Write(kInt64);
      out_.Write(data.GetAsInt64(row, column));
    } else if (type == "double") {
      out_.Write(kDouble);
      out_.Write(data.GetAsDouble(row, column));
    } else if (type == "dataset") {
      return Nested(data.GetAsDataSet(row, column), depth);
    } else {
      return Text(data.GetAsString(row, column));
    }
    return true;
  }

  ByteWriter out_;
  std::uint64_t cells_ = 0;
  std::string error_;
};

// A copy of `data` as the table it is, or nullptr.
std::shared_ptr<TDataTable> AsTable(const std::shared_ptr<IDataSet>& data) {
  return AsDataTable(data.get()) != nullptr ? std::static_pointer_cast<TDataTable>(data) : nullptr;
}

// Whether a stored field name (NUL-padded) is `text`.
bool StoredNameIs(const char (&stored)[32], std::string_view text) {
  return text.size() < sizeof stored && std::memcmp(stored, text.data(), text.size()) == 0 && stored[text.size()] == 0;
}

class Decoder {
 public:
  Decoder(std::span<const std::uint8_t> bytes, TDataTableRecycler* recycler) : in_(bytes), recycler_(recycler) {}

  // Decodes a table into `table` when one is given (a spare one refilled in place), else into a new one.
  std::shared_ptr<TDataTable> Table(int depth, std::shared_ptr<TDataTable> table) {
    if (depth > kMaxDataSetDepth) {
      in_.Fail(fmt::format("a data set nested deeper than {} levels", kMaxDataSetDepth));
      return nullptr;
    }
    if (!table) table = std::make_shared<TDataTable>();
    int columns = 0;
    if (TDataTable* layout = recycler_ != nullptr ? recycler_->KnownLayoutAt(in_) : nullptr) {
      if (table->GetFieldsIdentity() != layout->GetFieldsIdentity()) table->ResetToColumnsOf(*layout);
      columns = layout->GetFieldCount();
    } else {
      const auto encodedStart = in_.Rest();
      if (!Columns(*table)) return nullptr;
      columns = table->GetFieldCount();
      if (recycler_ != nullptr) recycler_->AddLayout(encodedStart.first(encodedStart.size() - in_.Remaining()), *table);
    }
    std::uint32_t rows = 0;
    if (!in_.Read(rows, "row count")) return nullptr;
    const std::uint64_t cells = CellCount(rows, columns);
    if (cells > in_.Remaining()) {
      in_.Fail(fmt::format("{} rows beyond the bytes left", rows));
      return nullptr;
    }
    cells_ += cells;
    if (cells_ > kMaxDataSetCells) {
      in_.Fail(fmt::format("more than {} cells", kMaxDataSetCells));
      return nullptr;
    }
    table->ResizeRows(static_cast<int>(rows));  // the rows' bytes are there: the count is bounded
    for (std::uint32_t r = 0; r < rows; ++r) {
      if (columns == 0) {
        std::uint8_t marker = 1;
        if (!in_.Read(marker, "empty row")) return nullptr;
        if (marker != 0) {
          in_.Fail(fmt::format("empty row marked {}", marker));
          return nullptr;
        }
      }
      for (int c = 0; c < columns; ++c) {
        if (!Cell(*table->MutableCellAt(static_cast<int>(r), c), depth)) return nullptr;
      }
    }
    return table;
  }

  ByteReader& In() { return in_; }

 private:
  // Reads the column count and columns and gives `table` those columns, keeping its own when they are the
  // same.
  bool Columns(TDataTable& table) {
    std::uint16_t columns = 0;
    if (!in_.Read(columns, "column count")) return false;
    if (std::size_t{columns} * 2 > in_.Remaining()) {
      return in_.Fail(fmt::format("{} columns beyond the bytes left", columns));
    }
    columns_.clear();
    for (int c = 0; c < columns; ++c) {
      std::string_view name, type;
      if (!Name(name, "column name") || !Name(type, "column type name")) return false;
      columns_.emplace_back(name, type);
    }
    if (!HasColumns(table)) {
      table.Clear();
      table.Reserve(columns, 0);
      for (const auto& [name, type] : columns_) table.AddField(name, type);
    }
    return true;
  }

  // Whether the table's columns are the ones just read.
  bool HasColumns(TDataTable& table) const {
    if (static_cast<std::size_t>(table.GetFieldCount()) != columns_.size()) return false;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      PFieldInfo info = table.GetFieldInfo(static_cast<int>(c));
      if (!StoredNameIs(info->name, columns_[c].first) || !StoredNameIs(info->typeName, columns_[c].second))
        return false;
    }
    return true;
  }

  // The nested table a cell of a spare table holds, taken out to be refilled, when nobody else holds it.
  // It is looked at through a copy: the copy's count increment orders whatever a former holder did with the
  // table, on whichever thread, before its release and so before the refill.
  static std::shared_ptr<TDataTable> Refillable(TDataTable::Cell& cell) {
    auto* held = std::get_if<std::shared_ptr<IDataSet>>(&cell);
    if (held == nullptr) return nullptr;
    auto table = AsTable(*held);
    if (!table || table.use_count() != 2) return nullptr;  // the cell's and the copy's
    held->reset();
    return table;
  }

  bool Name(std::string_view& name, const char* what) {
    std::uint8_t length = 0;
    if (!in_.Read(length, what)) return false;
    if (length > kMaxNameBytes) return in_.Fail(fmt::format("{} of {} bytes", what, length));
    return in_.ReadView(length, name, what);
  }

  template <class T>
  bool Scalar(TDataTable::Cell& cell, const char* what) {
    T value{};
    if (!in_.Read(value, what)) return false;
    cell = value;
    return true;
  }

  // Decodes a cell over whatever it held.
  bool Cell(TDataTable::Cell& cell, int depth) {
    std::uint8_t kind = 0;
    if (!in_.Read(kind, "cell kind")) return false;
    switch (kind) {
      case kEmpty:
        cell = std::monostate{};
        return true;
      case kInt32:
        return Scalar<std::int32_t>(cell, "int32 cell");
      case kInt64:
        return Scalar<std::int64_t>(cell, "int64 cell");
      case kDouble:
        return Scalar<double>(cell, "double cell");
      case kText: {
        std::uint32_t length = 0;
        std::string_view text;
        if (!in_.Read(length, "text length") || !in_.ReadView(length, text, "text")) return false;
        if (auto* stored = std::get_if<std::string>(&cell)) {
          stored->assign(text);
        } else {
          cell = std::string(text);
        }
        return true;
      }
      case kDataSet: {
        auto nested = Table(depth + 1, Refillable(cell));
        if (!nested) return false;
        cell = std::shared_ptr<IDataSet>(std::move(nested));
        return true;
      }
      default:
        return in_.Fail(fmt::format("cell kind {}", kind));
    }
  }

  ByteReader in_;
  TDataTableRecycler* const recycler_;
  std::uint64_t cells_ = 0;
  // The columns of the table being read (views into the bytes), until its cells are read.
  std::vector<std::pair<std::string_view, std::string_view>> columns_;
};

}  // namespace

bool EncodeDataSet(IDataSet& data, std::string& out, std::string& error) {
  const std::size_t start = out.size();
  Encoder encoder(out);
  if (encoder.Table(data, 1)) return true;
  out.resize(start);
  error = encoder.Error();
  return false;
}

void TDataTableRecycler::Recycle(std::shared_ptr<IDataSet> data) {
  if (spare_.size() >= kMaxSpareTables) return;
  // Looked at through a copy, as a nested table is when refilled: a holder that let go on another thread
  // is then done with it before the refill.
  auto table = AsTable(data);
  if (table && table.use_count() == 2) spare_.push_back(std::move(table));  // else read elsewhere: released
}

TDataTable* TDataTableRecycler::KnownLayoutAt(ByteReader& in) {
  // The encoding delimits itself: bytes that start with a known layout's encoding hold that layout.
  const auto rest = in.Rest();
  for (auto& [encoded, layout] : layouts_) {
    if (encoded.size() <= rest.size() && std::memcmp(encoded.data(), rest.data(), encoded.size()) == 0) {
      in.Skip(encoded.size(), "columns");
      return layout.get();
    }
  }
  return nullptr;
}

void TDataTableRecycler::AddLayout(std::span<const std::uint8_t> encodedColumns, const TDataTable& table) {
  if (layouts_.size() >= kMaxLayouts) return;
  auto layout = std::make_unique<TDataTable>();
  layout->ResetToColumnsOf(table);
  layouts_.emplace_back(std::string(encodedColumns.begin(), encodedColumns.end()), std::move(layout));
}

std::shared_ptr<TDataTable> TDataTableRecycler::Take() {
  if (spare_.empty()) return nullptr;
  auto table = std::move(spare_.front());
  spare_.pop_front();
  return table;
}

std::shared_ptr<TDataTable> DecodeDataSet(std::span<const std::uint8_t> bytes, std::size_t& used, std::string& error,
                                          TDataTableRecycler* recycler) {
  Decoder decoder(bytes, recycler);
  auto table = decoder.Table(1, recycler != nullptr ? recycler->Take() : nullptr);
  if (!table) {
    error = decoder.In().Error();
    return nullptr;
  }
  used = decoder.In().Position();
  return table;
}

}  // namespace kdp::host
