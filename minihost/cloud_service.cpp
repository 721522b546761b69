#include "cloud_service.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include <fmt/format.h>
#include <zlib.h>
#include <nlohmann/json.hpp>

#include "kdp/host/date_time.h"
#include "kdp/host/number_text.h"
#include "text_files.h"

namespace kdp::minihost {
namespace {

std::uint32_t Hash(const std::string& text) {
  return static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

// Splits at the commas outside parentheses: "f(a,b),g(c)" -> "f(a,b)", "g(c)".
std::vector<std::string> SplitTopLevel(std::string_view text) {
  std::vector<std::string> parts;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || (text[i] == ',' && depth == 0)) {
      if (i > start) parts.emplace_back(text.substr(start, i - start));
      start = i + 1;
    } else if (text[i] == '(') {
      ++depth;
    } else if (text[i] == ')') {
      depth = std::max(0, depth - 1);
    }
  }
  return parts;
}

// The quoted arguments of a call "NAME('a','b',...)" when `command` is one (name compared in any case).
std::optional<std::vector<std::string>> CallArguments(const std::string& command, std::string_view name) {
  if (command.size() <= name.size() || UpperAscii(command.substr(0, name.size())) != UpperAscii(std::string(name)) ||
      command[name.size()] != '(')
    return std::nullopt;
  std::vector<std::string> arguments;
  std::size_t at = name.size() + 1;
  while (at < command.size() && command[at] == '\'') {
    const std::size_t close = command.find('\'', at + 1);
    if (close == std::string::npos) return std::nullopt;
    arguments.push_back(command.substr(at + 1, close - at - 1));
    at = close + 1;
    if (at < command.size() && command[at] == ',') ++at;
  }
  if (at >= command.size() || command[at] != ')') return std::nullopt;
  return arguments;
}

// "a=1 b=2" words into parameters; words without "=" are skipped.
void ReadWords(std::istringstream& words, std::map<std::string, std::string>& params) {
  std::string word;
  while (words >> word) {
    const std::size_t equals = word.find('=');
    if (equals != std::string::npos && equals > 0) params[word.substr(0, equals)] = word.substr(equals + 1);
  }
}

// The codes of the first parameter naming codes ("koraCode", "KoraCodes", ...).
std::vector<std::string> CodesOf(const std::map<std::string, std::string>& params) {
  for (const auto& [name, value] : params) {
    if (UpperAscii(name).find("KORACODE") != std::string::npos && !value.empty()) return SplitFields(value);
  }
  return {};
}

std::optional<std::vector<std::string>> ParseIDs(const std::string& list) {
  std::vector<std::string> ids;
  for (const std::string& part : SplitFields(list)) {
    const std::size_t dash = part.find('-');
    const auto first = host::ParseInt32(part.substr(0, dash));
    const auto last = dash == std::string::npos ? first : host::ParseInt32(part.substr(dash + 1));
    if (!first || !last || *last < *first || *last - *first > 10000) return std::nullopt;
    for (int id = *first; id <= *last; ++id) ids.push_back(std::to_string(id));
  }
  return ids;
}

// `end` and the weekdays before it, `count` in all, newest first.
std::vector<int> WeekdaysBack(int end, int count) {
  std::vector<int> days;
  auto date = host::DateTime::FromYyyymmdd(end);
  if (!date) return days;
  for (host::DateTime d = *date; static_cast<int>(days.size()) < count; d = d.AddDays(-1)) {
    if (d.DayOfWeek() != 1 && d.DayOfWeek() != 7) days.push_back(d.Yyyymmdd());
  }
  return days;
}

}  // namespace

std::string SimCloudService::IndicatorValue(const std::string& code, const std::string& indicator, int day) {
  const std::uint32_t h = Hash(fmt::format("{}|{}|{}", code, indicator, day));
  const double value = (static_cast<double>(h % 2000000) - 1000000.0) / 100.0;
  return fmt::format("{:.2f}", value);
}

bool SimCloudService::Load(const std::string& path, std::string& error) {
  return LoadTextFile(path, "cloud service", error,
                      [&](const std::string& text, std::string& e) { return LoadText(text, e); });
}

bool SimCloudService::LoadText(const std::string& json, std::string& error) {
  std::map<std::string, std::vector<std::string>> indicators;
  std::map<std::string, GeneratedReport> generated;
  std::vector<std::string> denied;
  std::map<std::string, std::string> http;
  static const std::map<std::string, ValueKind> kKinds = {{"code", ValueKind::kCode},
                                                          {"date", ValueKind::kDate},
                                                          {"number", ValueKind::kNumber},
                                                          {"text", ValueKind::kText}};
  try {
    const nlohmann::json j = nlohmann::json::parse(json);
    for (const auto& [name, list] : j.at("indicatorReports").items()) {
      auto ids = ParseIDs(list.get<std::string>());
      if (!ids) {
        error = fmt::format("indicator report {}: bad field ID list \"{}\"", name, list.get<std::string>());
        return false;
      }
      indicators.emplace(name, std::move(*ids));
    }
    denied = j.value("deniedCodes", std::vector<std::string>{});
    const nlohmann::json reports = j.value("generatedReports", nlohmann::json::object());
    for (const auto& [name, description] : reports.items()) {
      GeneratedReport report;
      for (const auto& column : description.at("columns")) {
        const auto kind = kKinds.find(column.at("value").get<std::string>());
        if (kind == kKinds.end()) {
          error = fmt::format("generated report {}: unknown value kind \"{}\"", name, column.at("value").dump());
          return false;
        }
        GeneratedColumn generated{column.at("name").get<std::string>(), kind->second,
                                  column.value("of", std::vector<std::string>{})};
        if (!generated.choices.empty() && kind->second != ValueKind::kText) {
          error = fmt::format("generated report {}: only a text column takes its values \"of\" a list", name);
          return false;
        }
        const auto range = column.value("range", std::vector<double>{0, 100});
        if (range.size() != 2 || !(range[0] < range[1])) {
          error = fmt::format("generated report {}: \"range\" of {} must be [low, high] with low < high", name,
                              generated.name);
          return false;
        }
        generated.low = range[0];
        generated.high = range[1];
        if (const std::string above = column.value("above", std::string()); !above.empty()) {
          const auto earlier = std::ranges::find_if(report.columns, [&](const GeneratedColumn& c) {
            return c.name == above && c.kind == ValueKind::kNumber;
          });
          if (earlier == report.columns.end()) {
            error = fmt::format("generated report {}: {} is \"above\" {}, which is no earlier number column", name,
                                generated.name, above);
            return false;
          }
          generated.above = static_cast<int>(earlier - report.columns.begin());
        }
        report.columns.push_back(std::move(generated));
      }
      report.rowsPerCode = std::clamp(description.value("rowsPerCode", 1), 1, 1000);
      report.codes = description.value("codes", std::vector<std::string>{});
      generated.emplace(name, std::move(report));
    }
    http = j.value("httpReports", std::map<std::string, std::string>{});
    for (const auto& [path, report] : http) {
      if (!generated.contains(report)) {
        error = fmt::format("HTTP report {}: no generated report named {}", path, report);
        return false;
      }
    }
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return false;
  }
  indicator_reports_ = std::move(indicators);
  denied_codes_ = std::move(denied);
  generated_reports_ = std::move(generated);
  http_reports_ = std::move(http);
  return true;
}

std::optional<host::MemoryStream> SimCloudService::AnswerHttp(const std::string& path, int day) const {
  const auto report = http_reports_.find(path.substr(0, path.find('?')));
  if (report == http_reports_.end()) return std::nullopt;
  return GeneratedRows(report->second, generated_reports_.at(report->second), {}, day);
}

std::optional<host::MemoryStream> SimCloudService::Answer(const std::string& command, int day) const {
  if (auto kss = CallArguments(command, "KSS"); kss && kss->size() >= 2)
    return IndicatorRows("KSS", SplitFields((*kss)[0]), SplitTopLevel((*kss)[1]), day);
  for (const char* call : {"ksv", "KSD"}) {
    auto arguments = CallArguments(command.substr(0, command.rfind(')') + 1), call);
    if (!arguments || arguments->empty()) continue;
    const auto report = generated_reports_.find((*arguments)[0]);
    if (report == generated_reports_.end()) return std::nullopt;
    std::map<std::string, std::string> params;
    for (std::size_t i = 1; i < arguments->size(); ++i) {
      std::istringstream words((*arguments)[i]);
      ReadWords(words, params);
    }
    return GeneratedRows(report->first, report->second, params, day);
  }
  std::istringstream words(command);
  std::string first;
  words >> first;
  std::map<std::string, std::string> params;
  std::string functions;
  if (first == "Matrix2" && (words >> functions) && functions.starts_with("functions=")) {
    std::vector<std::string> asked;
    const std::string list = functions.substr(std::string_view("functions=").size());
    for (std::size_t start = 0; start <= list.size();) {
      const std::size_t semicolon = std::min(list.find(';', start), list.size());
      if (semicolon > start) asked.push_back(list.substr(start, semicolon - start));
      start = semicolon + 1;
    }
    ReadWords(words, params);
    return IndicatorRows("Matrix2", CodesOf(params), asked, day);
  }
  if (UpperAscii(first) != "REPORT") return std::nullopt;
  ReadWords(words, params);
  const std::string name = params["name"];
  if (const auto ids = indicator_reports_.find(name); ids != indicator_reports_.end())
    return IndicatorRows(name, CodesOf(params), ids->second, day);
  if (const auto report = generated_reports_.find(name); report != generated_reports_.end())
    return GeneratedRows(name, report->second, params, day);
  return std::nullopt;
}

host::MemoryStream SimCloudService::IndicatorRows(const std::string& name, const std::vector<std::string>& codes,
                                                  const std::vector<std::string>& indicators, int day) const {
  host::TKUDSWriter writer(name);
  writer.AddColumn("KoraCode", host::TKUDSColumnType::kString);
  writer.AddColumn("IndexName", host::TKUDSColumnType::kString);
  writer.AddColumn("IndexValue", host::TKUDSColumnType::kString);
  writer.AddColumn("Authorized", host::TKUDSColumnType::kInt32);
  for (const std::string& code : codes) {
    const std::int32_t authorized = std::ranges::find(denied_codes_, code) == denied_codes_.end() ? 1 : 0;
    for (const std::string& indicator : indicators)
      writer.AddRecord({code, indicator, IndicatorValue(code, indicator, day), authorized});
  }
  return writer.Finish();
}

host::MemoryStream SimCloudService::GeneratedRows(const std::string& name, const GeneratedReport& report,
                                                  const std::map<std::string, std::string>& params, int day) const {
  host::TKUDSWriter writer(name);
  for (const auto& column : report.columns) {
    writer.AddColumn(column.name, column.kind == ValueKind::kNumber ? host::TKUDSColumnType::kDouble
                                  : column.kind == ValueKind::kDate ? host::TKUDSColumnType::kInt32
                                                                    : host::TKUDSColumnType::kString);
  }
  std::vector<std::string> codes = CodesOf(params);
  if (codes.empty()) codes = report.codes;
  const auto end = params.find("endDate");
  const auto endDate = end == params.end() ? std::nullopt : host::ParseInt32(end->second);
  const std::vector<int> dates = WeekdaysBack(endDate.value_or(day), report.rowsPerCode);
  for (const std::string& code : codes) {
    for (std::size_t row = 0; row < dates.size(); ++row) {
      std::vector<host::TKUDSValue> values;
      std::vector<double> numbers;  // per column, for the columns above another
      for (const auto& column : report.columns) {
        const std::uint32_t h = Hash(fmt::format("{}|{}|{}|{}", code, column.name, dates[row], day));
        numbers.push_back(0.0);
        switch (column.kind) {
          case ValueKind::kCode:
            values.emplace_back(code);
            break;
          case ValueKind::kDate:
            values.emplace_back(std::int32_t{dates[row]});
            break;
          case ValueKind::kNumber: {
            const double part = column.low + (column.high - column.low) * static_cast<double>(h % 1000000) / 1e6;
            const double base = column.above >= 0 ? numbers[static_cast<std::size_t>(column.above)] : 0.0;
            numbers.back() = std::round((base + part) * 10000.0) / 10000.0;
            values.emplace_back(numbers.back());
            break;
          }
          case ValueKind::kText:
            values.emplace_back(column.choices.empty() ? fmt::format("样本{:03}", h % 1000)
                                                       : column.choices[row % column.choices.size()]);
            break;
        }
      }
      writer.AddRecord(values);
    }
  }
  return writer.Finish();
}

}  // namespace kdp::minihost
