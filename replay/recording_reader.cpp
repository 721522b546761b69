#include "recording_reader.h"

#include <zlib.h>
#include <zstd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

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
  outcome_.stoppedEarly = true;
  outcome_.reason = std::move(reason);
  return false;
}

void RecordingReader::Skip(std::string why, std::uint64_t resume) {
  outcome_.complete = false;
  ++outcome_.skips;
  outcome_.skippedBytes += resume - block_start_;
  if (outcome_.firstSkip.empty()) outcome_.firstSkip = std::move(why);
  offset_ = resume;
  block_.reset();
  block_records_ = 0;
}

bool RecordingReader::Next(Record& record) {
  while (!stopped_ && in_) {
    if (block_records_ > 0) {
      if (DecodeRecord(*block_, record, &recycler_)) {
        --block_records_;
        ++outcome_.records;
        return true;
      }
      // The rest of this block is lost; offset_ is already past it.
      Skip(fmt::format("block {} at byte {}: {}", BlockNumber(), block_start_, block_->Error()), offset_);
      continue;
    }
    if (block_) {
      if (block_->Remaining() != 0) {
        Skip(fmt::format("block {} at byte {}: {} bytes after its last record", BlockNumber(), block_start_,
                         block_->Remaining()),
             offset_);
        continue;
      }
      block_.reset();
      ++outcome_.blocks;
      outcome_.goodBytes = offset_;
    }
    if (!NextBlock()) return false;
  }
  return false;
}

bool RecordingReader::ReadHead(std::uint64_t at, BlockHead& head, std::string& why) {
  const std::uint64_t left = outcome_.fileBytes - at;
  if (left < kBlockHeaderBytes) {
    why = fmt::format("block {} at byte {} is cut short: {} of its {} header bytes", BlockNumber(), at, left,
                      kBlockHeaderBytes);
    return false;
  }
  std::uint8_t bytes[kBlockHeaderBytes];
  in_->clear();
  in_->seekg(static_cast<std::streamoff>(at));
  if (!in_->read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
    why = fmt::format("block {} at byte {}: the header does not read", BlockNumber(), at);
    return false;
  }
  return CheckHead(bytes, at, head, &why);
}

bool RecordingReader::CheckHead(const std::uint8_t* bytes, std::uint64_t at, BlockHead& head, std::string* why) const {
  host::ByteReader fields(std::span<const std::uint8_t>(bytes, kBlockHeaderBytes));
  fields.Read(head.compressed, "compressed size");
  fields.Read(head.raw, "raw size");
  fields.Read(head.records, "record count");
  fields.Read(head.crc, "CRC");
  const std::uint64_t left = outcome_.fileBytes - at;
  const auto say = [&](std::string text) {
    if (why) *why = fmt::format("block {} at byte {}{}", BlockNumber(), at, text);
    return false;
  };
  if (head.raw == 0 || head.raw > kMaxBlockRawBytes) return say(fmt::format(" claims {} raw bytes", head.raw));
  if (head.records == 0 || head.records > head.raw / kRecordHeaderBytes) {
    return say(fmt::format(" claims {} records in {} bytes", head.records, head.raw));
  }
  if (head.compressed == 0 || head.compressed > MaxCompressedBytes(version_, head.raw)) {
    return say(fmt::format(" claims {} compressed bytes for {}", head.compressed, head.raw));
  }
  if (head.compressed > left - kBlockHeaderBytes) {
    return say(fmt::format(" is cut short: {} of its {} bytes", left, kBlockHeaderBytes + head.compressed));
  }
  return true;
}

bool RecordingReader::LoadBody(const BlockHead& head, std::string& why) {
  const auto where = [&] { return fmt::format("block {} at byte {}", BlockNumber(), block_start_); };
  compressed_.resize(head.compressed);
  if (!in_->read(reinterpret_cast<char*>(compressed_.data()), head.compressed)) {
    why = where() + ": its bytes do not read";
    return false;
  }
  if (crc32(0L, compressed_.data(), head.compressed) != head.crc) {
    why = where() + " fails its CRC";
    return false;
  }
  raw_.resize(head.raw);
  if (!Decompress(head.raw)) {
    why = fmt::format("{} does not decompress to its {} bytes", where(), head.raw);
    return false;
  }
  return true;
}

std::uint64_t RecordingReader::FindBlock(std::uint64_t from) {
  // The rest of the file is looked through a window at a time. A place is worth a CRC only when its
  // header's sizes hold and the compressed stream after it starts as the version's streams do: with the
  // zstd frame's magic number (version 2) or a zlib header byte (version 1).
  constexpr std::size_t kWindow = 1 << 20;
  constexpr std::size_t kLook = kBlockHeaderBytes + 4;
  std::vector<std::uint8_t> window;
  for (std::uint64_t base = from; base + kBlockHeaderBytes < outcome_.fileBytes; base += kWindow) {
    window.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow + kLook, outcome_.fileBytes - base)));
    in_->clear();
    in_->seekg(static_cast<std::streamoff>(base));
    if (!in_->read(reinterpret_cast<char*>(window.data()), static_cast<std::streamsize>(window.size()))) break;
    for (std::size_t i = 0; i < kWindow && i + kLook <= window.size(); ++i) {
      const std::uint8_t* stream = window.data() + i + kBlockHeaderBytes;
      const bool starts = version_ == kZlibRecordingVersion
                              ? stream[0] == 0x78
                              : stream[0] == 0x28 && stream[1] == 0xB5 && stream[2] == 0x2F && stream[3] == 0xFD;
      BlockHead head;
      if (!starts || !CheckHead(window.data() + i, base + i, head, nullptr)) continue;
      compressed_.resize(head.compressed);
      in_->clear();
      in_->seekg(static_cast<std::streamoff>(base + i + kBlockHeaderBytes));
      if (in_->read(reinterpret_cast<char*>(compressed_.data()), head.compressed) &&
          crc32(0L, compressed_.data(), head.compressed) == head.crc) {
        return base + i;
      }
    }
  }
  in_->clear();
  return 0;
}

bool RecordingReader::NextBlock() {
  while (true) {
    if (offset_ == outcome_.fileBytes) {
      stopped_ = true;
      return false;
    }
    block_start_ = offset_;
    BlockHead head;
    std::string why;
    if (!ReadHead(offset_, head, why)) {
      // The sizes cannot be trusted: the next block is found by its own header.
      const std::uint64_t next = FindBlock(offset_ + 1);
      if (next == 0) return Stop(std::move(why));
      Skip(std::move(why), next);
      continue;
    }
    offset_ += kBlockHeaderBytes + head.compressed;
    if (!LoadBody(head, why)) {
      Skip(std::move(why), offset_);
      continue;
    }
    block_records_ = head.records;
    block_ = std::make_unique<host::ByteReader>(std::span<const std::uint8_t>(raw_));
    return true;
  }
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
  const std::string stopped = fmt::format("stopped at byte {} of {} after {} records: {}", outcome_.goodBytes,
                                          outcome_.fileBytes, outcome_.records, outcome_.reason);
  if (outcome_.skips == 0) return stopped;
  const std::string skipped =
      fmt::format("skipped {} damaged bytes in {} {}, read {} records in {} blocks of {} bytes: {}",
                  outcome_.skippedBytes, outcome_.skips, outcome_.skips == 1 ? "place" : "places", outcome_.records,
                  outcome_.blocks, outcome_.fileBytes, outcome_.firstSkip);
  return outcome_.stoppedEarly ? skipped + "; then " + stopped : skipped;
}

}  // namespace kdp::replay
