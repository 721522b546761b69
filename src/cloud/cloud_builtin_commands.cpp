#include "cloud/cloud_builtin_commands.h"

#include <span>
#include <string_view>

namespace kdp {
namespace {

// A run of consecutive field IDs, first to last inclusive; a single ID is a run of one.
struct TIndexRun {
  int first;
  int last;
};

struct TBuiltInCommand {
  int id;
  std::string_view command;
  std::string_view table;
  std::string_view codeParam;
  std::string_view secondParam;  // "" when none
  std::span<const TIndexRun> indexes;
  std::string_view description;
  std::string_view reportType = "";
};

// The index lists. Runs keep a value beside its companion fields (a fund's net value, its date and its
// change; a price and its yield), which is the order the pages show them in.
constexpr TIndexRun kFundInfo[] = {{10001, 10003}, {10489, 10490}, {10004, 10058}, {11357, 11357}};
constexpr TIndexRun kOrganizationEvaluation[] = {{10035, 10053}, {10395, 10395}};
constexpr TIndexRun kAStockBasic[] = {{10222, 10263}, {10374, 10374}};
constexpr TIndexRun kBondBasic[] = {{10222, 10261}, {10279, 10279}};
constexpr TIndexRun kHKStockBasic[] = {{10282, 10333}, {10381, 10381}};
constexpr TIndexRun kUSStockBasic[] = {{10328, 10365}, {10388, 10388}};
constexpr TIndexRun kUSTreasury[] = {{10222, 10222}, {10396, 10404}, {11348, 11348}};
constexpr TIndexRun kIssuerStatistics[] = {{10222, 10222}, {10445, 10484}, {10485, 10485}};
constexpr TIndexRun kFundTag[] = {{10499, 10515}, {11281, 11281}};
constexpr TIndexRun kFundRate[] = {{10516, 10527}};
constexpr TIndexRun kFundScale[] = {{10528, 10544}, {10654, 10654}};
constexpr TIndexRun kSameFundInfo[] = {{10545, 10565}, {10593, 10593}, {11355, 11355}};
constexpr TIndexRun kManagerInfo[] = {{10625, 10625}, {10566, 10592}, {10624, 10624}, {10651, 10651}};
constexpr TIndexRun kCompanyInfo[] = {{10626, 10626}, {10655, 10655}, {10594, 10615}};
constexpr TIndexRun kCompanyProduct[] = {{10627, 10650}};
constexpr TIndexRun kEvaluationInfo[] = {{11001, 11020}, {11025, 11025}};
constexpr TIndexRun kIndexKeyRatios[] = {{11028, 11048}};
constexpr TIndexRun kIndexRiskReturn[] = {{11049, 11096}, {11301, 11321}, {11322, 11322}};
constexpr TIndexRun kIndexVolatility[] = {{11097, 11144}, {11308, 11328}, {11329, 11329}};
constexpr TIndexRun kIndexCorrelation[] = {{11145, 11192}, {11315, 11335}, {11336, 11336}};
constexpr TIndexRun kEarningForecastNet[] = {{11195, 11212}};
constexpr TIndexRun kEarningForecastEps[] = {{11213, 11230}};
constexpr TIndexRun kEarningForecastPe[] = {{11231, 11248}};
constexpr TIndexRun kBankProductTag[] = {{10670, 10674}};
constexpr TIndexRun kBankProductBasic[] = {{10675, 10705}};
constexpr TIndexRun kETFNav[] = {{10706, 10707}};
constexpr TIndexRun kETFPurchaseRedeem[] = {{10708, 10713}};
constexpr TIndexRun kETFShareInflows[] = {{10714, 10736}};
constexpr TIndexRun kETFBaseInfo[] = {{10737, 10746}};
constexpr TIndexRun kFeatureInfo[] = {{11313, 11315}};

constexpr TBuiltInCommand kBuiltInCommands[] = {
    {1, "report name=F5.Handicap.FundInfo21", "IndexConfig1", "koraCode", "", kFundInfo,
     "基金走势页面右边盘口信息报表请求命令"},
    {2,
     "report name=B1.BQ.OrganizationEvaluation3 types=0,1,2,3,4 "
     "showcolumnname=name,koraCode,date,price,yield,priceType,chinaBondValueFlag",
     "IndexConfig2", "KoraCodes", "", kOrganizationEvaluation, "债券机构估值报表请求命令"},
    {3, "report name=Misc.F5SpeedBasic3", "IndexConfig3", "koraCode", "", kAStockBasic, "A股盘口基本信息报表请求命令"},
    {4, "report name=Bond.SpecialReport.F5BasicInfoEx", "IndexConfig6", "koraCode", "", kBondBasic,
     "债券盘口基本信息报表请求命令"},
    {5, "report name=F9.Stock.MarketData.HKF5SpeedBasic2", "IndexConfig7", "koraCode", "", kHKStockBasic,
     "港股盘口基本信息报表请求命令"},
    {6, "report name=F9.Stock.MarketData.USF5SpeedBasic2", "IndexConfig8", "koraCode", "", kUSStockBasic,
     "美股盘口基本信息报表请求命令"},
    {7, "report name=Bond.SpecialReport.USTHistoryDataAnalysis", "IndexConfig9", "koraCode", "", kUSTreasury,
     "美国国债历史数据分析报表请求命令"},
    {8, "report name=Bond.SpecialReport.NCDCompanyBasicInfoAndIssueStatistics", "IndexConfig10", "koraCode", "",
     kIssuerStatistics, "同业存单发行人基本信息及发行统计报表请求命令"},
    {9, "report name=F5.Handicap.FundTag21", "IndexConfig11", "koraCode", "lan", kFundTag, "基金标签报表请求命令"},
    {10, "report name=F5.Fundamental.FundRateByKoraCode21", "IndexConfig12", "koraCode", "lan", kFundRate,
     "基金费率报表请求命令"},
    {11, "report name=F5.Fundamental.FundScaleByKoraCode21", "IndexConfig13", "koraCode", "", kFundScale,
     "基金规模报表请求命令"},
    {12, "report name=F5.Fundamental.SamFundInfo21", "IndexConfig14", "koraCode", "", kSameFundInfo,
     "同类基金信息报表请求命令"},
    {13, "report name=F5.Fundamental.FundManager.ManagerInfoByKoraCode21 type=[1]", "IndexConfig15", "koraCode", "",
     kManagerInfo, "基金经理信息报表请求命令"},
    {14, "report name=F5.Fundamental.FundCompany.CompanyInfoByKoraCode21", "IndexConfig16", "koraCode", "",
     kCompanyInfo, "基金公司信息报表请求命令"},
    {15, "report name=F5.Fundamental.FundCompany.CompanyProductStructure21 sort=[3=desc]", "IndexConfig17", "koraCode",
     "", kCompanyProduct, "基金公司产品结构报表请求命令"},
    {16, "report name=F5.EvaluationInfo", "F5EvaluationInfo", "KoraCode", "", kEvaluationInfo, "估值信息报表请求命令"},
    {17, "report name=F5.IndexKeyRatios", "F5IndexKeyRatios", "KoraCode", "kcb", kIndexKeyRatios,
     "指数关键指标报表请求命令"},
    {18, "report name=F5.IndexRiskReturn20", "F5IndexRiskReturn", "KoraCode", "lan", kIndexRiskReturn,
     "指数风险收益报表请求命令"},
    {19, "report name=F5.IndexVolatility20", "F5IndexVolatility", "KoraCode", "lan", kIndexVolatility,
     "指数波动率报表请求命令"},
    {20, "report name=F5.IndexCorrelation20", "F5IndexCorrelation", "KoraCode", "lan", kIndexCorrelation,
     "指数相关性报表请求命令"},
    {21, "report name=F5.EarningForecast type=[1]", "F5EarningForecastNet", "KoraCode", "", kEarningForecastNet,
     "一致预期净利润报表请求命令"},
    {22, "report name=F5.EarningForecast type=[2]", "F5EarningForecastEps", "KoraCode", "", kEarningForecastEps,
     "一致预期每股收益报表请求命令"},
    {23, "report name=F5.EarningForecast type=[3]", "F5EarningForecastPe", "KoraCode", "", kEarningForecastPe,
     "一致预期市盈率报表请求命令"},
    {24, "report name=F5.BankFinancing.BankProductTag21", "BankProductTag", "KoraCode", "lan", kBankProductTag,
     "银行理财产品标签报表请求命令"},
    {25, "report name=F5.BankFinancing.NetValuePerformanceAndBasicInfo21", "BankProductBasicInfo", "KoraCode", "lan",
     kBankProductBasic, "银行理财产品净值表现及基本信息报表请求命令"},
    {26, "report name=F5.ETF.ETFNAVFund21", "ETFNAVFund", "KoraCode", "", kETFNav, "ETF基金净值报表请求命令"},
    {27,
     "report name=Fund.SpecialReport.ETFRepurchasingRedeemAndStockIngredientInfo22 startDate=20190910 "
     "endDate=20190910 latest=[0] "
     "showcolumnname=[_koraCode,_estimating,_minNetUnit,_cashInsteadingMax,_minUnit,_permissionStatus]",
     "ETFPR", "KoraCode", "", kETFPurchaseRedeem, "ETF申购赎回及成分股信息报表请求命令", "rtPR"},
    {28, "report name=F5.ETF.ETFShareInflows21", "ETFShareInflows", "KoraCode", "endDate", kETFShareInflows,
     "ETF份额流入报表请求命令"},
    {29, "report name=F5.ETF.BaseInfoOfETFFund21", "ETFBaseInfo", "KoraCode", "endDate", kETFBaseInfo,
     "ETF基金基本信息报表请求命令"},
    {30, "report name=F5.FeatureInfo", "FeatureInfo", "KoraCode", "lan", kFeatureInfo, "特色信息报表请求命令"},
};

std::unique_ptr<TKrCloudCommandItem> MakeFunctionSet(int id, bool matrix, std::string table, std::string description) {
  auto item = std::make_unique<TKrCloudCommandItem>();
  item->ID = id;
  item->IsMatrix = matrix;
  item->IsRequest = matrix;
  item->Command = "Matrix2 functions";
  item->Description = std::move(description);
  item->CodeParamName = "KoraCode";
  item->SecondParamName = "lan";
  item->IsMultiCode = true;
  item->AddParam("KoraCode", "");
  item->AddParam("lan", "");
  item->TableName = std::move(table);
  return item;
}

}  // namespace

std::vector<std::unique_ptr<TKrCloudCommandItem>> MakeBuiltInCloudCommands() {
  std::vector<std::unique_ptr<TKrCloudCommandItem>> items;
  for (const auto& row : kBuiltInCommands) {
    auto item = std::make_unique<TKrCloudCommandItem>();
    item->ID = row.id;
    item->Command = row.command;
    item->Description = row.description;
    item->ReportType = row.reportType;
    item->CodeParamName = row.codeParam;
    item->IsMultiCode = row.codeParam == "KoraCodes";
    item->AddParam(std::string(row.codeParam), "");
    if (!row.secondParam.empty()) {
      item->SecondParamName = row.secondParam;
      item->AddParam(std::string(row.secondParam), "");
    }
    for (const auto& run : row.indexes)
      for (int id = run.first; id <= run.last; ++id) item->IndexIDs.push_back(id);
    item->TableName = row.table;
    items.push_back(std::move(item));
  }
  items.push_back(MakeFunctionSet(kMatrixFunctionCommandID, true, "IndexConfig4", "矩阵函数指标请求命令"));
  items.push_back(MakeFunctionSet(kKssFunctionCommandID, false, "IndexConfig5", "KSS函数指标请求命令"));
  return items;
}

}  // namespace kdp
