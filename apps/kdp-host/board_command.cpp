// kdp-host board CODE...|--sector SECTOR [--fields ID,...] [--sort FIELD [--ascending]] [--top N] [--seconds N]
//                [--once] [--drop-after S --drop-for N]
// A live price board: one line per security (name, last price, change, change %, volume, time), formatted
// and coloured by the package's format items, repainted as quotes arrive; `--fields` adds a column per
// field ID, quote or cloud indicator (10001 to 20000), showing its value ("n/a" where the user may not).
// Under `replay` the board ends with the recording, and `--once` shows the recording's end.
//
// Under the rows, a line per market of the board (each once: board_markets.h) says what it is doing now,
// whose wall clock the times of its rows are, and its volume unit; the last line gives the server time and
// the connection. A row's time is its last trade's, in its market's zone: "-" before a trade on the market's
// current trade date, the date of the last trade when it is older.
//
// Under `--format json|csv` the rows are raw values for scripts: one listing with `--once`; live, a row
// per security and update as it arrives (JSON a line each), so a script can follow the market.
//
// `--sort` orders the rows by a field, highest first (`--ascending`: lowest first), `--top N` keeps the
// first N; `--sector` is the board of a quote sector's members. On a terminal (or with COLUMNS set) the
// table is fitted to its width and height (board_layout.h); with a terminal on standard input the live
// board takes keys (board_keys.h).
//
// When the quote engine's connection drops, the rows go dim and the last line says since when; both stay
// until the first quotes after the connection is back. `--drop-after S --drop-for N` tells the simulated
// engine to drop its connection S seconds into the board, for N seconds.

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <optional>
#include <string_view>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "board_keys.h"
#include "board_layout.h"
#include "board_markets.h"
#include "board_request.h"
#include "board_rows.h"
#include "board_sort.h"
#include "command.h"
#include "kdp/host/ansi.h"
#include "kdp/host/display_text.h"
#include "kdp/host/services.h"
#include "kdp/fields/field_names.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/number_text.h"
#include "kdp/host/speed.h"
#include "kdp/package.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/ui/ui_resources.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

struct Column {
  Texts title;
  const char* field;  // the dictionary name
  int width;
  bool right;
};

constexpr Column kColumns[] = {
    {words::kCode, nullptr, 12, false},
    {words::kName, "StockName", 14, false},
    {words::kLast, "NewPrice", 11, true},
    {{"涨跌", "漲跌", "change"}, "Change", 10, true},
    {{"涨跌幅", "漲跌幅", "change %"}, "ChangeRatio", 10, true},
    {{"总量", "總量", "volume"}, "Volume", 12, true},
    {{"时间", "時間", "time"}, "TradeTime", 10, true},
};
// Field IDs of the sample dictionary the board subscribes: the columns' fields, the previous close the
// colours compare with, and the trade date and last trade time the time column shows.
const std::vector<std::uint32_t> kBoardFields{1, 2, 3, 4, 8, 10, 11, 81, 1027};
constexpr std::string_view kTimeColumnField = "TradeTime";
constexpr std::string_view kNameColumnField = "StockName";

constexpr const char* kDim = "\x1b[2m";
constexpr const char* kPlain = "\x1b[0m";

std::atomic<bool> g_interrupted{false};
// The signals that end a live board the way Ctrl-C does, so the terminal is put back as it was.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the last line says of the server and the connection.
constexpr Texts kServerTime{"服务器时间 {} {}（UTC+8），", "伺服器時間 {} {}（UTC+8），", "server time {} {} (UTC+8), "};
constexpr Texts kConnected{"已连接", "已連線", "connected"};
constexpr Texts kReconnected{"已于 {} 重新连接，等待行情", "已於 {} 重新連線，等待行情",
                             "reconnected at {}, waiting for quotes"};
constexpr Texts kDisconnected{"连接已断开（{} 起）", "連線已中斷（{} 起）", "disconnected since {}"};

// The line under the rows when not all of them fit the terminal's height.
constexpr Texts kRowsShown{"第 {}-{} 行，共 {} 行  ↑↓ PgUp PgDn 翻看  s 换排序  q 退出",
                           "第 {}-{} 行，共 {} 行  ↑↓ PgUp PgDn 翻看  s 換排序  q 退出",
                           "rows {}-{} of {}  ↑↓ PgUp PgDn: scroll  s: sort  q: quit"};


class Board {
 public:
  Board(Session& s, std::vector<std::string> codes, std::vector<std::uint32_t> extra,
        std::vector<std::string> computed, bool colour, BoardOrder order, bool live)
      : s_(s),
        codes_(std::move(codes)),
        extra_(std::move(extra)),
        computed_(std::move(computed)),
        colour_(colour),
        edition_(EditionOf(s)),
        markets_(s, codes_),
        view_(order, live) {
    if (auto styles = host::KrIntfService<IKrHQStyleMgr>()) style_ = styles->GetCurrentStyle();
    // The name column holds the longest name (English names run longer than Chinese ones).
    for (const std::string& code : codes_) {
      if (auto security = s.host.Securities().GetSecurity(code)) {
        nameWidth_ = std::max(nameWidth_, DisplayWidth(DisplayName(s, *security)));
      }
    }
  }

  // The rows shown, in the board's order: every code, or the first `--top` by the sort field.
  std::vector<std::string> Ordered(TKrRTDModel& model) const {
    return OrderCodes(codes_, [&](const std::string& code) { return SortValue(model, code); }, view_.Order());
  }

  // The board's text: a header, one line per code shown, a line per market and the status line, each cut
  // to the terminal's width. Cells are escaped here, since the colours around them must reach the terminal
  // as they are. Stale rows are dimmed whole, without their colours.
  std::string Render(TKrRTDModel& model) {
    const TRTDUpdateState& state = model.UpdateState();
    const bool dim = colour_ && state.Stale;
    markets_.Refresh();
    const std::vector<TableColumn> columns = Columns();
    const std::size_t kept = ColumnsThatFit(columns, view_.Columns());
    const std::string marketLines = markets_.Lines();
    const std::vector<std::string> ordered = Ordered(model);
    const auto fixedLines = static_cast<std::size_t>(1 + std::count(marketLines.begin(), marketLines.end(), '\n'));
    const RowWindow window = view_.Window(ordered.size(), fixedLines);
    std::vector<TableCell> header;
    for (const TableColumn& column : columns) header.push_back({column.title, ""});
    std::string out = view_.Fitted(TableLine(columns, kept, header));
    for (std::size_t i = window.first; i < window.first + window.count; ++i) {
      const std::string line = TableLine(columns, kept, RowCells(model, ordered[i], dim));
      out += view_.Fitted(dim ? kDim + line + kPlain : line);
    }
    if (window.count < ordered.size()) {
      out += view_.Fitted(TextFormat(s_, kRowsShown, window.first + 1, window.first + window.count, ordered.size()));
    }
    for (std::size_t from = 0, at; (at = marketLines.find('\n', from)) != std::string::npos; from = at + 1) {
      out += view_.Fitted(marketLines.substr(from, at - from));
    }
    return out + view_.Fitted(StatusLine(state));
  }

  // The server's time and the connection; while the rows are stale, why: the connection is down, or it is
  // back and no quote has come yet.
  std::string StatusLine(const TRTDUpdateState& state) {
    const std::string server =
        TextFormat(s_, kServerTime, s_.host.Context().GetServerDateTime().ToString(), CityName(s_, "Beijing"));
    if (!state.Stale) return server + Text(s_, kConnected);
    const int hhmmss = state.Connection.Since.Hhmmss();
    return server + TextFormat(s_, state.Connection.Connected ? kReconnected : kDisconnected, ClockText(hhmmss));
  }

  void Paint(TKrRTDModel& model) {
    std::ostream& to = colour_ ? s_.terminal : s_.out;
    if (colour_) fmt::print(to, "\x1b[H\x1b[2J");
    fmt::print(to, "{}", Render(model));
    to.flush();
  }

  // A key of the live board; false for the one that ends it.
  bool Key(BoardKey key) {
    std::vector<std::uint32_t> cycle = kSortCycle;
    cycle.insert(cycle.end(), extra_.begin(), extra_.end());
    return view_.Key(key, cycle);
  }

  // The terminal changed its size: the next paint fits the new one.
  void Resized() { view_.Resized(); }

  // How many field cells showed a value, over every paint so far.
  int ShownCells() const { return shown_; }

 private:
  int Width(const Column& c) const {
    return c.field != nullptr && c.field == kNameColumnField ? std::max(c.width, nameWidth_) : c.width;
  }
  static int ExtraWidth(std::uint32_t id) { return std::max(12, DisplayWidth(FieldHeader(id))); }
  static int ComputedWidth(const std::string& name) { return std::max(12, DisplayWidth(name)); }

  std::optional<double> SortValue(TKrRTDModel& model, const std::string& code) const {
    const std::uint32_t field = view_.Order().field;
    const auto item = model.GetRTDItem(code);
    if (!item || !item->HasPermissionByID(field) || item->IsNullByID(field)) return std::nullopt;
    return item->GetDoubleDataByID(field);
  }

  // The sorted column's title ends with the direction.
  std::string SortMark(int id) const {
    const BoardOrder& order = view_.Order();
    if (order.field == 0 || id <= 0 || static_cast<std::uint32_t>(id) != order.field) return {};
    return order.ascending ? "↑" : "↓";
  }

  // The columns in their order: the quote columns, the `--fields` ones, the computed ones.
  std::vector<TableColumn> Columns() const {
    std::vector<TableColumn> columns;
    for (const Column& c : kColumns) {
      const int id = c.field != nullptr ? FieldIDByName(c.field) : 0;
      columns.push_back({Text(s_, c.title) + SortMark(id), Width(c), c.right});
    }
    for (const std::uint32_t id : extra_) {
      columns.push_back({FieldHeader(id) + SortMark(static_cast<int>(id)), ExtraWidth(id), true});
    }
    for (const std::string& name : computed_) columns.push_back({name, ComputedWidth(name), true});
    return columns;
  }

  std::vector<TableCell> RowCells(TKrRTDModel& model, const std::string& code, bool dim) {
    std::vector<TableCell> cells;
    for (const Column& c : kColumns) {
      if (c.field == nullptr) {
        cells.push_back({host::EscapeControlChars(code), ""});
        continue;
      }
      std::string text = host::EscapeControlChars(CellText(model, code, c.field));
      if (text.empty() || text == "-") {
        text = "-";
      } else {
        ++shown_;
      }
      const std::uint32_t rgb = colour_ && style_ && !dim ? model.GetFormatColor(code, c.field, true, style_) : 0;
      cells.push_back({text, rgb != 0 ? ForegroundSequence(rgb, s_.color) : ""});
    }
    for (const std::uint32_t id : extra_) cells.push_back({ExtraCell(model, code, id), ""});
    for (const std::string& name : computed_) {
      std::string text = host::EscapeControlChars(model.GetFormatVal(code, name, true));
      if (text.empty()) text = "-";
      if (text != "-") ++shown_;
      cells.push_back({text, ""});
    }
    return cells;
  }


  // A column's cell: the last trade's time as the row's market keeps it, the security's name in the edition's
  // language, or the field as its format item writes it.
  std::string CellText(TKrRTDModel& model, const std::string& code, std::string_view field) {
    if (field == kTimeColumnField) return markets_.TimeCell(code, model);
    if (field == kNameColumnField) {
      if (auto security = s_.host.Securities().GetSecurity(code); security && edition_ == Edition::kEnglish) {
        return DisplayName(s_, *security);
      }
    }
    return model.GetFormatVal(code, std::string(field), true);
  }

  // A field of `--fields`: its value as the format manager shows it, "-" before one arrived, "n/a" without
  // permission.
  std::string ExtraCell(TKrRTDModel& model, const std::string& code, std::uint32_t id) {
    const auto item = model.GetRTDItem(code);
    if (!item) return "-";
    if (!item->HasPermissionByID(id)) return "n/a";
    if (item->IsNullByID(id)) return "-";
    ++shown_;
    return FormatFieldValue(code, id, item->GetDoubleDataByID(id));
  }

  Session& s_;
  int shown_ = 0;
  int nameWidth_ = 0;
  std::vector<std::string> codes_;
  std::vector<std::uint32_t> extra_;
  std::vector<std::string> computed_;  // computed columns of the format (a "script{...}" or expression field)
  bool colour_;
  Edition edition_;
  BoardMarkets markets_;
  std::shared_ptr<IKrHQStyle> style_;
  BoardView view_;
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

// The subscription of the board's codes: the board's fields, the sort field, `--fields`, and the fields
// the computed columns read.
TKrRealTimeParamStructure Subscription(const std::vector<std::string>& codes, const BoardRequest& request) {
  TKrRealTimeParamStructure params(static_cast<int>(codes.size()));
  const auto formats = QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager");
  for (int i = 0; i < params.GetCount(); ++i) {
    const std::string& code = codes[static_cast<std::size_t>(i)];
    params.SetKoraCode(i, code);
    std::vector<std::uint32_t> fields = kBoardFields;
    if (request.order.field != 0) fields.push_back(request.order.field);
    fields.insert(fields.end(), request.extra.begin(), request.extra.end());
    for (const std::string& name : request.computed) {
      const auto item = formats ? formats->GetDataFormatObjByName(code, name) : nullptr;
      if (!item) continue;
      for (const int id : item->GetDataList()) fields.push_back(static_cast<std::uint32_t>(id));
      for (const int id : item->GetSecondDataList()) fields.push_back(static_cast<std::uint32_t>(id));
    }
    params.SetItemArray(i, fields);
  }
  return params;
}

// The live board until `seconds` pass (0: until Ctrl-C or q), the end of a replay, or a termination
// signal; the table is repainted as quotes arrive, on a key and on a resize of the terminal.
void RunLive(Session& s, TKrRTDModel& model, Board& board, bool table, int seconds, bool& dirty) {
  auto& loop = s.host.Loop();
  auto* replay = s.host.Replay();
  g_interrupted = false;
  for (const int ending : kEndingSignals) std::signal(ending, [](int) { g_interrupted = true; });
  {
    // Keys only for a table, and only from a terminal; its mode is restored when the block ends.
    std::optional<KeyboardInput> keyboard;
    if (table) keyboard.emplace();
    ResizeWatch resizes;
    KeyDecoder decoder;
    const auto keys = loop.SetTimer(50ms, [&] {
      bool repaint = resizes.Resized();
      if (repaint) board.Resized();
      for (const BoardKey key : decoder.Feed(keyboard ? keyboard->Read() : std::string())) {
        if (!board.Key(key)) loop.Quit();
        repaint = true;
      }
      if (repaint && table) board.Paint(model);
    });
    const auto repaint = loop.SetTimer(250ms, [&] {
      if (g_interrupted || (replay != nullptr && replay->Finished())) loop.Quit();
      if (!dirty || !table) return;
      dirty = false;
      board.Paint(model);
    });
    loop.Run(seconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(seconds))
                         : std::chrono::milliseconds::max());
    loop.KillTimer(repaint);
    loop.KillTimer(keys);
  }
  if (dirty && table) board.Paint(model);  // the board as the last quotes left it
  for (const int ending : kEndingSignals) std::signal(ending, SIG_DFL);
}

int RunBoard(Session& s, BoardRequest request) {
  std::vector<std::string> codes;
  for (const std::string& code : request.codes) {
    auto security = s.host.Securities().GetSecurity(code);
    if (!security) {
      fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
      return 1;
    }
    codes.push_back(security->GetKoraCode());
  }
  if (!ScheduleDrop(s, request.drop)) return 1;
  TKrRTDModel model;
  bool dirty = false;
  const bool once = request.once;
  Board board(s, codes, request.extra, request.computed, !once && s.color != ColorDepth::None, request.order, !once);
  const bool table = s.format == OutputFormat::Table;
  BoardRows rows(s, request.extra, request.computed);
  // For scripts a live board is a row per security and update, written as the update arrives (with --top,
  // of those in the top rows then).
  std::optional<ListingStream> stream;
  if (!table && !once) stream.emplace(s.out, s.terminal, rows.Columns(), s.format);
  model.SetUpdateNotify([&](const TRTDUpdateState& state) {
    dirty = true;  // quotes and connection changes alike
    if (!stream || state.ConnectionChanged) return;
    const std::vector<std::string> shown = board.Ordered(model);
    for (const std::string& code : model.GetUpdateSecurityList()) {
      if (std::find(shown.begin(), shown.end(), code) != shown.end()) stream->Write(rows.Row(model, code));
    }
  });
  model.Subscrible(Subscription(codes, request));

  if (once) {
    const auto quoted = [&] {
      for (const std::string& code : codes) {
        if (model.IsNull(code, "NewPrice")) return false;
        const auto item = model.GetRTDItem(code);
        for (const std::uint32_t id : request.extra) {
          if (item && item->IsNullByID(id) && item->HasPermissionByID(id)) return false;
        }
      }
      return true;
    };
    // A live engine's first snapshot carries every subscribed field; a replay is shown as its end left it.
    PlayRecordingThrough(s);
    const bool complete = s.host.Replay() != nullptr ? quoted() : s.host.Loop().RunUntil(quoted, 10s);
    if (table) {
      board.Paint(model);
    } else {
      Listing listing{rows.Columns(), {}};
      for (const std::string& code : board.Ordered(model)) listing.rows.push_back(rows.Row(model, code));
      WriteListing(s.out, s.terminal, listing, s.format);
    }
    if ((table ? board.ShownCells() : rows.ShownCells()) == 0) return NothingShown(s);
    if (!complete) fmt::print(s.err, "kdp-host: not every security had a quote yet\n");
    return complete ? 0 : 1;
  }
  RunLive(s, model, board, table, request.seconds, dirty);
  model.UnSubscrible();
  return (table ? board.ShownCells() : rows.ShownCells()) == 0 ? NothingShown(s) : 0;
}

}  // namespace

int PrintBoardSnapshot(Session& session, const std::vector<std::string>& codes) {
  BoardRequest request;
  request.codes = codes;
  request.once = true;
  return RunBoard(session, std::move(request));
}

int RunLiveBoard(Session& session, const std::vector<std::string>& codes, int seconds, const ConnectionDrop& drop) {
  BoardRequest request;
  request.codes = codes;
  request.seconds = seconds;
  request.drop = drop;
  return RunBoard(session, std::move(request));
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
  auto options = std::make_shared<BoardOptions>();
  auto* board = app.add_subcommand("board", "a live price board of securities, repainted as quotes arrive\n"
                                            "  e.g. kdp-host board 600000.SH 00700.HK; "
                                            "kdp-host board --sector SH_A --sort ChangeRatio --top 20");
  board->footer(
      "On a terminal the board fits its width (the last columns are dropped first; COLUMNS sets the width when "
      "the output is no terminal) and, live, its height: the keys q (quit), s (next sort field), the arrows and "
      "PgUp/PgDn (scroll) work when standard input is a terminal. "
      "Under --format json|csv: raw values, a row per security with its code, the server time (UTC+8) and the "
      "fields. With --once one listing; without, the rows stream as quotes arrive, a row per security updated: "
      "JSON a line each (NDJSON), CSV a header row, then a record each, every row flushed.");
  auto* codes = board->add_option("CODE", options->codes, "security codes, e.g. 600000.SH 000001.SZ 00700.HK");
  auto* sector = board->add_option("--sector", options->sector,
                                   "the members of a quote sector instead of codes (see `sectors quote`), e.g. SH_A");
  codes->excludes(sector);
  board->add_option("--seconds", options->seconds, "stop after this many seconds, 1 to 86400 (default: until Ctrl-C)")
      ->check(CLI::Range(1, 86400));
  board
      ->add_option("--fields", options->fields,
                   "more columns: field IDs or names joined by \",\" (cloud fields 10001 to 20000)")
      ->delimiter(',')
      ->check(FieldIdOrName(20000));
  board->add_option("--sort", options->sort, "order the rows by a field, ID or name, highest first, e.g. ChangeRatio")
      ->check(FieldIdOrName(20000));
  board->add_flag("--ascending", options->ascending, "with --sort: lowest first")->needs("--sort");
  board->add_option("--top", options->top, "only the first N rows, 1 to 10000")->check(CLI::Range(1, 10000));
  auto* once = board->add_flag("--once", options->once, "print one snapshot and exit");
  AddDropOptions(*board, options->drop);
  once->excludes("--drop-after");
  board->callback([&chosen, options] {
    if (options->codes.empty() && options->sector.empty()) throw CLI::RequiredError("CODE or --sector");
    chosen = [options](Session& s) {
      auto request = RequestOf(s, *options);
      return request ? RunBoard(s, std::move(*request)) : 1;
    };
  });
}

}  // namespace kdp::app
