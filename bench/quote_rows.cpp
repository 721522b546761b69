#include "quote_rows.h"

#include <algorithm>

#include <fmt/format.h>

#include "bench_host.h"
#include "fields/hq_dictionary.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/host/ansi.h"
#include "kdp/host/data_table.h"
#include "kdp/host/reply_packet.h"
#include "scripted_speed.h"

namespace kdp::bench {
namespace {

// A value of a field as the engine sends it: numbers for number fields, a code-page text for texts, an
// integer for integer fields.
QuoteVariant EngineValue(std::uint32_t id, std::size_t row) {
  switch (KrHQDictionaryImpl().GetTypeByID(static_cast<int>(id))) {
    case HQDICDATA_TYPE_STRING:
      return NarrowText{host::Utf8ToAnsi(fmt::format("证券{}", row))};
    case HQDICDATA_TYPE_INTEGER:
      return static_cast<std::int64_t>(row % 3);
    default:
      return id == 1 ? 20261204.0 : id == 2 || id > 1000 ? 103015.0 : 10.0 + static_cast<double>(row) * 0.37 + id;
  }
}

}  // namespace

// The 25 fields the stand-in engine sends for a security.
const std::vector<std::uint32_t> kEngineFields{1,  2,  3,  4,  5,  6,  7,  8,  9,  10,  11,   12,  13,
                                               14, 15, 16, 17, 18, 20, 25, 26, 81, 187, 1027, 1028};

// The first `n` number fields of the dictionary; without the four time fields an item shows in the
// user's zone when `plainOnly`.
std::vector<std::uint32_t> NumberFields(std::size_t n, bool plainOnly) {
  std::vector<std::uint32_t> ids;
  const auto& dictionary = KrHQDictionaryImpl();
  for (int id = 1; id <= dictionary.GetMaxIndex() && ids.size() < n; ++id) {
    if (plainOnly && (id == 1 || id == 2 || id == 1027 || id == 1028)) continue;
    if (dictionary.GetDictionaryItem(id) && dictionary.GetTypeByID(id) == HQDICDATA_TYPE_DOUBLE) {
      ids.push_back(static_cast<std::uint32_t>(id));
    }
  }
  return ids;
}

std::vector<std::string> SampleCodes() {
  std::vector<std::string> codes;
  for (const auto& security : BenchHost().Securities().All()) codes.push_back(security->GetKoraCode());
  return codes;
}

TSpeedQuoteData QuoteRow(const std::string& code, const std::vector<std::uint32_t>& ids, std::size_t row) {
  TSpeedQuoteData q;
  q.FKoraCode = code;
  for (std::uint32_t id : ids) {
    q.FItemArray.push_back(id);
    q.FValueArray.push_back(EngineValue(id, row));
  }
  return q;
}

// The rows as a quote push, laid out as the engine lays it out (one packet; per security a one-row table
// whose columns are named by field ID).
std::shared_ptr<host::IDataSet> QuotePush(const std::vector<TSpeedQuoteData>& rows) {
  auto body = host::MakeQuoteBody();
  std::shared_ptr<host::TDataTable> previous;
  for (const TSpeedQuoteData& row : rows) {
    auto values = std::make_shared<host::TDataTable>();
    values->AddRow();
    for (std::size_t i = 0; i < row.FItemArray.size(); ++i) {
      const std::string name = std::to_string(row.FItemArray[i]);
      const QuoteVariant& v = row.FValueArray[i];
      if (const auto* d = std::get_if<double>(&v)) {
        values->Set(0, values->AddField(name, "double"), *d);
      } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
        values->Set(0, values->AddField(name, "int64"), *n);
      } else {
        values->Set(0, values->AddField(name, "string"), std::get<NarrowText>(v).bytes);
      }
    }
    if (previous) values->ShareFieldsWith(*previous);  // as an engine decoding rows of one layout does
    host::AddQuoteBodyRow(*body, row.FKoraCode, values);
    previous = std::move(values);
  }
  return testing::QuotePacket(body);
}

// The rows with their texts already in UTF-8, as a cache write stores them.
std::vector<TSpeedQuoteData> WithTextsConverted(std::vector<TSpeedQuoteData> rows) {
  for (TSpeedQuoteData& row : rows) {
    for (QuoteVariant& v : row.FValueArray) {
      if (const auto* narrow = std::get_if<NarrowText>(&v)) v = WideText{host::AnsiToUtf8(narrow->bytes)};
    }
  }
  return rows;
}

// The value at fraction `q` of sorted samples.
double Quantile(std::vector<double> samples, double q) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto at = static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[std::min(at, samples.size() - 1)];
}

}  // namespace kdp::bench
