// The real-time cache and model under a price board's load, each measured against a plain baseline in the
// same benchmark (paired_timing.h):
//   SetRealTimeData: 30-field updates of 5,000 securities, against the same (ID, value) pairs written into
//     a std::unordered_map<uint32_t, double> per security;
//   BoardRepaint: 20 formatted fields of 500 rows read through the RTD model, against formatting the
//     model's own values with fmt::format("{:.2f}") (texts copied);
//   FieldReadByID: every number field of 500 cached items read by ID through IRTDItem, against
//     std::unordered_map<uint32_t, double>::find on the same fields;
//   FieldReadThroughModel: the same reads through the model by code (a widget reading a row), against a
//     map of maps (code, then field);
//   PushMainThreadCost: one quote push of 220 securities x 25 fields delivered to a model as the engine
//     delivers it (parsed, stored, widget told), against the cache writes alone: the same rows, as the
//     parser hands them over (texts in the engine's code page), written into the model's items;
//   PushToCallBack/N: the stand-in engine's push reaching N open widgets, main-thread CPU time from the post
//     to each widget's call-back (median and p99), against the same push reaching one widget; the whole
//     delivery (every widget's cache written) is reported beside it (whole_1_us, whole_n_us);
//   ItemMemory: heap bytes per cached security with 60 fields (item, cache and model share), after another
//     item held 2,000 cloud indicator fields.
#include <algorithm>
#include <map>
#include <unordered_map>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "fields/hq_dictionary.h"
#include "heap_use.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/host/ansi.h"
#include "kdp/host/bin_document.h"
#include "kdp/host/data_table.h"
#include "kdp/host/reply_packet.h"
#include "kdp/rtd/rtd_model.h"
#include "paired_timing.h"
#include "quote_rows.h"
#include "realtime_subscription.h"
#include "rtd/rtd_item.h"
#include "rtd/rtd_provider.h"
#include "scripted_speed.h"

namespace kdp::bench {
namespace {

constexpr int kSecurities = 5000;

void BM_SetRealTimeData(benchmark::State& state) {
  BenchHost();
  const auto ids = NumberFields(30);
  std::vector<TSpeedQuoteData> updates;
  for (int s = 0; s < kSecurities; ++s) {
    updates.push_back(QuoteRow(fmt::format("{:06}.SH", s), ids, static_cast<std::size_t>(s)));
  }
  std::vector<std::shared_ptr<TKrRTDItem>> items;
  for (int s = 0; s < kSecurities; ++s) items.push_back(std::make_shared<TKrRTDItem>());
  std::vector<std::unordered_map<std::uint32_t, double>> maps(kSecurities);
  Interleave(
      state,
      [&] {
        for (std::size_t s = 0; s < updates.size(); ++s) {
          const auto& u = updates[s];
          auto& map = maps[s];
          for (std::size_t i = 0; i < u.FItemArray.size(); ++i)
            map[u.FItemArray[i]] = std::get<double>(u.FValueArray[i]);
        }
        benchmark::ClobberMemory();
      },
      [&] {
        for (std::size_t s = 0; s < updates.size(); ++s) items[s]->SetRealTimeData(updates[s]);
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_SetRealTimeData)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly();

// A model whose cache holds every sample security with the engine's 25 fields, written as the engine
// delivers them.
struct FilledModel {
  FilledModel() : codes(SampleCodes()) {
    std::vector<TSpeedQuoteData> rows;
    for (std::size_t c = 0; c < codes.size(); ++c) rows.push_back(QuoteRow(codes[c], kEngineFields, c));
    model.Provider()->CloudSubscriber().NotifyUpdateCloudData(WithTextsConverted(std::move(rows)));
  }
  std::vector<std::string> codes;  // first: finding them starts the host the model needs
  TKrRTDModel model;
};

constexpr const char* kBoardFields[] = {"NewPrice",   "PreClose",   "Open",        "High",        "Low",
                                        "Volume",     "Amount",     "Change",      "ChangeRatio", "BuyPrice1",
                                        "SellPrice1", "BuyVolume1", "SellVolume1", "AvgPrice",    "TurnoverRate",
                                        "LimitUp",    "LimitDown",  "StockName",   "TradeTime",   "TradeDate"};
constexpr int kBoardRows = 500;

void BM_BoardRepaint(benchmark::State& state) {
  FilledModel board;
  // The baseline's cells: each number field's stored value, each text as stored.
  const auto& dictionary = KrHQDictionaryImpl();
  std::vector<double> numbers;
  std::vector<std::string> texts;
  for (int row = 0; row < kBoardRows; ++row) {
    const std::string& code = board.codes[static_cast<std::size_t>(row) % board.codes.size()];
    for (const char* field : kBoardFields) {
      const auto id = static_cast<std::uint32_t>(dictionary.GetIDByName(field));
      if (dictionary.GetTypeByID(static_cast<int>(id)) == HQDICDATA_TYPE_STRING) {
        texts.push_back(board.model.GetStringVal(code, id));
      } else {
        numbers.push_back(board.model.GetDoubleVal2(code, id, 0));
      }
    }
  }
  std::size_t bytes = 0;
  Interleave(
      state,
      [&] {
        for (double v : numbers) bytes += fmt::format("{:.2f}", v).size();
        for (const std::string& text : texts) bytes += std::string(text).size();
      },
      [&] {
        for (int row = 0; row < kBoardRows; ++row) {
          const std::string& code = board.codes[static_cast<std::size_t>(row) % board.codes.size()];
          for (const char* field : kBoardFields) bytes += board.model.GetFormatVal(code, field, true).size();
        }
      });
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_BoardRepaint)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly();

void BM_FieldReadByID(benchmark::State& state) {
  FilledModel filled;
  const auto ids = NumberFields(100, true);
  std::vector<std::uint32_t> read;  // the number fields the items hold
  for (std::uint32_t id : ids) {
    if (std::find(kEngineFields.begin(), kEngineFields.end(), id) != kEngineFields.end()) read.push_back(id);
  }
  std::vector<std::shared_ptr<IRTDItem>> items;
  std::vector<std::unordered_map<std::uint32_t, double>> maps;
  for (const std::string& code : filled.codes) {
    items.push_back(filled.model.GetRTDItem(code));
    auto& map = maps.emplace_back();
    for (std::uint32_t id : read) map.emplace(id, items.back()->GetDoubleDataByID(id));
  }
  double sum = 0;
  Interleave(
      state,
      [&] {
        for (const auto& map : maps) {
          for (std::uint32_t id : read) sum += map.find(id)->second;
        }
      },
      [&] {
        for (const auto& item : items) {
          for (std::uint32_t id : read) sum += item->GetDoubleDataByID(id);
        }
      });
  benchmark::DoNotOptimize(sum);
  state.counters["reads"] = static_cast<double>(items.size() * read.size());
}
BENCHMARK(BM_FieldReadByID)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

void BM_FieldReadThroughModel(benchmark::State& state) {
  FilledModel filled;
  const auto ids = NumberFields(100, true);
  std::vector<std::uint32_t> read;
  for (std::uint32_t id : ids) {
    if (std::find(kEngineFields.begin(), kEngineFields.end(), id) != kEngineFields.end()) read.push_back(id);
  }
  std::unordered_map<std::string, std::unordered_map<std::uint32_t, double>> maps;
  for (const std::string& code : filled.codes) {
    auto& map = maps[code];
    for (std::uint32_t id : read) map.emplace(id, filled.model.GetDoubleVal(code, id, 0));
  }
  double sum = 0;
  Interleave(
      state,
      [&] {
        for (const std::string& code : filled.codes) {
          for (std::uint32_t id : read) sum += maps.find(code)->second.find(id)->second;
        }
      },
      [&] {
        for (const std::string& code : filled.codes) {
          for (std::uint32_t id : read) sum += filled.model.GetDoubleVal(code, id, 0);
        }
      });
  benchmark::DoNotOptimize(sum);
  state.counters["reads"] = static_cast<double>(filled.codes.size() * read.size());
}
BENCHMARK(BM_FieldReadThroughModel)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

void BM_PushMainThreadCost(benchmark::State& state) {
  auto& host = BenchHost();
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  // The package's session takes the engine it finds when it starts.
  host.StopPackage();
  host.Context().SetSpeed(engine);
  host.StartPackage();
  {
    TKrRTDModel model;
    int notified = 0;
    model.SetUpdateNotify([&] { ++notified; });
    std::vector<std::string> codes = SampleCodes();
    codes.resize(220);
    std::vector<TSpeedQuoteData> rows;
    for (std::size_t c = 0; c < codes.size(); ++c) rows.push_back(QuoteRow(codes[c], kEngineFields, c));
    const auto push = QuotePush(rows);
    const TKrRealTimeParamStructure params = testing::Subscription(codes, kEngineFields);
    model.Subscrible(params);
    auto observer = engine->observers.empty() ? nullptr : engine->observers.back();
    if (observer) observer->SaveQuoteData(push);  // the items exist from here on
    std::vector<std::shared_ptr<IRTDItem>> items;
    for (const TSpeedQuoteData& row : rows) items.push_back(model.GetRTDItem(row.FKoraCode));
    if (!observer || std::find(items.begin(), items.end(), nullptr) != items.end()) {
      state.SkipWithError("the push did not reach the model");
    } else {
      Interleave(
          state,
          [&] {
            for (const TSpeedQuoteData& row : rows) model.GetRTDItem(row.FKoraCode)->SetRealTimeData(row);
          },
          [&] { observer->SaveQuoteData(push); });
    }
    state.counters["notified"] = notified;
  }
  host.StopPackage();
  host.Context().SetSpeed(nullptr);
  host.StartPackage();
}
BENCHMARK(BM_PushMainThreadCost)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

void BM_PushToCallBack(benchmark::State& state) {
  const EngineHost engine = EngineBenchHost();
  std::vector<std::string> codes;
  for (const auto& security : engine.host.Securities().All()) codes.push_back(security->GetKoraCode());
  std::vector<std::uint32_t> fields;
  for (const auto& [id, role] : engine.host.Speed()->Fields().All()) fields.push_back(id);
  const TKrRealTimeParamStructure params = testing::Subscription(codes, fields);
  const auto deliver = [&] {
    engine.host.Speed()->SyncNow();
    engine.host.Loop().RunUntilIdle();
  };
  // One push reaching `subscribers` widgets: main-thread CPU microseconds from the engine's post to each
  // widget's first call-back, and to the end of the delivery (every cache written). The widgets have seen
  // their snapshot and two pushes before, as widgets that stay open have.
  const auto pushTo = [&](int subscribers, std::vector<double>& latencies, std::vector<double>& totals) {
    std::vector<std::unique_ptr<TKrRTDModel>> widgets;
    std::vector<double> notifiedAt(static_cast<std::size_t>(subscribers), -1);
    bool armed = false;
    for (int w = 0; w < subscribers; ++w) {
      auto& model = widgets.emplace_back(std::make_unique<TKrRTDModel>());
      model->SetUpdateNotify([&, w] {
        double& at = notifiedAt[static_cast<std::size_t>(w)];
        if (armed && at < 0) at = ThreadCpuMicros();
      });
      model->Subscrible(params);
    }
    deliver();  // the snapshots of the new subscriptions
    for (int warmUp = 0; warmUp < 2; ++warmUp) {
      engine.clock.Advance(std::chrono::seconds(1));
      deliver();
    }
    engine.clock.Advance(std::chrono::seconds(1));
    engine.host.Speed()->SyncNow();  // every security traded; the engine has posted its push
    armed = true;
    const double posted = ThreadCpuMicros();
    engine.host.Loop().RunUntilIdle();
    totals.push_back(ThreadCpuMicros() - posted);
    for (double at : notifiedAt) {
      if (at >= 0) latencies.push_back(at - posted);
    }
    armed = false;
  };
  const int n = static_cast<int>(state.range(0));
  std::vector<double> one, many, oneTotal, manyTotal;
  bool oneFirst = true;
  for (auto _ : state) {
    if (oneFirst) {
      pushTo(1, one, oneTotal);
      pushTo(n, many, manyTotal);
    } else {
      pushTo(n, many, manyTotal);
      pushTo(1, one, oneTotal);
    }
    oneFirst = !oneFirst;
  }
  state.counters["median_1_us"] = Quantile(one, 0.5);
  state.counters["p99_1_us"] = Quantile(one, 0.99);
  state.counters["median_n_us"] = Quantile(many, 0.5);
  state.counters["p99_n_us"] = Quantile(many, 0.99);
  state.counters["ratio"] = Quantile(one, 0.5) > 0 ? Quantile(many, 0.5) / Quantile(one, 0.5) : 0;
  state.counters["whole_1_us"] = Quantile(oneTotal, 0.5);
  state.counters["whole_n_us"] = Quantile(manyTotal, 0.5);
  state.counters["callbacks"] = static_cast<double>(many.size());
}
BENCHMARK(BM_PushToCallBack)
    ->Arg(4)
    ->Arg(16)
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// Adds cloud indicator fields 10001 up to `last` that the dictionary does not define yet.
void AddCloudFields(int last) {
  auto& dictionary = KrHQDictionaryImpl();
  std::string xml = "<HQDictionary>";
  for (int id = 10001; id <= last; ++id) {
    if (dictionary.GetDictionaryItem(id) == nullptr) {
      xml += fmt::format(R"(<Item id="{}" name="CloudIndicator{}" type="double" CloudType="1" CloudCommandID="1000"/>)",
                         id, id);
    }
  }
  xml += "</HQDictionary>";
  std::string bytes;
  auto document = host::HQQueryBinDocInterface();
  if (host::EncodeXmlAsBinDocument(xml, bytes) && document->LoadFromBytes(bytes)) {
    dictionary.LoadBinDictionaryData(*document->GetRoot());
  }
}

void BM_ItemMemory(benchmark::State& state) {
  BenchHost();
  constexpr int kCloudFields = 2000;
  AddCloudFields(10000 + kCloudFields);
  const auto& dictionary = KrHQDictionaryImpl();
  // Another widget's security that held 2,000 cloud indicators.
  TKrRTDModel other;
  std::vector<std::uint32_t> cloud;
  for (std::uint32_t id = 10001; id <= 10000 + kCloudFields; ++id) cloud.push_back(id);
  other.Provider()->CloudSubscriber().NotifyUpdateCloudData({QuoteRow("600000.SH", cloud, 0)});
  // Sixty fields: every quote field of the sample dictionary, then cloud indicators and Lux fields.
  std::vector<std::uint32_t> ids;
  for (int id = 1; id <= 30000 && ids.size() < 60; ++id) {
    if (dictionary.GetDictionaryItem(id)) ids.push_back(static_cast<std::uint32_t>(id));
  }
  const std::vector<std::string> codes = SampleCodes();
  std::vector<TSpeedQuoteData> rows;
  for (std::size_t c = 0; c < codes.size(); ++c) rows.push_back(QuoteRow(codes[c], ids, c));
  rows = WithTextsConverted(std::move(rows));
  double bytesPerSecurity = 0;
  for (auto _ : state) {
    TKrRTDModel model;
    std::size_t shown = 0;
    const std::size_t before = HeapBytesInUse();
    // The securities' rows as they arrive, and one formatted cell each as a board shows them.
    model.Provider()->CloudSubscriber().NotifyUpdateCloudData(rows);
    for (const std::string& code : codes) shown += model.GetFormatVal(code, "NewPrice").size();
    const std::size_t after = HeapBytesInUse();
    benchmark::DoNotOptimize(shown);
    bytesPerSecurity = static_cast<double>(after - before) / static_cast<double>(codes.size());
  }
  state.counters["fields"] = static_cast<double>(ids.size());
  state.counters["bytes_per_security"] = bytesPerSecurity;
}
BENCHMARK(BM_ItemMemory)->Iterations(3);

}  // namespace
}  // namespace kdp::bench
