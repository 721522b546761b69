#include "report_data.h"

#include <filesystem>
#include <set>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "kdp/host/number_text.h"
#include "text_files.h"

namespace kdp::minihost {
namespace {

std::optional<host::TKUDSColumnType> ColumnType(const std::string& name) {
  if (name == "string") return host::TKUDSColumnType::kString;
  if (name == "int32") return host::TKUDSColumnType::kInt32;
  if (name == "int64") return host::TKUDSColumnType::kInt64;
  if (name == "double") return host::TKUDSColumnType::kDouble;
  return std::nullopt;
}

// A CSV field as a value of the column's type; an empty field is an empty cell.
std::optional<host::TKUDSValue> ReadCell(const std::string& text, host::TKUDSColumnType type) {
  if (text.empty()) return host::TKUDSValue();
  switch (type) {
    case host::TKUDSColumnType::kString:
      return host::TKUDSValue(text);
    case host::TKUDSColumnType::kInt32:
      if (auto v = host::ParseInt32(text)) return host::TKUDSValue(std::int32_t{*v});
      return std::nullopt;
    case host::TKUDSColumnType::kInt64:
      if (auto v = host::ParseInt64(text)) return host::TKUDSValue(std::int64_t{*v});
      return std::nullopt;
    case host::TKUDSColumnType::kDouble:
      if (auto v = host::ParseDouble(text)) return host::TKUDSValue(*v);
      return std::nullopt;
  }
  return std::nullopt;
}

// A number cell as a double; nullopt for an empty or text cell.
std::optional<double> NumberOf(const host::TKUDSValue& value) {
  if (const auto* v = std::get_if<std::int32_t>(&value)) return *v;
  if (const auto* v = std::get_if<std::int64_t>(&value)) return static_cast<double>(*v);
  if (const auto* v = std::get_if<double>(&value)) return *v;
  return std::nullopt;
}

std::string TextOf(const host::TKUDSValue& value) {
  if (const auto* v = std::get_if<std::string>(&value)) return *v;
  if (const auto* v = std::get_if<std::int32_t>(&value)) return std::to_string(*v);
  if (const auto* v = std::get_if<std::int64_t>(&value)) return std::to_string(*v);
  if (const auto* v = std::get_if<double>(&value)) return fmt::format("{}", *v);
  return {};
}

}  // namespace

std::optional<std::map<std::string, std::string>> ParseReportCommand(const std::string& command) {
  std::istringstream words(command);
  std::string word;
  if (!(words >> word) || UpperAscii(word) != "REPORT") return std::nullopt;
  std::map<std::string, std::string> parameters;
  while (words >> word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    parameters[word.substr(0, equals)] = word.substr(equals + 1);
  }
  return parameters;
}

bool SampleReportData::Load(const std::string& path, std::string& error) {
  const std::string directory = std::filesystem::path(path).parent_path().string();
  return LoadTextFile(path, "report data", error,
                      [&](const std::string& text, std::string& e) { return LoadText(text, directory, e); });
}

bool SampleReportData::LoadText(const std::string& json, const std::string& directory, std::string& error) {
  std::map<std::string, Report> reports;
  try {
    const nlohmann::json j = nlohmann::json::parse(json);
    for (const auto& [name, description] : j.at("reports").items()) {
      Report report;
      for (const auto& column : description.at("columns")) {
        const auto type = ColumnType(column.at("type").get<std::string>());
        if (!type) {
          error = fmt::format("report {}: unknown column type \"{}\"", name, column.at("type").get<std::string>());
          return false;
        }
        report.columns.push_back({column.at("name").get<std::string>(), *type});
      }
      for (const auto& filter : description.value("filters", nlohmann::json::array())) {
        const std::string column = filter.at("column").get<std::string>();
        const std::string match = filter.at("match").get<std::string>();
        std::size_t index = 0;
        while (index < report.columns.size() && report.columns[index].name != column) ++index;
        const std::map<std::string, Match> kinds = {{"in", Match::kIn}, {"from", Match::kFrom}, {"to", Match::kTo}};
        const auto kind = kinds.find(match);
        if (index == report.columns.size() || kind == kinds.end()) {
          error = fmt::format("report {}: bad filter on column \"{}\" ({})", name, column, match);
          return false;
        }
        report.filters.push_back({filter.at("parameter").get<std::string>(), index, kind->second});
      }

      const std::string file = (std::filesystem::path(directory) / description.at("file").get<std::string>()).string();
      std::string text;
      if (!ReadTextFile(file, "report data", text, error)) return false;
      std::istringstream lines(text);
      std::string line;
      std::size_t lineNumber = 0;
      while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> fields = SplitFields(line);
        if (lineNumber == 1) {
          bool header = fields.size() == report.columns.size();
          for (std::size_t i = 0; header && i < fields.size(); ++i) header = fields[i] == report.columns[i].name;
          if (!header) {
            error = fmt::format("{}:1: the header does not name the columns of report {}", file, name);
            return false;
          }
          continue;
        }
        if (line.empty()) continue;
        if (fields.size() != report.columns.size()) {
          error =
              fmt::format("{}:{}: {} fields for {} columns", file, lineNumber, fields.size(), report.columns.size());
          return false;
        }
        std::vector<host::TKUDSValue> row;
        for (std::size_t i = 0; i < fields.size(); ++i) {
          auto cell = ReadCell(fields[i], report.columns[i].type);
          if (!cell) {
            error = fmt::format("{}:{}: \"{}\" is not a value of column {}", file, lineNumber, fields[i],
                                report.columns[i].name);
            return false;
          }
          row.push_back(std::move(*cell));
        }
        report.rows.push_back(std::move(row));
      }
      reports.emplace(name, std::move(report));
    }
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return false;
  }
  reports_ = std::move(reports);
  return true;
}

host::MemoryStream SampleReportData::Answer(const std::string& command, bool& answered) const {
  answered = false;
  const auto parameters = ParseReportCommand(command);
  if (!parameters) return host::TKUDSWriter::WithoutReport(kNotAReportCommand, "not a report command: " + command);
  const auto nameIt = parameters->find("name");
  const std::string name = nameIt == parameters->end() ? std::string() : nameIt->second;
  const auto reportIt = reports_.find(name);
  if (reportIt == reports_.end()) return host::TKUDSWriter::WithoutReport(kUnknownReport, "no report named " + name);
  const Report& report = reportIt->second;

  // What each filter selects: a set of upper-cased texts, or a bound.
  struct Selection {
    const Filter* filter;
    std::set<std::string> values;
    host::TKUDSValue bound;
  };
  std::vector<Selection> selections;
  for (const Filter& filter : report.filters) {
    const auto param = parameters->find(filter.parameter);
    if (param == parameters->end() || param->second.empty()) continue;
    Selection selection{&filter, {}, {}};
    if (filter.match == Match::kIn) {
      for (const std::string& value : SplitFields(param->second)) selection.values.insert(UpperAscii(value));
    } else if (report.columns[filter.column].type == host::TKUDSColumnType::kString) {
      selection.bound = param->second;
    } else if (auto number = host::ParseDouble(param->second)) {
      selection.bound = *number;
    } else {
      return host::TKUDSWriter::WithoutReport(
          kBadParameter, fmt::format("parameter {}={} is not a number", filter.parameter, param->second));
    }
    selections.push_back(std::move(selection));
  }
  auto selected = [&](const std::vector<host::TKUDSValue>& row) {
    for (const Selection& s : selections) {
      const host::TKUDSValue& cell = row[s.filter->column];
      if (cell.index() == 0) return false;
      if (s.filter->match == Match::kIn) {
        if (!s.values.contains(UpperAscii(TextOf(cell)))) return false;
        continue;
      }
      const bool text = std::holds_alternative<std::string>(s.bound);
      const int order = text ? TextOf(cell).compare(std::get<std::string>(s.bound))
                             : (*NumberOf(cell) < std::get<double>(s.bound)   ? -1
                                : *NumberOf(cell) > std::get<double>(s.bound) ? 1
                                                                              : 0);
      if ((s.filter->match == Match::kFrom && order < 0) || (s.filter->match == Match::kTo && order > 0)) return false;
    }
    return true;
  };

  host::TKUDSWriter writer(name);
  for (const host::TKUDSColumn& column : report.columns) writer.AddColumn(column.name, column.type);
  for (const auto& row : report.rows) {
    if (selected(row)) writer.AddRecord(row);
  }
  answered = true;
  return writer.Finish();
}

}  // namespace kdp::minihost
