// kdp-host board CODE... [--fields ID,...] [--seconds N] [--once] [--drop-after S --drop-for N]
// A live price board: one line per security (name, last price, change, change %, volume, time), formatted
// and coloured by the package's format items, repainted as quotes arrive; `--fields` adds a column per
// field ID, quote or cloud indicator (10001 to 20000), showing its value ("n/a" where the user may not).
// Under `replay` the board ends with the recording, and `--once` shows the recording's end.
//
// When the quote engine's connection drops, the rows go dim and a status line says since when; both stay
// until the first quotes after the connection is back. `--drop-after S --drop-for N` tells the simulated
// engine to drop its connection S seconds into the board, for N seconds.

#include <atomic>
#include <csignal>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/ansi.h"
#include "kdp/host/display_text.h"
#include "kdp/host/services.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/ui/ui_resources.h"
#include "util/float_text.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

struct Column {
  const char* title;
  const char* field;  // the dictionary name
  int width;
  bool right;
};

constexpr Column kColumns[] = {
    {"code", nullptr, 12, false},    {"name", "StockName", 14, false},      {"last", "NewPrice", 11, true},
    {"change", "Change", 10, true},  {"change %", "ChangeRatio", 10, true}, {"volume", "Volume", 12, true},
    {"time", "TradeTime", 10, true},
};
// Field IDs of the sample dictionary the board subscribes: the columns' fields and the previous close the
// colours compare with.
const std::vector<std::uint32_t> kBoardFields{2, 3, 4, 8, 10, 11, 81};

constexpr const char* kDim = "\x1b[2m";
constexpr const char* kPlain = "\x1b[0m";

std::atomic<bool> g_interrupted{false};

class Board {
 public:
  Board(Session& s, std::vector<std::string> codes, std::vector<std::uint32_t> extra, bool colour)
      : s_(s), codes_(std::move(codes)), extra_(std::move(extra)), colour_(colour) {
    if (auto styles = host::KrIntfService<IKrHQStyleMgr>()) style_ = styles->GetCurrentStyle();
  }

  // The board's text: a header, one line per code and, while the data may be old, the status line. Cells
  // are escaped here, since the colours around them must reach the terminal as they are. Stale rows are
  // dimmed whole, without their colours.
  std::string Render(TKrRTDModel& model) {
    const TRTDUpdateState& state = model.UpdateState();
    const bool dim = colour_ && state.Stale;
    std::string out;
    for (const Column& c : kColumns) out += Pad(c.title, c.width, c.right) + "  ";
    for (const std::uint32_t id : extra_) out += Pad(std::to_string(id), kExtraWidth, true) + "  ";
    out += '\n';
    for (const std::string& code : codes_) {
      if (dim) out += kDim;
      for (const Column& c : kColumns) {
        if (c.field == nullptr) {
          out += Pad(host::EscapeControlChars(code), c.width, c.right) + "  ";
          continue;
        }
        std::string text = host::EscapeControlChars(model.GetFormatVal(code, c.field, true));
        if (text.empty() || text == "-") {
          text = "-";
        } else {
          ++shown_;
        }
        const std::string cell = Pad(text, c.width, c.right);
        const std::uint32_t rgb = colour_ && style_ && !dim ? model.GetFormatColor(code, c.field, true, style_) : 0;
        out += rgb != 0 ? ForegroundSequence(rgb, s_.color) + cell + kPlain : cell;
        out += "  ";
      }
      for (const std::uint32_t id : extra_) out += Pad(ExtraCell(model, code, id), kExtraWidth, true) + "  ";
      out += dim ? std::string(kPlain) + "\n" : "\n";
    }
    if (state.Stale) out += StatusLine(state.Connection) + '\n';
    return out;
  }

  // Why the rows are stale: the connection is down, or it is back and no quote has come yet.
  static std::string StatusLine(const TKrSpeedConnection& connection) {
    const int hhmmss = connection.Since.Hhmmss();
    const std::string since = fmt::format("{:02}:{:02}:{:02}", hhmmss / 10000, hhmmss / 100 % 100, hhmmss % 100);
    return connection.Connected ? "reconnected at " + since + ", waiting for quotes" : "disconnected since " + since;
  }

  void Paint(TKrRTDModel& model) {
    std::ostream& to = colour_ ? s_.terminal : s_.out;
    if (colour_) fmt::print(to, "\x1b[H\x1b[2J");
    fmt::print(to, "{}", Render(model));
    to.flush();
  }

  // How many field cells showed a value, over every paint so far.
  int ShownCells() const { return shown_; }

 private:
  static constexpr int kExtraWidth = 12;

  // A field of `--fields`: its value in shortest form, "-" before one arrived, "n/a" without permission.
  std::string ExtraCell(TKrRTDModel& model, const std::string& code, std::uint32_t id) {
    const auto item = model.GetRTDItem(code);
    if (!item) return "-";
    if (!item->HasPermissionByID(id)) return "n/a";
    if (item->IsNullByID(id)) return "-";
    ++shown_;
    return FloatToText(item->GetDoubleDataByID(id));
  }

  Session& s_;
  int shown_ = 0;
  std::vector<std::string> codes_;
  std::vector<std::uint32_t> extra_;
  bool colour_;
  std::shared_ptr<IKrHQStyle> style_;
};

// A board whose every cell is "-" answers nothing: the field dictionary or the format columns are
// missing or broken (the log line before says which), or no quote arrived.
int NothingShown(Session& s) {
  fmt::print(s.err,
             "kdp-host: no field of the board could be shown: the field dictionary or the format columns are missing "
             "or unreadable, or no quote arrived; see {}\n",
             s.host.Logger().FilePath());
  return 1;
}

// Asks the simulated engine for the drop; false (with a message) when the board has no such engine.
bool ScheduleDrop(Session& s, const ConnectionDrop& drop) {
  if (!drop.Wanted()) return true;
  auto* engine = s.host.Speed();
  if (engine == nullptr || s.host.Replay() != nullptr) {
    fmt::print(s.err, "kdp-host: --drop-after needs the simulated quote engine (a replay plays its recorded drops)\n");
    return false;
  }
  engine->DropConnection(std::chrono::seconds(drop.after), std::chrono::seconds(drop.seconds));
  return true;
}

int RunBoard(Session& s, const std::vector<std::string>& requested, const std::vector<std::uint32_t>& extra,
             int seconds, bool once, const ConnectionDrop& drop = {}) {
  std::vector<std::string> codes;
  for (const std::string& code : requested) {
    auto security = s.host.Securities().GetSecurity(code);
    if (!security) {
      fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
      return 1;
    }
    codes.push_back(security->GetKoraCode());
  }
  TKrRealTimeParamStructure params(static_cast<int>(codes.size()));
  for (int i = 0; i < params.GetCount(); ++i) {
    params.SetKoraCode(i, codes[static_cast<std::size_t>(i)]);
    std::vector<std::uint32_t> fields = kBoardFields;
    fields.insert(fields.end(), extra.begin(), extra.end());
    params.SetItemArray(i, fields);
  }

  if (!ScheduleDrop(s, drop)) return 1;
  TKrRTDModel model;
  bool dirty = false;
  model.SetUpdateNotify([&](const TRTDUpdateState&) { dirty = true; });  // quotes and connection changes alike
  Board board(s, codes, extra, !once && s.color != ColorDepth::None);
  model.Subscrible(params);

  auto& loop = s.host.Loop();
  auto* replay = s.host.Replay();
  if (once) {
    const auto quoted = [&] {
      for (const std::string& code : codes) {
        if (model.IsNull(code, "NewPrice")) return false;
        const auto item = model.GetRTDItem(code);
        for (const std::uint32_t id : extra) {
          if (item && item->IsNullByID(id) && item->HasPermissionByID(id)) return false;
        }
      }
      return true;
    };
    // A live engine's first snapshot carries every subscribed field; a replay is shown as its end left it.
    PlayRecordingThrough(s);
    const bool complete = replay != nullptr ? quoted() : loop.RunUntil(quoted, 10s);
    board.Paint(model);
    if (board.ShownCells() == 0) return NothingShown(s);
    if (!complete) fmt::print(s.err, "kdp-host: not every security had a quote yet\n");
    return complete ? 0 : 1;
  }

  g_interrupted = false;
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  const auto repaint = loop.SetTimer(250ms, [&] {
    if (g_interrupted || (replay != nullptr && replay->Finished())) loop.Quit();
    if (!dirty) return;
    dirty = false;
    board.Paint(model);
  });
  loop.Run(seconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(seconds)) : std::chrono::milliseconds::max());
  loop.KillTimer(repaint);
  if (dirty) board.Paint(model);  // the board as the last quotes left it
  std::signal(SIGINT, SIG_DFL);
  model.UnSubscrible();
  return board.ShownCells() == 0 ? NothingShown(s) : 0;
}

}  // namespace

int PrintBoardSnapshot(Session& session, const std::vector<std::string>& codes) {
  return RunBoard(session, codes, {}, 0, true);
}

int RunLiveBoard(Session& session, const std::vector<std::string>& codes, int seconds, const ConnectionDrop& drop) {
  return RunBoard(session, codes, {}, seconds, false, drop);
}

void AddDropOptions(CLI::App& command, ConnectionDrop& drop) {
  auto* after = command.add_option("--drop-after", drop.after,
                                   "drop the simulated engine's connection this many seconds in, 0 to 86400");
  after->check(CLI::Range(0, 86400));
  auto* length = command.add_option("--drop-for", drop.seconds, "... for this many seconds, 1 to 86400");
  length->check(CLI::Range(1, 86400));
  after->needs(length);
  length->needs(after);
}

void AddBoardCommand(CLI::App& app, Action& chosen) {
  struct Options {
    std::vector<std::string> codes;
    std::vector<std::uint32_t> fields;
    int seconds = 0;
    bool once = false;
    ConnectionDrop drop;
  };
  auto options = std::make_shared<Options>();
  auto* board = app.add_subcommand("board", "a live price board of securities, repainted as quotes arrive");
  board->add_option("CODE", options->codes, "security codes, e.g. 600000.SH 000001.SZ 00700.HK")->required();
  board->add_option("--seconds", options->seconds, "stop after this many seconds, 1 to 86400 (default: until Ctrl-C)")
      ->check(CLI::Range(1, 86400));
  board
      ->add_option("--fields", options->fields, "more columns: field IDs joined by \",\" (cloud fields 10001 to 20000)")
      ->delimiter(',')
      ->check(CLI::Range(0, 20000));
  auto* once = board->add_flag("--once", options->once, "print one snapshot and exit");
  AddDropOptions(*board, options->drop);
  once->excludes("--drop-after");
  board->callback([&chosen, options] {
    chosen = [options](Session& s) {
      return RunBoard(s, options->codes, options->fields, options->seconds, options->once, options->drop);
    };
  });
}

}  // namespace kdp::app
