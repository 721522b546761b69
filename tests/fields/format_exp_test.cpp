// Format expressions: plain expressions on the host's engine, script expressions on the package's script
// server, the second-guide and placeholder helpers, and engine failures surfacing as "Exec error.".
#include "fields/format_exp.h"

#include <clocale>
#include <cmath>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "script/script_server.h"
#include "test_host.h"

namespace kdp {
namespace {

using ::testing::ElementsAre;
using testing::TestHost;

std::vector<std::string> Names(const TKrHQFormatExp& e) {
  std::vector<std::string> names;
  for (int i = 0; i < e.GetVarCount(); ++i) names.push_back(e.GetVarName(i));
  return names;
}

TEST(FormatExpTest, PlainExpressionListsResultFirstThenFieldsAndRuns) {
  TestHost h;
  TKrHQFormatExp e;
  ASSERT_TRUE(e.ParserHQExp("  Amp = (High - Low) / PreClose * 100 "));
  EXPECT_FALSE(e.IsScriptExp());
  EXPECT_THAT(Names(e), ElementsAre("Amp", "High", "Low", "PreClose"));
  EXPECT_EQ(e.GetVarIndex("preclose"), 3);
  EXPECT_EQ(e.GetVarIndex("Open"), -1);
  e.SetVarValue(1, 10.5);
  e.SetVarValue(2, 9.5);
  e.SetVarValue(3, 10.0);
  e.SetVarValue(7, 1.0);  // no such variable: ignored
  ASSERT_TRUE(e.Exec());
  EXPECT_DOUBLE_EQ(e.ResultValue(), 10.0);
  EXPECT_DOUBLE_EQ(e.GetVarValue("HIGH"), 10.5);
  EXPECT_DOUBLE_EQ(e.GetVarValue("Open"), 0.0);

  // Without an assignment the result variable is "Result"; a name used twice is one variable.
  ASSERT_TRUE(e.ParserHQExp("NewPrice - PreClose + NewPrice"));
  EXPECT_THAT(Names(e), ElementsAre("Result", "NewPrice", "PreClose"));
  e.SetVarValue(1, 3);
  e.SetVarValue(2, 1);
  ASSERT_TRUE(e.Exec());
  EXPECT_DOUBLE_EQ(e.ResultValue(), 5.0);

  // Division by zero is a value (infinite), not a failure.
  ASSERT_TRUE(e.ParserHQExp("x = a / b"));
  e.SetVarValue(1, 1);
  ASSERT_TRUE(e.Exec());
  EXPECT_TRUE(std::isinf(e.ResultValue()));
}

TEST(FormatExpTest, NumbersInExpressionsUseAPointWhateverTheLocale) {
  TestHost h;
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the de_DE.UTF-8 locale is missing";
  TKrHQFormatExp e;
  const bool parsed = e.ParserHQExp("y = x * 1.5");
  e.SetVarValue(1, 2);
  const bool ran = parsed && e.Exec();
  std::setlocale(LC_ALL, previous.c_str());
  ASSERT_TRUE(ran);
  EXPECT_DOUBLE_EQ(e.ResultValue(), 3.0);
}

TEST(FormatExpTest, ParseFailuresLeaveNothingToSetOrRun) {
  TKrHQFormatExp bare;  // before any host: no engine, nothing parses
  EXPECT_FALSE(bare.ParserHQExp("x = a + b"));
  EXPECT_FALSE(bare.Exec());

  TestHost h;
  TKrHQFormatExp e;
  for (const char* text :
       {"", "   ", "(a + ", "a +* b", "1bad = a", "x = ", "sin(", "script{Result FN(a)}", "script{ = }"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(e.ParserHQExp(text));
    EXPECT_FALSE(e.IsParserSucceed());
    e.SetVarValue(0, 1.0);
    EXPECT_DOUBLE_EQ(e.GetVarValue(e.GetVarName(0)), 0.0);
    EXPECT_FALSE(e.Exec());
  }
  // A failed parse also clears what an earlier one left.
  ASSERT_TRUE(e.ParserHQExp("x = a + b"));
  e.SetVarValue(1, 5);
  EXPECT_FALSE(e.ParserHQExp("x = (a"));
  EXPECT_EQ(e.GetVarCount(), 0);
  EXPECT_DOUBLE_EQ(e.GetVarValue("a"), 0.0);
}

TEST(FormatExpTest, ScriptExpressionsCallTheHQFormatScript) {
  TestHost h;
  TKrHQFormatExp e;
  ASSERT_TRUE(e.ParserHQExp("script{ {$Premium} = CalcPremium({$NewPrice},  {$Ref_NewPrice} ) }"));
  EXPECT_TRUE(e.IsScriptExp());
  EXPECT_EQ(e.GetFuncName(), "CalcPremium");
  EXPECT_THAT(Names(e), ElementsAre("Premium", "NewPrice", "Ref_NewPrice"));
  e.SetVarValue(1, 110.0);
  e.SetVarValue(2, 10.0);

  EXPECT_FALSE(e.Exec());  // no script server before the package starts
  CreateScriptServer();
  EXPECT_FALSE(e.Exec());  // no script "HQFormat" yet

  const std::string script = R"lua(
    function CalcPremium(price, reference) return price / reference end
    function Null(a) return nil end
    function Text() return "n/a" end
  )lua";
  std::string error;
  ASSERT_TRUE(G_GetScriptServer()->LoadScript("HQFormat", script, error)) << error;
  ASSERT_TRUE(e.Exec());
  EXPECT_DOUBLE_EQ(e.ResultValue(), 11.0);  // 110 / 10: the arguments in their order

  ASSERT_TRUE(e.ParserHQExp("script{r = Null(a)}"));
  EXPECT_FALSE(e.Exec());  // a null answer fails
  ASSERT_TRUE(e.ParserHQExp("script{r = Text()}"));
  EXPECT_EQ(e.GetVarCount(), 1);  // no arguments
  ASSERT_TRUE(e.Exec());
  EXPECT_DOUBLE_EQ(e.ResultValue(), 0.0);  // an unreadable answer reads as 0
  ASSERT_TRUE(e.ParserHQExp("script{r = Missing(a, b)}"));
  EXPECT_FALSE(e.Exec());  // the script has no such function
}

// An engine whose expressions fail while running.
class FailingExpression final : public host::ICExpression {
 public:
  bool Parse(std::string_view, std::string&) override { return true; }
  bool GenCode(std::string&) override { return true; }
  int VarCount() const override { return 1; }
  std::string VarName(int index) const override { return index == 0 ? "Result" : ""; }
  bool SetVar(int, double) override { return true; }
  double GetVar(int) const override { return 0; }
  bool Exec() override { throw std::runtime_error("stack overflow"); }
};
class FailingEngine final : public host::Implements<host::IKrExpressionEngine> {
 public:
  std::unique_ptr<host::ICExpression> CreateExpression() override { return std::make_unique<FailingExpression>(); }
};

TEST(FormatExpTest, EngineFailureWhileRunningRaisesExecError) {
  TestHost h;
  h->Provider().Add(host::IKrExpressionEngine::IID, std::make_shared<FailingEngine>());
  TKrHQFormatExp e;
  ASSERT_TRUE(e.ParserHQExp("1 + 1"));
  try {
    e.Exec();
    FAIL() << "Exec should have raised";
  } catch (const EHQExpExecError& error) {
    EXPECT_STREQ(error.what(), "Exec error.");
  }
}

TEST(FormatExpTest, SecondGuideAndPlaceholderHelpers) {
  struct Case {
    const char* name;
    bool second;
    const char* trimmed;
  };
  for (const Case& c :
       {Case{"Ref_NewPrice", true, "NewPrice"}, Case{"REF_high", true, "high"}, Case{"Ref_", false, "Ref_"},
        Case{"NewPrice", false, "NewPrice"}, Case{"Refund", false, "Refund"}, Case{"", false, ""}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsSecondGuide(c.name), c.second);
    EXPECT_EQ(TrimSecondGuide(c.name), c.trimmed);
  }
  EXPECT_EQ(ParseText("{$ZERO}"), "ZERO");
  EXPECT_EQ(ParseText("x{$PreClose}y"), "PreClose");
  EXPECT_EQ(ParseText("{$open"), "");
  EXPECT_EQ(ParseText("PreClose"), "");
}

}  // namespace
}  // namespace kdp
