#include "refdata/related_symbol.h"

#include <algorithm>
#include <limits>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "refdata/csv_table_loader.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrRelatedSymbol";

// The share class of a security for ordering a group: main-board, STAR and ChiNext shares are A shares.
char ShareClassOf(host::IKrSecurity& security) {
  const std::string type = security.GetStockType();
  if (type == "A" || type == "KCB" || type == "CYB") return 'A';
  if (type == "B") return 'B';
  return '\0';
}

}  // namespace

TKrRelatedSymbol::TKrRelatedSymbol()
    : TKrRelatedSymbol(GetEtcBaseFilePath(kFileName), GetEtcBaseFilePath(kLocalFileName)) {}

TKrRelatedSymbol::TKrRelatedSymbol(const std::string& path, const std::string& localPath) {
  TAHPairs pairs;
  LoadCsvTable(path, 3, kLogSource,
               [this, &pairs](const std::vector<std::string>& f) { AddPair(f[0], f[1], f[2], pairs); });
  PublishAHPairs(std::move(pairs));
  LoadCsvTable(localPath, 3, kLogSource, [this](const std::vector<std::string>& f) {
    ListOf(f[0]).push_back({f[1], StrToInt(f[2])});
  });
  // The cloud service's fresher relations ("CLOUD_HQ_RELATED_SYMBOLS", through the report item
  // "CLOUD_REPORT_RELATED_SYMBOLS") arrive through NotifyHqRelatedData and OnCloudDataUpdate once the
  // cloud data manager requests them for this table; until then the files are the whole table.
}

TKrRelatedSymbol::TRelatedList& TKrRelatedSymbol::ListOf(const std::string& code) {
  const std::string key = ToUpperAscii(code);
  if (TRelatedList* list = FTable.Get(key)) return *list;
  TRelatedList& list = FLists.Emplace();
  FTable.Put(key, &list);
  return list;
}

const TKrRelatedSymbol::TRelatedList* TKrRelatedSymbol::Find(const std::string& code) const {
  return FTable.Get(ToUpperAscii(code));
}

void TKrRelatedSymbol::AddPair(const std::string& code, const std::string& related, const std::string& type,
                               TAHPairs& pairs) {
  const int relation = StrToInt(type);
  if (type == "1") {
    pairs.A.push_back(code);
    pairs.H.push_back(related);
  }
  ListOf(code).push_back({related, relation});
  ListOf(related).push_back({code, relation});
}

void TKrRelatedSymbol::PublishAHPairs(TAHPairs pairs) {
  std::lock_guard lock(FAHLock);
  FAHPairs = std::move(pairs);
}

void TKrRelatedSymbol::GetRelatedSymbol(const std::string& code, int type, std::vector<std::string>& list) {
  list.clear();
  const TRelatedList* relations = Find(code);
  if (relations == nullptr) return;
  for (const TKrRelatedInfo& info : *relations) {
    if (type == 0 || info.RelationType == type) list.push_back(info.RelatedCode);
  }
}

void TKrRelatedSymbol::GetAllRelatedSymbol(const std::string& code, std::vector<std::string>& list) {
  list.clear();
  const TRelatedList* relations = Find(code);
  if (relations == nullptr) return;
  const std::string asked = ToUpperAscii(code);
  std::size_t insertAt = 0;  // A/H partners and A-share group members go before it, B shares at it
  for (const TKrRelatedInfo& info : *relations) {
    switch (info.RelationType) {
      case kRelationAH:
        list.insert(list.begin(), info.RelatedCode);
        ++insertAt;
        break;
      case kRelationOther:
        list.push_back(info.RelatedCode);
        break;
      case kRelationGroup: {
        const TRelatedList* group = Find(info.RelatedCode);
        if (group == nullptr) break;
        std::vector<std::string> members;
        for (const TKrRelatedInfo& member : *group) {
          if (member.RelationType == kRelationGroup) members.push_back(member.RelatedCode);
        }
        auto securities = G_GetSecuritys(members);
        if (!securities) break;
        for (int i = 0; i < securities->GetCount(); ++i) {
          auto security = securities->GetItem(i);
          if (!security) continue;
          const std::string memberCode = security->GetKoraCode();
          if (ToUpperAscii(memberCode) == asked) continue;
          switch (ShareClassOf(*security)) {
            case 'A':
              list.insert(list.begin() + static_cast<std::ptrdiff_t>(insertAt), memberCode);
              ++insertAt;
              break;
            case 'B':
              list.insert(list.begin() + static_cast<std::ptrdiff_t>(insertAt), memberCode);
              break;
            default:
              list.push_back(memberCode);
              break;
          }
        }
        break;
      }
      default:
        break;
    }
  }
}

void TKrRelatedSymbol::GetAHKoraCodeList(const std::string& code, std::vector<std::string>& list) {
  std::lock_guard lock(FAHLock);
  list = code == "A" ? FAHPairs.A : FAHPairs.H;
}

std::string TKrRelatedSymbol::GetAHRelateCode(const std::string& code) {
  const TRelatedList* relations = Find(code);
  if (relations == nullptr) return {};
  for (auto it = relations->rbegin(); it != relations->rend(); ++it) {
    if (it->RelationType == kRelationAH) return it->RelatedCode;
  }
  return {};
}

std::string TKrRelatedSymbol::GetAHKoraCodeByIndex(const std::string& code, int index) {
  std::lock_guard lock(FAHLock);
  const std::vector<std::string>& codes = code == "A" ? FAHPairs.A : FAHPairs.H;
  if (index < 0 || static_cast<std::size_t>(index) >= codes.size()) return {};
  return codes[static_cast<std::size_t>(index)];
}

int TKrRelatedSymbol::GetAHKoraCodeCount() {
  std::lock_guard lock(FAHLock);
  return static_cast<int>(FAHPairs.A.size());
}

int TKrRelatedSymbol::RegAfterLoadedCallBack(TNotifyEvent callback) {
  const int id = ++FLastCallBackID;
  FCallBacks.emplace(id, std::move(callback));
  return id;
}

void TKrRelatedSymbol::UnRegAfterLoadedCallBack(int id) { FCallBacks.erase(id); }

void TKrRelatedSymbol::NotifyHqRelatedData(std::size_t columnCount, const std::vector<std::vector<std::string>>& rows) {
  if (columnCount < 3) return;
  FTable.Clear();
  FLists.Clear();
  TAHPairs pairs;
  std::size_t rowNumber = 0;
  try {
    for (const auto& row : rows) {
      ++rowNumber;
      if (row.size() >= 3) AddPair(row[0], row[1], row[2], pairs);
    }
  } catch (const EConvertError& e) {
    host::AddHQLog(
        fmt::format("related symbols from the cloud: row {}: {}; the rest is not loaded", rowNumber, e.what()),
        kLogSource, host::LogSeverity::kError);
  }
  PublishAHPairs(std::move(pairs));
  // Copy: a call-back may unregister itself.
  const auto callbacks = FCallBacks;
  for (const auto& [id, callback] : callbacks) {
    if (callback) callback(static_cast<IRelatedSymbol*>(this));
  }
}

void TKrRelatedSymbol::OnCloudDataUpdate(const std::vector<std::vector<std::string>>& rows) {
  for (const auto& row : rows) {
    if (row.size() < 3) continue;
    const auto type = ParseInt64(row[2]);
    if (!type || *type < std::numeric_limits<int>::min() || *type > std::numeric_limits<int>::max()) continue;
    TRelatedList& list = ListOf(row[0]);
    const TKrRelatedInfo info{row[1], static_cast<int>(*type)};
    const bool present = std::any_of(list.begin(), list.end(), [&](const TKrRelatedInfo& r) {
      return r.RelatedCode == info.RelatedCode && r.RelationType == info.RelationType;
    });
    if (!present) list.insert(list.begin(), info);
  }
}

}  // namespace kdp
