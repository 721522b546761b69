// Quote rows and pushes as the stand-in engine sends them, shared by the real-time benchmarks: the sample
// securities, a field set, a value per field and row, and the engine's data set of a list of rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/speed.h"
#include "kdp/speed/speed_quote_data.h"

namespace kdp::bench {

// The 25 fields the stand-in engine sends for a security.
extern const std::vector<std::uint32_t> kEngineFields;

// The first `n` number fields of the dictionary; without the four time fields an item shows in the
// user's zone when `plainOnly`.
std::vector<std::uint32_t> NumberFields(std::size_t n, bool plainOnly = false);
// The codes of the sample security master, in its order (starts the bench host).
std::vector<std::string> SampleCodes();
// Row `row` of `code` with a value per field of `ids`: numbers for number fields, a code-page text for
// texts, an integer for integer fields.
TSpeedQuoteData QuoteRow(const std::string& code, const std::vector<std::uint32_t>& ids, std::size_t row);
// The rows as a quote push, laid out as the engine lays it out (one packet; per security a one-row table
// whose columns are named by field ID).
std::shared_ptr<host::IDataSet> QuotePush(const std::vector<TSpeedQuoteData>& rows);
// The rows with their texts already in UTF-8, as a cache write stores them.
std::vector<TSpeedQuoteData> WithTextsConverted(std::vector<TSpeedQuoteData> rows);
// The value at fraction `q` of the samples (0 for none).
double Quantile(std::vector<double> samples, double q);

}  // namespace kdp::bench
