// The recording file: what the writer puts in it, byte by byte, what the reader gets back, and where the
// reader stops on a file cut short or damaged.
#include <zlib.h>
#include <zstd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kdp/host/data_set_codec.h"
#include "kdp/host/reply_packet.h"
#include "recording_reader.h"
#include "recording_writer.h"
#include "test_host.h"

namespace kdp::replay {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr double kMorning = 46360.4375;  // 2026-12-04 10:30:00

class RecordingFileTest : public ::testing::Test {
 protected:
  ~RecordingFileTest() override { std::filesystem::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }

  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  const std::string dir_ = testing::MakeTempDir();
};

RecordingWriter::Options BlocksOf(std::size_t bytes) {
  RecordingWriter::Options options;
  options.blockBytes = bytes;
  return options;
}

Record Make(RecordKind kind, std::uint32_t request, int second) {
  Record record;
  record.kind = kind;
  record.request = request;
  record.serverTime = host::DateTime(kMorning).AddSeconds(second);
  return record;
}

std::shared_ptr<host::TDataTable> Quotes(const std::string& code, double last) {
  auto values = std::make_shared<host::TDataTable>();
  values->AddRow();
  values->Set(0, values->AddField("3", "double"), last);
  values->Set(0, values->AddField("11", "string"), std::string("\xC6\xD6\xB7\xA2"));  // code page 936
  auto body = host::MakeQuoteBody();
  host::AddQuoteBodyRow(*body, code, values);
  return body;
}

// One record of every kind, in a made-up session's order.
std::vector<Record> EveryKind() {
  std::vector<Record> records;
  records.push_back(Make(RecordKind::kConnect, 0, 0));
  records.back().numbers[0] = 0;
  records.push_back(Make(RecordKind::kLedChange, 0, 0));
  records.back().numbers[0] = 1;
  records.push_back(Make(RecordKind::kSubscribe, 1, 1));
  records.back().symbols = {{"600000.SH", {3, 4, 81}}, {"00700.HK", {}}};
  records.push_back(Make(RecordKind::kQuotes, 1, 1));
  records.back().data = Quotes("600000.SH", 10.36);
  records.push_back(Make(RecordKind::kQuotes, 1, 2));  // a null push
  records.push_back(Make(RecordKind::kRequest, 2, 3));
  records.back().numbers[0] = 3080;
  records.back().params = {{"KoraCodeList", "600000.SH"}, {"600000.SH", "3,4"}, {"", "empty key"}};
  records.push_back(Make(RecordKind::kResponse, 2, 3));
  records.back().numbers = {0, 5, 3080};
  records.push_back(Make(RecordKind::kHistoryData, 2, 3));
  records.back().data = Quotes("600000.SH", 10.4);
  records.push_back(Make(RecordKind::kHisData, 2, 4));
  records.back().numbers = {7, -8, 0};
  records.push_back(Make(RecordKind::kUnsubscribe, 1, 5));
  return records;
}

std::string DataBytes(const std::shared_ptr<host::IDataSet>& data) {
  std::string out, error;
  if (data) {
    EXPECT_TRUE(host::EncodeDataSet(*data, out, error)) << error;
  }
  return out;
}

void ExpectSame(const Record& got, const Record& want) {
  EXPECT_EQ(got.kind, want.kind);
  EXPECT_EQ(got.request, want.request);
  EXPECT_EQ(got.serverTime, want.serverTime);
  EXPECT_EQ(got.numbers, want.numbers);
  EXPECT_EQ(got.params, want.params);
  ASSERT_EQ(got.symbols.size(), want.symbols.size());
  for (std::size_t i = 0; i < got.symbols.size(); ++i) {
    EXPECT_EQ(got.symbols[i].KoraCode, want.symbols[i].KoraCode);
    EXPECT_EQ(got.symbols[i].ItemIDs, want.symbols[i].ItemIDs);
  }
  EXPECT_EQ(got.data == nullptr, want.data == nullptr);
  EXPECT_EQ(DataBytes(got.data), DataBytes(want.data));
}

// A block as the writer lays it out, around any raw bytes.
std::string Block(const std::string& raw, std::uint32_t records, std::uint16_t version = kRecordingVersion) {
  std::string error;
  std::string block = MakeBlock(raw, records, error, version);
  EXPECT_FALSE(block.empty()) << error;
  return block;
}

// A whole connect record as the writer lays it out: kind, request 0, time, payload size 4, the code.
std::string ConnectRecord(std::int32_t code, std::uint8_t kind = 8) {
  std::string record;
  host::ByteWriter out(record);
  out.Write(kind);
  out.Write(std::uint32_t{0});
  out.Write(kMorning);
  out.Write(std::uint32_t{4});
  out.Write(code);
  return record;
}

std::vector<Record> ReadEverything(RecordingReader& reader) {
  std::vector<Record> records;
  Record record;
  while (reader.Next(record)) records.push_back(record);
  return records;
}

TEST_F(RecordingFileTest, RecordsReadBackAsWritten) {
  const auto written = EveryKind();
  std::string error;
  auto writer = RecordingWriter::Create(PathOf("session.kdpr"), BlocksOf(100), error);
  ASSERT_TRUE(writer) << error;
  for (const Record& record : written) EXPECT_TRUE(writer->Append(record));
  writer->Close();
  const auto counts = writer->GetCounts();
  EXPECT_EQ(counts.records, written.size());
  EXPECT_GT(counts.blocks, 2u);  // small blocks: the reader crosses block boundaries
  EXPECT_EQ(counts.bytes, std::filesystem::file_size(PathOf("session.kdpr")));
  EXPECT_FALSE(writer->Append(written[0]));  // the recording has ended
  EXPECT_EQ(writer->GetCounts().dropped, 1u);

  RecordingReader reader;
  ASSERT_TRUE(reader.Open(PathOf("session.kdpr"), error)) << error;
  const auto read = ReadEverything(reader);
  ASSERT_EQ(read.size(), written.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectSame(read[i], written[i]);
  }
  EXPECT_TRUE(reader.GetOutcome().complete);
  EXPECT_EQ(reader.GetOutcome().blocks, counts.blocks);
  EXPECT_EQ(reader.Describe(), fmt::format("{} records in {} blocks, the whole file ({} bytes)", written.size(),
                                           counts.blocks, counts.bytes));
}

TEST_F(RecordingFileTest, LayoutByHand) {
  std::string error;
  auto writer = RecordingWriter::Create(PathOf("one.kdpr"), {}, error);
  ASSERT_TRUE(writer) << error;
  Record notice = Make(RecordKind::kConnect, 0, 0);
  notice.numbers[0] = 10054;
  writer->Append(notice);
  writer->Close();

  const std::string file = ReadAll(PathOf("one.kdpr"));
  ASSERT_GT(file.size(), 28u);
  EXPECT_EQ(file.substr(0, 12), std::string("KDPQREC\0\x02\0\0\0", 12));
  host::ByteReader head({reinterpret_cast<const std::uint8_t*>(file.data()) + 12, 16});
  std::uint32_t compressed = 0, raw = 0, records = 0, crc = 0;
  head.Read(compressed, "");
  head.Read(raw, "");
  head.Read(records, "");
  head.Read(crc, "");
  EXPECT_EQ(file.size(), 28 + compressed);
  EXPECT_EQ(raw, 21u);  // 17 bytes of record header and a 4-byte code
  EXPECT_EQ(records, 1u);
  const auto* payload = reinterpret_cast<const Bytef*>(file.data() + 28);
  EXPECT_EQ(crc, crc32(0, payload, compressed));
  std::string inflated(raw, '\0');
  ASSERT_EQ(ZSTD_decompress(inflated.data(), inflated.size(), payload, compressed), raw);
  std::string want = {8, 0, 0, 0, 0};  // connect, no data request
  const double time = kMorning;
  want.append(reinterpret_cast<const char*>(&time), 8);
  want += std::string("\x04\0\0\0", 4);    // payload size
  want += std::string("\x46\x27\0\0", 4);  // 10054
  EXPECT_EQ(inflated, want);
}

TEST_F(RecordingFileTest, ACutFileReadsUpToItsLastCompleteBlock) {
  std::string error;
  auto writer = RecordingWriter::Create(PathOf("cut.kdpr"), BlocksOf(1 << 20), error);
  ASSERT_TRUE(writer) << error;
  // Five blocks of three pushes each; the writer's size after each flush marks the boundaries.
  std::vector<std::uint64_t> ends = {writer->GetCounts().bytes};
  for (int block = 0; block < 5; ++block) {
    for (int i = 0; i < 3; ++i) {
      Record push = Make(RecordKind::kQuotes, 1, block * 3 + i);
      push.data = Quotes("600000.SH", 10.0 + block * 3 + i);
      writer->Append(push);
    }
    writer->Flush();
    ends.push_back(writer->GetCounts().bytes);
  }
  writer->Close();
  const std::string file = ReadAll(PathOf("cut.kdpr"));
  ASSERT_EQ(file.size(), ends.back());

  for (std::size_t block = 0; block + 1 < ends.size(); ++block) {
    const std::uint64_t start = ends[block], end = ends[block + 1];
    for (std::uint64_t cut : {start + 1, start + 15, start + 16, start + 17, (start + end) / 2, end - 1}) {
      SCOPED_TRACE(fmt::format("block {} cut at {}", block + 1, cut));
      RecordingReader reader;
      ASSERT_TRUE(reader.OpenBytes(file.substr(0, cut), error)) << error;
      const auto read = ReadEverything(reader);
      ASSERT_EQ(read.size(), 3 * block);
      if (!read.empty()) {
        EXPECT_EQ(read.back().serverTime, host::DateTime(kMorning).AddSeconds(3 * block - 1));
      }
      const auto& outcome = reader.GetOutcome();
      EXPECT_FALSE(outcome.complete);
      EXPECT_EQ(outcome.goodBytes, start);
      EXPECT_EQ(outcome.blocks, block);
      EXPECT_EQ(reader.Describe(),
                fmt::format("stopped at byte {} of {} after {} records: block {} at byte {} is cut short: {}", start,
                            cut, 3 * block, block + 1, start,
                            cut - start < 16 ? fmt::format("{} of its 16 header bytes", cut - start)
                                             : fmt::format("{} of its {} bytes", cut - start, end - start)));
    }
    // Cut between blocks, the file reads whole.
    RecordingReader reader;
    ASSERT_TRUE(reader.OpenBytes(file.substr(0, end), error));
    EXPECT_EQ(ReadEverything(reader).size(), 3 * (block + 1));
    EXPECT_TRUE(reader.GetOutcome().complete);
  }
}

TEST_F(RecordingFileTest, DamageStopsTheReadingWithTheReason) {
  const std::string connect = ConnectRecord(0);
  // Either version's blocks: the zstd ones written now and the zlib ones of older recordings.
  for (const std::uint16_t version : {kZlibRecordingVersion, kRecordingVersion}) {
    SCOPED_TRACE(version);
    const std::string header = RecordingHeader(version);
    const std::string good = Block(connect, 1, version);

    const auto patched = [&](std::size_t offset, std::uint32_t value) {
      std::string block = good;
      std::memcpy(block.data() + offset, &value, 4);
      return block;
    };
    std::string flipped = good;
    flipped.back() = static_cast<char>(flipped.back() ^ 0x40);
    std::string oddKind = connect;
    oddKind[0] = 99;
    std::string longPayload = connect;
    longPayload[13] = 3;  // says 3 bytes where the code takes 4
    std::string extra = connect + "\x01";

    const std::size_t second = header.size() + good.size();  // where the second block starts
    struct Case {
      const char* name;
      std::string second;  // what follows a good first block
      std::string reason;
      std::size_t records = 1;  // the first block's, and those of a damaged block read before the damage
    };
    const Case cases[] = {
        {"a CRC that does not match", flipped, fmt::format("block 2 at byte {} fails its CRC", second)},
        {"no raw bytes", patched(4, 0), fmt::format("block 2 at byte {} claims 0 raw bytes", second)},
        {"more raw bytes than a block holds", patched(4, (16u << 20) + 1), "claims 16777217 raw bytes"},
        {"more records than the raw bytes hold", patched(8, 2), "claims 2 records in 21 bytes"},
        {"more compressed bytes than the raw bytes need", patched(0, 1000), "claims 1000 compressed bytes for 21"},
        {"a stream that decompresses short of its raw size", patched(4, 22), "does not decompress to its 22 bytes"},
        {"a record of an unknown kind", Block(oddKind, 1, version), "record kind 99 at byte 0"},
        {"a payload size that cuts a value", Block(longPayload, 1, version), "truncated connect code"},
        {"bytes after the last record", Block(extra, 1, version), "1 bytes after its last record", 2},
        {"a torn header", std::string("\x10\0\0", 3), "is cut short: 3 of its 16 header bytes"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      RecordingReader reader;
      std::string error;
      ASSERT_TRUE(reader.OpenBytes(header + good + c.second, error)) << error;
      EXPECT_EQ(ReadEverything(reader).size(), c.records);
      EXPECT_FALSE(reader.GetOutcome().complete);
      EXPECT_EQ(reader.GetOutcome().goodBytes, second);
      // A damaged body is skipped (firstSkip), a damaged header stops the reading (reason).
      const std::string why = reader.GetOutcome().firstSkip + reader.GetOutcome().reason;
      EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
  }

  RecordingReader reader;
  std::string error;
  EXPECT_FALSE(reader.OpenBytes("KDPQREC", error));
  EXPECT_EQ(error, "not a recording");
  EXPECT_FALSE(reader.OpenBytes(std::string("KDPQREC\0\x03\0\0\0", 12), error));
  EXPECT_EQ(error, "a recording of version 3; this reader reads versions 1 and 2");
  EXPECT_FALSE(reader.Open(PathOf("missing.kdpr"), error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_FALSE(RecordingWriter::Create(dir_, {}, error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

// Eight blocks of one connect record each (codes 1 to 8), the fourth damaged in its body, in its header or
// in its record: the reading skips it, goes on at the fifth and says what it skipped.
TEST_F(RecordingFileTest, DamageInsideTheFileIsSkippedToTheNextWholeBlock) {
  for (const std::uint16_t version : {kZlibRecordingVersion, kRecordingVersion}) {
    SCOPED_TRACE(version);
    std::vector<std::string> blocks;
    for (std::int32_t code = 1; code <= 8; ++code) blocks.push_back(Block(ConnectRecord(code), 1, version));
    const std::string header = RecordingHeader(version);
    const std::size_t fourth = header.size() + blocks[0].size() + blocks[1].size() + blocks[2].size();
    struct Case {
      const char* name;
      std::string damaged;  // the fourth block
      std::string reason;
    };
    std::string flipped = blocks[3];
    flipped[kBlockHeaderBytes + 3] = static_cast<char>(flipped[kBlockHeaderBytes + 3] ^ 0x10);
    std::string noRaw = blocks[3];
    std::memset(noRaw.data() + 4, 0, 4);
    const Case cases[] = {
        {"a flipped byte", flipped, fmt::format("block 4 at byte {} fails its CRC", fourth)},
        {"a header without raw bytes", noRaw, fmt::format("block 4 at byte {} claims 0 raw bytes", fourth)},
        {"a record of an unknown kind", Block(ConnectRecord(4, 99), 1, version), "record kind 99"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      std::string file = header;
      for (std::size_t b = 0; b < blocks.size(); ++b) file += b == 3 ? c.damaged : blocks[b];
      RecordingReader reader;
      std::string error;
      ASSERT_TRUE(reader.OpenBytes(file, error)) << error;
      std::vector<std::int32_t> codes;
      for (const Record& r : ReadEverything(reader)) codes.push_back(r.numbers[0]);
      EXPECT_EQ(codes, (std::vector<std::int32_t>{1, 2, 3, 5, 6, 7, 8}));
      const auto& outcome = reader.GetOutcome();
      EXPECT_FALSE(outcome.complete);
      EXPECT_FALSE(outcome.stoppedEarly);
      EXPECT_EQ(outcome.skips, 1u);
      EXPECT_EQ(outcome.skippedBytes, c.damaged.size());
      EXPECT_EQ(outcome.goodBytes, file.size());
      EXPECT_EQ(reader.Describe().rfind(fmt::format("skipped {} damaged bytes in 1 place, read 7 records in 7 blocks "
                                                    "of {} bytes: ",
                                                    c.damaged.size(), file.size()),
                                        0),
                0u)
          << reader.Describe();
      EXPECT_NE(outcome.firstSkip.find(c.reason), std::string::npos) << outcome.firstSkip;
    }
  }
}

// Two threads append while the writer's thread writes blocks and the main thread flushes: every record
// arrives once, and each thread's records keep their order.
TEST_F(RecordingFileTest, ThreadsAppendWhileBlocksAreWritten) {
  std::string error;
  auto writer = RecordingWriter::Create(PathOf("threads.kdpr"), BlocksOf(256), error);
  ASSERT_TRUE(writer) << error;
  constexpr int kPerThread = 3000;
  std::atomic<int> appended[2] = {0, 0};
  const auto append = [&](int thread) {
    for (int i = 0; i < kPerThread; ++i) {
      Record record = Make(RecordKind::kHisData, static_cast<std::uint32_t>(thread + 1), i);
      record.numbers = {thread, i, 0};
      writer->Append(record);
      ++appended[thread];
      // Neither thread runs ahead of the other by more than a block or two.
      while (appended[thread] - appended[1 - thread] > 20 && appended[1 - thread] < kPerThread)
        std::this_thread::yield();
    }
  };
  std::thread first(append, 0), second(append, 1);
  int flushes = 0;
  while (appended[0] < kPerThread || appended[1] < kPerThread) {
    writer->Flush();
    ++flushes;
  }
  first.join();
  second.join();
  writer->Close();
  EXPECT_GT(flushes, 0);

  RecordingReader reader;
  ASSERT_TRUE(reader.Open(PathOf("threads.kdpr"), error)) << error;
  int next[2] = {0, 0};
  Record record;
  while (reader.Next(record)) {
    const int thread = record.numbers[0];
    ASSERT_TRUE(thread == 0 || thread == 1);
    EXPECT_EQ(record.numbers[1], next[thread]++);
  }
  EXPECT_TRUE(reader.GetOutcome().complete) << reader.Describe();
  EXPECT_EQ(next[0], kPerThread);
  EXPECT_EQ(next[1], kPerThread);
}

}  // namespace
}  // namespace kdp::replay
