#include "kdp/qvb/qvb_decoders.h"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrQVBDecoder";

// The fewest bytes a record can take: its numbers and the lengths of its texts.
constexpr std::size_t kMinPropsRecord = 9 * 4 + 5 * 4;
constexpr std::size_t kMinSearchRecord = kMinPropsRecord + 5 * 4;
constexpr std::size_t kMinSeries = 3 * 4;
constexpr std::size_t kMinAttribute = 1 + 4;

bool ReadText(host::ByteReader& reader, std::string& text, const char* what) {
  std::uint32_t length = 0;
  std::string_view bytes;
  if (!reader.Read(length, what) || !reader.ReadView(length, bytes, what)) return false;
  text.assign(bytes);
  return true;
}

// A count of items of at least `minSize` bytes each, refused when the bytes left cannot hold them.
bool ReadCount(host::ByteReader& reader, std::uint32_t& count, std::size_t minSize, const char* what) {
  if (!reader.Read(count, what)) return false;
  if (count > reader.Remaining() / minSize) return reader.Fail(fmt::format("{} {} beyond the body", what, count));
  return true;
}

template <std::size_t N>
bool ReadShortText(host::ByteReader& reader, TQVBShortString<N>& field, const char* what) {
  std::string text;
  if (!ReadText(reader, text, what)) return false;
  field.Set(text);
  return true;
}

bool ReadInt(host::ByteReader& reader, std::int32_t& value, const char* what) { return reader.Read(value, what); }

template <class Small>
bool ReadNarrow(host::ByteReader& reader, Small& value, const char* what) {
  std::int32_t wide = 0;
  if (!reader.Read(wide, what)) return false;
  value = static_cast<Small>(wide);
  return true;
}

bool ReadDate(host::ByteReader& reader, std::uint16_t& day, const char* what) {
  std::int32_t value = 0;
  if (!reader.Read(value, what)) return false;
  day = QVBDateToDayNumber(value);
  return true;
}

// The records are packed: their wider fields are read into locals and stored, never read through a
// reference to a misaligned field.
bool ReadPropsRecord(host::ByteReader& reader, TQVBTreeNodeProps4& record) {
  std::int32_t frequency = 0, format = 0;
  std::uint16_t begin = 0, end = 0, update = 0;
  const bool read =
      ReadNarrow(reader, record.HasData, "HasData") && ReadShortText(reader, record.Identity, "Identity") &&
      ReadDate(reader, begin, "BeginDate") && ReadDate(reader, end, "EndDate") &&
      ReadInt(reader, frequency, "TimeFrequency") && ReadShortText(reader, record.Country, "Country") &&
      ReadShortText(reader, record.Source, "Source") && ReadShortText(reader, record.CurrencyType, "CurrencyType") &&
      ReadShortText(reader, record._Unit, "_Unit") && ReadNarrow(reader, record.Decimals, "Decimals") &&
      ReadNarrow(reader, record.HasNote, "HasNote") && ReadInt(reader, format, "DataFormat") &&
      ReadShortText(reader, record.Description, "Description") && ReadDate(reader, update, "UpdateDate");
  if (!read) return false;
  record.BeginDate = begin;
  record.EndDate = end;
  record.UpdateDate = update;
  record.TimeFrequency = QVBFreqFromCode(frequency);
  record.DataFormat =
      format >= dftFixed && format <= dftScientific ? static_cast<TKrQVBDataFormatType>(format) : dftGeneral;
  return true;
}

bool ReadSearchRecord(host::ByteReader& reader, TQVBTreeNodeSearchProps& record) {
  std::uint32_t nodeId = 0, parentId = 0;
  std::int32_t dbId = 0, language = 0;
  if (!ReadPropsRecord(reader, record.Props) || !reader.Read(nodeId, "NodeId") || !reader.Read(dbId, "DBId") ||
      !reader.Read(language, "Language") || !reader.Read(parentId, "ParentId") ||
      !ReadNarrow(reader, record.IsFolder, "IsFolder")) {
    return false;
  }
  record.NodeId = nodeId;
  record.DBId = dbId;
  record.Language = language;
  record.ParentId = parentId;
  return true;
}

// Splits at ASCII blanks and at U+3000 (E3 80 80 in UTF-8), dropping empty pieces.
std::vector<std::string> SplitKickText(std::string_view text) {
  static constexpr std::string_view kIdeographicBlank = "\xE3\x80\x80";
  std::vector<std::string> tokens;
  std::string token;
  for (std::size_t i = 0; i < text.size();) {
    const bool ideographic = text.substr(i, kIdeographicBlank.size()) == kIdeographicBlank;
    if (ideographic || text[i] == ' ') {
      if (!token.empty()) tokens.push_back(std::move(token));
      token.clear();
      i += ideographic ? kIdeographicBlank.size() : 1;
      continue;
    }
    token += text[i++];
  }
  if (!token.empty()) tokens.push_back(std::move(token));
  return tokens;
}

bool IsWordByte(char c) { return static_cast<unsigned char>(c) >= 0x80 || std::isalnum(static_cast<unsigned char>(c)); }

// Whether `token` occurs in `text`, as a whole word when asked (not inside a run of letters and digits).
bool Contains(std::string_view text, std::string_view token, bool wholeWords) {
  for (std::size_t at = text.find(token); at != std::string_view::npos; at = text.find(token, at + 1)) {
    if (!wholeWords) return true;
    const std::size_t end = at + token.size();
    if ((at == 0 || !IsWordByte(text[at - 1])) && (end == text.size() || !IsWordByte(text[end]))) return true;
  }
  return false;
}

}  // namespace

bool TKrQVBDecoder::Decode() {
  std::lock_guard lock(FLock);
  ClearResults();
  host::ByteReader reader(std::span(reinterpret_cast<const std::uint8_t*>(FStream.data()), FStream.size()));
  if (DecodeBody(reader)) return true;
  ClearResults();
  host::AddHQLog(fmt::format("{}.Decode: {}", DecoderName(), reader.Error()), kLogSource, host::LogSeverity::kNotice);
  return false;
}

// ---- properties ----

bool TKrQVBPropsDataDecoder::DecodeBody(host::ByteReader& reader) {
  std::uint32_t count = 0;
  if (!ReadCount(reader, count, kMinPropsRecord, "record count")) return false;
  FPropsList.resize(count);
  for (TQVBTreeNodeProps4& record : FPropsList) {
    if (!ReadPropsRecord(reader, record)) return false;
  }
  return true;
}

std::vector<TQVBTreeNodeProps4> TKrQVBPropsDataDecoder::PropsList() const {
  std::lock_guard lock(FLock);
  return FPropsList;
}

// ---- series data ----

bool TKrQVBDataDecoder::DecodeBody(host::ByteReader& reader) {
  std::uint32_t count = 0;
  if (!reader.Read(FErrorCode, "error code")) return false;
  if (FErrorCode != 0) return reader.Fail(fmt::format("the service answered error {}", FErrorCode));
  if (!ReadText(reader, FDBType, "reply kind")) return false;
  if (FDBType != "1" && FDBType != "2") return reader.Fail(fmt::format("unknown reply kind \"{}\"", FDBType));
  if (!ReadCount(reader, count, kMinSeries, "series count")) return false;
  FSeriesList.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!ReadOneSeriesValues(reader, static_cast<int>(i))) return false;
  }
  return true;
}

bool TKrQVBDataDecoder::ReadOneSeriesValues(host::ByteReader& reader, int index) {
  TKrQVBSeries& series = FSeriesList.emplace_back();
  std::uint32_t attributes = 0, values = 0;
  if (!ReadText(reader, series.Name, "series name") ||
      !ReadCount(reader, attributes, kMinAttribute, "attribute count")) {
    return false;
  }
  series.Attributes.resize(attributes);
  for (auto& [kind, text] : series.Attributes) {
    if (!reader.Read(kind, "attribute kind") || !ReadText(reader, text, "attribute")) return false;
  }
  const bool ranged = FDBType == "2";
  if (!ReadCount(reader, values, ranged ? 17 : 12, "value count")) return false;
  series.Values.resize(values);
  for (TKrQVBOneData& value : series.Values) {
    std::uint16_t begin = 0, end = 0;
    double number = 0;
    std::uint8_t userObservation = 0;
    const bool read = ranged ? ReadDate(reader, begin, "value begin") && ReadDate(reader, end, "value end") &&
                                   reader.Read(number, "value") && reader.Read(userObservation, "user observation")
                             : ReadDate(reader, end, "value date") && reader.Read(number, "value");
    if (!read) return false;
    value = {number, ranged ? begin : end, end, userObservation};
    if (FOnDecodeDataEvent) FOnDecodeDataEvent(index, value);
  }
  if (!series.Values.empty()) {
    if (FOnDecodeBeginDate) FOnDecodeBeginDate(index, series.Values.front().VBeginDate);
    if (FOnDecodeEndDate) FOnDecodeEndDate(index, series.Values.back().VEndDate);
  }
  return true;
}

std::vector<TKrQVBSeries> TKrQVBDataDecoder::SeriesList() const {
  std::lock_guard lock(FLock);
  return FSeriesList;
}

std::int32_t TKrQVBDataDecoder::ErrorCode() const {
  std::lock_guard lock(FLock);
  return FErrorCode;
}

std::string TKrQVBDataDecoder::DBType() const {
  std::lock_guard lock(FLock);
  return FDBType;
}

// ---- note ----

bool TKrQVBNoteDataDecoder::DecodeBody(host::ByteReader& reader) { return ReadText(reader, FNote, "note"); }

std::string TKrQVBNoteDataDecoder::Note() const {
  std::lock_guard lock(FLock);
  return FNote;
}

// ---- search ----

void TKrQVBSearchDataDecoder::SetKickText(std::string_view text) { FKickTokens = SplitKickText(text); }

bool TKrQVBSearchDataDecoder::MatchIsNeedKick(const TQVBTreeNodeSearchProps& record) const {
  std::string haystack = record.Props.Identity.Get() + " " + record.Props.Description.Get();
  if (!FIsCaseSensitive) haystack = ToUpperAscii(haystack);
  for (const std::string& token : FKickTokens) {
    if (!Contains(haystack, FIsCaseSensitive ? token : ToUpperAscii(token), FIsWholeWords)) return true;
  }
  return false;
}

bool TKrQVBSearchDataDecoder::ReadRecords(host::ByteReader& reader, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    TQVBTreeNodeSearchProps record;
    if (!ReadSearchRecord(reader, record)) return false;
    if (!MatchIsNeedKick(record)) FPropsList.push_back(record);
  }
  return true;
}

bool TKrQVBSearchDataDecoder::DecodeBody(host::ByteReader& reader) {
  std::uint32_t count = 0;
  return ReadCount(reader, count, kMinSearchRecord, "record count") && ReadRecords(reader, count);
}

std::vector<TQVBTreeNodeSearchProps> TKrQVBSearchDataDecoder::PropsList() const {
  std::lock_guard lock(FLock);
  return FPropsList;
}

bool TKrQVBPageSearchDataDecoder::DecodeBody(host::ByteReader& reader) {
  if (reader.Remaining() < 4) return reader.Fail(fmt::format("a body of {} bytes", reader.Remaining()));
  std::int32_t count = 0, page = 0, total = 0;
  if (!reader.Read(count, "count") || !reader.Read(page, "current page") || !reader.Read(total, "total")) {
    return false;
  }
  if (count < 0 || static_cast<std::size_t>(count) > reader.Remaining() / kMinSearchRecord) {
    return reader.Fail(fmt::format("record count {} beyond the body", count));
  }
  if (!ReadRecords(reader, static_cast<std::uint32_t>(count))) return false;
  FCount = count;
  FNowPage = page;
  FTotal = total;
  return true;
}

std::int32_t TKrQVBPageSearchDataDecoder::Count() const {
  std::lock_guard lock(FLock);
  return FCount;
}

std::int32_t TKrQVBPageSearchDataDecoder::NowPage() const {
  std::lock_guard lock(FLock);
  return FNowPage;
}

std::int32_t TKrQVBPageSearchDataDecoder::Total() const {
  std::lock_guard lock(FLock);
  return FTotal;
}

}  // namespace kdp
