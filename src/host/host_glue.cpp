// The host API's free functions: each forwards to the installed host environment and answers a safe
// default (nullptr, empty, false) when no host is installed.
#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "kdp/host/host_environment.h"
#include "kdp/host/log.h"
#include "kdp/host/main_loop.h"
#include "kdp/host/paths.h"
#include "kdp/host/security.h"
#include "kdp/host/services.h"

namespace kdp::host {
namespace {

std::atomic<IHostEnvironment*> g_environment{nullptr};

// Makes sure a directory exists; logging, not failing, when it cannot be created.
std::string EnsureDirectory(std::string path) {
  if (path.empty()) return path;
  if (path.back() != '/') path.push_back('/');
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) AddHQLog("cannot create directory " + path + ": " + ec.message(), "HostPaths", host::LogSeverity::kError);
  return path;
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace

void InstallHostEnvironment(IHostEnvironment* environment) { g_environment.store(environment); }
IHostEnvironment* InstalledHostEnvironment() { return g_environment.load(); }

std::shared_ptr<IKrServiceProvider> KrIntfService() {
  auto* env = g_environment.load();
  return env ? env->ServiceProvider() : nullptr;
}

std::shared_ptr<IKrContext> GetHQContext() { return KrIntfService<IKrContext>(); }

std::uint64_t GetSecuritiesRevision() {
  auto* env = g_environment.load();
  return env ? env->SecuritiesRevision() : 0;
}

std::string GetServerAddressByNameWithHttpPrefix(std::string_view name) {
  auto context = GetHQContext();
  if (!context) return {};
  std::string address = context->GetServerAddressByName(name);
  if (address.empty() || address.starts_with("http://") || address.starts_with("https://")) return address;
  return "http://" + address;
}

InterfacePtr QueryServiceIntf(const Guid& iid) {
  auto* env = g_environment.load();
  return env ? env->QueryRegisteredService(iid) : nullptr;
}

void AddHQLog(std::string_view message, std::string_view source, int level) {
  auto* env = g_environment.load();
  if (env == nullptr) return;
  try {
    env->Log(message, source, level);
  } catch (...) {
    // Logging never fails toward the caller.
  }
}

bool IsNeedWriteHQLog() {
  auto* env = g_environment.load();
  return env != nullptr && env->IsDetailedLogOn();
}

void FreeHQLog() {
  if (auto* env = g_environment.load()) env->FlushLog();
}

std::string GetEtcPath() {
  auto* env = g_environment.load();
  return env ? WithSlash(env->Paths().etc) : std::string();
}

std::string GetUserPath(std::string_view sub) {
  auto* env = g_environment.load();
  if (env == nullptr) return {};
  std::string path = WithSlash(env->Paths().user);
  path += ToNativePath(sub);
  return EnsureDirectory(path);
}

std::string GetBinPath() {
  auto* env = g_environment.load();
  return env ? WithSlash(env->Paths().bin) : std::string();
}

std::string GetTmpPath() {
  auto* env = g_environment.load();
  return env ? EnsureDirectory(env->Paths().tmp) : std::string();
}

std::string GetLogPath() {
  auto* env = g_environment.load();
  return env ? EnsureDirectory(env->Paths().log) : std::string();
}

std::string ToNativePath(std::string_view configurationPath) {
  std::string path(configurationPath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

IMainLoop& MainLoop() {
  auto* env = g_environment.load();
  if (env == nullptr) throw std::logic_error("MainLoop: no host environment installed");
  return env->Loop();
}

bool IsMainThread() {
  auto* env = g_environment.load();
  return env == nullptr || env->Loop().IsMainThread();
}

}  // namespace kdp::host
