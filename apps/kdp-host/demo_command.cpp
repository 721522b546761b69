// kdp-host without a command: the published services and a price-board snapshot of a few securities.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"

namespace kdp::app {

namespace {
constexpr Texts kHeading{"KDP，配置 {}（{} 只证券，服务器时间 {}）", "KDP，設定 {}（{} 檔證券，伺服器時間 {}）",
                         "KDP on {} ({} securities, server time {})"};
constexpr Texts kServices{"已发布的服务：", "已發佈的服務：", "Published services:"};
constexpr Texts kBoard{"模拟行情引擎的报价板：", "模擬行情引擎的報價板：", "A price board from the simulated quote engine:"};
}  // namespace

int RunDemo(Session& s) {
  fmt::print(s.out, "{}\n\n{}\n",
             TextFormat(s, kHeading, s.host.Settings().etcRoot, s.host.Securities().Count(),
                        s.host.Context().GetServerDateTime().ToString()),
             Text(s, kServices));
  ListServices(s);
  fmt::print(s.out, "\n{}\n", Text(s, kBoard));
  return PrintBoardSnapshot(s,
                            {"600000.SH", "000001.SZ", "300750.SZ", "00700.HK", "AAPL.O", "IF2612.CFE", "000300.SH"});
}

}  // namespace kdp::app
