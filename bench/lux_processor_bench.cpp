// The Lux processor family against plain baselines, each pair interleaved in one loop (see lux_bench.cpp):
// - the request-info factory creating every registered processor by its registered name, against a plain
//   std::unordered_map from the same names to constructors of the same classes (goal: within 1.5x; the
//   constructors, which read the channel texts and server addresses, are most of both sides);
// - every registered processor's sample reply through ProcessRpMsg, one benchmark each, reporting bytes
//   per second: the JSON processors parse their replies at about a fifth of the XML ones' rate, and of
//   those the KDD page, which parses every record's inner document too, is among the slowest per byte;
// - the KDD page on a reply of 200 records against the bare decode of the same bytes with nlohmann-json:
//   the outer document and every record's inner document parsed, nothing more.

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "bench_host.h"
#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "lux/lux_bond_processor.h"
#include "lux/lux_news_processor.h"
#include "lux/lux_processor_rows.h"
#include "lux/lux_req_info_factory.h"
#include "paired_timing.h"

namespace {

using kdp::TKrLuxDataRequestInfo;

using kdp::bench::Interleave;

template <class Processor>
std::shared_ptr<TKrLuxDataRequestInfo> Make() {
  return std::make_shared<Processor>();
}

using Constructor = std::function<std::shared_ptr<TKrLuxDataRequestInfo>()>;
using Constructors = std::unordered_map<std::string, Constructor>;

// The registered names and their classes, in registration order.
const std::vector<std::pair<std::string, Constructor>>& ProcessorClasses() {
  using namespace kdp;
  static const std::vector<std::pair<std::string, Constructor>> classes{
      {"LuxLEDNewsDataProcessor", Make<TKrLuxLEDNewsDataProcessor>},
      {"LuxSubjectNewsDataProcessor", Make<TKrLuxSubjectNewsDataProcessor>},
      {"LuxCommNewsDataProcessor", Make<TKrLuxCommNewsDataProcessor>},
      {"LuxNewsDataProcessor", Make<TKrLuxNewsDataProcessor>},
      {"LuxUserDefineNewsDataProcessor", Make<TKrLuxUserDefineNewsDataProcessor>},
      {"LuxGreatEventDataProcessor", Make<TKrLuxGreatEventDataProcessor>},
      {"LuxLiveNewsProcessor", Make<TKrLuxLiveNewsProcessor>},
      {"LuxResearchReportDataProcessor", Make<TKrLuxResearchReportDataProcessor>},
      {"LuxAnnouncementDataProcessor", Make<TKrLuxAnnouncementDataProcessor>},
      {"LuxSubjectDataProcessor", Make<TKrLuxSubjectDataProcessor>},
      {"LuxSubjectCommentNumProcessor", Make<TKrLuxSubjectCommentNumProcessor>},
      {"LuxSubjectCommentsProcessor", Make<TKrLuxSubjectCommentsProcessor>},
      {"LuxSubjectContentDataProcessor", Make<TKrLuxSubjectContentDataProcessor>},
      {"LuxSubjectListDataProcessor", Make<TKrLuxSubjectListDataProcessor>},
      {"LuxSubmitCommentsProcessor", Make<TKrLuxSubmitUserComment>},
      {"LuxViewPointBallotDataProcessor", Make<TKrLuxViewPointBallotDataProcessor>},
      {"LuxSHIndexBallotDataProcessor", Make<TKrLuxSHIndexBallotDataProcessor>},
      {"LuxBallotStateDataProcessor", Make<TKrLuxBallotStateDataProcessor>},
      {"LuxUserFractionDataProcessor", Make<TKrLuxUserFractionDataProcessor>},
      {"LuxFractionDeductDataProcessor", Make<TKrLuxFractionDeductDataProcessor>},
      {"LuxGetSubjectResourceIDProcessor", Make<TKrLuxGetSubjectResourceIDProcessor>},
      {"LuxSubjectCommentsByResourceIDProcessor", Make<TKrLuxSubjectCommentsByResourceIDProcessor>},
      {"LuxSHIndexUserIsGamblingDataProcessor", Make<TKrLuxSHIndexUserIsGamblingDataProcessor>},
      {"LuxSHIndexGamblingDataProcessor", Make<TKrLuxSHIndexGamblingDataProcessor>},
      {"LuxSHIndexGamblingResultDataProcessor", Make<TKrLuxSHIndexGamblingResultDataProcessor>},
      {"LuxNegativeNewsDataProcessor", Make<TKrLuxNegativeNewsDataProcessor>},
      {"LuxStockNewsProcessor", Make<TKrLuxStockNewsProcessor>},
      {"LuxBondQuotoDealedDataProcessor", Make<TKrLuxBondQuotoDealed>},
      {"LuxBBQF5DataProcessor", Make<TKrLuxBBQF5DataProcessor>},
      {"LuxBBQF5TranDataProcessor", Make<TKrLuxBBQF5TranDataProcessor>},
      {"LuxKDDF5DataProcessor", Make<TKrLuxKDDF5DataProcessor>},
      {"LuxKDDCommitBargain", Make<TKrLuxKDDCommitBargain>},
      {"LuxBenchmarkDataProcessor", Make<TKrLuxBenchmarkDataProcessor>},
      {"BondLuxDataProcessor", Make<TKrBondLuxDataProcessor>},
      {"LuxKDDAuthority", Make<TKrLuxKDDAuthority>},
      {"LuxBTAAuthority", Make<TKrLuxBTAAuthority>},
  };
  return classes;
}

// The baseline: the same classes in a map of plain constructors.
const Constructors& PlainConstructors() {
  static const Constructors constructors(ProcessorClasses().begin(), ProcessorClasses().end());
  return constructors;
}

kdp::TLuxReqInfoFactory& Factory() {
  kdp::bench::BenchHost();
  static kdp::TLuxReqInfoFactory factory;
  return factory;
}

void BM_FactoryByNameAgainstAMapOfConstructors(benchmark::State& state) {
  kdp::TLuxReqInfoFactory& factory = Factory();
  const Constructors& plain = PlainConstructors();
  std::vector<std::string> names(factory.RegisteredProcessorNames().begin(), factory.RegisteredProcessorNames().end());
  if (names.size() != plain.size() || !std::ranges::all_of(names, [&](const auto& n) { return plain.contains(n); })) {
    state.SkipWithError("the baseline does not list every registered processor");
  }
  std::vector<std::shared_ptr<TKrLuxDataRequestInfo>> made;
  made.reserve(names.size());
  Interleave(
      state,
      [&] {
        for (const std::string& name : names) made.push_back(plain.at(name)());
        benchmark::DoNotOptimize(made.data());
        made.clear();
      },
      [&] {
        for (const std::string& name : names) made.push_back(factory.CreateDataProcessor(name));
        benchmark::DoNotOptimize(made.data());
        made.clear();
      });
}
BENCHMARK(BM_FactoryByNameAgainstAMapOfConstructors)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The bytes of a reply as the client delivers them: the news server's 4-byte prefix, or the bond
// services' code header, before the document.
std::vector<std::uint8_t> ReplyBytes(const std::string& document, bool codeHeader) {
  kdp::host::TBaseMessage reply;
  reply.Header().MessageKind = 2;
  kdp::host::TStreamSerializer writer(reply.MessageBody());
  if (codeHeader) {
    writer.WriteLongWord(0);
    writer.WriteAnsiString("");
  } else {
    writer.WriteLongWord(static_cast<std::uint32_t>(document.size()));
  }
  reply.MessageBody().Write(document.data(), document.size());
  kdp::host::MemoryStream wire;
  reply.Serialize(wire);
  return {wire.Bytes().begin(), wire.Bytes().end()};
}

// A registered processor's sample reply (sample/scenario/lux/<name>.xml, .json or .coded.json).
std::vector<std::uint8_t> SampleReply(const std::string& name) {
  const std::string base = std::string(KDP_SAMPLE_REPLIES) + "/" + name;
  for (const char* extension : {".xml", ".json"}) {
    if (std::ifstream(base + extension)) return ReplyBytes(ReadFile(base + extension), false);
  }
  return ReplyBytes(ReadFile(base + ".coded.json"), true);
}

void ParseSampleReply(benchmark::State& state, const std::string& name) {
  auto processor = Factory().CreateDataProcessor(name);
  processor->SetIndexValue("appClass", "1306");  // for the processors that take their command from these
  processor->SetIndexValue("commandId", "3790");
  const std::vector<std::uint8_t> bytes = SampleReply(name);
  for (auto _ : state) {
    kdp::host::TBaseLuxMessage received(bytes, 1, kdp::host::mpNormal);
    if (!processor->ProcessRpMsg(received)) state.SkipWithError("the sample reply was refused");
    benchmark::DoNotOptimize(processor->GetAnalyseLuxData());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// Registered before main runs, so without the host: the names come from the table above.
const bool kSampleRepliesRegistered = [] {
  for (const auto& entry : ProcessorClasses()) {
    const std::string processor = entry.first;
    benchmark::RegisterBenchmark(("BM_SampleReply/" + processor).c_str(), [processor](benchmark::State& state) {
      ParseSampleReply(state, processor);
    })->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

// 200 KDD records: quotes and requests for quote as documents inside the reply, with negotiations.
std::string KddReply() {
  nlohmann::json records = nlohmann::json::array();
  for (int i = 0; i < 200; ++i) {
    nlohmann::json inner{{"MsgType", i % 3 == 0 ? "Rpt.BDRFQ" : "Rpt.BDQT"},
                         {"ID", fmt::format("KQ2026120400{:03}", i)},
                         {"KoraCode", fmt::format("2202{:02}.IB", i % 50)},
                         {"BondName", fmt::format("22国开{:02}", i % 50)},
                         {"Side", i % 2 == 0 ? "Bid" : "Ofr"},
                         {"Yield", fmt::format("{:.4f}", 2.1 + i * 0.001)},
                         {"NetPrice", fmt::format("{:.4f}", 100.5 - i * 0.01)},
                         {"Volume", std::to_string(1000 * (1 + i % 9))},
                         {"SettleType", "T+1"},
                         {"QuoteTime", fmt::format("10:{:02}:{:02}", i / 60 % 60, i % 60)},
                         {"Negotiation",
                          {{"QuoteID", fmt::format("KQ2026120400{:03}", i)},
                           {"NegotiationID", fmt::format("NG2026120400{:03}", i)},
                           {"CounterpartyName", "张伟"},
                           {"CounterpartyInstitutionName", "华东证券股份有限公司"},
                           {"CounterpartyPhone", "021-5888 0000"},
                           {"CounterpartyMobile", "13800000000"},
                           {"CounterpartyEmail", "trader@huadong.example"},
                           {"CounterpartyKoraId", "K10002345"}}}};
    records.push_back({{"JSONStr", inner.dump()}});
  }
  nlohmann::json reply{
      {"Records", records}, {"BargainAuthor", "1"}, {"ManagementAuthor", "0"}, {"PlatformAuthor", "1"}};
  return reply.dump();
}

void BM_SlowestReplyAgainstBareDecode(benchmark::State& state) {
  Factory();
  const std::string document = KddReply();
  const std::vector<std::uint8_t> bytes = ReplyBytes(document, true);
  kdp::TKrLuxKDDF5DataProcessor processor;
  Interleave(
      state,
      [&] {
        const nlohmann::json outer = nlohmann::json::parse(document);
        std::size_t members = 0;
        for (const nlohmann::json& record : outer["Records"]) {
          members += nlohmann::json::parse(record["JSONStr"].get_ref<const std::string&>()).size();
        }
        benchmark::DoNotOptimize(members);
      },
      [&] {
        kdp::host::TBaseLuxMessage received(bytes, 1, kdp::host::mpNormal);
        processor.ProcessRpMsg(received);
        if (processor.GetAnalyseLuxData()->GetRowCount() != 200) state.SkipWithError("the reply did not give 200 rows");
        benchmark::DoNotOptimize(processor.GetAnalyseLuxData());
      });
}
BENCHMARK(BM_SlowestReplyAgainstBareDecode)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
