// The date macros of the matrix functions: a function template from the field dictionary
// ("s_pq_pctchange(KoraCode,StartDate,$LastWeek)") has each "$" parameter replaced by dates the server
// time and the security's trading days give ("s_pq_pctchange(KoraCode,20261123,20261129)").
//
// Range macros ("$LastWeek", "$CurMonth", ...) write their start date into the parameter before them and
// their end date in their own place, so a template whose first parameter is a range macro cannot be sent.
// A macro that needs the trade date item of a security without one, and an unknown "$" word, stay
// unchanged; an item that has no such day answers -1, and that is written.
// Pure function of its inputs; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cloud/cloud_calendar.h"

namespace kdp {

// The expanded function, or nullopt with `error` saying why the template cannot be sent (not of the form
// name "(" parameters ")", or a range macro in first position). `koraCode` selects the trading days.
std::optional<std::string> ExpandMatrixFunction(std::string_view functionTemplate, const std::string& koraCode,
                                                const ICloudCalendar& calendar, std::string& error);

}  // namespace kdp
