// A recording of what a quote engine delivered to the package: the records and their byte layout.
// RecordingWriter appends them to a file, RecordingReader reads them back, ReplaySpeed plays them.
//
// File layout, version 2, little-endian throughout:
//   header := "KDPQREC" 0x00 (8 bytes), u16 version (2), u16 flags (0)
//   block  := u32 compressed size C, u32 raw size R, u32 record count N, u32 CRC-32 of the C bytes,
//             then C bytes: one zstd frame that decompresses to R bytes holding N records back to back
// Version 1 is the same but for its blocks' C bytes, which are one zlib stream; it is still read.
//   record := u8 kind, u32 data request number, f64 server time (days since 1899-12-30), u32 payload
//             size, then the payload:
//     1 quotes (SaveQuoteData), 2 history data (SetData): a data set (kdp/host/data_set_codec.h), or
//       nothing for a null one
//     3 response (NotifyReqResponse): i32 error code, i32 return ID, i32 command ID
//     4 history notice (NotifyHisData): i32, i32
//     5 subscribe: u32 security count; per security: u16 code length, the code, u32 ID count, the u32 IDs
//     6 unsubscribe: nothing
//     7 request (a history command handed to the engine): i32 command ID, u32 parameter count; per
//       parameter: u16 key length, the key, u32 value length, the value
//     8 connect (NotifyConnect): i32 code
//     9 LED change (NotifyLEDChange): i32 status
//
// Data requests are numbered from 1 in the order the package made them; connection notices carry 0.
// Records follow in arrival order: the order in which the recorder saw the calls, whatever thread made
// them. Texts are bytes as the package and the engine exchanged them.
//
// Blocks are written whole and only appended, so a file cut short by a crash reads up to its last
// complete block; the CRC catches a block whose bytes were written but are not what was meant. A record
// names its payload size, so a reader refuses a payload that runs past its record or stops short of it.
// A block inflates to at most kMaxBlockRawBytes and holds at most one record per 17 raw bytes (the
// smallest record), so nothing a block claims is allocated before the claim is checked.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "kdp/host/byte_reader.h"
#include "kdp/host/data_set_codec.h"
#include "kdp/host/date_time.h"
#include "kdp/host/speed.h"

namespace kdp::replay {

inline constexpr std::string_view kRecordingMagic{"KDPQREC\0", 8};
inline constexpr std::uint16_t kRecordingVersion = 2;      // written
inline constexpr std::uint16_t kZlibRecordingVersion = 1;  // read too
inline constexpr std::size_t kRecordingHeaderBytes = 12;
inline constexpr std::size_t kBlockHeaderBytes = 16;
inline constexpr std::size_t kRecordHeaderBytes = 17;
inline constexpr std::size_t kMaxBlockRawBytes = std::size_t{16} << 20;

enum class RecordKind : std::uint8_t {
  kQuotes = 1,
  kHistoryData = 2,
  kResponse = 3,
  kHisData = 4,
  kSubscribe = 5,
  kUnsubscribe = 6,
  kRequest = 7,
  kConnect = 8,
  kLedChange = 9,
};

// What a record of each kind carries; fields another kind does not use stay empty.
struct Record {
  RecordKind kind = RecordKind::kQuotes;
  std::uint32_t request = 0;  // data request number; 0 for connection notices
  host::DateTime serverTime;
  std::shared_ptr<host::IDataSet> data;  // kQuotes, kHistoryData (may be null)
  // kResponse: error code, return ID, command ID; kHisData: its two numbers; kRequest: command ID;
  // kConnect: the code; kLedChange: the status.
  std::array<std::int32_t, 3> numbers{};
  host::TKrSpeedSymbolDataList symbols;       // kSubscribe
  std::map<std::string, std::string> params;  // kRequest: the parameters set, by key
};

// The file header, ready to write.
std::string RecordingHeader(std::uint16_t version = kRecordingVersion);

// A block ready to write (header and compressed bytes) holding `raw`, the encodings of `records` records,
// compressed as a file of `version` holds them. Empty, with `error`, when the compressor fails.
std::string MakeBlock(std::string_view raw, std::uint32_t records, std::string& error,
                      std::uint16_t version = kRecordingVersion);
// The most compressed bytes a block of `raw` bytes takes in a file of `version`.
std::uint64_t MaxCompressedBytes(std::uint16_t version, std::size_t raw);

// Appends the record's encoding to `out`. False, with `out` as it was and `error` saying why, when its
// data set cannot be encoded or a text is longer than its length field.
bool EncodeRecord(const Record& record, std::string& out, std::string& error);

// Reads one record at the reader's position. False with the reader's error when the bytes do not hold one.
// Its data set is decoded into the recycler's spare tables when one is given.
bool DecodeRecord(host::ByteReader& in, Record& record, host::TDataTableRecycler* recycler = nullptr);

}  // namespace kdp::replay
