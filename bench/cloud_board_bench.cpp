// A price board showing cloud indicators beside quote fields, measured against the same board with quote
// fields only (paired_timing.h):
//   BoardWithCloudFields: 500 rows of 12 columns (7 quote fields, 5 cloud indicators) repainted through
//     the RTD model: every security's update arrives (its quote row, and its cloud row as the cloud index
//     manager delivers one: the 5 indicators as numbers), then every cell is formatted; against the board
//     whose 5 extra columns are quote fields, its update one quote row of 12 fields per security.
// Rows cycle over the sample securities (260), as a board of 500 rows would over a smaller market. Each
// side has its own model; updates alternate between two value sets so every repaint formats new values.
#include <array>

#include <benchmark/benchmark.h>

#include "bench_host.h"
#include "fields/hq_dictionary.h"
#include "kdp/rtd/rtd_model.h"
#include "paired_timing.h"
#include "rtd/rtd_provider.h"

namespace kdp::bench {
namespace {

constexpr int kBoardRows = 500;
// The quote columns both boards show (the demo board's), then the five columns that differ.
constexpr std::array<const char*, 7> kQuoteColumns{"StockName",   "NewPrice", "PreClose", "Change",
                                                   "ChangeRatio", "Volume",   "TradeTime"};
constexpr std::array<const char*, 5> kCloudColumns{"MainNetInflow", "MainNetInflowRatio", "RelativeStrength20",
                                                   "InstitutionHoldingRatio", "TotalMarketValue"};
constexpr std::array<const char*, 5> kMoreQuoteColumns{"Open", "High", "Low", "Amount", "TurnoverRate"};

template <std::size_t N>
std::vector<std::uint32_t> IDs(const std::array<const char*, N>& names) {
  std::vector<std::uint32_t> ids;
  for (const char* name : names) ids.push_back(static_cast<std::uint32_t>(KrHQDictionaryImpl().GetIDByName(name)));
  return ids;
}

// A row of `ids` for a code, values moved by `shift` so two sets differ.
TSpeedQuoteData Row(const std::string& code, const std::vector<std::uint32_t>& ids, std::size_t row, double shift) {
  TSpeedQuoteData data{code, ids, {}};
  for (const std::uint32_t id : ids) {
    if (KrHQDictionaryImpl().GetTypeByID(static_cast<int>(id)) == HQDICDATA_TYPE_STRING) {
      data.FValueArray.emplace_back(WideText{"证券" + std::to_string(row)});
    } else {
      data.FValueArray.emplace_back(id == 2 ? 103015.0 : 10.0 + static_cast<double>(row % 97) * 0.37 + shift);
    }
  }
  return data;
}

// One board: its model, its columns and the two update sets (each a list of deliveries).
struct Board {
  Board(const std::vector<std::string>& codes, const std::vector<std::vector<std::uint32_t>>& deliveries,
        std::vector<const char*> columnNames)
      : columns(std::move(columnNames)) {
    for (int set = 0; set < 2; ++set) {
      for (const auto& ids : deliveries) {
        std::vector<TSpeedQuoteData> rows;
        for (std::size_t r = 0; r < codes.size(); ++r) rows.push_back(Row(codes[r], ids, r, set * 0.01));
        updates[set].push_back(std::move(rows));
      }
    }
    for (int row = 0; row < kBoardRows; ++row) rowCodes.push_back(codes[static_cast<std::size_t>(row) % codes.size()]);
  }
  // One repaint: the update arrives, then every cell is formatted; the bytes of text made.
  std::size_t Repaint(int set) {
    for (const auto& rows : updates[set]) model.Provider()->CloudSubscriber().NotifyUpdateCloudData(rows);
    std::size_t bytes = 0;
    for (const std::string& code : rowCodes)
      for (const char* column : columns) bytes += model.GetFormatVal(code, column, true).size();
    return bytes;
  }

  TKrRTDModel model;
  std::vector<const char*> columns;
  std::array<std::vector<std::vector<TSpeedQuoteData>>, 2> updates;
  std::vector<std::string> rowCodes;
};

void BM_BoardWithCloudFields(benchmark::State& state) {
  BenchHost();
  std::vector<std::string> codes;
  for (const auto& security : BenchHost().Securities().All()) codes.push_back(security->GetKoraCode());
  const auto quoteIDs = IDs(kQuoteColumns);
  auto allQuoteIDs = quoteIDs;
  for (const std::uint32_t id : IDs(kMoreQuoteColumns)) allQuoteIDs.push_back(id);

  std::vector<const char*> cloudColumns(kQuoteColumns.begin(), kQuoteColumns.end());
  cloudColumns.insert(cloudColumns.end(), kCloudColumns.begin(), kCloudColumns.end());
  std::vector<const char*> quoteColumns(kQuoteColumns.begin(), kQuoteColumns.end());
  quoteColumns.insert(quoteColumns.end(), kMoreQuoteColumns.begin(), kMoreQuoteColumns.end());
  Board withCloud(codes, {quoteIDs, IDs(kCloudColumns)}, cloudColumns);
  Board quoteOnly(codes, {allQuoteIDs}, quoteColumns);
  // Both boards show a value in every cell of their first row, or the comparison says nothing.
  for (Board* board : {&withCloud, &quoteOnly}) {
    board->Repaint(1);
    for (const char* column : board->columns) {
      if (board->model.IsNull(codes.front(), column))
        state.SkipWithError((std::string("no value for ") + column).c_str());
    }
  }

  int set = 0;
  std::size_t bytes = 0;
  Interleave(
      state, [&] { bytes += quoteOnly.Repaint(set); },
      [&] {
        bytes += withCloud.Repaint(set);
        set = 1 - set;
      });
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_BoardWithCloudFields)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly();

}  // namespace
}  // namespace kdp::bench
