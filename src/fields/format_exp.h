// Format expressions: computed quote fields.
//
// TCHQExp wraps one expression of the host's expression engine (kdp/host/expression_engine.h).
// TKrHQFormatExp holds one parsed computed-field expression, either plain (run by the host's engine) or a
// script call of the form
//     script{Result = FunctionName({$NewPrice}, {$PreClose})}
// that runs the function of the package script server's script "HQFormat" (script/script_server.h). In both forms variable 0 is the
// result and variables 1, 2, ... are the fields the expression reads.
//
// Second-guide variables read a field of the security's reference security (the underlying stock of a
// convertible bond or warrant, the index of an index future) instead of the security's own; they are
// written with the prefix "Ref_" ("Ref_NewPrice"), compared without regard to case.
//
// Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/error.h"
#include "kdp/host/expression_engine.h"

namespace kdp {

// The marker of a second-guide variable.
inline constexpr std::string_view kSecondGuidePrefix = "Ref_";
bool IsSecondGuide(std::string_view name);
// The field name without the second-guide marker; other names unchanged.
std::string TrimSecondGuide(std::string_view name);

// The name between "{$" and "}" ("{$NewPrice}" gives "NewPrice"); empty when the text has no placeholder.
std::string ParseText(std::string_view text);

class TCHQExp {
 public:
  TCHQExp();
  ~TCHQExp();
  TCHQExp(const TCHQExp&) = delete;
  TCHQExp& operator=(const TCHQExp&) = delete;

  // True when the host engine parsed the text and prepared it to run. False also without an engine.
  bool ParserHQExp(std::string_view text);
  int GetVarCount() const { return static_cast<int>(FVarNames.size()); }
  // "" out of range.
  const std::string& GetVarName(int index) const;
  void SetVariable(int index, double value);
  // Runs the expression; true on success with the result in `result` (variable 0). Engine failures while
  // running propagate as exceptions.
  bool Exec(double& result);

 private:
  host::cexp_handle FHandle = nullptr;
  std::vector<std::string> FVarNames;
};

class TKrHQFormatExp {
 public:
  TKrHQFormatExp();
  ~TKrHQFormatExp();
  TKrHQFormatExp(const TKrHQFormatExp&) = delete;
  TKrHQFormatExp& operator=(const TKrHQFormatExp&) = delete;

  // Parses a plain or script expression (see the header comment); true on success.
  bool ParserHQExp(std::string_view text);
  int GetVarCount() const { return static_cast<int>(FVarList.size()); }
  // "" out of range.
  const std::string& GetVarName(int index) const;
  // The index of the variable of that name (ASCII case-insensitive), -1 when none.
  int GetVarIndex(std::string_view name) const;
  // The value last set for the variable of that name; 0 when unset or unknown.
  double GetVarValue(std::string_view name) const;
  // Only after a successful parse and for an index that has a name; a plain expression also hands the
  // value to the engine.
  void SetVarValue(int index, double value);
  // Runs the expression. False when the parse failed, the script server has no "HQFormat" script or the
  // script answered null. Throws EHQExpExecError when the engine fails while running.
  bool Exec();
  double ResultValue() const { return FResultValue; }
  void InitState();

  bool IsScriptExp() const { return FIsScriptExp; }
  bool IsParserSucceed() const { return FIsParserSucceed; }
  const std::string& GetFuncName() const { return FFuncName; }

 private:
  bool ParseScript(std::string_view body);

  std::unique_ptr<TCHQExp> FCHQExp;
  bool FIsScriptExp = false;
  std::vector<std::string> FVarList;
  std::map<int, double> FVarValueMap;
  std::string FFuncName;
  double FResultValue = 0.0;
  bool FIsParserSucceed = false;
};

// The script of the host's script server that script expressions call.
inline constexpr const char* kHQFormatScriptName = "HQFormat";

}  // namespace kdp
