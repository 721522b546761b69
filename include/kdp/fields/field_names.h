// The field dictionary's names as tools and widgets see them: a field's internal name ("NewPrice") and
// display name ("最新价") by ID, and its ID by internal name, compared ASCII case-insensitively.
//
// Main thread only, once the package is initialized (the dictionary is read on first use).
#pragma once

#include <string>
#include <string_view>

namespace kdp {

// 0 when the dictionary has no field of that name.
int FieldIDByName(std::string_view name);
// "" when the dictionary has no field of that ID.
std::string FieldNameByID(int id);
std::string FieldDisplayNameByID(int id);

}  // namespace kdp
