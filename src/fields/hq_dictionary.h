// The field dictionary: every quote field's ID, internal name, display name, caption and value type, plus
// the cloud-indicator and Lux attributes of the fields in those ID ranges.
//
// TKrHQDictionaryImpl is one per process (KrHQDictionaryImpl), read once on first use from the binary
// document "HQ/Base/HQDictionary.hqc" under the configuration root, and freed at shut-down
// (FreeHQDictionaryImpl); its field tables are built from that document on the first query. Items live as
// long as the dictionary. It also keeps the pool of parsed
// expressions that expression items share (GetOrCreateExpressionObj).
//
// Name look-ups compare ASCII case-insensitively. Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fields/format_exp.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/host/bin_document.h"
#include "util/case_less.h"

namespace kdp {

class TKrHQDictionaryImpl;

// One field. A plain record owned by its dictionary (or expression dictionary).
class TKrHQDictionaryItem {
 public:
  virtual ~TKrHQDictionaryItem() = default;

  // Stores the text, takes the pooled parsed expression when the item has none yet, and marks the item
  // valid when it has one.
  void SetExpression(const std::string& text, TKrHQDictionaryImpl& pool);
  // Copies another item's values into this one.
  virtual void Dup(const TKrHQDictionaryItem& other);

  int FID = 0;
  std::string FName;
  std::string FCName;
  std::string FCaption;
  double FValue = 0.0;
  int FType = HQDICDATA_TYPE_INTEGER;
  TCloudIndexType FCloudType = TCloudIndexType::itStub;
  int FCloudCommandID = 0;
  std::string FMatrixFunction;
  std::string FKssFunction;
  std::string FMapIndex;
  std::shared_ptr<TCHQExp> FExp;  // shared with the dictionary's expression pool
  int FLuxId = 0;
  std::string FExpression;
  bool FIsValid = false;
};

// "double" gives HQDICDATA_TYPE_DOUBLE, "string" HQDICDATA_TYPE_STRING, "integer" HQDICDATA_TYPE_INTEGER,
// anything else HQDICDATA_TYPE_DOUBLE.
int DictionaryTypeFromText(std::string_view text);

// Cloud command families.
inline constexpr int kCloudCommandMatrix = 100;
inline constexpr int kCloudCommandSnapshot = 1000;

class TKrHQDictionaryImpl {
 public:
  // An empty dictionary (no expression pool entries, no fields).
  TKrHQDictionaryImpl() = default;
  // Reads the binary document `fileName`. A missing or unreadable document shows the host's error box
  // (language texts 20531 and 25566) and leaves the dictionary empty. The fields are taken from the
  // document on the first query (their notices are logged then).
  explicit TKrHQDictionaryImpl(const std::string& fileName);
  TKrHQDictionaryImpl(const TKrHQDictionaryImpl&) = delete;
  TKrHQDictionaryImpl& operator=(const TKrHQDictionaryImpl&) = delete;

  // Adds the field nodes under `root` (comment nodes skipped; nodes without "id" or "name" skipped).
  void LoadBinDictionaryData(const host::IBinNode& root);

  // 0 when no field has that name.
  int GetIDByName(std::string_view name) const;
  // The display name (cname) and the internal name; "" for an unknown ID.
  std::string GetNameByID(int id) const;
  std::string GetEngNameByID(int id) const;
  // The item in its ID range's array; nullptr outside the filled part.
  const TKrHQDictionaryItem* GetDictionaryItem(int id) const;
  // The item of that name; nullptr when none.
  const TKrHQDictionaryItem* GetDictionaryItemByName(std::string_view name) const;
  // 0 (integer) for an unknown ID.
  int GetTypeByID(int id) const;
  // -1 unless `id` is a cloud ID present in the dictionary.
  int GetCloudCommandIDByID(int id) const;
  TCloudIndexType GetCloudTypeByID(int id) const;
  TCloudIndexType GetCloudTypeByName(std::string_view name) const;
  // The matrix function (command 100) or snapshot function (command 1000) of a cloud ID; "" otherwise.
  std::string GetMatrixFunctionByID(int id) const;
  std::string GetLuxMapIndex(int id) const;
  // The decimal ID of the first Lux item with that Lux number; "" for 0 or none.
  std::string GetIndexIDByLuxId(int luxId) const;
  // The decimal ID of the Lux item of that name; "" when none.
  std::string GetIndexIDByLuxName(std::string_view name) const;
  // The Lux number of the Lux item of that name; 0 when none.
  int GetLuxIdByLuxName(std::string_view name) const;

  int GetLength() const { return static_cast<int>(Tables().itemArray.size()); }
  int GetMaxIndex() const { return Tables().maxIndex; }
  int GetMaxIndexCloud() const { return Tables().maxIndexCloud; }
  std::size_t Count() const { return Tables().byName.size(); }
  // Every item in load order.
  const std::vector<const TKrHQDictionaryItem*>& Items() const { return Tables().items; }

  // The pooled parsed expression for the text, parsed and pooled on first request; nullptr (not pooled)
  // when the text does not parse.
  std::shared_ptr<TCHQExp> GetOrCreateExpressionObj(const std::string& text);

 private:
  struct FieldTables {
    // The items of each load, made in one block per load (skipped nodes leave unused slots).
    std::vector<std::unique_ptr<TKrHQDictionaryItem[]>> blocks;
    std::vector<const TKrHQDictionaryItem*> items;  // in load order
    // By name; the keys view the items' FName, which stays as loaded.
    std::unordered_map<std::string_view, TKrHQDictionaryItem*, CaseHash, CaseEqual> byName;
    std::vector<TKrHQDictionaryItem*> itemArray;       // IDs 0 .. 10000
    std::vector<TKrHQDictionaryItem*> cloudItemArray;  // index ID - 10001
    std::map<int, TKrHQDictionaryItem*> luxItemArray;  // by ID, from 20001; sparse
    int maxIndex = 0;
    int maxIndexCloud = 0;

    void Add(const host::IBinNode& root);
  };

  // The tables, built first from the document the constructor read when that is still pending.
  const FieldTables& Tables() const;
  const TKrHQDictionaryItem* LuxItemByName(std::string_view name) const;

  // The constructor reads and checks its document (so a start reports a bad one at once) and keeps it;
  // the tables are built from it when first asked, which a start need not do. Main thread only, as the
  // dictionary is: no lock guards the build.
  mutable std::shared_ptr<host::IBinDocument> FUnbuiltDocument;
  mutable FieldTables FTables;
  std::map<std::string, std::shared_ptr<TCHQExp>> m_lstExpPool;
};

// The process's dictionary, loaded from the configuration on first call.
TKrHQDictionaryImpl& KrHQDictionaryImpl();
void FreeHQDictionaryImpl();
// "HQ/Base/HQDictionary.hqc" under the configuration root.
std::string HQDictionaryFileName();

}  // namespace kdp
