#include "fields/format_exp.h"

#include <exception>

#include "kdp/host/log.h"
#include "script/script_server.h"
#include "util/strings.h"

namespace kdp {
namespace {

const std::string kEmpty;

constexpr std::string_view kScriptMarker = "script{";

// The position of "script{" in `text`, compared without regard to case; npos when absent.
std::size_t FindScriptMarker(std::string_view text) {
  if (text.size() < kScriptMarker.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + kScriptMarker.size() <= text.size(); ++i) {
    if (SameTextAscii(text.substr(i, kScriptMarker.size()), kScriptMarker)) return i;
  }
  return std::string_view::npos;
}

// A variable written "{$Name}" or "Name".
std::string VariableName(std::string_view piece) {
  const std::string trimmed = Trim(piece);
  if (trimmed.find("{$") != std::string::npos) return ParseText(trimmed);
  return trimmed;
}

}  // namespace

bool IsSecondGuide(std::string_view name) {
  return name.size() > kSecondGuidePrefix.size() &&
         SameTextAscii(name.substr(0, kSecondGuidePrefix.size()), kSecondGuidePrefix);
}

std::string TrimSecondGuide(std::string_view name) {
  return std::string(IsSecondGuide(name) ? name.substr(kSecondGuidePrefix.size()) : name);
}

std::string ParseText(std::string_view text) {
  const std::size_t open = text.find("{$");
  if (open == std::string_view::npos) return {};
  const std::size_t close = text.find('}', open + 2);
  if (close == std::string_view::npos) return {};
  return std::string(text.substr(open + 2, close - open - 2));
}

// ---- TCHQExp ----

TCHQExp::TCHQExp() : FHandle(host::cexp_create()) {}

TCHQExp::~TCHQExp() { host::cexp_free(FHandle); }

bool TCHQExp::ParserHQExp(std::string_view text) {
  FVarNames.clear();
  if (FHandle == nullptr) return false;
  if (host::cexp_parser(FHandle, text) != 0 || host::cexp_gencode(FHandle) != 0) return false;
  const int count = host::cexp_getvarcount(FHandle);
  FVarNames.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) FVarNames.push_back(host::cexp_getvarname(FHandle, i));
  return true;
}

const std::string& TCHQExp::GetVarName(int index) const {
  return index >= 0 && index < GetVarCount() ? FVarNames[static_cast<std::size_t>(index)] : kEmpty;
}

void TCHQExp::SetVariable(int index, double value) {
  if (FHandle != nullptr) host::cexp_setvar(FHandle, index, value);
}

bool TCHQExp::Exec(double& result) {
  if (FHandle == nullptr || host::cexp_exec(FHandle) != 0) return false;
  result = host::cexp_getvar(FHandle, 0);
  return true;
}

// ---- TKrHQFormatExp ----

TKrHQFormatExp::TKrHQFormatExp() = default;
TKrHQFormatExp::~TKrHQFormatExp() = default;

void TKrHQFormatExp::InitState() {
  FVarList.clear();
  FVarValueMap.clear();
  FFuncName.clear();
  FIsScriptExp = false;
  FIsParserSucceed = false;
  FResultValue = 0.0;
}

bool TKrHQFormatExp::ParserHQExp(std::string_view text) {
  InitState();
  const std::string trimmed = Trim(text);
  if (const std::size_t marker = FindScriptMarker(trimmed); marker != std::string::npos) {
    FIsScriptExp = true;
    FIsParserSucceed = ParseScript(TrimView(std::string_view(trimmed).substr(marker + kScriptMarker.size())));
    return FIsParserSucceed;
  }
  if (!FCHQExp) FCHQExp = std::make_unique<TCHQExp>();
  if (FCHQExp->ParserHQExp(trimmed)) {
    for (int i = 0; i < FCHQExp->GetVarCount(); ++i) FVarList.push_back(FCHQExp->GetVarName(i));
    FIsParserSucceed = true;
  }
  return FIsParserSucceed;
}

bool TKrHQFormatExp::ParseScript(std::string_view body) {
  const std::size_t eq = body.find('=');
  const std::size_t open = body.find('(');
  if (eq == std::string_view::npos || open == std::string_view::npos || open < eq) return false;
  FVarList.push_back(VariableName(body.substr(0, eq)));
  FFuncName = Trim(body.substr(eq + 1, open - eq - 1));
  const std::size_t close = body.find(')', open + 1);
  const std::string_view arguments =
      body.substr(open + 1, (close == std::string_view::npos ? body.size() : close) - open - 1);
  // "f()" has no arguments; otherwise every piece between commas is one, empty ones included.
  if (!TrimView(arguments).empty()) {
    for (const std::string& piece : SplitString(arguments, ',')) FVarList.push_back(VariableName(piece));
  }
  return true;
}

const std::string& TKrHQFormatExp::GetVarName(int index) const {
  return index >= 0 && index < GetVarCount() ? FVarList[static_cast<std::size_t>(index)] : kEmpty;
}

int TKrHQFormatExp::GetVarIndex(std::string_view name) const {
  for (int i = 0; i < GetVarCount(); ++i) {
    if (SameTextAscii(FVarList[static_cast<std::size_t>(i)], name)) return i;
  }
  return -1;
}

double TKrHQFormatExp::GetVarValue(std::string_view name) const {
  const int index = GetVarIndex(name);
  auto it = FVarValueMap.find(index);
  return it == FVarValueMap.end() ? 0.0 : it->second;
}

void TKrHQFormatExp::SetVarValue(int index, double value) {
  if (!FIsParserSucceed || GetVarName(index).empty()) return;
  FVarValueMap[index] = value;
  if (!FIsScriptExp && FCHQExp) FCHQExp->SetVariable(index, value);
}

bool TKrHQFormatExp::Exec() {
  if (!FIsParserSucceed) return false;
  if (FIsScriptExp) {
    TKrScriptServer* server = G_GetScriptServer();
    if (server == nullptr || !server->HasScript(kHQFormatScriptName)) return false;
    std::vector<double> arguments;
    for (int i = 1; i < GetVarCount(); ++i) {
      auto it = FVarValueMap.find(i);
      arguments.push_back(it == FVarValueMap.end() ? 0.0 : it->second);
    }
    const std::optional<std::string> answer = server->CallFunction(kHQFormatScriptName, FFuncName, arguments);
    if (!answer) return false;
    FResultValue = StrToFloatDef(*answer, 0.0);
    return true;
  }
  try {
    double result = 0.0;
    if (!FCHQExp->Exec(result)) return false;
    FResultValue = result;
    return true;
  } catch (const std::exception& e) {
    host::AddHQLog(std::string("TKrHQFormatExp.Exec: ") + e.what(), "uKrHQFormatExp", host::LogSeverity::kNotice);
    throw EHQExpExecError();
  }
}

}  // namespace kdp
