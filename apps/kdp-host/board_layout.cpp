// Fitting the board to the terminal.
#include "board_layout.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>

#include "command.h"
#include "kdp/host/number_text.h"
#include "utf8_char.h"

namespace kdp::app {
namespace {

constexpr int kGap = 2;  // the blanks after every cell
constexpr const char* kPlain = "\x1b[0m";

std::atomic<bool> g_resized{false};

// The length of the escape sequence at `at` (ESC [ ... final byte, or ESC and one byte).
std::size_t EscapeLength(const std::string& text, std::size_t at) {
  if (at + 1 >= text.size() || text[at + 1] != '[') return std::min<std::size_t>(2, text.size() - at);
  std::size_t end = at + 2;
  while (end < text.size() && (text[end] < '@' || text[end] > '~')) ++end;
  return std::min(end + 1, text.size()) - at;
}

}  // namespace

std::size_t ColumnsThatFit(const std::vector<TableColumn>& columns, int width) {
  if (width <= 0) return columns.size();
  // The blanks after the last column kept may go over: a line is cut to the width.
  std::size_t kept = 0;
  for (int used = 0; kept < columns.size(); ++kept) {
    used += (kept == 0 ? 0 : kGap) + columns[kept].width;
    if (used > width) break;
  }
  return std::max<std::size_t>(kept, std::min<std::size_t>(1, columns.size()));
}

std::string TableLine(const std::vector<TableColumn>& columns, std::size_t kept, const std::vector<TableCell>& cells) {
  std::string line;
  for (std::size_t i = 0; i < kept && i < columns.size() && i < cells.size(); ++i) {
    const std::string cell = Pad(cells[i].text, columns[i].width, columns[i].right);
    line += cells[i].colour.empty() ? cell : cells[i].colour + cell + kPlain;
    line += std::string(kGap, ' ');
  }
  return line;
}

std::string CutToWidth(const std::string& line, int width) {
  if (width <= 0) return line;
  std::string cut;
  bool coloured = false;
  int used = 0;
  for (std::size_t at = 0; at < line.size();) {
    if (line[at] == '\x1b') {
      const std::size_t length = EscapeLength(line, at);
      cut += line.substr(at, length);
      coloured = true;
      at += length;
      continue;
    }
    const std::size_t length = std::min(Utf8CharLength(static_cast<unsigned char>(line[at])), line.size() - at);
    const std::string character = line.substr(at, length);
    used += DisplayWidth(character);
    if (used > width) return coloured ? cut + kPlain : cut;
    cut += character;
    at += length;
  }
  return cut;
}

RowWindow WindowOfRows(std::size_t total, std::size_t room, std::size_t first) {
  if (room == 0 || room >= total) return {0, total};
  return {std::min(first, total - room), room};
}

TerminalSize BoardTerminalSize() {
  if (winsize size{}; isatty(STDOUT_FILENO) == 1 && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return {size.ws_col, size.ws_row};
  }
  const char* columns = std::getenv("COLUMNS");
  const auto width = columns != nullptr ? host::ParseInt32(columns) : std::nullopt;
  return {width && *width > 0 ? *width : 0, 0};
}

ResizeWatch::ResizeWatch() {
  g_resized = false;
  std::signal(SIGWINCH, [](int) { g_resized = true; });
}

ResizeWatch::~ResizeWatch() { std::signal(SIGWINCH, SIG_DFL); }

bool ResizeWatch::Resized() { return g_resized.exchange(false); }

BoardView::BoardView(BoardOrder order, bool fitHeight) : order_(order), fitHeight_(fitHeight) { Resized(); }

void BoardView::Resized() {
  size_ = BoardTerminalSize();
  if (!fitHeight_) size_.rows = 0;
}

bool BoardView::Key(BoardKey key, const std::vector<std::uint32_t>& sortCycle) {
  const std::size_t page = std::max<std::size_t>(1, pageRows_);
  switch (key) {
    case BoardKey::Quit:
      return false;
    case BoardKey::NextSort:
      order_.field = NextSortField(sortCycle, order_.field);
      firstRow_ = 0;
      break;
    case BoardKey::RowUp:
      firstRow_ -= std::min<std::size_t>(firstRow_, 1);
      break;
    case BoardKey::RowDown:
      ++firstRow_;  // Window keeps the last page full
      break;
    case BoardKey::PageUp:
      firstRow_ -= std::min(firstRow_, page);
      break;
    case BoardKey::PageDown:
      firstRow_ += page;
      break;
  }
  return true;
}

RowWindow BoardView::Window(std::size_t total, std::size_t fixedLines) {
  pageRows_ = 0;
  if (size_.rows > 0) {
    const std::size_t header = 1, lines = static_cast<std::size_t>(size_.rows) - 1;
    if (header + fixedLines + total > lines) {
      const std::size_t taken = header + fixedLines + 1;  // and the line that says which rows show
      pageRows_ = lines > taken ? lines - taken : 1;
    }
  }
  const RowWindow window = WindowOfRows(total, pageRows_, firstRow_);
  firstRow_ = window.first;
  return window;
}

}  // namespace kdp::app
