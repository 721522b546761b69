// The typed service look-ups of core/service_catalog.h: the published name of each service, once.
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/cloud/cloud_data.h"
#include "kdp/cloud/cloud_indexs.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/lux/lux_requests.h"
#include "kdp/lux/sector_tree.h"
#include "kdp/refdata/reference_tables.h"
#include "kdp/refdata/related_data.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/tradedate/trade_date.h"
#include "kdp/ui/ui_resources.h"

namespace kdp {

std::shared_ptr<IKrHQSecurityManager> G_SecurityManager() {
  return G_QueryInterface<IKrHQSecurityManager>("IKrHQSecurityManager");
}
std::shared_ptr<IKrHQFormatManager> G_FormatManager() {
  return G_QueryInterface<IKrHQFormatManager>("IKrHQFormatManager");
}
std::shared_ptr<IKrHQStyleMgr> G_StyleManager() { return G_QueryInterface<IKrHQStyleMgr>("IKrHQStyleMgr"); }
std::shared_ptr<IKrWorldClock> G_WorldClock() { return G_QueryInterface<IKrWorldClock>("IKrWorldClock"); }
std::shared_ptr<IURLMgr> G_URLManager() { return G_QueryInterface<IURLMgr>("IURLMgr"); }
std::shared_ptr<IRelatedSymbol> G_RelatedSymbol() { return G_QueryInterface<IRelatedSymbol>("IRelatedSymbol"); }
std::shared_ptr<ITradeDateMgr> G_TradeDateManager() { return G_QueryInterface<ITradeDateMgr>("ITradeDateMgr"); }
std::shared_ptr<IKrLuxDataManager> G_LuxDataManager() {
  return G_QueryInterface<IKrLuxDataManager>("IKrLuxDataMgr");
}
std::shared_ptr<IKrLuxIndexNameTable> G_LuxIndexNameTable() {
  return G_QueryInterface<IKrLuxIndexNameTable>("IKrLuxIndexNameTable");
}
std::shared_ptr<IKrCloudIndexsMgr> G_CloudIndexsManager() {
  return G_QueryInterface<IKrCloudIndexsMgr>("IKrCloudIndexsMgr");
}
std::shared_ptr<ICloudDataMgr> G_CloudDataManager() { return G_QueryInterface<ICloudDataMgr>("ICloudDataMgr"); }

}  // namespace kdp
