// Output for scripts and colour for people: the global `--format` and `--color` choices of kdp-host.
//
// A listing command builds its rows as a Listing and, under `--format json|csv`, hands it to WriteListing
// instead of printing its aligned table. Values in a listing are raw (numbers as numbers, not scaled to
// units); dates are ISO 8601 texts.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace kdp::app {

enum class OutputFormat { Table, Json, Csv };
enum class ColorMode { Auto, Always, Never };
// How many colours the terminal takes; None: no escape sequence at all.
enum class ColorDepth { None, Basic16, Palette256, TrueColor };

struct OutputChoice {
  OutputFormat format = OutputFormat::Table;
  ColorMode color = ColorMode::Auto;
};
// Adds --format table|json|csv and --color auto|always|never to the application.
void AddOutputOptions(CLI::App& app, OutputChoice& choice);

// Named columns and rows of JSON scalars (null, number, string), one value per column.
struct Listing {
  std::vector<std::string> columns;
  std::vector<std::vector<nlohmann::json>> rows;
};

// JSON: one array of objects keyed by the column names, on `out` (which may escape control characters:
// JSON strings carry none). CSV (RFC 4180): a header row, then a record per row, each ended by CR LF, on
// `raw`, which passes bytes as they are; control characters inside a field other than line breaks are
// written as visible escapes. Invalid UTF-8 becomes U+FFFD in JSON.
void WriteListing(std::ostream& out, std::ostream& raw, const Listing& listing, OutputFormat format);

// A listing written a row at a time, for commands that follow the market: JSON as one object per line
// (NDJSON), CSV as the header row once, then a record per row; each row flushed as it is written.
class ListingStream {
 public:
  ListingStream(std::ostream& out, std::ostream& raw, std::vector<std::string> columns, OutputFormat format);
  void Write(const std::vector<nlohmann::json>& row);

 private:
  std::ostream& out_;
  std::ostream& raw_;
  std::vector<std::string> columns_;
  OutputFormat format_;
};

// One CSV field: quoted when it holds a comma, a double quote, CR or LF, with quotes doubled.
std::string CsvField(std::string_view text);

// A cell that arrives as text, as a JSON scalar: a number as that number, an empty text as null, any other
// text (a number with a leading zero too: a code such as 000001 stays a code) as it is.
nlohmann::json ScalarOf(const std::string& text);

// A computed number as scripts read it: to fourteen significant digits, which keep every price, ratio,
// volume and amount whole and drop the binary remainder of arithmetic on them (10.50 - 10.36 is
// 0.14000000000000057, 1000 * 0.9137 is 913.6999999999999).
double RawNumber(double value);

// A name as a key for scripts: "WeekYieldChange" as "week_yield_change", "UNITNETVALUE" as "unitnetvalue".
std::string SnakeCase(std::string_view name);

// "20261204" as "2026-12-04"; any other text unchanged.
std::string IsoDate(const std::string& yyyymmdd);
// "2026-12-04 10:30:00" as "2026-12-04T10:30:00"; any other text unchanged.
std::string IsoDateTime(const std::string& text);

// The colours to use. `noColor`, `colorTerm` and `term` are the environment's NO_COLOR, COLORTERM and TERM
// (nullptr when unset). Never, or under auto a non-empty NO_COLOR, a standard output that is not a terminal
// or TERM=dumb: none. Otherwise COLORTERM truecolor/24bit: 24-bit; a TERM naming 256 colours: 256; else 16.
ColorDepth ChooseColorDepth(ColorMode mode, bool terminal, const char* noColor, const char* colorTerm,
                            const char* term);
// The process's own choice: ChooseColorDepth on its environment and standard output.
ColorDepth ColorDepthOf(ColorMode mode);

// The escape sequence that sets the foreground to 0xRRGGBB at `depth` (the nearest colour the terminal
// has); empty at None.
std::string ForegroundSequence(std::uint32_t rgb, ColorDepth depth);

}  // namespace kdp::app
