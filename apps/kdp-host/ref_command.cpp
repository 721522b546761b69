// kdp-host ref warrant|basic|currency|index-sector|related CODE, ref fund-company NUMBER, and ref convert
// CODE AMOUNT: the answers of the CSV reference tables, looked up by name as a widget does (the first
// look-up creates the service).
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/host/number_text.h"
#include "kdp/package.h"
#include "kdp/refdata/reference_tables.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

constexpr auto kCloudRelationsWait = 2s;

template <class I>
std::shared_ptr<I> Service(Session& s, const char* name) {
  auto service = QueryPackageInterface<I>(name);
  if (!service) fmt::print(s.err, "kdp-host: the service {} is not available\n", name);
  return service;
}

void Line(Session& s, std::string_view label, const std::string& value) {
  fmt::print(s.out, "{:<22}{}\n", label, value);
}

int Unknown(Session& s, std::string_view what, const std::string& code) {
  fmt::print(s.err, "kdp-host: {} {} is not in the table\n", what, code);
  return 1;
}

int ShowWarrant(Session& s, const std::string& code) {
  auto manager = Service<IWarrantManager>(s, "IWarrantManager");
  if (!manager) return 2;
  auto w = manager->GetItemByCode(code);
  if (!w) return Unknown(s, "warrant", code);
  Line(s, "warrant", w->GetWarrantCode());
  Line(s, "underlying", w->GetStockCode());
  Line(s, "days remaining", std::to_string(w->GetDaysRemain()));
  Line(s, "initial volume", std::to_string(w->GetInitialVolume()));
  Line(s, "volume remaining", std::to_string(w->GetVolumeRemain()));
  Line(s, "memo", w->GetMemo());
  Line(s, "last trade date", DateText(w->GetLastTradeDate()));
  Line(s, "expiry date", DateText(w->GetExpireDate()));
  Line(s, "exercise ratio", FloatToText(w->GetExerciseRatio()));
  Line(s, "exercise price", FloatToText(w->GetExercisePrice()));
  Line(s, "previous close", FloatToText(w->GetPreClose()));
  Line(s, "maximum price", FloatToText(w->GetMaxPrice()));
  Line(s, "minimum price", FloatToText(w->GetMinPrice()));
  return 0;
}

int ShowBasic(Session& s, const std::string& code) {
  auto manager = Service<ISecurityBasicManager>(s, "ISecurityBasicManager");
  if (!manager) return 2;
  auto b = manager->GetSecurityBasic(code);
  if (!b) return Unknown(s, "security", code);
  Line(s, "code", b->GetKoraCode());
  Line(s, "listed shares", FloatToText(b->GetListedStock()));
  Line(s, "capital stock", FloatToText(b->GetCaptilStock()));
  Line(s, "EPS", FloatToText(b->GetEarningPerShare()));
  Line(s, "EPS (LYR)", FloatToText(b->GetEarningPerShareLYR()));
  Line(s, "EPS projected", FloatToText(b->GetEPSProjected()));
  Line(s, "net asset per share", FloatToText(b->GetNetAssetPerShare()));
  Line(s, "5-day average volume", FloatToText(b->GetLatest5AV()));
  Line(s, "last report date", DateText(b->GetLastReportDate()));
  Line(s, "annual report year", std::to_string(b->GetLatestAnnualReportYear()));
  return 0;
}

int ShowCurrency(Session& s, const std::string& code) {
  auto manager = Service<ICurrencyManager>(s, "ICurrencyManager");
  if (!manager) return 2;
  auto c = manager->GetCurrencyByCode(code);
  if (!c) return Unknown(s, "currency", code);
  Line(s, "code", c->GetCode());
  Line(s, "name", c->GetName());
  Line(s, "CNY per unit", FloatToText(c->GetRate()));
  return 0;
}

int ShowIndexSector(Session& s, const std::string& code) {
  auto table = Service<IIndexSectors>(s, "IIndexSectors");
  if (!table) return 2;
  const std::string sector = table->GetSectorByIndex(code);
  if (sector.empty()) return Unknown(s, "index", code);
  Line(s, "index", code);
  Line(s, "sector", sector);
  std::string indexes = table->GetIndexBySector(sector);
  if (!indexes.empty()) indexes.pop_back();  // the list ends with a comma
  Line(s, "indexes of the sector", indexes);
  return 0;
}

int ShowRelated(Session& s, const std::string& code) {
  auto related = Service<IRelatedSymbol>(s, "IRelatedSymbol");
  if (!related) return 2;
  // The table starts from the files and asks the cloud service for fresher relations: wait a moment
  // for them.
  bool fromCloud = false;
  const int listener = related->RegAfterLoadedCallBack([&](host::IInterface*) { fromCloud = true; });
  s.host.Loop().RunUntil([&] { return fromCloud; }, kCloudRelationsWait);
  related->UnRegAfterLoadedCallBack(listener);
  Line(s, "source",
       fromCloud ? "the cloud service"
                 : fmt::format("the files (no fresher relations from the cloud service within {} s)",
                               kCloudRelationsWait.count()));
  std::vector<std::string> all;
  related->GetRelatedSymbol(code, 0, all);
  if (all.empty()) return Unknown(s, "code", code);
  auto joined = [](const std::vector<std::string>& codes) { return fmt::format("{}", fmt::join(codes, " ")); };
  std::vector<std::string> shown;
  related->GetAllRelatedSymbol(code, shown);
  Line(s, "related (shown order)", joined(shown));
  static constexpr std::pair<int, const char*> kTypes[] = {{kRelationAH, "A/H pair"},
                                                           {kRelationConvertible, "convertible bond"},
                                                           {kRelationGroup, "group"},
                                                           {kRelationOther, "other listing"}};
  for (const auto& [type, label] : kTypes) {
    std::vector<std::string> codes;
    related->GetRelatedSymbol(code, type, codes);
    if (!codes.empty()) Line(s, label, joined(codes));
  }
  return 0;
}

// The number is the company's line in the table, as the fund fields carry it.
int ShowFundCompany(Session& s, const std::string& number) {
  auto table = Service<IFundManagementCompany>(s, "IFundManagementCompany");
  if (!table) return 2;
  const std::string company = table->GetFundCompany(ParseInt32(number).value_or(0));
  if (company.empty()) return Unknown(s, "fund company number", number);
  Line(s, "number", number);
  Line(s, "fund company", company);
  return 0;
}

int Convert(Session& s, const std::string& code, double amount) {
  auto manager = Service<ICurrencyManager>(s, "ICurrencyManager");
  if (!manager) return 2;
  if (!manager->GetCurrencyByCode(code)) return Unknown(s, "currency", code);
  fmt::print(s.out, "{} {} = {} CNY\n", FloatToText(amount), code, FloatToText(manager->ConvertToCny(code, amount)));
  return 0;
}

}  // namespace

void AddRefCommand(CLI::App& app, Action& chosen) {
  auto* ref = app.add_subcommand("ref", "look a code up in the CSV reference tables");
  ref->require_subcommand(1);

  using Show = int (*)(Session&, const std::string&);
  const std::pair<const char*, std::pair<const char*, Show>> lookups[] = {
      {"warrant", {"warrant terms of a warrant code, e.g. 13521.HK", ShowWarrant}},
      {"basic", {"brief fundamentals of a security, e.g. 600000.SH", ShowBasic}},
      {"currency", {"the CNY rate of a currency, e.g. USD", ShowCurrency}},
      {"index-sector", {"the sector of an index, e.g. 399001.SZ", ShowIndexSector}},
      {"related", {"the related securities of a code, e.g. 601318.SH", ShowRelated}},
      {"fund-company", {"the fund management company of a number (its line in the table), e.g. 3", ShowFundCompany}},
  };
  for (const auto& [name, entry] : lookups) {
    auto* sub = ref->add_subcommand(name, entry.first);
    auto code = std::make_shared<std::string>();
    sub->add_option("CODE", *code, "the code to look up")->required();
    sub->callback(
        [&chosen, code, show = entry.second] { chosen = [code, show](Session& s) { return show(s, *code); }; });
  }

  auto* convert = ref->add_subcommand("convert", "convert an amount of a currency to CNY");
  auto code = std::make_shared<std::string>();
  auto amount = std::make_shared<double>(0.0);
  convert->add_option("CODE", *code, "currency code, e.g. HKD")->required();
  convert->add_option("AMOUNT", *amount, "the amount to convert, 0 or more")
      ->required()
      ->check(FiniteNumber() & CLI::Validator(
                                   [](const std::string& text) {
                                     return host::ParseDouble(text).value_or(0) < 0
                                                ? text + " is a negative amount; give 0 or more"
                                                : std::string();
                                   },
                                   "AMOUNT >= 0"));
  convert->callback(
      [&chosen, code, amount] { chosen = [code, amount](Session& s) { return Convert(s, *code, *amount); }; });
}

}  // namespace kdp::app
