// Small helpers the stand-in host's loaders share: reading a whole configuration file, splitting a line of
// its CSV files (plain commas, no quoting) and upper-casing the ASCII keys (codes, spans, sector IDs) its
// maps are keyed by.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

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

// The whole file as bytes; false, with `error` naming what was being read, when it cannot be opened.
inline bool ReadTextFile(const std::string& path, const char* what, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::string("cannot read ") + what + " " + path;
    return false;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
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

}  // namespace kdp::minihost
