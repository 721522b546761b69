#include "fields/hq_dictionary.h"

#include <chrono>
#include <filesystem>

#include <fmt/format.h>

#include "core/string_catalog.h"
#include "kdp/host/dialogs.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "util/hqc_twin.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQDictionaryImpl";

std::unique_ptr<TKrHQDictionaryImpl> g_HQDictionary;

void ShowReadError() {
  host::ShowErrorMessage(GetLanguageStrDef(20531, "发生错误"), GetLanguageStrDef(25566, "读取 HQDictionary.xml 错误!"));
}

template <class T>
void PlaceAt(std::vector<T*>& array, std::size_t index, T* item) {
  if (array.size() <= index) array.resize(index + 1, nullptr);
  array[index] = item;
}

}  // namespace

int DictionaryTypeFromText(std::string_view text) {
  if (text == "string") return HQDICDATA_TYPE_STRING;
  if (text == "integer") return HQDICDATA_TYPE_INTEGER;
  return HQDICDATA_TYPE_DOUBLE;
}

void TKrHQDictionaryItem::SetExpression(const std::string& text, TKrHQDictionaryImpl& pool) {
  FExpression = text;
  if (!FExp) FExp = pool.GetOrCreateExpressionObj(text);
  FIsValid = FExp != nullptr;
}

void TKrHQDictionaryItem::Dup(const TKrHQDictionaryItem& other) {
  FID = other.FID;
  FName = other.FName;
  FCName = other.FCName;
  FCaption = other.FCaption;
  FValue = other.FValue;
  FType = other.FType;
  FCloudType = other.FCloudType;
  FCloudCommandID = other.FCloudCommandID;
  FMatrixFunction = other.FMatrixFunction;
  FKssFunction = other.FKssFunction;
  FMapIndex = other.FMapIndex;
  FExp = other.FExp;
  FLuxId = other.FLuxId;
  FExpression = other.FExpression;
  FIsValid = other.FIsValid;
}

TKrHQDictionaryImpl::TKrHQDictionaryImpl(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec)) {
    // A terminal without a field dictionary is a set-up matter for the log, not an error box.
    host::AddHQLog("TKrHQDictionaryImpl cannot read " + fileName + ": the file does not exist", kLogSource,
                   host::LogSeverity::kError);
    return;
  }
  auto document = host::HQQueryBinDocInterface();
  if (!document || !document->LoadFromFile(fileName) || document->GetRoot() == nullptr) {
    const std::string why = !document                          ? std::string("no binary document reader")
                            : document->GetLastError().empty() ? std::string("the document is empty")
                                                               : document->GetLastError();
    host::AddHQLog("TKrHQDictionaryImpl cannot read " + fileName + ": " + why, kLogSource, host::LogSeverity::kError);
    ShowReadError();
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  host::AddHQLog("TKrHQDictionaryImpl.LoadBinDictionaryData FileName:" + fileName, kLogSource,
                 host::LogSeverity::kInfo);
  LoadBinDictionaryData(*document->GetRoot());
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  host::AddHQLog(
      fmt::format("TKrHQDictionaryImpl.LoadBinDictionaryData end: {} ms, {} fields", ms.count(), FList.size()),
      kLogSource, host::LogSeverity::kInfo);
}

void TKrHQDictionaryImpl::LoadBinDictionaryData(const host::IBinNode& root) {
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const host::IBinNode* node = root.GetChild(i);
    if (node == nullptr || node->GetNodeType() != host::BinNodeType::kElement) continue;
    if (!node->HasAttribute("id") || !node->HasAttribute("name")) continue;

    auto item = std::make_unique<TKrHQDictionaryItem>();
    item->FID = host::GetBinNodeValueInt(node, "id", 0);
    item->FName = std::string(node->GetAttribute("name"));
    item->FCName = std::string(node->GetAttribute("cname"));
    item->FCaption = std::string(node->GetAttribute("caption"));
    item->FType = DictionaryTypeFromText(node->GetAttribute("type"));
    item->FCloudType =
        host::GetBinNodeValueInt(node, "CloudType", 0) == 1 ? TCloudIndexType::itReal : TCloudIndexType::itStub;
    item->FCloudCommandID = host::GetBinNodeValueInt(node, "CloudCommandID", 0);
    item->FMatrixFunction = std::string(node->GetAttribute("MatrixFunction"));
    item->FKssFunction = std::string(node->GetAttribute("KssFunction"));
    item->FMapIndex = std::string(node->GetAttribute("MapIndex"));
    item->FLuxId = host::GetBinNodeValueInt(node, "LuxId", 0);

    const int id = item->FID;
    if (id < 0) {
      host::AddHQLog(fmt::format("HQDictionary: field {} has the negative ID {}; skipped", item->FName, id), kLogSource,
                     host::LogSeverity::kNotice);
      continue;
    }
    TKrHQDictionaryItem* raw = item.get();
    if (id >= kFirstCloudFieldID && id <= kMaxCloudFieldID) {
      PlaceAt(FCloudItemArray, static_cast<std::size_t>(id - kFirstCloudFieldID), raw);
      if (id > FMaxIndexCloud) FMaxIndexCloud = id;
    } else if (id >= kFirstLuxFieldID) {
      FLuxItemArray[id] = raw;
    } else {
      PlaceAt(FItemArray, static_cast<std::size_t>(id), raw);
      if (id > FMaxIndex) FMaxIndex = id;
    }
    if (!FList.emplace(raw->FName, raw).second && host::IsNeedWriteHQLog()) {
      host::AddHQLog("HQDictionary: duplicate field name " + raw->FName + "; the first one answers by name", kLogSource,
                     host::LogSeverity::kNotice);
    }
    FItems.push_back(std::move(item));
  }
}

int TKrHQDictionaryImpl::GetIDByName(std::string_view name) const {
  auto it = FList.find(name);
  return it == FList.end() ? 0 : it->second->FID;
}

std::string TKrHQDictionaryImpl::GetNameByID(int id) const {
  const TKrHQDictionaryItem* item = GetDictionaryItem(id);
  return item ? item->FCName : std::string();
}

std::string TKrHQDictionaryImpl::GetEngNameByID(int id) const {
  const TKrHQDictionaryItem* item = GetDictionaryItem(id);
  return item ? item->FName : std::string();
}

const TKrHQDictionaryItem* TKrHQDictionaryImpl::GetDictionaryItem(int id) const {
  if (id < 0) return nullptr;
  if (id >= kFirstCloudFieldID && id <= kMaxCloudFieldID) {
    const auto index = static_cast<std::size_t>(id - kFirstCloudFieldID);
    return index < FCloudItemArray.size() ? FCloudItemArray[index] : nullptr;
  }
  if (id >= kFirstLuxFieldID) {
    auto it = FLuxItemArray.find(id);
    return it == FLuxItemArray.end() ? nullptr : it->second;
  }
  const auto index = static_cast<std::size_t>(id);
  return index < FItemArray.size() ? FItemArray[index] : nullptr;
}

const TKrHQDictionaryItem* TKrHQDictionaryImpl::GetDictionaryItemByName(std::string_view name) const {
  auto it = FList.find(name);
  return it == FList.end() ? nullptr : it->second;
}

int TKrHQDictionaryImpl::GetTypeByID(int id) const {
  const TKrHQDictionaryItem* item = GetDictionaryItem(id);
  return item ? item->FType : HQDICDATA_TYPE_INTEGER;
}

int TKrHQDictionaryImpl::GetCloudCommandIDByID(int id) const {
  if (id < kFirstCloudFieldID || id > kMaxCloudFieldID) return -1;
  const TKrHQDictionaryItem* item = GetDictionaryItem(id);
  return item ? item->FCloudCommandID : -1;
}

TCloudIndexType TKrHQDictionaryImpl::GetCloudTypeByID(int id) const {
  if (id < kFirstCloudFieldID || id > kMaxCloudFieldID) return TCloudIndexType::itStub;
  const TKrHQDictionaryItem* item = GetDictionaryItem(id);
  return item ? item->FCloudType : TCloudIndexType::itStub;
}

TCloudIndexType TKrHQDictionaryImpl::GetCloudTypeByName(std::string_view name) const {
  const TKrHQDictionaryItem* item = GetDictionaryItemByName(name);
  return item ? GetCloudTypeByID(item->FID) : TCloudIndexType::itStub;
}

std::string TKrHQDictionaryImpl::GetMatrixFunctionByID(int id) const {
  switch (GetCloudCommandIDByID(id)) {
    case kCloudCommandMatrix:
      return GetDictionaryItem(id)->FMatrixFunction;
    case kCloudCommandSnapshot:
      return GetDictionaryItem(id)->FKssFunction;
    default:
      return {};
  }
}

std::string TKrHQDictionaryImpl::GetLuxMapIndex(int id) const {
  if (id < kFirstLuxFieldID) return {};
  const TKrHQDictionaryItem* item = GetDictionaryItem(id);
  return item ? item->FMapIndex : std::string();
}

std::string TKrHQDictionaryImpl::GetIndexIDByLuxId(int luxId) const {
  if (luxId == 0) return {};
  for (const auto& [id, item] : FLuxItemArray) {
    if (item->FLuxId == luxId) return std::to_string(id);
  }
  return {};
}

const TKrHQDictionaryItem* TKrHQDictionaryImpl::LuxItemByName(std::string_view name) const {
  const TKrHQDictionaryItem* item = GetDictionaryItemByName(name);
  return item != nullptr && item->FID >= kFirstLuxFieldID ? item : nullptr;
}

std::string TKrHQDictionaryImpl::GetIndexIDByLuxName(std::string_view name) const {
  const TKrHQDictionaryItem* item = LuxItemByName(name);
  return item ? std::to_string(item->FID) : std::string();
}

int TKrHQDictionaryImpl::GetLuxIdByLuxName(std::string_view name) const {
  const TKrHQDictionaryItem* item = LuxItemByName(name);
  return item ? item->FLuxId : 0;
}

std::shared_ptr<TCHQExp> TKrHQDictionaryImpl::GetOrCreateExpressionObj(const std::string& text) {
  if (auto it = m_lstExpPool.find(text); it != m_lstExpPool.end()) return it->second;
  auto expression = std::make_shared<TCHQExp>();
  if (!expression->ParserHQExp(text)) {
    if (host::IsNeedWriteHQLog())
      host::AddHQLog("expression does not parse: " + text, kLogSource, host::LogSeverity::kNotice);
    return nullptr;
  }
  m_lstExpPool.emplace(text, expression);
  return expression;
}

std::string HQDictionaryFileName() {
  return HqcTwinOf(host::GetEtcPath() + host::ToNativePath("HQ\\Base\\HQDictionary.xml"));
}

TKrHQDictionaryImpl& KrHQDictionaryImpl() {
  if (!g_HQDictionary) g_HQDictionary = std::make_unique<TKrHQDictionaryImpl>(HQDictionaryFileName());
  return *g_HQDictionary;
}

void FreeHQDictionaryImpl() { g_HQDictionary.reset(); }

}  // namespace kdp
