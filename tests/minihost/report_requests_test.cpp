// The stand-in's reading of the package's report request bodies: each road gives back its command, any
// cut or foreign body reads as no request, and each road's reply has the form the package unwraps.
#include "report_requests.h"

#include <gtest/gtest.h>

#include "kdp/host/ansi.h"
#include "kdp/host/kuds.h"
#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "transport/cloud_request_body.h"

namespace kdp::minihost {
namespace {

const std::uint32_t kReportWord = host::MakeLuxCommandWord(host::kReportAppClass, host::kReportCommandID);
const std::uint32_t kPRWord = host::MakeLuxCommandWord(host::kPRReportAppClass, host::kPRReportCommandID);
const std::uint32_t kNoticeWord = host::MakeLuxCommandWord(1079, 4101);

host::MemoryStream TextsAndZero(const std::vector<std::string>& texts) {
  host::MemoryStream body;
  host::TStreamSerializer out(body);
  for (const auto& text : texts) out.WriteAnsiString(text);
  out.WriteByte(0);
  return body;
}

TEST(ReportRequestsTest, EveryRoadGivesBackItsCommandAndNothingElseReads) {
  const std::string command = "report name=Bond.IssuePlan startDate=20261201 备注=计划";
  const std::string notice = R"({"report":"Stock.NoticeDigest","koraCode":"600000.SH","top":3,"all":true})";
  struct Case {
    const char* road;
    std::uint32_t word;
    host::MemoryStream body;
    ReportRoad expected;
    std::string command;
  };
  const Case cases[] = {
      {"report", kReportWord, TextsAndZero({"", command, "10.0.0.8"}), ReportRoad::kReport, command},
      {"B1", kReportWord, MakeB1RequestBody("acct-1", 86, "extra", command), ReportRoad::kB1, command},
      {"PR", kPRWord, TextsAndZero({command, "", "2026-12-04 10:30:00"}), ReportRoad::kPR, command},
      // Numbers keep their text; members that are neither text nor number are left out.
      {"Lux body", kNoticeWord, host::MemoryStream(notice), ReportRoad::kLuxBody,
       "report name=Stock.NoticeDigest koraCode=600000.SH top=3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.road);
    const auto request = ReadReportRequest(c.word, c.body.Bytes());
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->road, c.expected);
    EXPECT_EQ(request->command, c.command);
    // Every cut of the body, and the body with a byte more, reads as no request.
    const auto bytes = c.body.Bytes();
    for (std::size_t size = 0; size < bytes.size(); ++size)
      EXPECT_FALSE(ReadReportRequest(c.word, bytes.first(size))) << size << " bytes";
    std::string longer(c.body.AsStringView());
    longer.push_back('x');
    EXPECT_FALSE(ReadReportRequest(c.word, host::MemoryStream(longer).Bytes()));
  }
  // A body on a service that does not take it: a report body to the PR service, a PR body to the report
  // service, a JSON body without a report.
  EXPECT_FALSE(ReadReportRequest(kPRWord, TextsAndZero({"", command, "10.0.0.8"}).Bytes()));
  EXPECT_FALSE(ReadReportRequest(kReportWord, TextsAndZero({command, "", "2026-12-04 10:30:00"}).Bytes()));
  EXPECT_FALSE(ReadReportRequest(kNoticeWord, host::MemoryStream(R"({"koraCode":"600000.SH"})").Bytes()));
  EXPECT_FALSE(ReadReportRequest(kNoticeWord, host::MemoryStream(R"(["report"])").Bytes()));
  // A "B1" body whose inner length disagrees with its command.
  std::string b1(MakeB1RequestBody("acct-1", 86, "", command).AsStringView());
  b1[b1.size() - host::Utf8ToAnsi(command).size() - 9] ^= 1;  // the low byte of the command field's length
  EXPECT_FALSE(ReadReportRequest(kReportWord, host::MemoryStream(b1).Bytes()));
}

TEST(ReportRequestsTest, RepliesCarryTheRoadsFormBehindThePrefix) {
  host::TKUDSWriter writer("Bond.IssuePlan");
  writer.AddColumn("KoraCode", host::TKUDSColumnType::kString);
  ASSERT_TRUE(writer.AddRecord({std::string("019668.SH")}));
  const host::MemoryStream stream = writer.Finish();
  for (const ReportRoad road : {ReportRoad::kReport, ReportRoad::kB1, ReportRoad::kPR, ReportRoad::kLuxBody}) {
    for (const bool answered : {true, false}) {
      SCOPED_TRACE(static_cast<int>(road) * 2 + answered);
      host::MemoryStream reply(ReportReplyBody(road, stream, answered));
      std::uint32_t length = 0;
      ASSERT_TRUE(host::TStreamSerializer(reply).ReadLongWord(length));
      const auto rest = reply.Bytes().subspan(4);
      ASSERT_EQ(length, rest.size());
      const auto split = host::SplitStatusByte(rest);
      ASSERT_TRUE(split.has_value());
      EXPECT_EQ(split->status, answered ? host::kKudsStatusOk : host::kKudsStatusFailed);
      host::MemoryStream unwrapped(split->stream);
      std::string error;
      if (road == ReportRoad::kB1) {
        ASSERT_TRUE(host::DecodeToKudsStream(split->stream, unwrapped, error)) << error;
      }
      EXPECT_EQ(unwrapped.AsStringView(), stream.AsStringView());
    }
  }
}

}  // namespace
}  // namespace kdp::minihost
