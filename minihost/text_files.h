// Small helpers the stand-in host's loaders share: reading a whole configuration file and upper-casing
// the ASCII keys (codes, spans, sector IDs) its maps are keyed by.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace kdp::minihost {

inline std::string UpperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
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
