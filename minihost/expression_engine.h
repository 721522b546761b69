// MiniExpressionEngine: the stand-in host's expression engine, over muparser. Unknown names in an
// expression become its variables (muparser's variable factory), listed in order of first appearance
// after the result variable; see kdp/host/expression_engine.h for the grammar.
//
// Each expression owns its parser and variable storage; expressions are independent and each is used by
// one thread at a time.
#pragma once

#include <memory>

#include "kdp/host/expression_engine.h"

namespace kdp::minihost {

class MiniExpressionEngine final : public host::Implements<host::IKrExpressionEngine> {
 public:
  std::unique_ptr<host::ICExpression> CreateExpression() override;
};

}  // namespace kdp::minihost
