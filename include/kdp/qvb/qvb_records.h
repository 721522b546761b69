// The records of the QVB economic-database service: the packed indicator records the terminal keeps
// (byte layouts as the service defines them, little-endian, no padding; a text[n] is a length byte and
// room for n 8-bit characters), the frequencies, and one decoded observation with its series.
//
// Dates inside the records are day numbers since 1899-12-30 in a Word; the service sends dates as
// integers (QVBDateToDayNumber).
//
// Plain values: any thread, one at a time.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kdp {

enum TKrQVBFreqType : std::uint8_t {
  ftUndated,
  ftEveryday,
  ftDaily,
  ftWeekly,
  ftMonthly,
  ftQuarterly,
  ftSemiAnnual,
  ftYearly,
  ftAnnual
};
// The frequency of a reply's code: 1 every day, 2 weekly, 3 monthly, 4 quarterly, 5 half-yearly,
// 6 annual; anything else undated.
TKrQVBFreqType QVBFreqFromCode(std::int32_t code);

enum TKrQVBDataFormatType : std::uint8_t { dftFixed, dftGeneral, dftScientific };

// A reply's date as a day number: above 19000000 yyyymmdd, above 190000 yyyymm (the month's last day),
// otherwise a year (its 31 December). 0 for a date that is not one or does not fit a Word.
std::uint16_t QVBDateToDayNumber(std::int64_t value);

#pragma pack(push, 1)

// A length byte and room for N bytes of UTF-8 text. Set cuts the text to N bytes (and to 255, all a
// length byte can say), at the start of a character.
template <std::size_t N>
struct TQVBShortString {
  std::uint8_t Length = 0;
  std::array<char, N> Chars{};

  void Set(std::string_view text) {
    std::size_t length = std::min({text.size(), N, std::size_t{255}});
    while (length < text.size() && length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    Length = static_cast<std::uint8_t>(length);
    std::copy_n(text.begin(), Length, Chars.begin());
  }
  std::string Get() const { return std::string(Chars.data(), std::min<std::size_t>(Length, N)); }
};

struct TQVBTreeNodeProps4 {
  std::uint8_t HasData = 0;
  TQVBShortString<30> Identity;
  std::uint16_t BeginDate = 0;
  std::uint16_t EndDate = 0;
  TKrQVBFreqType TimeFrequency = ftUndated;
  TQVBShortString<30> Country;
  TQVBShortString<40> Source;
  TQVBShortString<10> CurrencyType;
  TQVBShortString<40> _Unit;
  std::uint8_t Decimals = 0;
  std::uint8_t HasNote = 0;
  TKrQVBDataFormatType DataFormat = dftFixed;
  TQVBShortString<200> Description;
  std::uint16_t UpdateDate = 0;
};
static_assert(sizeof(TQVBTreeNodeProps4) == 367);

struct TQVBTreeNodeSearchProps {
  TQVBTreeNodeProps4 Props;
  std::uint32_t NodeId = 0;
  std::int32_t DBId = 0;
  std::int32_t Language = 0;
  std::uint32_t ParentId = 0;
  std::uint8_t IsFolder = 0;
};
static_assert(sizeof(TQVBTreeNodeSearchProps) == 384);

struct TQVBTreeNodeNote {
  TQVBShortString<500> Note;
};
static_assert(sizeof(TQVBTreeNodeNote) == 501);

struct TKrQVBOneData {
  double Value = 0;
  std::uint16_t VBeginDate = 0;
  std::uint16_t VEndDate = 0;
  std::uint8_t IsUserObs = 0;
};
static_assert(sizeof(TKrQVBOneData) == 13);

#pragma pack(pop)

// One decoded series: its name, its attributes (a kind byte and a text each) and its observations.
struct TKrQVBSeries {
  std::string Name;
  std::vector<std::pair<std::uint8_t, std::string>> Attributes;
  std::vector<TKrQVBOneData> Values;
};

}  // namespace kdp
