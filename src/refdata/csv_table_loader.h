// Loading a reference table from its ".dat" file: records are read with TCsvFile (fields of at most 254
// characters), a record whose field count is not the table's is skipped, and a whole-number or required
// number field that does not parse (EConvertError) ends the load at that record. Every outcome that
// loses data is logged with the file name and line; the records read before stay loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/error.h"
#include "util/csv_file.h"

namespace kdp {

// Required fields: throw EConvertError ("'abc' is not a valid integer value") when the text is not one.
int StrToInt(std::string_view text);
std::int64_t StrToInt64(std::string_view text);
double StrToFloat(std::string_view text);
// Optional floating fields: 0 when the text is not a finite number.
double StrToFloatOrZero(std::string_view text);

struct CsvLoadResult {
  bool opened = false;      // false when the file is missing or unreadable (already logged)
  std::size_t loaded = 0;   // records handed to the call-back and accepted
  std::size_t skipped = 0;  // records with the wrong field count (blank lines are not counted)
  bool stopped = false;     // a conversion error ended the load
};

namespace detail {
// Book-keeping shared by every instantiation of LoadCsvTable.
void LogSkipped(const std::string& path, std::string_view source, std::size_t skipped, std::size_t firstLine,
                std::size_t fieldCount);
void LogStopped(const std::string& path, std::string_view source, std::size_t line, const char* what);
}  // namespace detail

// Calls `onRecord(const std::vector<std::string>& fields)` for each record of exactly `fieldCount`
// fields. `source` names the loader in log lines.
template <class OnRecord>
CsvLoadResult LoadCsvTable(const std::string& path, std::size_t fieldCount, std::string_view source,
                           OnRecord&& onRecord) {
  CsvLoadResult result;
  TCsvFile csv(255);
  if (!csv.OpenFile(path)) return result;
  result.opened = true;
  std::vector<std::string> fields;
  std::size_t line = 0;
  std::size_t firstSkipped = 0;
  while (csv.GetRecord(fields)) {
    ++line;
    if (fields.size() != fieldCount) {
      const bool blank = fields.size() == 1 && fields[0].empty();
      if (!blank && result.skipped++ == 0) firstSkipped = line;
      continue;
    }
    try {
      onRecord(fields);
      ++result.loaded;
    } catch (const EConvertError& e) {
      detail::LogStopped(path, source, line, e.what());
      result.stopped = true;
      break;
    }
  }
  if (result.skipped > 0) detail::LogSkipped(path, source, result.skipped, firstSkipped, fieldCount);
  return result;
}

}  // namespace kdp
