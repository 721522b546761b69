// kdp-host's listings for scripts (JSON, CSV) and its colour policy.
#include <sstream>

#include <gtest/gtest.h>

#include "output.h"
#include "util/csv_file.h"

namespace kdp::app {
namespace {

// Every name comes back field for field through the package's own CSV reader, and the header row first.
TEST(KdpHostOutput, CsvRoundTripsThroughAReader) {
  const std::vector<std::string> names{"plain", "Bank, Ltd", "say \"hi\"", "\"a,b\",\"", "", "浦发银行"};
  Listing listing{{"code", "name", "last"}, {}};
  for (const std::string& name : names) listing.rows.push_back({"600000.SH", name, 10.36});
  std::ostringstream out, raw;
  WriteListing(out, raw, listing, OutputFormat::Csv);
  const std::string text = raw.str();
  std::vector<std::string> lines;
  for (std::size_t from = 0, at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
    lines.push_back(text.substr(from, at - from));
  }
  ASSERT_EQ(lines.size(), names.size() + 1);
  TCsvFile reader;
  std::vector<std::string> fields;
  reader.CsvExtractStrings(lines[0], fields);
  EXPECT_EQ(fields, listing.columns);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    reader.CsvExtractStrings(lines[i + 1], fields);
    EXPECT_EQ(fields, (std::vector<std::string>{"600000.SH", names[i], "10.36"}));
  }
  EXPECT_EQ(CsvField("a,\"b\""), "\"a,\"\"b\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
}

// Numbers stay numbers, a missing value is null, a broken name does not stop the document.
TEST(KdpHostOutput, JsonKeepsTypes) {
  Listing listing{{"code", "4", "8", "name"}, {{"600000.SH", 10.36, nullptr, std::string("bad\xff")}}};
  std::ostringstream out, raw;
  WriteListing(out, raw, listing, OutputFormat::Json);
  const auto parsed = nlohmann::json::parse(out.str());
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0]["code"], "600000.SH");
  EXPECT_TRUE(parsed[0]["4"].is_number());
  EXPECT_DOUBLE_EQ(parsed[0]["4"].get<double>(), 10.36);
  EXPECT_TRUE(parsed[0]["8"].is_null());
  EXPECT_EQ(parsed[0]["name"], "bad\xEF\xBF\xBD");
  EXPECT_EQ(IsoDate("-"), "-");  // not a date: as it stands
}

// A stream of rows: JSON a document per line, each flushed as written; CSV the header once.
TEST(KdpHostOutput, StreamWritesARowPerLine) {
  std::ostringstream out, raw;
  ListingStream json(out, raw, {"code", "last"}, OutputFormat::Json);
  json.Write({"600000.SH", 10.5});
  json.Write({"000001.SZ", nullptr});
  std::istringstream lines(out.str());
  std::vector<nlohmann::json> parsed;
  for (std::string line; std::getline(lines, line);) parsed.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[0]["code"], "600000.SH");
  EXPECT_DOUBLE_EQ(parsed[0]["last"].get<double>(), 10.5);
  EXPECT_TRUE(parsed[1]["last"].is_null());
  EXPECT_TRUE(raw.str().empty());

  std::ostringstream out2, csv;
  ListingStream records(out2, csv, {"code", "name"}, OutputFormat::Csv);
  EXPECT_EQ(csv.str(), "code,name\r\n");  // the header before any row
  records.Write({"600000.SH", "Bank, Ltd"});
  records.Write({"000001.SZ", "平安银行"});
  EXPECT_EQ(csv.str(), "code,name\r\n600000.SH,\"Bank, Ltd\"\r\n000001.SZ,平安银行\r\n");
}

// Cells that arrive as text: numbers become numbers, codes with leading zeros stay texts.
TEST(KdpHostOutput, TextCellsAndKeys) {
  std::string scalars;  // each cell's JSON text: an integer has no ".0", a text has its quotes
  for (const char* cell : {"949746", "-0.25", "000001", "0.5", "Total", ""}) scalars += ScalarOf(cell).dump() + " ";
  EXPECT_EQ(scalars, R"(949746 -0.25 "000001" 0.5 "Total" null )");
  EXPECT_EQ(IsoDateTime("2026-12-02"), "2026-12-02");
}

TEST(KdpHostOutput, ColorDepthFollowsTheEnvironment) {
  struct Case {
    ColorMode mode;
    bool terminal;
    const char* noColor;
    const char* colorTerm;
    const char* term;
    ColorDepth expected;
  };
  const Case cases[] = {
      {ColorMode::Auto, true, nullptr, "truecolor", "xterm-256color", ColorDepth::TrueColor},
      {ColorMode::Auto, true, nullptr, nullptr, "xterm-256color", ColorDepth::Palette256},
      {ColorMode::Auto, true, nullptr, nullptr, "xterm", ColorDepth::Basic16},
      {ColorMode::Auto, true, "1", "truecolor", "xterm", ColorDepth::None},
      {ColorMode::Auto, true, "", nullptr, "xterm", ColorDepth::Basic16},  // an empty NO_COLOR is not set
      {ColorMode::Auto, false, nullptr, "truecolor", "xterm", ColorDepth::None},
      {ColorMode::Auto, true, nullptr, nullptr, "dumb", ColorDepth::None},
      {ColorMode::Always, false, "1", "24bit", nullptr, ColorDepth::TrueColor},
      {ColorMode::Always, false, nullptr, nullptr, nullptr, ColorDepth::Basic16},
      {ColorMode::Never, true, nullptr, "truecolor", "xterm-256color", ColorDepth::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.mode) << " terminal " << c.terminal << " NO_COLOR "
                                    << (c.noColor ? c.noColor : "-") << " TERM " << (c.term ? c.term : "-"));
    EXPECT_EQ(ChooseColorDepth(c.mode, c.terminal, c.noColor, c.colorTerm, c.term), c.expected);
  }
  // The nearest colour: cube levels 0/95/135/175/215/255 in 256 colours, half range and brightness in 16.
  EXPECT_EQ(ForegroundSequence(0x102030, ColorDepth::TrueColor), "\x1b[38;2;16;32;48m");
  EXPECT_EQ(ForegroundSequence(0xFF0000, ColorDepth::Palette256), "\x1b[38;5;196m");
  EXPECT_EQ(ForegroundSequence(0x00A000, ColorDepth::Palette256), "\x1b[38;5;34m");  // 160 is nearest 175
  EXPECT_EQ(ForegroundSequence(0x6E0000, ColorDepth::Palette256), "\x1b[38;5;52m");  // 110 is nearest 95
  EXPECT_EQ(ForegroundSequence(0xFF0000, ColorDepth::Basic16), "\x1b[91m");
  EXPECT_EQ(ForegroundSequence(0x008000, ColorDepth::Basic16), "\x1b[32m");
  EXPECT_EQ(ForegroundSequence(0xFF0000, ColorDepth::None), "");
}

// 10.50 - 10.36 is 0.14: what the arithmetic of doubles leaves over goes.
TEST(KdpHostOutput, RawNumbersWithoutTheBinaryRemainder) {
  EXPECT_EQ(RawNumber(10.50 - 10.36), 0.14);
  EXPECT_EQ(RawNumber(0.051), 0.051);
}

}  // namespace
}  // namespace kdp::app
