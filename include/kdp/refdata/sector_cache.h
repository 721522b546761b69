// IKrHQSectorCache: host sector objects and the security objects of their members, kept in memory so that
// sector-based widgets resolve members without asking the host again. Published at start-up in the host's
// GUID registry. Caching starts off: until SetIsCacheSector(true) the look-ups answer nullptr, although
// SetSectorID still fills the cache. Entries are never removed.
//
// Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kdp/host/interface.h"
#include "kdp/host/security.h"

namespace kdp {

class IKrHQSectorCache : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "6E5F9134-6827-4411-AF71-B2716C62FC05";

  // The cached sector; nullptr when caching is off or the ID is not cached.
  virtual std::shared_ptr<host::IKrSector> GetSectorByID(const std::string& id) = 0;
  // The cached security; nullptr when caching is off or the code is not cached.
  virtual std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code) = 0;
  // The host's collection for the codes, fetched once per comma text of the list; nullptr when caching is
  // off, the list is empty or the host has no security master.
  virtual std::shared_ptr<host::IKrSecuritys> GetSecuritys(const std::vector<std::string>& codes) = 0;
  // Appends every cached sector; true when `sectors` is then not empty.
  virtual bool GetCacheSectorIDs(std::vector<std::shared_ptr<host::IKrSector>>& sectors) = 0;
  // Caches the sector (the user's default sector for "DEFAULT_USER_SECTOR_ID", any case) and its members'
  // securities. An empty or unknown ID does nothing.
  virtual void SetSectorID(const std::string& id) = 0;
  // SetSectorID for every non-empty piece of `ids` split at ","; blanks belong to the IDs.
  virtual void SetSectorIDs(const std::string& ids) = 0;
  virtual void SetIsCacheSector(bool flag) = 0;
  virtual bool GetIsCacheSector() = 0;
};

}  // namespace kdp
