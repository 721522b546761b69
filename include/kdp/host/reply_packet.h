// Building engine replies in the layout speed.h describes: a reply table whose rows are packets, each a
// header table (one row of "int" fields such as "CmdID" and "PID") in column 0 and a body table in column
// 1. A quote body has a row per security: its code in column 0 and, in column 1, a one-row table of its
// values with a column per field ID. The package reads them in rtd/rtd_quote_layouts.cpp and
// speed/speed_quote_data.cpp; engines (the stand-in's, a replayed one), tests and benchmarks build them here.
//
// Plain values: no locking, use from one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kdp/host/data_table.h"

namespace kdp::host {

// The command of a real-time quote push.
inline constexpr int kQuotePushCommand = 3070;

// A packet header's fields, in column order.
using TPacketHeader = std::vector<std::pair<std::string_view, int>>;

// A reply of one packet. A null header leaves the header cell empty.
std::shared_ptr<TDataTable> MakeReplyPacket(const TPacketHeader& header, std::shared_ptr<IDataSet> body);

// A quote body without rows; its columns are named `codeName` and `valuesName`.
std::shared_ptr<TDataTable> MakeQuoteBody(std::string_view codeName = "KoraCode", std::string_view valuesName = "Data");
// Adds a security's row to a quote body.
void AddQuoteBodyRow(TDataTable& body, const std::string& code, std::shared_ptr<IDataSet> values);

// The items of a parameter's list value ("600000.SH, 000001.SZ"): split at commas, each trimmed of spaces,
// empty items left out.
std::vector<std::string> SplitList(std::string_view text);

}  // namespace kdp::host
