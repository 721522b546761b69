// Loading a configuration document: the ".hqc" binary form against parsing the same XML with pugixml
// (the baseline). The binary form exists to make start-up faster; the ratio shows by how much.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

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

void BM_LoadXmlWithPugixml(benchmark::State& state) {
  const std::string& xml = DictionaryXml();
  for (auto _ : state) {
    pugi::xml_document doc;
    doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_comments);
    int n = 0;
    for (auto item : doc.document_element().children()) n += item.attribute("id").as_int();
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_LoadXmlWithPugixml)->Unit(benchmark::kMillisecond);

void BM_LoadBinDocument(benchmark::State& state) {
  std::string hqc;
  kdp::host::EncodeXmlAsBinDocument(DictionaryXml(), hqc);
  for (auto _ : state) {
    auto doc = kdp::host::HQQueryBinDocInterface();
    doc->LoadFromBytes(hqc);
    int n = 0;
    const kdp::host::IBinNode* root = doc->GetRoot();
    for (int i = 0; i < root->GetChildCount(); ++i) n += kdp::host::GetBinNodeValueInt(root->GetChild(i), "id", 0);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_LoadBinDocument)->Unit(benchmark::kMillisecond);

}  // namespace
