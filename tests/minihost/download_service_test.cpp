// The stand-in host's download service against a local HTTP server. Completions are handed to a main
// loop, as the package does, and the tests drive that loop until they arrived.
#include "download_service.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "local_http_server.h"
#include "main_loop.h"

namespace kdp::minihost {
namespace {

using namespace std::chrono_literals;
using kdp::testing::Gate;
using kdp::testing::LocalHttpServer;

struct Outcome {
  bool done = false;
  host::TDownloadResult result;
};

std::string Text(const host::MemoryStream& stream) { return std::string(stream.AsStringView()); }

class DownloadServiceTest : public ::testing::Test {
 protected:
  DownloadServiceTest() : held_(server_.NewGate()) {
    auto& s = server_.Server();
    s.Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("hi", "text/plain"); });
    s.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.get_header_value("Content-Type") + "|" + req.body, "application/octet-stream");
    });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("no such report", "text/plain");
    });
    s.Get("/held", [this](const httplib::Request&, httplib::Response& res) {
      held_.Pass();
      res.set_content("late", "text/plain");
    });
    server_.Start();
  }

  host::THttpTarget Target(const std::string& path) { return {"127.0.0.1", server_.Port(), path}; }

  // Call-backs that hand the outcome over to the main loop.
  host::TDownloadEnd EndInto(Outcome& outcome) {
    return [this, &outcome](host::TDownloadResult&& result) {
      loop_.Post([&outcome, result = std::move(result)]() mutable {
        outcome.result = std::move(result);
        outcome.done = true;
      });
    };
  }
  bool Await(const Outcome& outcome) {
    return loop_.RunUntil([&] { return outcome.done; }, 10s);
  }

  LocalHttpServer server_;
  Gate& held_;
  MiniMainLoop loop_;
  MiniDownloadService service_;
};

// A body goes whole wherever its position stands, as octets, and a reply is read from its start; a path
// without its "/" gets one.
TEST_F(DownloadServiceTest, BodiesGoAndRepliesComeFromTheirStart) {
  host::TPublisherDataReq record;
  record.server = server_.Address();
  record.path = "/echo";
  record.request.Write("abc", 3);
  ASSERT_TRUE(service_.RequestSync(record)) << record.message;
  EXPECT_EQ(Text(record.response), "application/octet-stream|abc");
  Outcome get;
  ASSERT_NE(service_.Request(Target("hello"), EndInto(get), nullptr), 0u);
  ASSERT_TRUE(Await(get));
  EXPECT_TRUE(get.result.success) << get.result.message;
  EXPECT_EQ(get.result.reply.Position(), 0u);
}

// A refused status keeps the server's own words with the reply; a kind of request the host cannot send
// says which.
TEST_F(DownloadServiceTest, FailuresKeepTheServersWordsAndSayWhy) {
  Outcome missing, badKind;
  service_.Request(Target("/missing"), EndInto(missing), nullptr);
  service_.Request({"127.0.0.1", server_.Port(), "/hello", 7}, EndInto(badKind), nullptr);
  ASSERT_TRUE(Await(missing));
  ASSERT_TRUE(Await(badKind));
  EXPECT_FALSE(missing.result.success);
  EXPECT_EQ(Text(missing.result.reply), "no such report");
  EXPECT_FALSE(badKind.result.success);
  EXPECT_EQ(badKind.result.message, "unsupported request kind 7");
}

// A server the host plays itself answers without the network, whichever way its address is written, and
// 404 for a path it does not serve; other servers still go over HTTP. (The paths it is handed, and the
// bodies posted to it, are the host's cloud report tests'.)
TEST_F(DownloadServiceTest, ServersPlayedLocallyAnswerWithoutTheNetwork) {
  service_.ServeLocally("kuds.kora.example:8080", [](const std::string& path) -> std::optional<host::MemoryStream> {
    if (path.starts_with("/kuds/report/highdividend")) return host::MemoryStream(std::string("rows"));
    return std::nullopt;
  });
  Outcome withScheme, unserved, elsewhere;
  service_.Request({"http://kuds.kora.example", 8080, "/kuds/report/highdividend?top=5"}, EndInto(withScheme), nullptr);
  service_.Request({"kuds.kora.example:8080", 0, "/kuds/report"}, EndInto(unserved), nullptr);
  service_.Request(Target("/hello"), EndInto(elsewhere), nullptr);
  for (Outcome* outcome : {&withScheme, &unserved, &elsewhere}) ASSERT_TRUE(Await(*outcome));

  EXPECT_TRUE(withScheme.result.success) << withScheme.result.message;
  EXPECT_EQ(Text(withScheme.result.reply), "rows");
  EXPECT_FALSE(unserved.result.success);
  EXPECT_EQ(unserved.result.message, "HTTP 404");
  EXPECT_TRUE(elsewhere.result.success);
  EXPECT_EQ(Text(elsewhere.result.reply), "hi");
}

TEST_F(DownloadServiceTest, StopCompletesWhatRunsAndRefusesNewRequests) {
  bool completed = false;
  std::string message;
  const host::DownloadHandle handle = service_.Request(
      Target("/held"),
      [&](host::TDownloadResult&& result) {
        message = result.message;
        completed = true;
      },
      nullptr);
  ASSERT_TRUE(held_.WaitForArrivals(1, 10s));
  service_.Stop();  // joins the worker: what it wrote is visible here
  EXPECT_TRUE(completed);
  EXPECT_EQ(message, "cancelled");
  EXPECT_FALSE(service_.IsRunning(handle));
  EXPECT_EQ(
      service_.Request(
          Target("/hello"), [](host::TDownloadResult&&) { FAIL() << "refused requests never complete"; }, nullptr),
      0u);
  EXPECT_EQ(service_.RunningCount(), 0u);
}

}  // namespace
}  // namespace kdp::minihost
