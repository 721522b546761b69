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

#include "cloud/cloud_report_item.h"
#include "kdp/host/sqlite.h"
#include "util/status.h"

namespace kdp {

// The number of rows written, or why none were: kUnreadable for a reply that does not read (a "B1" frame that
// gives no stream, a stream that cannot be read, a server's error, no report or not one column per table
// field), kStorage when the database refused the refresh. The message names the step that failed.
// REQUIRES: the report's table exists (CreateReportTable) and has its lock.
Result<int> DecodeReplyIntoTable(const TKrCloudReportItem& report, std::span<const std::uint8_t> reply,
                                 host::ISqliteDataBase& database);

}  // namespace kdp
