// TCsvFile: reads the package's comma-separated reference files (".dat", code page 936) record by record.
//
// Fields follow the terminal's splitting rules: a double quote opens a quoted field (not stored), inside
// quotes commas are data and a doubled quote is one quote, a character right after a closing quote (other
// than a comma) is dropped. A field holds at most nMaxFieldLength - 1 UTF-16 characters: the character that
// would exceed it ends the reading of the line (logged once, "数组越界"), and the cut field is the record's
// last. An empty line is one empty field.
//
// The whole file is read and converted to UTF-8 when opened; records are then cut from memory, reusing
// the caller's vector and strings, so loading a large table allocates little. Not thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kdp {

class TCsvFile {
 public:
  // Every caller in the package passes 255.
  explicit TCsvFile(int nMaxFieldLength = 255);

  // False, logged as "not FileExists: " + path (level 3), when the file does not exist; false, logged as
  // "Open File Error: " + path, when it cannot be read.
  bool OpenFile(const std::string& strFileName);
  // Clears `recs`; false at the end of the file; otherwise fills it with the next line's fields.
  bool GetRecord(std::vector<std::string>& recs);
  // Rewinds to the first line.
  void MoveFirst() { m_position = 0; }
  void Close();

  // Splits one line (UTF-8) into `recs` (cleared first).
  void CsvExtractStrings(std::string_view line, std::vector<std::string>& recs) const;

 private:
  int m_nMaxFieldLength;
  std::string m_text;  // the whole file, UTF-8
  std::size_t m_position = 0;
  bool m_open = false;
};

}  // namespace kdp
