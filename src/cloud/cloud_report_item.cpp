#include "cloud/cloud_report_item.h"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "core/host_lookups.h"
#include "core/string_catalog.h"
#include "kdp/host/log.h"
#include "kdp/host/serializer.h"
#include "transport/http_downloader.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrCloudReportItem";
// The catalogue's "cannot find the cloud data server" text.
constexpr int kNoCloudServerTextID = 140101;

bool IsEnglish(const TCloudRequestContext& context) { return context.language == kEnglishEditionLanguage; }

// The position of the first `needle` in `text` ignoring ASCII case; npos when none.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
  if (needle.empty() || needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i)
    if (SameTextAscii(text.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// rtLux: the body with the first "$name" of each parameter replaced by its value, then "$tradeDate".
std::string LuxRequestText(const TKrCloudReportItem& item, const TCloudRequestContext& context) {
  std::string text = item.Command;
  auto replaceFirst = [&text](std::string_view word, const std::string& value) {
    const auto at = FindNoCase(text, word);
    if (at != std::string::npos) text.replace(at, word.size(), value);
  };
  for (const auto& p : item.Params.Items()) replaceFirst("$" + p.Name, p.Value);
  replaceFirst("$tradeDate", std::to_string(context.calendar.LocalDate()));
  return text;
}

// rtksv: "ksv(" command [, 'name=value' ...] [, 'lan=en'] ")".
std::string KsvRequestText(const TKrCloudReportItem& item, const TCloudRequestContext& context) {
  std::vector<std::string> options;
  for (const auto& p : item.Params.Items()) options.push_back(fmt::format("'{}={}'", p.Name, p.Value));
  if (IsEnglish(context)) options.emplace_back("'lan=en'");
  if (options.empty()) return fmt::format("ksv({})", item.Command);
  return fmt::format("ksv({},{})", item.Command, fmt::join(options, ","));
}

// rtKSD: each parameter's assignment already in the command keeps its place; its value, up to the next
// "'", becomes the parameter's value. A name must start a word ("date" does not match "startDate=").
std::string KsdRequestText(const TKrCloudReportItem& item) {
  std::string text = item.Command;
  for (const auto& p : item.Params.Items()) {
    const std::string assignment = p.Name + "=";
    for (auto at = FindNoCase(text, assignment); at != std::string::npos; at = FindNoCase(text, assignment, at + 1)) {
      if (at > 0 && IsNameChar(text[at - 1])) continue;
      const auto valueStart = at + assignment.size();
      const auto valueEnd = std::min(text.find('\'', valueStart), text.size());
      text.replace(valueStart, valueEnd - valueStart, p.Value);
      break;
    }
  }
  return text;
}

// rtKudsReportLux and the rest: command, " name=value" per parameter, then " lan=en". An rtPR report
// configures no command, so the PR service is told the report by its name.
std::string PlainRequestText(const TKrCloudReportItem& item, const TCloudRequestContext& context) {
  std::string text =
      item.ReportType == TCloudReportType::rtPR && item.Command.empty() ? "report name=" + item.Name : item.Command;
  for (const auto& p : item.Params.Items()) text += fmt::format(" {}={}", p.Name, p.Value);
  if (IsEnglish(context)) text += " lan=en";
  return text;
}

}  // namespace

TCloudReportType CloudReportTypeFromText(std::string_view text) {
  static constexpr std::pair<std::string_view, TCloudReportType> kTypes[] = {
      {"rtB1", TCloudReportType::rtB1},   {"rtLux", TCloudReportType::rtLux},
      {"rtksv", TCloudReportType::rtksv}, {"rtKudsReportLux", TCloudReportType::rtKudsReportLux},
      {"rtKSD", TCloudReportType::rtKSD}, {"rtPR", TCloudReportType::rtPR}};
  for (const auto& [name, type] : kTypes)
    if (name == text) return type;
  return TCloudReportType::rtNone;
}

bool IsPlainSqlName(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front()))) return false;
  return std::ranges::all_of(name, [](char c) { return c >= 0 && IsNameChar(c); });
}

std::string TKrCloudReportItem::GetRequestCmd(const TCloudRequestContext& context) const {
  switch (ReportType) {
    case TCloudReportType::rtLux:
      return LuxRequestText(*this, context);
    case TCloudReportType::rtksv:
      return KsvRequestText(*this, context);
    case TCloudReportType::rtKSD:
      return KsdRequestText(*this);
    default:
      return PlainRequestText(*this, context);
  }
}

void TKrCloudReportItem::GetPostStream(host::MemoryStream& stream, const TCloudRequestContext& context) const {
  stream.Clear();
  host::TStreamSerializer out(stream);
  out.WriteAnsiString(GetRequestCmd(context));
  stream.SetPosition(0);
}

bool TKrCloudReportItem::GetServerInfo(std::string& host, int& port, std::string& message) const {
  const std::string address = G_GetServerAddressByAlias(ServerAlia);
  if (address.empty()) {
    message = GetLanguageStrDef(kNoCloudServerTextID, "找不到cloud数据服务器!");
    return false;
  }
  SplitServerPort(address, host, port);
  return true;
}

bool TKrCloudReportItem::CreateReportTable(host::ISqliteDataBase& database) {
  if (Table.Created) return true;
  host::AddHQLog("start CreateReportTable", kLogSource);
  std::lock_guard<std::mutex> lock(*Table.Lock);
  std::string sql;
  // A table another version made with other columns is dropped too: the cache is made again.
  if (Table.bDrop || !host::TableFitsColumns(database, Table.Name, Table.Fields)) {
    sql += fmt::format("DROP TABLE IF EXISTS {};", Table.Name);
  }
  sql += fmt::format("CREATE TABLE IF NOT EXISTS {} ({}{});", Table.Name,
                     ToUpperAscii(fmt::format("{}", fmt::join(Table.Fields, ","))),
                     Table.MainKey.empty() ? "" : "," + Table.MainKey);
  for (const auto& index : Table.Indexs)
    sql += fmt::format("Create index if not exists idx_{0}_{1} on {0}({1});", Table.Name, index);
  if (!database.ExecSQL(sql)) {
    host::AddHQLog(fmt::format("CreateReportTable {} failed: {}", Table.Name, database.GetLastError()), kLogSource,
                   host::LogSeverity::kWarning);
    return false;
  }
  Table.Created = true;
  host::AddHQLog("end CreateReportTable", kLogSource);
  return true;
}

std::string TKrCloudReportItem::GetInsertQuery() const {
  std::vector<std::string> params;
  params.reserve(Table.Fields.size());
  for (const auto& field : Table.Fields) params.push_back("$" + field);
  return fmt::format("INSERT OR REPLACE INTO {} VALUES({});", Table.Name, fmt::join(params, ","));
}

}  // namespace kdp
