#include "report_requests.h"

#include <array>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "kdp/host/kuds.h"
#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "lux_scenario.h"

namespace kdp::minihost {
namespace {

// Reads ansi texts and bytes in a row; any read past the end (or a byte that differs from the one
// expected) fails every later read.
class BodyReader {
 public:
  explicit BodyReader(std::span<const std::uint8_t> body) : stream_(body), in_(stream_) {}

  BodyReader& Text(std::string& text) {
    ok_ = ok_ && in_.ReadAnsiString(text);
    return *this;
  }
  BodyReader& LongWord(std::uint32_t& value) {
    ok_ = ok_ && in_.ReadLongWord(value);
    return *this;
  }
  BodyReader& ExpectLongWord(std::uint32_t expected) {
    std::uint32_t value = 0;
    ok_ = ok_ && in_.ReadLongWord(value) && value == expected;
    return *this;
  }
  BodyReader& ExpectByte(std::uint8_t expected) {
    std::uint8_t value = 0;
    ok_ = ok_ && in_.ReadByte(value) && value == expected;
    return *this;
  }
  // Whether every read succeeded and nothing is left.
  bool Done() const { return ok_ && stream_.Remaining() == 0; }
  std::size_t Remaining() const { return stream_.Remaining(); }

 private:
  host::MemoryStream stream_;
  host::TStreamSerializer in_;
  bool ok_ = true;
};

// Three texts and a zero byte, as the report and PR bodies are laid out; nullopt for anything else.
std::optional<std::array<std::string, 3>> ThreeTexts(std::span<const std::uint8_t> body) {
  std::array<std::string, 3> texts;
  BodyReader in(body);
  if (!in.Text(texts[0]).Text(texts[1]).Text(texts[2]).ExpectByte(0).Done()) return std::nullopt;
  return texts;
}

// An empty text, the command, the server's address.
std::optional<std::string> ReportBodyCommand(std::span<const std::uint8_t> body) {
  const auto texts = ThreeTexts(body);
  if (!texts || !(*texts)[0].empty()) return std::nullopt;
  return (*texts)[1];
}

std::optional<std::string> B1BodyCommand(std::span<const std::uint8_t> body) {
  if (body.size() < 4) return std::nullopt;
  const std::uint32_t following = (std::uint32_t{body[0]} << 24) | (std::uint32_t{body[1]} << 16) |
                                  (std::uint32_t{body[2]} << 8) | std::uint32_t{body[3]};
  if (following != body.size() - 4) return std::nullopt;
  std::string contextText, extra, command;
  std::uint32_t contextNumber = 0, commandFieldBytes = 0;
  BodyReader in(body.subspan(4));
  in.Text(contextText).LongWord(contextNumber).Text(extra).ExpectLongWord(1).ExpectByte(host::kB1FormatKuds);
  in.ExpectByte(1).ExpectByte(1).LongWord(commandFieldBytes).ExpectByte(1);
  // The command field: its marker byte, its 4-byte length and the command's bytes.
  if (in.Remaining() + 1 != commandFieldBytes || !in.Text(command).Done()) return std::nullopt;
  return command;
}

// The command, an empty text, the time.
std::optional<std::string> PRBodyCommand(std::span<const std::uint8_t> body) {
  const auto texts = ThreeTexts(body);
  if (!texts || !(*texts)[1].empty()) return std::nullopt;
  return (*texts)[0];
}

// {"report": "X", "a": "1", "n": 2} -> "report name=X a=1 n=2"; nullopt for any other body.
std::optional<std::string> LuxBodyCommand(std::span<const std::uint8_t> body) {
  // Parameters in the body's order.
  const auto j = nlohmann::ordered_json::parse(body.begin(), body.end(), nullptr, false);
  if (!j.is_object()) return std::nullopt;
  const auto report = j.find("report");
  if (report == j.end() || !report->is_string()) return std::nullopt;
  std::string command = "report name=" + report->get<std::string>();
  for (const auto& [name, value] : j.items()) {
    if (name == "report") continue;
    if (value.is_string())
      command += fmt::format(" {}={}", name, value.get<std::string>());
    else if (value.is_number())
      command += fmt::format(" {}={}", name, value.dump());
  }
  return command;
}

}  // namespace

std::optional<ReportRequest> ReadReportRequest(std::uint32_t commandWord, std::span<const std::uint8_t> body) {
  if (commandWord == host::MakeLuxCommandWord(host::kReportAppClass, host::kReportCommandID)) {
    if (auto command = ReportBodyCommand(body)) return ReportRequest{ReportRoad::kReport, std::move(*command)};
    if (auto command = B1BodyCommand(body)) return ReportRequest{ReportRoad::kB1, std::move(*command)};
    return std::nullopt;
  }
  if (commandWord == host::MakeLuxCommandWord(host::kPRReportAppClass, host::kPRReportCommandID)) {
    if (auto command = PRBodyCommand(body)) return ReportRequest{ReportRoad::kPR, std::move(*command)};
    return std::nullopt;
  }
  if (auto command = LuxBodyCommand(body)) return ReportRequest{ReportRoad::kLuxBody, std::move(*command)};
  return std::nullopt;
}

std::string ReportReplyBody(ReportRoad road, const host::MemoryStream& stream, bool answered) {
  std::string reply(road == ReportRoad::kB1 ? host::EncodeB1Reply(stream.Bytes(), true).AsStringView()
                                            : stream.AsStringView());
  reply.push_back(static_cast<char>(answered ? host::kKudsStatusOk : host::kKudsStatusFailed));
  return PrefixedBody(reply);
}

}  // namespace kdp::minihost
