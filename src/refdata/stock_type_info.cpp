#include "refdata/stock_type_info.h"

#include <array>

#include "core/host_lookups.h"
#include "refdata/permission.h"
#include "util/strings.h"

namespace kdp {
namespace {

// Index pages with a detail page of their own, whatever the user's rights.
constexpr std::array<std::string_view, 2> kStarIndexCodes{"000688.SH", "000680.SH"};
constexpr std::string_view kMarketIndexCodes = "881001.KI,000300.SH,000001.SH,399106.SZ,399001.SZ,399101.SZ,399102.SZ";

}  // namespace

TKrHQStockTypeInfoImpl::TKrHQStockTypeInfoImpl(std::shared_ptr<host::IKrSecurity> security)
    : FISecurity(std::move(security)), FIsValid(FISecurity != nullptr) {}

void TKrHQStockTypeInfoImpl::FillFrom(const TKrStockTypeDataItem& entry) {
  FHQType = entry.HQType;
  FHQTypeID = entry.StockID;
  FStockType = entry.StockType;
  FSuffix = entry.ExChange;
  FIndexCode = entry.IndexCode;
  FDefaultSector = entry.defaultSector;
  FMarketTimeSep = entry.MarketTimeSep;
  FMarketClean = entry.MarketClean;
  FHisDir = entry.HisDir;
  FCity = entry.clock;
  FKLineHisVolumeDiv = entry.klinehisvolumediv;
  FKLineRealTimeVolumeDiv = entry.klinerealtimevolumediv;
  FMenuState = entry.MenuState;
  FAllowTrade = entry.AllowTrade;
  FF5Page = entry.F5Page;
  FF5PermissionsStr = entry.F5PermissionsStr;
  FF5PermissionsStrFreePad = entry.F5PermissionsStrFreePad;
  FF5PageNamesStr = entry.F5PageNamesStr;
}

std::string TKrHQStockTypeInfoImpl::GetKoraCode() { return FISecurity ? FISecurity->GetKoraCode() : std::string(); }
std::string TKrHQStockTypeInfoImpl::GetStockCode() { return FISecurity ? FISecurity->GetStockCode() : std::string(); }
std::string TKrHQStockTypeInfoImpl::GetStockName() { return FISecurity ? FISecurity->GetStockName() : std::string(); }

std::string TKrHQStockTypeInfoImpl::GetStockType() {
  if (!FStockType.empty()) return FStockType;
  return FISecurity ? FISecurity->GetStockType() : std::string();
}

char TKrHQStockTypeInfoImpl::GetListStatus() { return FISecurity ? FISecurity->GetListStatus() : ' '; }

int TKrHQStockTypeInfoImpl::GetCategory() { return FISecurity ? FISecurity->GetCategory(host::kQuoteCategoryKind) : 0; }

std::string TKrHQStockTypeInfoImpl::GetTradeSpan() { return FISecurity ? FISecurity->GetTradeSpan() : std::string(); }

std::string TKrHQStockTypeInfoImpl::ChooseF5Page(const std::vector<std::string>& names,
                                                 const std::vector<std::string>& permissions) const {
  if (names.size() != permissions.size()) return FF5Page;
  std::string chosen = FF5Page;
  int best = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (permissions[i].empty()) continue;
    const int rating = MatchPermission(permissions[i]);
    if (rating > best) {
      best = rating;
      chosen = names[i];
    }
  }
  return chosen;
}

std::string TKrHQStockTypeInfoImpl::GetF5Page() {
  if (FISecurity) {
    const std::string code = ToUpperAscii(FISecurity->GetKoraCode());
    for (std::string_view star : kStarIndexCodes) {
      if (code == star) return "F5_S_K";
    }
    for (const std::string& index : SplitString(kMarketIndexCodes, ',')) {
      if (code == index) return "F5_S_A";
    }
  }
  return ChooseF5Page(FastSplit(FF5PageNamesStr, ";"), FastSplit(FF5PermissionsStr, ";"));
}

std::string TKrHQStockTypeInfoImpl::GetF5PageFreePad(const std::string& padKey) {
  if (TrimView(padKey).empty()) return FF5Page;
  // Each permission piece holds "{key:rights}{key:rights}..."; the rights of the pad key are rated.
  std::vector<std::string> permissions;
  for (const std::string& piece : FastSplit(FF5PermissionsStrFreePad, ";")) {
    std::string rights;
    for (const std::string& sub : FastSplit(piece, "}{")) {
      if (sub.find(padKey) == std::string::npos) continue;
      std::string bare;
      for (char c : sub) {
        if (c != '{' && c != '}') bare.push_back(c);
      }
      const std::size_t colon = bare.find(':');
      rights = colon == std::string::npos ? std::string() : bare.substr(colon + 1);
      break;
    }
    permissions.push_back(rights);
  }
  return ChooseF5Page(FastSplit(FF5PageNamesStr, ";"), permissions);
}

}  // namespace kdp
