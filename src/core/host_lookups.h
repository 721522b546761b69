// The host look-ups every subsystem calls: configuration paths, the server time, security and sector
// look-ups, server addresses, the language and login region, and the shared database. Each wraps the host
// and the package data cache so that callers get a plain answer (empty, nullptr, false), never an error.
// Main thread, except where a function says that any thread may call it: those ask the host only, never
// the package's name look-up or data cache.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/date_time.h"
#include "kdp/host/security.h"
#include "kdp/host/sqlite.h"

namespace kdp {

// ---- paths (each ends in "/"; any thread) ----
std::string GetEtcBasePath();  // configuration root + "Base/"
std::string GetHQBasePath();   // configuration root + "HQ/Base/"
// "Base/" + name when that file exists, else root + name when that exists, else "Base/" + name.
std::string GetEtcBaseFilePath(std::string_view name);

// ---- time ----
// The host context's server time; the local clock when there is no context. Any thread.
host::DateTime GetServerDateTime();

// ---- securities and sectors (any thread, except G_GetSecurity) ----
std::shared_ptr<host::IKrSecurityMgrHQ> G_GetHQSecurityMgr();
std::shared_ptr<host::IKrSectorMgrHQ> G_GetHQSectorMgr();
// The host's security of a code: a security service registered at run time first, then the host's
// security master; nullptr for a blank code or one the host does not know.
std::shared_ptr<host::IKrSecurity> G_GetHostSecurity(const std::string& code);
// G_GetHostSecurity, and the package's stand-in security for cross-section calculations, which lives in
// the data cache. Main thread.
std::shared_ptr<host::IKrSecurity> G_GetSecurity(const std::string& code);
std::shared_ptr<host::IKrSecuritys> G_GetSecuritys(const std::vector<std::string>& codes);
std::shared_ptr<host::IKrSector> G_GetSectorByID(const std::string& id);
std::shared_ptr<host::IKrSector> G_GetDefaultUserSector();
std::shared_ptr<host::IKrSector> G_GetCustomSectorRoot();
// The member codes joined by ",", in the sector's order; "" (and a log line) for an unknown sector.
std::string GetKoraCodesBySector(const std::string& id);

// The ID that names the user's default sector in G_GetSectorByID.
inline constexpr const char* kDefaultUserSectorID = "DEFAULT_USER_SECTOR_ID";

// ---- servers ----
// The address of a server of the host's server list by its alias, as a URL ("http://10.1.2.3:8080"); ""
// (and a log line) when the host knows no such server.
std::string G_GetServerAddressByAlias(const std::string& alias);

// ---- language and identity ----
std::string G_getCurrentLanguage();  // "CHS" without a context
int GetLoginRegion();                // 0 without a context

// ---- data cache shortcuts ----
std::shared_ptr<host::ISqliteDataBase> G_GetSqliteDataBase();

}  // namespace kdp
