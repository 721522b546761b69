#include "kdp/fields/field_names.h"

#include <algorithm>

#include "fields/hq_dictionary.h"

namespace kdp {

int FieldIDByName(std::string_view name) { return KrHQDictionaryImpl().GetIDByName(name); }

std::string FieldNameByID(int id) { return KrHQDictionaryImpl().GetEngNameByID(id); }

std::string FieldDisplayNameByID(int id) { return KrHQDictionaryImpl().GetNameByID(id); }

std::vector<TFieldEntry> DictionaryFields() {
  const TKrHQDictionaryImpl& dictionary = KrHQDictionaryImpl();
  std::vector<TFieldEntry> fields;
  for (const auto& item : dictionary.Items()) {
    // An ID given twice is listed as its look-ups answer it.
    if (dictionary.GetDictionaryItem(item->FID) != item) continue;
    fields.push_back({item->FID, item->FName, item->FCName, item->FCaption, item->FType});
  }
  std::ranges::sort(fields, {}, &TFieldEntry::id);
  return fields;
}

}  // namespace kdp
