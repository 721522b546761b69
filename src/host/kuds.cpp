#include "kdp/host/kuds.h"

#include <zlib.h>

#include <cstring>

#include <fmt/format.h>

#include "kdp/host/serializer.h"
#include "kdp/host/unzip.h"

namespace kdp::host {
namespace {

constexpr char kMagic[4] = {'K', 'U', 'D', 'S'};
constexpr std::size_t kMaxInflatedBytes = std::size_t{64} << 20;
constexpr std::uint8_t kB1Uncompressed = 0;
constexpr std::uint8_t kB1Zlib = 1;

const TKUDSValue kEmptyValue;

bool KnownType(std::uint8_t type) {
  return type >= static_cast<std::uint8_t>(TKUDSColumnType::kInt32) &&
         type <= static_cast<std::uint8_t>(TKUDSColumnType::kString);
}

// Reads a stream's fields in order and remembers what it was reading when the bytes ran out or lied.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : stream_(bytes), in_(stream_) {}

  bool Byte(std::uint8_t& v, const char* what) { return Check(in_.ReadByte(v), what); }
  bool Word(std::uint16_t& v, const char* what) { return Check(in_.ReadWord(v), what); }
  bool LongWord(std::uint32_t& v, const char* what) { return Check(in_.ReadLongWord(v), what); }
  bool Int32(std::int32_t& v, const char* what) {
    std::uint32_t raw = 0;
    if (!LongWord(raw, what)) return false;
    v = static_cast<std::int32_t>(raw);
    return true;
  }
  bool Int64(std::int64_t& v, const char* what) { return Check(in_.ReadInt64(v), what); }
  bool Double(double& v, const char* what) { return Check(in_.ReadDouble(v), what); }
  bool Ansi(std::string& v, const char* what) { return Check(in_.ReadAnsiString(v), what); }
  bool Raw(void* data, std::size_t n, const char* what) { return Check(stream_.Read(data, n) == n, what); }

  // A false check with the reason.
  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = fmt::format("{} at byte {}", why, stream_.Position());
    return false;
  }
  std::size_t Remaining() const { return stream_.Remaining(); }
  const std::string& Error() const { return error_; }

 private:
  bool Check(bool ok, const char* what) { return ok || Fail(fmt::format("truncated {}", what)); }

  MemoryStream stream_;
  TStreamSerializer in_;
  std::string error_;
};

bool ReadValue(Reader& in, TKUDSColumnType type, TKUDSValue& value) {
  switch (type) {
    case TKUDSColumnType::kInt32: {
      std::int32_t v = 0;
      if (!in.Int32(v, "int32 value")) return false;
      value = v;
      return true;
    }
    case TKUDSColumnType::kInt64: {
      std::int64_t v = 0;
      if (!in.Int64(v, "int64 value")) return false;
      value = v;
      return true;
    }
    case TKUDSColumnType::kDouble: {
      double v = 0;
      if (!in.Double(v, "double value")) return false;
      value = v;
      return true;
    }
    case TKUDSColumnType::kString: {
      std::string v;
      if (!in.Ansi(v, "string value")) return false;
      value = std::move(v);
      return true;
    }
  }
  return in.Fail("unknown column type");
}

bool ReadReport(Reader& in, std::string& name, std::vector<TKUDSColumn>& columns, std::size_t& records,
                std::vector<TKUDSValue>& cells) {
  if (!in.Ansi(name, "report name")) return false;
  std::uint16_t columnCount = 0;
  if (!in.Word(columnCount, "column count")) return false;
  if (columnCount > kKudsMaxColumns)
    return in.Fail(fmt::format("{} columns (at most {})", columnCount, kKudsMaxColumns));
  for (std::uint16_t i = 0; i < columnCount; ++i) {
    TKUDSColumn column;
    std::uint8_t type = 0;
    if (!in.Ansi(column.name, "column name") || !in.Byte(type, "column type")) return false;
    if (!KnownType(type)) return in.Fail(fmt::format("unknown type {} of column {}", type, i));
    column.type = static_cast<TKUDSColumnType>(type);
    columns.push_back(std::move(column));
  }
  std::uint32_t recordCount = 0;
  if (!in.LongWord(recordCount, "record count")) return false;
  // Every cell takes at least its presence byte, so the count cannot exceed the bytes left.
  const std::size_t cellCount = static_cast<std::size_t>(recordCount) * columns.size();
  if (columns.empty() && recordCount != 0) return in.Fail(fmt::format("{} records without columns", recordCount));
  if (cellCount > in.Remaining())
    return in.Fail(fmt::format("{} records of {} columns in {} bytes", recordCount, columns.size(), in.Remaining()));
  if (cellCount > kKudsMaxCells) return in.Fail(fmt::format("{} cells (at most {})", cellCount, kKudsMaxCells));
  cells.reserve(cellCount);
  for (std::size_t cell = 0; cell < cellCount; ++cell) {
    std::uint8_t present = 0;
    if (!in.Byte(present, "presence byte")) return false;
    TKUDSValue& value = cells.emplace_back();
    if (present == 0) continue;
    if (present != 1) return in.Fail(fmt::format("presence byte {}", present));
    if (!ReadValue(in, columns[cell % columns.size()].type, value)) return false;
  }
  records = recordCount;
  return true;
}

bool Matches(const TKUDSValue& value, TKUDSColumnType type) {
  switch (value.index()) {
    case 0:
      return true;
    case 1:
      return type == TKUDSColumnType::kInt32;
    case 2:
      return type == TKUDSColumnType::kInt64;
    case 3:
      return type == TKUDSColumnType::kDouble;
    default:
      return type == TKUDSColumnType::kString;
  }
}

void WriteHeader(TStreamSerializer& out, std::int32_t result, const std::string& message, bool hasReport) {
  out.Stream().Write(kMagic, sizeof kMagic);
  out.WriteByte(kKudsVersion);
  out.WriteLongWord(static_cast<std::uint32_t>(result));
  out.WriteAnsiString(message);
  out.WriteByte(hasReport ? 1 : 0);
}

}  // namespace

// ---- TKUDSReport ----

int TKUDSReport::FindColumn(const std::string& name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

const TKUDSValue& TKUDSReport::GetValue(int record, int column) const {
  if (record < 0 || column < 0 || static_cast<std::size_t>(record) >= records_ ||
      static_cast<std::size_t>(column) >= columns_.size()) {
    return kEmptyValue;
  }
  return cells_[static_cast<std::size_t>(record) * columns_.size() + static_cast<std::size_t>(column)];
}

// ---- TKUDSResponse ----

bool TKUDSResponse::Decode(std::span<const std::uint8_t> stream, std::string& error) {
  *this = TKUDSResponse();
  Reader in(stream);
  char magic[4] = {};
  std::uint8_t version = 0;
  std::uint8_t hasReport = 0;
  std::int32_t result = 0;
  std::string message;
  bool ok = in.Raw(magic, sizeof magic, "magic") &&
            (std::memcmp(magic, kMagic, sizeof kMagic) == 0 || in.Fail("not a report stream (no \"KUDS\")")) &&
            in.Byte(version, "version") &&
            (version == kKudsVersion || in.Fail(fmt::format("unknown version {}", version))) &&
            in.Int32(result, "result") && in.Ansi(message, "message") && in.Byte(hasReport, "report flag") &&
            (hasReport <= 1 || in.Fail(fmt::format("report flag {}", hasReport)));
  std::optional<TKUDSReport> report;
  if (ok && hasReport == 1) {
    report.emplace();
    ok = ReadReport(in, report->name_, report->columns_, report->records_, report->cells_);
  }
  if (ok && in.Remaining() != 0) ok = in.Fail(fmt::format("{} bytes after the stream", in.Remaining()));
  if (!ok) {
    error = in.Error();
    return false;
  }
  result_ = result;
  message_ = std::move(message);
  report_ = std::move(report);
  return true;
}

// ---- TKUDSWriter ----

void TKUDSWriter::AddColumn(const std::string& name, TKUDSColumnType type) { columns_.push_back({name, type}); }

bool TKUDSWriter::AddRecord(const std::vector<TKUDSValue>& values) {
  if (values.size() != columns_.size()) return false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!Matches(values[i], columns_[i].type)) return false;
  }
  TStreamSerializer out(body_);
  for (const TKUDSValue& value : values) {
    out.WriteByte(value.index() == 0 ? 0 : 1);
    if (const auto* v = std::get_if<std::int32_t>(&value)) out.WriteLongWord(static_cast<std::uint32_t>(*v));
    if (const auto* v = std::get_if<std::int64_t>(&value)) out.WriteInt64(*v);
    if (const auto* v = std::get_if<double>(&value)) out.WriteDouble(*v);
    if (const auto* v = std::get_if<std::string>(&value)) out.WriteAnsiString(*v);
  }
  ++records_;
  return true;
}

MemoryStream TKUDSWriter::Finish(std::int32_t result, const std::string& message) const {
  MemoryStream stream;
  TStreamSerializer out(stream);
  WriteHeader(out, result, message, true);
  out.WriteAnsiString(name_);
  out.WriteWord(static_cast<std::uint16_t>(columns_.size()));
  for (const TKUDSColumn& column : columns_) {
    out.WriteAnsiString(column.name);
    out.WriteByte(static_cast<std::uint8_t>(column.type));
  }
  out.WriteLongWord(static_cast<std::uint32_t>(records_));
  stream.Write(body_.Data(), body_.Size());
  stream.SetPosition(0);
  return stream;
}

MemoryStream TKUDSWriter::WithoutReport(std::int32_t result, const std::string& message) {
  MemoryStream stream;
  TStreamSerializer out(stream);
  WriteHeader(out, result, message, false);
  stream.SetPosition(0);
  return stream;
}

// ---- status byte and B1 frames ----

std::optional<TStatusReply> SplitStatusByte(std::span<const std::uint8_t> reply) {
  if (reply.empty()) return std::nullopt;
  return TStatusReply{reply.back(), reply.first(reply.size() - 1)};
}

bool DecodeToKudsStream(std::span<const std::uint8_t> b1Reply, MemoryStream& kuds, std::string& error) {
  Reader in(b1Reply);
  std::uint8_t total[4] = {};
  std::int32_t result = 0;
  std::string message;
  std::uint8_t format = 0;
  std::uint8_t compression = 0;
  std::uint32_t payloadLength = 0;
  bool ok = in.Raw(total, sizeof total, "frame length");
  if (ok) {
    const std::uint32_t following = (std::uint32_t{total[0]} << 24) | (std::uint32_t{total[1]} << 16) |
                                    (std::uint32_t{total[2]} << 8) | std::uint32_t{total[3]};
    if (following != in.Remaining())
      ok = in.Fail(fmt::format("frame length {} for {} bytes", following, in.Remaining()));
  }
  ok = ok && in.Int32(result, "result") && in.Ansi(message, "message") && in.Byte(format, "format") &&
       (format == kB1FormatKuds || in.Fail(fmt::format("format {} is not a report stream", format))) &&
       in.Byte(compression, "compression") &&
       (compression <= kB1Zlib || in.Fail(fmt::format("unknown compression {}", compression))) &&
       in.LongWord(payloadLength, "payload length") &&
       (payloadLength == in.Remaining() ||
        in.Fail(fmt::format("payload length {} for {} bytes", payloadLength, in.Remaining())));
  if (!ok) {
    error = in.Error();
    return false;
  }
  if (result != 0) {
    error = fmt::format("server error {}: {}", result, message);
    return false;
  }
  const std::span<const std::uint8_t> payload = b1Reply.last(payloadLength);
  MemoryStream unwrapped;
  if (compression == kB1Uncompressed) {
    unwrapped.Write(payload.data(), payload.size());
  } else if (!UnZipToStream(payload, unwrapped, kMaxInflatedBytes)) {
    error = "the payload does not inflate";
    return false;
  }
  unwrapped.SetPosition(0);
  kuds = std::move(unwrapped);
  return true;
}

MemoryStream EncodeB1Reply(std::span<const std::uint8_t> kuds, bool compress, std::int32_t result,
                           const std::string& message) {
  std::vector<std::uint8_t> payload(kuds.begin(), kuds.end());
  if (compress) {
    uLongf size = compressBound(static_cast<uLong>(kuds.size()));
    payload.resize(size);
    if (compress2(payload.data(), &size, kuds.data(), static_cast<uLong>(kuds.size()), Z_BEST_SPEED) != Z_OK) {
      return EncodeB1Reply(kuds, false, result, message);
    }
    payload.resize(size);
  }
  MemoryStream frame;
  TStreamSerializer out(frame);
  out.WriteLongWord(0);  // the total, written last
  out.WriteLongWord(static_cast<std::uint32_t>(result));
  out.WriteAnsiString(message);
  out.WriteByte(kB1FormatKuds);
  out.WriteByte(compress ? kB1Zlib : kB1Uncompressed);
  out.WriteLongWord(static_cast<std::uint32_t>(payload.size()));
  frame.Write(payload.data(), payload.size());
  const auto following = static_cast<std::uint32_t>(frame.Size() - 4);
  const std::uint8_t total[4] = {static_cast<std::uint8_t>(following >> 24), static_cast<std::uint8_t>(following >> 16),
                                 static_cast<std::uint8_t>(following >> 8), static_cast<std::uint8_t>(following)};
  frame.SetPosition(0);
  frame.Write(total, sizeof total);
  frame.SetPosition(0);
  return frame;
}

}  // namespace kdp::host
