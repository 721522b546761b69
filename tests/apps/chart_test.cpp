// Intraday bars from scripted quotes, and the chart drawn from a fixed bar set as terminal text and as an
// image.
#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "chart_png.h"
#include "chart_view.h"
#include "intraday_bars.h"

namespace kdp::chart {

// A bar in a failure message: "minute open/high/low/close volume turnover".
void PrintTo(const Bar& b, std::ostream* out) {
  *out << b.minute << ' ' << b.open << '/' << b.high << '/' << b.low << '/' << b.close << ' ' << b.volume << ' '
       << b.turnover;
}

namespace {

const std::vector<int> kShanghai{930, 1130, 1300, 1500};
const std::vector<int> kGoldNight{2100, 230, 900, 1015, 1030, 1130, 1330, 1500};

struct Scripted {
  const char* name;
  std::vector<int> sessions;
  int sessionMinutes;
  std::vector<Quote> quotes;
  std::vector<Bar> bars;
  std::vector<Bar> fiveMinuteBars;
};

TEST(IntradayBarsTest, SessionMinutesAcrossTheLunchBreakMidnightAndAResetVolume) {
  const std::vector<Scripted> cases{
      {"a morning's end, the lunch break, and a volume reset after it",
       kShanghai,
       240,
       {
           {20261204, 112910, 10.00, 9.90, 1000, 10000},  // where counting starts: no volume of its own
           {20261204, 112950, 10.05, 9.90, 1300, 13015},
           {20261204, 113000, 10.02, 9.90, 1400, 14017},  // at the session's end: its last minute
           {20261204, 121000, 10.02, 9.90, 1400, 14017},  // in the break: the minute before it, unchanged
           {20261204, 130005, 10.10, 9.90, 2400, 24117},  // the first afternoon minute follows 11:29
           {20261204, 130130, 9.98, 9.90, 500, 4990},     // the cumulative figures restarted from zero
           {20261204, 130140, 9.99, 9.90, 700, 6988},
       },
       {{119, 10.00, 10.05, 10.00, 10.02, 400, 4017},
        {120, 10.10, 10.10, 10.10, 10.10, 1000, 10100},
        {121, 9.98, 9.99, 9.98, 9.99, 700, 6988}},
       {{115, 10.00, 10.05, 10.00, 10.02, 400, 4017}, {120, 10.10, 10.10, 9.98, 9.99, 1700, 17088}}},
      {"a night session across midnight into the day, then the next trade date",
       kGoldNight,
       330 + 75 + 60 + 90,
       {
           {20261204, 235930, 600.00, 598.00, 10, 6000},
           {20261204, 2, 600.50, 598.00, 15, 9002.5},  // 00:00:02 follows 23:59
           {20261204, 22959, 601.00, 598.00, 20, 12007.5},
           {20261204, 90000, 599.00, 598.00, 26, 15601.5},
           {20261204, 102000, 599.50, 598.00, 27, 16201},  // in the 10:15 break: 10:14
           {20261207, 210030, 602.00, 599.50, 3, 1806},    // Monday's night: a new day counting from zero
       },
       {{0, 602.00, 602.00, 602.00, 602.00, 3, 1806}},
       {{0, 602.00, 602.00, 602.00, 602.00, 3, 1806}}},
  };
  for (const Scripted& c : cases) {
    SCOPED_TRACE(c.name);
    SessionMinutes minutes(c.sessions);
    EXPECT_EQ(minutes.Count(), c.sessionMinutes);
    IntradayBars bars(minutes, 20261204);
    for (const Quote& q : c.quotes) bars.Add(q);
    // Prices are copied from the quotes and the volumes and turnovers are differences of figures a double
    // holds exactly: the bars compare exactly.
    EXPECT_EQ(bars.Bars(), c.bars);
    EXPECT_EQ(bars.Joined(5), c.fiveMinuteBars);
  }

  // The night before the new day, as its bars stood: minutes in trading order across midnight.
  IntradayBars night(SessionMinutes(kGoldNight), 20261204);
  for (std::size_t i = 0; i < 5; ++i) night.Add(cases[1].quotes[i]);
  std::vector<int> order;
  for (const Bar& b : night.Bars()) order.push_back(b.minute);
  EXPECT_EQ(order, (std::vector<int>{179, 180, 329, 330, 404}));
  EXPECT_EQ(night.Bars()[1].volume, 5);
  EXPECT_EQ(night.Bars()[4].volume, 1);
}

// A fixed morning: the previous close 10.00, prices up to 10.20 and down to 9.90 (the scale reaches 0.20
// either side), a volume per bar of 100 times its number.
ChartView FixedView() {
  ChartView view;
  view.title = "600000.SH 浦发银行  10.12  +0.12  +1.20%";
  view.sessions = SessionMinutes(kShanghai);
  const double closes[] = {10.00, 10.04, 10.10, 10.20, 10.15, 10.02, 9.95, 9.90, 9.98, 10.06, 10.12, 10.12};
  for (int i = 0; i < 12; ++i) {
    const double c = closes[i];
    view.bars.push_back({i * 10, c, c, c, c, 100.0 * (i + 1), 0});
  }
  view.prevClose = 10.00;
  view.priceText = [](double v) {
    std::ostringstream s;
    s.precision(2);
    s << std::fixed << v;
    return s.str();
  };
  view.volumeText = [](double v) { return std::to_string(static_cast<int>(v)); };
  view.colour = [](double value, double compare) -> std::uint32_t {
    return value > compare ? 0xD00000 : value < compare ? 0x008A00 : 0x333333;
  };
  return view;
}

TEST(ChartTextTest, FixedBarsAt80x24MatchTheCheckedRendering) {
  std::ifstream golden(std::string(KDP_CHART_GOLDEN_DIR) + "/chart_80x24.txt", std::ios::binary);
  ASSERT_TRUE(golden) << "the stored rendering is missing";
  std::stringstream expected;
  expected << golden.rdbuf();
  const std::string text = RenderText(FixedView(), 80, 24, false);
  EXPECT_EQ(text, expected.str());
  // Colour is only asked for: the same text with the colours' escapes around the drawn cells.
  const std::string coloured = RenderText(FixedView(), 80, 24, true);
  EXPECT_NE(coloured.find("\x1b[38;2;208;0;0m"), std::string::npos);
  EXPECT_NE(coloured.find("\x1b[38;2;0;138;0m"), std::string::npos);
}

TEST(ChartPngTest, TheImageHasItsSizeAndTheLastCloseInTheRiseColourWhereItsPriceMaps) {
  const std::string path = (std::filesystem::temp_directory_path() / "kdp_chart_test.png").string();
  std::string error;
  struct Size {
    int width, height;
  };
  for (const Size size : {Size{800, 480}, Size{1201, 733}}) {
    SCOPED_TRACE(size.width);
    ASSERT_TRUE(WritePng(FixedView(), size.width, size.height, path, error)) << error;
    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), size.width);
    EXPECT_EQ(cairo_image_surface_get_height(image), size.height);
    // The last bar starts at minute 110 of 240 and closes at 10.12 on a scale from 9.80 to 10.20.
    const PngLayout l = LayoutFor(size.width, size.height);
    const double x = l.left + (110 + 0.5) / 240 * (l.right - l.left);
    const double y = l.priceTop + (10.20 - 10.12) / 0.40 * (l.priceBottom - l.priceTop);
    const auto pixel = [&](int px, int py) {
      const unsigned char* data = cairo_image_surface_get_data(image);
      const auto* row = reinterpret_cast<const std::uint32_t*>(data + py * cairo_image_surface_get_stride(image));
      return row[px] & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(static_cast<int>(x), static_cast<int>(y)), 0xD00000u);
    // Far from the line, in the same column: the background.
    EXPECT_EQ(pixel(static_cast<int>(x), static_cast<int>(l.priceBottom) - 3), 0x000000u);
    cairo_surface_destroy(image);
  }
  std::filesystem::remove(path);
  EXPECT_FALSE(WritePng(FixedView(), 100, 100, path, error));
}

}  // namespace
}  // namespace kdp::chart
