#include "lux/lux_sector_store.h"

#include <array>

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "lux/lux_data_item.h"
#include "lux/lux_data_table.h"
#include "util/strings.h"

namespace kdp {
namespace {

using host::SqlValue;

constexpr std::string_view kLogSource = "uKrLuxDataMgr";
constexpr int kDefaultPageSize = 20;

// `ord` orders the rows top to bottom; `pos` orders a row's fields.
constexpr std::string_view kSchema =
    "CREATE TABLE rows (ord INTEGER PRIMARY KEY, id TEXT NOT NULL);"
    "CREATE INDEX rows_by_id ON rows (id);"
    "CREATE TABLE fields (ord INTEGER NOT NULL, pos INTEGER NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL,"
    " PRIMARY KEY (ord, pos)) WITHOUT ROWID;";

}  // namespace

TKrSectorDataDb::TKrSectorDataDb() : FDb(host::OpenDB(":memory:")) {
  if (FDb && FDb->ExecSQL(kSchema)) {
    FInsertRow = FDb->Prepare("INSERT INTO rows (ord, id) VALUES (?, ?)");
    FInsertField = FDb->Prepare("INSERT INTO fields (ord, pos, name, value) VALUES (?, ?, ?, ?)");
  }
  if (!FInsertRow || !FInsertField) {
    host::AddHQLog("TKrSectorDataDb 无法建立本地数据库", kLogSource, host::LogSeverity::kError);
    FInsertRow.reset();
    FInsertField.reset();
    FDb.reset();
  }
}

// The statements go before the database they were prepared on.
TKrSectorDataDb::~TKrSectorDataDb() {
  FInsertRow.reset();
  FInsertField.reset();
}

bool TKrSectorDataDb::HasID(std::string_view id) const {
  if (!FDb) return false;
  const std::array<SqlValue, 1> params{std::string(id)};
  auto set = FDb->Query("SELECT 1 FROM rows WHERE id = ? LIMIT 1", params);
  return set && !set->Eof();
}

void TKrSectorDataDb::StoreRow(IKrLuxDataItem& item, std::int64_t ord) {
  if (!FDb) return;
  const std::array<SqlValue, 2> row{ord, item.GetIndexValue("ID")};
  if (!FInsertRow->Execute(row)) return;
  const int count = item.GetIndexCount();
  for (int pos = 0; pos < count; ++pos) {
    const std::array<SqlValue, 4> field{ord, static_cast<std::int64_t>(pos), item.GetIndexByOrder(pos),
                                        item.GetIndexValueByOrder(pos)};
    FInsertField->Execute(field);
  }
  ++FRowCount;
}

void TKrSectorDataDb::DropLastRow() {
  if (!FDb || FRowCount == 0) return;
  FDb->ExecSQL(
      "DELETE FROM fields WHERE ord = (SELECT MAX(ord) FROM rows);"
      "DELETE FROM rows WHERE ord = (SELECT MAX(ord) FROM rows);");
  --FRowCount;
}

std::shared_ptr<IKrLuxDataTable> TKrSectorDataDb::ReadRows() const {
  auto table = std::make_shared<TKrLuxDataTable>();
  if (!FDb) return table;
  auto set =
      FDb->Query("SELECT r.ord, f.name, f.value FROM rows r LEFT JOIN fields f ON f.ord = r.ord ORDER BY r.ord, f.pos");
  if (!set) return table;
  table->Reserve(FRowCount);
  std::shared_ptr<TKrLuxDataItem> item;
  std::int64_t current = 0;
  for (; !set->Eof(); set->Next()) {
    const std::int64_t ord = set->GetAsInt64(0);
    if (!item || ord != current) {
      item = std::make_shared<TKrLuxDataItem>();
      table->AddRow(item);
      current = ord;
    }
    if (!set->IsNull(1)) item->SetIndexValue(set->GetAsString(1), set->GetAsString(2));
  }
  return table;
}

bool TKrSectorDataDb::SaveData(const std::shared_ptr<IKrLuxDataTable>& table) {
  if (!table) return false;
  std::lock_guard lock(FDataLocker);
  const int count = table->GetRowCount();
  int first = 0;
  while (first < count && HasID(table->GetIndexValue(first, "ID"))) ++first;
  if (FDb) FDb->BeginTransaction();
  for (int row = first; row < count; ++row) {
    if (FRowCount > kMaxRows) {
      FReceiveNewsNum = count + FReceiveNewsNum - row;
      break;
    }
    StoreRow(*table->GetRowItem(row), FNextBottom++);
    FReceiveNewsNum = FRowCount;
  }
  if (FDb) FDb->Commit();
  return true;
}

bool TKrSectorDataDb::AddPublishedData(const std::shared_ptr<IKrLuxDataTable>& table) {
  if (!table) return false;
  std::lock_guard lock(FDataLocker);
  bool allNew = true;
  if (FDb) FDb->BeginTransaction();
  for (int row = 0; row < table->GetRowCount(); ++row) {
    if (HasID(table->GetIndexValue(row, "ID"))) {
      allNew = false;
      break;
    }
    StoreRow(*table->GetRowItem(row), FNextTop--);
    FReceiveNewsNum = FRowCount;
    if (FRowCount > kMaxRows) DropLastRow();
  }
  if (FDb) FDb->Commit();
  return allNew;
}

bool TKrSectorDataDb::IsDataEnough(TKrLuxDataStrategy& strategy) { return strategy.IsDataEnough(GetRows()); }

std::shared_ptr<IKrLuxDataTable> TKrSectorDataDb::GetDataByStrategy(TKrLuxDataStrategy& strategy) {
  return strategy.LuxDataStrategyInterface(GetRows());
}

void TKrSectorDataDb::CalcPageInfo(TKrLuxDataStrategy& strategy, int& pageSize, int& startNum) {
  pageSize = StrToIntDef(strategy.GetIndexFilterValue("datasize"), 0);
  if (pageSize <= 0) pageSize = kDefaultPageSize;
  startNum = GetRowCount();
}

std::int32_t TKrSectorDataDb::GetHisNum() const {
  std::lock_guard lock(FDataLocker);
  return FReceiveNewsNum;
}

void TKrSectorDataDb::SetReceiveRowNum(const std::shared_ptr<IKrLuxDataTable>& table) {
  if (!table) return;
  std::lock_guard lock(FDataLocker);
  FReceiveNewsNum += table->GetRowCount();
}

bool TKrSectorDataDb::SetItemBrowsed(const std::string& id, bool browsed) {
  std::lock_guard lock(FDataLocker);
  std::shared_ptr<host::ISqliteDataSet> row;
  if (FDb) {
    const std::array<SqlValue, 1> params{id};
    row = FDb->Query("SELECT ord FROM rows WHERE id = ? ORDER BY ord LIMIT 1", params);
  }
  if (!row || row->Eof()) {
    host::AddHQLog(fmt::format("SetItemBrowsed 在DB中未找到{}对应的信息项", id), kLogSource,
                   host::LogSeverity::kNotice);
    return false;
  }
  const std::int64_t ord = row->GetAsInt64(0);
  row.reset();
  const std::string value = browsed ? "True" : "False";
  const std::array<SqlValue, 3> update{value, ord, std::string("Browsed")};
  FDb->Execute("UPDATE fields SET value = ? WHERE ord = ? AND name = ?", update);
  if (FDb->Changes() == 0) {
    const std::array<SqlValue, 4> insert{ord, ord, std::string("Browsed"), value};
    FDb->Execute(
        "INSERT INTO fields (ord, pos, name, value) "
        "VALUES (?, (SELECT COALESCE(MAX(pos), -1) + 1 FROM fields WHERE ord = ?), ?, ?)",
        insert);
  }
  return true;
}

int TKrSectorDataDb::GetRowCount() const {
  std::lock_guard lock(FDataLocker);
  return FRowCount;
}

std::shared_ptr<IKrLuxDataTable> TKrSectorDataDb::GetRows() const {
  std::lock_guard lock(FDataLocker);
  return ReadRows();
}

bool TKrSectorDataCache::TryAddSectorData(const std::string& sectorID, std::shared_ptr<TKrSectorDataDb> store) {
  std::lock_guard lock(FLock);
  return FStores.try_emplace(sectorID, std::move(store)).second;
}

bool TKrSectorDataCache::TryGetSectorData(const std::string& sectorID, std::shared_ptr<TKrSectorDataDb>& store) const {
  std::lock_guard lock(FLock);
  auto it = FStores.find(sectorID);
  if (it == FStores.end()) return false;
  store = it->second;
  return true;
}

void TKrSectorDataCache::RemoveSectorData(const std::string& sectorID) {
  std::shared_ptr<TKrSectorDataDb> released;
  std::lock_guard lock(FLock);
  auto it = FStores.find(sectorID);
  if (it == FStores.end()) return;
  released = std::move(it->second);
  FStores.erase(it);
}

std::size_t TKrSectorDataCache::Count() const {
  std::lock_guard lock(FLock);
  return FStores.size();
}

}  // namespace kdp
