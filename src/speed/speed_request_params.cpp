#include "kdp/speed/speed_request_params.h"

#include "util/strings.h"

namespace kdp {

std::string TKrSpeedReqParamParse::GetText(const char* key) const {
  return FParamSet ? FParamSet->GetValue(key) : std::string();
}

void TKrSpeedReqParamParse::SetText(const char* key, const std::string& value) {
  if (FParamSet) FParamSet->SetValue(key, value);
}

int TKrSpeedReqParamParse::GetInt(const char* key) const { return StrToIntDef(GetText(key), 0); }

void TKrSpeedReqParamParse::SetInt(const char* key, int value) { SetText(key, std::to_string(value)); }

}  // namespace kdp
