// Lux parsing against its baselines, interleaved in one benchmark each (paired_timing.h), so both meet the
// same heap. (Run apart, the pugixml baseline hands its 150 KB buffer back to the kernel and faults it in
// again every iteration, which doubles its time and flatters any ratio against it.)
// - a 200-item news reply into a table, against pugixml's load_buffer of the same bytes (goal: within
//   1.5x; the difference is the walk over the items and the rows it builds);
// - for scale, the least any reader built on pugixml's tree pays for that reply: the same in-place parse
//   and a visit of every element's name, text and attributes, nothing built;
// - the serial-string round trip of a 1,000-row table (each row written and read into a new row),
//   against writing the same names and values into a std::string per row (goal: within 2x).
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "bench_host.h"
#include "kdp/host/serializer.h"
#include "lux/lux_data_item.h"
#include "lux/lux_data_table.h"
#include "lux/lux_news_processor.h"
#include "lux/lux_news_reply.h"
#include "paired_timing.h"

namespace {

using kdp::TKrLuxDataItem;
using kdp::TKrLuxDataTable;
using kdp::bench::Interleave;

// A reply of 200 news items as the news server writes them: ids, titles, dates, snap links, channels,
// sites, keywords, abstracts and a few sentences each; every tenth item a broker's report.
const std::string& NewsDocument() {
  static const std::string document = [] {
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<response code=\"0\">\n<total>200</total>\n<result>\n";
    for (int i = 0; i < 200; ++i) {
      s += fmt::format(
          "<item><id>N20261204{:05}</id><title>沪深两市早盘震荡走高，银行板块午前领涨第{}条</title>"
          "<date>2026-12-04 {:02}:{:02}:00</date>"
          "<snap><![CDATA[http://news.kora.example/snap/view.php?id=N20261204{:05}&src=kora]]></snap>"
          "<channel>{}</channel><sitename>证券时报网</sitename><keyword>600000.SH,600036.SH</keyword>"
          "<abstract>受多重利好提振，银行股集体走强，截至午间收盘，板块涨幅居前，成交额较上一交易日明显放大。</"
          "abstract>"
          "<section>337010</section>"
          "<sentence koracode=\"[600000.SH,浦发银行]\" section=\"[337010,银行业绩]\">净利润同比增长</sentence>"
          "<sentence koracode=\"[600036.SH,招商银行]\" section=\"[120001,市场评论]\">走势平稳</sentence>",
          i, i, 9 + i / 60, i % 60, i, i % 8);
      if (i % 10 == 0) {
        s += fmt::format(
            "<broker>华泰证券</broker><attechmenturl filetype=\"pdf\">http://files.kora.example/rpt/R{}.pdf"
            "</attechmenturl>",
            i);
      }
      s += "</item>\n";
    }
    return s + "</result>\n</response>\n";
  }();
  return document;
}

void BM_NewsReplyIntoTableAgainstPugixml(benchmark::State& state) {
  const std::string& document = NewsDocument();
  const kdp::TNewsReplyContext context = kdp::TNewsReplyContext::FromHost();
  // As a processor does, each new table replaces the last one, so a run makes one table and frees one (the
  // baseline makes and frees one document). Freed at once at the top of the heap, a reply's memory would be
  // handed back to the kernel and faulted in again by the next run of either side.
  std::shared_ptr<TKrLuxDataTable> last;
  kdp::bench::Interleave(
      state,
      [&] {
        pugi::xml_document doc;
        doc.load_buffer(document.data(), document.size(), pugi::parse_default, pugi::encoding_auto);
        benchmark::DoNotOptimize(doc.first_child());
      },
      [&] {
        auto table = std::make_shared<TKrLuxDataTable>();
        kdp::ParseNewsReply(document, context, "600000.SH,600036.SH", *table);
        if (table->GetRowCount() != 200) state.SkipWithError("the reply did not give 200 rows");
        last = std::move(table);
      });
}
BENCHMARK(BM_NewsReplyIntoTableAgainstPugixml)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

// The floor under the news reply's parse: what is left of the goal above once the tree is walked is what
// building 2,400 fields in 200 rows may cost.
void BM_NewsReplyWalkOnlyAgainstPugixml(benchmark::State& state) {
  const std::string& document = NewsDocument();
  // Each side keeps its last result until it makes the next, so neither frees at the top of the heap.
  std::unique_ptr<pugi::xml_document> lastBaseline;
  std::unique_ptr<char[]> lastCopy;
  std::unique_ptr<pugi::xml_document> lastWalked;
  kdp::bench::Interleave(
      state,
      [&] {
        auto doc = std::make_unique<pugi::xml_document>();
        doc->load_buffer(document.data(), document.size(), pugi::parse_default, pugi::encoding_auto);
        benchmark::DoNotOptimize(doc->first_child());
        lastBaseline = std::move(doc);
      },
      [&] {
        std::unique_ptr<char[]> copy(new char[document.size() + 1]);
        std::memcpy(copy.get(), document.data(), document.size() + 1);
        auto doc = std::make_unique<pugi::xml_document>();
        doc->load_buffer_inplace(copy.get(), document.size() + 1, pugi::parse_default | pugi::parse_embed_pcdata);
        std::size_t sum = 0;
        int items = 0;
        const pugi::xml_node result = doc->child("response").child("result");
        for (pugi::xml_node item = result.first_child(); item; item = item.next_sibling(), ++items) {
          for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
            sum += child.name()[0] + std::string_view(child.child_value()).size();
            for (pugi::xml_attribute a = child.first_attribute(); a; a = a.next_attribute()) {
              sum += a.name()[0] + std::string_view(a.value()).size();
            }
          }
        }
        if (items != 200) state.SkipWithError("the walk did not visit 200 items");
        benchmark::DoNotOptimize(sum);
        lastWalked = std::move(doc);
        lastCopy = std::move(copy);
      });
}
BENCHMARK(BM_NewsReplyWalkOnlyAgainstPugixml)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

// The whole reply path of a processor, for reference: the message decoded, its body parsed, the table
// replaced.
void BM_NewsReplyProcessRpMsg(benchmark::State& state) {
  kdp::host::TBaseMessage reply;
  kdp::host::TStreamSerializer(reply.MessageBody()).WriteLongWord(static_cast<std::uint32_t>(NewsDocument().size()));
  reply.MessageBody().Write(NewsDocument().data(), NewsDocument().size());
  kdp::host::MemoryStream wire;
  reply.Serialize(wire);
  const std::vector<std::uint8_t> bytes(wire.Bytes().begin(), wire.Bytes().end());
  kdp::TKrLuxNewsDataProcessor processor;
  processor.SetIndexValue("koracode", "600000.SH,600036.SH");
  for (auto _ : state) {
    kdp::host::TBaseLuxMessage received(bytes, 1, kdp::host::mpNormal);
    processor.ProcessRpMsg(received);
    benchmark::DoNotOptimize(processor.GetAnalyseLuxData());
  }
}
BENCHMARK(BM_NewsReplyProcessRpMsg)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

// 1,000 news rows of a dozen fields, and the same names and values as plain strings.
struct Rows {
  std::shared_ptr<TKrLuxDataTable> table = std::make_shared<TKrLuxDataTable>();
  std::vector<std::vector<std::pair<std::string, std::string>>> fields;
};

const Rows& ThousandRows() {
  static const Rows rows = [] {
    Rows r;
    for (int i = 0; i < 1000; ++i) {
      std::vector<std::pair<std::string, std::string>> row{
          {"ID", fmt::format("N20261204{:05}", i)},
          {"Title", fmt::format("沪深两市早盘震荡走高，银行板块午前领涨第{}条", i)},
          {"NewsDate", "2026-12-04 10:31:00"},
          {"URL", fmt::format("http://news.kora.example/snap/view.php?id=N20261204{:05}&src=kora&t=1", i)},
          {"Column", "新闻"},
          {"Source", "证券时报网"},
          {"Tagcode", "600000.SH,600036.SH"},
          {"section", "337010"},
          {"AttechmentUrl", fmt::format("http://files.kora.example/rpt/R{}.pdf", i)},
          {"AttechmentType", "PDF"},
          {"Browsed", i % 3 == 0 ? "True" : "False"},
          {"UserStockType", "News"}};
      auto item = std::make_shared<TKrLuxDataItem>();
      for (const auto& [name, value] : row) item->SetIndexValue(name, value);
      r.table->AddRow(item);
      r.fields.push_back(std::move(row));
    }
    return r;
  }();
  return rows;
}

void BM_SerialStringRoundTripAgainstWriting(benchmark::State& state) {
  const Rows& rows = ThousandRows();
  kdp::bench::Interleave(
      state,
      [&] {
        std::vector<std::string> written;
        written.reserve(rows.fields.size());
        for (const auto& row : rows.fields) {
          std::string text;
          for (const auto& [name, value] : row) {
            if (!text.empty()) text += "\u2642";
            text += name;
            text += "\u2640";
            text += value;
          }
          written.push_back(std::move(text));
        }
        benchmark::DoNotOptimize(written);
      },
      [&] {
        TKrLuxDataTable copy;
        copy.Reserve(rows.table->GetRowCount());
        for (int row = 0; row < rows.table->GetRowCount(); ++row) {
          auto item = std::make_shared<TKrLuxDataItem>();
          item->SetSerialStr(rows.table->GetRowItem(row)->GetSerialStr());
          copy.AddRow(std::move(item));
        }
        benchmark::DoNotOptimize(copy);
      });
}
BENCHMARK(BM_SerialStringRoundTripAgainstWriting)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace
