// kdp-host board CODE... [--fields ID,...] [--seconds N] [--once] [--drop-after S --drop-for N]
// A live price board: one line per security (name, last price, change, change %, volume, time), formatted
// and coloured by the package's format items, repainted as quotes arrive; `--fields` adds a column per
// field ID, quote or cloud indicator (10001 to 20000), showing its value ("n/a" where the user may not).
// Under `replay` the board ends with the recording, and `--once` shows the recording's end.
//
// Under the rows, a line per market of the board (each once) says what it is doing now (trading, lunch break,
// closed until its next session, night session) from its sessions and its exchange's calendar, whose wall
// clock the times of its rows are, and its volume unit; the last line gives the server time and the
// connection. A row's time is its last trade's, in its market's zone: "-" before a trade on the market's
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
#include <cstring>
#include <map>
#include <optional>
#include <string_view>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/ansi.h"
#include "kdp/host/display_text.h"
#include "kdp/host/services.h"
#include "kdp/fields/field_names.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/number_text.h"
#include "kdp/host/speed.h"
#include "kdp/package.h"
#include "kdp/refdata/market_time.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/tradedate/trade_date.h"
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
constexpr std::uint32_t kTradeDateField = 1;
constexpr std::uint32_t kLastField = 3;
constexpr std::uint32_t kPrevCloseField = 4;
constexpr std::uint32_t kVolumeField = 8;
constexpr std::uint32_t kChangeField = 10;
constexpr std::uint32_t kChangeRatioField = 81;
constexpr std::uint32_t kLastTradeTimeField = 1027;
constexpr std::string_view kTimeColumnField = "TradeTime";
constexpr std::string_view kNameColumnField = "StockName";

constexpr const char* kDim = "\x1b[2m";
constexpr const char* kPlain = "\x1b[0m";

std::atomic<bool> g_interrupted{false};

// A time of day, hhmmss, as "10:30:00".
std::string ClockText(long long hhmmss) {
  return fmt::format("{:02}:{:02}:{:02}", hhmmss / 10000, hhmmss / 100 % 100, hhmmss % 100);
}

// What the lines under the rows say.
constexpr Texts kTrading{"交易中", "交易中", "trading"};
constexpr Texts kNightSession{"夜盘", "夜盤", "night session"};
constexpr Texts kLunchBreakUntil{"午间休市至 {}", "午間休市至 {}", "lunch break until {}"};
constexpr Texts kBreakUntil{"盘中休息至 {}", "盤中休息至 {}", "break until {}"};
constexpr Texts kClosed{"休市", "休市", "closed"};
constexpr Texts kClosedUntil{"休市至 {}", "休市至 {}", "closed until {}"};
constexpr Texts kClosedUntilDay{"休市至 {} {}", "休市至 {} {}", "closed until {} {}"};
constexpr Texts kCityTime{"{}时间", "{}時間", "{} time"};
constexpr Texts kVolumeIn{"成交量单位：{}", "成交量單位：{}", "volume in {}"};
constexpr Texts kServerTime{"服务器时间 {} {}（UTC+8），", "伺服器時間 {} {}（UTC+8），", "server time {} {} (UTC+8), "};
constexpr Texts kConnected{"已连接", "已連線", "connected"};
constexpr Texts kReconnected{"已于 {} 重新连接，等待行情", "已於 {} 重新連線，等待行情",
                             "reconnected at {}, waiting for quotes"};
constexpr Texts kDisconnected{"连接已断开（{} 起）", "連線已中斷（{} 起）", "disconnected since {}"};
// The stock type variables' volume units, as each edition says them; another unit is shown as it is.
constexpr std::pair<std::string_view, Texts> kVolumeUnits[] = {
    {"手", {"手", "手", "lots"}}, {"股", {"股", "股", "shares"}}, {"张", {"张", "張", "bonds"}}};

// The markets of the board, each once, and what the lines under the rows say of them.
class BoardMarkets {
 public:
  BoardMarkets(Session& s, const std::vector<std::string>& codes)
      : s_(s),
        clock_(QueryPackageInterface<IKrWorldClock>("IKrWorldClock")),
        dates_(QueryPackageInterface<ITradeDateMgr>("ITradeDateMgr")),
        variables_(QueryPackageInterface<IKrStockTypeVariable>("IKrStockTypeVariable")) {
    auto securities = SecurityManager(s);
    for (const std::string& code : codes) {
      const std::string exchange = ExchangeOf(s, code);
      auto same =
          std::find_if(markets_.begin(), markets_.end(), [&](const Market& m) { return m.exchange == exchange; });
      if (same == markets_.end()) {
        Market market;
        market.exchange = exchange;
        market.code = code;
        if (securities) market.city = securities->GetSecurityInfo(code)->GetCity();
        market.unit = VolumeUnit(code);
        same = markets_.insert(markets_.end(), std::move(market));
      }
      marketOf_[code] = static_cast<std::size_t>(same - markets_.begin());
    }
  }

  // Works out every market's state at the server's time now; the lines and cells below read it.
  void Refresh() {
    for (Market& market : markets_) {
      if (clock_) clock_->KoraCodeNow(market.code, market.now);
      market.state = StateNow(market.code, market.now);
    }
  }

  // The last trade's time of a row (hhmmss, from the engine) against its market's trade date.
  std::string TimeCell(const std::string& code, TKrRTDModel& model) const {
    const auto item = model.GetRTDItem(code);
    auto it = marketOf_.find(code);
    if (!item || it == marketOf_.end() || item->IsNullByID(kLastTradeTimeField)) return "-";
    const auto hhmmss = std::llround(item->GetDoubleDataByID(kLastTradeTimeField));
    const auto date = item->IsNullByID(kTradeDateField) ? 0 : std::llround(item->GetDoubleDataByID(kTradeDateField));
    const int current = markets_[it->second].state.tradeDate;
    if (date != 0 && current != 0 && date < current) {
      return fmt::format("{:04}-{:02}-{:02}", date / 10000, date / 100 % 100, date % 100);
    }
    if (date != 0 && current != 0 && date > current) return "-";
    return ClockText(hhmmss);
  }

  // One line per market: its state, whose clock its times are, its volume unit.
  std::string Lines() const {
    std::string out;
    for (const Market& m : markets_) {
      out += fmt::format("{}  {}  {}  {}\n", Pad(m.exchange, 8, false), Pad(StateText(m.state, m.now), 26, false),
                         Pad(m.city.empty() ? std::string("-") : TextFormat(s_, kCityTime, CityName(s_, m.city)), 16,
                             false),
                         m.unit.empty() ? std::string() : TextFormat(s_, kVolumeIn, m.unit));
    }
    return out;
  }

 private:
  struct Market {
    std::string exchange;
    std::string code;  // the board's first security of the market: its sessions, zone and calendar
    std::string city;  // whose wall clock the market keeps
    std::string unit;
    host::DateTime now;  // the server's time in the market's zone, at the last refresh
    TMarketState state{};
  };

  // The exchange the host's market rules name for the security's trade span; its suffix otherwise.
  static std::string ExchangeOf(Session& s, const std::string& code) {
    auto security = s.host.Securities().GetSecurity(code);
    auto engine = s.host.Context().GetSpeed();
    if (security && engine) {
      host::TMarketInfoBuffer buffer{};
      if (engine->QueryMarketInfo(host::kMarketInfoExchange, security->GetTradeSpan(), buffer) == 0 &&
          buffer.text[0] != '\0') {
        return std::string(buffer.text, strnlen(buffer.text, sizeof buffer.text));
      }
    }
    return GetSuffixString(code).substr(code.find('.') == std::string::npos ? 0 : 1);
  }

  // The security type's volume unit (手 lots, 股 shares, 张 bonds) in the edition's words.
  std::string VolumeUnit(const std::string& code) const {
    if (!variables_) return {};
    const std::string unit = variables_->GetVariableByStockType(code, "VolumeUnit");
    for (const auto& [word, texts] : kVolumeUnits) {
      if (unit == word) return Text(s_, texts);
    }
    return unit;
  }

  // The market's state at the server's time now, in its own zone, from its sessions and its exchange's
  // calendar (weekdays while the calendar is not there or does not reach the day).
  TMarketState StateNow(const std::string& code, host::DateTime now) const {
    if (!clock_ || !dates_) return {};
    std::vector<int> days;
    for (const std::string& day : SplitString(dates_->GetTradeDateAll(code), ',')) days.push_back(StrToIntDef(day, 0));
    std::sort(days.begin(), days.end());
    const auto tradingDay = [&days](int date) {
      if (days.empty() || date < days.front() || date > days.back()) {
        const int weekday = host::DateTime::FromYyyymmdd(date).value_or(host::DateTime()).DayOfWeek();
        return weekday != 1 && weekday != 7;
      }
      return std::binary_search(days.begin(), days.end(), date);
    };
    return MarketStateAt(dates_->GetMarketTime(code), now, tradingDay);
  }

  std::string StateText(const TMarketState& state, host::DateTime now) const {
    const host::DateTime::Parts next = state.nextOpen.Decode();
    const std::string until = fmt::format("{:02}:{:02}", next.hour, next.minute);
    switch (state.kind) {
      case TMarketState::Kind::kTrading:
        return Text(s_, kTrading);
      case TMarketState::Kind::kNightSession:
        return Text(s_, kNightSession);
      case TMarketState::Kind::kLunchBreak:
        return TextFormat(s_, kLunchBreakUntil, until);
      case TMarketState::Kind::kBreak:
        return TextFormat(s_, kBreakUntil, until);
      case TMarketState::Kind::kClosed:
        break;
    }
    if (state.nextOpen.value == 0) return Text(s_, kClosed);
    // A session on a later day is named by its weekday.
    if (state.nextOpen.Yyyymmdd() == now.Yyyymmdd()) return TextFormat(s_, kClosedUntil, until);
    return TextFormat(s_, kClosedUntilDay, WeekdayName(s_, state.nextOpen.DayOfWeek()), until);
  }

  Session& s_;
  std::shared_ptr<IKrWorldClock> clock_;
  std::shared_ptr<ITradeDateMgr> dates_;
  std::shared_ptr<IKrStockTypeVariable> variables_;
  std::vector<Market> markets_;
  std::map<std::string, std::size_t> marketOf_;  // code -> index into markets_
};

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
