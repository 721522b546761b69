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
  cairo_t* cr = context.get();
  const ChartView::Palette& p = view.palette;
  const PngLayout l = LayoutFor(width, height);
  const auto [low, high] = view.PriceRange();
  const int minutes = std::max(1, view.sessions.Count());
  const auto x_of = [&](double minute) { return l.left + minute / minutes * (l.right - l.left); };
  const auto y_of = [&](double price) {
    return l.priceTop + (high - price) / (high - low) * (l.priceBottom - l.priceTop);
  };
  const auto colour_of = [&](double value, double compare) {
    return view.colour && compare > 0 ? view.colour(value, compare) : p.text;
  };

  Colour(cr, p.background);
  cairo_paint(cr);

  // Title and note.
  Colour(cr, view.titleColour != 0 ? view.titleColour : p.text);
  Text(cr, view.title, l.left, 32, 22, Align::kLeft, true);
  Colour(cr, p.reference);
  Text(cr, view.note, l.left, 56, 14, Align::kLeft);

  // Grid: five price lines with their labels, and the time marks through both panels.
  cairo_set_line_width(cr, 1);
  const double mid = (low + high) / 2;
  for (const double price : {high, (high + mid) / 2, mid, (mid + low) / 2, low}) {
    const double y = std::round(y_of(price)) + 0.5;
    Colour(cr, p.grid);
    cairo_move_to(cr, l.left, y);
    cairo_line_to(cr, l.right, y);
    cairo_stroke(cr);
    Colour(cr, view.prevClose > 0 ? colour_of(price, view.prevClose) : p.text);
    Text(cr, view.priceText ? view.priceText(price) : fmt::format("{:.2f}", price), l.left - 8, y + 5, 13,
         Align::kRight);
    if (view.prevClose > 0) {
      Text(cr, fmt::format("{:+.2f}%", (price - view.prevClose) / view.prevClose * 100), l.right + 8, y + 5, 13,
           Align::kLeft);
    }
  }
  const auto marks = view.TimeMarks();
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const double x = std::round(x_of(marks[i].first)) + 0.5;
    Colour(cr, p.grid);
    for (const auto& [top, bottom] : {std::pair{l.priceTop, l.priceBottom}, std::pair{l.volumeTop, l.volumeBottom}}) {
      cairo_move_to(cr, x, top);
      cairo_line_to(cr, x, bottom);
    }
    cairo_stroke(cr);
    Colour(cr, p.text);
    const Align align = i == 0 ? Align::kLeft : i + 1 == marks.size() ? Align::kRight : Align::kCentre;
    Text(cr, marks[i].second, x, l.volumeBottom + 20, 13, align);
  }
  Colour(cr, p.grid);
  cairo_rectangle(cr, l.left + 0.5, l.volumeTop + 0.5, l.right - l.left - 1, l.volumeBottom - l.volumeTop - 1);
  cairo_stroke(cr);

  // The previous close, dashed.
  if (view.prevClose > 0) {
    const double y = std::round(y_of(view.prevClose)) + 0.5;
    Colour(cr, p.reference);
    const double dash[] = {6, 4};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, l.left, y);
    cairo_line_to(cr, l.right, y);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
  }

  // Volume bars, coloured by their close against the close before.
  const double most = view.MaxVolume();
  if (most > 0) {
    const double bar_width = std::max(1.0, (l.right - l.left) / minutes * view.period * 0.7);
    double before = view.prevClose;
    for (const Bar& bar : view.bars) {
      const double x = x_of(bar.minute + view.period / 2.0);
      const double h = bar.volume / most * (l.volumeBottom - l.volumeTop - 4);
      Colour(cr, colour_of(bar.close, before > 0 ? before : bar.open));
      cairo_rectangle(cr, x - bar_width / 2, l.volumeBottom - h, bar_width, h);
      cairo_fill(cr);
      before = bar.close;
    }
    Colour(cr, p.text);
    Text(cr, view.volumeText ? view.volumeText(most) : fmt::format("{}", most), l.left - 8, l.volumeTop + 12, 13,
         Align::kRight);
  }

  // The price line: above the previous close in the rise colour, below it in the fall colour.
  if (!view.bars.empty()) {
    cairo_set_line_width(cr, 2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    const double reference = view.prevClose > 0 ? view.prevClose : mid;
    const double split = y_of(reference);
    const auto trace = [&] {
      for (const Bar& bar : view.bars) cairo_line_to(cr, x_of(bar.minute + view.period / 2.0), y_of(bar.close));
    };
    for (const bool above : {true, false}) {
      cairo_save(cr);
      cairo_rectangle(cr, 0, above ? 0 : split, width, above ? split : height - split);
      cairo_clip(cr);
      const std::uint32_t rgb = colour_of(above ? high : low, reference);
      // A faint area between the line and the previous close, then the line.
      cairo_move_to(cr, x_of(view.bars.front().minute + view.period / 2.0), split);
      trace();
      cairo_line_to(cr, x_of(view.bars.back().minute + view.period / 2.0), split);
      cairo_close_path(cr);
      cairo_set_source_rgba(cr, (rgb >> 16) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, 0.14);
      cairo_fill(cr);
      Colour(cr, rgb);
      trace();
      cairo_stroke(cr);
      cairo_restore(cr);
    }
    const Bar& last = view.bars.back();
    Colour(cr, colour_of(last.close, reference));
    cairo_arc(cr, x_of(last.minute + view.period / 2.0), y_of(last.close), 4, 0, 2 * M_PI);
    cairo_fill(cr);
  }

  cairo_surface_flush(surface.get());
  if (const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
      status != CAIRO_STATUS_SUCCESS) {
    error = fmt::format("{}: {}", path, cairo_status_to_string(status));
    return false;
  }
  return true;
}

}  // namespace kdp::chart
