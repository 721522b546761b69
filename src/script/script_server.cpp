#include "script/script_server.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

#include <fmt/format.h>
#include <lua.hpp>

#include "kdp/host/log.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrScriptServer";

std::unique_ptr<TKrScriptServer> g_ScriptServer;

// What a state's allocator and its count hook keep; the state's allocator data. Errors of Lua unwind
// through the hook and the allocator with longjmp, so neither holds anything that needs destroying.
struct TScriptBudget {
  std::size_t used = 0;
  std::size_t cap = 0;
  bool instructionsSpent = false;  // the present call ran out of instructions
};

void* Allocate(void* data, void* block, std::size_t oldSize, std::size_t newSize) {
  auto& budget = *static_cast<TScriptBudget*>(data);
  const std::size_t held = block != nullptr ? oldSize : 0;  // without a block, oldSize tells the object kind
  if (newSize == 0) {
    std::free(block);
    budget.used -= held;
    return nullptr;
  }
  if (newSize > held && newSize - held > budget.cap - budget.used) return nullptr;
  void* moved = std::realloc(block, newSize);
  if (moved != nullptr) budget.used = budget.used - held + newSize;
  return moved;
}

TScriptBudget& BudgetOf(lua_State* state) {
  void* data = nullptr;
  lua_getallocf(state, &data);
  return *static_cast<TScriptBudget*>(data);
}

// Runs when a call has spent its instructions: from then on every instruction raises, so a script that
// catches the error with pcall cannot go on.
void SpentHook(lua_State* state, lua_Debug*) {
  BudgetOf(state).instructionsSpent = true;
  lua_sethook(state, SpentHook, LUA_MASKCOUNT, 1);
  luaL_error(state, "instruction budget exceeded");
}

// Opens the sandbox's libraries (in protected mode: opening allocates).
int OpenSandbox(lua_State* state) {
  static constexpr luaL_Reg kLibraries[] = {{LUA_GNAME, luaopen_base},
                                            {LUA_TABLIBNAME, luaopen_table},
                                            {LUA_STRLIBNAME, luaopen_string},
                                            {LUA_MATHLIBNAME, luaopen_math},
                                            {LUA_UTF8LIBNAME, luaopen_utf8}};
  for (const luaL_Reg& library : kLibraries) {
    luaL_requiref(state, library.name, library.func, 1);
    lua_pop(state, 1);
  }
  for (const char* name : {"dofile", "loadfile", "load", "require", "print", "collectgarbage"}) {
    lua_pushnil(state);
    lua_setglobal(state, name);
  }
  lua_getglobal(state, LUA_STRLIBNAME);  // also the strings' metatable index
  for (const char* name : {"find", "match", "gmatch", "gsub", "dump"}) {
    lua_pushnil(state);
    lua_setfield(state, -2, name);
  }
  lua_pop(state, 1);
  return 0;
}

// The function call, in protected mode (pushing allocates): the light user data at 1 is the request.
struct TCallRequest {
  const char* function;
  const std::vector<double>* arguments;
};

int CallGlobal(lua_State* state) {
  const auto& request = *static_cast<const TCallRequest*>(lua_touserdata(state, 1));
  lua_settop(state, 0);
  if (lua_getglobal(state, request.function) != LUA_TFUNCTION) return 0;
  const int count = static_cast<int>(request.arguments->size());
  luaL_checkstack(state, count, "too many arguments");
  for (const double argument : *request.arguments) lua_pushnumber(state, argument);
  lua_call(state, count, 1);
  return 1;
}

}  // namespace

// One script: its Lua state with the budget its allocator and hook keep.
class TKrScriptServer::Script {
 public:
  explicit Script(const TScriptLimits& limits) : FLimits(limits) {
    FBudget.cap = limits.memoryBytes;
    FState = lua_newstate(Allocate, &FBudget);
  }
  ~Script() {
    if (FState == nullptr) return;
    Arm();  // finalisers the script set run at close, within a budget too
    lua_close(FState);
  }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  lua_State* State() const { return FState; }

  // lua_pcall within the budget; the error, if any, is left on the stack.
  int Run(int arguments, int results) {
    Arm();
    const int status = lua_pcall(FState, arguments, results, 0);
    lua_sethook(FState, nullptr, 0, 0);
    return status;
  }

  // Why the last Run failed.
  std::string Failure(int status) const {
    if (FBudget.instructionsSpent) return fmt::format("instruction budget of {} exceeded", FLimits.instructions);
    if (status == LUA_ERRMEM) return fmt::format("memory cap of {} bytes exceeded", FLimits.memoryBytes);
    const char* message = lua_tostring(FState, -1);
    return message != nullptr ? message : "an error that is not a text";
  }

  // After a failure: the error and whatever the call left go, and so does its garbage.
  void Recover() {
    lua_settop(FState, 0);
    Arm();
    lua_gc(FState, LUA_GCCOLLECT);
    lua_sethook(FState, nullptr, 0, 0);
  }

 private:
  void Arm() {
    FBudget.instructionsSpent = false;
    lua_sethook(FState, SpentHook, LUA_MASKCOUNT, static_cast<int>(FLimits.instructions));
  }

  TScriptLimits FLimits;
  TScriptBudget FBudget;  // before FState: the state's allocator uses it until lua_close
  lua_State* FState = nullptr;
};

TKrScriptServer::TKrScriptServer(TScriptLimits limits) : FLimits(limits) {}

TKrScriptServer::~TKrScriptServer() = default;

bool TKrScriptServer::LoadScript(const std::string& name, const std::string& source, std::string& error) {
  auto script = std::make_unique<Script>(FLimits);
  lua_State* state = script->State();
  if (state == nullptr) {
    error = "no memory for the script's state";
    return false;
  }
  lua_pushcfunction(state, OpenSandbox);
  int status = script->Run(0, 0);
  if (status == LUA_OK) {
    const std::string chunkName = "=" + name;
    status = luaL_loadbufferx(state, source.data(), source.size(), chunkName.c_str(), "t");
    if (status == LUA_OK) status = script->Run(0, 0);
  }
  if (status != LUA_OK) {
    error = script->Failure(status);
    return false;
  }
  FScripts[ToUpperAscii(name)] = std::move(script);
  return true;
}

bool TKrScriptServer::HasScript(const std::string& name) const { return FScripts.contains(ToUpperAscii(name)); }

std::optional<std::string> TKrScriptServer::CallFunction(const std::string& scriptName, const std::string& function,
                                                         const std::vector<double>& arguments) {
  const auto found = FScripts.find(ToUpperAscii(scriptName));
  if (found == FScripts.end()) return std::nullopt;
  Script& script = *found->second;
  lua_State* state = script.State();
  lua_settop(state, 0);
  TCallRequest request{function.c_str(), &arguments};
  lua_pushcfunction(state, CallGlobal);
  lua_pushlightuserdata(state, &request);
  const int status = script.Run(1, 1);
  if (status != LUA_OK) {
    const std::string key = found->first + "." + function;
    if (FLoggedFailures.insert(key).second) {
      host::AddHQLog(fmt::format("script {} function {} failed: {}", scriptName, function, script.Failure(status)),
                     kLogSource, host::LogSeverity::kWarning);
    }
    script.Recover();
    return std::nullopt;
  }
  std::optional<std::string> answer;
  switch (lua_type(state, -1)) {
    case LUA_TNUMBER:
      if (lua_isinteger(state, -1)) {
        answer = std::to_string(lua_tointeger(state, -1));
      } else if (const double value = lua_tonumber(state, -1); std::isfinite(value)) {
        answer = FloatToText(value);
      }
      break;
    case LUA_TSTRING: {
      std::size_t length = 0;
      const char* text = lua_tolstring(state, -1, &length);
      answer = std::string(text, length);
      break;
    }
    case LUA_TBOOLEAN:
      answer = lua_toboolean(state, -1) ? "1" : "0";
      break;
    default:
      break;
  }
  lua_settop(state, 0);
  return answer;
}

TKrScriptServer* G_GetScriptServer() { return g_ScriptServer.get(); }

void CreateScriptServer() {
  if (!g_ScriptServer) g_ScriptServer = std::make_unique<TKrScriptServer>();
}

void FreeScriptServer() { g_ScriptServer.reset(); }

}  // namespace kdp
