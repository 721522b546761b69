#include "expression_engine.h"

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include <muParser.h>

namespace kdp::minihost {
namespace {

constexpr const char* kDefaultResultName = "Result";

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// The position of an assignment "=" (not part of "==", "<=", ">=" or "!="), or npos.
std::size_t FindAssignment(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') continue;
    const char before = i > 0 ? text[i - 1] : '\0';
    const char after = i + 1 < text.size() ? text[i + 1] : '\0';
    if (before == '<' || before == '>' || before == '!' || before == '=' || after == '=') {
      ++i;  // skip the comparison operator's second character
      continue;
    }
    return i;
  }
  return std::string_view::npos;
}

bool IsValidName(std::string_view name) {
  if (name.empty() || !IsNameStart(name.front())) return false;
  for (char c : name) {
    if (!IsNameChar(c)) return false;
  }
  return true;
}

class MuExpression final : public host::ICExpression {
 public:
  bool Parse(std::string_view text, std::string& error) override {
    Reset();
    parser_ = std::make_unique<mu::Parser>();  // a fresh one: muparser keeps the variables it defined
    std::string_view expression = text;
    std::string result = kDefaultResultName;
    if (const std::size_t eq = FindAssignment(text); eq != std::string_view::npos) {
      const std::string_view left = TrimBlanks(text.substr(0, eq));
      if (!IsValidName(left)) {
        error = "the result variable \"" + std::string(left) + "\" is not a name";
        return false;
      }
      result = std::string(left);
      expression = text.substr(eq + 1);
    }
    names_.push_back(result);
    values_.push_back(0.0);
    try {
      parser_->DefineVar(result, &values_.front());
      parser_->SetVarFactory(&MuExpression::Create, this);
      parser_->SetExpr(std::string(expression));
      parser_->GetUsedVar();  // parses now; the factory records the names in order
    } catch (const mu::Parser::exception_type& e) {
      error = e.GetMsg();
      Reset();
      return false;
    }
    parsed_ = true;
    return true;
  }

  bool GenCode(std::string& error) override {
    if (!parsed_) {
      error = "nothing parsed";
      return false;
    }
    return true;  // muparser compiles to byte code on the first evaluation
  }

  int VarCount() const override { return static_cast<int>(names_.size()); }

  std::string VarName(int index) const override {
    return InRange(index) ? names_[static_cast<std::size_t>(index)] : std::string();
  }

  bool SetVar(int index, double value) override {
    if (!InRange(index)) return false;
    values_[static_cast<std::size_t>(index)] = value;
    return true;
  }

  double GetVar(int index) const override { return InRange(index) ? values_[static_cast<std::size_t>(index)] : 0.0; }

  bool Exec() override {
    if (!parsed_) return false;
    try {
      values_.front() = parser_->Eval();
    } catch (const mu::Parser::exception_type& e) {
      throw std::runtime_error(e.GetMsg());
    }
    return true;
  }

 private:
  static double* Create(const char* name, void* self) {
    auto* me = static_cast<MuExpression*>(self);
    me->names_.emplace_back(name);
    me->values_.push_back(0.0);
    return &me->values_.back();
  }

  // Drops the parsed expression; a parser is built only by the next Parse (building one costs more than
  // parsing a short expression).
  void Reset() {
    parser_.reset();
    names_.clear();
    values_.clear();
    parsed_ = false;
  }

  bool InRange(int index) const { return index >= 0 && static_cast<std::size_t>(index) < names_.size(); }

  std::unique_ptr<mu::Parser> parser_;  // built by Parse
  std::vector<std::string> names_;
  std::deque<double> values_;  // a deque keeps the addresses muparser holds stable
  bool parsed_ = false;
};

}  // namespace

std::unique_ptr<host::ICExpression> MiniExpressionEngine::CreateExpression() {
  return std::make_unique<MuExpression>();
}

}  // namespace kdp::minihost
