#include "core/service_catalog.h"

#include <array>
#include <memory>

#include "cloud/cloud_data_mgr.h"
#include "frame/related_symbol_refresh.h"
#include "kdp/ui/ui_resources.h"
#include "lux/sector_tree_mgr.h"
#include "refdata/currency_manager.h"
#include "refdata/fund_management_company.h"
#include "refdata/index_sectors.h"
#include "refdata/related_data_services.h"
#include "refdata/security_basic_manager.h"
#include "refdata/stock_type_variable.h"
#include "refdata/warrant_manager.h"

namespace kdp {
namespace {

template <class T>
InterfacePtr Make() {
  return std::make_shared<T>();
}

constexpr std::array kContextProviderServices{
    NamedGuid{"IKrSectorsManagement", "AB22E15B-5D0F-4CE8-A09C-654A626EB7FB"},
    NamedGuid{"IBaseLog", "7D78F1C4-8CE0-425B-8CD5-D06977EC0A70"},
    NamedGuid{"IFrameworkEvent", "B9ADEFCF-ABA4-4A5A-94F3-45532458F072"},
    NamedGuid{"IKrLuxEventsBroadcast", "2596944D-B53E-41E4-9E52-50FB05CB0230"},
    NamedGuid{"IKrMultiLanguage", "01621572-B53A-4729-BBB0-FED157A49E5F"},
    NamedGuid{"IBelongSectors2", "DE9F6B28-71A7-40DA-95BF-4CAEA7C63F47"},
    NamedGuid{"IKrMultiScreen", "C52840DE-DC2A-408B-A874-70FC3DE16259"},
};

constexpr std::array kHostProviderServices{
    NamedGuid{"IKrHQStyleMgr", IKrHQStyleMgr::IID},
    NamedGuid{"IKrHQSkinMgr", IKrHQSkinMgr::IID},
};

}  // namespace

std::vector<TKrDataInterfaceRecord> OnDemandServices() {
  return {
      {"IRelateIndustry", IRelateIndustry::IID, Make<TKrRelateIndustry>},
      {"IKrStockTypeVariable", IKrStockTypeVariable::IID, Make<TStockTypeVariable>},
      {"IFundManagementCompany", IFundManagementCompany::IID, Make<THQFundManagementCompanyImpl>},
      {"IKrLuxIndexNameTable", IKrLuxIndexNameTable::IID, Make<TKrLuxIndexNameTable>},
      {"IURLMgr", IURLMgr::IID, Make<TURLMgr>},
      {"ICloudDataMgr", ICloudDataMgr::IID, Make<TCloudDataMgr>},
      {"IRelatedSymbol", IRelatedSymbol::IID, MakeRelatedSymbolWithCloudRefresh},
      {"IWarrantManager", IWarrantManager::IID, Make<TkrWarrantManager>},
      {"ISecurityBasicManager", ISecurityBasicManager::IID, Make<TkrSecurityBasicManager>},
      {"ICurrencyManager", ICurrencyManager::IID, Make<TkrCurrencyManager>},
      {"IIndexSectors", IIndexSectors::IID, Make<TKrIndexSectors>},
      {"IFutureRelateIndex", IFutureRelateIndex::IID, Make<TKrFutureRelateIndex>},
  };
}

std::span<const NamedGuid> ContextProviderServices() { return kContextProviderServices; }
std::span<const NamedGuid> HostProviderServices() { return kHostProviderServices; }

}  // namespace kdp
