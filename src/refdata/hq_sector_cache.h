// TKrHQSectorCache: the package's IKrHQSectorCache (see kdp/refdata/sector_cache.h). Sectors are keyed by
// the ID they answer, securities by their code, collections by the comma text of the codes asked for.
//
// Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kdp/refdata/sector_cache.h"

namespace kdp {

class TKrHQSectorCache final : public host::Implements<IKrHQSectorCache> {
 public:
  std::shared_ptr<host::IKrSector> GetSectorByID(const std::string& id) override;
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code) override;
  std::shared_ptr<host::IKrSecuritys> GetSecuritys(const std::vector<std::string>& codes) override;
  bool GetCacheSectorIDs(std::vector<std::shared_ptr<host::IKrSector>>& sectors) override;
  void SetSectorID(const std::string& id) override;
  void SetSectorIDs(const std::string& ids) override;
  void SetIsCacheSector(bool flag) override { FIsCacheSector = flag; }
  bool GetIsCacheSector() override { return FIsCacheSector; }

 private:
  bool FIsCacheSector = false;
  std::map<std::string, std::shared_ptr<host::IKrSector>> FSectorDict;
  std::map<std::string, std::shared_ptr<host::IKrSecurity>> FSecurityDict;
  std::map<std::string, std::shared_ptr<host::IKrSecuritys>> FSecuritysDict;
};

}  // namespace kdp
