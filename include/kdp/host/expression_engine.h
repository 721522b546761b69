// The host's expression engine: arithmetic expressions over named variables. The engine parses a text,
// lists the variables it names, lets them be set, runs the expression and hands the result back.
//
// Grammar (the engine's): an optional result variable and "=", then an expression:
//   "Amplitude = (High - Low) / PreClose * 100"      or      "(High - Low) / PreClose * 100"
// Variable 0 is always the result variable ("Result" when the text names none); variables 1, 2, ... are
// the other names of the expression in order of first appearance. Numbers use "." whatever the locale;
// the usual operators, comparisons, "a ? b : c" and functions such as abs, min, max, sqrt, ln are known.
//
// The package uses the C-style functions below (cexp_create ... cexp_free). They reach the engine that
// the host publishes in its service provider (IKrExpressionEngine). A handle is used by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "kdp/host/interface.h"

namespace kdp::host {

// One expression inside the engine. Implemented by the host.
class ICExpression {
 public:
  virtual ~ICExpression() = default;
  // Parses `text` and discovers its variables; false (reason in `error`) on a syntax error.
  virtual bool Parse(std::string_view text, std::string& error) = 0;
  // Prepares the parsed expression to run; false (reason in `error`) when it cannot.
  virtual bool GenCode(std::string& error) = 0;
  virtual int VarCount() const = 0;
  // The name of variable `index`; "" out of range.
  virtual std::string VarName(int index) const = 0;
  // False for an index out of range.
  virtual bool SetVar(int index, double value) = 0;
  // The value of variable `index` (0 out of range).
  virtual double GetVar(int index) const = 0;
  // Runs the expression and stores the result in variable 0. False when nothing is ready to run.
  // REQUIRES: Parse succeeded. Throws std::runtime_error when the engine fails while running.
  virtual bool Exec() = 0;
};

class IKrExpressionEngine : public virtual IInterface {
 public:
  static constexpr Guid IID = "A8A98113-DBED-4BF1-A9BE-C43A24E19C9F";
  virtual std::unique_ptr<ICExpression> CreateExpression() = 0;
};

// ---- the C-style access the package uses ----

struct CExpHandle;
using cexp_handle = CExpHandle*;

// A new expression of the host's engine; nullptr when the host has none. Release with cexp_free.
cexp_handle cexp_create();
// 0 when the text parsed; nonzero otherwise (the reason is logged when detailed logging is on).
int cexp_parser(cexp_handle handle, std::string_view text);
// 0 when the parsed expression is ready to run.
int cexp_gencode(cexp_handle handle);
int cexp_getvarcount(cexp_handle handle);
std::string cexp_getvarname(cexp_handle handle, int index);
// 0 when the variable exists and was set.
int cexp_setvar(cexp_handle handle, int index, double value);
// 0 on success (the result is variable 0). Engine failures while running propagate as exceptions.
int cexp_exec(cexp_handle handle);
double cexp_getvar(cexp_handle handle, int index);
// Accepts nullptr.
void cexp_free(cexp_handle handle);

}  // namespace kdp::host
