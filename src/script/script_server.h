// TKrScriptServer: the package's script server. It holds named scripts written in Lua 5.4 whose global
// functions the computed fields of the "script{...}" form call with numbers (the script "HQFormat", loaded
// from the format columns). One server per process, created by the module start steps before the
// registration routine and freed by the stop steps.
//
// Every script runs in a sandbox of its own (one Lua state per script):
// - libraries: the base functions without those that reach files or compile bytecode (dofile, loadfile,
//   load, require, print, collectgarbage), and table, math, utf8 and string without its pattern functions
//   (find, match, gmatch, gsub, whose backtracking runs inside one C call the instruction count cannot
//   stop) and without dump; no io, os, package, debug or coroutine;
// - an instruction budget per call (running the script's chunk at load is a call too): past it every
//   further instruction raises an error, so neither a loop nor a pcall around one keeps the call alive;
// - a memory cap per script, kept by the state's allocator: an allocation past it fails, which Lua raises
//   as a memory error.
// A call that fails (an error, the budget, the cap) answers null like a function that returns nil; the
// first failure of each function of a script is logged.
//
// Main thread only: the scripts run on the caller's thread and are not locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kdp {

struct TScriptLimits {
  std::int64_t instructions = 1'000'000;  // Lua VM instructions a call may run
  std::size_t memoryBytes = 8u << 20;     // bytes a script's state may hold
};

class TKrScriptServer {
 public:
  explicit TKrScriptServer(TScriptLimits limits = {});
  ~TKrScriptServer();
  TKrScriptServer(const TKrScriptServer&) = delete;
  TKrScriptServer& operator=(const TKrScriptServer&) = delete;

  // Compiles `source` (Lua text; bytecode is refused) as the script `name` and runs its chunk, which
  // defines the functions; the new script replaces one of that name. False, with the reason in `error`,
  // when it does not compile or its chunk fails; an earlier script of that name then stays.
  bool LoadScript(const std::string& name, const std::string& source, std::string& error);
  // Script names compare without regard to case.
  bool HasScript(const std::string& name) const;
  // Calls the global `function` (exact name) of `script` with `arguments`. The answer as text: a number in
  // the terminal's shortest float text, a string as it is, a boolean as "1" or "0". nullopt (a null
  // answer) when the script or function is unknown, the function returns nil or another type, or the call
  // fails.
  std::optional<std::string> CallFunction(const std::string& script, const std::string& function,
                                          const std::vector<double>& arguments);

 private:
  class Script;

  TScriptLimits FLimits;
  std::map<std::string, std::unique_ptr<Script>> FScripts;  // by upper-case name
  std::set<std::string> FLoggedFailures;                    // "SCRIPT.function" once logged
};

// The process's script server; nullptr before the start steps created it and after the stop steps.
TKrScriptServer* G_GetScriptServer();
void CreateScriptServer();
void FreeScriptServer();

}  // namespace kdp
