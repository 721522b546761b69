// kdp-host sector-chart SECTOR [--sort ID] [--ascending] [--from HHMM --to HHMM] [--json]
// A sector's securities ordered by a quote field (command 3050), with each one's value of the field
// (command 3080, sent with it) as a horizontal bar chart and a table; then how the field moved through the
// trade date's minutes between two times (command 97Fix), one line a security. `--json` prints both as one
// JSON document instead.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <variant>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <nlohmann/json.hpp>

#include "command.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/display_text.h"
#include "kdp/host/services.h"
#include "kdp/package.h"
#include "kdp/speed/speed_history_providers.h"
#include "kdp/speed/speed_observer.h"
#include "kdp/speed/speed_session.h"
#include "kdp/ui/ui_resources.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

constexpr int kMinutePointsCommand = 97;  // "97Fix"
constexpr int kBarWidth = 30;

constexpr Texts kOrderHeading{"{} 按字段 {} 排序，{}（命令 3050；数值来自命令 3080）",
                              "{} 按欄位 {} 排序，{}（命令 3050；數值來自命令 3080）",
                              "{} by field {}, {} (command 3050; values by command 3080)"};
constexpr Texts kMinutesHeading{"字段 {} 从 {} 至 {} 的分钟走势（命令 97Fix）", "欄位 {} 從 {} 至 {} 的分鐘走勢（命令 97Fix）",
                                "field {} from {} to {}, minute by minute (command 97Fix)"};
constexpr Texts kNoMinutePoints{"  该时段没有分钟数据", "  該時段沒有分鐘資料", "  no minute points in that time"};

struct Options {
  std::string sector;
  int sort = 81;
  bool ascending = false;
  int from = 0;
  int to = 2359;
  bool json = false;
};

struct Row {
  std::string code, name;
  std::optional<double> value;
  std::vector<std::pair<int, double>> minutes;  // (HHMM, value) from 97Fix
};

// The number a 3080 record holds for `id`.
std::optional<double> ValueOf(const TKrSpeedIndexRecord& record, int id) {
  for (std::size_t c = 0; c < record.IDs.size() && c < record.Values.size(); ++c) {
    if (record.IDs[c] != id) continue;
    if (const auto* d = std::get_if<double>(&record.Values[c])) return *d;
    if (const auto* i = std::get_if<std::int32_t>(&record.Values[c])) return *i;
    if (const auto* l = std::get_if<std::int64_t>(&record.Values[c])) return static_cast<double>(*l);
  }
  return std::nullopt;
}

// Sends 97Fix for the sector and waits for its reply; the minute points by upper-case code.
std::map<std::string, std::vector<std::pair<int, double>>> MinutePoints(const Options& o) {
  std::map<std::string, std::vector<std::pair<int, double>>> points;
  auto speed = G_GetSpeed();
  if (!speed) return points;
  auto observer = std::make_shared<TKrHQSpeedObserver>();
  ReplyWait wait;
  std::shared_ptr<const TKrSpeedDataSetParseCmdID97Fix> parser;
  std::mutex mutex;  // the reply arrives on the engine's thread
  observer->SetOnSetData([&](const std::shared_ptr<host::IDataSet>& data) {
    {
      std::lock_guard lock(mutex);
      parser = std::make_shared<TKrSpeedDataSetParseCmdID97Fix>(data);
    }
    wait.Arrived();
  });
  auto request = speed->CreateDataRequest(observer);
  std::shared_ptr<host::IParamSerialSet> set;
  if (!request || request->GetParamSerialSet(kMinutePointsCommand, set) == 0 || !set) return points;
  TKrSpeedReqParamCmdID97Fix params(set);
  params.SetSectorName(o.sector);
  params.SetSortID(o.sort);
  params.SetStartTime(o.from);
  params.SetEndTime(o.to);
  const bool sent = request->Request(set, nullptr) > 0 && wait.Wait();
  observer->ClearEvents();
  std::lock_guard lock(mutex);
  if (!sent || !parser) return points;
  const auto& body = parser->GetPrimaryInfo(0);
  for (int r = 0; r < body.GetRowCount(); ++r) {
    const auto& table = body.GetIndicators(r).GetDataSet();
    auto& series = points[ToUpperAscii(body.GetKoraCode(r))];
    for (int i = 0; table && table->GetFieldCount() >= 2 && i < table->GetRowCount(); ++i) {
      series.emplace_back(table->GetAsInteger(i, 0), table->GetAsDouble(i, 1));
    }
  }
  return points;
}

// One row of eighth blocks: the series' values over `width` columns, each column the last point in it,
// on the scale [low, high].
std::string Sparkline(const std::vector<std::pair<int, double>>& series, double low, double high, int width) {
  static constexpr const char* kLevels[] = {"▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
  std::string out;
  if (series.empty()) return out;
  for (int c = 0; c < width; ++c) {
    const std::size_t n = series.size();
    const double v = series[((static_cast<std::size_t>(c) + 1) * n - 1) / static_cast<std::size_t>(width)].second;
    const int level = high > low ? static_cast<int>(std::lround((v - low) / (high - low) * 7)) : 3;
    out += kLevels[std::clamp(level, 0, 7)];
  }
  return out;
}

// The order (3050) and the values (3080) providers, and the waits their replies call back into: kept
// together for as long as the command runs.
struct SectorRequests {
  TKrSpeedDataProviderCmd3050 order;
  TKrSpeedDataProviderCmd3080 values;
  ReplyWait ordered, valued;
};

// Sends 3050 and waits for its reply: the sector's securities in order, with their names; empty (and a
// message) when there is no reply or nothing to order.
std::vector<Row> OrderedRows(Session& s, const Options& o, SectorRequests& requests) {
  std::vector<Row> rows;
  TKrSpeedDataProviderCmd3050& order = requests.order;
  // The provider outlives this call: the call-back finds the wait through `requests`.
  order.SetOnDataNotify([&requests](bool) { requests.ordered.Arrived(); });
  order.GetParams()->SetSectorName(o.sector);
  order.GetParams()->SetSortID(o.sort);
  order.GetParams()->SetSortDirection(o.ascending ? 0 : 1);
  if (order.FireRequest() <= 0 || !requests.ordered.Wait()) {
    fmt::print(s.err, "kdp-host: no reply to the sector sort request\n");
    return rows;
  }
  const auto& body = order.GetParser()->GetPrimaryInfo(0);
  for (int r = 0; r < body.GetRowCount(); ++r) {
    Row row{body.GetKoraCode(r), {}, {}, {}};
    if (auto security = s.host.Securities().GetSecurity(row.code)) row.name = DisplayName(s, *security);
    rows.push_back(std::move(row));
  }
  if (rows.empty()) {
    fmt::print(s.err, "kdp-host: unknown sector {}, or none of its securities has field {}\n", o.sector, o.sort);
  }
  return rows;
}

// Sends 3080 for the rows' values of the sort field and waits for them; a row without one keeps none.
void FillValues(const Options& o, SectorRequests& requests, std::vector<Row>& rows) {
  std::vector<TKrSpeedIndexRecord> records;
  for (const Row& row : rows) records.push_back({row.code, {o.sort}, {}});
  TKrSpeedDataProviderCmd3080& values = requests.values;
  values.SetOnDataNotify([&requests](bool) { requests.valued.Arrived(); });
  if (values.FireExportRequest(records) > 0 && requests.valued.Wait()) {
    for (const auto& record : values.GetParser()->GetRecords()) {
      for (Row& row : rows) {
        if (SameTextAscii(row.code, record.Code)) row.value = ValueOf(record, o.sort);
      }
    }
  }
}

// How values of the sort field are shown: as the format manager formats them for each code, and with the
// current style's colours when there is a style (on a terminal).
struct FieldLook {
  std::shared_ptr<IKrHQFormatManager> formats;
  std::shared_ptr<IKrHQStyle> style;
  int field;

  std::string Text(const std::string& code, std::optional<double> v) const {
    if (!v) return "-";
    auto item = formats ? formats->GetDataFormatObjByID(code, field) : nullptr;
    return item ? item->CalcAndFormatByKoraCode(*v, "", code) : fmt::format("{}", *v);
  }
  // The cell in the colour of a value against zero, as the board has it.
  std::string Paint(const std::string& code, double v, const std::string& cell) const {
    auto item = style && formats ? formats->GetDataFormatObjByID(code, field) : nullptr;
    const std::uint32_t rgb = item ? item->GetColor(style, v, 0.0, false) : 0;
    return rgb == 0 ? cell
                    : fmt::format("\x1b[38;2;{};{};{}m{}\x1b[0m", rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF, cell);
  }
};

void PrintJson(Session& s, const Options& o, const std::vector<Row>& rows, const FieldLook& look) {
  nlohmann::json out = {{"sector", o.sector}, {"sortField", o.sort}, {"descending", !o.ascending},
                        {"from", o.from},     {"to", o.to},          {"items", nlohmann::json::array()}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    nlohmann::json item = {{"rank", i + 1},
                           {"code", rows[i].code},
                           {"name", rows[i].name},
                           {"value", rows[i].value ? nlohmann::json(*rows[i].value) : nlohmann::json()},
                           {"text", look.Text(rows[i].code, rows[i].value)},
                           {"minutes", nlohmann::json::array()}};
    for (const auto& [hhmm, v] : rows[i].minutes) item["minutes"].push_back({{"time", hhmm}, {"value", v}});
    out["items"].push_back(std::move(item));
  }
  fmt::print(s.out, "{}\n", out.dump(2));
}

// The current style when standard output is a terminal that takes colours; nullptr otherwise.
std::shared_ptr<IKrHQStyle> TerminalStyle() {
  const char* no_colour = std::getenv("NO_COLOR");
  if (isatty(STDOUT_FILENO) == 1 && (no_colour == nullptr || *no_colour == '\0')) {
    if (auto styles = host::KrIntfService<IKrHQStyleMgr>()) return styles->GetCurrentStyle();
  }
  return nullptr;
}

// The order as a table with a bar per value: from a zero axis, to the right for values above zero and to
// the left below it, sized against the largest magnitude.
void PrintBars(Session& s, std::ostream& to, const Options& o, const std::vector<Row>& rows, int nameWidth,
               const FieldLook& look) {
  double reach = 0, low = 0, high = 0;
  for (const Row& row : rows) {
    if (row.value) {
      reach = std::max(reach, std::fabs(*row.value));
      low = std::min(low, *row.value);
      high = std::max(high, *row.value);
    }
  }
  const int left = low < 0 ? (high > 0 ? kBarWidth / 2 : kBarWidth) : 0;
  const int right = kBarWidth - left;
  fmt::print(to, "{}\n",
             TextFormat(s, kOrderHeading, host::EscapeControlChars(o.sector), o.sort,
                        Text(s, o.ascending ? words::kLowestFirst : words::kHighestFirst)));
  fmt::print(to, "{:>4}  {}{}{}\n", "#", Pad(Text(s, words::kCode), 12, false), Pad(Text(s, words::kName), nameWidth, false),
             Pad(Text(s, words::kValue), 12, true));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    std::string bar(static_cast<std::size_t>(left), ' ');
    std::string fill;
    if (row.value && reach > 0) {
      const int n = std::max(1, static_cast<int>(std::lround(std::fabs(*row.value) / reach * std::max(left, right))));
      for (int k = 0; k < n; ++k) fill += "█";
      if (*row.value < 0) {
        bar =
            std::string(static_cast<std::size_t>(std::max(0, left - n)), ' ') + look.Paint(row.code, *row.value, fill);
      } else {
        bar += "│" + look.Paint(row.code, *row.value, fill);
      }
    }
    if (row.value && *row.value < 0 && right > 0) bar += "│";
    fmt::print(to, "{:>4}  {}{}{}  {}\n", i + 1, Pad(host::EscapeControlChars(row.code), 12, false),
               Pad(host::EscapeControlChars(row.name), nameWidth, false),
               row.value ? look.Paint(row.code, *row.value, Pad(look.Text(row.code, row.value), 12, true))
                         : Pad("-", 12, true),
               bar);
  }
}

// 97Fix: the minutes of the same field between the two times, a line a security, on one scale for the
// whole sector.
void PrintMinutes(Session& s, std::ostream& to, const Options& o, const std::vector<Row>& rows, int nameWidth,
                  const FieldLook& look) {
  double lowest = 0, highest = 0;
  bool any = false;
  for (const Row& row : rows) {
    for (const auto& [hhmm, v] : row.minutes) {
      lowest = any ? std::min(lowest, v) : v;
      highest = any ? std::max(highest, v) : v;
      any = true;
    }
  }
  const auto hhmm = [](int t) { return fmt::format("{:02}:{:02}", t / 100, t % 100); };
  fmt::print(to, "\n{}\n", TextFormat(s, kMinutesHeading, o.sort, hhmm(o.from), hhmm(o.to)));
  if (!any) {
    fmt::print(to, "{}\n", Text(s, kNoMinutePoints));
    return;
  }
  for (const Row& row : rows) {
    if (row.minutes.empty()) {
      fmt::print(to, "      {}{}-\n", Pad(host::EscapeControlChars(row.code), 12, false),
                 Pad(host::EscapeControlChars(row.name), nameWidth, false));
      continue;
    }
    const auto& [t0, v0] = row.minutes.front();
    const auto& [t1, v1] = row.minutes.back();
    fmt::print(to, "      {}{}{:02}:{:02} {:>10}  {}  {:>10} {:02}:{:02}\n",
               Pad(host::EscapeControlChars(row.code), 12, false),
               Pad(host::EscapeControlChars(row.name), nameWidth, false), t0 / 100, t0 % 100, look.Text(row.code, v0),
               Sparkline(row.minutes, lowest, highest, kBarWidth), look.Text(row.code, v1), t1 / 100, t1 % 100);
  }
}

int SectorChart(Session& s, const Options& o) {
  G_GetHQSpeedImpl();
  SectorRequests requests;
  if (requests.order.GetParams() == nullptr) {
    fmt::print(s.err, "kdp-host: the quote engine offers no sector sort\n");
    return 1;
  }
  std::vector<Row> rows = OrderedRows(s, o, requests);
  if (rows.empty()) return 1;
  // The values of the sort field, asked right after the order, so both come from the same moment of the
  // market as nearly as the engine allows.
  FillValues(o, requests, rows);
  auto points = MinutePoints(o);
  for (Row& row : rows) row.minutes = std::move(points[ToUpperAscii(row.code)]);

  FieldLook look{QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager"), nullptr, o.sort};
  if (o.json) {
    PrintJson(s, o, rows, look);
    return 0;
  }
  look.style = TerminalStyle();
  std::ostream& to = look.style ? s.terminal : s.out;
  // The name column holds the longest name and a blank (English names run longer than Chinese ones).
  int nameWidth = 14;
  for (const Row& row : rows) nameWidth = std::max(nameWidth, DisplayWidth(host::EscapeControlChars(row.name)) + 1);
  PrintBars(s, to, o, rows, nameWidth, look);
  PrintMinutes(s, to, o, rows, nameWidth, look);
  return 0;
}

}  // namespace

void AddSectorChartCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<Options>();
  auto* command = app.add_subcommand(
      "sector-chart", "a sector's securities ordered by a field, as bars, and the field's minutes (3050, 97Fix)");
  command->add_option("SECTOR", options->sector, "sector ID, e.g. IND.BANK")->required();
  command->add_option("--sort", options->sort, "the field ID to order by (0 to 9999)")
      ->check(CLI::Range(0, 9999))
      ->capture_default_str();
  command->add_flag("--ascending", options->ascending, "lowest first");
  command->add_option("--from", options->from, "the minutes from this time, HHMM")
      ->check(CLI::Range(0, 2359))
      ->capture_default_str();
  command->add_option("--to", options->to, "... to this time, HHMM")->check(CLI::Range(0, 2359))->capture_default_str();
  command->add_flag("--json", options->json, "print the order, values and minutes as JSON");
  command->callback([&chosen, options] { chosen = [options](Session& s) { return SectorChart(s, *options); }; });
}

}  // namespace kdp::app
