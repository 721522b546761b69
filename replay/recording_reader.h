// RecordingReader: reads a recording (layout in recording_format.h) back, record by record.
//
// Next answers records in file order to the end of the file. A damaged block (its CRC or compressed stream
// does not hold, a record does not read) is skipped from the damage to the block's end, which its header
// gives; a damaged header is skipped to the next place that holds a whole block (sound sizes, the start
// of a compressed stream and a matching CRC). Reading stops early only at a block cut short with nothing
// sound after it. Outcome says what was skipped, where the readable part ends and why, for the replay to
// report.
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
    bool complete = true;            // false when anything was skipped or reading stopped early
    std::uint64_t skips = 0;         // damaged stretches skipped
    std::uint64_t skippedBytes = 0;  // their bytes
    std::string firstSkip;           // why the first was skipped ("block 4 at byte 4096 fails its CRC")
    bool stoppedEarly = false;       // reading stopped before the end of the file (see reason)
    std::uint64_t records = 0;       // records delivered
    std::uint64_t blocks = 0;        // blocks read through
    std::uint64_t goodBytes = 0;     // where the readable part ends: the end of the last block read through
    std::uint64_t fileBytes = 0;     // the file's size
    std::string reason;              // why reading stopped early ("block 3 at byte 4096 is cut short: ...")
  };
  const Outcome& GetOutcome() const { return outcome_; }
  // One line for a user: "12 records in 2 blocks, the whole file (3456 bytes)", "stopped at byte 3000
  // of 3456 after 10 records: block 3 at byte 3000 is cut short: 456 of its 600 bytes", or with damage
  // skipped, "skipped 600 damaged bytes in 1 place, read 12 records in 2 blocks of 3456 bytes: block 2 at
  // byte 612 fails its CRC" (followed by "; then stopped at byte ..." when it also stopped early).
  std::string Describe() const;

 private:
  bool OpenStream(std::unique_ptr<std::istream> in, std::string& error);
  struct BlockHead {
    std::uint32_t compressed = 0, raw = 0, records = 0, crc = 0;
  };
  // Reads the next block into raw_, skipping damage; false at the end or when it cannot go on (the
  // outcome says which).
  bool NextBlock();
  // The header at `at` when its sizes hold and the block fits the file; else false with `why`.
  bool ReadHead(std::uint64_t at, BlockHead& head, std::string& why);
  // The same for header bytes in memory; `why` may be null.
  bool CheckHead(const std::uint8_t* bytes, std::uint64_t at, BlockHead& head, std::string* why) const;
  // The number of the block being read, counting damaged stretches as blocks.
  std::uint64_t BlockNumber() const { return outcome_.blocks + outcome_.skips + 1; }
  // Reads, checks and decompresses the body of the block at block_start_ into raw_; else false with `why`.
  bool LoadBody(const BlockHead& head, std::string& why);
  // The start of the next whole block after `from`, or 0 when none follows.
  std::uint64_t FindBlock(std::uint64_t from);
  // Notes the damage at block_start_ and goes on reading at `resume`.
  void Skip(std::string why, std::uint64_t resume);
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
