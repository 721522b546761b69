// The binary-document twin of a configuration file: loaders that name an ".xml" file read the ".hqc"
// document of the same name instead ("HQ/Base/FormatColumns.xml" -> "HQ/Base/FormatColumns.hqc").
#pragma once

#include <string>

namespace kdp {

// `xmlPath` with a trailing ".xml" (any case) replaced by ".hqc"; other paths unchanged.
inline std::string HqcTwinOf(std::string xmlPath) {
  constexpr std::size_t n = 4;
  if (xmlPath.size() >= n) {
    std::string ext = xmlPath.substr(xmlPath.size() - n);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == ".xml") xmlPath.replace(xmlPath.size() - n, n, ".hqc");
  }
  return xmlPath;
}

}  // namespace kdp
