// SampleReportData: the stand-in host's report data ("Host/Reports/Reports.json" and the CSV files it
// names), from which the host answers report commands such as
//   report name=Misc.TradeDateList koraCodes= marketCodes=SSE startDate=20240101 endDate=20240131
// with a report stream of the rows the parameters select, in file order.
//
// A report lists its columns with their types and its filters: a filter ties a command parameter to a
// column and selects rows whose value is "in" the parameter's comma-separated list (any case), or lies
// "from" or "to" the parameter's value (numbers compare as numbers, texts as texts). A parameter that is
// missing or empty selects nothing away.
//
// Read-only after loading, so any thread may ask (the Lux client answers on its own).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kdp/host/kuds.h"

namespace kdp::minihost {

// The parameters of "report name=X a=1 b=": {"name": "X", "a": "1", "b": ""}; words without "=" are
// skipped. nullopt when the command does not start with the word "report".
std::optional<std::map<std::string, std::string>> ParseReportCommand(const std::string& command);

class SampleReportData {
 public:
  // The result codes of the streams of commands that are not answered with rows.
  static constexpr std::int32_t kNotAReportCommand = 1;
  static constexpr std::int32_t kUnknownReport = 2;
  static constexpr std::int32_t kBadParameter = 3;

  // Loads the description and every data file. False, with `error` naming the file and line, when one is
  // malformed or a value does not read as its column's type.
  bool Load(const std::string& path, std::string& error);
  bool LoadText(const std::string& json, const std::string& directory, std::string& error);

  // The report stream answering `command` (rewound): the selected rows with result 0, or, for a command
  // that is not a report command, names no report or carries a bound that does not read as its column's
  // type, a stream without a report whose result says which. `answered` tells the two apart.
  host::MemoryStream Answer(const std::string& command, bool& answered) const;

  std::size_t ReportCount() const { return reports_.size(); }

 private:
  enum class Match { kIn, kFrom, kTo };
  struct Filter {
    std::string parameter;
    std::size_t column;
    Match match;
  };
  struct Report {
    std::vector<host::TKUDSColumn> columns;
    std::vector<Filter> filters;
    std::vector<std::vector<host::TKUDSValue>> rows;
  };

  std::map<std::string, Report> reports_;  // by name, exact
};

}  // namespace kdp::minihost
