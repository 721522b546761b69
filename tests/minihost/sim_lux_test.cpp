// The stand-in Lux service: how the scenario chooses a news page (conditions, negation, dates, media
// types, paging), a bond reply's code header and an unknown command's empty reply (the package's Lux and
// host tests hold the rest of its reply choice), and the client's own thread: replies by serial number,
// time-outs when a dropped request's time is up, a late connection and the requests it keeps. Topics are
// the package's Lux tests'.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "kdp/host/serializer.h"
#include "lux_scenario.h"
#include "sim_lux.h"

namespace kdp::minihost {
namespace {

using namespace std::chrono_literals;

const std::string kScenarioDir = std::string(KDP_SAMPLE_ETC) + "/../scenario/lux";

const LuxScenario& Scenario() {
  static const LuxScenario scenario = [] {
    LuxScenario s;
    std::string error;
    if (!s.Load(kScenarioDir, error)) throw std::runtime_error(error);
    return s;
  }();
  return scenario;
}

struct Page {
  std::string total;
  std::vector<std::string> ids;
};

Page NewsPage(const std::string& query) {
  pugi::xml_document doc;
  const std::string document = Scenario().NewsPage(query);
  EXPECT_TRUE(doc.load_string(document.c_str())) << document;
  Page page{doc.child("response").child_value("total"), {}};
  for (pugi::xml_node item : doc.child("response").child("result").children("item")) {
    page.ids.push_back(item.child_value("id"));
    EXPECT_FALSE(item.child("mediatype")) << "search fields stay in the archive";
  }
  return page;
}

TEST(LuxScenarioTest, NewsPagesFollowTheQuerysConditionsNewestFirst) {
  struct Case {
    std::string query;
    std::string total;
    std::vector<std::string> ids;
  };
  const std::vector<Case> cases{
      // 600036.SH's four news items, second page of two.
      {"name=getlist&mediatype=01&param_v2=koracode:600036.SH&pagesize=2&pageno=2&returnfields=id,title",
       "4",
       {"N2026120400053", "N2026120300041"}},
      // Two codes of the broker comments, one broker left out.
      {"name=getlist&mediatype=16&param_v2=koracode:600000.SH OR koracode:600519.SH AND (!siteid:HTSC)&pagesize=20",
       "2",
       {"N2026120300029", "N2026120200028"}},
      // The same within a date range.
      {"name=getlist&mediatype=16&param_v2=koracode:600000.SH OR koracode:600519.SH AND (!siteid:HTSC);"
       "date1:[20261203 TO 20261204]&pagesize=20",
       "1",
       {"N2026120300029"}},
      // The scrolling news asks for several media types.
      {"name=getlist&mediatype=01&returnfields=&param_v2=koracode:600036.SH&type=01,16&pagesize=20",
       "5",
       {"N2026120400059", "N2026120400055", "N2026120400053", "N2026120400030", "N2026120300041"}},
      // The live-news service's query; the negative-news class of a code.
      {"calltype=C#&name=livenewsinfo&param=v2002:000002.SZ&pagesize=50&pageno=1", "1", {"N2026120300043"}},
      {"name=getlist&mediatype=01&param_v2=v2025:600000.SH0402&pagesize=20", "1", {"N2026120200040"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const Page page = NewsPage(c.query);
    EXPECT_EQ(page.total, c.total);
    EXPECT_EQ(page.ids, c.ids);
  }
}

// A bond document comes behind the code header (code 0, an empty message); a command word the scenario
// does not hold has no reply.
TEST(LuxScenarioTest, BondRepliesCarryTheCodeHeaderAndUnknownCommandsHaveNone) {
  const LuxScenario& scenario = Scenario();
  const auto bond = scenario.ReplyBody(1306, 3700, "");
  ASSERT_TRUE(bond);
  host::MemoryStream coded(*bond);
  host::TStreamSerializer reader(coded);
  std::uint32_t code = 1;
  std::string message = "x";
  ASSERT_TRUE(reader.ReadLongWord(code) && reader.ReadAnsiString(message));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(message, "");
  EXPECT_EQ(bond->substr(8).front(), '{');
  EXPECT_EQ(scenario.ReplyBody(1005, 999, ""), std::nullopt);
  EXPECT_EQ(scenario.Pushes().size(), 8u);
}

// A client on a manual clock whose handler records what it receives.
class SimLuxClientTest : public ::testing::Test {
 protected:
  SimLuxClientTest() {
    options.scenario = std::shared_ptr<const LuxScenario>(&Scenario(), [](const LuxScenario*) {});
    options.clock = clock;
    options.serverTime = [] { return host::DateTime::FromParts(2026, 12, 4, 10, 30, 0); };
    options.latency = 0ms;
    options.poll = 1ms;
  }
  void Make() {
    client = std::make_shared<SimLuxClient>(options);
    client->SetOnMessageNotify([this](host::IBaseLuxClient*, const std::shared_ptr<host::TBaseLuxMessage>& m) {
      std::lock_guard lock(mutex);
      received.push_back({m->GetSerialNumber(), m->GetMessageProp()});
    });
    client->Start();
  }
  std::vector<std::pair<std::int32_t, host::TMessageProperty>> Received() {
    std::lock_guard lock(mutex);
    return received;
  }
  static std::unique_ptr<host::TBaseLuxRequestMessage> Request(std::uint32_t appClass, std::uint32_t commandID) {
    auto message = std::make_unique<host::TBaseLuxRequestMessage>();
    message->MakeEmptyRequest();
    message->SetCommandWord(host::MakeLuxCommandWord(appClass, commandID));
    return message;
  }

  std::shared_ptr<host::ManualClock> clock = std::make_shared<host::ManualClock>();
  SimLuxClient::Options options;
  std::mutex mutex;  // guards received: the handler runs on the client's thread
  std::vector<std::pair<std::int32_t, host::TMessageProperty>> received;
  // Last, so it goes first: its thread may still be delivering into `received` when a test ends.
  std::shared_ptr<SimLuxClient> client;
};

TEST_F(SimLuxClientTest, ADroppedAsyncRequestTimesOutWhenItsTimeIsUp) {
  Make();
  client->AnswerNext(SimLuxClient::Answer::kDrop);
  auto dropped = Request(1802, 9737);
  auto answered = Request(1802, 9737);
  ASSERT_TRUE(client->SendRequestAsync(*dropped, 180));
  ASSERT_TRUE(client->SendRequestAsync(*answered, 180));
  EXPECT_EQ(answered->GetSerialNumber(), dropped->GetSerialNumber() + 1);
  ASSERT_TRUE(client->WaitForDeliveries(1, 10s));
  EXPECT_EQ(client->PendingCount(), 1u);  // the dropped one's time-out, 180 s away
  clock->Advance(180s);
  ASSERT_TRUE(client->WaitForDeliveries(2, 10s));
  EXPECT_EQ(Received(), (decltype(received){{answered->GetSerialNumber(), host::mpNormal},
                                            {dropped->GetSerialNumber(), host::mpTimeout}}));
}

TEST_F(SimLuxClientTest, ALateConnectionSendsNothingBeforeItIsMade) {
  options.connected = false;
  options.connectAfter = 2s;
  Make();
  auto request = Request(1802, 9737);
  EXPECT_FALSE(client->IsConnected());
  EXPECT_FALSE(client->SendRequest(*request));
  clock->Advance(2s);
  ASSERT_TRUE(client->WaitForConnection(10s));
  EXPECT_TRUE(client->SendRequest(*request));
  ASSERT_TRUE(client->WaitForDeliveries(1, 10s));
  EXPECT_EQ(Received().front().first, request->GetSerialNumber());
  EXPECT_EQ(client->SentRequests().size(), 1u);
}

// A host that runs for long keeps the latest requests only, and still counts every one.
TEST_F(SimLuxClientTest, OnlyTheLatestRequestsAreKept) {
  Make();
  constexpr std::size_t kSent = SimLuxClient::kKeptRequests + 10;
  std::int32_t firstSerial = 0;
  for (std::size_t i = 0; i < kSent; ++i) {
    auto request = Request(1802, 9737);
    ASSERT_TRUE(client->SendRequest(*request));
    if (i == 0) firstSerial = request->GetSerialNumber();
  }
  const auto kept = client->SentRequests();
  ASSERT_EQ(kept.size(), SimLuxClient::kKeptRequests);
  EXPECT_EQ(kept.front().serial, firstSerial + 10);
  EXPECT_EQ(kept.back().serial, firstSerial + static_cast<std::int32_t>(kSent) - 1);
  EXPECT_EQ(client->CountSent(1802, 9737), static_cast<int>(kSent));
  EXPECT_EQ(client->CountSent(1802, 9738), 0);
}

}  // namespace
}  // namespace kdp::minihost
