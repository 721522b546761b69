// kdp-host cloud report NAME [PARAM=VALUE...]
// Fires a configured cloud report (CloudReportConfig.xml) through the package's cloud data manager, with
// the parameters given set on the request (only those the report takes), waits for its reply to be
// cached, and prints the cached rows of this request: those of its codes when it names codes. With
// --analysis ANALYSIS the rows are shown through that report analysis instead.
#include <algorithm>
#include <chrono>
#include <optional>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kdp/cache_database.h"
#include "kdp/cloud/cloud_data.h"
#include "kdp/host/number_text.h"
#include "kdp/host/sqlite.h"
#include "kdp/package.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

constexpr auto kReplyWait = 15s;
constexpr int kMaxColumnWidth = 24;

constexpr Texts kThroughAnalysis{"{} 经 {} 分析：{} 行", "{} 經 {} 分析：{} 行", "{} through {}: {} rows"};
constexpr Texts kTableRows{"{} ({})：{} 行", "{} ({})：{} 行", "{} ({}): {} rows"};

// A parameter naming codes: "koraCode", "KoraCodes".
bool IsCodeParam(const std::string& name) { return ToUpperAscii(name).starts_with("KORACODE"); }

bool IsDateColumn(const std::vector<std::string>& header, int column) {
  return column < static_cast<int>(header.size()) &&
         ToUpperAscii(header[static_cast<std::size_t>(column)]).ends_with("DATE");
}

// A cell as text; a date column's yyyymmdd as human output writes dates.
std::string Cell(ICloudDataItem& table, const std::vector<std::string>& header, int row, int column) {
  std::string text = table.ValueAsString(row, column);
  if (IsDateColumn(header, column) && text.size() == 8) {
    if (const auto day = host::ParseInt32(text)) return DateText(*day);
  }
  return text;
}

// A column's key for scripts: the code column "code", others in snake case.
std::string ColumnKey(const std::string& name) { return SameTextAscii(name, "KoraCode") ? "code" : SnakeCase(name); }

// The cached rows for scripts: numbers as numbers, dates ISO 8601.
Listing TableListing(ICloudDataItem& table, const std::vector<std::string>& header) {
  Listing listing;
  for (const std::string& name : header) listing.columns.push_back(ColumnKey(name));
  for (int r = 0; r < table.GetRowCounts(); ++r) {
    std::vector<nlohmann::json> row;
    for (int c = 0; c < table.GetColCounts(); ++c) {
      const std::string text = table.ValueAsString(r, c);
      row.push_back(IsDateColumn(header, c) && !text.empty() ? nlohmann::json(IsoDate(text)) : ScalarOf(text));
    }
    listing.rows.push_back(std::move(row));
  }
  return listing;
}

// An analysis's grid for scripts: its captions as the keys.
Listing AnalysisListing(ICloudReportAnalysis& analysis) {
  Listing listing;
  for (int c = 0; c < analysis.GetColCount(); ++c) listing.columns.push_back(ColumnKey(analysis.GetValue(0, c)));
  for (int r = 1; r < analysis.GetRowCount(); ++r) {
    std::vector<nlohmann::json> row;
    for (int c = 0; c < analysis.GetColCount(); ++c) row.push_back(ScalarOf(analysis.GetValue(r, c)));
    listing.rows.push_back(std::move(row));
  }
  return listing;
}

struct Options {
  std::string report;
  std::vector<std::string> params;
  std::string analysis;
};

// Prints a report analysis's grid (its row 0 the captions), each column as wide as its widest cell.
void PrintAnalysis(Session& s, const Options& o, ICloudReportAnalysis& analysis) {
  fmt::print(s.out, "{}\n", TextFormat(s, kThroughAnalysis, o.report, o.analysis, std::max(0, analysis.GetRowCount() - 1)));
  std::vector<int> widths(static_cast<std::size_t>(analysis.GetColCount()), 0);
  for (int r = 0; r < analysis.GetRowCount(); ++r)
    for (int c = 0; c < analysis.GetColCount(); ++c)
      widths[c] = std::min(kMaxColumnWidth, std::max(widths[c], static_cast<int>(analysis.GetValue(r, c).size())));
  for (int r = 0; r < analysis.GetRowCount(); ++r) {
    std::string line;
    for (int c = 0; c < analysis.GetColCount(); ++c) line += Pad(analysis.GetValue(r, c), widths[c], false) + "  ";
    fmt::print(s.out, "{}\n", line);
  }
}

// The exit status (and what is said) when the package's cache database cannot take a report: another
// program holds it locked (1), or it cannot be read (2: an I/O error, a file in the way). A report is
// written there, so it could only fail, and for reasons that would follow from these; 0 when it can, or
// when the file is damaged (the package keeps it aside and builds a new one when it opens it).
int CacheDataBaseUnusable(Session& s) {
  const std::string path = CacheDataBasePath();
  auto db = path.empty() ? nullptr : host::OpenDB(path);
  if (!db || db->BeginTransaction()) {
    if (db) db->Rollback();
    return 0;
  }
  if (db->IsDamaged()) return 0;
  if (db->IsBusy()) {
    fmt::print(s.err, "kdp-host: cache database busy: {} is locked by another program; try again when it is done\n",
               path);
    return 1;
  }
  fmt::print(s.err, "kdp-host: the cache database {} cannot be used: {}\n", path, db->GetLastError());
  return 2;
}

// Sets the parameters given on the request item. A report takes the parameters it names, and a code when
// its table is about securities (`aboutCodes`). False, with a message, for a parameter it does not take.
bool SetParams(Session& s, const Options& o, ICloudDataRequest& request, IRequestItem& item, bool& aboutCodes) {
  std::vector<std::string> accepted;
  for (const auto& [name, value] : item.GetRequestParams()) accepted.push_back(name);
  aboutCodes = std::ranges::any_of(SplitString(request.GetFields(), ','),
                                   [](const std::string& f) { return SameTextAscii(f, "KoraCode"); });
  if (aboutCodes && std::ranges::none_of(accepted, IsCodeParam)) accepted.emplace_back("KoraCode");
  for (const std::string& param : o.params) {
    const auto equals = param.find('=');
    const std::string name = param.substr(0, equals), value = param.substr(equals + 1);
    const auto known = std::ranges::find_if(accepted, [&](const std::string& a) { return SameTextAscii(a, name); });
    if (known == accepted.end()) {
      fmt::print(s.err, "kdp-host: cloud report {} has no parameter {}; it takes: {}\n", o.report, name,
                 accepted.empty() ? std::string("none") : fmt::format("{}", fmt::join(accepted, " ")));
      return false;
    }
    item.SetRequestParam(*known, value);
  }
  return true;
}

// The codes the request asks about, whose rows are its own; nullopt, with a message, for an unknown code.
std::optional<std::vector<std::string>> RequestedCodes(Session& s, IRequestItem& item) {
  std::vector<std::string> codes;
  auto securities = SecurityManager(s);
  for (const auto& [name, value] : item.GetRequestParams()) {
    if (!IsCodeParam(name)) continue;
    for (const std::string& code : SplitString(value, ',')) {
      if (code.empty()) continue;
      if (!securities || !IsKnownCode(s, *securities, code)) {
        fmt::print(s.err, "kdp-host: unknown security code {} ({}={})\n", code, name, value);
        return std::nullopt;
      }
      codes.push_back(code);
    }
  }
  return codes;
}

// Prints the report's cached rows, those of `codes` only when the report is about codes and some were
// asked for; each column as wide as its widest cell. The exit status.
int PrintCachedTable(Session& s, const Options& o, ICloudDataMgr& manager, bool aboutCodes,
                     const std::vector<std::string>& codes) {
  auto table = manager.GetCloudDataItem(o.report);
  bool prepared = false;
  if (table && aboutCodes && !codes.empty()) {
    // The cache keeps the rows of earlier requests too; this request's are those of its codes.
    std::vector<host::SqlValue> values(codes.begin(), codes.end());
    const std::vector<std::string> marks(codes.size(), "?");
    prepared = table->PrepareData(
        fmt::format("SELECT * FROM {} WHERE KORACODE IN ({})", table->GetTableName(), fmt::join(marks, ",")), values);
  } else if (table) {
    prepared = table->PrepareData();
  }
  if (!prepared) {
    fmt::print(s.err, "kdp-host: the cached table of {} cannot be read\n", o.report);
    return 1;
  }
  const std::vector<std::string> header = SplitString(table->GetFields(), ',');
  if (s.format != OutputFormat::Table) {
    WriteListing(s.out, s.terminal, TableListing(*table, header), s.format);
    return 0;
  }
  std::vector<int> widths;
  for (const std::string& name : header) widths.push_back(static_cast<int>(name.size()));
  for (int r = 0; r < table->GetRowCounts(); ++r)
    for (int c = 0; c < table->GetColCounts(); ++c)
      widths[c] = std::min(kMaxColumnWidth, std::max(widths[c], static_cast<int>(Cell(*table, header, r, c).size())));
  fmt::print(s.out, "{}\n", TextFormat(s, kTableRows, o.report, table->GetTableName(), table->GetRowCounts()));
  std::string line;
  for (std::size_t c = 0; c < header.size(); ++c) line += Pad(header[c], widths[c], false) + "  ";
  fmt::print(s.out, "{}\n", line);
  for (int r = 0; r < table->GetRowCounts(); ++r) {
    line.clear();
    for (int c = 0; c < table->GetColCounts(); ++c) line += Pad(Cell(*table, header, r, c), widths[c], false) + "  ";
    fmt::print(s.out, "{}\n", line);
  }
  return 0;
}

int Report(Session& s, const Options& o) {
  if (const int status = CacheDataBaseUnusable(s); status != 0) return status;
  auto manager = QueryPackageInterface<ICloudDataMgr>("ICloudDataMgr");
  if (!manager) {
    fmt::print(s.err, "kdp-host: the package publishes no ICloudDataMgr\n");
    return 1;
  }
  auto request = manager->GetCloudDataRequest(o.report);
  if (!request) {
    fmt::print(s.err, "kdp-host: no cloud report named {} (see CloudReportConfig.xml)\n", o.report);
    return 1;
  }
  bool done = false, success = false;
  std::string message;
  request->SetOnCloudDataUpdate([&](bool ok, int, const std::string& why) {
    done = true;
    success = ok;
    message = why;
  });
  auto item = request->GetRequestItem();
  if (!o.analysis.empty()) {
    item->SetReportAnalysis(manager->GetReportAnalysis(o.analysis));
    if (!item->GetReportAnalysis()) {
      fmt::print(s.err, "kdp-host: no report analysis named {}\n", o.analysis);
      return 1;
    }
  }
  bool aboutCodes = false;
  if (!SetParams(s, o, *request, *item, aboutCodes)) return 1;
  const auto codes = RequestedCodes(s, *item);
  if (!codes) return 1;
  if (item->FireRequest() < 0) {
    fmt::print(s.err, "kdp-host: cloud report {} was not sent (see the log)\n", o.report);
    return 1;
  }
  if (!s.host.Loop().RunUntil([&] { return done; }, kReplyWait)) {
    fmt::print(s.err, "kdp-host: no reply to cloud report {} within {} seconds\n", o.report, kReplyWait.count());
    return 1;
  }
  if (!success) {
    fmt::print(s.err, "kdp-host: cloud report {} failed: {} (the cached table is unchanged)\n", o.report, message);
    return 1;
  }
  if (const auto analysis = item->GetReportAnalysis()) {
    if (s.format == OutputFormat::Table) {
      PrintAnalysis(s, o, *analysis);
    } else {
      WriteListing(s.out, s.terminal, AnalysisListing(*analysis), s.format);
    }
    return 0;
  }
  return PrintCachedTable(s, o, *manager, aboutCodes, *codes);
}

}  // namespace

void AddCloudCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<Options>();
  auto* cloud = app.add_subcommand("cloud", "cloud reports: fire one and show its cached table");
  cloud->require_subcommand(1);
  auto* report = cloud->add_subcommand("report", "fire a configured report and print its cached table");
  report->footer(
      "Under --format json|csv: the rows alone, keyed by their columns in snake case (KORACODE as code), "
      "numbers as numbers, dates ISO 8601.");
  report->add_option("NAME", options->report, "the report's name in CloudReportConfig.xml")->required();
  report->add_option("PARAMS", options->params, "PARAM=VALUE, set on the request")
      ->check(CLI::Validator(
          [](const std::string& text) {
            return text.find('=') == std::string::npos || text.front() == '=' ? "expected PARAM=VALUE" : "";
          },
          "PARAM=VALUE"));
  report->add_option("--analysis", options->analysis,
                     "show the rows through a report analysis (Analysis_BondWeekReport, "
                     "Analysis_MasterFundReport, Analysis_IMMBONDReport, Analysis_InterrelateReport)");
  report->callback([&chosen, options] { chosen = [options](Session& s) { return Report(s, *options); }; });
}

}  // namespace kdp::app
