// The report stream ("KUDS"): how the report servers deliver a report (cloud reports, indicator values,
// trading calendars): a result, and a named report of typed columns and records. TKUDSResponse reads a
// stream, TKUDSWriter writes one; DecodeToKudsStream unwraps the stream a "B1" reply carries.
//
// Stream layout, little-endian; "ansi" is a 32-bit byte count followed by that many code page 936 bytes:
//   magic       4 bytes "KUDS"
//   version     1 byte: 1
//   result      32-bit signed: 0 when the server answered; otherwise its error code
//   message     ansi: the server's words about the result ("" when none)
//   has report  1 byte: 1 when a report follows, 0 when none does
//   report, when there is one:
//     name      ansi ("Misc.TradeDateList")
//     columns   16-bit count (at most kKudsMaxColumns), then per column its name (ansi) and its type
//               (1 byte, TKUDSColumnType)
//     records   32-bit count, then per record and column a presence byte (0 empty, 1 a value follows) and
//               the value: int32 4 bytes, int64 8 bytes, double 8 bytes IEEE-754, string ansi
//   nothing after the last record.
// Replies that carry a status byte have it after the stream: kKudsStatusFailed (0) or kKudsStatusOk (1).
//
// A "B1" reply frames a stream:
//   1. 32-bit big-endian: the number of bytes that follow it;
//   2. 32-bit little-endian result: 0 when the server answered, else its error code;
//   3. message: ansi;
//   4. one byte: the format, kB1FormatKuds;
//   5. one byte: the compression, 0 none or 1 zlib;
//   6. 32-bit little-endian payload length, then the payload: the stream, compressed when 5 says so.
//
// Reading never trusts the bytes: a truncated or corrupt stream gives false and a message naming the
// offset, never a crash; counts are checked against the bytes left, and a report holds at most
// kKudsMaxCells cells. Texts are UTF-8 on the package side. Objects are plain values; not thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "kdp/host/memory_stream.h"

namespace kdp::host {

enum class TKUDSColumnType : std::uint8_t { kInt32 = 1, kInt64 = 2, kDouble = 3, kString = 4 };

inline constexpr std::uint8_t kKudsVersion = 1;
inline constexpr std::size_t kKudsMaxColumns = 1024;
inline constexpr std::size_t kKudsMaxCells = std::size_t{1} << 20;
inline constexpr std::uint8_t kKudsStatusFailed = 0;
inline constexpr std::uint8_t kKudsStatusOk = 1;
inline constexpr std::uint8_t kB1FormatKuds = 3;

// Where the report service listens on the Lux client: a raw message of application class
// kReportAppClass and command kReportCommandID whose body is an empty ansi text, the command
// ("report name=..."), the sender's IP address (ansi) and one byte 0. The reply is a stream and its status
// byte.
inline constexpr std::uint32_t kReportAppClass = 1301;
inline constexpr std::uint32_t kReportCommandID = 3000;
// Where reports travelling as "PR" requests are asked: a raw message whose body is the command (ansi), an
// empty ansi text, the sender's server time as text (ansi) and one byte 0. The reply is a stream and its
// status byte.
inline constexpr std::uint32_t kPRReportAppClass = 1079;
inline constexpr std::uint32_t kPRReportCommandID = 4367;

// An empty cell, or a value of its column's type.
using TKUDSValue = std::variant<std::monostate, std::int32_t, std::int64_t, double, std::string>;

struct TKUDSColumn {
  std::string name;
  TKUDSColumnType type;
  friend bool operator==(const TKUDSColumn&, const TKUDSColumn&) = default;
};

class TKUDSReport {
 public:
  const std::string& GetName() const { return name_; }
  int GetColumnCount() const { return static_cast<int>(columns_.size()); }
  // REQUIRES: 0 <= column < GetColumnCount().
  const TKUDSColumn& GetColumn(int column) const { return columns_[static_cast<std::size_t>(column)]; }
  // The first column of that name (exact), or -1.
  int FindColumn(const std::string& name) const;
  int GetRecordCount() const { return static_cast<int>(records_); }
  // The cell; an empty value for a cell that is empty or out of range.
  const TKUDSValue& GetValue(int record, int column) const;

 private:
  friend class TKUDSResponse;
  std::string name_;
  std::vector<TKUDSColumn> columns_;
  std::size_t records_ = 0;
  std::vector<TKUDSValue> cells_;  // record by record
};

class TKUDSResponse {
 public:
  // Reads a whole stream (without a status byte). False, with `error`, when it is truncated, corrupt or
  // followed by other bytes; the response is then empty.
  bool Decode(std::span<const std::uint8_t> stream, std::string& error);

  std::int32_t GetResult() const { return result_; }
  const std::string& GetMessage() const { return message_; }
  // The report, or nullptr when the stream carried none.
  const TKUDSReport* GetReport() const { return report_ ? &*report_ : nullptr; }

 private:
  std::int32_t result_ = 0;
  std::string message_;
  std::optional<TKUDSReport> report_;
};

// Writes a stream: a report of the columns added, then the records added.
class TKUDSWriter {
 public:
  explicit TKUDSWriter(std::string reportName) : name_(std::move(reportName)) {}

  // REQUIRES: before the first record; at most kKudsMaxColumns columns.
  void AddColumn(const std::string& name, TKUDSColumnType type);
  // One value per column, each empty or of its column's type; false (and nothing added) otherwise.
  bool AddRecord(const std::vector<TKUDSValue>& values);
  int GetRecordCount() const { return static_cast<int>(records_); }

  // The stream with the report, rewound.
  MemoryStream Finish(std::int32_t result = 0, const std::string& message = {}) const;
  // A stream without a report: the server's error (or a request that answers nothing), rewound.
  static MemoryStream WithoutReport(std::int32_t result, const std::string& message);

 private:
  std::string name_;
  std::vector<TKUDSColumn> columns_;
  std::size_t records_ = 0;
  MemoryStream body_;  // the records written so far
};

// A reply with a status byte after its stream: the status and the stream before it. nullopt for an
// empty reply.
struct TStatusReply {
  std::uint8_t status;
  std::span<const std::uint8_t> stream;
};
std::optional<TStatusReply> SplitStatusByte(std::span<const std::uint8_t> reply);

// Unwraps the stream of a "B1" reply into `kuds` (replacing its content, rewound). False, with `error`,
// when the frame is truncated or corrupt, names another format, does not inflate, or carries the
// server's error (then `error` holds its code and message).
bool DecodeToKudsStream(std::span<const std::uint8_t> b1Reply, MemoryStream& kuds, std::string& error);
// Frames a stream as a "B1" reply (what a report server sends), zlib-compressed when `compress`.
MemoryStream EncodeB1Reply(std::span<const std::uint8_t> kuds, bool compress, std::int32_t result = 0,
                           const std::string& message = {});

}  // namespace kdp::host
