#include "refdata/function_id_dic.h"

#include <filesystem>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/audit.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/services.h"
#include "kdp/refdata/security_manager.h"
#include "refdata/permission.h"
#include "util/hqc_twin.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrFunctionIDDic";

// A market group and how its pages are numbered: a fixed ID from the group's market number, or the
// document's ID of "ID_<family>_<page name>".
struct TMarketGroupRule {
  std::string_view types;
  std::string_view market;  // 4 digits; "" for a group named by family
  std::string_view family;
};

// In the order the choosers try them: the first group that holds a type decides.
constexpr TMarketGroupRule kMarketGroupRules[] = {
    {"A.SH,A.SZ,B.SH,B.SZ,KCB.SH,CYB.SZ", "0053", ""},
    {"X,XW", "0054", ""},
    {"TW,TWO", "0055", ""},
    {"TW,TWO,ON,OO,OA,O,L,OSG,DR.N,DR.A,DR.O,DR.L,SG.NM,NM", "0056", ""},
    {"IB.YHJZ,IB.YHJHQZ,Z.IB,Q.IB,P.IB,DQ.IB,F.IB,G.IB,M.IB,ZC.IB", "", "NTB"},
    {"IB.JYSYBZ,IB.JYSHQFKZZ,Q.SH,Q.SZ,Z.SH,Z.SZ,G.SH,G.SZ,D.SH", "", "NTB"},
    {"IB.JYSKZZ,K.SH,K.SZ", "", "NTB"},
    {"IB.JYSLL", "", "NTB"},
    {"IB.JZLL,IR.IR,CJ.IB", "", "NTB"},
    {"IB.YHJLL", "", "NTB"},
    {"J.SH,J.SZ,ET.SH,ET.SZ,LO", "0057", ""},
    {"OFT,OF", "0058", ""},
    {"SBF", "", "SBF"},
    {"T", "", "GBF"},
    {"TBF", "", "GBF"},
    {"FX.FX,FX.EX,FX.IB", "0151", ""},
    {"CFE,SHF,DCE,CZC,SGE,LME,CME,CBT,CMX,NYM,IPE,NYB,SG.SHF,MT,CZ,OL,FU,BCE", "0152", ""},
    // This deployment's markets beyond the terminal's list: Hong Kong, the New York Stock Exchange (with
    // the other overseas markets) and the indexes.
    {"HK", "0153", ""},
    {"N", "0056", ""},
    {"I.SH,I.SZ,I.HI,I.KI,GI", "0154", ""},
};

struct TPageRule {
  TFunctionPage page;
  std::string_view number;  // 4 digits
  std::string_view name;
};

constexpr TPageRule kPageRules[] = {
    {TFunctionPage::kKline, "0002", "KLine"},
    {TFunctionPage::kMinute, "0001", "Prices"},
    {TFunctionPage::kTradeDetail, "0003", "TradeDetail"},
    {TFunctionPage::kDealPrice, "0004", "DealPrice"},
    {TFunctionPage::kTick, "0005", "Tick"},
    {TFunctionPage::kHisPlay, "0006", "HisPlay"},
    {TFunctionPage::kAttachEDE, "0007", "AttachEDE"},
    {TFunctionPage::kAttachMacro, "0008", "AttachMacro"},
    {TFunctionPage::kAttachSecurity, "0009", "AttachSecurity"},
    {TFunctionPage::kCancelAttach, "0010", "CancelAttach"},
    {TFunctionPage::kUserAttach, "0011", "UserAttach"},
};

const TPageRule& PageRule(TFunctionPage page) {
  for (const TPageRule& rule : kPageRules) {
    if (rule.page == page) return rule;
  }
  return kPageRules[0];  // every enumerator has a row
}

std::unique_ptr<TFunctionIDDic> g_FunctionIDDic;

}  // namespace

std::string_view FunctionPageName(TFunctionPage page) { return PageRule(page).name; }

TFunctionIDDic& TFunctionIDDic::GetInstance() {
  if (!g_FunctionIDDic) {
    g_FunctionIDDic =
        std::make_unique<TFunctionIDDic>(host::GetEtcPath() + host::ToNativePath("HQ\\Base\\HqFuncID.xml"));
  }
  return *g_FunctionIDDic;
}

void FreeFunctionIDDic() { g_FunctionIDDic.reset(); }

TFunctionIDDic::TFunctionIDDic(const std::string& xmlPath) {
  LoadHQFuncID_Bin(HqcTwinOf(xmlPath));
  InitMarketsDic();
}

void TFunctionIDDic::LoadHQFuncID_Bin(const std::string& fileName) {
  std::error_code ec;
  auto document = host::HQQueryBinDocInterface();
  if (!std::filesystem::exists(fileName, ec) || !document || !document->LoadFromFile(fileName) ||
      document->GetRoot() == nullptr) {
    host::AddHQLog(
        fmt::format("LoadFile Fail FileName = {} ", fileName) + (document ? document->GetLastError() : std::string()),
        kLogSource, host::LogSeverity::kError);
    return;
  }
  const host::IBinNode& root = *document->GetRoot();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const host::IBinNode* child = root.GetChild(i);
    if (child == nullptr || child->GetNodeType() != host::BinNodeType::kElement) continue;
    const std::string name = ToUpperAscii(child->GetNodeName());
    if (name == "CONFIG") {
      for (int j = 0; j < child->GetChildCount(); ++j) {
        const host::IBinNode* entry = child->GetChild(j);
        if (entry == nullptr || entry->GetNodeType() != host::BinNodeType::kElement) continue;
        const std::string_view idName = entry->GetAttribute("IDName");
        if (idName.empty()) continue;
        FFunctionIDs[ToUpperAscii(idName)] = std::string(entry->GetAttribute("id"));
      }
    } else if (name == "MODULECONFIG") {
      FModuleConfig = child;
    } else if (name == "SERVERCONFIG") {
      FServerConfig = child;
    }
  }
  FDocument = std::move(document);
}

void TFunctionIDDic::InitMarketsDic() {
  for (const TMarketGroupRule& rule : kMarketGroupRules) FMarketGroups.push_back(FastSplit(rule.types, ","));
}

std::string TFunctionIDDic::GetFunctionIDByStr(const std::string& name) const {
  if (name.empty()) return {};
  auto it = FFunctionIDs.find(ToUpperAscii(name));
  return it == FFunctionIDs.end() ? std::string() : it->second;
}

int TFunctionIDDic::FindMarketGroup(const std::string& hqType) const {
  for (std::size_t g = 0; g < FMarketGroups.size(); ++g) {
    for (const std::string& type : FMarketGroups[g]) {
      if (type == hqType) return static_cast<int>(g);
    }
  }
  return -1;
}

std::string TFunctionIDDic::GetPageFunIDByHQType(TFunctionPage page, const std::string& hqType) const {
  const int group = FindMarketGroup(hqType);
  if (group < 0) return {};
  const TMarketGroupRule& rule = kMarketGroupRules[group];
  const TPageRule& pageRule = PageRule(page);
  if (!rule.family.empty()) return GetFunctionIDByStr(fmt::format("ID_{}_{}", rule.family, pageRule.name));
  return fmt::format("0001{}{}", rule.market, pageRule.number);
}

std::string TFunctionIDDic::GetPageFunIDByKoraCode(TFunctionPage page,
                                                   const std::shared_ptr<host::IKrSecurity>& security) const {
  if (!security) return {};
  auto manager = G_SecurityManager();
  auto info = manager ? manager->GetSecurityInfo(security) : nullptr;
  return info ? GetPageFunIDByHQType(page, info->GetHQType()) : std::string();
}

void HQWriteBAuditLog(const std::string& functionID, const std::string& koraCode) {
  if (auto writer = host::KrIntfService<host::IKrBAuditWriter>()) {
    host::TBAuditRecord record;
    record.FunctionID = functionID;
    record.KoraCode = koraCode;
    if (auto context = host::GetHQContext()) {
      record.UserID = context->GetUserID();
      record.AccountID = context->GetAccountID();
    }
    record.Time = GetServerDateTime();
    writer->WriteBAuditLog(record);
  }
  host::AddHQLog(fmt::format("HQWriteBAuditLog FunctionID={}", functionID), kLogSource, host::LogSeverity::kInfo);
}

}  // namespace kdp
