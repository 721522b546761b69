#include "refdata/csv_table_loader.h"

#include <filesystem>

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "util/strings.h"

namespace kdp {

int StrToInt(std::string_view text) {
  const auto value = ParseInt32(text);
  if (!value) {
    throw EConvertError(fmt::format("'{}' is not a valid integer value", text));
  }
  return static_cast<int>(*value);
}

std::int64_t StrToInt64(std::string_view text) {
  const auto value = ParseInt64(text);
  if (!value) throw EConvertError(fmt::format("'{}' is not a valid integer value", text));
  return *value;
}

double StrToFloat(std::string_view text) {
  const auto value = ParseDouble(text);
  if (!value) throw EConvertError(fmt::format("'{}' is not a valid floating point value", text));
  return *value;
}

double StrToFloatOrZero(std::string_view text) { return ParseDouble(text).value_or(0.0); }

namespace detail {

void LogSkipped(const std::string& path, std::string_view source, std::size_t skipped, std::size_t firstLine,
                std::size_t fieldCount) {
  host::AddHQLog(fmt::format("{}: {} record(s) without {} fields skipped, the first at line {}",
                             std::filesystem::path(path).filename().string(), skipped, fieldCount, firstLine),
                 source, host::LogSeverity::kWarning);
}

void LogStopped(const std::string& path, std::string_view source, std::size_t line, const char* what) {
  host::AddHQLog(fmt::format("{}: line {}: {}; the rest of the file is not loaded",
                             std::filesystem::path(path).filename().string(), line, what),
                 source, host::LogSeverity::kError);
}

}  // namespace detail
}  // namespace kdp
