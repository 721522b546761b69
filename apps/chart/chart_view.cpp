#include "chart_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

namespace kdp::chart {
namespace {

std::string HhMm(int hhmm) { return fmt::format("{:02}:{:02}", hhmm / 100 % 24, hhmm % 100); }

// The Braille cell of a dot pattern (U+2800 + the pattern), in UTF-8: always three bytes.
std::string BrailleCell(unsigned dots) {
  return {static_cast<char>(0xE2), static_cast<char>(0xA0 | (dots >> 6)), static_cast<char>(0x80 | (dots & 0x3F))};
}

std::string Coloured(const std::string& text, std::uint32_t rgb, bool ansi) {
  if (!ansi || rgb == 0 || text.empty()) return text;
  return fmt::format("\x1b[38;2;{};{};{}m{}\x1b[0m", rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF, text);
}

// A grid of Braille cells: dots of the line and of the reference line, and per cell the price whose
// colour it takes.
class BrailleGrid {
 public:
  BrailleGrid(int columns, int rows)
      : columns_(columns), rows_(rows), line_(Size(), 0), ref_(Size(), 0), price_(Size(), 0.0) {}

  int DotsWide() const { return columns_ * 2; }
  int DotsHigh() const { return rows_ * 4; }

  void Dot(int x, int y, double price) {
    if (x < 0 || y < 0 || x >= DotsWide() || y >= DotsHigh()) return;
    line_[Cell(x, y)] |= Bit(x, y);
    price_[Cell(x, y)] = price;
  }
  void RefDot(int x, int y) {
    if (x < 0 || y < 0 || x >= DotsWide() || y >= DotsHigh()) return;
    ref_[Cell(x, y)] |= Bit(x, y);
  }
  // A straight line of dots from one point to the next, both included.
  void Segment(int x0, int y0, int x1, int y1, double price) {
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
      const double t = steps == 0 ? 0.0 : static_cast<double>(i) / steps;
      Dot(static_cast<int>(std::lround(x0 + (x1 - x0) * t)), static_cast<int>(std::lround(y0 + (y1 - y0) * t)), price);
    }
  }

  std::string Row(int row, const ChartView& view, bool ansi) const {
    std::string out;
    for (int c = 0; c < columns_; ++c) {
      const std::size_t i = static_cast<std::size_t>(row * columns_ + c);
      const unsigned dots = line_[i] | ref_[i];
      const std::string glyph = dots == 0 ? std::string(" ") : BrailleCell(dots);
      if (!ansi || dots == 0) {
        out += glyph;
      } else if (line_[i] != 0) {
        out += Coloured(glyph, view.colour && view.prevClose > 0 ? view.colour(price_[i], view.prevClose) : 0, true);
      } else {
        out += "\x1b[2m" + glyph + "\x1b[0m";
      }
    }
    return out;
  }

 private:
  std::size_t Size() const { return static_cast<std::size_t>(columns_ * rows_); }
  std::size_t Cell(int x, int y) const { return static_cast<std::size_t>(y / 4 * columns_ + x / 2); }
  static unsigned Bit(int x, int y) {
    static constexpr unsigned kBits[2][4] = {{0x01, 0x02, 0x04, 0x40}, {0x08, 0x10, 0x20, 0x80}};
    return kBits[x % 2][y % 4];
  }

  int columns_, rows_;
  std::vector<unsigned> line_, ref_;
  std::vector<double> price_;
};

// The panels of a text chart under its title: their rows and scales, and the text columns right of the
// labels.
struct TextPanels {
  int priceRows, volumeRows;
  double low, high;  // the price scale
  double topVolume;  // the volume scale's top
  int columns;       // known once the labels are

  // The row of Braille dots a price falls on, 0 at the top.
  int DotOf(double price) const {
    const int dots_high = priceRows * 4;
    return static_cast<int>(std::lround((high - price) / (high - low) * (dots_high - 1)));
  }
  // The text column a session minute falls in.
  int ColumnOf(int minute, int minutesTotal) const {
    return std::clamp(static_cast<int>(static_cast<long long>(minute) * columns / minutesTotal), 0, columns - 1);
  }
};

// Labels on the left: the top, the quarters, the reference line and the bottom of the price panel, and
// the volume scale's top; one per row of both panels, most of them empty.
std::vector<std::string> AxisLabels(const ChartView& view, const TextPanels& panels) {
  std::vector<std::string> labels(static_cast<std::size_t>(panels.priceRows + panels.volumeRows));
  const double low = panels.low, high = panels.high, mid = (low + high) / 2;
  for (const double p : {high, (high + mid) / 2, mid, (mid + low) / 2, low}) {
    labels[static_cast<std::size_t>(panels.DotOf(p) / 4)] = view.priceText ? view.priceText(p) : fmt::format("{}", p);
  }
  if (panels.topVolume > 0) {
    labels[static_cast<std::size_t>(panels.priceRows)] =
        view.volumeText ? view.volumeText(panels.topVolume) : fmt::format("{}", panels.topVolume);
  }
  return labels;
}

// A row's label, right-aligned in the label column, and the blank after it.
std::string LabelCell(const std::vector<std::string>& labels, int row, int width) {
  return fmt::format("{:>{}} ", labels[static_cast<std::size_t>(row)], width);
}

// The price panel: the previous close as a dotted line, and the closes joined from bar to bar.
BrailleGrid PricePanel(const ChartView& view, const TextPanels& panels) {
  BrailleGrid grid(panels.columns, panels.priceRows);
  if (view.prevClose > 0) {
    const int y = panels.DotOf(view.prevClose);
    for (int x = 0; x < grid.DotsWide(); x += 4) grid.RefDot(x, y);
  }
  const int columns_total = view.sessions.Count();
  const auto x_of = [&](const Bar& bar) {
    const double centre = bar.minute + view.period / 2.0;
    return std::min(grid.DotsWide() - 1, static_cast<int>(centre * grid.DotsWide() / columns_total));
  };
  for (std::size_t i = 0; i < view.bars.size(); ++i) {
    const Bar& bar = view.bars[i];
    if (i == 0) {
      grid.Dot(x_of(bar), panels.DotOf(bar.close), bar.close);
    } else {
      const Bar& before = view.bars[i - 1];
      grid.Segment(x_of(before), panels.DotOf(before.close), x_of(bar), panels.DotOf(bar.close), bar.close);
    }
  }
  return grid;
}

// The volume panel, each row after its label: one bar per text column, the largest volume of its bars,
// coloured by its last close against the last close before it.
void AppendVolumeRows(const ChartView& view, const TextPanels& panels, const std::vector<std::string>& labels,
                      int labelWidth, bool ansiColour, std::string& out) {
  const int columns = panels.columns;
  std::vector<double> volume(static_cast<std::size_t>(columns), 0.0);
  std::vector<double> close(volume.size(), 0.0);
  for (const Bar& bar : view.bars) {
    const auto c = static_cast<std::size_t>(panels.ColumnOf(bar.minute, view.sessions.Count()));
    volume[c] = std::max(volume[c], bar.volume);
    close[c] = bar.close;
  }
  static constexpr const char* kEighths[] = {" ", "▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
  const int volume_rows = panels.volumeRows;
  for (int r = 0; r < volume_rows; ++r) {
    out += "\n" + LabelCell(labels, panels.priceRows + r, labelWidth);
    const int floor_eighths = (volume_rows - 1 - r) * 8;  // eighths below this row
    double before = view.prevClose;
    for (int c = 0; c < columns; ++c) {
      const double v = volume[static_cast<std::size_t>(c)];
      int eighths = panels.topVolume > 0 ? static_cast<int>(std::lround(v / panels.topVolume * volume_rows * 8)) : 0;
      if (v > 0) eighths = std::max(eighths, 1);
      const std::string glyph = kEighths[std::clamp(eighths - floor_eighths, 0, 8)];
      const double now = close[static_cast<std::size_t>(c)];
      out += v > 0 && view.colour && before > 0 ? Coloured(glyph, view.colour(now, before), ansiColour) : glyph;
      if (v > 0) before = now;
    }
  }
}

// The time axis under both panels: the marks that fit, none overlapping the one before.
std::string TimeAxis(const ChartView& view, int labelWidth, int columns) {
  std::string axis(static_cast<std::size_t>(labelWidth + 1 + columns), ' ');
  int free_from = 0;
  const auto marks = view.TimeMarks();
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const auto& [minute, text] = marks[i];
    const int length = static_cast<int>(text.size());
    const int at = static_cast<int>(static_cast<long long>(minute) * columns / view.sessions.Count());
    int start = i == 0 ? at : i + 1 == marks.size() ? columns - length : at - length / 2;
    start = std::clamp(start, 0, columns - length);
    if (start < free_from) continue;
    axis.replace(static_cast<std::size_t>(labelWidth + 1 + start), static_cast<std::size_t>(length), text);
    free_from = start + length + 1;
  }
  axis.erase(axis.find_last_not_of(' ') + 1);
  return axis;
}

}  // namespace

std::pair<double, double> ChartView::PriceRange() const {
  double low = prevClose, high = prevClose;
  for (const Bar& bar : bars) {
    if (low <= 0 || bar.low < low) low = bar.low;
    high = std::max(high, bar.high);
  }
  const double centre = prevClose > 0 ? prevClose : (low + high) / 2;
  double reach = std::max(high - centre, centre - low);
  if (!(reach > 0)) reach = centre > 0 ? centre * 0.01 : 1.0;
  return {centre - reach, centre + reach};
}

double ChartView::MaxVolume() const {
  double most = 0;
  for (const Bar& bar : bars) most = std::max(most, bar.volume);
  return most;
}

std::vector<std::pair<int, std::string>> ChartView::TimeMarks() const {
  std::vector<std::pair<int, std::string>> marks;
  const auto& s = sessions.Sessions();
  const auto starts = sessions.SessionStarts();
  for (std::size_t i = 0; i < starts.size(); ++i) {
    std::string label = HhMm(s[2 * i]);
    if (i > 0) label = HhMm(s[2 * i - 1]) + "/" + label;
    marks.emplace_back(starts[i], label);
    // Whole hours inside the session, half an hour or more from its ends.
    const int end = i + 1 < starts.size() ? starts[i + 1] : sessions.Count();
    for (int m = starts[i] + 30; m <= end - 30; ++m) {
      if (sessions.TimeOf(m) % 100 == 0) marks.emplace_back(m, HhMm(sessions.TimeOf(m)));
    }
  }
  if (!s.empty()) marks.emplace_back(sessions.Count(), HhMm(s.back()));
  return marks;
}

std::string RenderText(const ChartView& view, int width, int height, bool ansiColour) {
  std::string out = Coloured(view.title, view.titleColour, ansiColour);
  if (width < 20 || height < 8 || view.sessions.Count() == 0) return out;

  const int volume_rows = std::max(2, (height - 2) / 4);
  const auto [low, high] = view.PriceRange();
  TextPanels panels{height - 2 - volume_rows, volume_rows, low, high, view.MaxVolume(), 0};
  const std::vector<std::string> labels = AxisLabels(view, panels);
  int label_width = 0;
  for (const auto& l : labels) label_width = std::max(label_width, static_cast<int>(l.size()));
  panels.columns = width - label_width - 1;
  if (panels.columns < 4) return out;

  const BrailleGrid grid = PricePanel(view, panels);
  for (int r = 0; r < panels.priceRows; ++r) {
    out += "\n" + LabelCell(labels, r, label_width) + grid.Row(r, view, ansiColour);
  }
  AppendVolumeRows(view, panels, labels, label_width, ansiColour, out);
  out += "\n" + TimeAxis(view, label_width, panels.columns);
  return out;
}

}  // namespace kdp::chart
