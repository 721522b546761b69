// TKrHQDataCache: the package's name look-up and per-process data cache.
//
// It answers the names that the host's name registry does not: data interfaces created on demand
// (published to the host registry on first look-up, so each is created once per process), services that
// the host context's provider or the host service provider answer by Guid, and plain objects published
// inside the package. It also keeps the user's display settings that other subsystems read, the shared
// SQLite database and the temporary cross-section security.
//
// One instance per process, created on first use by GetHQCach and freed at shut-down (FreeHQCache); a
// look-up made after that creates it again. Main thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/security.h"
#include "kdp/host/sqlite.h"

namespace kdp {

using host::Guid;
using host::InterfacePtr;

// A data interface created on demand: its name, its Guid and how to construct its implementation.
struct TKrDataInterfaceRecord {
  std::string Name;
  Guid GUID;
  std::function<InterfacePtr()> InterfacedClass;
};

class TKrHQDataCache {
 public:
  TKrHQDataCache();
  TKrHQDataCache(const TKrHQDataCache&) = delete;
  TKrHQDataCache& operator=(const TKrHQDataCache&) = delete;

  // The look-up behind G_QueryInterface for names the host registry does not hold.
  InterfacePtr GetDataItem(const std::string& name);

  // Throws kdp::Error (kInvalidArgument) for a name already registered.
  void RegisterDataIntf(TKrDataInterfaceRecord record);
  void AddPlainObject(const std::string& name, host::IInterface* object);
  void RemovePlainObject(const std::string& name);

  // The time zone the user chose for quote times; "Default" for none.
  const std::string& GetTimeZoneEnName() const { return FTimeZoneEnName; }
  void SetTimeZoneEnName(std::string name) { FTimeZoneEnName = std::move(name); }

  // The shared database under the user directory, opened on first use; nullptr when it cannot be opened.
  std::shared_ptr<host::ISqliteDataBase> GetSqliteDataBase();
  // The stand-in security for cross-section calculations ("TEMPCS10000001.UX").
  std::shared_ptr<host::IKrSecurity> GetTempCSSecurity();

 private:
  std::map<std::string, Guid> m_dicKeyOfGUID;                             // host context's provider
  std::map<std::string, Guid> FKeyOfGUIDIntfService;                      // KrIntfService
  std::map<std::string, TKrDataInterfaceRecord> FKeyOfDataInterfaceDict;  // created on demand
  std::map<std::string, host::IInterface*> m_lstData;                     // plain objects (not owned)

  std::string FTimeZoneEnName = "Default";
  std::shared_ptr<host::ISqliteDataBase> FDataBase;
  std::shared_ptr<host::IKrSecurity> FTempCSSecurity;
};

// The cache, created on first use.
TKrHQDataCache& GetHQCach();
bool HQCacheExists();
void FreeHQCache();

// The file name of the shared database inside the user directory.
inline constexpr const char* kSharedDataBaseFileName = "KDPCache.db";
inline constexpr const char* kTempCSSecurityCode = "TEMPCS10000001.UX";

}  // namespace kdp
