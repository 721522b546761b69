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
// Get, Modify and Remove find the first item of a key through an index on a stronger hash: an open-
// addressing table of (hash, item) slots, at most half full, so a look-up reads a slot and the item.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
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

  explicit TPtrHashTable(std::size_t Size) : Buckets(Size == 0 ? 1 : Size, nullptr) { GrowIndex(Size); }
  TPtrHashTable(const TPtrHashTable&) = delete;
  TPtrHashTable& operator=(const TPtrHashTable&) = delete;

  void Put(std::string_view Key, T* Value) {
    THashItem*& head = Buckets[BucketOf(Key)];
    THashItem* item = NewItem();
    item->Next = head;
    item->Key.assign(Key);
    item->Value = Value;
    head = item;
    // The newest item of a key is the one Get answers.
    const std::size_t hash = IndexHash(Key);
    IndexSlot& slot = Index[FindSlot(Key, hash)];
    if (slot.item == nullptr) {
      slot = {hash, item};
      if (++Indexed * 2 > Index.size()) GrowIndex(Indexed);
    } else {
      slot.item = item;
    }
  }

  // The value of the most recently put item with exactly this key, or nullptr.
  T* Get(std::string_view Key) const {
    const THashItem* item = Index[FindSlot(Key, IndexHash(Key))].item;
    return item == nullptr ? nullptr : item->Value;
  }

  // Replaces the value of the first item with this key; false when there is none.
  bool Modify(std::string_view Key, T* Value) {
    THashItem* item = Index[FindSlot(Key, IndexHash(Key))].item;
    if (item == nullptr) return false;
    item->Value = Value;
    return true;
  }

  // Unlinks the first item with this key; false when there is none.
  bool Remove(std::string_view Key) {
    const std::size_t at = FindSlot(Key, IndexHash(Key));
    THashItem* item = Index[at].item;
    if (item == nullptr) return false;
    THashItem** link = &Buckets[BucketOf(Key)];
    while (*link != item) link = &(*link)->Next;
    *link = item->Next;
    // An older item of the same key further down the chain is revealed.
    THashItem* older = item->Next;
    while (older != nullptr && older->Key != Key) older = older->Next;
    if (older != nullptr) {
      Index[at].item = older;
    } else {
      EraseSlot(at);
    }
    Release(item);
    return true;
  }

  void Clear() {
    std::fill(Buckets.begin(), Buckets.end(), nullptr);
    std::fill(Index.begin(), Index.end(), IndexSlot{});
    Indexed = 0;
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

  // The index: each key's newest item, by std::hash of the key, in a power-of-two table probed linearly.
  struct IndexSlot {
    std::size_t hash = 0;
    THashItem* item = nullptr;  // nullptr: a free slot
  };
  static std::size_t IndexHash(std::string_view key) { return std::hash<std::string_view>{}(key); }
  // The slot of the key, or the free slot where it would go.
  std::size_t FindSlot(std::string_view key, std::size_t hash) const {
    const std::size_t mask = Index.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      const IndexSlot& slot = Index[at];
      if (slot.item == nullptr || (slot.hash == hash && slot.item->Key == key)) return at;
    }
  }
  // A table at most half full with `keys` keys.
  void GrowIndex(std::size_t keys) {
    std::size_t size = 16;
    while (size < 2 * keys) size *= 2;
    std::vector<IndexSlot> old = std::exchange(Index, std::vector<IndexSlot>(size));
    for (const IndexSlot& slot : old) {
      if (slot.item != nullptr) Index[FindSlot(slot.item->Key, slot.hash)] = slot;
    }
  }
  // Frees a slot, moving later slots of its run back so every key stays reachable from its home slot.
  void EraseSlot(std::size_t at) {
    const std::size_t mask = Index.size() - 1;
    --Indexed;
    for (std::size_t next = (at + 1) & mask; Index[next].item != nullptr; next = (next + 1) & mask) {
      const std::size_t home = Index[next].hash & mask;
      // The slot may move to `at` when its home does not lie cyclically in (at, next].
      if (((next - home) & mask) >= ((next - at) & mask)) {
        Index[at] = Index[next];
        at = next;
      }
    }
    Index[at] = IndexSlot{};
  }

  std::vector<THashItem*> Buckets;
  std::vector<IndexSlot> Index;
  std::size_t Indexed = 0;       // keys in the index
  TStableStore<THashItem> Pool;  // removed items are reused through Free
  THashItem* Free = nullptr;
  std::size_t Count = 0;
  EnumProc FOnEnumProc;
};

}  // namespace kdp
