// History replies from the quote engine: arbitrary nested data sets through the four reply parsers, the
// quote-push parser and the real-time cache's preparation of pushes. Every wrapper must stay walkable
// whatever the layout.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "kdp/host/data_table.h"
#include "kdp/speed/speed_quote_data.h"
#include "kdp/speed/speed_reply_parsers.h"
#include "rtd/rtd_quote_layouts.h"

namespace {

using kdp::host::IDataSet;
using kdp::host::TDataTable;

// Reads the input as instructions for building a table tree.
class Builder {
 public:
  Builder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::shared_ptr<IDataSet> Table(int depth) {
    auto table = std::make_shared<TDataTable>();
    static constexpr const char* kTypes[] = {"int", "double", "int64", "string", "dataset", "blob"};
    static constexpr const char* kNames[] = {"KoraCode", "3", "81", "8", "x", "", "2001", "Code"};
    const int columns = Next() % 6;
    for (int c = 0; c < columns; ++c) table->AddField(kNames[Next() % 8], kTypes[Next() % 6]);
    const int rows = Next() % 5;
    for (int r = 0; r < rows; ++r) {
      table->AddRow();
      for (int c = 0; c < columns; ++c) {
        switch (Next() % 7) {
          case 0:
            table->Set(r, c, static_cast<std::int32_t>(Next() * 1000 - 7));
            break;
          case 1:
            table->Set(r, c, Next() / 7.0);
            break;
          case 2:
            table->Set(r, c, static_cast<std::int64_t>(Next()) << 33);
            break;
          case 3:
            table->Set(r, c, std::string(Next() % 40, static_cast<char>('0' + Next() % 75)));
            break;
          case 4:
            if (depth < 5) table->Set(r, c, Table(depth + 1));
            break;
          default:
            break;  // an empty cell
        }
      }
    }
    return table;
  }

 private:
  int Next() { return pos_ < size_ ? data_[pos_++] : 0; }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

template <class Parser>
std::size_t WalkSorted(const Parser& parser) {
  std::size_t n = 0;
  for (int p = -1; p <= parser.GetRowCount(); ++p) {
    n += static_cast<std::size_t>(parser.GetBasicInfo(p).GetRowCount() + parser.GetPrimaryInfo(p).GetRowCount());
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto reply = Builder(data, size).Table(0);
  volatile std::size_t sink = 0;

  const kdp::TKrSpeedDataSetParseCmdID3040 ranking(reply);
  sink = sink + WalkSorted(ranking);
  for (int p = 0; p < ranking.GetRowCount(); ++p) {
    const auto& body = ranking.GetPrimaryInfo(p);
    for (int s = 0; s <= body.GetRowCount(); ++s) {
      const auto& charts = body.GetSectorChartItems(s);
      sink = sink + body.GetSectorName(s).size();
      for (int k = 0; k <= charts.GetRowCount(); ++k) {
        const auto& items = charts.GetChartItems(k);
        for (int r = 0; r <= items.GetRowCount(); ++r)
          sink = sink + items.GetKoraCode(r).size() + (items.GetValue(r) > 0);
      }
    }
  }
  const kdp::TKrSpeedDataSetParseCmdID3050 sorted(reply);
  sink = sink + WalkSorted(sorted);
  const kdp::TKrSpeedDataSetParseCmdID97Fix tables(reply);
  for (int p = 0; p < tables.GetRowCount(); ++p) {
    const auto& body = tables.GetPrimaryInfo(p);
    for (int r = 0; r <= body.GetRowCount(); ++r) sink = sink + body.GetIndicators(r).GetRowCount();
    sink = sink + tables.GetBasicInfo(p).GetSectorName(0).size();
  }
  const kdp::TKrSpeedDataSetParseCmdID3080 exported(reply);
  for (const auto& record : exported.GetRecords()) {
    if (record.IDs.size() != record.Values.size() || record.Code.size() > 30) __builtin_trap();
  }
  const kdp::TKrSpeedDataSetParseCmdID3070 quotes(reply);
  for (const auto& row : quotes.Rows()) {
    if (row.FItemArray.size() != row.FValueArray.size()) __builtin_trap();
  }
  if (kdp::TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(reply)) {
    static kdp::TKrQuoteLayouts layouts;  // kept across inputs, as the package keeps its layouts
    const auto push = layouts.Prepare(*reply);
    for (const kdp::TKrQuoteRow& row : push->Rows()) {
      if (row.code.size() > kdp::kMaxQuoteCodeLength) __builtin_trap();
      for (const kdp::TKrQuoteField& field : row.shape->fields) {
        const kdp::TKrQuoteValue& value = push->Value(row, field);
        if (value.kind == kdp::TKrQuoteValue::kText) sink = sink + push->Text(value).size();
      }
    }
    if (layouts.LayoutCount() > kdp::TKrQuoteLayouts::kMaxLayouts) __builtin_trap();
  }
  return 0;
}
