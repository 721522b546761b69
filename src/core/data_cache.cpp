#include "core/data_cache.h"

#include "core/package_lookup.h"
#include "core/security_fake.h"
#include "core/service_catalog.h"
#include "kdp/error.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"

namespace kdp {
namespace {

std::unique_ptr<TKrHQDataCache> HQCache;

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
    const std::string directory = host::GetUserPath("");
    if (directory.empty()) return nullptr;
    FDataBase = host::OpenDB(directory + kSharedDataBaseFileName);
  }
  return FDataBase;
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
