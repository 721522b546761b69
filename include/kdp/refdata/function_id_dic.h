// TFunctionIDDic: the terminal's function IDs, the 12-digit numbers that name terminal pages (minute,
// K-line, trade detail, attachments and the others) and functions, by function name from the function ID
// document ("HQ/Base/HqFuncID.xml", read as its ".hqc" twin). For a security it chooses the ID of each page
// by the security's HQ type: the first market group (an ordered list of HQ types) that holds the type
// decides, either as a fixed ID ("0001", the group's market number, the page number: "000100530001" is the
// minute page of the mainland shares) or, for the bond, rate and bond-future groups, as the document's ID
// of a function name ("ID_NTB_Prices" is the minute page of the bond markets). A type no group holds has
// no page: the chooser answers "".
//
// HQWriteBAuditLog records one use of a function in the host's audit trail.
//
// One instance (GetInstance), made and loaded on first use and read-only afterwards. Main thread only.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/bin_document.h"
#include "kdp/host/security.h"

namespace kdp {

// The pages a chooser answers for.
enum class TFunctionPage {
  kKline,
  kMinute,
  kTradeDetail,
  kDealPrice,
  kTick,
  kHisPlay,
  kAttachEDE,
  kAttachMacro,
  kAttachSecurity,
  kCancelAttach,
  kUserAttach,
};
inline constexpr std::array<TFunctionPage, 11> kFunctionPages{
    TFunctionPage::kKline,        TFunctionPage::kMinute,      TFunctionPage::kTradeDetail,
    TFunctionPage::kDealPrice,    TFunctionPage::kTick,        TFunctionPage::kHisPlay,
    TFunctionPage::kAttachEDE,    TFunctionPage::kAttachMacro, TFunctionPage::kAttachSecurity,
    TFunctionPage::kCancelAttach, TFunctionPage::kUserAttach,
};

// The page's name in function names ("Prices" for the minute page, "KLine", "TradeDetail", ...).
std::string_view FunctionPageName(TFunctionPage page);

class TFunctionIDDic {
 public:
  // The dictionary of the configuration root's function ID document, made on the first call.
  static TFunctionIDDic& GetInstance();

  // Loads the ".hqc" twin of `xmlPath`; a document that cannot be read leaves the dictionary empty (logged).
  explicit TFunctionIDDic(const std::string& xmlPath);
  TFunctionIDDic(const TFunctionIDDic&) = delete;
  TFunctionIDDic& operator=(const TFunctionIDDic&) = delete;

  // The function ID of a name of the document's CONFIG element (without regard to ASCII case); "" when
  // unknown or empty.
  std::string GetFunctionIDByStr(const std::string& name) const;
  // The document's MODULECONFIG and SERVERCONFIG nodes as they are; nullptr when absent. Valid while the
  // dictionary lives.
  const host::IBinNode* GetFunctionIDConfigNode() const { return FModuleConfig; }
  const host::IBinNode* GetFunctionIDServerNode() const { return FServerConfig; }

  // The page's function ID for the security (its HQ type through the security manager); "" for a null
  // security, a type no market group holds, or a bond page the document does not name.
  std::string GetPageFunIDByKoraCode(TFunctionPage page, const std::shared_ptr<host::IKrSecurity>& security) const;
  // The same by HQ type.
  std::string GetPageFunIDByHQType(TFunctionPage page, const std::string& hqType) const;

  std::string GetKlineFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kKline, s);
  }
  std::string GetMinuteFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kMinute, s);
  }
  std::string GetTradeDetailFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kTradeDetail, s);
  }
  std::string GetDealPriceFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kDealPrice, s);
  }
  std::string GetTICKFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kTick, s);
  }
  std::string GetHisPlayFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kHisPlay, s);
  }
  std::string GetAttachEDEFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kAttachEDE, s);
  }
  std::string GetAttachMacroFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kAttachMacro, s);
  }
  std::string GetAttachSecurityFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kAttachSecurity, s);
  }
  std::string GetCancelAttachFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kCancelAttach, s);
  }
  std::string GetUserAttachFunIDByKoraCode(const std::shared_ptr<host::IKrSecurity>& s) const {
    return GetPageFunIDByKoraCode(TFunctionPage::kUserAttach, s);
  }

  // The market groups in the order the choosers try them, each split at ",".
  const std::vector<std::vector<std::string>>& GetMarketGroups() const { return FMarketGroups; }
  // The index of the first market group that holds the HQ type (compared exactly); -1 when none does.
  int FindMarketGroup(const std::string& hqType) const;

 private:
  void LoadHQFuncID_Bin(const std::string& fileName);
  void InitMarketsDic();

  std::shared_ptr<host::IBinDocument> FDocument;    // keeps the two nodes below alive
  std::map<std::string, std::string> FFunctionIDs;  // upper-cased function name -> ID
  const host::IBinNode* FModuleConfig = nullptr;
  const host::IBinNode* FServerConfig = nullptr;
  std::vector<std::vector<std::string>> FMarketGroups;
};

// Hands the host's audit writer a record of one use of the function (with the user, the account and the
// server time), then logs "HQWriteBAuditLog FunctionID=<id>". Without an audit writer only the log line
// is written.
void HQWriteBAuditLog(const std::string& functionID, const std::string& koraCode);

}  // namespace kdp
