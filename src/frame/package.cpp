// The package's module start and stop steps and its exported entry points.
#include "kdp/package.h"

#include <array>
#include <exception>

#include "cloud/cloud_command_analysis.h"
#include "core/data_cache.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "core/string_catalog.h"
#include "fields/hq_dictionary.h"
#include "fields/hq_expressions.h"
#include "frame/registration.h"
#include "kdp/host/log.h"
#include "kdp/speed/speed_session.h"
#include "lux/lux_data_manager.h"
#include "lux/lux_dealer_id.h"
#include "lux/sector_tree_mgr.h"
#include "refdata/function_id_dic.h"
#include "refdata/permission.h"
#include "rtd/rtd_quote_feed.h"
#include "script/script_server.h"
#include "util/dp_timer.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "KDP";

// A unit of the package with work at start or stop; units without such work are not listed.
struct ModuleStep {
  std::string_view unit;
  void (*start)();
  void (*stop)();
};

// Release the module singletons that the withdrawal may have left (it frees them too; both tolerate
// finding nothing). The timer manager is bound to the host's loop, so it must not outlive the host.
void StopRegistrationUnit() {
  FreeRTDQuoteFeed();
  FreeHQSpeedImpl();
  TKrUserDealerIDProvider::FreeInstance();
  TKrSectorTreeMgr::FreeInstance();
  TKrLuxDataManager::FreeInstance();
  TKrCloudCommandAnalysis::FreeInstance();
  FreeHQCache();
  FreeHQDictionaryImpl();
  FreeHQExpressionsImpl();
  FreeFunctionIDDic();
  FreeHQPermissionDict();
  FreeDPTimerMgr();
}

// Module order: the registration unit comes after every unit it uses.
constexpr std::array kModules{
    ModuleStep{"uHQStrCatch", CreateStrCatch, FreeStrCatch},
    ModuleStep{"uKrScriptServer", CreateScriptServer, FreeScriptServer},
    ModuleStep{"uKrHQRegister", RegisterHQPubIntf, StopRegistrationUnit},
};

}  // namespace

bool Initialize() {
  for (const ModuleStep& module : kModules) {
    try {
      module.start();
    } catch (const std::exception& e) {
      host::AddHQLog(std::string("Initialize failed in ") + std::string(module.unit) + ": " + e.what(), kLogSource,
                     host::LogSeverity::kError);
      return false;
    }
  }
  return true;
}

host::InterfacePtr QueryPackageInterface(const std::string& name) { return G_QueryInterface(name); }

std::string InterfaceNameOf(const host::Guid& iid) {
  for (const PublishedService& row : StartupServices()) {
    if (row.guid == iid) return std::string(row.name);
  }
  for (const TKrDataInterfaceRecord& record : OnDemandServices()) {
    if (record.GUID == iid) return record.Name;
  }
  for (const auto table : {ContextProviderServices(), HostProviderServices()}) {
    for (const NamedGuid& known : table) {
      if (known.guid == iid) return std::string(known.name);
    }
  }
  return {};
}

void Finalize() {
  for (auto it = kModules.rbegin(); it != kModules.rend(); ++it) it->stop();
}

}  // namespace kdp

void KdpInstallHost(kdp::host::IHostEnvironment* environment) { kdp::host::InstallHostEnvironment(environment); }
int KdpInitialize(void) { return kdp::Initialize() ? 1 : 0; }
void UnRegisterHQPubIntf(void) { kdp::UnRegisterHQPubIntf(); }
void KdpFinalize(void) { kdp::Finalize(); }
