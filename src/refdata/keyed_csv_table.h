// TKeyedCsvTable: a reference table read from a ".dat" file into items keyed by their first field
// (upper-cased), the shape the warrant, brief-fundamentals and currency tables share. Records are read by
// LoadCsvTable's rules (wrong field counts skipped, a conversion error ends the load); each table gives the
// function that fills an item from a record's fields.
//
// Items live in a block store that every item handed out shares, so an item a widget keeps stays valid
// after the table is gone. Main thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "refdata/csv_table_loader.h"
#include "util/ptr_hash_table.h"
#include "util/stable_store.h"
#include "util/strings.h"

namespace kdp {

template <class Item>
class TKeyedCsvTable {
 public:
  // Fills `item` from the record's fields; may throw EConvertError for a field that must be a number.
  using ReadRecord = void (*)(const std::vector<std::string>& fields, Item& item);

  explicit TKeyedCsvTable(std::size_t buckets) : FTable(buckets) {}

  void Load(const std::string& path, std::size_t fieldCount, std::string_view source, ReadRecord read) {
    LoadCsvTable(path, fieldCount, source, [this, read](const std::vector<std::string>& fields) {
      Item& item = FItems->Emplace();
      read(fields, item);
      FTable.Put(ToUpperAscii(fields[0]), &item);
    });
  }

  // The item of a code (compared without regard to case); nullptr when the table has none.
  const Item* Get(std::string_view code) const { return FTable.Get(ToUpperAscii(code)); }

  // The same item as one of its published faces, sharing ownership of the store.
  template <class Face>
  std::shared_ptr<Face> Find(std::string_view code) const {
    Item* item = FTable.Get(ToUpperAscii(code));
    return item ? std::shared_ptr<Face>(FItems, item) : nullptr;
  }

  std::size_t Count() const { return FTable.Size(); }

 private:
  std::shared_ptr<TStableStore<Item>> FItems = std::make_shared<TStableStore<Item>>();
  TPtrHashTable<Item> FTable;
};

}  // namespace kdp
