// The report stream: its byte layout, reading what the writer wrote, refusing what is broken, and the
// "B1" frame around it.
#include "kdp/host/kuds.h"

#include <zlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kdp::host {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const MemoryStream& stream) { return {stream.Bytes().begin(), stream.Bytes().end()}; }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A report of every column type, with empty cells and Chinese text.
MemoryStream SampleStream() {
  TKUDSWriter writer("Misc.Sample");
  writer.AddColumn("code", TKUDSColumnType::kString);
  writer.AddColumn("date", TKUDSColumnType::kInt32);
  writer.AddColumn("volume", TKUDSColumnType::kInt64);
  writer.AddColumn("price", TKUDSColumnType::kDouble);
  EXPECT_TRUE(writer.AddRecord({std::string("600000.SH"), 20240102, std::int64_t{1} << 40, 10.25}));
  EXPECT_TRUE(writer.AddRecord({std::string("浦发银行"), std::monostate{}, std::int64_t{-1}, std::monostate{}}));
  EXPECT_TRUE(writer.AddRecord({std::monostate{}, -7, std::monostate{}, -0.5}));
  return writer.Finish(0, "好");
}

TEST(KudsStreamTest, LayoutByHandAndRecordsThatDoNotFitAreRefused) {
  const Bytes header = {'K', 'U', 'D', 'S', 1};
  EXPECT_EQ(BytesOf(TKUDSWriter::WithoutReport(-2, "no")),
            Concat({header, {0xFE, 0xFF, 0xFF, 0xFF}, {2, 0, 0, 0, 'n', 'o'}, {0}}));

  TKUDSWriter writer("R");
  writer.AddColumn("d", TKUDSColumnType::kInt32);
  writer.AddColumn("s", TKUDSColumnType::kString);
  // Too few values, a value of another type, too many: refused, and nothing of them is written.
  EXPECT_FALSE(writer.AddRecord({20240102}));
  EXPECT_FALSE(writer.AddRecord({std::int64_t{1}, std::string("x")}));
  EXPECT_FALSE(writer.AddRecord({1, std::string("x"), 2}));
  ASSERT_TRUE(writer.AddRecord({20240102, std::string("中")}));
  ASSERT_TRUE(writer.AddRecord({std::monostate{}, std::monostate{}}));
  EXPECT_EQ(writer.GetRecordCount(), 2);
  EXPECT_EQ(BytesOf(writer.Finish()), Concat({header,
                                              {0, 0, 0, 0},
                                              {0, 0, 0, 0},
                                              {1},                          // result 0, message "", a report
                                              {1, 0, 0, 0, 'R'},            // its name
                                              {2, 0},                       // two columns
                                              {1, 0, 0, 0, 'd', 1},         //   int32
                                              {1, 0, 0, 0, 's', 4},         //   string
                                              {2, 0, 0, 0},                 // two records
                                              {1, 0xE6, 0xD6, 0x34, 0x01},  //   20240102 = 0x0134D6E6
                                              {1, 2, 0, 0, 0, 0xD6, 0xD0},  //   "中" in code page 936
                                              {0, 0}}));                    //   both empty
}

TEST(KudsStreamTest, ReadsWhatTheWriterWrote) {
  const MemoryStream stream = SampleStream();
  TKUDSResponse response;
  std::string error;
  ASSERT_TRUE(response.Decode(stream.Bytes(), error)) << error;
  const TKUDSReport* report = response.GetReport();
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->GetName(), "Misc.Sample");
  ASSERT_EQ(report->GetColumnCount(), 4);
  EXPECT_EQ(report->FindColumn("volume"), 2);
  EXPECT_EQ(report->FindColumn("Volume"), -1);
  EXPECT_EQ(report->GetValue(0, 0), TKUDSValue(std::string("600000.SH")));
  EXPECT_EQ(report->GetValue(0, 1), TKUDSValue(20240102));
  EXPECT_EQ(report->GetValue(0, 2), TKUDSValue(std::int64_t{1} << 40));
  EXPECT_EQ(report->GetValue(1, 0), TKUDSValue(std::string("浦发银行")));
  EXPECT_EQ(report->GetValue(1, 1), TKUDSValue());
  EXPECT_EQ(report->GetValue(2, 1), TKUDSValue(-7));
  EXPECT_EQ(report->GetValue(3, 0), TKUDSValue());  // no such record
  EXPECT_EQ(report->GetValue(0, 4), TKUDSValue());  // no such column
  EXPECT_EQ(report->GetValue(-1, 0), TKUDSValue());
}

TEST(KudsStreamTest, TruncatedOrCorruptStreamsAreRefusedWithWhereAndWhy) {
  const Bytes good = BytesOf(SampleStream());
  TKUDSResponse response;
  std::string error;
  for (std::size_t n = 0; n < good.size(); ++n) {
    SCOPED_TRACE(n);
    error.clear();
    EXPECT_FALSE(response.Decode(std::span(good).first(n), error));
    EXPECT_NE(error.find(" at byte "), std::string::npos) << error;
    EXPECT_EQ(response.GetReport(), nullptr);
  }

  struct Case {
    const char* name;
    std::size_t offset;  // where to change a byte; SIZE_MAX appends one
    std::uint8_t value;
    const char* why;
  };
  // Offsets in the sample: magic 0-3, version 4, result 5-8, message 9-14 ("好": 2 bytes), report flag 15,
  // name 16-30 ("Misc.Sample"), column count 31-32, the first column's name 33-40 and type 41.
  const Case cases[] = {
      {"magic", 0, 'X', "not a report stream"},
      {"version", 4, 2, "unknown version 2"},
      {"report flag", 15, 2, "report flag 2"},
      {"column count", 32, 0x10, "columns (at most 1024)"},
      {"column type", 41, 9, "unknown type 9 of column 0"},
      {"trailing byte", SIZE_MAX, 0, "1 bytes after the stream"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bad = good;
    if (c.offset == SIZE_MAX) {
      bad.push_back(c.value);
    } else {
      bad[c.offset] = c.value;
    }
    error.clear();
    EXPECT_FALSE(response.Decode(bad, error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
    EXPECT_NE(error.find(" at byte "), std::string::npos) << error;
  }

  // Counts are checked against the bytes left, before anything is allocated for them.
  TKUDSWriter empty("R");
  empty.AddColumn("d", TKUDSColumnType::kInt32);
  Bytes huge = BytesOf(empty.Finish());
  std::fill(huge.end() - 4, huge.end(), 0xFF);  // 4294967295 records in no bytes
  EXPECT_FALSE(response.Decode(huge, error));
  EXPECT_NE(error.find("4294967295 records of 1 columns in 0 bytes"), std::string::npos) << error;
  TKUDSWriter noColumns("R");
  Bytes ghost = BytesOf(noColumns.Finish());
  ghost[ghost.size() - 4] = 5;  // records without columns would cost no bytes at all
  EXPECT_FALSE(response.Decode(ghost, error));
  EXPECT_NE(error.find("5 records without columns"), std::string::npos) << error;
}

TEST(KudsStreamTest, StatusByteComesOffTheEnd) {
  EXPECT_FALSE(SplitStatusByte({}).has_value());
  const Bytes reply = {'a', 'b', kKudsStatusOk};
  const auto split = SplitStatusByte(reply);
  ASSERT_TRUE(split.has_value());
  EXPECT_EQ(split->status, kKudsStatusOk);
  EXPECT_EQ(Bytes(split->stream.begin(), split->stream.end()), (Bytes{'a', 'b'}));
}

TEST(B1ReplyTest, FrameByHandAndBothCompressions) {
  const Bytes kuds = {'K', 'U', 'D', 'S'};
  EXPECT_EQ(BytesOf(EncodeB1Reply(kuds, false)), Concat({{0, 0, 0, 18},  // 18 bytes follow, big-endian
                                                         {0, 0, 0, 0},
                                                         {0, 0, 0, 0},  // result 0, message ""
                                                         {3, 0},        // a report stream, uncompressed
                                                         {4, 0, 0, 0},
                                                         kuds}));  // the payload

  const MemoryStream sample = SampleStream();
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress);
    const MemoryStream frame = EncodeB1Reply(sample.Bytes(), compress);
    MemoryStream unwrapped(std::string_view("stale"));
    std::string error;
    ASSERT_TRUE(DecodeToKudsStream(frame.Bytes(), unwrapped, error)) << error;
    EXPECT_EQ(BytesOf(unwrapped), BytesOf(sample));
    EXPECT_EQ(unwrapped.Position(), 0u);
  }
}

TEST(B1ReplyTest, BrokenFramesAndServerErrorsAreRefused) {
  std::string error;
  MemoryStream out(std::string_view("kept"));
  EXPECT_FALSE(DecodeToKudsStream(EncodeB1Reply({}, false, 7, "无权限").Bytes(), out, error));
  EXPECT_EQ(error, "server error 7: 无权限");

  const Bytes good = BytesOf(EncodeB1Reply(BytesOf(SampleStream()), true));
  for (std::size_t n = 0; n < good.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(DecodeToKudsStream(std::span(good).first(n), out, error));
  }
  struct Case {
    const char* name;
    std::size_t offset;
    std::uint8_t flip;  // xor-ed into the byte
    const char* why;
  };
  // Offsets: length 0-3, result 4-7, message length 8-11, format 12, compression 13, payload length 14-17,
  // the zlib header 18-19, then deflated data.
  const Case cases[] = {
      {"frame length", 3, 1, "frame length"},          {"format", 12, 1, "format 2 is not a report stream"},
      {"compression", 13, 4, "unknown compression 5"}, {"payload length", 14, 1, "payload length"},
      {"deflated data", 22, 0xFF, "does not inflate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bad = good;
    bad[c.offset] ^= c.flip;
    error.clear();
    EXPECT_FALSE(DecodeToKudsStream(bad, out, error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
  }
  EXPECT_EQ(out.AsStringView(), "kept");
}

}  // namespace
}  // namespace kdp::host
