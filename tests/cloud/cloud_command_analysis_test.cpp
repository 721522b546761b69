#include "cloud/cloud_command_analysis.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "cloud/cloud_builtin_commands.h"
#include "config_files.h"
#include "fixed_calendar.h"

namespace kdp::testing {
namespace {

TEST(CloudCommandAnalysisTest, SampleReportsLoadWithTheirCommandsAndTables) {
  TestHost h;
  TKrCloudCommandAnalysis analysis(nullptr);
  analysis.LoadConfig();
  EXPECT_EQ(analysis.GetReportNames(),
            "BondIssuePlan,BondWeekReport,CLOUD_HQ_RELATED_SYMBOLS,CompanyNotice,ETFPurchaseList,FundNetValueHistory,"
            "FundRankList,HighDividendSector");

  const auto* history = analysis.GetReportItem("fundnetvaluehistory");
  ASSERT_NE(history, nullptr);
  EXPECT_EQ(history->ReportType, TCloudReportType::rtKudsReportLux);
  // The comment between two parameters is no parameter.
  EXPECT_EQ(history->GetParamNames(), "koraCode,startDate,endDate");
  EXPECT_EQ(history->GetRequestCmd({"CHS", FixedCalendar({}, 20261204)}),
            "report name=F5.Fundamental.FundNetValueHistory21 koraCode=510300.SH startDate=20261101 endDate=20261130");
  // Nothing else reads the indexes, nor the drop flag of a table that appends.
  EXPECT_EQ(history->Table.Indexs, (std::vector<std::string>{"KoraCode", "TradeDate"}));
  EXPECT_FALSE(history->Table.bDrop);

  const auto* notice = analysis.GetReportItem("CompanyNotice");
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->ReportType, TCloudReportType::rtLux);
  EXPECT_EQ(notice->GetRequestCmd({"CHS", FixedCalendar({}, 20261204)}),
            R"({"report":"Stock.NoticeDigest","koraCode":"600000.SH","date":"20261204"})");

  // rtPR reports and reports of no type do not read a command.
  EXPECT_TRUE(analysis.GetReportItem("ETFPurchaseList")->Command.empty());
  EXPECT_TRUE(analysis.GetReportItem("HighDividendSector")->Command.empty());

  EXPECT_FALSE(analysis.IsCloudSector("FundRankList"));
  EXPECT_EQ(analysis.GetReportItem("NoSuchReport"), nullptr);
}

TEST(CloudCommandAnalysisTest, ConfigurationFaultsSkipReportsOrLoadNothing) {
  TestHost h;
  ScratchDir dir;
  TKrCloudCommandAnalysis analysis(nullptr);
  WriteTextFile(dir.File("a.xml"), R"xml(<?xml version="1.0" encoding="UTF-8"?>
<CloudReports>
  <Report Name="Good" ReportType="rtksv"><Command name="'A'"/><Table name="T1"><F name="Code"/></Table></Report>
  <Report Name="Shared" ReportType="rtksv"><Command name="'B'"/><Table name="t1"><F name="Code"/></Table></Report>
  <Report Name="Injected"><Table name="T2;DROP TABLE T1"><F name="Code"/></Table></Report>
  <Report Name="BadField"><Table name="T3"><F name="Code) ; --"/></Table></Report>
  <Report Name="BadKey"><Table name="T4" MainKey="PRIMARY KEY(A); DROP TABLE T1"><F name="A"/></Table></Report>
  <Report Name="NoTable" ReportType="rtksv"><Command name="'C'"/></Report>
  <Report ReportType="rtksv"><Table name="T5"><F name="A"/></Table></Report>
  <Report Name="Good" ReportType="rtKSD"><Command name="KSD()"/><Table name="T6"><F name="A"/></Table></Report>
</CloudReports>)xml");
  analysis.AnalysisReportConfig(dir.File("a.xml"));
  EXPECT_EQ(analysis.GetReportNames(), "Good,Shared");
  // A later report of the same name replaces the earlier.
  EXPECT_EQ(analysis.GetReportItem("Good")->ReportType, TCloudReportType::rtKSD);
  for (const char* fragment : {"report \"Injected\" skipped", "report \"BadField\" skipped",
                               "report \"BadKey\" skipped", "report \"NoTable\" skipped", "report \"\" skipped"}) {
    SCOPED_TRACE(fragment);
    EXPECT_TRUE(h->Logger().Contains(fragment));
  }

  // Reports naming one table (in any case) share its lock; another table has its own.
  auto added = std::make_unique<TKrCloudReportItem>();
  added->Name = "Dynamic";
  added->Table.Name = "T1";
  analysis.DynamicAddReportItem(std::move(added));
  EXPECT_EQ(analysis.GetReportItem("Dynamic")->Table.Lock, analysis.GetReportItem("Shared")->Table.Lock);
  EXPECT_NE(analysis.GetReportItem("Good")->Table.Lock, analysis.GetReportItem("Shared")->Table.Lock);

  // A file that is not there is logged and loads nothing.
  analysis.AnalysisReportConfig(dir.File("missing.xml"));
  EXPECT_TRUE(h->Logger().Contains("The file is not Exsit: CloudReportConfig.xml!"));
  TKrCloudCommandAnalysis empty(nullptr);
  empty.AnalysisReportConfig(dir.File("missing.xml"));
  EXPECT_EQ(empty.GetReportNames(), "");
}

// The built-in commands 1 to 30: each has a table of its own and a list of distinct cloud fields. (Which
// fields a command lists, in what order, and that a value asked again replaces the first in its table, are
// read back where requests of that command are answered.)
TEST(CloudCommandAnalysisTest, BuiltInCommandsHaveTablesOfTheirOwnAndDistinctCloudFields) {
  TestHost h;
  ScratchDir dir;
  auto db = host::OpenDB(dir.File("c.db"));
  TKrCloudCommandAnalysis analysis(db);
  analysis.LoadCloudIndexConfig();
  std::set<std::string> tables;
  for (int id = 1; id <= 30; ++id) {
    SCOPED_TRACE("command " + std::to_string(id));
    const auto* item = analysis.GetCommandItemByID(id);
    ASSERT_NE(item, nullptr);
    ASSERT_FALSE(item->IndexIDs.empty());
    EXPECT_EQ(std::set<int>(item->IndexIDs.begin(), item->IndexIDs.end()).size(), item->IndexIDs.size())
        << "an ID twice";
    for (const int field : item->IndexIDs) ASSERT_TRUE(field >= 10001 && field <= 20000) << field;
    EXPECT_TRUE(tables.insert(item->TableName).second) << item->TableName << " twice";
    EXPECT_TRUE(db->TableExists(item->TableName));
    EXPECT_FALSE(item->IsNeedIndex());
    EXPECT_EQ(item->ServerAlia, "KUDSDATASERVER");
  }
  for (const int id : {kMatrixFunctionCommandID, kKssFunctionCommandID}) {
    const auto* item = analysis.GetCommandItemByID(id);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->IndexIDs.empty());
    EXPECT_TRUE(item->IsNeedIndex());
    EXPECT_EQ(item->Params.GetParamNames(), "KoraCode,lan");
  }
  EXPECT_TRUE(db->TableExists("IndexConfig4"));
  EXPECT_TRUE(db->TableExists("IndexConfig5"));
  EXPECT_EQ(analysis.GetCommandItemByID(31), nullptr);
}

TEST(CloudCommandAnalysisTest, CommandRequestTexts) {
  TestHost h;
  TKrCloudCommandAnalysis analysis(nullptr);
  analysis.LoadCloudIndexConfig();
  // Server on Friday 2026-12-04; 600000.SH trades on weekdays.
  const FixedCalendar calendar(*host::DateTime::FromYyyymmddHhmmss(20261204, 103000), 20261204,
                               Weekdays(20261101, 20261231), {"600000.SH"});
  const TCloudRequestContext chinese{"CHS", calendar}, english{"ENS", calendar};

  auto keyRatios = analysis.GetCommandItemByID(17)->Colne();
  keyRatios->SetParamValue("KoraCode", "000688.SH");
  keyRatios->SetParamValue("kcb", "1");
  EXPECT_EQ(keyRatios->GetRequestCmd(chinese), "report name=F5.IndexKeyRatios KoraCode=000688.SH kcb=1");
  EXPECT_EQ(keyRatios->GetRequestCmd(english), "report name=F5.IndexKeyRatios lan=en KoraCode=000688.SH kcb=1");
  // The copy has its own parameters.
  EXPECT_EQ(analysis.GetCommandItemByID(17)->GetParamValue("KoraCode"), "");

  auto matrix = analysis.GetCommandItemByID(kMatrixFunctionCommandID)->Colne();
  matrix->SetParamValue("KoraCode", "600000.SH,000001.SZ");
  matrix->SetParamValue("lan", "cn");
  for (const int id : {11401, 11402, 11403, 11404, 11405, 11406}) matrix->AppendMatrixIndex(id);
  EXPECT_EQ(matrix->GetRequestCmd(chinese),
            "Matrix2 functions=s_pq_pctchange(KoraCode,20261123,20261129);s_pq_pctchange(KoraCode,20261201,20261204);"
            "s_pq_pctchange(KoraCode,20260701,20260930);s_dq_close(KoraCode,20261203);"
            "s_dq_turn(KoraCode,20261127);s_fa_netprofit(KoraCode,20251231) KoraCode=600000.SH,000001.SZ lan=cn");
  // A field without a matrix function cannot be asked for: nothing is sent.
  matrix->AppendMatrixIndex(11421);
  EXPECT_EQ(matrix->GetRequestCmd(chinese), "");
  matrix->ClearMatrixIndex();
  EXPECT_EQ(matrix->GetCurRequestFields(), "");

  auto kss = analysis.GetCommandItemByID(kKssFunctionCommandID)->Colne();
  for (const int id : {11421, 11422, 11401}) kss->AppendMatrixIndex(id);
  EXPECT_EQ(kss->GetRequestCmd(chinese), "") << "no codes";
  kss->SetParamValue("KoraCode", "600000.SH,000001.SZ");
  EXPECT_EQ(kss->GetRequestCmd(chinese),
            "KSS('600000.SH,000001.SZ','s_dq_close(KoraCode),s_val_mv(KoraCode)','tradeDate=20261204','priceAdj=1')");
  EXPECT_EQ(kss->GetRequestCmd(english),
            "KSS('600000.SH,000001.SZ','s_dq_close(KoraCode),s_val_mv(KoraCode)',"
            "'tradeDate=20261204','priceAdj=1','lan=en')");
}

}  // namespace
}  // namespace kdp::testing
