// Recordings from disk, whatever wrote them: the first input byte picks how the rest is read.
//   even: the rest is the whole file (header, blocks, CRCs, compressed streams);
//   odd:  the rest is the decompressed contents of one block of a well-formed file (of version 2 when the
//         first byte's second bit is set, else of version 1), so the records behind the CRC and the
//         compression are reached; the second byte says how many records it claims.
// Reading delivers records; a damaged stretch it skips and an early stop each say why. Every record read is
// encoded again, and that encoding must read back to the same bytes, decoded afresh and decoded into the
// spare tables of records read before (each record is handed back to its reader too, so the next one
// refills it).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "kdp/host/byte_reader.h"
#include "recording_reader.h"

namespace {

using kdp::replay::Record;
using kdp::replay::RecordingReader;

// A file of `version` holding `raw` as its one block.
std::string FileAround(const std::string& raw, std::uint32_t records, std::uint16_t version) {
  std::string error;
  const std::string block = kdp::replay::MakeBlock(raw, records, error, version);
  return block.empty() ? std::string() : kdp::replay::RecordingHeader(version) + block;
}

void CheckRoundTrip(const Record& record, kdp::host::TDataTableRecycler& recycler) {
  std::string first, error;
  if (!kdp::replay::EncodeRecord(record, first, error)) __builtin_trap();  // whatever reads can be written
  for (auto* spares : {static_cast<kdp::host::TDataTableRecycler*>(nullptr), &recycler}) {
    kdp::host::ByteReader in({reinterpret_cast<const std::uint8_t*>(first.data()), first.size()});
    Record again;
    if (!kdp::replay::DecodeRecord(in, again, spares) || in.Remaining() != 0) __builtin_trap();
    std::string second;
    if (!kdp::replay::EncodeRecord(again, second, error) || second != first) __builtin_trap();
    recycler.Recycle(std::move(again.data));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::uint16_t version = data[0] & 2 ? kdp::replay::kRecordingVersion : kdp::replay::kZlibRecordingVersion;
  const std::string file =
      data[0] % 2 == 0 ? rest : FileAround(rest.substr(1), std::max<std::uint32_t>(1, data[1] % 16), version);
  RecordingReader reader;
  std::string error;
  if (!reader.OpenBytes(file, error)) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  kdp::host::TDataTableRecycler recycler;
  Record record;
  while (reader.Next(record)) {
    CheckRoundTrip(record, recycler);
    reader.Recycle(std::move(record.data));
  }
  // Whatever was not read says why: reading that stopped early its reason, a skipped stretch its first cause.
  const RecordingReader::Outcome& outcome = reader.GetOutcome();
  if (outcome.stoppedEarly && outcome.reason.empty()) __builtin_trap();
  if (outcome.skips > 0 && outcome.firstSkip.empty()) __builtin_trap();
  if (!outcome.complete && !outcome.stoppedEarly && outcome.skips == 0) __builtin_trap();
  return 0;
}
