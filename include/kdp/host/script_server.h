// The host's script server: named scripts whose functions the package calls with numbers and whose
// answers come back as text. The package's computed fields of the "script{...}" form call functions of
// the script "HQFormat" here.
//
// Published by the host in its service provider (IKrScriptServer, found through KrIntfService). A host
// without a script engine answers HasScript with false, so every script call of the package fails.
// Main thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kdp/host/interface.h"

namespace kdp::host {

class IKrScriptServer : public virtual IInterface {
 public:
  static constexpr Guid IID = "89ADCD3B-3171-4567-8D76-1FD1B6E01B7F";
  // Compiles `source` as the script `name`, replacing a script of that name. False (reason in `error`)
  // when the host cannot compile it.
  virtual bool LoadScript(const std::string& name, const std::string& source, std::string& error) = 0;
  virtual bool HasScript(const std::string& name) = 0;
  // Calls `function` of `script` with `arguments`. nullopt (a null answer) when the script or the function
  // is unknown or the call failed.
  virtual std::optional<std::string> CallFunction(const std::string& script, const std::string& function,
                                                  const std::vector<double>& arguments) = 0;
};

}  // namespace kdp::host
