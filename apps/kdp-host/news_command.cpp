// kdp-host news COLUMN [--code CODE] [--param NAME=VALUE]... [--pages N] [--follow] [--seconds N]
// A news column from the stand-in Lux service, page by page, as a news pane asks for it: through the Lux
// data manager, which answers a page from the column's store when it can and asks the service otherwise.
// With --follow the column's subscription stays on and pushed items are printed as they arrive. Under
// --format json|csv the items are rows for scripts (streamed with --follow).
#include <atomic>
#include <csignal>
#include <optional>
#include <set>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kdp/host/number_text.h"
#include "kdp/lux/lux_helpers.h"
#include "kdp/lux/lux_requests.h"
#include "kdp/package.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

constexpr auto kPageWait = 15s;

std::atomic<bool> g_interrupted{false};

constexpr Texts kNoMoreItems{"-- 第 {} 页：没有更多条目", "-- 第 {} 頁：沒有更多項目", "-- page {}: no more items"};
constexpr Texts kPage{"-- 第 {} 页（{} 条{}）", "-- 第 {} 頁（{} 則{}）", "-- page {} ({} items{})"};
constexpr Texts kFromTheStore{"，来自本地存储", "，來自本機儲存", ", from the store"};
constexpr Texts kFollowing{"-- 正在跟踪 {}（Ctrl-C 停止）", "-- 正在追蹤 {}（Ctrl-C 停止）", "-- following {} (Ctrl-C to stop)"};

struct Options {
  std::string column;
  std::string code;
  std::vector<std::string> params;  // NAME=VALUE
  int pages = 1;
  bool follow = false;
  int seconds = 0;
};

// Sets the request's parameter `name` (whatever ASCII case the column gives it), or adds it.
void SetParameter(IKrLuxDataReqInfo& info, const std::string& name, const std::string& value) {
  for (int i = 0; i < info.GetIndexQuotaCount(); ++i) {
    const std::string existing = info.GetIndexByOrder(i);
    if (SameTextAscii(existing, name)) {
      info.SetIndexValue(existing, value);
      return;
    }
  }
  info.SetIndexValue(name, value);
}

std::string Field(IKrLuxDataTable& table, int row, const char* a, const char* b) {
  std::string value = table.GetIndexValue(row, a);
  return value.empty() ? table.GetIndexValue(row, b) : value;
}

// One line per item: date, title, source.
void PrintRows(Session& s, IKrLuxDataTable& table, std::string_view mark) {
  for (int row = 0; row < table.GetRowCount(); ++row) {
    const std::string source = Field(table, row, "Source", "sitename");
    fmt::print(s.out, "{}{:<19}  {}{}\n", mark, Field(table, row, "NewsDate", "date"),
               Field(table, row, "Title", "title"), source.empty() ? "" : "  — " + source);
  }
}

// The items for scripts: the page each came on (null for one pushed), its ID, date-time (ISO 8601), title,
// source and the codes it is tagged with (joined by ","), else the code the column was asked for.
const std::vector<std::string> kItemColumns{"page", "id", "date", "title", "source", "code"};

void AddItemRows(IKrLuxDataTable& table, const nlohmann::json& page, const std::string& code,
                 std::vector<std::vector<nlohmann::json>>& rows) {
  for (int row = 0; row < table.GetRowCount(); ++row) {
    const auto text = [&](const char* a, const char* b, const std::string& otherwise = {}) -> nlohmann::json {
      const std::string value = Field(table, row, a, b);
      if (value.empty()) return otherwise.empty() ? nlohmann::json() : nlohmann::json(otherwise);
      return IsoDateTime(value);
    };
    rows.push_back({page, text("ID", "id"), text("NewsDate", "date"), text("Title", "title"),
                    text("Source", "sitename"), text("Tagcode", "tagcode", code)});
  }
}

std::string_view Outcome(TLuxMessageType type) {
  switch (type) {
    case LMTError:
      return "the service answered with an error, or with a reply that could not be read";
    case LMTTimeOut:
      return "the service did not answer in time";
    default:
      return "";
  }
}

// Why `column` answers no pages: it is no column, or one without page requests (DITGet).
void NoNewsColumn(Session& s, const std::string& column) {
  auto columns = host::Query<IKrLuxColumnList>(QueryPackageInterface<IKrLuxDataManager>("IKrLuxDataMgr"));
  if (columns) {
    for (const TLuxColumnInfo& c : columns->GetLuxColumns()) {
      if (!SameTextAscii(c.Sector, column)) continue;
      fmt::print(s.err,
                 "kdp-host: column {} ({}) is no news column: its requests are {}, and news pages need DITGet "
                 "(`kdp-host lux columns` shows each column's requests)\n",
                 c.Sector, c.DataProcessorName, fmt::join(c.RequestKinds, ","));
      return;
    }
  }
  fmt::print(s.err, "kdp-host: no news column {} (`kdp-host lux columns` lists them; news columns have DITGet)\n",
             column);
}

// Tables the helper delivered, with their notices: the pages asked for, or the pushes.
using Deliveries = std::vector<std::pair<std::shared_ptr<IKrLuxDataTable>, TNotifyInfo>>;

// Sets the code and the parameters given on the request. False, with a message, for an unknown code, a
// parameter that is not NAME=VALUE, or one the column needs that is still unset.
bool SetParameters(Session& s, const Options& o, IKrLuxDataReqInfo& info) {
  if (!o.code.empty()) {
    auto securities = SecurityManager(s);
    if (!securities || !IsKnownCode(s, *securities, o.code)) {
      fmt::print(s.err, "kdp-host: unknown security code {} (--code)\n", o.code);
      return false;
    }
  }
  if (!o.code.empty()) SetParameter(info, "koracode", o.code);
  for (const std::string& param : o.params) {
    const std::size_t eq = param.find('=');
    if (eq == std::string::npos || eq == 0) {
      fmt::print(s.err, "kdp-host: --param {} is not NAME=VALUE\n", param);
      return false;
    }
    SetParameter(info, param.substr(0, eq), param.substr(eq + 1));
  }
  // The parameters a widget fills in.
  for (int i = 0; i < info.GetIndexQuotaCount(); ++i) {
    if (info.GetIndexValueByOrder(i) != "$VARIABLE") continue;
    const std::string name = info.GetIndexByOrder(i);
    fmt::print(s.err, "kdp-host: column {} needs a value for {} ({})\n", o.column, name,
               SameTextAscii(name, "koracode") ? "--code" : "--param " + name + "=...");
    return false;
  }
  return true;
}

// Asks for the pages one after the other, each starting after the last item of the one before, and prints
// them, until a page brings nothing new. False, with a message, when a page is not answered.
bool PrintPages(Session& s, const Options& o, TKrLuxNewsHelper& helper, const ReqInfoPtr& info,
                const Deliveries& pages, Listing& items) {
  const bool tabular = s.format == OutputFormat::Table;
  std::set<std::string> seen;
  std::string lastID;
  for (int page = 1; page <= o.pages; ++page) {
    SetParameter(*info, "startid", page == 1 ? "0" : lastID);
    SetParameter(*info, "pageno", std::to_string(page));
    const std::size_t before = pages.size();
    // -1 while the manager holds the request back (the authority list has not arrived yet): it sends it
    // itself once it can, so the answer is awaited either way.
    helper.GetHisData(info);
    if (!s.host.Loop().RunUntil([&] { return pages.size() > before; }, kPageWait)) {
      fmt::print(s.err, "kdp-host: no answer for page {} within {} seconds\n", page, kPageWait.count());
      return false;
    }
    const auto& [table, notice] = pages.back();
    if (const std::string_view outcome = Outcome(notice.MessageType); !outcome.empty()) {
      fmt::print(s.err, "kdp-host: page {}: {} (see {})\n", page, outcome, s.host.Logger().FilePath());
      return false;
    }
    int fresh = 0;
    for (int row = 0; table && row < table->GetRowCount(); ++row)
      fresh += seen.insert(table->GetIndexValue(row, "ID")).second;
    if (!table || table->GetRowCount() == 0 || fresh == 0) {
      if (tabular) fmt::print(s.out, "{}\n", TextFormat(s, kNoMoreItems, page));
      break;
    }
    if (tabular) {
      fmt::print(s.out, "{}\n",
                 TextFormat(s, kPage, page, table->GetRowCount(), notice.LParam == 0 ? Text(s, kFromTheStore) : ""));
      PrintRows(s, *table, "");
    } else {
      AddItemRows(*table, page, o.code, items.rows);
    }
    lastID = table->GetIndexValue(table->GetRowCount() - 1, "ID");
  }
  return true;
}

// Keeps the column subscribed and prints pushed items as they arrive, until Ctrl-C or --seconds; the exit
// status. For scripts the items are a stream: the pages' first, then each pushed one as it arrives.
int Follow(Session& s, const Options& o, TKrLuxNewsHelper& helper, const Deliveries& pushes, const Listing& items) {
  if (!helper.IsAlreadySub(helper.GetLuxDataReqInfo(o.column, LDRTSub))) {
    fmt::print(s.err, "kdp-host: column {} pushes nothing (it has no subscription)\n", o.column);
    return 1;
  }
  std::optional<ListingStream> stream;
  if (s.format == OutputFormat::Table) {
    fmt::print(s.out, "{}\n", TextFormat(s, kFollowing, o.column));
    s.out.flush();
  } else {
    stream.emplace(s.out, s.terminal, kItemColumns, s.format);
    for (const auto& row : items.rows) stream->Write(row);
  }
  auto& loop = s.host.Loop();
  g_interrupted = false;
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  std::size_t printed = 0;
  const auto check = loop.SetTimer(100ms, [&] {
    if (g_interrupted) loop.Quit();
    for (; printed < pushes.size(); ++printed) {
      const auto& pushed = pushes[printed].first;
      if (!pushed) continue;
      if (!stream) {
        PrintRows(s, *pushed, "+ ");
        continue;
      }
      std::vector<std::vector<nlohmann::json>> rows;
      AddItemRows(*pushed, nullptr, o.code, rows);
      for (const auto& row : rows) stream->Write(row);
    }
    s.out.flush();
  });
  loop.Run(o.seconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(o.seconds))
                         : std::chrono::milliseconds::max());
  loop.KillTimer(check);
  std::signal(SIGINT, SIG_DFL);
  return 0;
}

int RunNews(Session& s, const Options& o) {
  TKrLuxNewsHelper helper;
  Deliveries pages, pushes;
  helper.SetDataNotify([&](const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) {
    (info.NotifyType == NTPush ? pushes : pages).emplace_back(table, info);
  });
  ReqInfoPtr info = helper.GetLuxDataReqInfo(o.column, LDRTGet);
  if (!info) {
    NoNewsColumn(s, o.column);
    return 1;
  }
  if (!SetParameters(s, o, *info)) return 1;
  // Under --format json|csv the items alone: no heading, no page lines.
  const bool tabular = s.format == OutputFormat::Table;
  if (tabular) fmt::print(s.out, "{}{}\n", o.column, o.code.empty() ? "" : " " + o.code);
  Listing items{kItemColumns, {}};
  if (!PrintPages(s, o, helper, info, pages, items)) return 1;
  if (o.follow) return Follow(s, o, helper, pushes, items);
  if (!tabular) WriteListing(s.out, s.terminal, items, s.format);
  return 0;
}

}  // namespace

void AddNewsCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<Options>();
  auto* news = app.add_subcommand("news", "a news column from the Lux service, page by page");
  news->footer(
      "Under --format json|csv: the items alone (page, id, date, title, source, code), dates ISO 8601; with "
      "--follow a stream, the pages' items first, then each pushed one (page null) as it arrives: JSON a line "
      "each (NDJSON), CSV a header row, then a record each.");
  news->add_option("COLUMN", options->column, "the column's sector name, e.g. NEWS_STOCK (see `lux columns`)")
      ->required();
  news->add_option("--code", options->code, "the security the column is for, e.g. 600000.SH");
  news->add_option("--param", options->params, "another parameter of the request, NAME=VALUE (repeatable)")
      ->allow_extra_args(false);
  news->add_option("--pages", options->pages, "how many pages to print, 1 to 1000")
      ->capture_default_str()
      ->check(CLI::Validator(
          [](const std::string& text) {
            const auto pages = host::ParseInt32(text);
            return pages && *pages >= 1 && *pages <= 1000 ? std::string()
                                                          : text + " is not a number of pages from 1 to 1000";
          },
          "1-1000"));
  news->add_flag("--follow", options->follow, "keep the column subscribed and print pushed items as they arrive");
  news->add_option("--seconds", options->seconds, "with --follow: stop after this many seconds (default: Ctrl-C)");
  news->callback([&chosen, options] { chosen = [options](Session& s) { return RunNews(s, *options); }; });
}

}  // namespace kdp::app
