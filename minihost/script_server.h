// MiniScriptServer: the stand-in host's script server. The stand-in host has no script engine: it starts
// with no scripts and refuses script sources, so every script call fails. Tests may add native scripts
// (named sets of C++ functions) to exercise callers. Main thread only.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kdp/host/script_server.h"

namespace kdp::minihost {

class MiniScriptServer final : public host::Implements<host::IKrScriptServer> {
 public:
  using NativeFunction = std::function<std::optional<std::string>(const std::vector<double>&)>;

  bool LoadScript(const std::string& name, const std::string& source, std::string& error) override;
  bool HasScript(const std::string& name) override;
  std::optional<std::string> CallFunction(const std::string& script, const std::string& function,
                                          const std::vector<double>& arguments) override;

  // Adds (or replaces) a script made of native functions; function names compare case-insensitively.
  void AddNativeScript(const std::string& name, std::map<std::string, NativeFunction> functions);
  void RemoveScript(const std::string& name);

 private:
  std::map<std::string, std::map<std::string, NativeFunction>> scripts_;  // upper-case names
};

}  // namespace kdp::minihost
