// Decoding a cloud report's reply into the report's cache table.
//
// The reply is a report stream (a "B1" frame around one for rtB1 reports). Its report must have one column
// per table field, in field order; each record becomes one row, values bound. The refresh (the delete of
// the old rows unless the report appends, and every insert) runs in one transaction under the table's lock,
// so a reply that is truncated, corrupt, of the wrong shape or a server's error leaves the table exactly as
// it was. The reply's bytes are never trusted: decoding is bounded by the report-stream reader's limits.
// Main thread (the database is used by one thread at a time).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cloud/cloud_report_item.h"
#include "kdp/host/sqlite.h"

namespace kdp {

enum class TCloudDecodeFailure {
  kNone,
  kUnwrap,  // a "B1" frame that does not give a stream
  kStream,  // a stream that cannot be read, or a server's error
  kRows,    // no report, or not one column per table field
  kTable,   // the database refused the refresh
};

struct TCloudDecodeResult {
  TCloudDecodeFailure failure = TCloudDecodeFailure::kNone;
  int rowCount = 0;
  std::string detail;  // why it failed ("" on success)
  bool Ok() const { return failure == TCloudDecodeFailure::kNone; }
};

// REQUIRES: the report's table exists (CreateReportTable) and has its lock.
TCloudDecodeResult DecodeReplyIntoTable(const TKrCloudReportItem& report, std::span<const std::uint8_t> reply,
                                        host::ISqliteDataBase& database);

}  // namespace kdp
