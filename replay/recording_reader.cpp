#include "recording_reader.h"

#include <zlib.h>
#include <zstd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

namespace kdp::replay {

bool RecordingReader::Open(const std::string& path, std::string& error) {
  auto file = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!*file) {
    error = fmt::format("cannot read {}: {}", path, std::strerror(errno));
    return false;
  }
  if (!OpenStream(std::move(file), error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool RecordingReader::OpenBytes(std::string bytes, std::string& error) {
  return OpenStream(std::make_unique<std::istringstream>(std::move(bytes)), error);
}

bool RecordingReader::OpenStream(std::unique_ptr<std::istream> in, std::string& error) {
  in->seekg(0, std::ios::end);
  const std::streamoff size = in->tellg();
  in->seekg(0, std::ios::beg);
  if (size < 0 || !*in) {
    error = "cannot tell the size";
    return false;
  }
  std::uint8_t header[kRecordingHeaderBytes];
  if (static_cast<std::uint64_t>(size) < sizeof header || !in->read(reinterpret_cast<char*>(header), sizeof header) ||
      std::memcmp(header, kRecordingMagic.data(), kRecordingMagic.size()) != 0) {
    error = "not a recording";
    return false;
  }
  host::ByteReader fields(std::span<const std::uint8_t>(header).subspan(kRecordingMagic.size()));
  std::uint16_t version = 0;
  fields.Read(version, "version");
  if (version != kRecordingVersion && version != kZlibRecordingVersion) {
    error = fmt::format("a recording of version {}; this reader reads versions {} and {}", version,
                        kZlibRecordingVersion, kRecordingVersion);
    return false;
  }
  version_ = version;
  in_ = std::move(in);
  offset_ = sizeof header;
  outcome_ = Outcome{};
  outcome_.fileBytes = static_cast<std::uint64_t>(size);
  outcome_.goodBytes = offset_;
  stopped_ = false;
  block_.reset();
  block_records_ = 0;
  return true;
}

bool RecordingReader::Stop(std::string reason) {
  stopped_ = true;
  outcome_.complete = false;
  outcome_.reason = std::move(reason);
  return false;
}

bool RecordingReader::Next(Record& record) {
  while (!stopped_ && in_) {
    if (block_records_ > 0) {
      if (!DecodeRecord(*block_, record, &recycler_)) {
        return Stop(fmt::format("block {} at byte {}: {}", outcome_.blocks + 1, block_start_, block_->Error()));
      }
      --block_records_;
      ++outcome_.records;
      return true;
    }
    if (block_) {
      if (block_->Remaining() != 0) {
        return Stop(fmt::format("block {} at byte {}: {} bytes after its last record", outcome_.blocks + 1,
                                block_start_, block_->Remaining()));
      }
      block_.reset();
      ++outcome_.blocks;
      outcome_.goodBytes = offset_;
    }
    if (!NextBlock()) return false;
  }
  return false;
}

bool RecordingReader::NextBlock() {
  if (offset_ == outcome_.fileBytes) {
    stopped_ = true;
    return false;
  }
  block_start_ = offset_;
  const std::uint64_t number = outcome_.blocks + 1;
  const std::uint64_t left = outcome_.fileBytes - offset_;
  const auto where = [&] { return fmt::format("block {} at byte {}", number, block_start_); };
  if (left < kBlockHeaderBytes) {
    return Stop(fmt::format("{} is cut short: {} of its {} header bytes", where(), left, kBlockHeaderBytes));
  }
  std::uint8_t head[kBlockHeaderBytes];
  in_->seekg(static_cast<std::streamoff>(offset_));
  if (!in_->read(reinterpret_cast<char*>(head), sizeof head)) return Stop(where() + ": the header does not read");
  host::ByteReader fields(head);
  std::uint32_t compressed = 0, raw = 0, records = 0, crc = 0;
  fields.Read(compressed, "compressed size");
  fields.Read(raw, "raw size");
  fields.Read(records, "record count");
  fields.Read(crc, "CRC");
  if (raw == 0 || raw > kMaxBlockRawBytes) return Stop(fmt::format("{} claims {} raw bytes", where(), raw));
  if (records == 0 || records > raw / kRecordHeaderBytes) {
    return Stop(fmt::format("{} claims {} records in {} bytes", where(), records, raw));
  }
  if (compressed == 0 || compressed > MaxCompressedBytes(version_, raw)) {
    return Stop(fmt::format("{} claims {} compressed bytes for {}", where(), compressed, raw));
  }
  if (compressed > left - kBlockHeaderBytes) {
    return Stop(fmt::format("{} is cut short: {} of its {} bytes", where(), left, kBlockHeaderBytes + compressed));
  }
  compressed_.resize(compressed);
  if (!in_->read(reinterpret_cast<char*>(compressed_.data()), compressed)) {
    return Stop(where() + ": its bytes do not read");
  }
  if (crc32(0L, compressed_.data(), compressed) != crc) return Stop(where() + " fails its CRC");
  raw_.resize(raw);
  if (!Decompress(raw)) return Stop(fmt::format("{} does not decompress to its {} bytes", where(), raw));
  offset_ += kBlockHeaderBytes + compressed;
  block_records_ = records;
  block_ = std::make_unique<host::ByteReader>(std::span<const std::uint8_t>(raw_));
  return true;
}

bool RecordingReader::Decompress(std::uint32_t raw) {
  if (version_ == kZlibRecordingVersion) return Inflate(raw);
  if (!decompressor_) {
    decompressor_.reset(ZSTD_createDCtx());
    if (!decompressor_) return false;
  }
  const std::size_t size =
      ZSTD_decompressDCtx(decompressor_.get(), raw_.data(), raw, compressed_.data(), compressed_.size());
  return !ZSTD_isError(size) && size == raw;
}

bool RecordingReader::Inflate(std::uint32_t raw) {
  if (!inflater_) {
    inflater_.reset(new z_stream{});
    if (inflateInit(inflater_.get()) != Z_OK) {
      inflater_.reset();
      return false;
    }
  } else if (inflateReset(inflater_.get()) != Z_OK) {
    return false;
  }
  // The block's CRC-32 has checked its bytes already; zlib's Adler-32 of the inflated bytes would check
  // them again at a tenth of the replay's reading time.
  inflateValidate(inflater_.get(), 0);
  inflater_->next_in = compressed_.data();
  inflater_->avail_in = static_cast<uInt>(compressed_.size());
  inflater_->next_out = raw_.data();
  inflater_->avail_out = raw;
  return inflate(inflater_.get(), Z_FINISH) == Z_STREAM_END && inflater_->total_out == raw;
}

void RecordingReader::InflaterEnd::operator()(z_stream_s* stream) const {
  inflateEnd(stream);
  delete stream;
}

void RecordingReader::DecompressorEnd::operator()(ZSTD_DCtx_s* context) const { ZSTD_freeDCtx(context); }

std::string RecordingReader::Describe() const {
  if (outcome_.complete) {
    return fmt::format("{} records in {} blocks, the whole file ({} bytes)", outcome_.records, outcome_.blocks,
                       outcome_.fileBytes);
  }
  return fmt::format("stopped at byte {} of {} after {} records: {}", outcome_.goodBytes, outcome_.fileBytes,
                     outcome_.records, outcome_.reason);
}

}  // namespace kdp::replay
