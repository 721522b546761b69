#include "fields/hq_dictionary.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <optional>

#include <fmt/format.h>

#include "core/string_catalog.h"
#include "kdp/host/dialogs.h"
#include "kdp/host/log.h"
#include "kdp/host/number_text.h"
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

// The attributes of a field node, read in one pass per node.
enum FieldAttribute : std::size_t {
  kId,
  kName,
  kCName,
  kCaption,
  kType,
  kCloudType,
  kCloudCommandID,
  kMatrixFunction,
  kKssFunction,
  kMapIndex,
  kLuxId,
  kFieldAttributeCount
};
constexpr std::array<std::string_view, kFieldAttributeCount> kFieldAttributeNames{
    "id",          "name",     "cname", "caption", "type", "CloudType", "CloudCommandID", "MatrixFunction",
    "KssFunction", "MapIndex", "LuxId"};
using FieldAttributes = std::array<std::optional<std::string_view>, kFieldAttributeCount>;

// As GetBinNodeValueInt reads it: `fallback` when absent or not a number.
int IntOf(const std::optional<std::string_view>& value, int fallback) {
  return value ? host::ParseInt32(*value).value_or(fallback) : fallback;
}

void ReadField(const FieldAttributes& values, TKrHQDictionaryItem& item) {
  const auto text = [&values](std::string& field, FieldAttribute attribute) {
    field.assign(values[attribute].value_or(""));
  };
  item.FID = IntOf(values[kId], 0);
  text(item.FName, kName);
  text(item.FCName, kCName);
  text(item.FCaption, kCaption);
  item.FType = DictionaryTypeFromText(values[kType].value_or(""));
  item.FCloudType = IntOf(values[kCloudType], 0) == 1 ? TCloudIndexType::itReal : TCloudIndexType::itStub;
  item.FCloudCommandID = IntOf(values[kCloudCommandID], 0);
  text(item.FMatrixFunction, kMatrixFunction);
  text(item.FKssFunction, kKssFunction);
  text(item.FMapIndex, kMapIndex);
  item.FLuxId = IntOf(values[kLuxId], 0);
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
  host::AddHQLog("TKrHQDictionaryImpl.LoadBinDictionaryData FileName:" + fileName, kLogSource,
                 host::LogSeverity::kInfo);
  FUnbuiltDocument = std::move(document);
}

const TKrHQDictionaryImpl::FieldTables& TKrHQDictionaryImpl::Tables() const {
  if (!FUnbuiltDocument) return FTables;
  const auto start = std::chrono::steady_clock::now();
  const std::shared_ptr<host::IBinDocument> document = std::move(FUnbuiltDocument);
  FUnbuiltDocument = nullptr;
  FTables.Add(*document->GetRoot());
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  host::AddHQLog(
      fmt::format("TKrHQDictionaryImpl.LoadBinDictionaryData end: {} ms, {} fields", ms.count(), FTables.byName.size()),
      kLogSource, host::LogSeverity::kInfo);
  return FTables;
}

void TKrHQDictionaryImpl::LoadBinDictionaryData(const host::IBinNode& root) {
  Tables();  // the constructor's document first, in load order
  FTables.Add(root);
}

void TKrHQDictionaryImpl::FieldTables::Add(const host::IBinNode& root) {
  const auto count = static_cast<std::size_t>(std::max(root.GetChildCount(), 0));
  TKrHQDictionaryItem* const block = blocks.emplace_back(std::make_unique<TKrHQDictionaryItem[]>(count)).get();
  std::size_t used = 0;
  items.reserve(items.size() + count);
  byName.reserve(byName.size() + count);
  FieldAttributes values;
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const host::IBinNode* node = root.GetChild(i);
    if (node == nullptr || node->GetNodeType() != host::BinNodeType::kElement) continue;
    host::GetBinNodeAttributes(*node, kFieldAttributeNames, values);
    if (!values[kId] || !values[kName]) continue;

    const int id = IntOf(values[kId], 0);
    if (id < 0) {
      host::AddHQLog(fmt::format("HQDictionary: field {} has the negative ID {}; skipped", *values[kName], id),
                     kLogSource, host::LogSeverity::kNotice);
      continue;
    }
    TKrHQDictionaryItem* raw = &block[used++];
    ReadField(values, *raw);
    if (id >= kFirstCloudFieldID && id <= kMaxCloudFieldID) {
      PlaceAt(cloudItemArray, static_cast<std::size_t>(id - kFirstCloudFieldID), raw);
      maxIndexCloud = std::max(maxIndexCloud, id);
    } else if (id >= kFirstLuxFieldID) {
      luxItemArray[id] = raw;
    } else {
      PlaceAt(itemArray, static_cast<std::size_t>(id), raw);
      maxIndex = std::max(maxIndex, id);
    }
    if (!byName.emplace(raw->FName, raw).second && host::IsNeedWriteHQLog()) {
      host::AddHQLog("HQDictionary: duplicate field name " + raw->FName + "; the first one answers by name", kLogSource,
                     host::LogSeverity::kNotice);
    }
    items.push_back(raw);
  }
}

int TKrHQDictionaryImpl::GetIDByName(std::string_view name) const {
  const auto& byName = Tables().byName;
  auto it = byName.find(name);
  return it == byName.end() ? 0 : it->second->FID;
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
  const FieldTables& tables = Tables();
  if (id >= kFirstCloudFieldID && id <= kMaxCloudFieldID) {
    const auto index = static_cast<std::size_t>(id - kFirstCloudFieldID);
    return index < tables.cloudItemArray.size() ? tables.cloudItemArray[index] : nullptr;
  }
  if (id >= kFirstLuxFieldID) {
    auto it = tables.luxItemArray.find(id);
    return it == tables.luxItemArray.end() ? nullptr : it->second;
  }
  const auto index = static_cast<std::size_t>(id);
  return index < tables.itemArray.size() ? tables.itemArray[index] : nullptr;
}

const TKrHQDictionaryItem* TKrHQDictionaryImpl::GetDictionaryItemByName(std::string_view name) const {
  const auto& byName = Tables().byName;
  auto it = byName.find(name);
  return it == byName.end() ? nullptr : it->second;
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
  for (const auto& [id, item] : Tables().luxItemArray) {
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
