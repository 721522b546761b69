// The script server: the sample's "HQFormat" functions computed from an item's values, and the sandbox's
// bounds (instructions, memory, what a script may reach), each failure answering null and logged once.
#include "script/script_server.h"

#include <gtest/gtest.h>

#include "kdp/rtd/rtd_item.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::TestHost;

TEST(ScriptServerTest, SampleScriptFieldsComputeFromTheItemsValues) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());  // creates the server; the format manager loads "HQFormat" into it
  ASSERT_NE(G_GetScriptServer(), nullptr);
  EXPECT_TRUE(G_GetScriptServer()->HasScript("hqformat"));
  auto cache = CreateRTDCache();
  auto item = cache->AddRTDItem("600000.SH", h->Securities().GetSecurity("600000.SH"));
  TSpeedQuoteData quote;
  quote.FKoraCode = "600000.SH";
  // NewPrice, PreClose, High, Low, Volume, AvgPrice, FloatShares
  for (const auto& [id, value] : std::initializer_list<std::pair<std::uint32_t, double>>{
           {3, 10.40}, {4, 10.00}, {6, 10.50}, {7, 10.20}, {8, 2.5e6}, {16, 10.32}, {20, 5.0e7}}) {
    quote.FItemArray.push_back(id);
    quote.FValueArray.emplace_back(std::in_place_type<double>, value);
  }
  item->SetRealTimeData(quote);
  struct Case {
    const char* column;
    double expected;
  };
  for (const Case& c : {Case{"ScriptAmplitude", 3.0},  // (10.50 - 10.20) / 10.00 * 100
                        Case{"ScriptTurnover", 5.0},   // 2,500,000 / 50,000,000 * 100
                        Case{"AvgDeviation", 0.08 / 10.32 * 100}}) {
    SCOPED_TRACE(c.column);
    EXPECT_FALSE(item->IsNullByName(c.column));
    EXPECT_NEAR(item->GetDoubleDataByName(c.column), c.expected, 1e-9);
  }
}

TEST(ScriptServerTest, FailuresAnswerNullAreLoggedOncePerFunctionAndLeaveTheScriptUsable) {
  TestHost h;
  TKrScriptServer server;
  std::string error;
  const std::string source = R"lua(
    function Spin() while true do end end
    function CaughtSpin() while true do pcall(function() while true do end end) end end
    function Huge() return #string.rep("x", 64 * 1024 * 1024) end
    function Doubling() local s = "x" while true do s = s .. s end end
    function Raise() error("no quote") end
    function Reach() return io.open("/etc/passwd") end
    function Pattern() return string.find("aaa", "a") end
    function Twice(x) return 2 * x end
  )lua";
  ASSERT_TRUE(server.LoadScript("Bounds", source, error)) << error;

  struct Case {
    const char* function;
    const char* logged;
  };
  for (const Case& c :
       {Case{"Spin", "instruction budget of 1000000 exceeded"},
        Case{"CaughtSpin", "instruction budget of 1000000 exceeded"},
        Case{"Huge", "memory cap of 8388608 bytes exceeded"}, Case{"Doubling", "memory cap of 8388608 bytes exceeded"},
        Case{"Raise", "Bounds:6: no quote"}, Case{"Reach", "Bounds:7: attempt to index a nil value (global 'io')"},
        Case{"Pattern", "Bounds:8: attempt to call a nil value (field 'find')"}}) {
    SCOPED_TRACE(c.function);
    const std::string line = std::string("script Bounds function ") + c.function + " failed: ";
    EXPECT_EQ(server.CallFunction("Bounds", c.function, {}), std::nullopt);
    EXPECT_EQ(server.CallFunction("Bounds", c.function, {}), std::nullopt);
    EXPECT_EQ(h->Logger().CountContaining(line), 1u);
    EXPECT_TRUE(h->Logger().Contains(line + c.logged));
    EXPECT_EQ(server.CallFunction("bounds", "Twice", {21}), "42");
  }
  EXPECT_EQ(server.CallFunction("Bounds", "Twice", {0.25}), "0.5");
  EXPECT_EQ(server.CallFunction("Bounds", "Absent", {1}), std::nullopt);
  EXPECT_EQ(server.CallFunction("Other", "Twice", {1}), std::nullopt);
}

TEST(ScriptServerTest, ScriptsThatDoNotLoadLeaveTheEarlierOne) {
  TKrScriptServer server;
  std::string error;
  struct Case {
    const char* source;
    const char* error;
  };
  for (const Case& c : {Case{"function F( return 1 end", "HQFormat:1: <name> or '...' expected near 'return'"},
                        Case{"while true do end", "instruction budget of 1000000 exceeded"},
                        Case{"\x1bLua", "attempt to load a binary chunk (mode is 't')"},
                        Case{"x = string.rep('y', 1 << 30)", "memory cap of 8388608 bytes exceeded"}}) {
    SCOPED_TRACE(c.source);
    EXPECT_FALSE(server.LoadScript("HQFormat", c.source, error));
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(server.HasScript("HQFormat"));
    EXPECT_EQ(server.CallFunction("HQFormat", "F", {}), std::nullopt);
  }
  ASSERT_TRUE(server.LoadScript("HQFormat", "function F() return 'one' end", error));
  EXPECT_FALSE(server.LoadScript("HQFormat", "function F() return", error));
  EXPECT_EQ(server.CallFunction("HQFormat", "F", {}), "one");
}

}  // namespace
}  // namespace kdp
