// TKrIndexSectors: the sector of each index, from "IndexSectors.dat" in the HQ base directory (else
// "indexsectors.dat" in the configuration base directory), 2 fields per record: index code, sector ID.
// Keyed by the upper-cased index code.
//
// The file is watched: when the file watcher sees its modification time change, Reload replaces the
// table. The reload runs on the watcher's thread; look-ups and the reload take FLock.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "kdp/refdata/reference_tables.h"
#include "util/ptr_hash_table.h"
#include "util/stable_store.h"

namespace kdp {

class TKrIndexSectors final : public host::Implements<IIndexSectors> {
 public:
  // Loads the configured file and registers it with the published file watcher (when there is one).
  // REQUIRES: main thread.
  TKrIndexSectors();
  // Loads `path`; registers it with `watcher` when given. REQUIRES: main thread.
  TKrIndexSectors(const std::string& path, const std::shared_ptr<IKrFileWatcherMgr>& watcher);
  // Unregisters from the watcher, which waits for a running check. REQUIRES: main thread.
  ~TKrIndexSectors() override;

  std::string GetSectorByIndex(const std::string& indexCode) override;
  std::string GetIndexBySector(const std::string& sectorId) override;

  // Clears the table and loads the file again. Any thread.
  void Reload();
  const std::string& FileName() const { return FFileName; }

  // "IndexSectors.dat" under the HQ base directory when it exists, else the base directory's file.
  static std::string DefaultPath();

 private:
  struct Table {
    TPtrHashTable<std::string> FIndex{255};
    TStableStore<std::string> FSectors;
  };
  static std::unique_ptr<Table> Load(const std::string& path);

  std::string FFileName;
  std::mutex FLock;  // guards FTable
  std::unique_ptr<Table> FTable;
  std::weak_ptr<IKrFileWatcherMgr> FWatcher;
  std::shared_ptr<IKrFileObserver> FObserver;
};

}  // namespace kdp
