#include "core/host_lookups.h"

#include <chrono>
#include <filesystem>

#include <fmt/format.h>

#include "core/data_cache.h"
#include "core/package_lookup.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/server_clock.h"
#include "util/strings.h"

namespace kdp {

std::string GetEtcBasePath() { return host::GetEtcPath() + "Base/"; }

std::string GetHQBasePath() { return host::GetEtcPath() + "HQ/Base/"; }

std::string GetEtcBaseFilePath(std::string_view name) {
  std::error_code ec;
  const std::string inBase = GetEtcBasePath() + std::string(name);
  if (std::filesystem::exists(inBase, ec)) return inBase;
  const std::string inRoot = host::GetEtcPath() + std::string(name);
  if (std::filesystem::exists(inRoot, ec)) return inRoot;
  return inBase;
}

host::DateTime GetServerDateTime() {
  auto context = GetHQContext();
  return context ? context->GetServerDateTime() : host::ServerTimeAt(std::chrono::system_clock::now());
}

std::shared_ptr<host::IKrSecurityMgrHQ> G_GetHQSecurityMgr() { return host::KrIntfService<host::IKrSecurityMgrHQ>(); }

std::shared_ptr<host::IKrSectorMgrHQ> G_GetHQSectorMgr() { return host::KrIntfService<host::IKrSectorMgrHQ>(); }

std::shared_ptr<host::IKrSecurity> G_GetHostSecurity(const std::string& code) {
  const std::string trimmed = Trim(code);
  if (trimmed.empty()) return nullptr;
  if (auto service = host::QueryServiceIntf<host::IKrSecurityMgrHQ>()) {
    if (auto security = service->GetSecurity(trimmed)) return security;
  }
  auto master = G_GetHQSecurityMgr();
  return master ? master->GetSecurity(trimmed) : nullptr;
}

std::shared_ptr<host::IKrSecurity> G_GetSecurity(const std::string& code) {
  if (auto security = G_GetHostSecurity(code)) return security;
  if (Trim(code) == kTempCSSecurityCode) return GetHQCach().GetTempCSSecurity();
  return nullptr;
}

std::shared_ptr<host::IKrSecuritys> G_GetSecuritys(const std::vector<std::string>& codes) {
  if (codes.empty()) return nullptr;
  if (auto service = host::QueryServiceIntf<host::IKrSecurityMgrHQ>()) {
    if (auto list = service->GetSecuritys(codes)) return list;
  }
  if (auto master = G_GetHQSecurityMgr()) return master->GetSecuritys(codes);
  return nullptr;
}

std::string G_GetServerAddressByAlias(const std::string& alias) {
  std::string address = host::GetServerAddressByNameWithHttpPrefix(alias);
  if (address.empty()) {
    host::AddHQLog("server alias not in the host's server list: " + alias, "uKrToolsFunc", host::LogSeverity::kNotice);
  }
  return address;
}

std::shared_ptr<host::IKrSector> G_GetDefaultUserSector() {
  auto manager = G_GetHQSectorMgr();
  return manager ? manager->GetDefaultUserSector() : nullptr;
}

std::shared_ptr<host::IKrSector> G_GetSectorByID(const std::string& id) {
  if (id.empty()) return nullptr;
  if (auto service = host::QueryServiceIntf<host::IKrSectorMgrHQ>()) {
    if (auto sector = service->GetSectorByID(id)) return sector;
  }
  if (ToUpperAscii(id) == kDefaultUserSectorID) return G_GetDefaultUserSector();
  auto manager = G_GetHQSectorMgr();
  return manager ? manager->GetSectorByID(id) : nullptr;
}

std::shared_ptr<host::IKrSector> G_GetCustomSectorRoot() {
  auto manager = G_GetHQSectorMgr();
  return manager ? manager->GetCustomSectorRoot() : nullptr;
}

std::string GetKoraCodesBySector(const std::string& id) {
  auto sector = G_GetSectorByID(id);
  if (!sector) {
    host::AddHQLog(fmt::format("GetKoraCodesBySector 该板块{}未找到对应的KoraCode", id), "uKrToolsFunc",
                   host::LogSeverity::kInfo);
    return {};
  }
  std::string joined;
  for (const std::string& code : sector->GetMemberCodes()) {
    if (!joined.empty()) joined += ',';
    joined += code;
  }
  return joined;
}

std::string G_getCurrentLanguage() {
  auto context = GetHQContext();
  return context ? context->GetLanguage() : "CHS";
}

int GetLoginRegion() {
  auto context = GetHQContext();
  return context ? context->GetLoginRegion() : 0;
}

std::shared_ptr<host::ISqliteDataBase> G_GetSqliteDataBase() { return GetHQCach().GetSqliteDataBase(); }

}  // namespace kdp
