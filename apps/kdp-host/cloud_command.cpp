// kdp-host cloud report NAME [PARAM=VALUE...]
// Fires a configured cloud report (CloudReportConfig.xml) through the package's cloud data manager, with
// the parameters given set on the request, waits for its reply to be cached, and prints the report's
// cached table.
#include <chrono>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/cache_database.h"
#include "kdp/cloud/cloud_data.h"
#include "kdp/host/sqlite.h"
#include "kdp/package.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

constexpr auto kReplyWait = 15s;
constexpr int kMaxColumnWidth = 24;

struct Options {
  std::string report;
  std::vector<std::string> params;
};

// True (and said) when another program holds the package's cache database locked: a report is written
// there, so it could only fail, and for reasons that would follow from the lock.
bool CacheDataBaseBusy(Session& s) {
  const std::string path = CacheDataBasePath();
  auto db = path.empty() ? nullptr : host::OpenDB(path);
  if (!db || db->BeginTransaction()) {
    if (db) db->Rollback();
    return false;
  }
  if (!db->IsBusy()) return false;
  fmt::print(s.err, "kdp-host: cache database busy: {} is locked by another program; try again when it is done\n",
             path);
  return true;
}

int Report(Session& s, const Options& o) {
  if (CacheDataBaseBusy(s)) return 1;
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
  for (const std::string& param : o.params) {
    const auto equals = param.find('=');
    item->SetRequestParam(param.substr(0, equals), param.substr(equals + 1));
  }
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
  auto table = manager->GetCloudDataItem(o.report);
  if (!table || !table->PrepareData()) {
    fmt::print(s.err, "kdp-host: the cached table of {} cannot be read\n", o.report);
    return 1;
  }
  const std::vector<std::string> header = SplitString(table->GetFields(), ',');
  std::vector<int> widths;
  for (const std::string& name : header) widths.push_back(static_cast<int>(name.size()));
  for (int r = 0; r < table->GetRowCounts(); ++r)
    for (int c = 0; c < table->GetColCounts(); ++c)
      widths[c] = std::min(kMaxColumnWidth, std::max(widths[c], static_cast<int>(table->ValueAsString(r, c).size())));
  fmt::print(s.out, "{} ({}): {} rows\n", o.report, table->GetTableName(), table->GetRowCounts());
  std::string line;
  for (std::size_t c = 0; c < header.size(); ++c) line += Pad(header[c], widths[c], false) + "  ";
  fmt::print(s.out, "{}\n", line);
  for (int r = 0; r < table->GetRowCounts(); ++r) {
    line.clear();
    for (int c = 0; c < table->GetColCounts(); ++c) line += Pad(table->ValueAsString(r, c), widths[c], false) + "  ";
    fmt::print(s.out, "{}\n", line);
  }
  return 0;
}

}  // namespace

void AddCloudCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<Options>();
  auto* cloud = app.add_subcommand("cloud", "cloud reports: fire one and show its cached table");
  cloud->require_subcommand(1);
  auto* report = cloud->add_subcommand("report", "fire a configured report and print its cached table");
  report->add_option("NAME", options->report, "the report's name in CloudReportConfig.xml")->required();
  report->add_option("PARAMS", options->params, "PARAM=VALUE, set on the request")
      ->check(CLI::Validator(
          [](const std::string& text) {
            return text.find('=') == std::string::npos || text.front() == '=' ? "expected PARAM=VALUE" : "";
          },
          "PARAM=VALUE"));
  report->callback([&chosen, options] { chosen = [options](Session& s) { return Report(s, *options); }; });
}

}  // namespace kdp::app
