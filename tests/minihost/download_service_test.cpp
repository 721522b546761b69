// The stand-in host's download service against a local HTTP server. Completions are handed to a main
// loop, as the package does, and the tests drive that loop until they arrived.
#include "download_service.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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
  std::thread::id thread;
};

std::string Text(const host::MemoryStream& stream) { return std::string(stream.AsStringView()); }

class DownloadServiceTest : public ::testing::Test {
 protected:
  DownloadServiceTest() : held_(server_.NewGate()) {
    auto& s = server_.Server();
    s.Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("hi", "text/plain"); });
    s.Get("/big", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(kBigSize, 'x'), "application/octet-stream");
    });
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

  // Call-backs that hand the outcome over to the main loop, recording the thread they were called on.
  host::TDownloadEnd EndInto(Outcome& outcome) {
    return [this, &outcome](host::TDownloadResult&& result) {
      loop_.Post([&outcome, result = std::move(result), thread = std::this_thread::get_id()]() mutable {
        outcome.result = std::move(result);
        outcome.thread = thread;
        outcome.done = true;
      });
    };
  }
  bool Await(const Outcome& outcome) {
    return loop_.RunUntil([&] { return outcome.done; }, 10s);
  }

  static constexpr std::size_t kBigSize = 256 * 1024;

  LocalHttpServer server_;
  Gate& held_;
  MiniMainLoop loop_;
  MiniDownloadService service_;
};

TEST_F(DownloadServiceTest, GetAndPostCompleteOnAHostThreadWithTheReply) {
  Outcome get, big, post;
  ASSERT_NE(service_.Request(Target("/hello"), EndInto(get), nullptr), 0u);
  ASSERT_NE(service_.Request(Target("big"), EndInto(big), nullptr), 0u);  // path without its "/"
  // A body with a zero byte and code page 936 bytes goes as it is.
  const std::string body("\x01\x00\xc4\xe3\xba\xc3", 6);
  ASSERT_NE(service_.RequestWithBody(Target("/echo"), host::MemoryStream(body), EndInto(post), nullptr), 0u);
  ASSERT_TRUE(Await(get));
  ASSERT_TRUE(Await(big));
  ASSERT_TRUE(Await(post));

  // The replies, their messages and the progress are the request transport's tests' (HttpDownLoaderTest).
  EXPECT_TRUE(get.result.success) << get.result.message;
  EXPECT_NE(get.thread, std::this_thread::get_id());
  EXPECT_TRUE(big.result.success);
  EXPECT_EQ(big.result.reply.Size(), kBigSize);
  EXPECT_EQ(big.result.reply.Position(), 0u);
  EXPECT_EQ(Text(post.result.reply), "application/octet-stream|" + body);
}

TEST_F(DownloadServiceTest, FailuresSayWhy) {
  Outcome missing, refused, badKind;
  service_.Request(Target("/missing"), EndInto(missing), nullptr);
  LocalHttpServer closed;
  closed.Start();
  const int closedPort = closed.Port();
  closed.Stop();
  service_.Request({"127.0.0.1", closedPort, "/hello"}, EndInto(refused), nullptr);
  service_.Request({"127.0.0.1", server_.Port(), "/hello", 7}, EndInto(badKind), nullptr);
  for (Outcome* outcome : {&missing, &refused, &badKind}) ASSERT_TRUE(Await(*outcome));
  ASSERT_TRUE(service_.WaitUntilIdle(10s));

  // A status and an address that do not do are the request transport's tests' ("HTTP 404", "bad address").
  EXPECT_FALSE(missing.result.success);
  EXPECT_EQ(Text(missing.result.reply), "no such report");  // the server's own words stay with the reply
  EXPECT_FALSE(refused.result.success);
  EXPECT_NE(refused.result.message, "");
  EXPECT_NE(refused.result.detail.find(std::to_string(closedPort)), std::string::npos) << refused.result.detail;
  EXPECT_FALSE(badKind.result.success);
  EXPECT_EQ(badKind.result.message, "unsupported request kind 7");
}

// A server the host plays itself answers without the network, whichever way its address is written; other
// servers still go over HTTP.
TEST_F(DownloadServiceTest, ServersPlayedLocallyAnswerWithoutTheNetwork) {
  std::vector<std::string> asked;  // by the worker thread; read once the outcomes are in
  service_.ServeLocally("kuds.kora.example:8080",
                        [&asked](const std::string& path) -> std::optional<host::MemoryStream> {
                          asked.push_back(path);
                          if (path.starts_with("/kuds/report/highdividend"))
                            return host::MemoryStream(std::string("rows"));
                          return std::nullopt;
                        });
  Outcome served, withScheme, unserved, elsewhere;
  service_.RequestWithBody({"kuds.kora.example", 8080, "/kuds/report/highdividend"}, host::MemoryStream(),
                           EndInto(served), nullptr);
  service_.Request({"http://kuds.kora.example", 8080, "/kuds/report/highdividend?top=5"}, EndInto(withScheme), nullptr);
  service_.Request({"kuds.kora.example:8080", 0, "/kuds/report"}, EndInto(unserved), nullptr);
  service_.Request(Target("/hello"), EndInto(elsewhere), nullptr);
  for (Outcome* outcome : {&served, &withScheme, &unserved, &elsewhere}) ASSERT_TRUE(Await(*outcome));

  EXPECT_TRUE(served.result.success) << served.result.message;
  EXPECT_EQ(Text(served.result.reply), "rows");
  EXPECT_TRUE(withScheme.result.success) << withScheme.result.message;
  EXPECT_FALSE(unserved.result.success);
  EXPECT_EQ(unserved.result.message, "HTTP 404");
  EXPECT_EQ(asked,
            (std::vector<std::string>{"/kuds/report/highdividend", "/kuds/report/highdividend?top=5", "/kuds/report"}));
  EXPECT_TRUE(elsewhere.result.success);
  EXPECT_EQ(Text(elsewhere.result.reply), "hi");
}

TEST_F(DownloadServiceTest, ACancelledRequestStillCompletesOnceAndUnsuccessfully) {
  Outcome outcome;
  int completions = 0;
  const host::DownloadHandle handle = service_.Request(
      Target("/held"),
      [&, end = EndInto(outcome)](host::TDownloadResult&& result) {
        loop_.Post([&completions] { ++completions; });
        end(std::move(result));
      },
      nullptr);
  ASSERT_TRUE(held_.WaitForArrivals(1, 10s));
  EXPECT_TRUE(service_.IsRunning(handle));
  EXPECT_TRUE(service_.Cancel(handle));
  ASSERT_TRUE(Await(outcome));
  EXPECT_FALSE(outcome.result.success);
  ASSERT_TRUE(service_.WaitUntilIdle(10s));
  EXPECT_FALSE(service_.IsRunning(handle));
  EXPECT_FALSE(service_.Cancel(handle));
  held_.Open();
  // Nothing else comes for it once the server answers.
  Outcome after;
  service_.Request(Target("/hello"), EndInto(after), nullptr);
  ASSERT_TRUE(Await(after));
  EXPECT_EQ(completions, 1);
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

TEST_F(DownloadServiceTest, SynchronousRequestsAnswerFalseOnFailureAndThrowWhenTheyCannotBeSent) {
  host::TPublisherDataReq record;
  record.server = server_.Address();
  record.path = "/echo";
  record.request.Write("abc", 3);  // the position is at the end: the body still goes from its start
  ASSERT_TRUE(service_.RequestSync(record)) << record.message;
  EXPECT_EQ(Text(record.response), "application/octet-stream|abc");

  record.path = "/missing";
  record.request.Clear();
  EXPECT_FALSE(service_.RequestSync(record));
  EXPECT_EQ(record.response.Size(), 0u);
  EXPECT_NE(record.message.find("HTTP 404"), std::string::npos) << record.message;

  record.server = "http://" + server_.Address();  // a URL prefix works as well
  record.path = "/hello";
  ASSERT_TRUE(service_.RequestSync(record)) << record.message;
  EXPECT_EQ(Text(record.response), "hi");

  record.server = "";
  EXPECT_THROW(service_.RequestSync(record), std::runtime_error);
  record.server = "http://";
  EXPECT_THROW(service_.RequestSync(record), std::runtime_error);
}

}  // namespace
}  // namespace kdp::minihost
