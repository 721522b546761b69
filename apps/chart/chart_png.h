// An intraday chart (chart_view.h) written as a PNG image through cairo, with texts in a CJK font found
// through fontconfig ("Noto Sans CJK SC" from Debian's fonts-noto-cjk; fontconfig falls back to another
// font without it, and then Chinese names may show as boxes).
//
// The picture: the title and a note line on top, the price panel (price labels on the left, change
// percentages on the right, a grid, the previous close as a dashed line, the price line coloured above
// and below it as rises and falls, a dot at the last price), the volume panel under it and the time axis.
//
// Where things land (PngLayout): a bar's x is its middle, minute + period / 2, over the session's minutes
// across [left, right]; a price's y runs linearly from the top of the scale (ChartView::PriceRange) at
// priceTop to its bottom at priceBottom. Pure and thread-safe.
#pragma once

#include <string>

#include "chart_view.h"

namespace kdp::chart {

struct PngLayout {
  double left = 0, right = 0;              // the panels' horizontal extent
  double priceTop = 0, priceBottom = 0;    // the price panel
  double volumeTop = 0, volumeBottom = 0;  // the volume panel
};

// The panels of an image of `width` x `height` pixels.
PngLayout LayoutFor(int width, int height);

// Draws the view and writes it to `path`. False, with `error`, when the size is below 320 x 200 or
// beyond 8000 x 8000, or the file cannot be written.
bool WritePng(const ChartView& view, int width, int height, const std::string& path, std::string& error);

}  // namespace kdp::chart
