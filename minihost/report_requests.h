// The roads on which the package asks the stand-in host's report services for a report, as the stand-in
// reads them, and the reply each road expects. Every road carries a command text that the report sources
// answer ("report name=Bond.IssuePlan startDate=20261201 ..."):
//   kReport   report service (host::kReportAppClass, host::kReportCommandID), the report body: an empty
//             ansi text, the command (ansi), the sender's address (ansi), byte 0;
//   kB1       the same service, a "B1" body (see the package's MakeB1RequestBody): the 4-byte big-endian
//             length of what follows, the context text and number, the extra text, 1, the format byte,
//             1, 1, the command's length plus 5, 1, then the command as ansi;
//   kPR       PR service (host::kPRReportAppClass, host::kPRReportCommandID): the command (ansi), an empty
//             ansi text, the server time (ansi), byte 0;
//   kLuxBody  any other service: a Lux body that is a JSON object naming its "report"; its other string
//             and number members are the parameters (report name=Stock.NoticeDigest koraCode=600000.SH).
// Replies: behind the 4-byte server prefix, the report stream ("B1"-framed on the kB1 road) and the
// service's status byte, 1 when the command named a report the sources know and 0 otherwise.
//
// The bodies are the package's, but the reader trusts no byte: anything else reads as no request. Pure
// functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "kdp/host/memory_stream.h"

namespace kdp::minihost {

enum class ReportRoad { kReport, kB1, kPR, kLuxBody };

struct ReportRequest {
  ReportRoad road;
  std::string command;
};

// The report request a message to `commandWord` carries; nullopt when its body is not one.
std::optional<ReportRequest> ReadReportRequest(std::uint32_t commandWord, std::span<const std::uint8_t> body);

// The reply body for `stream` on `road`, with the status byte `answered` gives.
std::string ReportReplyBody(ReportRoad road, const host::MemoryStream& stream, bool answered);

}  // namespace kdp::minihost
