// QVB reply decoders on hand-built bodies, and the AES helpers against the FIPS-197 example vectors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kdp/host/byte_reader.h"
#include "kdp/qvb/qvb_aes.h"
#include "kdp/qvb/qvb_decoders.h"
#include "test_host.h"

namespace kdp {
namespace {

// The records are packed: their fields are compared as values, never through a misaligned reference.
template <class T>
T Field(T value) {
  return value;
}

// Writes the service's layouts: 32-bit numbers, texts as a 32-bit length and the bytes.
class Body {
 public:
  Body& Int(std::int32_t value) { return Put(value); }
  Body& Byte(std::uint8_t value) { return Put(value); }
  Body& Double(double value) { return Put(value); }
  Body& Text(std::string_view text) {
    Put(static_cast<std::uint32_t>(text.size()));
    bytes_.append(text);
    return *this;
  }
  // A property record with the given identity, description and frequency code.
  Body& Props(std::string_view identity, std::string_view description, std::int32_t frequency) {
    return Int(1)
        .Text(identity)
        .Int(19900101)
        .Int(202406)
        .Int(frequency)
        .Text("中国")
        .Text("国家统计局国家统计局国家统计局国家统计局")  // 60 bytes of UTF-8: cut to 40
        .Text("CNY")
        .Text("亿元")
        .Int(2)
        .Int(1)
        .Int(0)
        .Text(description)
        .Int(2025);
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  template <class T>
  Body& Put(T value) {
    writer_.Write(value);
    return *this;
  }

  std::string bytes_;
  host::ByteWriter writer_{bytes_};
};

// A property record: "has-data identity begin-end frequency country|source|currency|unit decimals note
// format description updated", the dates as day numbers and the two kinds as their codes.
std::string PropsText(const TQVBTreeNodeProps4& p) {
  return fmt::format("{} {} {}-{} f{} {}|{}|{}|{} {} {} d{} {} {}", p.HasData, p.Identity.Get(), Field(p.BeginDate),
                     Field(p.EndDate), static_cast<int>(p.TimeFrequency), p.Country.Get(), p.Source.Get(),
                     p.CurrencyType.Get(), p._Unit.Get(), p.Decimals, p.HasNote, static_cast<int>(p.DataFormat),
                     p.Description.Get(), Field(p.UpdateDate));
}

TEST(QVBDecoders, PropertyRecordsFillTheirFixedFieldsWithDatesAsDayNumbers) {
  testing::TestHost h;
  Body body;
  body.Int(2).Props("M0000545", "GDP:现价:累计值", 3).Props("M0001227", "CPI:当月同比", 9);
  TKrQVBPropsDataDecoder decoder(body.Bytes());
  ASSERT_TRUE(decoder.Decode());
  const auto records = decoder.PropsList();
  ASSERT_EQ(records.size(), 2u);
  // 1990-01-01 is day 32874, June 2024 stands for 2024-06-30 (45473), 2025 for 2025-12-31 (46022); code 3
  // is monthly (f4), code 9 no frequency (f0); the source is cut to 39 bytes, as 40 would split a character.
  EXPECT_EQ(PropsText(records[0]),
            "1 M0000545 32874-45473 f4 中国|国家统计局国家统计局国家统|CNY|亿元 2 1 d0 GDP:现价:累计值 46022");
  EXPECT_EQ(PropsText(records[1]),
            "1 M0001227 32874-45473 f0 中国|国家统计局国家统计局国家统|CNY|亿元 2 1 d0 CPI:当月同比 46022");

  EXPECT_EQ(QVBFreqFromCode(1), ftEveryday);
  EXPECT_EQ(QVBFreqFromCode(6), ftAnnual);
  EXPECT_EQ(QVBFreqFromCode(0), ftUndated);
  EXPECT_EQ(QVBDateToDayNumber(202402), 45351);  // 2024-02-29
  EXPECT_EQ(QVBDateToDayNumber(20240230), 0);    // no such day
  EXPECT_EQ(QVBDateToDayNumber(-5), 0);

  // A record cut short leaves nothing behind, and says why.
  const std::string cut = body.Bytes().substr(0, body.Bytes().size() - 3);
  TKrQVBPropsDataDecoder truncated(cut);
  EXPECT_FALSE(truncated.Decode());
  EXPECT_TRUE(truncated.PropsList().empty());
  EXPECT_TRUE(h->Logger().Contains("TKrQVBPropsDataDecoder.Decode: truncated UpdateDate"));
}

TEST(QVBDecoders, SeriesOfBothLayoutsReportTheirDatesAndValues) {
  testing::TestHost h;
  Body point;
  point.Int(0).Text("1").Int(1).Text("GDP").Int(1).Byte(7).Text("亿元").Int(2);
  point.Int(20240331).Double(1.5).Int(20240630).Double(2.25);
  TKrQVBDataDecoder decoder(point.Bytes());
  std::vector<std::string> events;
  decoder.FOnDecodeBeginDate = [&](int series, std::uint16_t date) {
    events.push_back(fmt::format("begin {} {}", series, date));
  };
  decoder.FOnDecodeEndDate = [&](int series, std::uint16_t date) {
    events.push_back(fmt::format("end {} {}", series, date));
  };
  decoder.FOnDecodeDataEvent = [&](int series, const TKrQVBOneData& v) {
    events.push_back(fmt::format("value {} {}", series, Field(v.Value)));
  };
  ASSERT_TRUE(decoder.Decode());
  EXPECT_EQ(decoder.DBType(), "1");
  const auto series = decoder.SeriesList();
  ASSERT_EQ(series.size(), 1u);
  EXPECT_EQ(series[0].Name, "GDP");
  EXPECT_EQ(series[0].Attributes, (std::vector<std::pair<std::uint8_t, std::string>>{{7, "亿元"}}));
  ASSERT_EQ(series[0].Values.size(), 2u);
  EXPECT_EQ(Field(series[0].Values[0].VBeginDate), 45382);  // 2024-03-31
  EXPECT_EQ(Field(series[0].Values[1].VEndDate), 45473);    // 2024-06-30
  EXPECT_EQ(events, (std::vector<std::string>{"value 0 1.5", "value 0 2.25", "begin 0 45382", "end 0 45473"}));

  Body ranged;
  ranged.Int(0).Text("2").Int(1).Text("CPI").Int(0).Int(1).Int(202401).Int(202403).Double(-0.5).Byte(1);
  TKrQVBDataDecoder second(ranged.Bytes());
  ASSERT_TRUE(second.Decode());
  const TKrQVBOneData v = second.SeriesList().at(0).Values.at(0);
  // From 2024-01-31 to 2024-03-31, the value, a user's observation.
  EXPECT_EQ(fmt::format("{}-{} {} {}", Field(v.VBeginDate), Field(v.VEndDate), Field(v.Value), v.IsUserObs),
            "45322-45382 -0.5 1");

  Body refused;
  refused.Int(12).Text("1").Int(0);
  TKrQVBDataDecoder error(refused.Bytes());
  EXPECT_FALSE(error.Decode());
  EXPECT_EQ(error.ErrorCode(), 12);

  // Counts beyond the body fail before anything is reserved.
  for (const Body& hostile :
       {Body().Int(0).Text("1").Int(-1), Body().Int(0).Text("1").Int(1).Text("X").Int(0).Int(0x7FFFFFFF),
        Body().Int(0).Text("3").Int(0)}) {
    TKrQVBDataDecoder bad(hostile.Bytes());
    EXPECT_FALSE(bad.Decode());
    EXPECT_TRUE(bad.SeriesList().empty());
  }
}

TEST(QVBDecoders, SearchPagesKeepTheirCountersAndKickRecordsWithoutTheWords) {
  testing::TestHost h;
  TKrQVBPageSearchDataDecoder shortReply(std::string("\x01\x00\x00", 3));
  EXPECT_FALSE(shortReply.Decode());
  EXPECT_EQ(shortReply.Count(), 0);
  EXPECT_EQ(shortReply.Total(), 0);
  EXPECT_TRUE(h->Logger().Contains("TKrQVBPageSearchDataDecoder.Decode: a body of 3 bytes"));

  auto page = [](Body& body) {
    body.Int(3).Int(2).Int(23);
    for (const char* description : {"GDP:现价:累计值", "gdpr, gdp deflator", "CPI:当月同比"}) {
      body.Props("M1", description, 4).Int(77).Int(1).Int(0).Int(5).Int(1);
    }
    return body.Bytes();
  };
  Body body;
  TKrQVBPageSearchDataDecoder all(page(body));
  ASSERT_TRUE(all.Decode());
  EXPECT_EQ(all.Count(), 3);
  EXPECT_EQ(all.NowPage(), 2);
  EXPECT_EQ(all.Total(), 23);
  ASSERT_EQ(all.PropsList().size(), 3u);
  EXPECT_EQ(Field(all.PropsList()[0].NodeId), 77u);
  EXPECT_EQ(Field(all.PropsList()[0].ParentId), 5u);
  EXPECT_EQ(all.PropsList()[0].IsFolder, 1);

  struct Case {
    const char* kick;
    bool caseSensitive, wholeWords;
    std::size_t kept;
  };
  // A whole word is not inside a run of letters, digits or other characters (Chinese included); any of
  // its occurrences may be the whole one.
  for (const Case& c : {Case{"gdp", false, false, 2}, Case{"gdp", true, false, 1}, Case{"GDP　现价", false, false, 1},
                        Case{"GD", false, false, 2}, Case{"GD", false, true, 0}, Case{"deflator gdp", false, true, 1},
                        Case{"  ", false, false, 3}, Case{"当月", false, true, 0}, Case{"当月同比", false, true, 1}}) {
    SCOPED_TRACE(c.kick);
    Body again;
    TKrQVBPageSearchDataDecoder decoder(page(again));
    decoder.SetKickText(c.kick);
    decoder.SetCaseSensitive(c.caseSensitive);
    decoder.SetWholeWords(c.wholeWords);
    ASSERT_TRUE(decoder.Decode());
    EXPECT_EQ(decoder.PropsList().size(), c.kept);
    EXPECT_EQ(decoder.Count(), 3);
  }

  TKrQVBNoteDataDecoder note(Body().Text("季度数据，按现价计算").Bytes());
  ASSERT_TRUE(note.Decode());
  EXPECT_EQ(note.Note(), "季度数据，按现价计算");
  TKrQVBNoteDataDecoder noteCut(Body().Int(100).Bytes());
  EXPECT_FALSE(noteCut.Decode());
}

TEST(QVBAes, FipsExampleVectorsAndTheHelpersAroundThem) {
  const std::string plain = HexToStr("00112233445566778899aabbccddeeff");
  TAESBlock block{};
  std::copy(plain.begin(), plain.end(), block.begin());
  const std::string key32 = HexToStr("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  struct Case {
    std::size_t keySize;
    const char* cipher;
  };
  for (const Case& c : {Case{16, "69C4E0D86A7B0430D8CDB78070B4C55A"}, Case{24, "DDA97CA4864CDFE06EAF70A0EC0D7191"},
                        Case{32, "8EA2B7CA516745BFEAFC49904B496089"}}) {
    SCOPED_TRACE(c.keySize);
    const std::string_view key = std::string_view(key32).substr(0, c.keySize);
    const TAESBlock cipher = EncryptAES(block, key);
    EXPECT_EQ(StrToHex(std::string_view(reinterpret_cast<const char*>(cipher.data()), cipher.size())), c.cipher);
    EXPECT_EQ(DecryptAES(cipher, key), block);
    // ECB over one whole block adds nothing: it is the cipher block.
    EXPECT_EQ(StrToHex(EncryptAESStreamECB(plain, 0, key)), c.cipher);
    EXPECT_EQ(DecryptAESStreamECB(HexToStr(c.cipher), 0, key), plain);
  }
  EXPECT_EQ(DecryptString(EncryptString("宏观数据", "a much longer key than thirty-two bytes", kb256),
                          "a much longer key than thirty-two bytes", kb256),
            "宏观数据");
  EXPECT_EQ(EncryptAESStreamECB(plain + plain, 16, std::string_view(key32).substr(0, 16)).size(), 16u);  // count only
  EXPECT_THROW(EncryptAES(block, "short"), EAESError);
  EXPECT_EQ(HexToStr("4a4bzz4c"), "JK");
}

}  // namespace
}  // namespace kdp
