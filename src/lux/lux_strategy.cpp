#include "lux/lux_strategy.h"

#include <algorithm>

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "lux/lux_data_table.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxNewsStrategy";

}  // namespace

bool TKrLuxDataStrategy::IsDataEnough(const std::shared_ptr<IKrLuxDataTable>&) { return false; }

std::shared_ptr<IKrLuxDataTable> TKrLuxDataStrategy::LuxDataStrategyInterface(const std::shared_ptr<IKrLuxDataTable>&) {
  return nullptr;
}

TKrLuxNewsStrategy::TKrLuxNewsStrategy() {
  SetIndexFilter("startid", "0");
  SetIndexFilter("datasize", "20");
}

int TKrLuxNewsStrategy::FirstRowAfterStart(IKrLuxDataTable& table) {
  const std::string startID = GetIndexFilterValue("startid");
  if (startID.empty() || startID == "0") return 0;
  const int row = table.GetRowByIndex("ID", startID);
  return row < 0 ? -1 : row + 1;
}

bool TKrLuxNewsStrategy::IsDataEnough(const std::shared_ptr<IKrLuxDataTable>& table) {
  if (!table) return false;
  const int dataSize = StrToIntDef(GetIndexFilterValue("datasize"), 0);
  const int first = FirstRowAfterStart(*table);
  return first >= 0 && table->GetRowCount() - first >= dataSize;
}

std::shared_ptr<IKrLuxDataTable> TKrLuxNewsStrategy::LuxDataStrategyInterface(
    const std::shared_ptr<IKrLuxDataTable>& table) {
  auto rows = std::make_shared<TKrLuxDataTable>();
  if (!table) {
    host::AddHQLog("TKrLuxNewsStrategy.LuxDataStrategyInterface ADataTable = nil", kLogSource,
                   host::LogSeverity::kNotice);
    return rows;
  }
  const int first = FirstRowAfterStart(*table);
  if (first < 0) {
    host::AddHQLog("TKrLuxNewsStrategy.LuxDataStrategyInterface 未找到适合条件的数据", kLogSource,
                   host::LogSeverity::kNotice);
    return rows;
  }
  const int dataSize = StrToIntDef(GetIndexFilterValue("datasize"), 0);
  const int count = table->GetRowCount();
  int end = GetIndexFilterValue("Sort").empty()
                ? static_cast<int>(std::min<long long>(static_cast<long long>(first) + dataSize, count))
                : count;
  // A computed end of 0 becomes 1; it is clamped to the rows there are, so an empty table gives none.
  end = std::min(std::max(end, 1), count);
  host::AddHQLog(fmt::format("TKrLuxNewsStrategy.LuxDataStrategyInterface LIndexBegin={} LIndexEnd={} LDataSize={} "
                             "ADataTable.GetRowCount={}",
                             first, end, dataSize, count),
                 kLogSource, host::LogSeverity::kInfo);
  rows->Reserve(end > first ? end - first : 0);
  for (int row = first; row < end; ++row) rows->AddRow(table->GetRowItem(row));
  return rows;
}

}  // namespace kdp
