// kdp-host without a command: the published services and a price-board snapshot of a few securities.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"

namespace kdp::app {

int RunDemo(Session& s) {
  fmt::print(s.out, "KDP on {} ({} securities, server time {})\n\nPublished services:\n", s.host.Settings().etcRoot,
             s.host.Securities().Count(), s.host.Context().GetServerDateTime().ToString());
  ListServices(s);
  fmt::print(s.out, "\nA price board from the simulated quote engine:\n");
  return PrintBoardSnapshot(s,
                            {"600000.SH", "000001.SZ", "300750.SZ", "00700.HK", "AAPL.O", "IF2612.CFE", "000300.SH"});
}

}  // namespace kdp::app
