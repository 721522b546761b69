// The global output choices of kdp-host: JSON and CSV listings, and the colour policy.
#include "output.h"

#include <unistd.h>

#include <cstdlib>
#include <map>

#include <fmt/format.h>

#include "kdp/host/display_text.h"
#include "kdp/host/number_text.h"

namespace kdp::app {

void AddOutputOptions(CLI::App& app, OutputChoice& choice) {
  const std::map<std::string, OutputFormat> formats{
      {"table", OutputFormat::Table}, {"json", OutputFormat::Json}, {"csv", OutputFormat::Csv}};
  app.add_option("--format", choice.format,
                 "output of listing commands: table (aligned text), json or csv; raw values, each row with its code")
      ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case));
  const std::map<std::string, ColorMode> colors{
      {"auto", ColorMode::Auto}, {"always", ColorMode::Always}, {"never", ColorMode::Never}};
  app.add_option("--color", choice.color,
                 "colour: auto (only on a terminal, and not when NO_COLOR is set), always or never")
      ->transform(CLI::CheckedTransformer(colors, CLI::ignore_case));
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

namespace {

// A field's text with line breaks kept (they are quoted) and every other control character escaped.
std::string CsvText(const nlohmann::json& value) {
  if (value.is_null()) return {};
  const std::string text = value.is_string() ? value.get<std::string>() : value.dump();
  std::string kept;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find_first_of("\r\n", from)) != std::string::npos; from = at + 1) {
    kept += host::EscapeControlChars(std::string_view(text).substr(from, at - from)) + text[at];
  }
  return kept + host::EscapeControlChars(std::string_view(text).substr(from));
}

void WriteCsvRecord(std::ostream& raw, const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) raw << (i == 0 ? "" : ",") << CsvField(fields[i]);
  raw << "\r\n";
}

void WriteCsvRow(std::ostream& raw, const std::vector<nlohmann::json>& row) {
  std::vector<std::string> fields;
  for (const auto& value : row) fields.push_back(CsvText(value));
  WriteCsvRecord(raw, fields);
}

nlohmann::json RowObject(const std::vector<std::string>& columns, const std::vector<nlohmann::json>& row) {
  nlohmann::json object = nlohmann::json::object();
  for (std::size_t c = 0; c < columns.size() && c < row.size(); ++c) object[columns[c]] = row[c];
  return object;
}

// `indent` -1: on one line.
std::string Dump(const nlohmann::json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

void WriteListing(std::ostream& out, std::ostream& raw, const Listing& listing, OutputFormat format) {
  if (format == OutputFormat::Json) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& row : listing.rows) rows.push_back(RowObject(listing.columns, row));
    out << Dump(rows, 2) << '\n';
    out.flush();
    return;
  }
  out.flush();
  WriteCsvRecord(raw, listing.columns);
  for (const auto& row : listing.rows) WriteCsvRow(raw, row);
  raw.flush();
}

ListingStream::ListingStream(std::ostream& out, std::ostream& raw, std::vector<std::string> columns,
                             OutputFormat format)
    : out_(out), raw_(raw), columns_(std::move(columns)), format_(format) {
  if (format_ != OutputFormat::Csv) return;
  out_.flush();
  WriteCsvRecord(raw_, columns_);
  raw_.flush();
}

void ListingStream::Write(const std::vector<nlohmann::json>& row) {
  if (format_ == OutputFormat::Json) {
    out_ << Dump(RowObject(columns_, row), -1) << '\n';
    out_.flush();
    return;
  }
  WriteCsvRow(raw_, row);
  raw_.flush();
}

nlohmann::json ScalarOf(const std::string& text) {
  if (text.empty()) return nullptr;
  const std::size_t digits = text.find_first_not_of("+-");
  const bool leadingZero = digits != std::string::npos && text.size() > digits + 1 && text[digits] == '0' &&
                           text[digits + 1] >= '0' && text[digits + 1] <= '9';
  if (leadingZero) return text;
  if (const auto whole = host::ParseInt64(text)) return *whole;
  if (const auto number = host::ParseDouble(text)) return *number;
  return text;
}

double RawNumber(double value) { return host::ParseDouble(fmt::format("{:.14g}", value)).value_or(value); }

std::string SnakeCase(std::string_view name) {
  std::string key;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool upper = c >= 'A' && c <= 'Z';
    if (upper && i > 0 && name[i - 1] >= 'a' && name[i - 1] <= 'z') key += '_';
    key += upper ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

std::string IsoDate(const std::string& yyyymmdd) {
  if (yyyymmdd.size() != 8 || yyyymmdd.find_first_not_of("0123456789") != std::string::npos) return yyyymmdd;
  return yyyymmdd.substr(0, 4) + '-' + yyyymmdd.substr(4, 2) + '-' + yyyymmdd.substr(6, 2);
}

std::string IsoDateTime(const std::string& text) {
  constexpr std::string_view shape = "0000-00-00 00:00";  // 0: a digit
  if (text.size() < shape.size()) return text;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == '0' ? text[i] < '0' || text[i] > '9' : text[i] != shape[i]) return text;
  }
  std::string iso = text;
  iso[10] = 'T';
  return iso;
}

ColorDepth ChooseColorDepth(ColorMode mode, bool terminal, const char* noColor, const char* colorTerm,
                            const char* term) {
  const std::string_view termName = term != nullptr ? term : "";
  if (mode == ColorMode::Never) return ColorDepth::None;
  if (mode == ColorMode::Auto && ((noColor != nullptr && *noColor != '\0') || !terminal || termName == "dumb")) {
    return ColorDepth::None;
  }
  const std::string_view colors = colorTerm != nullptr ? colorTerm : "";
  if (colors == "truecolor" || colors == "24bit") return ColorDepth::TrueColor;
  if (termName.find("256color") != std::string_view::npos) return ColorDepth::Palette256;
  return ColorDepth::Basic16;
}

ColorDepth ColorDepthOf(ColorMode mode) {
  return ChooseColorDepth(mode, isatty(STDOUT_FILENO) == 1, std::getenv("NO_COLOR"), std::getenv("COLORTERM"),
                          std::getenv("TERM"));
}

std::string ForegroundSequence(std::uint32_t rgb, ColorDepth depth) {
  const unsigned r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  switch (depth) {
    case ColorDepth::None:
      return {};
    case ColorDepth::TrueColor:
      return fmt::format("\x1b[38;2;{};{};{}m", r, g, b);
    case ColorDepth::Palette256: {
      // The 6x6x6 cube: levels 0, 95, 135, 175, 215, 255; a channel goes to the nearest.
      const auto level = [](unsigned v) { return v < 48 ? 0u : v < 115 ? 1u : (v - 35) / 40; };
      return fmt::format("\x1b[38;5;{}m", 16 + 36 * level(r) + 6 * level(g) + level(b));
    }
    case ColorDepth::Basic16: {
      // A channel is on from half its range; any channel near its top picks the bright variant.
      const unsigned index = (r >= 128 ? 1u : 0u) | (g >= 128 ? 2u : 0u) | (b >= 128 ? 4u : 0u);
      const bool bright = r > 191 || g > 191 || b > 191;
      return fmt::format("\x1b[{}m", (bright ? 90 : 30) + index);
    }
  }
  return {};
}

}  // namespace kdp::app
