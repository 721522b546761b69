// The real-time cache under a price board's load.
//   SetRealTimeData: 30-field updates of 5,000 securities, against writing the same (ID, value) pairs into
//     a std::unordered_map<uint32_t, double> per security (the baseline).
//   BoardRepaint: 20 formatted fields of 500 securities read through the RTD model, against formatting
//     the same 10,000 numbers with fmt::format("{:.2f}") alone (the baseline).
//   ItemMemory: bytes held per cached security with 60 fields (reported as a counter).
#include <unordered_map>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/rtd/rtd_model.h"
#include "fields/hq_dictionary.h"
#include "rtd/rtd_item.h"

namespace kdp::bench {
namespace {

constexpr int kSecurities = 5000;

// The first `n` number fields of the sample dictionary.
std::vector<std::uint32_t> NumberFields(std::size_t n) {
  std::vector<std::uint32_t> ids;
  const auto& dictionary = KrHQDictionaryImpl();
  for (int id = 1; id <= dictionary.GetMaxIndex() && ids.size() < n; ++id) {
    if (dictionary.GetDictionaryItem(id) && dictionary.GetTypeByID(id) == HQDICDATA_TYPE_DOUBLE) {
      ids.push_back(static_cast<std::uint32_t>(id));
    }
  }
  return ids;
}

std::vector<TSpeedQuoteData> Updates(const std::vector<std::uint32_t>& ids, double base) {
  std::vector<TSpeedQuoteData> updates(kSecurities);
  for (int s = 0; s < kSecurities; ++s) {
    auto& u = updates[static_cast<std::size_t>(s)];
    u.FKoraCode = fmt::format("{:06}.SH", s);
    for (std::uint32_t id : ids) {
      u.FItemArray.push_back(id);
      u.FValueArray.emplace_back(std::in_place_type<double>, base + s * 0.01 + id);
    }
  }
  return updates;
}

void BM_SetRealTimeData(benchmark::State& state) {
  BenchHost();
  const auto ids = NumberFields(30);
  const auto updates = Updates(ids, 10.0);
  std::vector<std::shared_ptr<TKrRTDItem>> items;
  for (int s = 0; s < kSecurities; ++s) items.push_back(std::make_shared<TKrRTDItem>());
  for (auto _ : state) {
    for (int s = 0; s < kSecurities; ++s)
      items[static_cast<std::size_t>(s)]->SetRealTimeData(updates[static_cast<std::size_t>(s)]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSecurities * static_cast<std::int64_t>(ids.size()));
}
BENCHMARK(BM_SetRealTimeData)->Unit(benchmark::kMicrosecond);

void BM_SetRealTimeData_UnorderedMapBaseline(benchmark::State& state) {
  BenchHost();
  const auto ids = NumberFields(30);
  const auto updates = Updates(ids, 10.0);
  std::vector<std::unordered_map<std::uint32_t, double>> maps(kSecurities);
  for (auto _ : state) {
    for (int s = 0; s < kSecurities; ++s) {
      const auto& u = updates[static_cast<std::size_t>(s)];
      auto& map = maps[static_cast<std::size_t>(s)];
      for (std::size_t i = 0; i < u.FItemArray.size(); ++i) map[u.FItemArray[i]] = std::get<double>(u.FValueArray[i]);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSecurities * static_cast<std::int64_t>(ids.size()));
}
BENCHMARK(BM_SetRealTimeData_UnorderedMapBaseline)->Unit(benchmark::kMicrosecond);

constexpr const char* kBoardFields[] = {"NewPrice",   "PreClose",   "Open",        "High",        "Low",
                                        "Volume",     "Amount",     "Change",      "ChangeRatio", "BuyPrice1",
                                        "SellPrice1", "BuyVolume1", "SellVolume1", "AvgPrice",    "TurnoverRate",
                                        "LimitUp",    "LimitDown",  "StockName",   "TradeTime",   "TradeDate"};
constexpr int kBoardRows = 500;

// A model whose cache holds every sample security with a full quote.
struct BoardModel {
  BoardModel() {
    auto& host = BenchHost();
    for (const auto& security : host.Securities().All()) codes.push_back(security->GetKoraCode());
    const auto& dictionary = KrHQDictionaryImpl();
    std::vector<std::uint32_t> ids;
    for (const char* name : kBoardFields) ids.push_back(static_cast<std::uint32_t>(dictionary.GetIDByName(name)));
    for (std::size_t c = 0; c < codes.size(); ++c) {
      auto item = model.Cache()->AddRTDItem(codes[c], model.GetSecurity(codes[c]));
      TSpeedQuoteData q;
      q.FKoraCode = codes[c];
      for (std::uint32_t id : ids) {
        q.FItemArray.push_back(id);
        if (dictionary.GetTypeByID(static_cast<int>(id)) == HQDICDATA_TYPE_STRING) {
          q.FValueArray.emplace_back(std::in_place_type<NarrowText>, NarrowText{"name"});
        } else {
          const double value = id == 1 ? 20261204.0 : id == 2 ? 103015.0 : 10.0 + static_cast<double>(c) * 0.37 + id;
          q.FValueArray.emplace_back(std::in_place_type<double>, value);
        }
      }
      item->SetRealTimeData(q);
    }
  }
  TKrRTDModel model;
  std::vector<std::string> codes;
};

void BM_BoardRepaint(benchmark::State& state) {
  BoardModel board;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (int row = 0; row < kBoardRows; ++row) {
      const std::string& code = board.codes[static_cast<std::size_t>(row) % board.codes.size()];
      for (const char* field : kBoardFields) bytes += board.model.GetFormatVal(code, field, true).size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kBoardRows * static_cast<std::int64_t>(std::size(kBoardFields)));
}
BENCHMARK(BM_BoardRepaint)->Unit(benchmark::kMillisecond);

void BM_BoardRepaint_FmtBaseline(benchmark::State& state) {
  std::vector<double> values;
  for (int i = 0; i < kBoardRows * static_cast<int>(std::size(kBoardFields)); ++i) values.push_back(10.0 + i * 0.37);
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (double v : values) bytes += fmt::format("{:.2f}", v).size();
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_BoardRepaint_FmtBaseline)->Unit(benchmark::kMillisecond);

void BM_ItemMemory(benchmark::State& state) {
  BenchHost();
  const auto& dictionary = KrHQDictionaryImpl();
  std::vector<std::uint32_t> ids;
  // Sixty fields: every quote field of the sample dictionary, then cloud indicators and Lux fields.
  for (int id = 1; id <= 30000 && ids.size() < 60; ++id) {
    if (dictionary.GetDictionaryItem(id)) ids.push_back(static_cast<std::uint32_t>(id));
  }
  TSpeedQuoteData q;
  q.FKoraCode = "600000.SH";
  for (std::uint32_t id : ids) {
    q.FItemArray.push_back(id);
    if (dictionary.GetTypeByID(static_cast<int>(id)) == HQDICDATA_TYPE_STRING) {
      q.FValueArray.emplace_back(std::in_place_type<NarrowText>, NarrowText{"SPD"});
    } else {
      q.FValueArray.emplace_back(std::in_place_type<double>, 12.34);
    }
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    TKrRTDItem item;
    item.SetRealTimeData(q);
    bytes = item.MemoryBytes();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["fields"] = static_cast<double>(ids.size());
  state.counters["bytes_per_security"] = static_cast<double>(bytes + sizeof(std::shared_ptr<TKrRTDItem>) + 16);
}
BENCHMARK(BM_ItemMemory);

}  // namespace
}  // namespace kdp::bench
