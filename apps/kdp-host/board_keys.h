// Keys of the live board when standard input is a terminal: q quits, s changes the sort field, the arrow
// keys move the rows a row at a time and PgUp/PgDn a page at a time (when they do not all fit).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <termios.h>

namespace kdp::app {

enum class BoardKey { Quit, NextSort, RowUp, RowDown, PageUp, PageDown };

// Bytes read from the terminal in, keys out. An escape sequence may arrive split over reads: its start is
// kept until the rest comes. Bytes of no key are skipped.
class KeyDecoder {
 public:
  std::vector<BoardKey> Feed(std::string_view bytes);

 private:
  std::string pending_;  // the start of an escape sequence
};

// Standard input without line editing and echo, each key as it is pressed, while the object lives; when
// standard input is no terminal, nothing changes and Read has nothing. Ctrl-C still interrupts (the
// terminal's signals stay on), and the destructor puts the terminal back as it found it, whichever way
// the board ends.
class KeyboardInput {
 public:
  KeyboardInput();
  ~KeyboardInput();
  KeyboardInput(const KeyboardInput&) = delete;
  KeyboardInput& operator=(const KeyboardInput&) = delete;

  bool Active() const { return active_; }
  // The bytes typed since the last call, without waiting.
  std::string Read();

 private:
  bool active_ = false;
  termios saved_{};
};

}  // namespace kdp::app
