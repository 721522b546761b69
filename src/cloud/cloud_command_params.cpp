#include "cloud/cloud_command_params.h"

#include <algorithm>

#include "util/strings.h"

namespace kdp {

void TKrCommandParams::AddParam(std::string name, std::string value) {
  FParams.push_back({std::move(name), std::move(value)});
}

std::string TKrCommandParams::GetParamValue(std::string_view name) const {
  const auto it = std::ranges::find_if(FParams, [&](const auto& p) { return SameTextAscii(p.Name, name); });
  return it == FParams.end() ? std::string{} : it->Value;
}

bool TKrCommandParams::SetParamValue(std::string_view name, std::string value) {
  const auto it = std::ranges::find_if(FParams, [&](const auto& p) { return SameTextAscii(p.Name, name); });
  if (it == FParams.end()) return false;
  it->Value = std::move(value);
  return true;
}

std::string TKrCommandParams::GetParamNames() const {
  std::string names;
  for (const auto& p : FParams) names += (names.empty() ? "" : ",") + p.Name;
  return names;
}

}  // namespace kdp
