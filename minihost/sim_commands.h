// The stand-in quote engine's history commands, answered from the live simulated market:
//   97   ("97Fix")  per-code indicator tables (minute points of a field) for a time window of a sector;
//   3040 sector rankings: per sector, per sort field, the top N codes with their new, previous and
//        current values;
//   3050 the codes of a sector (or of a code list) ordered by a field;
//   3080 indicator export: the values of requested field IDs per code.
// Replies are data sets of packets (header table in column 0, body table in column 1). Parameters that
// name a sector take a sector ID of the host's sector master; code lists are comma-separated.
#pragma once

#include <memory>

#include "kdp/host/speed.h"
#include "sector_master.h"
#include "sim_market.h"

namespace kdp::minihost {

bool IsHistoryCommand(int commandID);

// Builds the reply to `commandID`. `error` becomes 0, or 1 when the request names nothing the engine
// knows (the reply then holds its header and an empty body).
std::shared_ptr<host::IDataSet> BuildHistoryReply(const SimMarket& market, const MiniSectorMaster& sectors,
                                                  int commandID, int pid, host::IParamSerialSet& params, int& error);

}  // namespace kdp::minihost
