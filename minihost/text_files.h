// Small helpers the stand-in host's loaders share: reading a whole configuration file, splitting a line of
// its CSV files (plain commas, no quoting) and upper-casing the ASCII keys (codes, spans, sector IDs) its
// maps are keyed by.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "kdp/host/file_io.h"

namespace kdp::minihost {

inline std::string UpperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// "a,,b" -> "a", "", "b": every comma separates, so a line of n commas has n + 1 fields.
inline std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.emplace_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

// The whole file as bytes; false, with `error` naming what was being read and the system's reason
// ("cannot read securities file /x/Securities.csv: Permission denied"), when it cannot be read.
inline bool ReadTextFile(const std::string& path, const char* what, std::string& text, std::string& error) {
  std::string reason;
  if (host::ReadWholeFile(path, text, reason)) return true;
  error = std::string("cannot read ") + what + " " + path + ": " + reason;
  return false;
}

// Reads a file and hands its text to `load(text, error)`; a load error is prefixed with the path.
template <class Loader>
bool LoadTextFile(const std::string& path, const char* what, std::string& error, Loader&& load) {
  std::string text;
  if (!ReadTextFile(path, what, text, error)) return false;
  if (!load(text, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

// The JSON document of a configuration text, nested at most kMaxJsonDepth deep; false with `error` when it
// is not JSON or nests deeper. Values below the bound are discarded as they are parsed, so a hostile
// depth never becomes a tree that a later walk (or dump) would recurse through.
inline constexpr int kMaxJsonDepth = 128;
inline bool ParseJson(const std::string& text, nlohmann::json& document, std::string& error) {
  bool tooDeep = false;
  document = nlohmann::json::parse(
      text,
      [&tooDeep](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        if (depth <= kMaxJsonDepth) return true;
        tooDeep = true;
        return false;
      },
      /*allow_exceptions=*/false);
  if (tooDeep) {
    error = fmt::format("JSON nested more than {} levels deep", kMaxJsonDepth);
    return false;
  }
  if (document.is_discarded()) {
    error = "not JSON";
    return false;
  }
  return true;
}

}  // namespace kdp::minihost
