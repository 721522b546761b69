// The decoders of QVB reply bodies. Each is made over one body (copied in), Decode reads it once and keeps
// what it read; a body that does not read as the layout below gives false, a log line naming the decoder
// and the cause, and no partial results. Counts are checked against the bytes left before anything is
// reserved, so a hostile count cannot grow memory.
//
// Layouts (little-endian; a text is a 32-bit length and that many bytes of UTF-8; numbers are 32-bit):
//   property record  HasData, Identity, BeginDate, EndDate, frequency code, Country, Source, CurrencyType,
//                    Unit, Decimals, HasNote, DataFormat, Description, UpdateDate (dates as the service
//                    sends them: QVBDateToDayNumber); texts longer than their field are cut
//   search record    a property record, then NodeId, DBId, Language, ParentId, IsFolder
//   properties       record count, records
//   note             one text
//   search           record count, search records
//   page of search   count, current page, total, then `count` search records
//   series data      error code (0 for data), reply kind "1" or "2", series count, then per series: name,
//                    attribute count, attributes (a byte and a text), value count, values: kind "1" a date
//                    and a Double, kind "2" a begin date, an end date, a Double and a user-observation byte
//
// A decoder is used by one thread at a time; FLock guards its results for a reader on another thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/byte_reader.h"
#include "kdp/qvb/qvb_records.h"

namespace kdp {

class TKrQVBDecoder {
 public:
  explicit TKrQVBDecoder(std::string_view body) : FStream(body) {}
  virtual ~TKrQVBDecoder() = default;
  TKrQVBDecoder(const TKrQVBDecoder&) = delete;
  TKrQVBDecoder& operator=(const TKrQVBDecoder&) = delete;

  // Reads the body; false (and a log line) when it does not read.
  bool Decode();

 protected:
  virtual std::string_view DecoderName() const = 0;
  // Reads the body into the decoder's results; false with the cause in the reader.
  virtual bool DecodeBody(host::ByteReader& reader) = 0;
  // Drops partial results after a failed read.
  virtual void ClearResults() = 0;

  std::string FStream;
  mutable std::mutex FLock;
};

class TKrQVBPropsDataDecoder : public TKrQVBDecoder {
 public:
  using TKrQVBDecoder::TKrQVBDecoder;
  std::vector<TQVBTreeNodeProps4> PropsList() const;

 protected:
  std::string_view DecoderName() const override { return "TKrQVBPropsDataDecoder"; }
  bool DecodeBody(host::ByteReader& reader) override;
  void ClearResults() override { FPropsList.clear(); }

 private:
  std::vector<TQVBTreeNodeProps4> FPropsList;
};

class TKrQVBDataDecoder final : public TKrQVBDecoder {
 public:
  using TKrQVBDecoder::TKrQVBDecoder;

  // Called as each series is read: its index and the day numbers of its first and last observation, then
  // each observation.
  std::function<void(int series, std::uint16_t date)> FOnDecodeBeginDate;
  std::function<void(int series, std::uint16_t date)> FOnDecodeEndDate;
  std::function<void(int series, const TKrQVBOneData& value)> FOnDecodeDataEvent;

  std::vector<TKrQVBSeries> SeriesList() const;
  std::int32_t ErrorCode() const;
  std::string DBType() const;  // the reply kind, "1" or "2"

 protected:
  std::string_view DecoderName() const override { return "TKrQVBDataDecoder"; }
  bool DecodeBody(host::ByteReader& reader) override;
  void ClearResults() override { FSeriesList.clear(); }

 private:
  bool ReadOneSeriesValues(host::ByteReader& reader, int index);

  std::vector<TKrQVBSeries> FSeriesList;
  std::int32_t FErrorCode = 0;
  std::string FDBType;
};

class TKrQVBNoteDataDecoder final : public TKrQVBDecoder {
 public:
  using TKrQVBDecoder::TKrQVBDecoder;
  std::string Note() const;

 protected:
  std::string_view DecoderName() const override { return "TKrQVBNoteDataDecoder"; }
  bool DecodeBody(host::ByteReader& reader) override;
  void ClearResults() override { FNote.clear(); }

 private:
  std::string FNote;
};

class TKrQVBSearchDataDecoder : public TKrQVBDecoder {
 public:
  using TKrQVBDecoder::TKrQVBDecoder;

  // The words a kept record must contain, split at blanks and ideographic blanks (U+3000); empty keeps
  // every record.
  void SetKickText(std::string_view text);
  void SetCaseSensitive(bool value) { FIsCaseSensitive = value; }
  void SetWholeWords(bool value) { FIsWholeWords = value; }
  // True when the record lacks one of the words in its identity and description: it is left out.
  bool MatchIsNeedKick(const TQVBTreeNodeSearchProps& record) const;

  std::vector<TQVBTreeNodeSearchProps> PropsList() const;

 protected:
  std::string_view DecoderName() const override { return "TKrQVBSearchDataDecoder"; }
  bool DecodeBody(host::ByteReader& reader) override;
  void ClearResults() override { FPropsList.clear(); }
  // Reads `count` search records, keeping those not kicked.
  bool ReadRecords(host::ByteReader& reader, std::uint32_t count);

 private:
  bool FIsCaseSensitive = false;
  bool FIsWholeWords = false;
  std::vector<std::string> FKickTokens;
  std::vector<TQVBTreeNodeSearchProps> FPropsList;
};

class TKrQVBPageSearchDataDecoder final : public TKrQVBSearchDataDecoder {
 public:
  using TKrQVBSearchDataDecoder::TKrQVBSearchDataDecoder;
  // The page's counters; unchanged by a body that does not read.
  std::int32_t Count() const;
  std::int32_t NowPage() const;
  std::int32_t Total() const;

 protected:
  std::string_view DecoderName() const override { return "TKrQVBPageSearchDataDecoder"; }
  bool DecodeBody(host::ByteReader& reader) override;

 private:
  std::int32_t FCount = 0;
  std::int32_t FNowPage = 0;
  std::int32_t FTotal = 0;
};

}  // namespace kdp
