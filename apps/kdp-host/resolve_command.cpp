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

constexpr Texts kAroundTheClock{"（全天交易）", "（全天交易）", " (around the clock)"};
constexpr Texts kCrossesMidnight{"（跨越午夜）", "（跨越午夜）", " (crosses midnight)"};
constexpr Texts kVariable{"变量", "變數", "variable"};
constexpr Texts kHQTypeID{"行情类型编号", "行情類型編號", "HQ type ID"};
constexpr Texts kSuffix{"后缀", "後綴", "suffix"};
constexpr Texts kClearingTime{"清算时间", "清算時間", "clearing time"};
constexpr Texts kCity{"时钟城市", "時鐘城市", "city"};
constexpr Texts kF5Page{"F5 页面", "F5 頁面", "F5 page"};
constexpr Texts kHistoryDir{"历史数据目录", "歷史資料目錄", "history dir"};

std::string HhMm(int hhmm) { return fmt::format("{:02}:{:02}", hhmm / 100 % 100, hhmm % 100); }

// The sessions; under the edition's words when `s` is given (the JSON listing's stay English).
std::string Sessions(const TArrayMarketTimeSep& sep, Session* s = nullptr) {
  const auto text_of = [s](const Texts& texts) { return std::string(s != nullptr ? Text(*s, texts) : texts.eng); };
  if (sep.empty()) return text_of(words::kNone);
  std::string text;
  for (std::size_t i = 0; i + 1 < sep.size(); i += 2) {
    if (!text.empty()) text += ", ";
    text += HhMm(sep[i]) + "-" + HhMm(sep[i + 1]);
  }
  if (sep.size() % 2 != 0) text += ", " + HhMm(sep.back()) + "-?";
  if (IsFullDayTrade(sep)) {
    text += text_of(kAroundTheClock);
  } else if (IsCrossDayTrade(sep)) {
    text += text_of(kCrossesMidnight);
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
    s.out << LabelLine(s, kVariable, fmt::format("{} = {}", name, value.empty() ? Text(s, words::kNone) : value), 16);
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
  auto line = [&](const Texts& label, const std::string& value) { s.out << LabelLine(s, label, value, 16); };
  line(words::kCode, code);
  line(words::kName, info->GetStockName());
  line(words::kHQType, info->GetHQType());
  line(kHQTypeID, std::to_string(info->GetHQTypeID()));
  line(words::kStockType, info->GetStockType());
  line(kSuffix, info->GetExchange());
  line(words::kSessions, Sessions(info->GetMarketTimeSep(), &s));
  line(kClearingTime, HhMm(info->GetMarketClean()));
  line(kCity, CityName(s, info->GetCity()));
  line(kF5Page, info->GetF5Page());
  line(kHistoryDir, info->GetHisDir());
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
