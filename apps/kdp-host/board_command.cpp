// kdp-host board CODE... [--fields ID,...] [--seconds N] [--once] [--drop-after S --drop-for N]
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

#include "board_markets.h"
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
constexpr std::uint32_t kLastField = 3;
constexpr std::uint32_t kPrevCloseField = 4;
constexpr std::uint32_t kVolumeField = 8;
constexpr std::uint32_t kChangeField = 10;
constexpr std::uint32_t kChangeRatioField = 81;
constexpr std::string_view kTimeColumnField = "TradeTime";
constexpr std::string_view kNameColumnField = "StockName";

constexpr const char* kDim = "\x1b[2m";
constexpr const char* kPlain = "\x1b[0m";

std::atomic<bool> g_interrupted{false};

// What the last line says of the server and the connection.
constexpr Texts kServerTime{"服务器时间 {} {}（UTC+8），", "伺服器時間 {} {}（UTC+8），", "server time {} {} (UTC+8), "};
constexpr Texts kConnected{"已连接", "已連線", "connected"};
constexpr Texts kReconnected{"已于 {} 重新连接，等待行情", "已於 {} 重新連線，等待行情",
                             "reconnected at {}, waiting for quotes"};
constexpr Texts kDisconnected{"连接已断开（{} 起）", "連線已中斷（{} 起）", "disconnected since {}"};

class Board {
 public:
  Board(Session& s, std::vector<std::string> codes, std::vector<std::uint32_t> extra,
        std::vector<std::string> computed, bool colour)
      : s_(s),
        codes_(std::move(codes)),
        extra_(std::move(extra)),
        computed_(std::move(computed)),
        colour_(colour),
        edition_(EditionOf(s)),
        markets_(s, codes_) {
    if (auto styles = host::KrIntfService<IKrHQStyleMgr>()) style_ = styles->GetCurrentStyle();
    // The name column holds the longest name (English names run longer than Chinese ones).
    for (const std::string& code : codes_) {
      if (auto security = s.host.Securities().GetSecurity(code)) {
        nameWidth_ = std::max(nameWidth_, DisplayWidth(DisplayName(s, *security)));
      }
    }
  }

  // The board's text: a header, one line per code, a line per market and the status line. Cells are
  // escaped here, since the colours around them must reach the terminal as they are. Stale rows are dimmed
  // whole, without their colours.
  std::string Render(TKrRTDModel& model) {
    const TRTDUpdateState& state = model.UpdateState();
    const bool dim = colour_ && state.Stale;
    markets_.Refresh();
    std::string out;
    for (const Column& c : kColumns) out += Pad(Text(s_, c.title), Width(c), c.right) + "  ";
    for (const std::uint32_t id : extra_) out += Pad(FieldHeader(id), ExtraWidth(id), true) + "  ";
    for (const std::string& name : computed_) out += Pad(name, ComputedWidth(name), true) + "  ";
    out += '\n';
    for (const std::string& code : codes_) {
      if (dim) out += kDim;
      for (const Column& c : kColumns) {
        if (c.field == nullptr) {
          out += Pad(host::EscapeControlChars(code), Width(c), c.right) + "  ";
          continue;
        }
        std::string text = host::EscapeControlChars(CellText(model, code, c.field));
        if (text.empty() || text == "-") {
          text = "-";
        } else {
          ++shown_;
        }
        const std::string cell = Pad(text, Width(c), c.right);
        const std::uint32_t rgb = colour_ && style_ && !dim ? model.GetFormatColor(code, c.field, true, style_) : 0;
        out += rgb != 0 ? ForegroundSequence(rgb, s_.color) + cell + kPlain : cell;
        out += "  ";
      }
      for (const std::uint32_t id : extra_) out += Pad(ExtraCell(model, code, id), ExtraWidth(id), true) + "  ";
      for (const std::string& name : computed_) {
        std::string text = host::EscapeControlChars(model.GetFormatVal(code, name, true));
        if (text.empty()) text = "-";
        if (text != "-") ++shown_;
        out += Pad(text, ComputedWidth(name), true) + "  ";
      }
      out += dim ? std::string(kPlain) + "\n" : "\n";
    }
    out += markets_.Lines();
    out += StatusLine(state) + '\n';
    return out;
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

  // How many field cells showed a value, over every paint so far.
  int ShownCells() const { return shown_; }

 private:
  int Width(const Column& c) const {
    return c.field != nullptr && c.field == kNameColumnField ? std::max(c.width, nameWidth_) : c.width;
  }
  static int ExtraWidth(std::uint32_t id) { return std::max(12, DisplayWidth(FieldHeader(id))); }
  static int ComputedWidth(const std::string& name) { return std::max(12, DisplayWidth(name)); }

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
};

// The board for scripts (--format json|csv): a row per security with the fields' raw values, headed by
// English names; `--fields` add a column per field ID, computed columns one per name. A row's time is the
// server's (UTC+8) when it was taken; its last trade's time is that of its market's zone, as on the board.
class BoardRows {
 public:
  BoardRows(Session& s, const std::vector<std::uint32_t>& extra, const std::vector<std::string>& computed)
      : s_(s), extra_(extra), computed_(computed) {}

  std::vector<std::string> Columns() const {
    std::vector<std::string> columns{"code",        "name",       "time",   "trade_date",   "last_trade_time",
                                     "last",        "prev_close", "change", "change_ratio", "volume"};
    for (const std::uint32_t id : extra_) columns.push_back(std::to_string(id));
    columns.insert(columns.end(), computed_.begin(), computed_.end());
    return columns;
  }

  // Null for a field without a value (none yet, or none the user may see).
  std::vector<nlohmann::json> Row(TKrRTDModel& model, const std::string& code) {
    const auto item = model.GetRTDItem(code);
    const auto number = [&](std::uint32_t id) -> std::optional<double> {
      if (!item || !item->HasPermissionByID(id) || item->IsNullByID(id)) return std::nullopt;
      return item->GetDoubleDataByID(id);
    };
    // Differences of prices carry the binary remainder (10.50 - 10.36 is 0.14000000000000057); fourteen
    // significant digits keep every price, ratio, volume and amount whole and drop that noise.
    const auto value = [&](std::uint32_t id) -> nlohmann::json {
      const auto v = number(id);
      if (!v) return nullptr;
      ++shown_;
      return host::ParseDouble(fmt::format("{:.14g}", *v)).value_or(*v);
    };
    auto security = s_.host.Securities().GetSecurity(code);
    std::vector<nlohmann::json> row{code, security ? nlohmann::json(security->GetStockName()) : nlohmann::json()};
    row.emplace_back(IsoDateTime(s_.host.Context().GetServerDateTime().ToString()) + "+08:00");
    const auto date = number(kTradeDateField);
    row.push_back(date ? nlohmann::json(IsoDate(std::to_string(std::llround(*date)))) : nlohmann::json());
    const auto time = number(kLastTradeTimeField);
    row.push_back(time ? nlohmann::json(ClockText(std::llround(*time))) : nlohmann::json());
    for (const std::uint32_t id : {kLastField, kPrevCloseField, kChangeField, kChangeRatioField, kVolumeField}) {
      row.push_back(value(id));
    }
    for (const std::uint32_t id : extra_) row.push_back(value(id));
    for (const std::string& name : computed_) {
      if (!item || item->IsNullByName(name)) {
        row.emplace_back();
      } else {
        ++shown_;
        row.emplace_back(item->GetDoubleDataByName(name));
      }
    }
    return row;
  }

  // How many field values the rows carried so far.
  int ShownCells() const { return shown_; }

 private:
  Session& s_;
  const std::vector<std::uint32_t>& extra_;
  const std::vector<std::string>& computed_;
  int shown_ = 0;
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
             const std::vector<std::string>& computed, int seconds, bool once, const ConnectionDrop& drop = {}) {
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
    // A computed column needs the fields its expression reads.
    const auto formats = QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager");
    for (const std::string& name : computed) {
      const auto item = formats ? formats->GetDataFormatObjByName(codes[static_cast<std::size_t>(i)], name) : nullptr;
      if (!item) continue;
      for (const int id : item->GetDataList()) fields.push_back(static_cast<std::uint32_t>(id));
      for (const int id : item->GetSecondDataList()) fields.push_back(static_cast<std::uint32_t>(id));
    }
    params.SetItemArray(i, fields);
  }

  if (!ScheduleDrop(s, drop)) return 1;
  TKrRTDModel model;
  bool dirty = false;
  Board board(s, codes, extra, computed, !once && s.color != ColorDepth::None);
  const bool table = s.format == OutputFormat::Table;
  BoardRows rows(s, extra, computed);
  // For scripts a live board is a row per security and update, written as the update arrives.
  std::optional<ListingStream> stream;
  if (!table && !once) stream.emplace(s.out, s.terminal, rows.Columns(), s.format);
  model.SetUpdateNotify([&](const TRTDUpdateState& state) {
    dirty = true;  // quotes and connection changes alike
    if (!stream || state.ConnectionChanged) return;
    for (const std::string& code : model.GetUpdateSecurityList()) {
      if (std::find(codes.begin(), codes.end(), code) != codes.end()) stream->Write(rows.Row(model, code));
    }
  });
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
    if (table) {
      board.Paint(model);
    } else {
      Listing listing{rows.Columns(), {}};
      for (const std::string& code : codes) listing.rows.push_back(rows.Row(model, code));
      WriteListing(s.out, s.terminal, listing, s.format);
    }
    if ((table ? board.ShownCells() : rows.ShownCells()) == 0) return NothingShown(s);
    if (!complete) fmt::print(s.err, "kdp-host: not every security had a quote yet\n");
    return complete ? 0 : 1;
  }

  g_interrupted = false;
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  const auto repaint = loop.SetTimer(250ms, [&] {
    if (g_interrupted || (replay != nullptr && replay->Finished())) loop.Quit();
    if (!dirty || !table) return;
    dirty = false;
    board.Paint(model);
  });
  loop.Run(seconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(seconds)) : std::chrono::milliseconds::max());
  loop.KillTimer(repaint);
  if (dirty && table) board.Paint(model);  // the board as the last quotes left it
  std::signal(SIGINT, SIG_DFL);
  model.UnSubscrible();
  return (table ? board.ShownCells() : rows.ShownCells()) == 0 ? NothingShown(s) : 0;
}

}  // namespace

int PrintBoardSnapshot(Session& session, const std::vector<std::string>& codes) {
  return RunBoard(session, codes, {}, {}, 0, true);
}

int RunLiveBoard(Session& session, const std::vector<std::string>& codes, int seconds, const ConnectionDrop& drop) {
  return RunBoard(session, codes, {}, {}, seconds, false, drop);
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
    std::vector<std::string> fields;
    int seconds = 0;
    bool once = false;
    ConnectionDrop drop;
  };
  auto options = std::make_shared<Options>();
  auto* board = app.add_subcommand("board", "a live price board of securities, repainted as quotes arrive");
  board->footer(
      "Under --format json|csv: raw values, a row per security with its code, the server time (UTC+8) and the "
      "fields. With --once one listing; without, the rows stream as quotes arrive, a row per security updated: "
      "JSON a line each (NDJSON), CSV a header row, then a record each, every row flushed.");
  board->add_option("CODE", options->codes, "security codes, e.g. 600000.SH 000001.SZ 00700.HK")->required();
  board->add_option("--seconds", options->seconds, "stop after this many seconds, 1 to 86400 (default: until Ctrl-C)")
      ->check(CLI::Range(1, 86400));
  board
      ->add_option("--fields", options->fields,
                   "more columns: field IDs or names joined by \",\" (cloud fields 10001 to 20000)")
      ->delimiter(',')
      ->check(FieldIdOrName(20000));
  auto* once = board->add_flag("--once", options->once, "print one snapshot and exit");
  AddDropOptions(*board, options->drop);
  once->excludes("--drop-after");
  board->callback([&chosen, options] {
    chosen = [options](Session& s) {
      // A name the dictionary lacks but the format has is a computed column (an expression or a
      // "script{...}" field), shown as the format computes it; every other name or ID is a dictionary field.
      std::vector<std::string> fields, computed;
      const auto formats = QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager");
      for (const std::string& field : options->fields) {
        const auto item = formats && !host::ParseInt32(field) && FieldIDByName(field) <= 0
                              ? formats->GetDataFormatObjByName(options->codes.front(), field)
                              : nullptr;
        (item ? computed : fields).push_back(field);
      }
      const auto extra = ResolveFields(s, fields);
      if (!extra) return 1;
      return RunBoard(s, options->codes, *extra, computed, options->seconds, options->once, options->drop);
    };
  });
}

}  // namespace kdp::app
