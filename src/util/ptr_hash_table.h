// TPtrHashTable: the chained, string-keyed table the reference managers load their records into.
//
// A fixed number of buckets (set at construction); a key's bucket is HashOf(key) modulo that number.
// Put inserts at the head of the chain without looking for the key, so a second Put of a key hides the
// first for Get, and Remove of the key reveals it again. Keys compare exactly (case-sensitive). Values are
// pointers the table does not own. Enumeration visits buckets in ascending order, each chain from its head
// (the most recent Put first). Items come from a pool, so loading allocates little. Not thread-safe.
//
// HashOf spreads security codes poorly (codes that differ in a few digits collide: 4,000 codes give about
// 700 distinct values), so chains grow long. The buckets therefore serve only the order of enumeration;
// Get, Modify and Remove find the first item of a key through an index on a stronger hash.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kdp/host/ansi.h"
#include "util/stable_store.h"

namespace kdp {

// The table's hash: from 0, for each UTF-16 code unit of the key, rotate left by 2 bits and xor the unit.
inline std::uint32_t HashOf(std::string_view key) {
  std::uint32_t hash = 0;
  auto mix = [&hash](std::uint32_t unit) { hash = ((hash << 2) | (hash >> 30)) ^ unit; };
  bool ascii = true;
  for (char c : key) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) {
    for (char c : key) mix(static_cast<unsigned char>(c));
  } else {
    for (char16_t unit : host::Utf8ToUtf16(key)) mix(unit);
  }
  return hash;
}

template <class T>
class TPtrHashTable {
 public:
  struct THashItem {
    THashItem* Next;
    std::string Key;
    T* Value;
  };
  // The call-back may change an item's value, not its key.
  using EnumProc = std::function<void(THashItem*)>;

  explicit TPtrHashTable(std::size_t Size) : Buckets(Size == 0 ? 1 : Size, nullptr) { Index.reserve(Size); }
  TPtrHashTable(const TPtrHashTable&) = delete;
  TPtrHashTable& operator=(const TPtrHashTable&) = delete;

  void Put(std::string_view Key, T* Value) {
    THashItem*& head = Buckets[BucketOf(Key)];
    THashItem* item = NewItem();
    item->Next = head;
    item->Key.assign(Key);
    item->Value = Value;
    head = item;
    // The newest item of a key is the one Get answers. The index's key views the item's own key.
    auto [it, inserted] = Index.try_emplace(item->Key, item);
    if (!inserted) {
      Index.erase(it);
      Index.emplace(item->Key, item);
    }
  }

  // The value of the most recently put item with exactly this key, or nullptr.
  T* Get(std::string_view Key) const {
    auto it = Index.find(Key);
    return it == Index.end() ? nullptr : it->second->Value;
  }

  // Replaces the value of the first item with this key; false when there is none.
  bool Modify(std::string_view Key, T* Value) {
    auto it = Index.find(Key);
    if (it == Index.end()) return false;
    it->second->Value = Value;
    return true;
  }

  // Unlinks the first item with this key; false when there is none.
  bool Remove(std::string_view Key) {
    auto it = Index.find(Key);
    if (it == Index.end()) return false;
    THashItem* item = it->second;
    Index.erase(it);
    THashItem** link = &Buckets[BucketOf(Key)];
    while (*link != item) link = &(*link)->Next;
    *link = item->Next;
    // An older item of the same key further down the chain is revealed.
    for (THashItem* older = item->Next; older != nullptr; older = older->Next) {
      if (older->Key == Key) {
        Index.emplace(older->Key, older);
        break;
      }
    }
    Release(item);
    return true;
  }

  void Clear() {
    std::fill(Buckets.begin(), Buckets.end(), nullptr);
    Index.clear();
    Pool.Clear();
    Free = nullptr;
    Count = 0;
  }

  void SetOnEnumProc(EnumProc proc) { FOnEnumProc = std::move(proc); }
  void StartEnum() {
    if (!FOnEnumProc) return;
    for (THashItem* head : Buckets) {
      for (THashItem* item = head; item != nullptr;) {
        THashItem* next = item->Next;  // the call-back may modify the item
        FOnEnumProc(item);
        item = next;
      }
    }
  }

  std::size_t Size() const { return Count; }

 private:
  std::size_t BucketOf(std::string_view key) const { return HashOf(key) % Buckets.size(); }

  THashItem* NewItem() {
    ++Count;
    if (Free != nullptr) {
      THashItem* item = Free;
      Free = item->Next;
      return item;
    }
    return &Pool.Emplace();
  }

  void Release(THashItem* item) {
    --Count;
    item->Key.clear();
    item->Value = nullptr;
    item->Next = Free;
    Free = item;
  }

  std::vector<THashItem*> Buckets;
  std::unordered_map<std::string_view, THashItem*> Index;  // each key's newest item
  TStableStore<THashItem> Pool;                            // removed items are reused through Free
  THashItem* Free = nullptr;
  std::size_t Count = 0;
  EnumProc FOnEnumProc;
};

}  // namespace kdp
