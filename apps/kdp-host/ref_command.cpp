// kdp-host ref warrant|basic|currency|index-sector|related CODE, ref fund-company NUMBER, and ref convert
// CODE AMOUNT: the answers of the CSV reference tables, looked up by name as a widget does (the first
// look-up creates the service).
#include <algorithm>
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

void Line(Session& s, const Texts& label, const std::string& value) { s.out << LabelLine(s, label, value, 22); }

// The labels of the tables' answers.
constexpr Texts kWarrant{"权证", "權證", "warrant"};
constexpr Texts kUnderlying{"标的证券", "標的證券", "underlying"};
constexpr Texts kDaysRemaining{"剩余天数", "剩餘天數", "days remaining"};
constexpr Texts kInitialVolume{"初始发行量", "初始發行量", "initial volume"};
constexpr Texts kVolumeRemaining{"剩余数量", "剩餘數量", "volume remaining"};
constexpr Texts kMemo{"备注", "備註", "memo"};
constexpr Texts kLastTradeDate{"最后交易日", "最後交易日", "last trade date"};
constexpr Texts kExpiryDate{"到期日", "到期日", "expiry date"};
constexpr Texts kExerciseRatio{"行权比例", "行使比率", "exercise ratio"};
constexpr Texts kExercisePrice{"行权价", "行使價", "exercise price"};
constexpr Texts kPreviousClose{"昨收价", "昨收價", "previous close"};
constexpr Texts kMaximumPrice{"最高价", "最高價", "maximum price"};
constexpr Texts kMinimumPrice{"最低价", "最低價", "minimum price"};
constexpr Texts kListedShares{"流通股本", "流通股本", "listed shares"};
constexpr Texts kCapitalStock{"总股本", "總股本", "capital stock"};
constexpr Texts kEPS{"每股收益", "每股盈餘", "EPS"};
constexpr Texts kEPSLastYear{"每股收益（上年）", "每股盈餘（上年）", "EPS (LYR)"};
constexpr Texts kEPSProjected{"预测每股收益", "預測每股盈餘", "EPS projected"};
constexpr Texts kNetAssetPerShare{"每股净资产", "每股淨值", "net asset per share"};
constexpr Texts kAverageVolume{"5日均量", "5日均量", "5-day average volume"};
constexpr Texts kLastReportDate{"最近报告期", "最近報告期", "last report date"};
constexpr Texts kAnnualReportYear{"最近年报年度", "最近年報年度", "annual report year"};
constexpr Texts kCNYPerUnit{"折合人民币", "折合人民幣", "CNY per unit"};
constexpr Texts kIndex{"指数", "指數", "index"};
constexpr Texts kSector{"板块", "板塊", "sector"};
constexpr Texts kSectorIndexes{"板块指数", "板塊指數", "indexes of the sector"};
constexpr Texts kSource{"来源", "來源", "source"};
constexpr Texts kFromCloud{"云服务", "雲端服務", "the cloud service"};
constexpr Texts kFromFiles{"本地文件（{} 秒内云服务未提供更新的关联）", "本機檔案（{} 秒內雲端服務未提供更新的關聯）",
                           "the files (no fresher relations from the cloud service within {} s)"};
constexpr Texts kRelatedShown{"关联证券（显示顺序）", "關聯證券（顯示順序）", "related (shown order)"};
constexpr Texts kNumber{"编号", "編號", "number"};
constexpr Texts kFundCompany{"基金公司", "基金公司", "fund company"};

int Unknown(Session& s, std::string_view what, const std::string& code) {
  fmt::print(s.err, "kdp-host: {} {} is not in the table\n", what, code);
  return 1;
}

// One value of an answer: its key for scripts, its label for people, the raw value scripts read and the
// text a person reads.
struct Item {
  const char* key;
  Texts label;
  nlohmann::json value;
  std::string text;
};

Item Words(const char* key, const Texts& label, const std::string& text) { return {key, label, text, text}; }
Item Number(const char* key, const Texts& label, double value) { return {key, label, value, FloatToText(value)}; }
Item Whole(const char* key, const Texts& label, std::int64_t value) {
  return {key, label, value, std::to_string(value)};
}
// A yyyymmdd date; null for scripts when the table has none (0 or empty).
Item Date(const char* key, const Texts& label, const std::string& yyyymmdd) {
  const bool none = yyyymmdd.empty() || yyyymmdd == "0";
  return {key, label, none ? nlohmann::json() : nlohmann::json(IsoDate(yyyymmdd)), DateText(yyyymmdd)};
}

// A labelled line per item, or under --format json|csv one row keyed by the items' keys.
int Show(Session& s, const std::vector<Item>& items) {
  if (s.format == OutputFormat::Table) {
    for (const Item& item : items) Line(s, item.label, item.text);
    return 0;
  }
  Listing listing{{}, {{}}};
  for (const Item& item : items) {
    listing.columns.emplace_back(item.key);
    listing.rows.front().push_back(item.value);
  }
  WriteListing(s.out, s.terminal, listing, s.format);
  return 0;
}

int ShowWarrant(Session& s, const std::string& code) {
  auto manager = Service<IWarrantManager>(s, "IWarrantManager");
  if (!manager) return 2;
  auto w = manager->GetItemByCode(code);
  if (!w) return Unknown(s, "warrant", code);
  return Show(
      s, {Words("code", kWarrant, w->GetWarrantCode()), Words("underlying", kUnderlying, w->GetStockCode()),
          Whole("days_remaining", kDaysRemaining, w->GetDaysRemain()),
          Whole("initial_volume", kInitialVolume, w->GetInitialVolume()),
          Whole("volume_remaining", kVolumeRemaining, w->GetVolumeRemain()), Words("memo", kMemo, w->GetMemo()),
          Date("last_trade_date", kLastTradeDate, w->GetLastTradeDate()),
          Date("expiry_date", kExpiryDate, w->GetExpireDate()),
          Number("exercise_ratio", kExerciseRatio, w->GetExerciseRatio()),
          Number("exercise_price", kExercisePrice, w->GetExercisePrice()),
          Number("prev_close", kPreviousClose, w->GetPreClose()), Number("max_price", kMaximumPrice, w->GetMaxPrice()),
          Number("min_price", kMinimumPrice, w->GetMinPrice())});
}

int ShowBasic(Session& s, const std::string& code) {
  auto manager = Service<ISecurityBasicManager>(s, "ISecurityBasicManager");
  if (!manager) return 2;
  auto b = manager->GetSecurityBasic(code);
  if (!b) return Unknown(s, "security", code);
  return Show(
      s, {Words("code", words::kCode, b->GetKoraCode()), Number("listed_shares", kListedShares, b->GetListedStock()),
          Number("capital_stock", kCapitalStock, b->GetCaptilStock()), Number("eps", kEPS, b->GetEarningPerShare()),
          Number("eps_lyr", kEPSLastYear, b->GetEarningPerShareLYR()),
          Number("eps_projected", kEPSProjected, b->GetEPSProjected()),
          Number("net_asset_per_share", kNetAssetPerShare, b->GetNetAssetPerShare()),
          Number("average_volume_5d", kAverageVolume, b->GetLatest5AV()),
          Date("last_report_date", kLastReportDate, std::to_string(b->GetLastReportDate())),
          Whole("annual_report_year", kAnnualReportYear, b->GetLatestAnnualReportYear())});
}

int ShowCurrency(Session& s, const std::string& code) {
  auto manager = Service<ICurrencyManager>(s, "ICurrencyManager");
  if (!manager) return 2;
  auto c = manager->GetCurrencyByCode(code);
  if (!c) return Unknown(s, "currency", code);
  return Show(s, {Words("code", words::kCode, c->GetCode()), Words("name", words::kName, c->GetName()),
                  Number("cny_per_unit", kCNYPerUnit, c->GetRate())});
}

int ShowIndexSector(Session& s, const std::string& code) {
  auto table = Service<IIndexSectors>(s, "IIndexSectors");
  if (!table) return 2;
  const std::string sector = table->GetSectorByIndex(code);
  if (sector.empty()) return Unknown(s, "index", code);
  std::string indexes = table->GetIndexBySector(sector);
  if (!indexes.empty()) indexes.pop_back();  // the list ends with a comma
  return Show(s, {Words("code", kIndex, code), Words("sector", kSector, sector),
                  Words("sector_indexes", kSectorIndexes, indexes)});
}

struct Relation {
  int type;
  const char* key;
  Texts label;
};
constexpr Relation kRelations[] = {{kRelationAH, "ah", {"A/H 股", "A/H 股", "A/H pair"}},
                                   {kRelationConvertible, "convertible", {"可转债", "可轉債", "convertible bond"}},
                                   {kRelationGroup, "group", {"同集团", "同集團", "group"}},
                                   {kRelationOther, "other", {"其他上市地", "其他上市地", "other listing"}}};

// For scripts a row per related code and kind of relation, with its place in the shown order (from 1;
// null when it is not shown).
int ListRelated(Session& s, IRelatedSymbol& related, const std::string& code, bool fromCloud,
                const std::vector<std::string>& shown) {
  Listing listing{{"code", "related_code", "relation", "shown_order", "source"}, {}};
  for (const Relation& relation : kRelations) {
    std::vector<std::string> codes;
    related.GetRelatedSymbol(code, relation.type, codes);
    for (const std::string& other : codes) {
      const auto at = std::find(shown.begin(), shown.end(), other);
      const nlohmann::json order = at == shown.end() ? nlohmann::json() : nlohmann::json(at - shown.begin() + 1);
      listing.rows.push_back({code, other, relation.key, order, fromCloud ? "cloud" : "files"});
    }
  }
  WriteListing(s.out, s.terminal, listing, s.format);
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
  std::vector<std::string> all;
  related->GetRelatedSymbol(code, 0, all);
  std::vector<std::string> shown;
  related->GetAllRelatedSymbol(code, shown);
  if (s.format != OutputFormat::Table) {
    if (all.empty()) return Unknown(s, "code", code);
    return ListRelated(s, *related, code, fromCloud, shown);
  }
  Line(s, kSource, fromCloud ? Text(s, kFromCloud) : TextFormat(s, kFromFiles, kCloudRelationsWait.count()));
  if (all.empty()) return Unknown(s, "code", code);
  auto joined = [](const std::vector<std::string>& codes) { return fmt::format("{}", fmt::join(codes, " ")); };
  Line(s, kRelatedShown, joined(shown));
  for (const Relation& relation : kRelations) {
    std::vector<std::string> codes;
    related->GetRelatedSymbol(code, relation.type, codes);
    if (!codes.empty()) Line(s, relation.label, joined(codes));
  }
  return 0;
}

// The number is the company's line in the table, as the fund fields carry it.
int ShowFundCompany(Session& s, const std::string& number) {
  auto table = Service<IFundManagementCompany>(s, "IFundManagementCompany");
  if (!table) return 2;
  const int line = ParseInt32(number).value_or(0);
  const std::string company = table->GetFundCompany(line);
  if (company.empty()) return Unknown(s, "fund company number", number);
  return Show(s, {{"number", kNumber, line, number}, Words("fund_company", kFundCompany, company)});
}

int Convert(Session& s, const std::string& code, double amount) {
  auto manager = Service<ICurrencyManager>(s, "ICurrencyManager");
  if (!manager) return 2;
  if (!manager->GetCurrencyByCode(code)) return Unknown(s, "currency", code);
  const double cny = manager->ConvertToCny(code, amount);
  if (s.format != OutputFormat::Table) {
    WriteListing(s.out, s.terminal, {{"code", "amount", "cny"}, {{code, amount, RawNumber(cny)}}}, s.format);
    return 0;
  }
  fmt::print(s.out, "{} {} = {} CNY\n", FloatToText(amount), code, FloatToText(cny));
  return 0;
}

}  // namespace

void AddRefCommand(CLI::App& app, Action& chosen) {
  auto* ref = app.add_subcommand("ref", "look a code up in the CSV reference tables");
  ref->require_subcommand(1);
  ref->footer(
      "Under --format json|csv: one row of raw values keyed for scripts (warrant, basic, currency, "
      "index-sector, fund-company, convert), or a row per related code and relation (related). "
      "E.g. kdp-host ref warrant 13521.HK; kdp-host --format json ref related 601318.SH");

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
