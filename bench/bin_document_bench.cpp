// Loading a configuration document: the ".hqc" binary form against parsing the same XML with pugixml
// (the baseline). The binary form exists to make start-up faster; the ratio shows by how much.
//
// Both sides load the document and walk every node and attribute. One benchmark runs the two in turn,
// swapping which goes first on every iteration, and times each side in thread CPU time: neither profits from
// running second on a heap and caches the other warmed, and machine noise falls on both alike. Read the medians of the
// counters "hqc_ms", "pugixml_ms" and "ratio" (hqc / pugixml); the benchmark's own time is the pair.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <ctime>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "kdp/host/bin_document.h"

namespace {

// A field dictionary of realistic size: 5,000 items with six attributes each.
const std::string& DictionaryXml() {
  static const std::string xml = [] {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<HQDictionary>\n";
    for (int id = 1; id <= 5000; ++id) {
      s += fmt::format(
          "  <Item id=\"{}\" name=\"Field{}\" cname=\"字段{}\" caption=\"标题{}\" type=\"{}\" MapIndex=\"m{}\"/>\n", id,
          id, id, id, id % 3 == 0 ? "string" : "double", id % 97);
    }
    return s + "</HQDictionary>\n";
  }();
  return xml;
}

// The walk both sides do: every byte of every node's name and of every attribute's name and value, summed,
// as a loader that reads them all would.
std::size_t Sum(const char* text) {
  std::size_t n = 0;
  for (; *text != '\0'; ++text) n += static_cast<unsigned char>(*text);
  return n;
}

std::size_t Sum(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) n += static_cast<unsigned char>(c);
  return n;
}

std::size_t WalkXml(const pugi::xml_node& node) {
  std::size_t n = Sum(node.name());
  for (const pugi::xml_attribute& a : node.attributes()) n += Sum(a.name()) + Sum(a.value());
  for (const pugi::xml_node& child : node.children()) n += WalkXml(child);
  return n;
}

std::size_t WalkBin(const kdp::host::IBinNode& node) {
  std::size_t n = Sum(node.GetNodeName());
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    n += Sum(node.GetAttributeName(i)) + Sum(node.GetAttributeValue(i));
  }
  for (int i = 0; i < node.GetChildCount(); ++i) n += WalkBin(*node.GetChild(i));
  return n;
}

std::size_t LoadAndWalkXml(const std::string& xml) {
  pugi::xml_document doc;
  doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_comments);
  return WalkXml(doc);
}

// A fresh document object each time, as a loader makes one per file.
std::size_t LoadAndWalkBin(const std::string& hqc) {
  auto doc = kdp::host::HQQueryBinDocInterface();
  doc->LoadFromBytes(hqc);
  return WalkBin(*doc->GetDocumentNode());
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <typename Fn>
void AddCpuTime(double& total, Fn&& work) {
  const double start = ThreadCpuSeconds();
  benchmark::DoNotOptimize(work());
  total += ThreadCpuSeconds() - start;
}

void BM_LoadBinDocumentAgainstPugixml(benchmark::State& state) {
  const std::string& xml = DictionaryXml();
  std::string hqc;
  kdp::host::EncodeXmlAsBinDocument(xml, hqc);
  if (LoadAndWalkBin(hqc) != LoadAndWalkXml(xml)) state.SkipWithError("the two walks see different documents");
  double binSeconds = 0, xmlSeconds = 0;
  bool binFirst = true;
  for (auto _ : state) {
    const auto timeBin = [&] { AddCpuTime(binSeconds, [&] { return LoadAndWalkBin(hqc); }); };
    const auto timeXml = [&] { AddCpuTime(xmlSeconds, [&] { return LoadAndWalkXml(xml); }); };
    if (binFirst) {
      timeBin();
      timeXml();
    } else {
      timeXml();
      timeBin();
    }
    binFirst = !binFirst;
  }
  state.counters["hqc_ms"] = benchmark::Counter(binSeconds * 1e3, benchmark::Counter::kAvgIterations);
  state.counters["pugixml_ms"] = benchmark::Counter(xmlSeconds * 1e3, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = xmlSeconds > 0 ? binSeconds / xmlSeconds : 0;
}
BENCHMARK(BM_LoadBinDocumentAgainstPugixml)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly();

}  // namespace
