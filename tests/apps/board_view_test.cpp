// The live board's pieces that need no terminal: the key decoder, the width fitting, the paging and the
// order of the rows.
#include <map>
#include <optional>

#include <gtest/gtest.h>

#include "board_keys.h"
#include "board_layout.h"
#include "board_sort.h"

namespace kdp::app {
namespace {

using Keys = std::vector<BoardKey>;

TEST(BoardKeys, LettersAndSequences) {
  KeyDecoder decoder;
  EXPECT_EQ(decoder.Feed("q"), Keys{BoardKey::Quit});
  EXPECT_EQ(decoder.Feed("S"), Keys{BoardKey::NextSort});
  EXPECT_EQ(decoder.Feed("\x1b[A\x1b[B"), (Keys{BoardKey::RowUp, BoardKey::RowDown}));
  EXPECT_EQ(decoder.Feed("\x1bOA"), Keys{BoardKey::RowUp});  // application cursor mode
  EXPECT_EQ(decoder.Feed("\x1b[5~\x1b[6~"), (Keys{BoardKey::PageUp, BoardKey::PageDown}));
  EXPECT_EQ(decoder.Feed("x1\r"), Keys{});
}

// A sequence split over reads is decoded when its last byte arrives, and nothing before that.
TEST(BoardKeys, SequenceSplitOverReads) {
  KeyDecoder decoder;
  EXPECT_EQ(decoder.Feed("\x1b"), Keys{});
  EXPECT_EQ(decoder.Feed("["), Keys{});
  EXPECT_EQ(decoder.Feed("6"), Keys{});
  EXPECT_EQ(decoder.Feed("~q"), (Keys{BoardKey::PageDown, BoardKey::Quit}));
  EXPECT_EQ(decoder.Feed("\x1b["), Keys{});
  EXPECT_EQ(decoder.Feed("B"), Keys{BoardKey::RowDown});
}

// Sequences of other keys (F5, Home, Alt+q) are no keys of the board, nor do they hide the keys after them.
TEST(BoardKeys, OtherSequencesAreSkipped) {
  KeyDecoder decoder;
  EXPECT_EQ(decoder.Feed("\x1b[15~s"), Keys{BoardKey::NextSort});
  EXPECT_EQ(decoder.Feed("\x1b[Hq"), Keys{BoardKey::Quit});
  EXPECT_EQ(decoder.Feed("\x1bq"), Keys{});
  EXPECT_EQ(decoder.Feed("\x1b\x1b[A"), Keys{BoardKey::RowUp});  // a cut-off sequence, then a whole one
}

// Widths 12, 14, 11, 10: 12 + 2 + 14 + 2 + 11 = 41 columns for three, 53 for four.
TEST(BoardLayout, ColumnsFromTheLeftThatFit) {
  const std::vector<TableColumn> columns{{"a", 12, false}, {"b", 14, false}, {"c", 11, true}, {"d", 10, true}};
  EXPECT_EQ(ColumnsThatFit(columns, 0), 4u);  // no terminal: every column
  EXPECT_EQ(ColumnsThatFit(columns, 53), 4u);
  EXPECT_EQ(ColumnsThatFit(columns, 52), 3u);
  EXPECT_EQ(ColumnsThatFit(columns, 41), 3u);
  EXPECT_EQ(ColumnsThatFit(columns, 40), 2u);
  EXPECT_EQ(ColumnsThatFit(columns, 5), 1u);  // the code stays; its line is cut
}

TEST(BoardLayout, LinesCutByDisplayWidth) {
  EXPECT_EQ(CutToWidth("600000.SH  浦发银行", 15), "600000.SH  浦发");  // 11 columns and two of 2
  EXPECT_EQ(CutToWidth("600000.SH  浦发银行", 14), "600000.SH  浦");    // half a character is none
  EXPECT_EQ(CutToWidth("abc", 0), "abc");
  // Colour sequences take no columns; a cut coloured line resets the colour.
  EXPECT_EQ(CutToWidth("\x1b[31m10.50\x1b[0m  1.2%", 7), "\x1b[31m10.50\x1b[0m  \x1b[0m");
  EXPECT_EQ(CutToWidth("\x1b[31m10.50\x1b[0m  1.2%", 3), "\x1b[31m10.\x1b[0m");
}

TEST(BoardLayout, TableLineOfTheKeptColumns) {
  const std::vector<TableColumn> columns{{"code", 10, false}, {"last", 6, true}, {"time", 8, true}};
  const std::vector<TableCell> cells{{"600000.SH", ""}, {"10.50", "<red>"}, {"10:30:00", ""}};
  EXPECT_EQ(TableLine(columns, 2, cells), "600000.SH   <red> 10.50\x1b[0m  ");
}

// Ten rows, four to a page: from the first row, moved back so the last page is full.
TEST(BoardLayout, WindowOfRows) {
  EXPECT_EQ(WindowOfRows(10, 0, 3).count, 10u);  // every row fits
  EXPECT_EQ(WindowOfRows(10, 4, 0).first, 0u);
  EXPECT_EQ(WindowOfRows(10, 4, 4).first, 4u);
  EXPECT_EQ(WindowOfRows(10, 4, 8).first, 6u);
  EXPECT_EQ(WindowOfRows(10, 4, 8).count, 4u);
}

TEST(BoardSort, HighestFirstMissingLastTopN) {
  const std::map<std::string, std::optional<double>> values{
      {"A", 1.5}, {"B", std::nullopt}, {"C", 3.0}, {"D", -2.0}, {"E", 1.5}};
  const SortValue value = [&](const std::string& code) { return values.at(code); };
  const std::vector<std::string> codes{"A", "B", "C", "D", "E"};
  using Codes = std::vector<std::string>;
  EXPECT_EQ(OrderCodes(codes, value, {}), codes);  // no sort field: as given
  EXPECT_EQ(OrderCodes(codes, value, {.field = 81}), (Codes{"C", "A", "E", "D", "B"}));
  EXPECT_EQ(OrderCodes(codes, value, {.field = 81, .ascending = true}), (Codes{"D", "A", "E", "C", "B"}));
  EXPECT_EQ(OrderCodes(codes, value, {.field = 81, .ascending = false, .top = 2}), (Codes{"C", "A"}));
  EXPECT_EQ(OrderCodes(codes, value, {.field = 0, .ascending = false, .top = 3}), (Codes{"A", "B", "C"}));
}

TEST(BoardSort, NextSortFieldCycles) {
  const std::vector<std::uint32_t> cycle{3, 10, 81, 8};
  EXPECT_EQ(NextSortField(cycle, 0), 3u);
  EXPECT_EQ(NextSortField(cycle, 10), 81u);
  EXPECT_EQ(NextSortField(cycle, 8), 3u);
}

// With COLUMNS unset and no terminal the view pages nothing; keys move it and q ends it.
TEST(BoardView, KeysMoveTheFirstRow) {
  BoardView view({}, true);
  const std::vector<std::uint32_t> cycle{3, 10};
  EXPECT_FALSE(view.Key(BoardKey::Quit, cycle));
  EXPECT_TRUE(view.Key(BoardKey::NextSort, cycle));
  EXPECT_EQ(view.Order().field, 3u);
  EXPECT_TRUE(view.Key(BoardKey::NextSort, cycle));
  EXPECT_EQ(view.Order().field, 10u);
  EXPECT_TRUE(view.Key(BoardKey::RowDown, cycle));
  EXPECT_EQ(view.Window(5, 3).first, 0u);  // every row fits: from the first
}

}  // namespace
}  // namespace kdp::app
