// The field dictionary's names as tools and widgets see them: a field's internal name ("NewPrice") and
// display name ("最新价") by ID, and its ID by internal name, compared ASCII case-insensitively.
//
// Main thread only, once the package is initialized (the dictionary is read on first use).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kdp {

// A field as a tool lists it: its ID, internal name, display name (cname), short column caption and value
// type (HQDICDATA_TYPE_INTEGER, _DOUBLE or _STRING of kdp/fields/hq_field_types.h).
struct TFieldEntry {
  int id = 0;
  std::string name;
  std::string displayName;
  std::string caption;
  int type = 0;
};
// Every field of the dictionary in ID order: quote fields, then cloud indicators, then Lux fields.
std::vector<TFieldEntry> DictionaryFields();

// 0 when the dictionary has no field of that name.
int FieldIDByName(std::string_view name);
// "" when the dictionary has no field of that ID.
std::string FieldNameByID(int id);
std::string FieldDisplayNameByID(int id);

}  // namespace kdp
