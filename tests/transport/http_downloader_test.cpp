// The request transport against a local HTTP server, through the stand-in host's download service. The
// tests drive the main loop until the completion ran; the time-out runs on the manual clock.
#include "transport/http_downloader.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kdp/error.h"
#include "local_http_server.h"
#include "test_host.h"
#include "util/dp_timer.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using kdp::testing::Gate;
using kdp::testing::LocalHttpServer;
using kdp::testing::TestHost;

struct Completion {
  bool success;
  bool hadStream;
  std::string reply;
  std::string message;
  std::uint32_t tag;
  bool onMainThread;
  bool operator==(const Completion&) const = default;
};

void PrintTo(const Completion& c, std::ostream* out) {
  *out << fmt::format("{{success {} stream {} reply {:?} message {:?} tag {} main thread {}}}", c.success, c.hadStream,
                      c.reply, c.message, c.tag, c.onMainThread);
}

constexpr std::size_t kBigSize = 200 * 1000;

class HttpDownLoaderTest : public ::testing::Test {
 protected:
  HttpDownLoaderTest()
      : held_(server_.NewGate()), h_([this](minihost::HostSettings& s) {
          Serve();
          s.servers["KUDSDATASERVER"] = server_.Address();
        }) {
    Listen(d_);
  }

  void Serve() {
    auto& s = server_.Server();
    s.Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("hi", "text/plain"); });
    s.Get("/big", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(kBigSize, 'b'), "application/octet-stream");
    });
    s.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.body, "application/octet-stream");
    });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    s.Get("/held", [this](const httplib::Request&, httplib::Response& res) {
      held_.Pass();
      res.set_content("late", "text/plain");
    });
    server_.Start();
  }

  void Listen(TKrHttpDownLoader& downloader) {
    downloader.SetOnDownLoaderEndEvent(
        [this](const Status& outcome, host::MemoryStream* stream, std::uint32_t tag) {
          completions_.push_back({outcome.ok(), stream != nullptr, stream ? std::string(stream->AsStringView()) : "",
                                  outcome.message(), tag, h_->Loop().IsMainThread()});
        });
  }
  void Target(TKrHttpDownLoader& downloader, const std::string& path) {
    downloader.SetParams("127.0.0.1", server_.Port(), path, "");
  }
  bool AwaitCompletions(std::size_t count) {
    return h_->Loop().RunUntil([&] { return completions_.size() >= count; }, 10s);
  }
  // Waits until the host has made every completion call-back, then runs what they posted.
  bool AwaitHostIdle() {
    const bool idle = h_->Downloads().WaitUntilIdle(10s);
    h_->Loop().RunUntilIdle();
    return idle;
  }

  LocalHttpServer server_;
  Gate& held_;
  TestHost h_;
  std::vector<Completion> completions_;
  TKrHttpDownLoader d_;
};

TEST_F(HttpDownLoaderTest, GetAndPostCompleteOnTheMainThreadWithTheirTags) {
  Target(d_, "/hello");
  d_.FireRequest(41);  // rtGET: no body
  ASSERT_TRUE(AwaitCompletions(1));
  EXPECT_EQ(completions_[0], (Completion{true, true, "hi", "", 41, true}));
  EXPECT_FALSE(d_.IsRequesting());

  // A stream goes whole, from its start, wherever its position stands.
  host::MemoryStream stream(std::string_view("\x00\x01zz", 4));
  stream.SetPosition(3);
  d_.SetServerUrl("/echo");
  d_.FireRequest(stream, 42);
  ASSERT_TRUE(AwaitCompletions(2));
  EXPECT_EQ(completions_[1], (Completion{true, true, std::string("\x00\x01zz", 4), "", 42, true}));

  // Progress comes with the tag, on the main thread, before the completion.
  std::vector<std::int64_t> positions;
  d_.SetOnProgressEvent([&](std::int64_t position, std::uint32_t tag) {
    EXPECT_EQ(tag, 43u);
    EXPECT_EQ(completions_.size(), 2u);
    positions.push_back(position);
  });
  d_.SetServerUrl("/big");
  d_.FireRequest(43);
  ASSERT_TRUE(AwaitCompletions(3));
  EXPECT_EQ(completions_[2].reply.size(), kBigSize);
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), static_cast<std::int64_t>(kBigSize));
}

TEST_F(HttpDownLoaderTest, PostContentGoesAsAnsiBehindItsAnsiByteLength) {
  // "中文" is D6 D0 CE C4 in code page 936: 2 + 2 bytes, not the 6 bytes of its UTF-8.
  d_.SetParams("127.0.0.1", server_.Port(), "/echo", "中文 ok");
  d_.SetRequestType(TRequestType::rtPOST);
  d_.FireRequest(7);
  ASSERT_TRUE(AwaitCompletions(1));
  EXPECT_EQ(completions_[0],
            (Completion{true, true, std::string("\x07\x00\x00\x00\xD6\xD0\xCE\xC4 ok", 11), "", 7, true}));

  d_.SetPostData("");  // an empty post content is still a body: its length
  d_.FireRequest(8);
  ASSERT_TRUE(AwaitCompletions(2));
  EXPECT_EQ(completions_[1].reply, std::string(4, '\0'));
}

TEST_F(HttpDownLoaderTest, ASecondRequestCancelsTheFirstAndOnlyTheSecondCompletes) {
  Target(d_, "/held");
  d_.FireRequest(1);
  ASSERT_TRUE(held_.WaitForArrivals(1, 10s));
  d_.SetServerUrl("/hello");
  d_.FireRequest(2);
  ASSERT_TRUE(AwaitCompletions(1));
  // The server still holds the first request: the host ended it because it was cancelled.
  ASSERT_TRUE(AwaitHostIdle());
  ASSERT_EQ(completions_.size(), 1u);
  EXPECT_EQ(completions_[0], (Completion{true, true, "hi", "", 2, true}));

  // Abort supersedes as well: no completion for an aborted request, and nothing to abort afterwards.
  d_.SetServerUrl("/held");
  d_.FireRequest(3);
  ASSERT_TRUE(held_.WaitForArrivals(2, 10s));
  EXPECT_TRUE(d_.IsRequesting());
  EXPECT_TRUE(d_.Abort());
  EXPECT_FALSE(d_.IsRequesting());
  ASSERT_TRUE(AwaitHostIdle());
  EXPECT_EQ(completions_.size(), 1u);
  EXPECT_FALSE(d_.Abort());
}

TEST_F(HttpDownLoaderTest, DestructionWithARequestInFlightRunsNoHandlerAndLeavesNothingBehind) {
  const std::size_t loopTimers = h_->Loop().ActiveTimerCount();
  bool handled = false;
  auto handler = [&](const Status&, host::MemoryStream*, std::uint32_t) { handled = true; };

  // In flight at the server.
  auto held = std::make_unique<TKrHttpDownLoader>();
  held->SetOnDownLoaderEndEvent(handler);
  Target(*held, "/held");
  held->FireRequest(1);
  ASSERT_TRUE(held_.WaitForArrivals(1, 10s));
  ASSERT_NE(DPTimerMgr(), nullptr);
  const std::size_t timersWhileRunning = DPTimerMgr()->Count();
  EXPECT_EQ(h_->Loop().ActiveTimerCount(), loopTimers + 1);  // the time-out ticks
  held.reset();
  EXPECT_EQ(DPTimerMgr()->Count(), timersWhileRunning - 1);  // the time-out timer went back
  EXPECT_EQ(h_->Loop().ActiveTimerCount(), loopTimers);

  // Answered, its completion already queued on the main loop.
  auto answered = std::make_unique<TKrHttpDownLoader>();
  answered->SetOnDownLoaderEndEvent(handler);
  Target(*answered, "/hello");
  answered->FireRequest(2);
  ASSERT_TRUE(h_->Downloads().WaitUntilIdle(10s));
  answered.reset();

  held_.Open();
  ASSERT_TRUE(AwaitHostIdle());
  EXPECT_FALSE(handled);
  EXPECT_EQ(h_->Downloads().RunningCount(), 0u);
}

TEST_F(HttpDownLoaderTest, CompletionsRaceNewRequestsAndTheEndOfTheirOwners) {
  // The host completes requests on its thread while the main thread supersedes them and destroys their
  // owners: every owner that lives on hears exactly once, of its last request; none hears twice.
  constexpr int kOwners = 120;
  std::vector<std::vector<std::uint32_t>> heard(kOwners);
  std::vector<std::unique_ptr<TKrHttpDownLoader>> owners;
  std::vector<int> living;
  for (int i = 0; i < kOwners; ++i) {
    auto owner = std::make_unique<TKrHttpDownLoader>();
    owner->SetOnDownLoaderEndEvent(
        [&heard, i](const Status& outcome, host::MemoryStream*, std::uint32_t tag) {
          EXPECT_TRUE(outcome.ok()) << outcome.message();
          heard[static_cast<std::size_t>(i)].push_back(tag);
        });
    Target(*owner, "/hello");
    owner->FireRequest(static_cast<std::uint32_t>(i));
    if (i % 3 == 0) owner->FireRequest(static_cast<std::uint32_t>(1000 + i));
    h_->Loop().RunUntilIdle();  // whatever the host has completed by now
    if (i % 2 == 0) continue;   // the owner goes, its request possibly still in flight
    living.push_back(i);
    owners.push_back(std::move(owner));
  }
  const auto silent = [&] {
    std::string owners;
    for (int i : living) {
      if (heard[static_cast<std::size_t>(i)].empty()) owners += std::to_string(i) + " ";
    }
    return owners;
  };
  ASSERT_TRUE(h_->Loop().RunUntil([&] { return silent().empty(); }, 10s))
      << "owners not heard: " << silent() << "; requests running at the host: " << h_->Downloads().RunningCount();
  ASSERT_TRUE(AwaitHostIdle());
  for (int i = 0; i < kOwners; ++i) {
    SCOPED_TRACE(i);
    const bool lives = i % 2 == 1;
    const std::uint32_t last = static_cast<std::uint32_t>(i % 3 == 0 ? 1000 + i : i);
    if (lives) {
      EXPECT_EQ(heard[i], std::vector<std::uint32_t>{last});
    } else {
      EXPECT_LE(heard[i].size(), 1u);
      if (!heard[i].empty()) {
        EXPECT_EQ(heard[i][0], last);
      }
    }
  }
}

TEST_F(HttpDownLoaderTest, ARequestCancelledAfterThirtySecondsCompletesUnsuccessfully) {
  Target(d_, "/held");
  d_.FireRequest(9);
  ASSERT_TRUE(held_.WaitForArrivals(1, 10s));
  h_->Loop().AdvanceBy(29'999ms);
  EXPECT_TRUE(d_.IsRequesting());
  EXPECT_TRUE(completions_.empty());
  h_->Loop().AdvanceBy(1ms);
  EXPECT_FALSE(d_.IsRequesting());
  ASSERT_TRUE(AwaitCompletions(1));
  EXPECT_EQ(completions_[0], (Completion{false, false, "", "cancelled", 9, true}));
  EXPECT_TRUE(h_->Logger().Contains("timed out after 30000 ms"));

  // The timer stopped with the request: another 30 seconds cancel nothing new.
  Target(d_, "/hello");
  d_.FireRequest(10);
  ASSERT_TRUE(AwaitCompletions(2));
  EXPECT_TRUE(completions_[1].success);
  h_->Loop().AdvanceBy(60s);
  EXPECT_EQ(h_->Logger().CountContaining("timed out after"), 1u);
}

TEST_F(HttpDownLoaderTest, FailuresComeBackThroughTheCompletion) {
  Target(d_, "/missing");
  d_.FireRequest(1);
  ASSERT_TRUE(AwaitCompletions(1));
  EXPECT_EQ(completions_[0], (Completion{false, false, "", "HTTP 404", 1, true}));

  // Without a download service the request never starts, and still completes, later, on the loop.
  h_->Provider().Remove(host::IKrDownloadService::IID);
  Target(d_, "/hello");
  d_.FireRequest(2);
  EXPECT_EQ(completions_.size(), 1u);
  h_->Loop().RunUntilIdle();
  ASSERT_EQ(completions_.size(), 2u);
  EXPECT_EQ(completions_[1], (Completion{false, false, "", "no download service", 2, true}));
  host::MemoryStream response;
  const Status noService = d_.FireRequestSync(host::MemoryStream(), response, 3);
  ASSERT_FALSE(noService.ok());
  EXPECT_EQ(noService.kind(), ErrorKind::kUnavailable);
}

TEST_F(HttpDownLoaderTest, ServerAliasesResolveThroughTheHostsServerList) {
  d_.SetServerAlias("KUDSDATASERVER");
  EXPECT_EQ(d_.GetHost(), "http://127.0.0.1");
  EXPECT_EQ(d_.GetPort(), server_.Port());
  d_.SetServerUrl("/hello");
  d_.FireRequest(1);
  ASSERT_TRUE(AwaitCompletions(1));
  EXPECT_TRUE(completions_[0].success) << completions_[0].message;

  // The alias already set is not resolved again.
  d_.SetParams("elsewhere", 1, "/hello", "");
  d_.SetServerAlias("KUDSDATASERVER");
  EXPECT_EQ(d_.GetHost(), "elsewhere");
  EXPECT_EQ(d_.GetPort(), 1);

  d_.SetServerAlias("nosuchserver");
  EXPECT_EQ(d_.GetHost(), "");
  EXPECT_EQ(d_.GetPort(), 0);
  EXPECT_TRUE(h_->Logger().Contains("server alias not in the host's server list: nosuchserver"));
  d_.FireRequest(2);
  ASSERT_TRUE(AwaitCompletions(2));
  EXPECT_EQ(completions_[1], (Completion{false, false, "", "bad address", 2, true}));
}

TEST_F(HttpDownLoaderTest, SynchronousRequestsSayWhyTheHostFailedThemAndRaiseWhenTheHostRaises) {
  d_.SetServerAlias("KUDSDATASERVER");
  d_.SetServerUrl("/echo");
  host::MemoryStream request(std::string_view("abc"));
  request.SetPosition(3);
  host::MemoryStream response(std::string_view("old"));
  ASSERT_TRUE(d_.FireRequestSync(request, response, 1).ok());
  EXPECT_EQ(response.AsStringView(), "abc");
  EXPECT_EQ(response.Position(), 0u);

  // Without an alias the server is host and port.
  TKrHttpDownLoader direct;
  Target(direct, "/missing");
  host::MemoryStream kept(std::string_view("kept"));
  const Status missing = direct.FireRequestSync(request, kept, 2);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.kind(), ErrorKind::kTransport);
  EXPECT_TRUE(missing.message().starts_with("FireRequestSync AData:2 failed: HTTP 404")) << missing.message();
  EXPECT_EQ(kept.AsStringView(), "kept");
  EXPECT_TRUE(h_->Logger().Contains("FireRequestSync AData:2 failed: HTTP 404"));

  // The alias names no server: the host cannot send the record and raises.
  d_.SetServerAlias("nosuchserver");
  try {
    (void)d_.FireRequestSync(request, response, 3);
    FAIL() << "expected ERequestFailed";
  } catch (const ERequestFailed& e) {
    const std::string what = e.what();
    EXPECT_EQ(e.kind(), ErrorKind::kRequestFailed);
    EXPECT_TRUE(what.starts_with("no server address")) << what;
    EXPECT_TRUE(what.ends_with("/echo: FireRequestSync failed!")) << what;
  }
  EXPECT_EQ(response.AsStringView(), "abc");
}

TEST(SplitServerPortTest, SplitsTheLastPortOffTheAuthority) {
  struct Case {
    const char* address;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"http://10.1.2.3:8080", "http://10.1.2.3", 8080},
      {"kuds.example:81", "kuds.example", 81},
      {"http://kuds.example", "http://kuds.example", 0},
      {"https://[::1]:8443", "https://[::1]", 8443},
      {"http://[::1]", "http://[::1]", 0},
      {"http://h:99999", "http://h:99999", 0},
      {"http://h:80a", "http://h:80a", 0},
      {"http://h:", "http://h:", 0},
      {"", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    std::string host = "x";
    int port = -1;
    SplitServerPort(c.address, host, port);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
}

}  // namespace
}  // namespace kdp
