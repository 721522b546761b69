// TKrRTDItem and TKrRTDCache: the real-time item and cache (see include/kdp/rtd/rtd_item.h).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "kdp/refdata/security_manager.h"
#include "kdp/rtd/rtd_item.h"
#include "kdp/rtd/rtd_quote_rows.h"
#include "rtd/field_store.h"

namespace kdp {

class TKrHQDictionaryItem;

// What updates could not store, summed over one reply so that the reply is logged once.
struct TRealTimeDrops {
  std::size_t fields = 0;           // values of field IDs the dictionary does not define, beyond those kept
  std::uint32_t firstField = 0;     // the first such ID
  std::size_t unpaired = 0;         // IDs without a value and values without an ID
  std::size_t rowsWithoutCode = 0;  // rows whose code is empty or has no printable character

  bool Any() const { return fields + unpaired + rowsWithoutCode > 0; }
  void AddField(std::uint32_t id) { AddFields(1, id); }
  // `count` fields, the first of them `firstID`.
  void AddFields(std::size_t count, std::uint32_t firstID);
  TRealTimeDrops& operator+=(const TRealTimeDrops& other);
  // "40000 fields not in the dictionary (first ID 100000), 2 IDs or values without a pair, 1 row
  // without a usable code", listing only what happened.
  std::string Describe() const;
};

class TKrRTDItem final : public host::Implements<IRTDItem> {
 public:
  TKrRTDItem();
  ~TKrRTDItem() override;

  // Also answers its permission face.
  void* QueryInterface(const host::Guid& iid) override {
    if (iid == IRTDPermission::IID) return static_cast<IRTDPermission*>(this);
    return Implements<IRTDItem>::QueryInterface(iid);
  }

  bool HasPermissionByID(std::uint32_t id) override;
  bool HasPermissionByName(const std::string& name) override;
  void SetHasPermissionByID(std::uint32_t id, bool allowed) override;
  void SetHasPermissionByName(const std::string& name, bool allowed) override;

  std::string GetSecondarySecurityID() override { return FSecondarySecurityID; }
  void SetSecondarySecurityID(const std::string& id) override { FSecondarySecurityID = id; }
  std::shared_ptr<host::IKrSecurity> GetIKrSecurity() override;
  void SetIKrSecurity(std::shared_ptr<host::IKrSecurity> security) override { FISecurity = std::move(security); }
  std::string GetKoraCode() override { return FKoraCode; }
  void SetKoraCode(const std::string& code) override { FKoraCode = code; }
  std::shared_ptr<IKrHQSecurityManager> GetIKrHQSecurityMgr() override { return FHQSecurityManager; }

  double GetDoubleDataByID(std::uint32_t id) override;
  double GetDoubleDataByName(const std::string& name) override;
  std::string GetStringDataByID(std::uint32_t id) override;
  std::string GetStringDataByName(const std::string& name) override;
  std::int32_t GetIntDataByID(std::uint32_t id) override;
  bool IsNullByID(std::uint32_t id) override;
  bool IsNullByName(const std::string& name) override;
  void ClearAllData() override;
  void SetRealTimeData(const TSpeedQuoteData& quoteData) override { WriteRealTimeData(quoteData); }
  void UpdateRealTimeDataItem(const TSpeedQuoteData&) override {}
  std::vector<std::uint32_t> GetUpdateIndexList() override;
  int RefCount() override { return FRef; }
  bool IsValid() override { return FIsValid; }
  void SetIsValid(bool valid) override { FIsValid = valid; }
  void Reset() override;
  void SetHQSecurityManager(std::shared_ptr<IKrHQSecurityManager> manager) override {
    FHQSecurityManager = std::move(manager);
  }
  double GetDoubleSpecialDataByID(int id) override;
  bool GetIsHisPlay() override { return FIsHisPlay; }
  void SetIsHisPlay(bool value) override { FIsHisPlay = value; }
  int GetPlayType() override { return FPlayType; }
  void SetPlayType(int value) override { FPlayType = value; }
  std::shared_ptr<IKrHisPlayDataProvider> GetIKrHisPlayDataProvider() override { return FIKrHisPlayDataProvider; }
  void SetIKrHisPlayDataProvider(std::shared_ptr<IKrHisPlayDataProvider> provider) override {
    FIKrHisPlayDataProvider = std::move(provider);
  }
  double GetDoubleDataByID2(std::uint32_t id) override;

  // An item keeps at most this many fields the dictionary does not define (as integers, like the
  // dictionary's own answer of type 0 for them), so its memory stays bounded whatever a reply holds.
  static constexpr std::size_t kMaxUndefinedFields = 64;

  // SetRealTimeData, answering what it could not store: fields the dictionary does not define beyond
  // kMaxUndefinedFields (logged once per item); an ID and value count that differ keep the pairs they
  // have. Never throws for what a reply holds.
  TRealTimeDrops WriteRealTimeData(const TSpeedQuoteData& quoteData);
  // Writes a prepared row's fields of `shape` (the row's own, or those a subscriber takes) as
  // SetRealTimeData writes an update.
  void WriteQuoteRow(const TKrQuotePush& push, const TKrQuoteRow& row, const TKrQuoteShape& shape);
  // WriteQuoteRow, later: when the item's fields are next read or changed, or the item is settled,
  // whichever comes first; a row deferred before is written first. Answers whether the item had no row waiting.
  // REQUIRES: the push stays alive until then (see TKrRTDCache::Defer).
  bool DeferQuoteRow(const TKrQuotePush& push, const TKrQuoteRow& row, const TKrQuoteShape& shape);
  // Fetches what deferring or writing a row touches first, ahead of its turn.
  void PrefetchDeferred() const { __builtin_prefetch(&FDeferred, 1); }
  // Writes the deferred row, if any.
  void Settle() {
    if (FDeferred.push != nullptr) [[unlikely]]
      WriteDeferred();
  }
  // Removes the value of `id` (from the store of its dictionary type) and its flag byte.
  void ClearSpecialData(std::uint32_t id);
  // Bytes this item holds for its fields, for memory accounting.
  std::size_t MemoryBytes() const { return sizeof(*this) + FStore.MemoryBytes(); }
  // Where the fields' cells start, for a delivery to fetch ahead (moves when a field is added).
  const void* FieldsAddress() const { return FStore.CellsAddress(); }

 private:
  bool InHistoryMode() const { return FIsHisPlay && FIKrHisPlayDataProvider != nullptr; }
  void WriteDeferred();
  // Clears the last-update bit of every field, as each update starts.
  void ClearLastUpdate();
  // Stores what an update brought for one field (`text` for a text value) and marks it delivered.
  void Deliver(TFieldStore::Cell& cell, const TKrQuoteValue& value, std::string_view text);
  double StoredDouble(std::uint32_t id, double whenMissing) const {
    const TFieldStore::Cell* cell = FStore.Find(id);
    return cell && (cell->present & TFieldStore::kHasNumber) ? cell->number : whenMissing;
  }
  // GetDoubleDataByID's way for a row waiting, a history playback or a time field shown in the user's zone.
  [[gnu::noinline]] double ReadDoubleAsShown(std::uint32_t id);
  double ShiftTimeZone(std::uint32_t id, double value);
  double ExpGetDoubleDataByName(const std::string& name, int depth);
  double SuspensionMinute();
  // The cell of `id` of dictionary type `type` (nullptr: not defined), made when missing; nullptr when an
  // undefined field would pass kMaxUndefinedFields.
  TFieldStore::Cell* CellFor(std::uint32_t id, const TKrHQDictionaryItem* field, std::size_t& cursor);

  bool FIsValid = false;
  int FRef = 0;
  std::string FSecondarySecurityID;
  std::shared_ptr<IKrHQSecurityManager> FHQSecurityManager;
  // Numbers, integers, texts and flag bytes by field ID. Every public method that reads or changes them
  // settles first (a deferred row is written then); the private ones rely on that.
  TFieldStore FStore;
  struct TDeferredRow {
    const TKrQuotePush* push = nullptr;  // nullptr: none
    const TKrQuoteRow* row = nullptr;
    const TKrQuoteShape* shape = nullptr;
  };
  TDeferredRow FDeferred;
  std::size_t FUndefinedFields = 0;   // cells made for IDs the dictionary does not define
  bool FUndefinedDropLogged = false;  // the first drop beyond kMaxUndefinedFields is logged, once
  std::shared_ptr<host::IKrSecurity> FISecurity;
  std::string FKoraCode;
  std::uint32_t FSuspensionFlagID = 0;
  std::uint32_t FTradeDateID = 0;
  bool FIsHisPlay = false;
  std::shared_ptr<IKrHisPlayDataProvider> FIKrHisPlayDataProvider;
  int FPlayType = 0;
};

class TKrRTDCache final : public host::Implements<IRTDCache> {
 public:
  TKrRTDCache() = default;
  ~TKrRTDCache() override;
  TKrRTDCache(const TKrRTDCache&) = delete;
  TKrRTDCache& operator=(const TKrRTDCache&) = delete;

  void SetUpdateList(const std::vector<std::string>& codes) override { FUpdatedCodeList = codes; }
  std::shared_ptr<IRTDItem> GetRealTimeItem(const std::string& code) override;
  void UpdateRealTimeDataCode(const TKrRealTimeParamStructure&) override {}
  const std::vector<std::string>& GetUpdateSecurityList() override { return FUpdatedCodeList; }
  void RemoveRealTimeItem(const std::shared_ptr<IRTDItem>& item) override;
  std::shared_ptr<IRTDItem> AddRTDItem(const std::string& code, std::shared_ptr<host::IKrSecurity> security) override {
    return AddItem(code, std::move(security));
  }
  void SetHQSecurityManager(std::shared_ptr<IKrHQSecurityManager> manager) override {
    FHQSecurityManager = std::move(manager);
  }
  std::shared_ptr<IKrHQSecurityManager> GetHQSecurityManager() override { return FHQSecurityManager; }
  const std::vector<std::string>& GetRealTimeItemList() override { return FKoraCodeList; }
  void ClearDiffCodes(const std::vector<std::string>& codes, const TKrRealTimeParamStructure& wanted) override;

  // GetRealTimeItem for a code the caller already upper-cased, and AddRTDItem, as the cache's own items.
  std::shared_ptr<TKrRTDItem> GetRealTimeItemByUpperCode(const std::string& upperCode);
  std::shared_ptr<TKrRTDItem> AddItem(const std::string& code, std::shared_ptr<host::IKrSecurity> security);
  // The item under an upper-cased code whose hash is known; nullptr when none. Valid while the cache
  // keeps it.
  TKrRTDItem* FindItem(const TKrQuoteCodeKey& upperCode) const {
    auto it = FRTDItemDict.find(upperCode);
    return it == FRTDItemDict.end() ? nullptr : it->second.get();
  }
  void SetUpdateList(std::vector<std::string>&& codes) { FUpdatedCodeList = std::move(codes); }
  const void* UpdateListAddress() const { return &FUpdatedCodeList; }
  // The update list, emptied, for the next update to refill without allocating again.
  std::vector<std::string> TakeUpdateList() {
    std::vector<std::string> codes = std::move(FUpdatedCodeList);
    codes.clear();
    FUpdatedCodeList.clear();
    return codes;
  }
  // Changes whenever an item is added, replaced or removed: a pointer from FindItem stays valid while
  // it does not.
  std::uint64_t Generation() const { return FGeneration; }

  // Defers writing entries of `rows` into this cache's items (see TKrRTDItem::DeferQuoteRow): the rows are
  // held until SettleDeferredQuoteRows, or until the cache settles on its own (an item removed or replaced,
  // the cache gone). Call before the rows' Defer calls.
  void HoldForDeferred(const TKrRTDQuoteRows& rows);
  // Defers writing `entry` of the rows last held into `item`, one of this cache's items.
  void Defer(TKrRTDItem& item, const TKrQuotePush& push, const TKrRTDQuoteRows::TEntry& entry) {
    if (item.DeferQuoteRow(push, *entry.row, *entry.shape)) FDeferredItems.push_back(&item);
  }
  // Writes every deferred row and lets their pushes go.
  void Settle();

 private:
  std::vector<TKrRTDItem*> FDeferredItems;  // kept by FRTDItemDict: the cache settles before letting one go
  std::vector<TKrRTDQuoteRows> FDeferredRows;
  std::unordered_map<std::string, std::shared_ptr<TKrRTDItem>, TKrQuoteCodeHash, TKrQuoteCodeEqual> FRTDItemDict;
  std::vector<std::string> FUpdatedCodeList;
  std::shared_ptr<IKrHQSecurityManager> FHQSecurityManager;
  std::vector<std::string> FKoraCodeList;  // sorted without regard to case
  std::uint64_t FGeneration = 0;
};

// Writes the rows every cache deferred. Deliveries that defer call it when their last call-back is done.
void SettleDeferredQuoteRows();
// Whether some cache holds deferred rows (none does between deliveries).
bool AnyDeferredQuoteRows();

// The suspension minute of a suspension-flag text and a trade-date text (see GetDoubleSpecialDataByID).
int SuspensionMinuteOf(const std::string& flag, const std::string& tradeDate);

}  // namespace kdp
