// kdp-host chart CODE [--seconds N] [--period 1m|5m] [--png FILE [--png-width W --png-height H]]
// An intraday chart of one security: its price over the session's minutes with the previous close
// marked, volume bars underneath, a title with name, last, change and change %. On a terminal it is
// repainted as quotes arrive, sized to the terminal, coloured with the format manager's colours (unless
// NO_COLOR is set); elsewhere it is printed once at the end. `--png` writes the same chart as an image when
// the chart ends. Under `replay FILE chart CODE` the chart draws the recorded session.
//
// The bars come from the pushes the chart's model receives (chart/intraday_bars.h), on the market's
// sessions and trade date as the trade date manager answers them. A replay delivers the pushes of the
// recorded subscription, so the chart subscribes what the recording subscribed together with CODE.
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "../chart/chart_png.h"
#include "../chart/chart_view.h"
#include "../chart/intraday_bars.h"
#include "command.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/display_text.h"
#include "kdp/host/services.h"
#include "kdp/package.h"
#include "kdp/rtd/rtd_model.h"
#include "kdp/tradedate/trade_date.h"
#include "kdp/ui/ui_resources.h"
#include "recording_reader.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

// The quote fields the chart reads: trade date, time, last, previous close, volume, turnover, change,
// name, change ratio.
enum : std::uint32_t { kTradeDate = 1, kTime = 2, kLast = 3, kPrevClose = 4, kVolume = 8, kAmount = 9 };
const std::vector<std::uint32_t> kChartFields{kTradeDate, kTime, kLast, kPrevClose, kVolume, kAmount, 10, 11, 81};

std::atomic<bool> g_interrupted{false};

// The image's note: trade date, minutes a bar spans, volume, turnover.
constexpr Texts kNote{"{}  {} 分钟线  成交量 {}  成交额 {}", "{}  {} 分鐘線  成交量 {}  成交額 {}",
                      "{}  {}-minute bars  volume {}  turnover {}"};

struct Options {
  std::string code;
  int seconds = 0;
  std::string period = "1m";
  std::string png;
  int pngWidth = 1200;
  int pngHeight = 720;
};

// The subscription a recording made last that names `code`; empty when none did (or the file does not read).
host::TKrSpeedSymbolDataList RecordedSubscription(const std::string& file, const std::string& code) {
  replay::RecordingReader reader;
  std::string error;
  host::TKrSpeedSymbolDataList found;
  if (!reader.Open(file, error)) return found;
  replay::Record record;
  while (reader.Next(record)) {
    if (record.kind != replay::RecordKind::kSubscribe) continue;
    for (const auto& symbol : record.symbols) {
      if (SameTextAscii(symbol.KoraCode, code)) found = record.symbols;
    }
  }
  return found;
}

std::pair<int, int> TerminalSize() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    return {size.ws_col, size.ws_row};
  }
  return {80, 24};
}

// Colour only on a terminal, and not when NO_COLOR is set to anything but "".
bool WantColour() {
  const char* no_colour = std::getenv("NO_COLOR");
  return isatty(STDOUT_FILENO) == 1 && (no_colour == nullptr || *no_colour == '\0');
}

class Chart {
 public:
  Chart(Session& s, const Options& options, std::string code, std::string name, chart::SessionMinutes sessions,
        int tradeDate)
      : s_(s),
        options_(options),
        code_(std::move(code)),
        name_(std::move(name)),
        period_(options.period == "5m" ? 5 : 1),
        bars_(std::move(sessions), tradeDate) {
    formats_ = QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager");
    if (auto styles = host::KrIntfService<IKrHQStyleMgr>()) style_ = styles->GetCurrentStyle();
  }

  // Reads the code's item after a delivery that touched it.
  void Take(TKrRTDModel& model) {
    const auto item = model.GetRTDItem(code_);
    if (!item || item->IsNullByID(kTime)) return;  // a quote without its time belongs to no minute
    const auto value = [&](std::uint32_t id) -> std::optional<double> {
      if (item->IsNullByID(id)) return std::nullopt;
      return item->GetDoubleDataByID(id);
    };
    chart::Quote quote;
    quote.tradeDate = static_cast<int>(value(kTradeDate).value_or(0));
    quote.time = static_cast<int>(value(kTime).value_or(0));
    quote.last = value(kLast);
    quote.prevClose = value(kPrevClose);
    quote.volume = value(kVolume);
    quote.turnover = value(kAmount);
    bars_.Add(quote);
    ++quotes_;
  }

  chart::ChartView View(TKrRTDModel& model, bool colour) {
    chart::ChartView view;
    const auto text = [&](const char* field) {
      std::string t = host::EscapeControlChars(model.GetFormatVal(code_, field, true));
      return t.empty() ? std::string("-") : t;
    };
    view.title = fmt::format("{} {}  {}  {}  {}", code_, host::EscapeControlChars(name_), text("NewPrice"),
                             text("Change"), text("ChangeRatio"));
    view.note = TextFormat(s_, kNote, TradeDateText(), period_, text("Volume"), text("Amount"));
    view.sessions = bars_.Sessions();
    view.bars = bars_.Joined(period_);
    view.period = period_;
    view.prevClose = bars_.PrevClose().value_or(0);
    view.priceText = Formatter("NewPrice");
    view.volumeText = Formatter("Volume");
    if (colour && style_) {
      if (auto item = formats_ ? formats_->GetDataFormatObjByName(code_, "NewPrice") : nullptr) {
        view.colour = [item, style = style_](double value, double compare) {
          return item->GetColor(style, value, compare, false);
        };
      }
      view.titleColour = model.GetFormatColor(code_, "NewPrice", true, style_);
      view.palette.background = style_->GetColor("BackgroundColor", view.palette.background);
      view.palette.text = style_->GetColor("TextColor", view.palette.text);
      view.palette.reference = style_->GetColor("TimeColor", view.palette.reference);
    }
    return view;
  }

  void Paint(TKrRTDModel& model, bool repaint) {
    const bool colour = repaint && WantColour();
    const auto [width, height] = repaint ? TerminalSize() : std::pair{80, 24};
    const std::string frame = chart::RenderText(View(model, colour), width, height, colour);
    if (repaint) {
      fmt::print(s_.terminal, "\x1b[H\x1b[2J{}", frame);
      s_.terminal.flush();
    } else {
      fmt::print(s_.out, "{}\n", frame);
    }
  }

  bool WritePng(TKrRTDModel& model) {
    std::string error;
    if (!chart::WritePng(View(model, true), options_.pngWidth, options_.pngHeight, options_.png, error)) {
      fmt::print(s_.err, "kdp-host: the chart image could not be written: {}\n", error);
      return false;
    }
    fmt::print(s_.err, "kdp-host: wrote {} ({} x {} pixels, {} bars)\n", options_.png, options_.pngWidth,
               options_.pngHeight, bars_.Joined(period_).size());
    return true;
  }

  int Quotes() const { return quotes_; }

 private:
  std::function<std::string(double)> Formatter(const char* field) {
    auto item = formats_ ? formats_->GetDataFormatObjByName(code_, field) : nullptr;
    if (!item) return {};
    return [item, code = code_](double value) { return item->CalcAndFormatByKoraCode(value, "", code); };
  }

  std::string TradeDateText() const {
    const int d = bars_.TradeDate();
    return d > 0 ? fmt::format("{:04}-{:02}-{:02}", d / 10000, d / 100 % 100, d % 100) : std::string("-");
  }

  Session& s_;
  const Options& options_;
  std::string code_, name_;
  int period_;
  chart::IntradayBars bars_;
  std::shared_ptr<IKrHQFormatManager> formats_;
  std::shared_ptr<IKrHQStyle> style_;
  int quotes_ = 0;
};

int RunChart(Session& s, const Options& options, const std::string& recording) {
  auto security = s.host.Securities().GetSecurity(options.code);
  if (!security) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", options.code);
    return 1;
  }
  const std::string code = security->GetKoraCode();
  auto dates = QueryPackageInterface<ITradeDateMgr>("ITradeDateMgr");
  if (!dates) {
    fmt::print(s.err, "kdp-host: the package published no trade date manager\n");
    return 1;
  }
  chart::SessionMinutes sessions(dates->GetMarketTime(code));
  if (sessions.Count() == 0) {
    fmt::print(s.err, "kdp-host: no trading sessions are known for {}\n", code);
    return 1;
  }
  // A trade date object follows the security's quotes through a subscription of its own, which would join
  // the chart's in the engine's request (and a replay binds only the recorded request's very subscription):
  // the date is read and the object let go before the chart subscribes.
  int trade_date = 0;
  if (const auto date = dates->GetTradeDateIntf(code)) trade_date = date->GetLatestDate();

  host::TKrSpeedSymbolDataList symbols{{code, kChartFields}};
  if (!recording.empty()) {
    symbols = RecordedSubscription(recording, code);
    if (symbols.empty()) {
      fmt::print(s.err, "kdp-host: the recording subscribed nothing for {}\n", code);
      return 1;
    }
  }
  TKrRealTimeParamStructure params(static_cast<int>(symbols.size()));
  for (int i = 0; i < params.GetCount(); ++i) {
    params.SetKoraCode(i, symbols[static_cast<std::size_t>(i)].KoraCode);
    params.SetItemArray(i, symbols[static_cast<std::size_t>(i)].ItemIDs);
  }

  Chart chart(s, options, code, DisplayName(s, *security), std::move(sessions), trade_date);
  TKrRTDModel model;
  bool dirty = false;
  model.SetUpdateNotify([&] {
    for (const std::string& updated : model.GetUpdateSecurityList()) {
      if (SameTextAscii(updated, code)) {
        chart.Take(model);
        dirty = true;
        return;
      }
    }
  });
  model.Subscrible(params);

  const bool repaint = isatty(STDOUT_FILENO) == 1;
  auto& loop = s.host.Loop();
  auto* replay = s.host.Replay();
  g_interrupted = false;
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  const auto timer = loop.SetTimer(250ms, [&] {
    if (g_interrupted || (replay != nullptr && replay->Finished())) loop.Quit();
    if (!dirty || !repaint) return;
    dirty = false;
    chart.Paint(model, true);
  });
  loop.Run(options.seconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(options.seconds))
                               : std::chrono::milliseconds::max());
  loop.KillTimer(timer);
  std::signal(SIGINT, SIG_DFL);
  if (dirty || !repaint) chart.Paint(model, repaint);
  const bool written = options.png.empty() || chart.WritePng(model);
  model.UnSubscrible();
  if (chart.Quotes() == 0) {
    fmt::print(s.err, "kdp-host: no quote of {} arrived\n", code);
    return 1;
  }
  return written ? 0 : 2;
}

}  // namespace

void AddChartCommand(CLI::App& app, Action& chosen, const std::string* recording) {
  auto options = std::make_shared<Options>();
  auto* chart = app.add_subcommand("chart", "an intraday chart of a security, repainted as quotes arrive");
  chart->add_option("CODE", options->code, "security code, e.g. 600000.SH")->required();
  chart->add_option("--seconds", options->seconds, "stop after this many seconds, 1 to 86400 (default: until Ctrl-C)")
      ->check(CLI::Range(1, 86400));
  chart->add_option("--period", options->period, "minutes a bar spans")
      ->check(CLI::IsMember({"1m", "5m"}))
      ->capture_default_str();
  chart->add_option("--png", options->png, "also write the chart as a PNG image to this file when it ends");
  chart->add_option("--png-width", options->pngWidth, "the image's width in pixels, 320 to 8000")
      ->check(CLI::Range(320, 8000))
      ->capture_default_str();
  chart->add_option("--png-height", options->pngHeight, "the image's height in pixels, 200 to 8000")
      ->check(CLI::Range(200, 8000))
      ->capture_default_str();
  chart->callback([&chosen, options, recording] {
    chosen = [options, recording](Session& s) {
      return RunChart(s, *options, recording != nullptr ? *recording : std::string());
    };
  });
}

}  // namespace kdp::app
