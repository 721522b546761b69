#include "refdata/hq_sector_cache.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "util/strings.h"

namespace kdp {
namespace {

// The sector an ID names: the user's default sector for its reserved ID, else a system sector, else one of
// the user's own.
std::shared_ptr<host::IKrSector> FindHostSector(const std::string& id) {
  auto master = G_GetHQSectorMgr();
  if (!master) return nullptr;
  if (ToUpperAscii(id) == kDefaultUserSectorID) return master->GetDefaultUserSector();
  if (auto sector = master->GetSectorByID(id)) return sector;
  return master->GetUserSectorByID(id);
}

// The host's collection for the codes, or nullptr when there is no context or security master to ask.
std::shared_ptr<host::IKrSecuritys> FetchSecuritys(const std::vector<std::string>& codes) {
  if (!GetHQContext() || !G_GetHQSecurityMgr()) return nullptr;
  return G_GetSecuritys(codes);
}

}  // namespace

std::shared_ptr<host::IKrSector> TKrHQSectorCache::GetSectorByID(const std::string& id) {
  if (!FIsCacheSector) return nullptr;
  const auto found = FSectorDict.find(id);
  return found == FSectorDict.end() ? nullptr : found->second;
}

std::shared_ptr<host::IKrSecurity> TKrHQSectorCache::GetSecurity(const std::string& code) {
  if (!FIsCacheSector) return nullptr;
  const auto found = FSecurityDict.find(code);
  return found == FSecurityDict.end() ? nullptr : found->second;
}

std::shared_ptr<host::IKrSecuritys> TKrHQSectorCache::GetSecuritys(const std::vector<std::string>& codes) {
  if (!FIsCacheSector || codes.empty()) return nullptr;
  const std::string key = fmt::format("{}", fmt::join(codes, ","));
  if (const auto found = FSecuritysDict.find(key); found != FSecuritysDict.end()) return found->second;
  auto securitys = FetchSecuritys(codes);
  if (securitys) FSecuritysDict[key] = securitys;
  return securitys;
}

bool TKrHQSectorCache::GetCacheSectorIDs(std::vector<std::shared_ptr<host::IKrSector>>& sectors) {
  for (const auto& [id, sector] : FSectorDict) sectors.push_back(sector);
  return !sectors.empty();
}

void TKrHQSectorCache::SetSectorID(const std::string& id) {
  if (id.empty()) return;
  auto sector = FindHostSector(id);
  if (!sector) return;
  FSectorDict[sector->GetID()] = sector;
  const std::vector<std::string> members = sector->GetMemberCodes();
  if (members.empty()) return;
  auto securitys = FetchSecuritys(members);
  if (!securitys) return;
  for (int i = 0; i < securitys->GetCount(); ++i) {
    if (auto security = securitys->GetItem(i)) FSecurityDict[security->GetKoraCode()] = security;
  }
}

void TKrHQSectorCache::SetSectorIDs(const std::string& ids) {
  for (const std::string& id : SplitString(ids, ',')) {
    if (!id.empty()) SetSectorID(id);
  }
}

}  // namespace kdp
