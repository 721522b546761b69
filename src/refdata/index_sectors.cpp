#include "refdata/index_sectors.h"

#include <filesystem>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/services.h"
#include "refdata/csv_table_loader.h"
#include "util/file_watcher.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrIndexSectors";

}  // namespace

std::string TKrIndexSectors::DefaultPath() {
  const std::string inHQBase = GetHQBasePath() + "IndexSectors.dat";
  std::error_code ec;
  if (std::filesystem::exists(inHQBase, ec)) return inHQBase;
  return GetEtcBaseFilePath("indexsectors.dat");
}

TKrIndexSectors::TKrIndexSectors() : TKrIndexSectors(DefaultPath(), host::KrIntfService<IKrFileWatcherMgr>()) {}

TKrIndexSectors::TKrIndexSectors(const std::string& path, const std::shared_ptr<IKrFileWatcherMgr>& watcher)
    : FFileName(path), FTable(Load(path)) {
  if (!watcher) return;
  FObserver = std::make_shared<TKrFileObserver>();
  FObserver->SetFileName(FFileName);
  // The watcher calls this while it holds its lock; the destructor unregisters under that lock first,
  // so the handler never outlives this object.
  FObserver->SetOnLoadEvent([this](host::IInterface*) { Reload(); });
  FObserver->SetOldTime(GetFileLastWriteText(FFileName).value_or(""));
  watcher->RegisterFileObserver(FObserver);
  FWatcher = watcher;
}

TKrIndexSectors::~TKrIndexSectors() {
  if (auto watcher = FWatcher.lock()) watcher->UnRegisterFileObserver(FObserver);
}

std::unique_ptr<TKrIndexSectors::Table> TKrIndexSectors::Load(const std::string& path) {
  auto table = std::make_unique<Table>();
  LoadCsvTable(path, 2, kLogSource, [&table](const std::vector<std::string>& f) {
    table->FIndex.Put(ToUpperAscii(f[0]), &table->FSectors.Emplace(f[1]));
  });
  return table;
}

void TKrIndexSectors::Reload() {
  // Read outside the lock so look-ups wait only for the swap.
  std::unique_ptr<Table> fresh = Load(FFileName);
  const std::size_t count = fresh->FIndex.Size();
  {
    std::lock_guard lock(FLock);
    FTable.swap(fresh);
  }
  host::AddHQLog(fmt::format("{} reloaded: {} indexes", std::filesystem::path(FFileName).filename().string(), count),
                 kLogSource, host::LogSeverity::kNotice);
}

std::string TKrIndexSectors::GetSectorByIndex(const std::string& indexCode) {
  const std::string key = ToUpperAscii(indexCode);
  std::lock_guard lock(FLock);
  const std::string* sector = FTable->FIndex.Get(key);
  return sector ? *sector : std::string();
}

std::string TKrIndexSectors::GetIndexBySector(const std::string& sectorId) {
  std::string result;
  std::lock_guard lock(FLock);
  FTable->FIndex.SetOnEnumProc([&](TPtrHashTable<std::string>::THashItem* item) {
    if (*item->Value == sectorId) {
      result += item->Key;
      result += ',';
    }
  });
  FTable->FIndex.StartEnum();
  FTable->FIndex.SetOnEnumProc(nullptr);
  return result;
}

}  // namespace kdp
