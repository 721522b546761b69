#include "script_server.h"

#include "kdp/host/log.h"
#include "text_files.h"

namespace kdp::minihost {

bool MiniScriptServer::LoadScript(const std::string& name, const std::string&, std::string& error) {
  error = "the stand-in host has no script engine; script \"" + name + "\" not loaded";
  host::AddHQLog(error, "MiniScriptServer", host::LogSeverity::kWarning);
  return false;
}

bool MiniScriptServer::HasScript(const std::string& name) { return scripts_.contains(UpperAscii(name)); }

std::optional<std::string> MiniScriptServer::CallFunction(const std::string& script, const std::string& function,
                                                          const std::vector<double>& arguments) {
  auto s = scripts_.find(UpperAscii(script));
  if (s == scripts_.end()) return std::nullopt;
  auto f = s->second.find(UpperAscii(function));
  if (f == s->second.end() || !f->second) return std::nullopt;
  return f->second(arguments);
}

void MiniScriptServer::AddNativeScript(const std::string& name, std::map<std::string, NativeFunction> functions) {
  std::map<std::string, NativeFunction> upper;
  for (auto& [fn, call] : functions) upper[UpperAscii(fn)] = std::move(call);
  scripts_[UpperAscii(name)] = std::move(upper);
}

void MiniScriptServer::RemoveScript(const std::string& name) { scripts_.erase(UpperAscii(name)); }

}  // namespace kdp::minihost
