#include "kdp/fields/field_names.h"

#include "fields/hq_dictionary.h"

namespace kdp {

int FieldIDByName(std::string_view name) { return KrHQDictionaryImpl().GetIDByName(name); }

std::string FieldNameByID(int id) { return KrHQDictionaryImpl().GetEngNameByID(id); }

std::string FieldDisplayNameByID(int id) { return KrHQDictionaryImpl().GetNameByID(id); }

}  // namespace kdp
