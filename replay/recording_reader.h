// RecordingReader: reads a recording (layout in recording_format.h) back, record by record.
//
// Next answers records in file order until the end, or until the first block that cannot be read: one cut
// short by a crash, one whose sizes, CRC or compressed stream do not hold, one with a record that does
// not read. Records after that point are never delivered. Outcome says where the readable part ends and
// why reading stopped, for the replay to report.
//
// A block is read whole (at most kMaxBlockRawBytes decompressed) and its records are decoded one at a time.
// Not thread-safe: one thread reads.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "recording_format.h"

struct z_stream_s;
struct ZSTD_DCtx_s;

namespace kdp::replay {

class RecordingReader {
 public:
  // Opens a file. False, with `error`, when it cannot be read or does not start with a recording header
  // of a version this reader reads.
  bool Open(const std::string& path, std::string& error);
  // Reads a recording held in memory.
  bool OpenBytes(std::string bytes, std::string& error);

  // The next record; false at the end of what can be read.
  bool Next(Record& record);
  // Hands back a data set Next delivered once it has been read: its tables nobody else holds are decoded
  // into again (see host::TDataTableRecycler).
  void Recycle(std::shared_ptr<host::IDataSet> data) { recycler_.Recycle(std::move(data)); }

  struct Outcome {
    bool complete = true;         // false when reading stopped at a damaged or cut-short block
    std::uint64_t records = 0;    // records delivered
    std::uint64_t blocks = 0;     // blocks read through
    std::uint64_t goodBytes = 0;  // where the readable part ends: the end of the last block read through
    std::uint64_t fileBytes = 0;  // the file's size
    std::string reason;           // why reading stopped early ("block 3 at byte 4096 is cut short: ...")
  };
  const Outcome& GetOutcome() const { return outcome_; }
  // One line for a user: "12 records in 2 blocks, the whole file (3456 bytes)" or "stopped at byte 3000
  // of 3456 after 10 records: block 3 at byte 3000 is cut short: 456 of its 600 bytes".
  std::string Describe() const;

 private:
  bool OpenStream(std::unique_ptr<std::istream> in, std::string& error);
  // Reads the next block into raw_; false at the end or when it cannot (the outcome says which).
  bool NextBlock();
  bool Stop(std::string reason);
  // Decompresses compressed_ into raw_, which holds `raw` bytes, as the file's version compresses blocks;
  // false when the bytes do not decompress to exactly that many.
  bool Decompress(std::uint32_t raw);
  bool Inflate(std::uint32_t raw);  // a version-1 block's zlib stream

  std::unique_ptr<std::istream> in_;
  std::uint64_t offset_ = 0;  // where the next block starts
  std::uint64_t block_start_ = 0;
  std::vector<std::uint8_t> compressed_;
  std::vector<std::uint8_t> raw_;
  struct InflaterEnd {
    void operator()(z_stream_s* stream) const;
  };
  std::unique_ptr<z_stream_s, InflaterEnd> inflater_;  // one zlib stream, reset for every block
  struct DecompressorEnd {
    void operator()(ZSTD_DCtx_s* context) const;
  };
  std::unique_ptr<ZSTD_DCtx_s, DecompressorEnd> decompressor_;  // one zstd context for every block
  std::uint16_t version_ = kRecordingVersion;
  std::uint32_t block_records_ = 0;  // records of the current block not read yet
  std::unique_ptr<host::ByteReader> block_;
  host::TDataTableRecycler recycler_;
  bool stopped_ = false;
  Outcome outcome_;
};

}  // namespace kdp::replay
