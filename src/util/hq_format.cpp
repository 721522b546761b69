#include "util/hq_format.h"

#include "kdp/host/log.h"

namespace kdp::detail {

void LogHQFormatError(std::string_view pattern, std::string_view why) {
  host::AddHQLog(std::string("HQFormat \"") + std::string(pattern) + "\": " + std::string(why), "HQFormat",
                 host::LogSeverity::kNotice);
}

}  // namespace kdp::detail
