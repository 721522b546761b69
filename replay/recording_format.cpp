#include "recording_format.h"

#include <zlib.h>
#include <zstd.h>

#include <cmath>
#include <cstring>
#include <limits>

#include <fmt/format.h>

namespace kdp::replay {
namespace {

using host::ByteReader;
using host::ByteWriter;

template <class Length>
bool WriteText(ByteWriter& out, std::string_view text, std::string& error) {
  if (text.size() > std::numeric_limits<Length>::max()) {
    error = fmt::format("a text of {} bytes", text.size());
    return false;
  }
  out.Write(static_cast<Length>(text.size()));
  out.WriteBytes(text);
  return true;
}

template <class Length>
bool ReadText(ByteReader& in, std::string& text, const char* what) {
  Length length = 0;
  std::string_view view;
  if (!in.Read(length, what) || !in.ReadView(length, view, what)) return false;
  text.assign(view);
  return true;
}

bool WritePayload(const Record& record, ByteWriter& out, std::string& error) {
  switch (record.kind) {
    case RecordKind::kQuotes:
    case RecordKind::kHistoryData:
      return !record.data || host::EncodeDataSet(*record.data, out.Buffer(), error);
    case RecordKind::kResponse:
      for (std::int32_t n : record.numbers) out.Write(n);
      return true;
    case RecordKind::kHisData:
      out.Write(record.numbers[0]);
      out.Write(record.numbers[1]);
      return true;
    case RecordKind::kRequest:
      out.Write(record.numbers[0]);
      out.Write(static_cast<std::uint32_t>(record.params.size()));
      for (const auto& [key, value] : record.params) {
        if (!WriteText<std::uint16_t>(out, key, error) || !WriteText<std::uint32_t>(out, value, error)) return false;
      }
      return true;
    case RecordKind::kSubscribe:
      out.Write(static_cast<std::uint32_t>(record.symbols.size()));
      for (const auto& symbol : record.symbols) {
        if (!WriteText<std::uint16_t>(out, symbol.KoraCode, error)) return false;
        out.Write(static_cast<std::uint32_t>(symbol.ItemIDs.size()));
        for (std::uint32_t id : symbol.ItemIDs) out.Write(id);
      }
      return true;
    case RecordKind::kUnsubscribe:
      return true;
    case RecordKind::kConnect:
    case RecordKind::kLedChange:
      out.Write(record.numbers[0]);
      return true;
  }
  error = fmt::format("record kind {}", static_cast<int>(record.kind));
  return false;
}

// A count of items that take at least `minimum` bytes each, checked against what is left.
bool ReadCount(ByteReader& in, std::uint32_t& count, std::size_t minimum, const char* what) {
  if (!in.Read(count, what)) return false;
  if (std::uint64_t{count} * minimum > in.Remaining())
    return in.Fail(fmt::format("{} {} beyond the bytes left", what, count));
  return true;
}

bool ReadPayload(ByteReader& in, Record& record, host::TDataTableRecycler* recycler) {
  switch (record.kind) {
    case RecordKind::kQuotes:
    case RecordKind::kHistoryData: {
      if (in.Remaining() == 0) return true;  // a null data set
      std::size_t used = 0;
      std::string error;
      auto data = host::DecodeDataSet(in.Rest(), used, error, recycler);
      if (!data) return in.FailWith("data set: " + error);
      record.data = std::move(data);
      return in.Skip(used, "data set");
    }
    case RecordKind::kResponse:
      return in.Read(record.numbers[0], "error code") && in.Read(record.numbers[1], "return ID") &&
             in.Read(record.numbers[2], "command ID");
    case RecordKind::kHisData:
      return in.Read(record.numbers[0], "history notice") && in.Read(record.numbers[1], "history notice");
    case RecordKind::kRequest: {
      std::uint32_t count = 0;
      if (!in.Read(record.numbers[0], "command ID") || !ReadCount(in, count, 6, "parameter count")) {
        return false;
      }
      for (std::uint32_t i = 0; i < count; ++i) {
        std::string key, value;
        if (!ReadText<std::uint16_t>(in, key, "parameter key") ||
            !ReadText<std::uint32_t>(in, value, "parameter value"))
          return false;
        record.params[std::move(key)] = std::move(value);
      }
      return true;
    }
    case RecordKind::kSubscribe: {
      std::uint32_t count = 0;
      if (!ReadCount(in, count, 6, "security count")) return false;
      for (std::uint32_t i = 0; i < count; ++i) {
        host::TKrSpeedSymbolData symbol;
        std::uint32_t ids = 0;
        if (!ReadText<std::uint16_t>(in, symbol.KoraCode, "security code") || !ReadCount(in, ids, 4, "field ID count"))
          return false;
        symbol.ItemIDs.resize(ids);
        for (std::uint32_t& id : symbol.ItemIDs) in.Read(id, "field ID");  // the count was checked
        record.symbols.push_back(std::move(symbol));
      }
      return true;
    }
    case RecordKind::kUnsubscribe:
      return true;
    case RecordKind::kConnect:
      return in.Read(record.numbers[0], "connect code");
    case RecordKind::kLedChange:
      return in.Read(record.numbers[0], "LED status");
  }
  return in.Fail(fmt::format("record kind {}", static_cast<int>(record.kind)));
}

}  // namespace

std::string RecordingHeader(std::uint16_t version) {
  std::string header(kRecordingMagic);
  ByteWriter out(header);
  out.Write(version);
  out.Write(std::uint16_t{0});
  return header;
}

std::uint64_t MaxCompressedBytes(std::uint16_t version, std::size_t raw) {
  return version == kZlibRecordingVersion ? compressBound(static_cast<uLong>(raw)) : ZSTD_compressBound(raw);
}

std::string MakeBlock(std::string_view raw, std::uint32_t records, std::string& error, std::uint16_t version) {
  std::string block(kBlockHeaderBytes + MaxCompressedBytes(version, raw.size()), '\0');
  auto* payload = reinterpret_cast<std::uint8_t*>(block.data() + kBlockHeaderBytes);
  std::size_t compressed = block.size() - kBlockHeaderBytes;
  if (version == kZlibRecordingVersion) {
    uLongf size = compressed;
    if (compress2(payload, &size, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
      error = fmt::format("zlib could not compress a block of {} bytes", raw.size());
      return {};
    }
    compressed = size;
  } else {
    compressed = ZSTD_compress(payload, compressed, raw.data(), raw.size(), ZSTD_CLEVEL_DEFAULT);
    if (ZSTD_isError(compressed)) {
      error = fmt::format("zstd could not compress a block of {} bytes: {}", raw.size(), ZSTD_getErrorName(compressed));
      return {};
    }
  }
  std::string header;
  ByteWriter head(header);
  head.Write(static_cast<std::uint32_t>(compressed));
  head.Write(static_cast<std::uint32_t>(raw.size()));
  head.Write(records);
  head.Write(static_cast<std::uint32_t>(crc32(0L, payload, static_cast<uInt>(compressed))));
  block.replace(0, kBlockHeaderBytes, header);
  block.resize(kBlockHeaderBytes + compressed);
  return block;
}

bool EncodeRecord(const Record& record, std::string& out, std::string& error) {
  const std::size_t start = out.size();
  ByteWriter writer(out);
  writer.Write(static_cast<std::uint8_t>(record.kind));
  writer.Write(record.request);
  writer.Write(record.serverTime.value);
  writer.Write(std::uint32_t{0});  // the payload size, set below
  const std::size_t payload = out.size();
  if (!WritePayload(record, writer, error)) {
    out.resize(start);
    return false;
  }
  if (out.size() - payload > std::numeric_limits<std::uint32_t>::max()) {
    out.resize(start);
    error = "a record of 4 GiB or more";
    return false;
  }
  const auto size = static_cast<std::uint32_t>(out.size() - payload);
  std::memcpy(out.data() + payload - sizeof size, &size, sizeof size);
  return true;
}

bool DecodeRecord(ByteReader& in, Record& record, host::TDataTableRecycler* recycler) {
  record = Record{};
  const std::size_t start = in.Position();
  std::uint8_t kind = 0;
  std::uint32_t size = 0;
  if (!in.Read(kind, "record kind") || !in.Read(record.request, "data request number") ||
      !in.Read(record.serverTime.value, "server time") || !in.Read(size, "payload size")) {
    return false;
  }
  if (kind < static_cast<std::uint8_t>(RecordKind::kQuotes) || kind > static_cast<std::uint8_t>(RecordKind::kLedChange))
    return in.FailWith(fmt::format("record kind {} at byte {}", kind, start));
  if (!std::isfinite(record.serverTime.value))
    return in.FailWith(fmt::format("server time not a number in the record at byte {}", start));
  std::string_view payload;
  if (!in.ReadView(size, payload, "payload")) return false;
  record.kind = static_cast<RecordKind>(kind);
  // Positions inside the payload count from its start.
  ByteReader inside({reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()});
  if (!ReadPayload(inside, record, recycler)) {
    return in.FailWith(fmt::format("record at byte {}: {} of its payload", start, inside.Error()));
  }
  if (inside.Remaining() != 0) {
    return in.FailWith(fmt::format("record at byte {}: {} bytes after its payload", start, inside.Remaining()));
  }
  return true;
}

}  // namespace kdp::replay
