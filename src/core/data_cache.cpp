#include "core/data_cache.h"

#include <filesystem>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/security_fake.h"
#include "core/service_catalog.h"
#include "kdp/cache_database.h"
#include "kdp/error.h"
#include "kdp/host/excerpt.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrHQDataCache";

std::unique_ptr<TKrHQDataCache> HQCache;

// Renames the damaged database (and a journal that would be replayed into its successor) aside under
// the server time, as reminders are kept; "" when it cannot be moved.
std::string KeepDamagedAside(const std::string& path) {
  const host::DateTime now = GetServerDateTime();
  const std::string stem = path + fmt::format(".corrupt-{}{:06}", now.Yyyymmdd(), now.Hhmmss());
  std::error_code ec;
  for (int n = 1; n < 1000; ++n) {
    const std::string aside = n == 1 ? stem : fmt::format("{}-{}", stem, n);
    if (std::filesystem::exists(aside, ec)) continue;
    std::filesystem::rename(path, aside, ec);
    if (ec) return {};
    for (const char* companion : {"-journal", "-wal", "-shm"}) {
      if (std::filesystem::exists(path + companion, ec)) {
        std::filesystem::rename(path + companion, aside + companion, ec);
      }
    }
    return aside;
  }
  return {};
}

// The shared database is a cache of what the servers answered: a file that does not read as a database
// (garbage, cut short, a damaged schema) is kept aside once and a new one is built in its place. A
// database that another program holds locked, or that cannot be read or written (an I/O error, a
// read-only disk), is not damaged: it stays as it is, and the operations say why they fail.
std::shared_ptr<host::ISqliteDataBase> OpenCacheDataBase(const std::string& path) {
  auto db = host::OpenDB(path);
  if (!db) return nullptr;
  std::string why;
  {
    auto check = db->Query("PRAGMA quick_check(1)");
    if (check && !check->Eof() && check->GetAsString(0) == "ok") return db;
    const bool checked = check && !check->Eof();  // the check ran and found the file damaged
    if (!checked && !db->IsDamaged()) {
      if (!db->IsBusy()) {
        host::AddHQLog(fmt::format("the cache database {} cannot be read: {}", path, db->GetLastError()), kLogSource,
                       host::LogSeverity::kError);
      }
      return db;
    }
    why = checked ? check->GetAsString(0) : db->GetLastError();
  }
  db.reset();
  const std::string aside = KeepDamagedAside(path);
  if (aside.empty()) {
    host::AddHQLog(fmt::format("the cache database {} is damaged ({}) and cannot be kept aside", path, why), kLogSource,
                   host::LogSeverity::kError);
    return nullptr;
  }
  host::AddHQLog(fmt::format("the cache database {} was damaged ({}); kept aside as {}, and a new one is built", path,
                             host::Excerpt(why), aside),
                 kLogSource, host::LogSeverity::kWarning);
  return host::OpenDB(path);
}

}  // namespace

TKrHQDataCache::TKrHQDataCache() {
  for (const NamedGuid& entry : ContextProviderServices()) m_dicKeyOfGUID.emplace(entry.name, entry.guid);
  for (const NamedGuid& entry : HostProviderServices()) FKeyOfGUIDIntfService.emplace(entry.name, entry.guid);
  for (TKrDataInterfaceRecord& record : OnDemandServices()) RegisterDataIntf(std::move(record));
}

InterfacePtr TKrHQDataCache::GetDataItem(const std::string& name) {
  InterfacePtr result;
  bool skipPlainObjects = false;

  if (auto it = FKeyOfDataInterfaceDict.find(name); it != FKeyOfDataInterfaceDict.end()) {
    auto context = GetHQContext();
    auto registry = context ? context->GetIntfRegistry() : nullptr;
    if (registry) {
      if (InterfacePtr published = registry->GetIntf(name)) return published;
    }
    // Copy the record: constructing the service may register further data interfaces.
    const TKrDataInterfaceRecord record = it->second;
    InterfacePtr created = record.InterfacedClass ? record.InterfacedClass() : nullptr;
    if (InterfacePtr face = host::QueryByGuid(created, record.GUID)) {
      G_Add(name, face);
      return face;
    }
    skipPlainObjects = true;
  }

  if (!skipPlainObjects) {
    if (auto it = m_lstData.find(name); it != m_lstData.end()) return host::NonOwning(it->second);
  }

  if (auto it = FKeyOfGUIDIntfService.find(name); it != FKeyOfGUIDIntfService.end()) {
    if (auto provider = host::KrIntfService()) result = provider->QueryService(it->second);
  }

  if (!result) {
    auto found = m_dicKeyOfGUID.find(name);
    const Guid guid = found != m_dicKeyOfGUID.end() ? found->second : host::kNullGuid;
    auto context = GetHQContext();
    auto provider = context ? context->GetServiceProvider() : nullptr;
    if (provider) result = provider->QueryService(guid);
  }
  return result;
}

void TKrHQDataCache::RegisterDataIntf(TKrDataInterfaceRecord record) {
  const std::string name = record.Name;
  if (!FKeyOfDataInterfaceDict.emplace(name, std::move(record)).second) {
    throw Error(ErrorKind::kInvalidArgument, "Duplicates not allowed: data interface " + name);
  }
}

void TKrHQDataCache::AddPlainObject(const std::string& name, host::IInterface* object) { m_lstData[name] = object; }

void TKrHQDataCache::RemovePlainObject(const std::string& name) { m_lstData.erase(name); }

std::shared_ptr<host::ISqliteDataBase> TKrHQDataCache::GetSqliteDataBase() {
  if (!FDataBase) {
    const std::string path = CacheDataBasePath();
    if (path.empty()) return nullptr;
    FDataBase = OpenCacheDataBase(path);
  }
  return FDataBase;
}

std::string CacheDataBasePath() {
  const std::string directory = host::GetUserPath("");
  return directory.empty() ? std::string() : directory + kSharedDataBaseFileName;
}

std::shared_ptr<host::IKrSecurity> TKrHQDataCache::GetTempCSSecurity() {
  if (!FTempCSSecurity) {
    auto fake = std::make_shared<TKrSecurityFake>();
    fake->SetKoraCode(kTempCSSecurityCode);
    fake->SetStockCode("TEMPCS10000001");
    fake->SetExchange("UX");
    FTempCSSecurity = fake;
  }
  return FTempCSSecurity;
}

TKrHQDataCache& GetHQCach() {
  if (!HQCache) HQCache = std::make_unique<TKrHQDataCache>();
  return *HQCache;
}

bool HQCacheExists() { return HQCache != nullptr; }

void FreeHQCache() { HQCache.reset(); }

}  // namespace kdp
