// Loading a configuration document: the ".hqc" binary form against parsing the same XML with pugixml
// (the baseline). The binary form exists to make start-up faster; the ratio shows by how much.
//
// Both sides load the document and walk every node and attribute, interleaved in one benchmark
// (paired_timing.h: "measured_us" is the binary document, "baseline_us" pugixml).
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "kdp/host/bin_document.h"
#include "paired_timing.h"

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

void BM_LoadBinDocumentAgainstPugixml(benchmark::State& state) {
  const std::string& xml = DictionaryXml();
  std::string hqc;
  kdp::host::EncodeXmlAsBinDocument(xml, hqc);
  if (LoadAndWalkBin(hqc) != LoadAndWalkXml(xml)) state.SkipWithError("the two walks see different documents");
  std::size_t sum = 0;
  kdp::bench::Interleave(
      state, [&] { sum += LoadAndWalkXml(xml); }, [&] { sum += LoadAndWalkBin(hqc); });
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_LoadBinDocumentAgainstPugixml)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly();

}  // namespace
