#include "util/csv_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kdp/host/ansi.h"
#include "kdp/host/log.h"

namespace kdp {
namespace {

// UTF-16 code units taken by the character whose first UTF-8 byte is `lead`; 0 for a continuation byte.
constexpr int Utf16Units(unsigned char lead) {
  if ((lead & 0xC0) == 0x80) return 0;
  return lead >= 0xF0 ? 2 : 1;
}

// Appends `field` (reusing the slot's storage when the vector already has one).
void AddField(std::vector<std::string>& recs, std::size_t& count, std::string_view field) {
  if (count < recs.size()) {
    recs[count].assign(field);
  } else {
    recs.emplace_back(field);
  }
  ++count;
}

}  // namespace

TCsvFile::TCsvFile(int nMaxFieldLength) : m_nMaxFieldLength(nMaxFieldLength) {}

bool TCsvFile::OpenFile(const std::string& strFileName) {
  Close();
  std::error_code ec;
  if (!std::filesystem::exists(strFileName, ec)) {
    host::AddHQLog("not FileExists: " + strFileName, "UCsvFile", 3);
    return false;
  }
  std::ifstream in(strFileName, std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    host::AddHQLog("Open File Error: " + strFileName, "UCsvFile", 3);
    return false;
  }
  m_text = host::AnsiToUtf8(raw);
  m_position = 0;
  m_open = true;
  return true;
}

void TCsvFile::Close() {
  m_text.clear();
  m_position = 0;
  m_open = false;
}

bool TCsvFile::GetRecord(std::vector<std::string>& recs) {
  if (!m_open || m_position >= m_text.size()) {
    recs.clear();
    return false;
  }
  std::size_t end = m_text.find_first_of("\r\n", m_position);
  if (end == std::string::npos) end = m_text.size();
  const std::string_view line(m_text.data() + m_position, end - m_position);
  m_position = end;
  if (m_position < m_text.size() && m_text[m_position] == '\r') ++m_position;
  if (m_position < m_text.size() && m_text[m_position] == '\n') ++m_position;
  CsvExtractStrings(line, recs);
  return true;
}

void TCsvFile::CsvExtractStrings(std::string_view line, std::vector<std::string>& recs) const {
  // The caller's strings are reused slot by slot; the vector is trimmed to the field count at the end.
  std::size_t count = 0;
  std::string field;
  field.reserve(64);
  int written = 0;  // UTF-16 units in the field
  int state = 0;    // 0 outside quotes, 1 inside quotes, 2 just after a quote inside quotes
  const int limit = m_nMaxFieldLength - 1;

  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const int units = Utf16Units(static_cast<unsigned char>(c));
    if (units > 0 && written + units > limit) {
      host::AddHQLog("数组越界", "UCsvFile", 3);
      break;
    }
    auto store = [&] {
      field.push_back(c);
      written += units;
    };
    auto end_field = [&] {
      AddField(recs, count, field);
      field.clear();
      written = 0;
    };
    switch (state) {
      case 0:
        if (c == '"') {
          state = 1;
        } else if (c == ',') {
          end_field();
        } else {
          store();
        }
        break;
      case 1:
        if (c == '"') {
          state = 2;
        } else {
          store();
        }
        break;
      default:  // 2
        if (c == ',') {
          end_field();
          state = 0;
        } else if (c == '"') {
          store();
          state = 1;
        } else {
          // Dropped; so are the rest of its bytes when it is a multi-byte character.
          while (i + 1 < line.size() && Utf16Units(static_cast<unsigned char>(line[i + 1])) == 0) ++i;
          state = 0;
        }
        break;
    }
  }
  AddField(recs, count, field);
  recs.resize(count);
}

}  // namespace kdp
