// The board's table fitted to the terminal: the columns that fit its width, from the left (the code first,
// the last columns dropped first), and the rows that fit its height, a page at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board_keys.h"
#include "board_sort.h"

namespace kdp::app {

struct TableColumn {
  std::string title;
  int width;  // terminal columns, without the two blanks after every cell
  bool right;
};
struct TableCell {
  std::string text;
  std::string colour;  // the escape sequence before the text; empty for none
};

// How many columns, from the left, fit in `width` terminal columns with two blanks between them; every
// column when `width` is 0 (no terminal to fit), at least one.
std::size_t ColumnsThatFit(const std::vector<TableColumn>& columns, int width);

// A line of the first `kept` columns: each cell padded to its column, coloured when it has a colour, and
// two blanks after it.
std::string TableLine(const std::vector<TableColumn>& columns, std::size_t kept, const std::vector<TableCell>& cells);

// `line` cut to `width` terminal columns (East Asian wide characters take two; escape sequences none);
// unchanged when it fits or `width` is 0. A cut coloured line ends with the sequence that resets colours.
std::string CutToWidth(const std::string& line, int width);

// The rows shown: from `first`, at most `room` of `total` (all when `room` is 0), `first` moved back so
// the last page is full.
struct RowWindow {
  std::size_t first = 0;
  std::size_t count = 0;
};
RowWindow WindowOfRows(std::size_t total, std::size_t room, std::size_t first);

// The terminal's size the board fits: standard output's when it is a terminal, else the width COLUMNS
// gives (for scripts and tests; no height); 0 for what is not known.
struct TerminalSize {
  int columns = 0;
  int rows = 0;
};
TerminalSize BoardTerminalSize();

// Follows the terminal's resizes (SIGWINCH) while the object lives: the handler only sets a flag, which
// the board's loop takes.
class ResizeWatch {
 public:
  ResizeWatch();
  ~ResizeWatch();
  ResizeWatch(const ResizeWatch&) = delete;
  ResizeWatch& operator=(const ResizeWatch&) = delete;
  // True once after each resize.
  bool Resized();
};

// What of the board shows: its order, the terminal it fits and the first row shown when they do not all
// fit; the keys move it.
class BoardView {
 public:
  // `fitHeight`: page through the rows when they do not fit the terminal's height (the live board).
  BoardView(BoardOrder order, bool fitHeight);

  const BoardOrder& Order() const { return order_; }
  int Columns() const { return size_.columns; }
  // A key; false for the one that ends the board. `s` sorts by the field after the current one in
  // `sortCycle`, from the first row.
  bool Key(BoardKey key, const std::vector<std::uint32_t>& sortCycle);
  // The terminal changed its size.
  void Resized();
  // The rows to show of `total`, under the header, above `fixedLines` lines (the markets' and the status
  // line), a line that says which rows show and a last line left empty, for the cursor; every row when
  // they fit.
  RowWindow Window(std::size_t total, std::size_t fixedLines);
  // The line cut to the terminal's width, with its line end.
  std::string Fitted(const std::string& line) const { return CutToWidth(line, size_.columns) + '\n'; }

 private:
  BoardOrder order_;
  bool fitHeight_;
  TerminalSize size_;
  std::size_t firstRow_ = 0;
  std::size_t pageRows_ = 0;  // the rows a page shows; 0: every row fits
};

}  // namespace kdp::app
