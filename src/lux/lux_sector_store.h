// The per-sector stores of Lux rows, from which history pages are answered without asking the server
// again.
//
// TKrSectorDataDb keeps one sector's rows, identified by their field "ID": pushed rows go on top (newest
// first), history pages are appended in reply order. Pushes keep a store at 500 rows; a history page
// stops appending once the store holds more than 500 rows before an append, so a store can reach 501.
// The rows live in a private in-memory SQLite database (nothing is written to disk), every value bound
// as a parameter; reads hand out new items, so a widget's rows never change under it.
//
// TKrSectorDataCache owns the stores by sector ID. A store stays alive for whoever still holds it after
// it was removed.
//
// Threads: the cache and each store carry their own lock, so the main thread and the Lux client's thread
// may both use them; the strategies run on the caller's copy of the rows.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "kdp/host/sqlite.h"
#include "kdp/lux/lux_data.h"
#include "lux/lux_strategy.h"

namespace kdp {

class TKrSectorDataDb {
 public:
  // The most rows pushes keep.
  static constexpr int kMaxRows = 500;

  TKrSectorDataDb();
  ~TKrSectorDataDb();
  TKrSectorDataDb(const TKrSectorDataDb&) = delete;
  TKrSectorDataDb& operator=(const TKrSectorDataDb&) = delete;

  // A history page: leading rows whose ID is stored already are skipped; the rest are appended while the
  // store holds at most 500 rows, the received count following the row count. When the page is cut the
  // received count becomes the page's row count plus its previous value minus the index of the first row
  // not stored, so it still counts the rows the server sent. False only for a null table.
  bool SaveData(const std::shared_ptr<IKrLuxDataTable>& table);
  // Pushed rows, each put on top in turn (so a push of A, B, C reads C, B, A), the oldest row dropped
  // beyond 500. Stops at the first row whose ID is stored already and answers false; true when every row
  // was new. False for a null table.
  bool AddPublishedData(const std::shared_ptr<IKrLuxDataTable>& table);

  bool IsDataEnough(TKrLuxDataStrategy& strategy);
  std::shared_ptr<IKrLuxDataTable> GetDataByStrategy(TKrLuxDataStrategy& strategy);
  // The next page to ask the server for: the strategy's "datasize" (20 when it is not a positive number)
  // and the rows held.
  void CalcPageInfo(TKrLuxDataStrategy& strategy, int& pageSize, int& startNum);
  // Rows received so far (the start number of the next page when the column counts received rows).
  std::int32_t GetHisNum() const;
  // Counts the rows of a page delivered without storing it.
  void SetReceiveRowNum(const std::shared_ptr<IKrLuxDataTable>& table);
  // Marks the first row with that ID "Browsed" = "True" or "False"; false (logged) when there is none.
  bool SetItemBrowsed(const std::string& id, bool browsed);

  int GetRowCount() const;
  // Every row, top first, as new items.
  std::shared_ptr<IKrLuxDataTable> GetRows() const;

 private:
  // The rest REQUIRE FDataLocker held.
  bool HasID(std::string_view id) const;
  void StoreRow(IKrLuxDataItem& item, std::int64_t ord);
  void DropLastRow();
  std::shared_ptr<IKrLuxDataTable> ReadRows() const;

  mutable std::mutex FDataLocker;  // guards everything below
  std::shared_ptr<host::ISqliteDataBase> FDb;
  std::unique_ptr<host::ISqliteStatement> FInsertRow;
  std::unique_ptr<host::ISqliteStatement> FInsertField;
  int FRowCount = 0;
  // Row order keys: pushes take FNextTop (counting down), pages FNextBottom (counting up).
  std::int64_t FNextTop = 0;
  std::int64_t FNextBottom = 1;
  std::int32_t FReceiveNewsNum = 0;
};

class TKrSectorDataCache {
 public:
  // False, leaving the caller's store alone, when the sector has a store already.
  bool TryAddSectorData(const std::string& sectorID, std::shared_ptr<TKrSectorDataDb> store);
  bool TryGetSectorData(const std::string& sectorID, std::shared_ptr<TKrSectorDataDb>& store) const;
  void RemoveSectorData(const std::string& sectorID);
  std::size_t Count() const;

 private:
  mutable std::mutex FLock;  // guards FStores
  std::map<std::string, std::shared_ptr<TKrSectorDataDb>> FStores;
};

}  // namespace kdp
