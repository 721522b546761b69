#include "kdp/speed/speed_session.h"

#include <array>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/log.h"
#include "kdp/refdata/reference_tables.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/tradedate/trade_date.h"
#include "util/host_addresses.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::size_t kSecurityCacheLimit = 20;

// Sectors the engine asks about that are not sectors of the host's sector master.
constexpr std::string_view kAHSectorA = "HQ_AH_ASECTOR";
constexpr std::string_view kAHSectorH = "HQ_AH_HSECTOR";
constexpr std::string_view kBusinessSector = "经济业务专用板块";
constexpr const char* kDefaultMember = "600000.SH";

std::shared_ptr<TKrHQSpeedImpl> g_HQSpeedImpl;

std::shared_ptr<host::IKrSector> UserSector(const std::string& name) {
  auto manager = G_GetHQSectorMgr();
  return manager ? manager->GetUserSectorByID(name) : nullptr;
}

std::shared_ptr<host::IKrSector> CustomSector(const std::string& name) {
  auto root = G_GetCustomSectorRoot();
  return root && SameTextAscii(root->GetID(), name) ? root : nullptr;
}

bool IsUserSector(const std::string& name) { return UserSector(name) != nullptr; }

bool IsCustomSector(const std::string& name) { return CustomSector(name) != nullptr; }

// A sector the engine names: a system sector, else one of the user's own (the watch list, the user's
// sectors and their root), with the members the host's sector master holds.
std::shared_ptr<host::IKrSector> SectorByName(const std::string& name) {
  if (auto sector = G_GetSectorByID(name)) return sector;
  if (auto sector = UserSector(name)) return sector;
  return CustomSector(name);
}

}  // namespace

TKrSpeedConfig::TKrSpeedConfig(AddressSource addresses)
    : FAddresses(addresses ? std::move(addresses) : AddressSource(ResolveHostAddresses)) {}

std::string TKrSpeedConfig::GetSpeedUserID() {
  std::lock_guard lock(FAddressLock);
  if (!FIPListFilled) {
    FIPList = FAddresses();
    FIPListFilled = true;
  }
  int a = 1, b = 1;
  if (!FIPList.empty()) {
    const auto parts = SplitString(FIPList.front(), '.');
    if (parts.size() >= 4) {
      a = StrToIntDef(parts[2], 0);
      b = StrToIntDef(parts[3], 0);
    }
  }
  return fmt::format("kora1#{:04X}", a * 256 + b);
}

std::string TKrSpeedConfig::GetTradeTime(const std::string& code) {
  const auto manager = Sources()->TradeDateMgr;
  auto security = manager ? GetSecurity(code) : nullptr;
  if (!security) return {};
  std::string sessions;
  for (int hhmm : manager->GetMarketTime(security)) {
    if (!sessions.empty()) sessions += ',';
    sessions += std::to_string(hhmm);
  }
  return sessions;
}

void TKrSpeedConfig::PrepareSources() {
  auto sources = std::make_shared<TKrSpeedConfigSources>();
  sources->SecurityManager = G_SecurityManager();
  sources->RelatedSymbol = G_RelatedSymbol();
  sources->TradeDateMgr = G_TradeDateManager();
  std::lock_guard lock(FSourcesLock);
  FSources = std::move(sources);
}

std::shared_ptr<const TKrSpeedConfigSources> TKrSpeedConfig::Sources() {
  std::lock_guard lock(FSourcesLock);
  return FSources;
}

std::string TKrSpeedConfig::GetStockType(const std::string& code) {
  const auto manager = Sources()->SecurityManager;
  if (!manager) return {};
  auto info = manager->GetSecurityInfo(GetSecurity(code));
  return info ? info->GetStockType() : std::string();
}

std::shared_ptr<host::IKrSecurity> TKrSpeedConfig::GetSecurity(const std::string& code) {
  std::lock_guard lock(FCacheLock);
  auto it = FSecurityCache.find(code);
  if (it != FSecurityCache.end()) return it->second;
  if (FSecurityCache.size() >= kSecurityCacheLimit) FSecurityCache.clear();
  auto security = G_GetHostSecurity(code);
  FSecurityCache.emplace(code, security);  // a missing security is remembered too
  return security;
}

std::size_t TKrSpeedConfig::CachedSecurityCount() {
  std::lock_guard lock(FCacheLock);
  return FSecurityCache.size();
}

std::string TKrSpeedConfig::GetMember(const std::string& sectorName, int index) {
  if (sectorName == kAHSectorA || sectorName == kAHSectorH) {
    const auto related = Sources()->RelatedSymbol;
    const std::string code = related ? related->GetAHKoraCodeByIndex(sectorName == kAHSectorA ? "A" : "H", index) : "";
    return code.empty() ? kDefaultMember : code;
  }
  // The business sector belongs to the recommended-stock service, which this terminal does not publish.
  if (sectorName == kBusinessSector) return kDefaultMember;
  auto sector = SectorByName(sectorName);
  if (!sector || index < 0) return kDefaultMember;
  const auto members = sector->GetMemberCodes();
  return static_cast<std::size_t>(index) < members.size() ? members[static_cast<std::size_t>(index)] : kDefaultMember;
}

int TKrSpeedConfig::GetMemberTotal(const std::string& sectorName) {
  if (sectorName == kAHSectorA || sectorName == kAHSectorH) {
    const auto related = Sources()->RelatedSymbol;
    return related ? related->GetAHKoraCodeCount() : 0;
  }
  if (sectorName == kBusinessSector) return 0;
  auto sector = SectorByName(sectorName);
  return sector ? static_cast<int>(sector->GetMemberCodes().size()) : 0;
}

int TKrSpeedConfig::IsSystemSector(const std::string& sectorName) {
  if (sectorName == kAHSectorA || sectorName == kAHSectorH || sectorName == kBusinessSector) return 0;
  if (IsUserSector(sectorName) || IsCustomSector(sectorName)) return 0;
  return -1;
}

int TKrSpeedCallBack::NotifyConnect(int code) {
  std::lock_guard lock(FConnectLock);
  const bool wasConnected = FConnectCode.exchange(code) == 0;
  const bool connected = code == 0;
  if (connected != wasConnected && FConnectionSink) FConnectionSink({connected, GetServerDateTime()});
  return 0;
}

int TKrSpeedCallBack::NotifyLEDChange(int status) {
  UpdateSpeedStatus(status);
  return 0;
}

void TKrSpeedCallBack::SetStatusHandler(SpeedStatusHandler handler) {
  std::lock_guard lock(FLock);
  FStatusHandler = std::move(handler);
}

void TKrSpeedCallBack::SetConnectionSink(SpeedConnectionHandler sink) {
  std::lock_guard lock(FConnectLock);
  FConnectionSink = std::move(sink);
}

void TKrSpeedCallBack::UpdateSpeedStatus(int status) {
  if (FSpeedStatus.exchange(status) == status) return;
  SpeedStatusHandler handler;
  {
    std::lock_guard lock(FLock);
    handler = FStatusHandler;
  }
  if (handler) {
    handler(this, status);
  } else if (status == -1) {
    host::AddHQLog("[==SpeedState==]   SPEED_DISCONNECTED", "uKrHQSpeedImpl", host::LogSeverity::kWarning);
  }
}

TKrHQSpeedImpl::TKrHQSpeedImpl() : FSpeed(G_GetSpeed()) { InitSpeedCallback(); }

TKrHQSpeedImpl::~TKrHQSpeedImpl() {
  // The engine must not call into a session that is gone; a change it is reporting right now finishes
  // first, and what it posted is dropped with the window.
  if (FSpeed) FSpeed->SetCallBack(nullptr);
  FCallBack->SetConnectionSink(nullptr);
  FWindow.Release();
}

void TKrHQSpeedImpl::InitSpeedCallback() {
  if (!FCallBack) FCallBack = std::make_shared<TKrSpeedCallBack>();
  FCallBack->SetConnectionSink([this, window = FWindow.GetRef()](const TKrSpeedConnection& connection) {
    window.Post([this, connection] { PublishConnection(connection); });
  });
  // Before the engine can ask anything.
  FCallBack->GetConfig()->PrepareSources();
  if (FSpeed) FSpeed->SetCallBack(FCallBack);
  if (auto config = FCallBack->GetIConfig()) FUserID = config->GetSpeedUserID();
}

void TKrHQSpeedImpl::SetOnUpdataSpeedStatus(SpeedStatusHandler handler) {
  FStatusHandler = handler;
  if (FCallBack) FCallBack->SetStatusHandler(std::move(handler));
}

int TKrHQSpeedImpl::AddConnectionListener(SpeedConnectionHandler listener) {
  FConnectionListeners.emplace(++FLastListenerID, std::make_shared<const SpeedConnectionHandler>(std::move(listener)));
  return FLastListenerID;
}

void TKrHQSpeedImpl::RemoveConnectionListener(int id) { FConnectionListeners.erase(id); }

void TKrHQSpeedImpl::PublishConnection(const TKrSpeedConnection& connection) {
  FConnection = connection;
  host::AddHQLog(fmt::format("quote engine {} since {}", connection.Connected ? "connected" : "disconnected",
                             connection.Since.ToString()),
                 "uKrHQSpeedImpl", host::LogSeverity::kInfo);
  // Listeners added while the change is told hear only later changes; removed ones hear nothing more.
  const auto listeners = FConnectionListeners;
  for (const auto& [id, listener] : listeners) {
    if (FConnectionListeners.contains(id)) (*listener)(connection);
  }
}

std::shared_ptr<host::ISpeed> G_GetSpeed() {
  auto context = GetHQContext();
  return context ? context->GetSpeed() : nullptr;
}

std::shared_ptr<TKrHQSpeedImpl> G_GetHQSpeedImpl() {
  if (!g_HQSpeedImpl) g_HQSpeedImpl = std::make_shared<TKrHQSpeedImpl>();
  return g_HQSpeedImpl;
}

void FreeHQSpeedImpl() { g_HQSpeedImpl.reset(); }

}  // namespace kdp
