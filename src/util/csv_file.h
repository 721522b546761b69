// TCsvFile: reads the package's comma-separated reference files (".dat", code page 936) record by record.
//
// Fields follow the terminal's splitting rules: a double quote opens a quoted field (not stored), inside
// quotes commas are data and a doubled quote is one quote, a character right after a closing quote (other
// than a comma) is dropped. A field holds at most nMaxFieldLength - 1 UTF-16 characters: the character that
// would exceed it ends the reading of the line (logged once, "数组越界"), and the cut field is the record's
// last. An empty line is one empty field.
//
// The file is read through a fixed buffer and each line converted to UTF-8 (only when it is not plain
// ASCII); records reuse the caller's vector and strings, so loading a large table allocates little.
// Lines end with CR LF, LF or CR. Not thread-safe.
#pragma once

#include <cstddef>
#include <fstream>
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
  void MoveFirst();
  void Close();

  // Splits one line (UTF-8) into `recs` (cleared first).
  void CsvExtractStrings(std::string_view line, std::vector<std::string>& recs) const;

 private:
  // Refills the buffer; false at the end of the file.
  bool Fill();

  int m_nMaxFieldLength;
  std::ifstream m_file;
  bool m_open = false;
  std::string m_buffer;  // bytes read and not yet consumed: [m_begin, m_buffer.size())
  std::size_t m_begin = 0;
  bool m_skipLF = false;  // the last line ended with a CR that may be the first half of CR LF
  std::string m_line;     // a line that spans buffer refills
  std::string m_utf8;     // the current line converted from code page 936
};

}  // namespace kdp
