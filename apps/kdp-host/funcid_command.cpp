// kdp-host funcid CODE [PAGE] [--audit]
// The function IDs of a security's pages (one page, or all of them), chosen by its HQ type; --audit also
// records the use of the page in the host's audit trail.
#include <fmt/format.h>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kdp/refdata/function_id_dic.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

constexpr Texts kHeading{"{} {}  行情类型 {}  市场组 {}", "{} {}  行情類型 {}  市場組 {}",
                         "{} {}  HQ type {}  market group {}"};
constexpr Texts kNoGroup{"无", "無", "none"};
constexpr Texts kAudited{"  审计：用户 {2} 在 {1} 上使用了 {0}", "  稽核：使用者 {2} 於 {1} 使用了 {0}",
                         "  audit: {0} used on {1} by user {2}"};

struct Options {
  std::string code;
  std::string page;
  bool audit = false;
};

int FuncID(Session& s, const Options& o) {
  auto manager = SecurityManager(s);
  if (!manager) return 2;
  auto security = s.host.Securities().GetSecurity(o.code);
  if (!security) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", o.code);
    return 1;
  }
  // "minute" is what users call the page the terminal names "Prices".
  const std::string wanted = SameTextAscii(o.page, "minute") ? "Prices" : o.page;
  std::vector<TFunctionPage> pages;
  for (TFunctionPage page : kFunctionPages) {
    if (wanted.empty() || SameTextAscii(wanted, FunctionPageName(page))) pages.push_back(page);
  }
  if (pages.empty()) {
    fmt::print(s.err, "kdp-host: unknown page {}; the pages are:", o.page);
    for (TFunctionPage page : kFunctionPages) fmt::print(s.err, " {}", FunctionPageName(page));
    fmt::print(s.err, "\n");
    return 1;
  }
  TFunctionIDDic& dic = TFunctionIDDic::GetInstance();
  const std::string hqType = manager->GetSecurityInfo(security)->GetHQType();
  const int group = dic.FindMarketGroup(hqType);
  fmt::print(s.out, "{}\n",
             TextFormat(s, kHeading, security->GetKoraCode(), DisplayName(s, *security), hqType,
                        group < 0 ? std::string(Text(s, kNoGroup))
                                  : fmt::format("{}", fmt::join(dic.GetMarketGroups()[static_cast<std::size_t>(group)], ","))));
  int missing = 0;
  bool unrecorded = false;
  for (TFunctionPage page : pages) {
    const std::string id = dic.GetPageFunIDByKoraCode(page, security);
    missing += id.empty() ? 1 : 0;
    fmt::print(s.out, "  {}{}\n", Pad(std::string(FunctionPageName(page)), 16, false), id.empty() ? "-" : id);
    if (o.audit && !id.empty()) {
      const std::size_t failures = s.host.AuditTrail().Failures();
      HQWriteBAuditLog(id, security->GetKoraCode());
      if (s.host.AuditTrail().Failures() != failures) {
        unrecorded = true;
        continue;
      }
      fmt::print(s.out, "{}\n", TextFormat(s, kAudited, id, security->GetKoraCode(), s.host.Context().GetUserID()));
    }
  }
  if (unrecorded) {
    fmt::print(s.err, "kdp-host: the audit trail could not record the use: cannot append to {}\n",
               s.host.AuditTrail().FilePath());
    return 2;
  }
  return missing == static_cast<int>(pages.size()) ? 1 : 0;
}

}  // namespace

void AddFuncIDCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<Options>();
  auto* funcid = app.add_subcommand("funcid", "the function IDs of a security's pages, chosen by its market");
  funcid->add_option("CODE", options->code, "a security code, e.g. 600000.SH")->required();
  funcid->add_option("PAGE", options->page,
                     "KLine, Prices (or minute), TradeDetail, DealPrice, Tick, HisPlay, "
                     "AttachEDE, AttachMacro, AttachSecurity, CancelAttach, UserAttach");
  funcid->add_flag("--audit", options->audit, "record the use of the page in the host's audit trail");
  funcid->callback([&chosen, options] { chosen = [options](Session& s) { return FuncID(s, *options); }; });
}

}  // namespace kdp::app
