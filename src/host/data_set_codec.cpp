#include "kdp/host/data_set_codec.h"

#include <algorithm>
#include <limits>

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

class Decoder {
 public:
  explicit Decoder(std::span<const std::uint8_t> bytes) : in_(bytes) {}

  std::shared_ptr<TDataTable> Table(int depth) {
    if (depth > kMaxDataSetDepth) {
      in_.Fail(fmt::format("a data set nested deeper than {} levels", kMaxDataSetDepth));
      return nullptr;
    }
    std::uint16_t columns = 0;
    if (!in_.Read(columns, "column count")) return nullptr;
    if (std::size_t{columns} * 2 > in_.Remaining()) {
      in_.Fail(fmt::format("{} columns beyond the bytes left", columns));
      return nullptr;
    }
    auto table = std::make_shared<TDataTable>();
    table->Reserve(columns, 0);
    for (int c = 0; c < columns; ++c) {
      std::string_view name, type;
      if (!Name(name, "column name") || !Name(type, "column type name")) return nullptr;
      table->AddField(name, type);
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
    table->Reserve(0, static_cast<int>(rows));  // the rows' bytes are there: the count is bounded
    for (std::uint32_t r = 0; r < rows; ++r) {
      const int row = table->AddRow();
      if (columns == 0) {
        std::uint8_t marker = 1;
        if (!in_.Read(marker, "empty row")) return nullptr;
        if (marker != 0) {
          in_.Fail(fmt::format("empty row marked {}", marker));
          return nullptr;
        }
      }
      for (int c = 0; c < columns; ++c) {
        TDataTable::Cell cell;
        if (!Cell(cell, depth)) return nullptr;
        table->Set(row, c, std::move(cell));
      }
    }
    return table;
  }

  ByteReader& In() { return in_; }

 private:
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

  bool Cell(TDataTable::Cell& cell, int depth) {
    std::uint8_t kind = 0;
    if (!in_.Read(kind, "cell kind")) return false;
    switch (kind) {
      case kEmpty:
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
        cell = std::string(text);
        return true;
      }
      case kDataSet: {
        auto nested = Table(depth + 1);
        if (!nested) return false;
        cell = std::shared_ptr<IDataSet>(std::move(nested));
        return true;
      }
      default:
        return in_.Fail(fmt::format("cell kind {}", kind));
    }
  }

  ByteReader in_;
  std::uint64_t cells_ = 0;
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

std::shared_ptr<TDataTable> DecodeDataSet(std::span<const std::uint8_t> bytes, std::size_t& used, std::string& error) {
  Decoder decoder(bytes);
  auto table = decoder.Table(1);
  if (!table) {
    error = decoder.In().Error();
    return nullptr;
  }
  used = decoder.In().Position();
  return table;
}

}  // namespace kdp::host
