#include "script_server.h"

#include "kdp/host/log.h"

namespace kdp::minihost {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace

bool MiniScriptServer::LoadScript(const std::string& name, const std::string&, std::string& error) {
  error = "the stand-in host has no script engine; script \"" + name + "\" not loaded";
  host::AddHQLog(error, "MiniScriptServer", 2);
  return false;
}

bool MiniScriptServer::HasScript(const std::string& name) { return scripts_.contains(Upper(name)); }

std::optional<std::string> MiniScriptServer::CallFunction(const std::string& script, const std::string& function,
                                                          const std::vector<double>& arguments) {
  auto s = scripts_.find(Upper(script));
  if (s == scripts_.end()) return std::nullopt;
  auto f = s->second.find(Upper(function));
  if (f == s->second.end() || !f->second) return std::nullopt;
  return f->second(arguments);
}

void MiniScriptServer::AddNativeScript(const std::string& name, std::map<std::string, NativeFunction> functions) {
  std::map<std::string, NativeFunction> upper;
  for (auto& [fn, call] : functions) upper[Upper(fn)] = std::move(call);
  scripts_[Upper(name)] = std::move(upper);
}

void MiniScriptServer::RemoveScript(const std::string& name) { scripts_.erase(Upper(name)); }

}  // namespace kdp::minihost
