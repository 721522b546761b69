// Data strategies: whether the rows a sector store holds answer a history request, and which rows to
// deliver. The data manager fills a strategy's filters from the request before using it.
//
// TKrLuxNewsStrategy serves paging by ID: the filters "startid" (the ID of the last row the widget has;
// "0" or "" for the first page) and "datasize" (how many rows a page holds) ask for the next datasize
// rows after the row whose "ID" is startid; with the filter "Sort" set, every row after it.
//
// Plain objects, used by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "kdp/lux/lux_data.h"
#include "lux/lux_data_item.h"

namespace kdp {

class TKrLuxDataStrategy {
 public:
  virtual ~TKrLuxDataStrategy() = default;

  void SetIndexFilter(std::string_view name, std::string_view value) { FIndexFilterList.SetIndexValue(name, value); }
  std::string GetIndexFilterValue(std::string_view name) { return FIndexFilterList.GetIndexValue(name); }
  int GetIndexFilterCount() { return FIndexFilterList.GetIndexCount(); }
  std::string GetIndexFilterByOrder(int index) { return FIndexFilterList.GetIndexByOrder(index); }

  // Whether `table` holds enough rows for the request; never by default.
  virtual bool IsDataEnough(const std::shared_ptr<IKrLuxDataTable>& table);
  // A new table holding the rows to deliver, by reference; nothing by default.
  virtual std::shared_ptr<IKrLuxDataTable> LuxDataStrategyInterface(const std::shared_ptr<IKrLuxDataTable>& table);

 private:
  TKrLuxDataItem FIndexFilterList;
};

class TKrLuxNewsStrategy final : public TKrLuxDataStrategy {
 public:
  // Starts with "startid" = "0" and "datasize" = "20".
  TKrLuxNewsStrategy();

  // Without a start ID: at least datasize rows. With one: the row of that ID exists and at least datasize
  // rows follow it. A null table is never enough.
  bool IsDataEnough(const std::shared_ptr<IKrLuxDataTable>& table) override;
  // From the row after the start ID's row (row 0 without a start ID) up to datasize rows, or every row
  // to the end when "Sort" is set. Empty (and logged) when the start ID is not found or the table is
  // null. A page size of 0 still delivers one row.
  std::shared_ptr<IKrLuxDataTable> LuxDataStrategyInterface(const std::shared_ptr<IKrLuxDataTable>& table) override;

 private:
  // The first row after the start ID, or -1 when the start ID is not in the table.
  int FirstRowAfterStart(IKrLuxDataTable& table);
};

}  // namespace kdp
