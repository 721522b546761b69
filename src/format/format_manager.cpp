#include "format/format_manager.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>

#include <fmt/format.h>

#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "fields/hq_dictionary.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "script/script_server.h"
#include "util/hqc_twin.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQFormatManager";

bool IsTrueText(std::string_view text) { return ToUpperAscii(TrimView(text)) == "TRUE"; }

// The attributes of an item node, read in one pass per node.
enum ItemAttribute : std::size_t {
  kName,
  kFormat,
  kCompareTo,
  kGtColor,
  kLtColor,
  kEqColor,
  kDefColor,
  kUsePriceStep,
  kCaption,
  kExpressions,
  kItemAttributeCount
};
constexpr std::array<std::string_view, kItemAttributeCount> kItemAttributeNames{
    "name",    "format",   "compareto",    "gtcolor", "ltcolor",
    "eqcolor", "defcolor", "UsePriceStep", "caption", "expressions"};
using ItemAttributes = std::array<std::optional<std::string_view>, kItemAttributeCount>;

}  // namespace

std::string FormatColumnsFileName() {
  return HqcTwinOf(host::GetEtcPath() + host::ToNativePath("HQ\\Base\\FormatColumns.xml"));
}

std::shared_ptr<TKrHQFormatManager> TKrHQFormatManager::CreateInstance() {
  return std::make_shared<TKrHQFormatManager>(FormatColumnsFileName(), nullptr);
}

TKrHQFormatManager::TKrHQFormatManager(const std::string& fileName,
                                       std::shared_ptr<IKrHQSecurityManager> securityManager,
                                       TKrHQDictionaryImpl* dictionary)
    : Ffilename(fileName), FDictionary(dictionary) {
  const auto start = std::chrono::steady_clock::now();
  host::AddHQLog("TKrHQFormatManager.LoadBinData FileName:" + fileName, "TimeTest", host::LogSeverity::kInfo);
  std::error_code ec;
  auto document = host::HQQueryBinDocInterface();
  if (!std::filesystem::exists(fileName, ec)) {
    host::AddHQLog("not FileExists: " + fileName, kLogSource, host::LogSeverity::kError);
  } else if (!document->LoadFromFile(fileName) || document->GetRoot() == nullptr) {
    host::AddHQLog("TKrHQFormatManager cannot read " + fileName + ": " + document->GetLastError(), kLogSource,
                   host::LogSeverity::kError);
  } else {
    LoadScripts(*document->GetRoot());
    FUnbuiltDocument = std::move(document);  // the groups are built on the first look-up
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  host::AddHQLog(fmt::format(" TKrHQFormatManager.LoadFile end: {}", ms.count()), "TimeTest", host::LogSeverity::kInfo);
  FHQSecInfo = securityManager ? std::move(securityManager) : G_SecurityManager();
}

TKrHQFormatManager::TKrHQFormatManager(const host::IBinNode& root,
                                       std::shared_ptr<IKrHQSecurityManager> securityManager,
                                       TKrHQDictionaryImpl* dictionary)
    : FHQSecInfo(std::move(securityManager)), FDictionary(dictionary) {
  LoadScripts(root);
  LoadGroups(root);
}

TKrHQDictionaryImpl& TKrHQFormatManager::Dictionary() { return FDictionary ? *FDictionary : KrHQDictionaryImpl(); }

bool TKrHQFormatManager::IsScript(const host::IBinNode& node) { return SameTextAscii(node.GetNodeName(), "Script"); }

void TKrHQFormatManager::LoadScripts(const host::IBinNode& root) {
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const host::IBinNode* node = root.GetChild(i);
    if (node != nullptr && node->GetNodeType() == host::BinNodeType::kElement && IsScript(*node)) AnalyseScript(*node);
  }
}

void TKrHQFormatManager::LoadGroups(const host::IBinNode& root) {
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const host::IBinNode* node = root.GetChild(i);
    if (node == nullptr || node->GetNodeType() != host::BinNodeType::kElement || IsScript(*node)) continue;
    std::vector<std::string> types;
    for (const std::string& piece : SplitString(node->GetAttributeNoCase("name"), ',')) {
      const std::string type = ToUpperAscii(Trim(piece));
      if (!type.empty()) types.push_back(type);
    }
    if (types.empty()) continue;

    auto group = std::make_unique<Group>();
    ItemAttributes values;
    for (int j = 0; j < node->GetChildCount(); ++j) {
      const host::IBinNode* child = node->GetChild(j);
      if (child == nullptr || child->GetNodeType() != host::BinNodeType::kElement) continue;
      host::GetBinNodeAttributes(*child, kItemAttributeNames, values, /*noCase=*/true);
      const auto text = [&values](ItemAttribute attribute) { return std::string(values[attribute].value_or("")); };
      auto item = std::make_unique<TKrHQFormatItem>();
      const std::string name = text(kName);
      item->SetIndexId(name);
      item->SetFormatText(text(kFormat));
      item->SetCompareTo(text(kCompareTo));
      item->SetColors(text(kGtColor), text(kLtColor), text(kEqColor), text(kDefColor));
      item->SetUsePriceStep(IsTrueText(values[kUsePriceStep].value_or("")));
      item->SetCaption(text(kCaption));
      TKrHQFormatItem* kept = item.get();
      if (!group->emplace(ToUpperAscii(name), std::move(item)).second) {
        if (host::IsNeedWriteHQLog()) {
          host::AddHQLog("FormatColumns: " + name + " twice in one group; the first one stays", kLogSource,
                         host::LogSeverity::kNotice);
        }
      } else if (std::string expressions = text(kExpressions); !expressions.empty()) {
        FUnparsedExpressions.emplace_back(kept, std::move(expressions));
      }
    }
    for (const std::string& type : types) {
      if (!FMarketList.emplace(type, group.get()).second) {
        host::AddHQLog("FormatColumns: the HQ type " + type + " is in two groups; the first one stays", kLogSource,
                       host::LogSeverity::kNotice);
      }
    }
    FLstAllItems.push_back(std::move(group));
  }
}

void TKrHQFormatManager::AnalyseScript(const host::IBinNode& node) {
  std::string name(node.GetAttributeNoCase("name"));
  if (name.empty()) name = kHQFormatScriptName;
  TKrScriptServer* server = G_GetScriptServer();
  std::string error = "the package has no script server";
  if (server == nullptr || !server->LoadScript(name, node.GetText(), error)) {
    host::AddHQLog("FormatColumns: script " + name + " not loaded: " + error, kLogSource, host::LogSeverity::kWarning);
  }
}

void TKrHQFormatManager::BuildItems() {
  if (FUnbuiltDocument) {
    const std::shared_ptr<host::IBinDocument> document = std::move(FUnbuiltDocument);
    FUnbuiltDocument = nullptr;
    LoadGroups(*document->GetRoot());
  }
  if (!FUnparsedExpressions.empty()) InitExpressions();
}

void TKrHQFormatManager::InitExpressions() {
  for (auto& [item, text] : FUnparsedExpressions) item->SetExpressions(text);
  FUnparsedExpressions.clear();
  for (auto& group : FLstAllItems) {
    for (auto& [name, item] : *group) {
      if (!item->GetHQFormatExp()) continue;
      std::vector<const TKrHQFormatItem*> visiting;
      CollectFields(*item, *group, visiting);
    }
  }
}

void TKrHQFormatManager::CollectFields(TKrHQFormatItem& item, Group& group,
                                       std::vector<const TKrHQFormatItem*>& visiting) {
  TKrHQFormatExp* expression = item.GetHQFormatExp();
  if (!expression || std::find(visiting.begin(), visiting.end(), &item) != visiting.end()) return;
  visiting.push_back(&item);
  // Variable 0 is the result; the fields start at 1.
  for (int i = 1; i < expression->GetVarCount(); ++i) {
    const std::string& variable = expression->GetVarName(i);
    if (IsSecondGuide(variable)) {
      if (const int id = Dictionary().GetIDByName(TrimSecondGuide(variable)); id != 0) item.AppendSecondDataList(id);
      continue;
    }
    if (const int id = Dictionary().GetIDByName(variable); id != 0) {
      item.AppendDataList(id);
      continue;
    }
    auto other = group.find(ToUpperAscii(variable));
    if (other == group.end() || other->second.get() == &item) continue;
    CollectFields(*other->second, group, visiting);
    item.AppendDataList(other->second->GetDataList());
    for (int id : other->second->GetSecondDataList()) item.AppendSecondDataList(id);
  }
  visiting.pop_back();
}

// ---- look-ups ----

const TKrHQFormatManager::Group* TKrHQFormatManager::FindGroup(const std::string& hqType) {
  BuildItems();
  auto it = FMarketList.find(ToUpperAscii(hqType));
  return it == FMarketList.end() ? nullptr : it->second;
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::Share(TKrHQFormatItem* item) {
  if (item == nullptr) return nullptr;
  // A returned item keeps its manager (and so itself) alive.
  if (auto self = weak_from_this().lock()) return std::shared_ptr<IKrHQFormatItem>(self, item);
  return host::NonOwning<IKrHQFormatItem>(item);
}

std::vector<std::string> TKrHQFormatManager::GetHQTypes() {
  BuildItems();
  std::vector<std::string> types;
  for (const auto& [type, group] : FMarketList) types.push_back(type);
  return types;
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetItemByHQType(const std::string& hqType,
                                                                     const std::string& name) {
  const std::string key = ToUpperAscii(name);
  for (const Group* group : {FindGroup(hqType), FindGroup(kSupermarketGroup)}) {
    if (group == nullptr) continue;
    if (auto it = group->find(key); it != group->end()) return Share(it->second.get());
  }
  return nullptr;
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetItemByHQTypeAndID(const std::string& hqType, int fieldID) {
  const std::string key = ToUpperAscii(Dictionary().GetEngNameByID(fieldID));
  const Group* group = FindGroup(hqType);
  if (group == nullptr) group = FindGroup(kDefaultFormatGroup);
  for (const Group* candidate : {group, FindGroup(kSupermarketGroup)}) {
    if (candidate == nullptr) continue;
    if (!key.empty()) {
      if (auto it = candidate->find(key); it != candidate->end()) return Share(it->second.get());
    }
    if (auto it = candidate->find(kDefaultFormatField); it != candidate->end()) return Share(it->second.get());
  }
  return nullptr;
}

std::string TKrHQFormatManager::HQTypeOf(int hqTypeID) {
  if (auto it = FDicMarketID2Name.find(hqTypeID); it != FDicMarketID2Name.end()) return it->second;
  if (!FHQSecInfo) return {};
  std::string type = FHQSecInfo->GetHQTypeByID(hqTypeID);
  FDicMarketID2Name.emplace(hqTypeID, type);
  return type;
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetDataFormatObjByName(const std::string& code,
                                                                            const std::string& name) {
  if (!FHQSecInfo) return nullptr;
  return GetItemByHQType(FHQSecInfo->GetSecurityInfo(code)->GetHQType(), name);
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetDataFormatObjByName(
    const std::shared_ptr<host::IKrSecurity>& security, const std::string& name) {
  if (!security || !FHQSecInfo) return nullptr;
  return GetItemByHQType(FHQSecInfo->GetSecurityInfo(security)->GetHQType(), name);
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetDataFormatObjByName(int hqTypeID, const std::string& name) {
  return GetItemByHQType(HQTypeOf(hqTypeID), name);
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetDataFormatObjByID(const std::string& code, int fieldID) {
  if (!FHQSecInfo) return nullptr;
  return GetItemByHQTypeAndID(FHQSecInfo->GetSecurityInfo(code)->GetHQType(), fieldID);
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetDataFormatObjByID(
    const std::shared_ptr<host::IKrSecurity>& security, int fieldID) {
  if (!security || !FHQSecInfo) return nullptr;
  return GetItemByHQTypeAndID(FHQSecInfo->GetSecurityInfo(security)->GetHQType(), fieldID);
}

std::shared_ptr<IKrHQFormatItem> TKrHQFormatManager::GetDataFormatObjByID(int hqTypeID, int fieldID) {
  return GetItemByHQTypeAndID(HQTypeOf(hqTypeID), fieldID);
}

}  // namespace kdp
