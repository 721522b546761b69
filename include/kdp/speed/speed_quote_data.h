// Real-time quote rows as the quote engine (and the cloud index manager) deliver them, and the parser of
// the engine's quote data sets (command 3070).
//
// A quote data set holds packets (rows); packet p has a header table in column 0 and a body table in
// column 1; each body row is one security: its code in column 0 and, in column 1, a one-row table whose
// columns are named by field ID and typed "double", "int", "int64" or "string".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "kdp/host/speed.h"

namespace kdp {

// A text as delivered: quote-engine texts are narrow (code page 936), cloud texts are already wide
// (here: UTF-8 already).
struct NarrowText {
  std::string bytes;
  bool operator==(const NarrowText&) const = default;
};
struct WideText {
  std::string utf8;
  bool operator==(const WideText&) const = default;
};

// One delivered value: a number, an integer or a text.
using QuoteVariant = std::variant<double, std::int64_t, NarrowText, WideText>;

// The update record of one security.
struct TSpeedQuoteData {
  std::string FKoraCode;
  std::vector<std::uint32_t> FItemArray;  // field IDs
  std::vector<QuoteVariant> FValueArray;  // parallel to FItemArray
};

// The rows of a quote data set (or of a cloud update), in delivery order.
class TKrSpeedDataSetParseCmdID3070 {
 public:
  TKrSpeedDataSetParseCmdID3070() = default;
  explicit TKrSpeedDataSetParseCmdID3070(std::vector<TSpeedQuoteData> rows) : rows_(std::move(rows)) {}
  // Parses every packet of `data`; malformed packets, rows and columns are skipped.
  explicit TKrSpeedDataSetParseCmdID3070(const std::shared_ptr<host::IDataSet>& data);

  int GetRowCount() const { return static_cast<int>(rows_.size()); }
  // REQUIRES: 0 <= row < GetRowCount().
  const TSpeedQuoteData& GetQuoteData(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  const std::vector<TSpeedQuoteData>& Rows() const { return rows_; }

  // Whether a data set has the layout of a quote push: at least one packet of two columns whose body
  // has at least one row of two columns.
  static bool HasQuoteLayout(const std::shared_ptr<host::IDataSet>& data);

 private:
  std::vector<TSpeedQuoteData> rows_;
};

}  // namespace kdp
