// kdp-host resolve CODE [--variable NAME]...: the code's classification by the stock type map, and the
// variables of its HQ type ("IKrStockTypeVariable", looked up by name as a widget does).
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/package.h"
#include "kdp/refdata/market_time.h"
#include "kdp/refdata/security_manager.h"

namespace kdp::app {
namespace {

std::string HhMm(int hhmm) { return fmt::format("{:02}:{:02}", hhmm / 100 % 100, hhmm % 100); }

std::string Sessions(const TArrayMarketTimeSep& sep) {
  if (sep.empty()) return "(none)";
  std::string text;
  for (std::size_t i = 0; i + 1 < sep.size(); i += 2) {
    if (!text.empty()) text += ", ";
    text += HhMm(sep[i]) + "-" + HhMm(sep[i + 1]);
  }
  if (sep.size() % 2 != 0) text += ", " + HhMm(sep.back()) + "-?";
  if (IsFullDayTrade(sep)) {
    text += " (around the clock)";
  } else if (IsCrossDayTrade(sep)) {
    text += " (crosses midnight)";
  }
  return text;
}

// The stock type variables `names` of the code's HQ type; "" for one the type (and "default") lacks.
int ShowVariables(Session& s, const std::string& code, const std::vector<std::string>& names) {
  if (names.empty()) return 0;
  auto variables = QueryPackageInterface<IKrStockTypeVariable>("IKrStockTypeVariable");
  if (!variables) {
    fmt::print(s.err, "kdp-host: the service IKrStockTypeVariable is not available\n");
    return 2;
  }
  for (const std::string& name : names) {
    const std::string value = variables->GetVariableByStockType(code, name);
    fmt::print(s.out, "{:<16}{} = {}\n", "variable", name, value.empty() ? "(none)" : value);
  }
  return 0;
}

int Resolve(Session& s, const std::string& code, const std::vector<std::string>& variables) {
  auto manager = SecurityManager(s);
  if (!manager) return 2;
  if (!IsKnownCode(s, *manager, code)) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
    return 1;
  }
  auto info = manager->GetSecurityInfo(code);
  if (s.format != OutputFormat::Table) {
    const Listing listing{{"code", "name", "hq_type", "hq_type_id", "stock_type", "suffix", "sessions",
                           "clearing_time", "city", "f5_page", "history_dir"},
                          {{code, info->GetStockName(), info->GetHQType(), info->GetHQTypeID(), info->GetStockType(),
                            info->GetExchange(), Sessions(info->GetMarketTimeSep()), HhMm(info->GetMarketClean()),
                            info->GetCity(), info->GetF5Page(), info->GetHisDir()}}};
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
  }
  auto line = [&](std::string_view label, const std::string& value) { fmt::print(s.out, "{:<16}{}\n", label, value); };
  line("code", code);
  line("name", info->GetStockName());
  line("HQ type", info->GetHQType());
  line("HQ type ID", std::to_string(info->GetHQTypeID()));
  line("stock type", info->GetStockType());
  line("suffix", info->GetExchange());
  line("sessions", Sessions(info->GetMarketTimeSep()));
  line("clearing time", HhMm(info->GetMarketClean()));
  line("city", info->GetCity());
  line("F5 page", info->GetF5Page());
  line("history dir", info->GetHisDir());
  return ShowVariables(s, code, variables);
}

}  // namespace

void AddResolveCommand(CLI::App& app, Action& chosen) {
  auto* resolve = app.add_subcommand("resolve", "classify a security code: HQ type, sessions, clock city, F5 page");
  auto code = std::make_shared<std::string>();
  auto variables = std::make_shared<std::vector<std::string>>();
  resolve->add_option("CODE", *code, "security code, e.g. 600000.SH")->required();
  resolve->add_option("--variable", *variables, "stock type variables of the code's HQ type, e.g. LotSize,VolumeUnit")
      ->delimiter(',')
      ->allow_extra_args(false);
  resolve->callback(
      [&chosen, code, variables] { chosen = [code, variables](Session& s) { return Resolve(s, *code, *variables); }; });
}

}  // namespace kdp::app
