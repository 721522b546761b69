#include "chart_png.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include <fmt/format.h>

namespace kdp::chart {
namespace {

constexpr const char* kFont = "Noto Sans CJK SC";

struct SurfaceEnd {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextEnd {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

void Colour(cairo_t* cr, std::uint32_t rgb) {
  cairo_set_source_rgb(cr, (rgb >> 16) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

enum class Align { kLeft, kCentre, kRight };

// Text with its baseline at y, placed against x as `align` says.
void Text(cairo_t* cr, const std::string& text, double x, double y, double size, Align align, bool bold = false) {
  cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  const double shift = align == Align::kLeft ? 0 : align == Align::kCentre ? extents.x_advance / 2 : extents.x_advance;
  cairo_move_to(cr, x - shift, y);
  cairo_show_text(cr, text.c_str());
}

// What every stage of an image draws with: the context, the view, and the scales of both panels.
struct Plot {
  cairo_t* cr;
  const ChartView& view;
  const PngLayout& l;
  double low, high;  // the price scale
  int minutes;       // the time scale: the sessions' minutes

  double X(double minute) const { return l.left + minute / minutes * (l.right - l.left); }
  double Y(double price) const { return l.priceTop + (high - price) / (high - low) * (l.priceBottom - l.priceTop); }
  double Mid() const { return (low + high) / 2; }
  // The colour of a value against another; the text colour when the view has no colours or nothing to
  // compare with.
  std::uint32_t ColourOf(double value, double compare) const {
    return view.colour && compare > 0 ? view.colour(value, compare) : view.palette.text;
  }
};

void DrawTitle(const Plot& p) {
  Colour(p.cr, p.view.titleColour != 0 ? p.view.titleColour : p.view.palette.text);
  Text(p.cr, p.view.title, p.l.left, 32, 22, Align::kLeft, true);
  Colour(p.cr, p.view.palette.reference);
  Text(p.cr, p.view.note, p.l.left, 56, 14, Align::kLeft);
}

// Five price lines with their labels, and the percentages against the previous close when it is known.
void DrawPriceGrid(const Plot& p) {
  const ChartView& view = p.view;
  cairo_set_line_width(p.cr, 1);
  const double mid = p.Mid();
  for (const double price : {p.high, (p.high + mid) / 2, mid, (mid + p.low) / 2, p.low}) {
    const double y = std::round(p.Y(price)) + 0.5;
    Colour(p.cr, view.palette.grid);
    cairo_move_to(p.cr, p.l.left, y);
    cairo_line_to(p.cr, p.l.right, y);
    cairo_stroke(p.cr);
    Colour(p.cr, view.prevClose > 0 ? p.ColourOf(price, view.prevClose) : view.palette.text);
    Text(p.cr, view.priceText ? view.priceText(price) : fmt::format("{:.2f}", price), p.l.left - 8, y + 5, 13,
         Align::kRight);
    if (view.prevClose > 0) {
      Text(p.cr, fmt::format("{:+.2f}%", (price - view.prevClose) / view.prevClose * 100), p.l.right + 8, y + 5, 13,
           Align::kLeft);
    }
  }
}

// The time marks through both panels with their labels under them, and the volume panel's frame.
void DrawTimeGrid(const Plot& p) {
  const PngLayout& l = p.l;
  const auto marks = p.view.TimeMarks();
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const double x = std::round(p.X(marks[i].first)) + 0.5;
    Colour(p.cr, p.view.palette.grid);
    for (const auto& [top, bottom] : {std::pair{l.priceTop, l.priceBottom}, std::pair{l.volumeTop, l.volumeBottom}}) {
      cairo_move_to(p.cr, x, top);
      cairo_line_to(p.cr, x, bottom);
    }
    cairo_stroke(p.cr);
    Colour(p.cr, p.view.palette.text);
    const Align align = i == 0 ? Align::kLeft : i + 1 == marks.size() ? Align::kRight : Align::kCentre;
    Text(p.cr, marks[i].second, x, l.volumeBottom + 20, 13, align);
  }
  Colour(p.cr, p.view.palette.grid);
  cairo_rectangle(p.cr, l.left + 0.5, l.volumeTop + 0.5, l.right - l.left - 1, l.volumeBottom - l.volumeTop - 1);
  cairo_stroke(p.cr);
}

// The previous close, dashed.
void DrawPrevClose(const Plot& p) {
  const double y = std::round(p.Y(p.view.prevClose)) + 0.5;
  Colour(p.cr, p.view.palette.reference);
  const double dash[] = {6, 4};
  cairo_set_dash(p.cr, dash, 2, 0);
  cairo_move_to(p.cr, p.l.left, y);
  cairo_line_to(p.cr, p.l.right, y);
  cairo_stroke(p.cr);
  cairo_set_dash(p.cr, nullptr, 0, 0);
}

// Volume bars, coloured by their close against the close before, and the label of the largest volume.
void DrawVolumes(const Plot& p, double most) {
  const ChartView& view = p.view;
  const PngLayout& l = p.l;
  const double bar_width = std::max(1.0, (l.right - l.left) / p.minutes * view.period * 0.7);
  double before = view.prevClose;
  for (const Bar& bar : view.bars) {
    const double x = p.X(bar.minute + view.period / 2.0);
    const double h = bar.volume / most * (l.volumeBottom - l.volumeTop - 4);
    Colour(p.cr, p.ColourOf(bar.close, before > 0 ? before : bar.open));
    cairo_rectangle(p.cr, x - bar_width / 2, l.volumeBottom - h, bar_width, h);
    cairo_fill(p.cr);
    before = bar.close;
  }
  Colour(p.cr, view.palette.text);
  Text(p.cr, view.volumeText ? view.volumeText(most) : fmt::format("{}", most), l.left - 8, l.volumeTop + 12, 13,
       Align::kRight);
}

// The price line: above the previous close in the rise colour, below it in the fall colour; a dot on the
// last close.
void DrawPriceLine(const Plot& p, int width, int height) {
  const ChartView& view = p.view;
  cairo_t* cr = p.cr;
  cairo_set_line_width(cr, 2);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  const double reference = view.prevClose > 0 ? view.prevClose : p.Mid();
  const double split = p.Y(reference);
  const auto trace = [&] {
    for (const Bar& bar : view.bars) cairo_line_to(cr, p.X(bar.minute + view.period / 2.0), p.Y(bar.close));
  };
  for (const bool above : {true, false}) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, above ? 0 : split, width, above ? split : height - split);
    cairo_clip(cr);
    const std::uint32_t rgb = p.ColourOf(above ? p.high : p.low, reference);
    // A faint area between the line and the previous close, then the line.
    cairo_move_to(cr, p.X(view.bars.front().minute + view.period / 2.0), split);
    trace();
    cairo_line_to(cr, p.X(view.bars.back().minute + view.period / 2.0), split);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, (rgb >> 16) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, 0.14);
    cairo_fill(cr);
    Colour(cr, rgb);
    trace();
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  const Bar& last = view.bars.back();
  Colour(cr, p.ColourOf(last.close, reference));
  cairo_arc(cr, p.X(last.minute + view.period / 2.0), p.Y(last.close), 4, 0, 2 * M_PI);
  cairo_fill(cr);
}

}  // namespace

PngLayout LayoutFor(int width, int height) {
  PngLayout l;
  l.left = 76;
  l.right = width - 70.0;
  l.priceTop = 74;
  const double bottom = height - 30.0;  // the time axis below
  const double panels = bottom - l.priceTop;
  l.priceBottom = l.priceTop + std::round(panels * 0.72);
  l.volumeTop = l.priceBottom + 14;
  l.volumeBottom = bottom;
  return l;
}

bool WritePng(const ChartView& view, int width, int height, const std::string& path, std::string& error) {
  if (width < 320 || height < 200 || width > 8000 || height > 8000) {
    error = fmt::format("an image of {} x {} pixels: the size must be 320 x 200 to 8000 x 8000", width, height);
    return false;
  }
  std::unique_ptr<cairo_surface_t, SurfaceEnd> surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
  std::unique_ptr<cairo_t, ContextEnd> context(cairo_create(surface.get()));
  const PngLayout l = LayoutFor(width, height);
  const auto [low, high] = view.PriceRange();
  const Plot plot{context.get(), view, l, low, high, std::max(1, view.sessions.Count())};

  Colour(plot.cr, view.palette.background);
  cairo_paint(plot.cr);
  DrawTitle(plot);
  DrawPriceGrid(plot);
  DrawTimeGrid(plot);
  if (view.prevClose > 0) DrawPrevClose(plot);
  if (const double most = view.MaxVolume(); most > 0) DrawVolumes(plot, most);
  if (!view.bars.empty()) DrawPriceLine(plot, width, height);

  cairo_surface_flush(surface.get());
  if (const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
      status != CAIRO_STATUS_SUCCESS) {
    error = fmt::format("{}: {}", path, cairo_status_to_string(status));
    return false;
  }
  return true;
}

}  // namespace kdp::chart
