// The (name, value) parameters of a cloud report or command, in configuration order. Names compare
// ASCII case-insensitively, as the configuration writes them in either case ("koraCode", "KoraCode").
// A plain value; main thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kdp {

struct TKrCommandParam {
  std::string Name;
  std::string Value;
};

class TKrCommandParams {
 public:
  // Appends a parameter (a name may repeat; look-ups find the first).
  void AddParam(std::string name, std::string value);
  // "" for a parameter not present.
  std::string GetParamValue(std::string_view name) const;
  // False (nothing added) for a parameter not present.
  bool SetParamValue(std::string_view name, std::string value);
  // The names joined by ",".
  std::string GetParamNames() const;
  const std::vector<TKrCommandParam>& Items() const { return FParams; }

 private:
  std::vector<TKrCommandParam> FParams;
};

// The language whose texts the services are asked for in English ("ENS", the English edition).
inline constexpr std::string_view kEnglishEditionLanguage = "ENS";

}  // namespace kdp
