// The C-style access to the host's expression engine: a handle owns one engine expression.
#include <stdexcept>

#include "kdp/host/expression_engine.h"
#include "kdp/host/log.h"
#include "kdp/host/services.h"

namespace kdp::host {

struct CExpHandle {
  std::unique_ptr<ICExpression> expression;
  bool parsed = false;
};

namespace {

constexpr std::string_view kLogSource = "cexp";

void LogFailure(std::string_view what, std::string_view text, const std::string& error) {
  if (IsNeedWriteHQLog()) {
    AddHQLog(std::string(what) + " \"" + std::string(text) + "\": " + error, kLogSource, host::LogSeverity::kNotice);
  }
}

}  // namespace

cexp_handle cexp_create() {
  auto engine = KrIntfService<IKrExpressionEngine>();
  if (!engine) return nullptr;
  auto expression = engine->CreateExpression();
  if (!expression) return nullptr;
  return new CExpHandle{std::move(expression), false};
}

int cexp_parser(cexp_handle handle, std::string_view text) {
  if (handle == nullptr) return -1;
  std::string error;
  handle->parsed = handle->expression->Parse(text, error);
  if (!handle->parsed) LogFailure("cexp_parser", text, error);
  return handle->parsed ? 0 : 1;
}

int cexp_gencode(cexp_handle handle) {
  if (handle == nullptr || !handle->parsed) return -1;
  std::string error;
  if (handle->expression->GenCode(error)) return 0;
  LogFailure("cexp_gencode", {}, error);
  return 1;
}

int cexp_getvarcount(cexp_handle handle) {
  return handle != nullptr && handle->parsed ? handle->expression->VarCount() : 0;
}

std::string cexp_getvarname(cexp_handle handle, int index) {
  return handle != nullptr && handle->parsed ? handle->expression->VarName(index) : std::string();
}

int cexp_setvar(cexp_handle handle, int index, double value) {
  if (handle == nullptr || !handle->parsed) return -1;
  return handle->expression->SetVar(index, value) ? 0 : 1;
}

int cexp_exec(cexp_handle handle) {
  if (handle == nullptr || !handle->parsed) return -1;
  return handle->expression->Exec() ? 0 : 1;
}

double cexp_getvar(cexp_handle handle, int index) {
  return handle != nullptr ? handle->expression->GetVar(index) : 0.0;
}

void cexp_free(cexp_handle handle) { delete handle; }

}  // namespace kdp::host
