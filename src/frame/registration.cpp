#include "frame/registration.h"

#include <array>

#include <fmt/format.h>

#include "cloud/cloud_command_analysis.h"
#include "cloud/cloud_indexs_mgr.h"
#include "core/data_cache.h"
#include "core/package_lookup.h"
#include "fields/hq_dictionary.h"
#include "fields/hq_expressions.h"
#include "format/format_manager.h"
#include "frame/related_symbol_refresh.h"
#include "kdp/host/log.h"
#include "kdp/host/mem_count.h"
#include "kdp/host/paths.h"
#include "kdp/host/services.h"
#include "kdp/speed/speed_session.h"
#include "lux/lux_data_manager.h"
#include "lux/lux_dealer_id.h"
#include "lux/sector_tree_mgr.h"
#include "messaging/messaging_services.h"
#include "refdata/function_id_dic.h"
#include "refdata/hq_sector_cache.h"
#include "refdata/permission.h"
#include "refdata/stock_type_manager.h"
#include "rtd/rtd_quote_feed.h"
#include "tradedate/trade_date_mgr.h"
#include "ui/ui_resources.h"
#include "util/dp_timer.h"
#include "util/file_watcher.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQRegister";

template <class T, class Face>
host::InterfacePtr MakeFace(RegistrationScratch&) {
  return std::static_pointer_cast<Face>(std::make_shared<T>());
}

// The stock type manager loads its map before anybody can see it.
host::InterfacePtr MakeStockTypeManager(RegistrationScratch&) {
  auto manager = std::make_shared<TKrHQStockTypeManagerImpl>();
  manager->LoadStockTypeMap(host::GetEtcPath() + host::ToNativePath("HQ\\Base\\StockTypeMap.xml"));
  return std::static_pointer_cast<IKrHQSecurityManager>(manager);
}

// The world clock belongs to the stock type manager, which loaded its zones.
host::InterfacePtr WorldClockFace(RegistrationScratch& made) {
  auto manager = std::dynamic_pointer_cast<TKrHQStockTypeManagerImpl>(made.at("IKrHQSecurityManager"));
  return manager ? std::static_pointer_cast<IKrWorldClock>(TKrHQStockTypeManagerImpl::WorldClockFace(manager))
                 : nullptr;
}

// The Lux data manager stays held by its module singleton as well.
host::InterfacePtr MakeLuxDataManager(RegistrationScratch&) {
  return std::static_pointer_cast<IKrLuxDataManager>(TKrLuxDataManager::GetInstance());
}

// The sector tree manager stays held by its module singleton as well; it finds the Lux data manager
// published before it.
host::InterfacePtr MakeSectorTreeManager(RegistrationScratch&) {
  return std::static_pointer_cast<ISectorTreeMgr>(TKrSectorTreeMgr::GetInstance());
}

// The format manager finds the security manager published before it.
host::InterfacePtr MakeFormatManager(RegistrationScratch&) {
  return std::static_pointer_cast<IKrHQFormatManager>(TKrHQFormatManager::CreateInstance());
}

// Registration withdrawn by GUID at shut-down, in its fixed places of the sequence.
void Withdraw(const host::Guid& guid) {
  if (auto registry = host::KrIntfService<host::IKrServiceRegistry>()) registry->UnregisterService(guid, 0);
}

// Names withdrawn at shut-down, in order, before the sector tree manager is released.
constexpr std::array<std::string_view, 17> kNamesWithdrawnFirst{
    "IRelateIndustry",
    "IKrStockTypeVariable",
    "IFundManagementCompany",
    "IRecommendStockMgr",
    "IRelatedSymbol",
    "IWarrantManager",
    "ISecurityBasicManager",
    "ICurrencyManager",
    "ICloudDataMgr",
    "IIndexSectors",
    "IURLMgr",
    "IKrHQDelayLoadEvent",
    "IKrHQUserConfigListenerMgr",
    "IKrCloudIndexsMgr",
    "ITradeDateMgr",
    "IKrHQFormatManager",
    "ISectorTreeMgr",
};
constexpr std::array<std::string_view, 4> kNamesWithdrawnLast{"IKrLuxIndexNameTable", "IKrWorldClock",
                                                              "IKrHQSecurityManager", "IFutureRelateIndex"};

}  // namespace

const std::vector<PublishedService>& StartupServices() {
  static const std::vector<PublishedService> table{
      {"TKrHQStyleMgrProxy", PublishChannel::kGuidRegistry, "IKrHQStyleMgr", IKrHQStyleMgr::IID,
       MakeFace<TKrHQStyleMgrProxy, IKrHQStyleMgr>},
      {"TKrHQSkinMgr", PublishChannel::kGuidRegistry, "IKrHQSkinMgr", IKrHQSkinMgr::IID,
       MakeFace<TKrHQSkinMgr, IKrHQSkinMgr>},
      {"TKrHQLanguageFormMgr", PublishChannel::kGuidRegistry, "IKrHQLanguageFormMgr", IKrHQLanguageFormMgr::IID,
       MakeFace<TKrHQLanguageFormMgr, IKrHQLanguageFormMgr>},
      {"TKrHQSectorCache", PublishChannel::kGuidRegistry, "IKrHQSectorCache", IKrHQSectorCache::IID,
       MakeFace<TKrHQSectorCache, IKrHQSectorCache>},
      {"TKrHQStockTypeManagerImpl", PublishChannel::kNameRegistry, "IKrHQSecurityManager", IKrHQSecurityManager::IID,
       MakeStockTypeManager},
      {"TKrWorldClock", PublishChannel::kNameRegistry, "IKrWorldClock", IKrWorldClock::IID, WorldClockFace},
      {"TKrLuxDataManager", PublishChannel::kNameRegistry, "IKrLuxDataMgr", IKrLuxDataManager::IID, MakeLuxDataManager},
      {"TKrSectorTreeMgr", PublishChannel::kNameRegistry, "ISectorTreeMgr", ISectorTreeMgr::IID, MakeSectorTreeManager},
      {"TKrHQFormatManager", PublishChannel::kNameRegistry, "IKrHQFormatManager", IKrHQFormatManager::IID,
       MakeFormatManager},
      {"TKrTradeDateMgr", PublishChannel::kNameRegistry, "ITradeDateMgr", ITradeDateMgr::IID,
       MakeFace<TKrTradeDateMgr, ITradeDateMgr>},
      {"TKrCloudIndexsMgr", PublishChannel::kNameRegistry, "IKrCloudIndexsMgr", IKrCloudIndexsMgr::IID,
       MakeFace<TKrCloudIndexsMgr, IKrCloudIndexsMgr>},
      {"TKrHQUserConfigListenerMgr", PublishChannel::kNameRegistry, "IKrHQUserConfigListenerMgr",
       IKrHQUserConfigListenerMgr::IID, MakeFace<TKrHQUserConfigListenerMgr, IKrHQUserConfigListenerMgr>},
      {"TKrHQDelayLoadEvent", PublishChannel::kNameRegistry, "IKrHQDelayLoadEvent", IKrHQDelayLoadEvent::IID,
       MakeFace<TKrHQDelayLoadEvent, IKrHQDelayLoadEvent>},
      {"TKrFileWatcherMgr", PublishChannel::kGuidRegistry, "IKrFileWatcherMgr", IKrFileWatcherMgr::IID,
       MakeFace<TKrFileWatcherMgr, IKrFileWatcherMgr>},
  };
  return table;
}

void RegisterHQPubIntf() {
  RegistrationScratch made;
  for (const PublishedService& row : StartupServices()) {
    host::InterfacePtr face = row.obtain(made);
    made[std::string(row.name)] = face;
    if (row.channel == PublishChannel::kGuidRegistry) {
      if (auto registry = host::KrIntfService<host::IKrServiceRegistry>()) {
        registry->RegisterService(row.guid, 0, face);
      }
    } else {
      G_Add(std::string(row.name), face);
    }
    if (host::IsNeedWriteHQLog()) {
      host::AddHQLog(fmt::format("RegisterHQPubIntf {} published as {} ({})", row.implementingClass, row.name,
                                 row.channel == PublishChannel::kGuidRegistry ? row.guid.ToString() : "by name"),
                     kLogSource, host::LogSeverity::kInfo);
    }
  }
}

void UnRegisterHQPubIntf() {
  FreeRelatedSymbolRefresh();  // its cloud request, before the managers it talks to
  TKrUserDealerIDProvider::FreeInstance();
  // Names next, in the fixed order the widgets' owners expect.
  for (std::string_view name : kNamesWithdrawnFirst) G_Remove(std::string(name));
  TKrSectorTreeMgr::FreeInstance();
  G_Remove("IKrLuxDataMgr");
  TKrLuxDataManager::FreeInstance();
  for (std::string_view name : kNamesWithdrawnLast) G_Remove(std::string(name));

  Withdraw(IKrHQSkinMgr::IID);
  Withdraw(IKrHQStyleMgr::IID);
  Withdraw(IKrHQLanguageFormMgr::IID);

  FreeRTDQuoteFeed();  // its engine request goes before the session that attached the engine
  TKrCloudCommandAnalysis::FreeInstance();
  FreeHQSpeedImpl();
  FreeHQCache();

  Withdraw(IKrHQSectorCache::IID);
  Withdraw(IKrFileWatcherMgr::IID);

  FreeHQDictionaryImpl();
  FreeHQExpressionsImpl();
  FreeFunctionIDDic();
  FreeHQPermissionDict();
  // The timer manager is freed after the other module singletons: they may unregister timers as they go.
  FreeDPTimerMgr();

  if (auto comm = G_GetIComm()) comm->NotifyPackageUnloading();

  host::AddHQLog("UnRegisterHQPubIntf: every published service withdrawn", kLogSource, host::LogSeverity::kInfo);
  host::CheckMemLeakOutOnTerminate();
  host::FreeHQLog();
}

}  // namespace kdp
