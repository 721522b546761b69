#include "util/csv_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "kdp/host/ansi.h"
#include "kdp/host/log.h"

namespace kdp {
namespace {

// UTF-16 code units taken by the character whose first UTF-8 byte is `lead`; 0 for a continuation byte.
constexpr int Utf16Units(unsigned char lead) {
  if ((lead & 0xC0) == 0x80) return 0;
  return lead >= 0xF0 ? 2 : 1;
}

enum class QuoteState { kOutside, kInside, kAfterQuote };

// Writes one line's fields straight into the caller's strings, reusing their storage, and counts each
// field's UTF-16 units against the limit.
class FieldWriter {
 public:
  FieldWriter(std::vector<std::string>& recs, int limit) : recs_(recs), limit_(limit) { field_ = &Slot(); }

  // False (and logged) when a character of `units` units may not be stored any more.
  bool Fits(int units) {
    if (units > 0 && written_ + units > limit_) {
      host::AddHQLog("数组越界", "UCsvFile", host::LogSeverity::kError);
      return false;
    }
    return true;
  }

  // Stores `run`, or the part of it that fits; false when the limit cut it.
  bool Append(std::string_view run) {
    int units = 0;
    for (char c : run) units += Utf16Units(static_cast<unsigned char>(c));
    if (written_ + units <= limit_) {
      field_->append(run);
      written_ += units;
      return true;
    }
    for (char c : run) {
      const int u = Utf16Units(static_cast<unsigned char>(c));
      if (!Fits(u)) return false;
      field_->push_back(c);
      written_ += u;
    }
    return true;
  }

  void NextField() {
    ++count_;
    field_ = &Slot();
    written_ = 0;
  }

  // Ends the line: the field being written is the last.
  void Finish() { recs_.resize(count_ + 1); }

 private:
  std::string& Slot() {
    if (count_ == recs_.size()) recs_.emplace_back();
    std::string& s = recs_[count_];
    s.clear();
    return s;
  }

  std::vector<std::string>& recs_;
  const int limit_;
  std::size_t count_ = 0;
  std::string* field_ = nullptr;
  int written_ = 0;  // UTF-16 units in the field
};

}  // namespace

TCsvFile::TCsvFile(int nMaxFieldLength) : m_nMaxFieldLength(nMaxFieldLength) {}

bool TCsvFile::OpenFile(const std::string& strFileName) {
  Close();
  std::error_code ec;
  const auto status = std::filesystem::status(strFileName, ec);
  if (!std::filesystem::exists(status)) {
    host::AddHQLog("not FileExists: " + strFileName, "UCsvFile", host::LogSeverity::kError);
    return false;
  }
  // A directory opens as a stream on this platform and then reads as empty: refuse it here.
  if (std::filesystem::is_directory(status)) {
    host::AddHQLog("Open File Error: " + strFileName + " (" + std::strerror(EISDIR) + ")", "UCsvFile",
                   host::LogSeverity::kError);
    return false;
  }
  errno = 0;
  m_file.open(strFileName, std::ios::binary);
  if (!m_file) {
    const int why = errno;
    host::AddHQLog("Open File Error: " + strFileName + (why != 0 ? " (" + std::string(std::strerror(why)) + ")" : ""),
                   "UCsvFile", host::LogSeverity::kError);
    m_file.clear();
    return false;
  }
  m_open = true;
  return true;
}

void TCsvFile::MoveFirst() {
  if (!m_open) return;
  m_file.clear();
  m_file.seekg(0);
  m_buffer.clear();
  m_begin = 0;
  m_skipLF = false;
}

void TCsvFile::Close() {
  if (m_file.is_open()) m_file.close();
  m_file.clear();
  m_open = false;
  m_buffer.clear();
  m_begin = 0;
  m_skipLF = false;
}

bool TCsvFile::Fill() {
  constexpr std::size_t kChunk = 64 * 1024;
  m_buffer.resize(kChunk);
  m_file.read(m_buffer.data(), static_cast<std::streamsize>(kChunk));
  m_buffer.resize(static_cast<std::size_t>(m_file.gcount()));
  m_begin = 0;
  if (m_skipLF && !m_buffer.empty()) {
    if (m_buffer[0] == '\n') m_begin = 1;
    m_skipLF = false;
  }
  return m_begin < m_buffer.size();
}

bool TCsvFile::GetRecord(std::vector<std::string>& recs) {
  if (!m_open || (m_begin >= m_buffer.size() && !Fill())) {
    recs.clear();
    return false;
  }
  // Cut the next line; one that spans refills is gathered in m_line. A plain scan: find_first_of
  // with a set searches the set once per character.
  bool spanning = false;
  std::string_view line;
  while (true) {
    const char* const begin = m_buffer.data() + m_begin;
    const char* const finish = m_buffer.data() + m_buffer.size();
    const char* end = begin;
    while (end != finish && *end != '\n' && *end != '\r') ++end;
    const std::string_view piece(begin, static_cast<std::size_t>(end - begin));
    if (end == finish) {  // no line end in the buffer
      if (!spanning) m_line.clear();
      m_line.append(piece);
      spanning = true;
      if (!Fill()) {
        line = m_line;  // the last line has no line end
        break;
      }
      continue;
    }
    m_begin = static_cast<std::size_t>(end - m_buffer.data()) + 1;
    if (*end == '\r') {
      if (m_begin < m_buffer.size()) {
        if (m_buffer[m_begin] == '\n') ++m_begin;
      } else {
        m_skipLF = true;  // the LF, if any, comes with the next refill
      }
    }
    if (spanning) {
      m_line.append(piece);
      line = m_line;
    } else {
      line = piece;
    }
    break;
  }
  if (std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    CsvExtractStrings(line, recs);
  } else {
    m_utf8 = host::AnsiToUtf8(line);
    CsvExtractStrings(m_utf8, recs);
  }
  return true;
}

void TCsvFile::CsvExtractStrings(std::string_view line, std::vector<std::string>& recs) const {
  FieldWriter out(recs, m_nMaxFieldLength - 1);
  QuoteState state = QuoteState::kOutside;
  std::size_t i = 0;
  while (i < line.size()) {
    if (state != QuoteState::kAfterQuote) {
      // The run of characters stored as they are: up to a quote, or outside quotes a comma. A plain
      // scan: find_first_of searches its set once per character.
      const bool inside = state == QuoteState::kInside;
      std::size_t end = i;
      while (end < line.size() && line[end] != '"' && (inside || line[end] != ',')) ++end;
      const std::string_view run = line.substr(i, end - i);
      if (!out.Append(run)) break;
      i += run.size();
      if (i == line.size()) break;
    }
    const char c = line[i];
    if (!out.Fits(Utf16Units(static_cast<unsigned char>(c)))) break;
    switch (state) {
      case QuoteState::kOutside:  // c is a quote or a comma
        if (c == '"') {
          state = QuoteState::kInside;
        } else {
          out.NextField();
        }
        break;
      case QuoteState::kInside:  // c is a quote: it closes the field's quotes, or is the first of a pair
        state = QuoteState::kAfterQuote;
        break;
      case QuoteState::kAfterQuote:
        if (c == ',') {
          out.NextField();
          state = QuoteState::kOutside;
        } else if (c == '"') {
          out.Append("\"");
          state = QuoteState::kInside;
        } else {
          // Dropped; so are the rest of its bytes when it is a multi-byte character.
          while (i + 1 < line.size() && Utf16Units(static_cast<unsigned char>(line[i + 1])) == 0) ++i;
          state = QuoteState::kOutside;
        }
        break;
    }
    ++i;
  }
  out.Finish();
}

}  // namespace kdp
