// kdp-host qvb search WORDS... [--page N] [--size N]
// kdp-host qvb series CODE [--last N]
// The QVB economic database of the stand-in Lux service: a keyword search over the indicator catalogue,
// and one indicator's series, through the package's QVB request.
#include <chrono>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/qvb/qvb_request.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

constexpr auto kReplyWait = 15s;

struct Options {
  std::vector<std::string> words;
  int page = 1;
  int size = 20;
  std::string code;
  int last = 0;
};

// A day number of the records as yyyy-mm-dd ("-" for none).
std::string DayText(std::uint16_t day) {
  if (day == 0) return "-";
  const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::year{1899} / 12 / 30} +
                                         std::chrono::days{day}};
  return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                     static_cast<unsigned>(date.day()));
}

struct Frequency {
  const char* key;  // for scripts
  Texts name;
};
// In the order of TKrQVBFreqType.
constexpr Frequency kFrequencies[] = {{"undated", {"不定期", "不定期", "undated"}},
                                      {"every_day", {"每天", "每天", "every day"}},
                                      {"daily", {"日", "日", "daily"}},
                                      {"weekly", {"周", "週", "weekly"}},
                                      {"monthly", {"月", "月", "monthly"}},
                                      {"quarterly", {"季", "季", "quarterly"}},
                                      {"half_yearly", {"半年", "半年", "half-yearly"}},
                                      {"yearly", {"年", "年", "yearly"}},
                                      {"annual", {"年度", "年度", "annual"}}};

std::string FrequencyText(Session& s, TKrQVBFreqType frequency) { return Text(s, kFrequencies[frequency].name); }

// A day number as an ISO date for scripts; null for none.
nlohmann::json DayValue(std::uint16_t day) { return day == 0 ? nlohmann::json() : nlohmann::json(DayText(day)); }

constexpr Texts kSearchPage{"第 {} 页：{} 个指标，共 {} 个", "第 {} 頁：{} 個指標，共 {} 個",
                            "page {}: {} of {} indicators"};
constexpr Texts kDateRange{"{} 至 {}", "{} 至 {}", "{} to {}"};
constexpr Texts kObservations{"{}（{}）：{} 个观测值", "{}（{}）：{} 個觀測值", "{} ({}): {} observations"};

// Sends with `send` and runs the main loop until `arrived`; the exit status.
int Await(Session& s, const std::function<std::int32_t()>& send, const bool& arrived) {
  if (send() <= 0) {
    fmt::print(s.err, "kdp-host: the QVB request was not sent (no Lux client, or not connected)\n");
    return 1;
  }
  if (!s.host.Loop().RunUntil([&] { return arrived; }, kReplyWait)) {
    fmt::print(s.err, "kdp-host: no readable QVB reply within {} seconds (see the log)\n", kReplyWait.count());
    return 1;
  }
  return 0;
}

// For scripts a row per indicator of the page: its ID as the code, its frequency's key, ISO dates.
Listing SearchListing(const std::vector<TQVBTreeNodeSearchProps>& records, std::int32_t page, std::int32_t total) {
  Listing listing{{"code", "name", "frequency", "unit", "currency", "country", "first_date", "last_date", "source",
                   "page", "total"},
                  {}};
  for (const TQVBTreeNodeSearchProps& record : records) {
    const TQVBTreeNodeProps4& p = record.Props;
    listing.rows.push_back({p.Identity.Get(), p.Description.Get(), kFrequencies[p.TimeFrequency].key, p._Unit.Get(),
                            p.CurrencyType.Get(), p.Country.Get(), DayValue(p.BeginDate), DayValue(p.EndDate),
                            p.Source.Get(), page, total});
  }
  return listing;
}

int Search(Session& s, const Options& o) {
  TKrHQQVBRequest request;
  bool arrived = false;
  Listing listing;
  request.SetOnQVBSearchDataCallBack([&](const std::vector<TQVBTreeNodeSearchProps>& records, std::int32_t count,
                                         std::int32_t page, std::int32_t total) {
    arrived = true;
    if (s.format != OutputFormat::Table) {
      listing = SearchListing(records, page, total);
      return;
    }
    fmt::print(s.out, "{}\n", TextFormat(s, kSearchPage, page, count, total));
    for (const TQVBTreeNodeSearchProps& record : records) {
      const TQVBTreeNodeProps4& p = record.Props;
      fmt::print(s.out, "  {}  {}  {}, {}, {}  {}\n", Pad(p.Identity.Get(), 8, false),
                 Pad(p.Description.Get(), 28, false), FrequencyText(s, p.TimeFrequency), p._Unit.Get(),
                 TextFormat(s, kDateRange, DayText(p.BeginDate), DayText(p.EndDate)), p.Source.Get());
    }
  });
  std::string words;
  for (const std::string& word : o.words) words += (words.empty() ? "" : " ") + word;
  const int status = Await(
      s, [&] { return request.RequestQVBSearchData(words, o.page, o.size); }, arrived);
  if (status == 0 && s.format != OutputFormat::Table) WriteListing(s.out, s.terminal, listing, s.format);
  return status;
}

int Series(Session& s, const Options& o) {
  const std::optional<std::int32_t> id = ParseInt32(o.code);
  if (!id || *id <= 0) {
    fmt::print(s.err, "kdp-host: {} is not an indicator ID\n", o.code);
    return 1;
  }
  TKrHQQVBRequest request;
  bool arrived = false;
  bool found = false;
  // For scripts a row per observation: the indicator's ID, name and unit, the date and the value.
  Listing listing{{"code", "name", "unit", "date", "value"}, {}};
  request.SetOnQVBIndexDataCallBack([&](const std::vector<TKrQVBSeries>& list) {
    arrived = true;
    found = !list.empty();
    for (const TKrQVBSeries& series : list) {
      std::string unit;
      for (const auto& [kind, text] : series.Attributes) {
        if (kind == 1) unit = text;
      }
      if (s.format != OutputFormat::Table) {
        for (const TKrQVBOneData& value : series.Values) {
          // The record is packed: its members are copied out, never bound to a reference.
          const double number = value.Value;
          listing.rows.push_back({o.code, series.Name, unit, DayValue(value.VEndDate), number});
        }
        continue;
      }
      fmt::print(s.out, "{}\n", TextFormat(s, kObservations, series.Name, unit, series.Values.size()));
      for (const TKrQVBOneData& value : series.Values) {
        fmt::print(s.out, "  {}  {}\n", DayText(value.VEndDate), FloatToText(value.Value));
      }
    }
  });
  TKrQVBDRIndictionItem item;
  item.IndicationId = static_cast<std::uint32_t>(*id);
  item.Observations = static_cast<std::uint16_t>(o.last);
  const int status = Await(
      s, [&] { return request.RequestQVBData({item}); }, arrived);
  if (status != 0) return status;
  if (!found) {
    fmt::print(s.err, "kdp-host: no series for indicator {} (see the log for the service's answer)\n", o.code);
    return 1;
  }
  if (s.format != OutputFormat::Table) WriteListing(s.out, s.terminal, listing, s.format);
  return 0;
}

}  // namespace

void AddQVBCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<Options>();
  auto* qvb = app.add_subcommand(
      "qvb", "the QVB economic database: search indicators, show a series; template trees and AES files");
  qvb->require_subcommand(1);
  auto* search = qvb->add_subcommand("search", "indicators whose code, name or description hold every word");
  search->add_option("WORDS", options->words, "key words")->required();
  search->add_option("--page", options->page, "the page, from 1")->check(CLI::Range(1, 10000));
  search->add_option("--size", options->size, "indicators a page")->check(CLI::Range(1, 100));
  search->callback([&chosen, options] { chosen = [options](Session& s) { return Search(s, *options); }; });
  search->footer(
      "Under --format json|csv: a row per indicator (code, name, frequency, unit, currency, country, "
      "first_date, last_date, source, page, total). E.g. kdp-host qvb search GDP; "
      "kdp-host --format csv qvb search CPI");
  auto* series = qvb->add_subcommand("series", "one indicator's observations");
  series->footer(
      "Under --format json|csv: a row per observation (code, name, unit, date, value). "
      "E.g. kdp-host qvb series 1000545 --last 4; kdp-host --format json qvb series 1001227");
  series->add_option("CODE", options->code, "the indicator ID, e.g. 1000545")->required();
  series->add_option("--last", options->last, "only the latest N observations (0: all)")->check(CLI::Range(0, 65535));
  series->callback([&chosen, options] { chosen = [options](Session& s) { return Series(s, *options); }; });
  AddQVBFileCommands(*qvb, chosen);
}

}  // namespace kdp::app
