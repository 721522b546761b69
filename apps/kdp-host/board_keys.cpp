// The live board's keys: the decoder and the terminal mode.
#include "board_keys.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <exception>
#include <utility>

namespace kdp::app {
namespace {

constexpr char kEscape = '\x1b';
constexpr char kInterrupt = '\x03';  // Ctrl-C, should the terminal pass it on as a byte

// The escape sequences of the keys, without their ESC: CSI (ESC [) as most terminals send them, SS3 (ESC O)
// for the arrows in the terminal's application mode.
constexpr std::array<std::pair<std::string_view, BoardKey>, 6> kSequences{{
    {"[A", BoardKey::RowUp},
    {"[B", BoardKey::RowDown},
    {"OA", BoardKey::RowUp},
    {"OB", BoardKey::RowDown},
    {"[5~", BoardKey::PageUp},
    {"[6~", BoardKey::PageDown},
}};

// A CSI sequence ends with a byte from '@' to '~'; an SS3 one with the byte after the 'O'.
bool SequenceComplete(std::string_view sequence) {
  if (sequence.size() < 2) return false;
  if (sequence[0] == 'O') return true;
  if (sequence[0] != '[') return true;  // not a sequence: ends at once
  const char last = sequence.back();
  return last >= '@' && last <= '~';
}

// The terminal's mode before the board changed it, for an end by std::terminate, which unwinds nothing.
termios g_savedMode{};
std::terminate_handler g_previousTerminate = nullptr;

[[noreturn]] void RestoreAndTerminate() {
  tcsetattr(STDIN_FILENO, TCSANOW, &g_savedMode);
  if (g_previousTerminate != nullptr) g_previousTerminate();
  std::abort();
}

}  // namespace

std::vector<BoardKey> KeyDecoder::Feed(std::string_view bytes) {
  std::vector<BoardKey> keys;
  for (const char byte : bytes) {
    if (!pending_.empty()) {
      if (byte == kEscape) {  // a new sequence: the one before was cut off
        pending_ = std::string(1, kEscape);
        continue;
      }
      pending_ += byte;
      const std::string_view sequence = std::string_view(pending_).substr(1);
      if (sequence.size() == 1 && sequence[0] != '[' && sequence[0] != 'O') {
        pending_.clear();  // ESC and an ordinary key (Alt+key): not one of ours
        continue;
      }
      if (!SequenceComplete(sequence)) continue;
      for (const auto& [text, key] : kSequences) {
        if (text == sequence) keys.push_back(key);
      }
      pending_.clear();
      continue;
    }
    switch (byte) {
      case kEscape:
        pending_ = std::string(1, kEscape);
        break;
      case 'q':
      case 'Q':
      case kInterrupt:
        keys.push_back(BoardKey::Quit);
        break;
      case 's':
      case 'S':
        keys.push_back(BoardKey::NextSort);
        break;
      default:
        break;
    }
  }
  return keys;
}

KeyboardInput::KeyboardInput() {
  if (isatty(STDIN_FILENO) != 1 || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 0;  // a read returns at once with what there is
  raw.c_cc[VTIME] = 0;
  active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  if (!active_) return;
  g_savedMode = saved_;
  g_previousTerminate = std::set_terminate(RestoreAndTerminate);
}

KeyboardInput::~KeyboardInput() {
  if (!active_) return;
  std::set_terminate(g_previousTerminate);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

std::string KeyboardInput::Read() {
  std::string bytes;
  if (!active_) return bytes;
  std::array<char, 64> buffer{};
  for (ssize_t n; (n = read(STDIN_FILENO, buffer.data(), buffer.size())) > 0;) {
    bytes.append(buffer.data(), static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace kdp::app
