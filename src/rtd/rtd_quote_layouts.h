// TKrQuoteLayouts: prepares deliveries for the real-time cache (kdp/rtd/rtd_quote_rows.h) and keeps the
// column layouts it resolved, so each layout is read against the field dictionary once and keeps its
// shape (and the shape's serial) from push to push.
//
// A quote-engine push has one packet (or more); each body row is a security: its code and a one-row table
// whose columns are named by field ID and typed "double", "int", "int64" or "string". A column whose name
// is not an ID from 1 to 4294967295, or whose type is another, is skipped, as is a row without a code or
// a value table. Rows of one push normally share one layout: a row is first compared with the previous
// row's layout (names and types, byte for byte), and only a new layout is looked up or resolved.
//
// What cannot be stored is dropped and logged once per delivery ("PrepareQuoteRows: a reply of 3 rows
// dropped 2 rows without a usable code"): fields the dictionary does not define, IDs or values without a
// pair, rows whose code is empty, blank or holds control characters. Codes are cut to 30 characters.
//
// At most kMaxLayouts layouts are kept: past that the table starts afresh (an engine inventing layouts
// cannot grow it without bound); a push holds the layouts it uses. Main thread only.
#pragma once

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "kdp/fields/hq_field_types.h"
#include "kdp/host/speed.h"
#include "kdp/rtd/rtd_quote_rows.h"
#include "kdp/speed/speed_quote_data.h"

namespace kdp {

// Security codes are at most 30 characters, in replies and requests alike.
inline constexpr std::size_t kMaxQuoteCodeLength = 30;
// A code an item can be kept under: not empty, not blank, no control characters.
bool IsUsableQuoteCode(std::string_view code);

// What an item stores of `value`, delivered for field `id` of dictionary type `type`: a number for number
// fields; for integer fields a number within 32 bits, rounded; for text fields a text, converted from the
// engine's code page to UTF-8 unless the field is a cloud indicator or the text is wide already (it goes
// to `text`); nothing otherwise (the field still counts as delivered).
TKrQuoteValue StoredValue(int type, std::uint32_t id, const QuoteVariant& value, std::string& text);
// StoredValue of a number.
inline TKrQuoteValue StoredNumber(int type, double number) {
  TKrQuoteValue stored;
  if (type == HQDICDATA_TYPE_DOUBLE) {
    stored.kind = TKrQuoteValue::kNumber;
    stored.number = number;
  } else if (type == HQDICDATA_TYPE_INTEGER && number <= std::numeric_limits<std::int32_t>::max() &&
             number >= std::numeric_limits<std::int32_t>::min()) {
    stored.kind = TKrQuoteValue::kInteger;
    stored.integer = static_cast<std::int32_t>(std::llround(number));
  }
  return stored;
}

class TKrQuoteLayouts {
 public:
  static constexpr std::size_t kMaxLayouts = 256;
  // At most this many converted texts are remembered; past that the memory starts afresh.
  static constexpr std::size_t kMaxRememberedTexts = 16384;

  TKrQuoteLayouts();
  ~TKrQuoteLayouts();
  TKrQuoteLayouts(const TKrQuoteLayouts&) = delete;
  TKrQuoteLayouts& operator=(const TKrQuoteLayouts&) = delete;

  // An engine push (REQUIRES: TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(data)).
  std::shared_ptr<const TKrQuotePush> Prepare(host::IDataSet& data);
  // Update records (the cloud's).
  std::shared_ptr<const TKrQuotePush> Prepare(const std::vector<TSpeedQuoteData>& rows);

  std::size_t LayoutCount() const { return engine_.size() + records_.size(); }
  std::size_t RememberedTextCount() const { return utf8Texts_.size(); }

 private:
  struct TLayout;
  class TBuilder;

  std::shared_ptr<const TLayout> EngineLayout(host::IDataSet& values);
  std::shared_ptr<const TLayout> RecordLayout(const std::vector<std::uint32_t>& ids, std::size_t count);
  void MakeRoom();
  // `codePageText` in UTF-8, converted once and remembered: names and other texts come push after push.
  const std::string& Utf8Of(std::string_view codePageText);

  struct TTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  // Keyed by the layout's columns as sent: each column's name and type name (engine), or its IDs (records).
  std::unordered_map<std::string, std::shared_ptr<const TLayout>> engine_;
  std::unordered_map<std::string, std::shared_ptr<const TLayout>> records_;
  std::shared_ptr<const TLayout> lastEngine_;
  std::shared_ptr<const TLayout> lastRecord_;
  std::unordered_map<std::string, std::string, TTextHash, std::equal_to<>> utf8Texts_;  // by code-page text
};

}  // namespace kdp
