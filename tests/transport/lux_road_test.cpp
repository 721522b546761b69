// The request transport's Lux road on the stand-in host: report commands through the Lux client,
// answered from the sample report data, and the failures the client reports.
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "kdp/host/kuds.h"
#include "test_host.h"
#include "transport/http_downloader.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using Answer = minihost::SimLuxClient::Answer;

struct Completion {
  bool success = false;
  std::string bytes;
  std::string message;
  std::uint32_t tag = 0;
};

class LuxRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(h->StartPackage());
    loader.SetOnDownLoaderEndEvent([this](const Status& outcome, host::MemoryStream* stream, std::uint32_t tag) {
      done = Completion{outcome.ok(), stream ? std::string(stream->AsStringView()) : std::string(), outcome.message(),
                        tag};
    });
  }
  // Waits for the completion and describes it: "ok|fail <tag> <message>", or "none" when none came.
  std::string Completed() {
    if (!h->Loop().RunUntil([&] { return done.has_value(); }, 10s)) return "none";
    return fmt::format("{} {} {}", done->success ? "ok" : "fail", done->tag, done->message);
  }

  testing::TestHost h;
  TKrHttpDownLoader loader;
  std::optional<Completion> done;
};

TEST_F(LuxRoadTest, ReportCommandNamesTheUserAndComesBackAsAReport) {
  EXPECT_GT(loader.SendLuxCloudReportRequest(
                "  report name=Misc.TradeDateList marketCodes=HKS startDate=20261201 endDate=20261204 ", 17,
                host::kReportAppClass, host::kReportCommandID),
            0);
  EXPECT_TRUE(h->Logger().Contains(
      "LCommand:report name=Misc.TradeDateList marketCodes=HKS startDate=20261201 endDate=20261204 "
      "internalUserID=[U10000001]"));
  ASSERT_EQ(Completed(), "ok 17 ");
  const host::MemoryStream bytes(done->bytes);
  const auto reply = host::SplitStatusByte(bytes.Bytes());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, host::kKudsStatusOk);
  host::TKUDSResponse response;
  std::string error;
  ASSERT_TRUE(response.Decode(reply->stream, error)) << error;
  ASSERT_NE(response.GetReport(), nullptr);
  // Tuesday the 1st to Friday the 4th of December.
  EXPECT_EQ(response.GetReport()->GetRecordCount(), 4);

  // A command naming its user goes as it is, trimmed.
  done.reset();
  loader.SendLuxCloudReportRequest(" report name=Nothing internalUserID=[X] ", 18, host::kReportAppClass,
                                   host::kReportCommandID);
  EXPECT_TRUE(h->Logger().Contains("AData:18  LCommand:report name=Nothing internalUserID=[X]"));
  ASSERT_EQ(Completed(), "ok 18 ");
  ASSERT_FALSE(done->bytes.empty());
  EXPECT_EQ(static_cast<std::uint8_t>(done->bytes.back()), host::kKudsStatusFailed);  // no such report
}

TEST_F(LuxRoadTest, ClientFailuresCompleteUnsuccessfully) {
  h->Lux()->AnswerNext(Answer::kError);
  h->Lux()->AnswerNext(Answer::kTimeout);
  loader.SendPublicOpinions("600000.SH", 5);
  EXPECT_EQ(h->Lux()->CountSent(1136, 10317), 1);
  EXPECT_EQ(Completed(), "fail 5 Lux Message Return mpError");

  done.reset();
  loader.SendLuxRequest(host::MemoryStream(std::string("raw")), 6, 1301, 3001);
  EXPECT_EQ(Completed(), "fail 6 Lux Message Return mpTimeout");
}

TEST_F(LuxRoadTest, B1RequestGoesTrimmedWithTheSessionsContext) {
  EXPECT_GT(loader.SendLuxCloudReportRequestB1("  report name=B1.X ", 9, 1301, 3002, "extra"), 0);
  EXPECT_TRUE(h->Logger().Contains("SendLuxCloudReportRequestB1 AData:9  LCommand:report name=B1.X"));
  EXPECT_FALSE(h->Logger().Contains("name=B1.X internalUserID"));
  EXPECT_EQ(h->Lux()->CountSent(1301, 3002), 1);
  // The sample scenario has no answer for it.
  EXPECT_THAT(Completed(), ::testing::StartsWith("fail 9 "));
}

TEST(LuxRoadWithoutManager, SendsNothing) {
  testing::TestHost h;  // the package is not started: no Lux data manager
  TKrHttpDownLoader loader;
  EXPECT_EQ(loader.SendLuxCloudReportRequest("report name=X", 1, host::kReportAppClass, host::kReportCommandID), -1);
  EXPECT_EQ(h->Lux()->CountSent(host::kReportAppClass, host::kReportCommandID), 0);
}

}  // namespace
}  // namespace kdp
