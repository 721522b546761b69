// What an intraday chart shows, and the chart drawn as terminal text.
//
// ChartView holds everything a picture of the day needs, already decided by the caller: the bars, the
// session axis, the reference line (previous close), the title, the texts of prices and volumes (the
// format manager's, in the command) and the colours of rises and falls (the format manager's colours of
// the current style). The terminal rendering and the image (chart_png.h) draw the same view.
//
// Both share one price scale: symmetric around the previous close, so the reference line runs through the
// middle and the farthest price touches an edge (1 % either side while nothing moved).
//
// RenderText draws in Braille cells (U+2800 to U+28FF: 2 x 4 dots a character) for the price line, with
// the previous close as a dotted line, and eighth blocks for the volume bars underneath. Pure and
// thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "intraday_bars.h"

namespace kdp::chart {

struct ChartView {
  std::string title;  // "600000.SH 浦发银行  10.41  +0.05  +0.48%", as shown
  SessionMinutes sessions;
  std::vector<Bar> bars;  // in session order
  int period = 1;         // minutes a bar spans
  double prevClose = 0;   // the reference line; 0 when unknown (the scale then centres on the bars)
  std::function<std::string(double)> priceText;   // axis labels
  std::function<std::string(double)> volumeText;  // the volume scale's label
  // The colour (0xRRGGBB) of a value against another (a rise, a fall, equal); unset: no colours.
  std::function<std::uint32_t(double value, double compare)> colour;
  std::uint32_t titleColour = 0;  // 0: the default colour
  std::string note;               // the image's second title line: date, period, volume and turnover
  // The image's other colours (0xRRGGBB), the style's where the caller has one.
  struct Palette {
    std::uint32_t background = 0x000000, text = 0xE6E6E6, grid = 0x3A3A3A, reference = 0xC0C0C0;
  } palette;

  // The price range the scale shows: [low, high].
  std::pair<double, double> PriceRange() const;
  // The largest volume of a bar.
  double MaxVolume() const;
  // The axis marks: each session's start and the day's end, as (session minute, "HH:MM"); a start that
  // follows an end directly is marked "HH:MM/HH:MM".
  std::vector<std::pair<int, std::string>> TimeMarks() const;
};

// The chart as `height` lines of at most `width` terminal columns (the last without a line end): the
// title, the price panel with its labels on the left, the volume panel, the time axis. With
// `ansiColour`, rises and falls carry 24-bit colour escapes. Widths below 20 or heights below 8 draw the
// title alone.
std::string RenderText(const ChartView& view, int width, int height, bool ansiColour);

}  // namespace kdp::chart
