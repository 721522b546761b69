#include "fields/hq_expressions.h"

#include <algorithm>
#include <filesystem>

#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "util/hqc_twin.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrHQExpressionsImpl";

std::unique_ptr<TKrHQExpressionsImpl> g_HQExpressions;

}  // namespace

void TKrHQExpDictionaryItem::Dup(const TKrHQDictionaryItem& other) {
  TKrHQDictionaryItem::Dup(other);
  if (const auto* exp = dynamic_cast<const TKrHQExpDictionaryItem*>(&other)) {
    m_aDataList = exp->m_aDataList;
    m_aSecondDataList = exp->m_aSecondDataList;
  }
}

void AppendIntArray(std::vector<int>& to, const std::vector<int>& from) {
  for (int v : from) {
    if (std::find(to.begin(), to.end(), v) == to.end()) to.push_back(v);
  }
}

TKrHQExpressionsImpl::TKrHQExpressionsImpl(TKrHQDictionaryImpl& dictionary) : FDictionary(dictionary) {}

TKrHQExpressionsImpl::TKrHQExpressionsImpl(const std::string& fileName, TKrHQDictionaryImpl& dictionary)
    : FDictionary(dictionary) {
  host::AddHQLog("TKrHQExpressionsImpl FileName:" + fileName, kLogSource, host::LogSeverity::kInfo);
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec)) {
    host::AddHQLog("not FileExists: " + fileName, kLogSource, host::LogSeverity::kNotice);
    return;
  }
  auto document = host::HQQueryBinDocInterface();
  if (!document->LoadFromFile(fileName) || document->GetRoot() == nullptr) {
    host::AddHQLog("TKrHQExpressionsImpl cannot read " + fileName + ": " + document->GetLastError(), kLogSource,
                   host::LogSeverity::kError);
    return;
  }
  LoadBinData(*document->GetRoot());
}

void TKrHQExpressionsImpl::LoadBinData(const host::IBinNode& root) {
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const host::IBinNode* node = root.GetChild(i);
    if (node == nullptr || node->GetNodeType() != host::BinNodeType::kElement) continue;
    const std::string name(node->GetAttribute("name"));
    const std::string markets(node->GetAttribute("market"));
    if (name.empty() || markets.empty()) continue;
    const std::string caption(node->GetAttribute("caption"));
    const std::string text = Trim(node->GetText());
    for (const std::string& piece : SplitString(markets, ',')) {
      const std::string market = Trim(piece);
      if (market.empty()) continue;
      auto item = std::make_unique<TKrHQExpDictionaryItem>();
      item->FName = name;
      item->FCaption = caption;
      item->SetExpression(text, FDictionary);
      MarketList& list = FSecTypeList[market];
      if (!list.emplace(name, std::move(item)).second) {
        host::AddHQLog("HQExpressions: " + name + " is defined twice for " + market + "; the first one stays",
                       kLogSource, host::LogSeverity::kNotice);
      }
    }
  }
  for (auto& [market, list] : FSecTypeList) {
    std::map<const TKrHQExpDictionaryItem*, Analysis> state;
    for (auto& [name, item] : list) {
      item->m_aDataList.clear();
      item->m_aSecondDataList.clear();
    }
    for (auto& [name, item] : list) AnalyseExpressionDataList(*item, list, state);
  }
}

void TKrHQExpressionsImpl::AnalyseExpressionDataList(TKrHQExpDictionaryItem& item, MarketList& market,
                                                     std::map<const TKrHQExpDictionaryItem*, Analysis>& state) {
  Analysis& mine = state[&item];
  if (mine != Analysis::kNotYet) {
    if (mine == Analysis::kRunning) {
      host::AddHQLog("HQExpressions: " + item.FName + " refers to itself through other expressions", kLogSource,
                     host::LogSeverity::kNotice);
    }
    return;
  }
  mine = Analysis::kRunning;
  if (item.FExp) {
    // Variable 0 is the expression's result; the fields it reads start at 1.
    for (int i = 1; i < item.FExp->GetVarCount(); ++i) {
      const std::string& variable = item.FExp->GetVarName(i);
      if (IsSecondGuide(variable)) {
        if (const int id = FDictionary.GetIDByName(TrimSecondGuide(variable)); id != 0) {
          AppendIntArray(item.m_aSecondDataList, {id});
        }
        continue;
      }
      if (const int id = FDictionary.GetIDByName(variable); id != 0) {
        AppendIntArray(item.m_aDataList, {id});
        continue;
      }
      auto other = market.find(variable);
      if (other == market.end() || other->second.get() == &item) continue;
      AnalyseExpressionDataList(*other->second, market, state);
      AppendIntArray(item.m_aDataList, other->second->m_aDataList);
      AppendIntArray(item.m_aSecondDataList, other->second->m_aSecondDataList);
    }
  }
  state[&item] = Analysis::kDone;
}

const TKrHQExpDictionaryItem* TKrHQExpressionsImpl::GetExpItemByMarket(std::string_view name,
                                                                       std::string_view market) const {
  for (std::string_view m : {market, std::string_view(kDefaultExpressionMarket)}) {
    if (const MarketList* list = GetDictionaryByType(m)) {
      if (auto it = list->find(name); it != list->end()) return it->second.get();
    }
  }
  return nullptr;
}

const TKrHQExpressionsImpl::MarketList* TKrHQExpressionsImpl::GetDictionaryByType(std::string_view market) const {
  auto it = FSecTypeList.find(market);
  return it == FSecTypeList.end() ? nullptr : &it->second;
}

std::string HQExpressionsFileName() {
  return HqcTwinOf(host::GetEtcPath() + host::ToNativePath("HQ\\Base\\HQExpressions.xml"));
}

TKrHQExpressionsImpl& KrHQExpressionsImpl() {
  if (!g_HQExpressions)
    g_HQExpressions = std::make_unique<TKrHQExpressionsImpl>(HQExpressionsFileName(), KrHQDictionaryImpl());
  return *g_HQExpressions;
}

void FreeHQExpressionsImpl() { g_HQExpressions.reset(); }

}  // namespace kdp
