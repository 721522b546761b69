#include "refdata/security_basic_manager.h"

#include "core/host_lookups.h"
#include "util/strings.h"

namespace kdp {

namespace {

void ReadSecurityBasic(const std::vector<std::string>& f, TkrSecurityBasic& item) {
  item.KoraCode = f[0];
  item.ListedStock = StrToFloatOrZero(f[1]);
  item.CaptilStock = StrToFloatOrZero(f[2]);
  item.EarningPerShare = StrToFloatOrZero(f[3]);
  item.NetAssetPerShare = StrToFloatOrZero(f[4]);
  item.Latest5AV = StrToFloatOrZero(f[5]);
  item.EarningPerShareLYR = StrToFloatOrZero(f[6]);
  item.EPSProjected = StrToFloatOrZero(f[7]);
  item.LastReportDate = StrToIntDef(f[8], 0);
}

}  // namespace

TkrSecurityBasicManager::TkrSecurityBasicManager() : TkrSecurityBasicManager(GetEtcBaseFilePath(kFileName)) {}

TkrSecurityBasicManager::TkrSecurityBasicManager(const std::string& path) {
  FTable.Load(path, 9, "TkrSecurityBasicManager", ReadSecurityBasic);
}

std::shared_ptr<ISecurityBasic> TkrSecurityBasicManager::GetSecurityBasic(const std::string& code) {
  return FTable.Find<ISecurityBasic>(code);
}

}  // namespace kdp
