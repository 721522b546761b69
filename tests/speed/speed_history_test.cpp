// The quote engine's history commands: the description file, the parameter wrappers, the reply parsers
// (the quote rows' too) and the providers, end to end through the stand-in engine.
#include <condition_variable>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "kdp/host/data_table.h"
#include "kdp/speed/speed_history_providers.h"
#include "kdp/speed/speed_quote_data.h"
#include "kdp/speed/speed_request_config.h"
#include "scripted_speed.h"
#include "sim_speed.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using testing::TestHost;
using Table = std::shared_ptr<host::TDataTable>;

TEST(SpeedRequestConfigTest, CommentsSharedReqIDsAndNonNumericIDs) {
  testing::TestHost h;
  const std::string dir = testing::MakeTempDir();
  std::ofstream(dir + "/HisDataReqCfg.xml") << R"(<?xml version="1.0"?>
<Cfg>
  <!-- a comment between commands is no command -->
  <A CmdID="3040" ReqID="3040" ReqType="Rank" ServerID="S1" DependID="D" Description="rank">
    <RequestParam><P key="SectorName" field="sector" type="string"/><!-- gap --><P key="LinesNumber" field="top" type="int"/></RequestParam>
  </A>
  <B CmdID="3041" ReqID="3040" Description="shares the ReqID">
    <RequestParam><P key="old"/></RequestParam>
    <RequestParam><P key="new1"/><P key="new2"/></RequestParam>
  </B>
  <C CmdID="97Fix" ReqID="abc"/>
</Cfg>)";
  TKrSpeedReqParamAnalyse config(dir + "/HisDataReqCfg.xml");
  const TKrIndicatorParam* rank = config.GetIndicatorParamsByCmdID("3040");
  ASSERT_NE(rank, nullptr);
  ASSERT_EQ(rank->GetParamCount(), 3);
  EXPECT_EQ(rank->GetParameterByID(1).key, "");  // the comment keeps its place
  EXPECT_EQ(rank->GetParameterByID(2).field, "top");
  EXPECT_EQ(rank->GetParamFieldByKey("SectorName"), "sector");
  EXPECT_EQ(rank->GetParamKeyByField("top"), "LinesNumber");
  EXPECT_EQ(rank->GetParamKeyByField("nothing"), "");
  EXPECT_EQ(rank->GetServerID(), "S1");
  EXPECT_EQ(rank->GetParameterByID(7).key, "");

  // The later command with the same ReqID wins by ReqID; both stay reachable by CmdID.
  EXPECT_EQ(config.GetCmdIDByReqID(3040), "3041");
  EXPECT_EQ(config.GetReqIDByCmdID("3040"), "3040");
  EXPECT_EQ(config.GetIndicatorParamsByCmdID("3041")->GetParamCount(), 2);  // the later list replaced
  EXPECT_EQ(config.GetCmdIDByReqID(0), "97Fix");                            // "abc" files under 0
  EXPECT_EQ(config.GetIndicatorParamsByCmdID("missing"), nullptr);
  EXPECT_EQ(config.GetReqIDByCmdID("missing"), "");

  TKrSpeedReqParamAnalyse missing(dir + "/none.xml");
  EXPECT_EQ(missing.GetIndicatorParamsByReqID(3040), nullptr);
  EXPECT_TRUE(h->Logger().Contains("LoadSpeedProtocolConfigure HisDataReqCfg.xml 不存在!"));

  TKrSpeedReqParamAnalyse shipped;  // the sample configuration
  EXPECT_EQ(shipped.GetCmdIDByReqID(97), "97Fix");
  EXPECT_EQ(shipped.GetIndicatorParamsByCmdID("3050")->GetParamCount(), 6);
  std::filesystem::remove_all(dir);
}

TEST(SpeedRequestParamsTest, IntegersTravelAsTextAndUnsetKeysReadZero) {
  TestHost h;
  std::shared_ptr<host::IParamSerialSet> set;
  auto request = h->Speed()->CreateDataRequest(std::make_shared<TKrHQSpeedObserver>());
  ASSERT_EQ(request->GetParamSerialSet(3050, set), 1);
  TKrSpeedReqParamCmdID3050 params(set);
  EXPECT_EQ(params.GetSortID(), 0);
  EXPECT_EQ(params.GetKoraCodeList(), "");
  params.SetSortID(81);
  params.SetFlag(-2);
  EXPECT_EQ(set->GetValue("SortID"), "81");
  EXPECT_EQ(params.GetFlag(), -2);
  set->SetValue("BondPriceType", "not a number");
  EXPECT_EQ(params.GetBondPriceType(), 0);
  params.ReSet();
  EXPECT_EQ(params.GetSortID(), 0);
  TKrSpeedReqParamCmdID97Fix detached(nullptr);
  detached.SetStartTime(930);  // a wrapper without a set ignores writes
  EXPECT_EQ(detached.GetStartTime(), 0);
}

Table MakeTable(std::initializer_list<std::pair<const char*, const char*>> fields) {
  auto t = std::make_shared<host::TDataTable>();
  for (const auto& [name, type] : fields) t->AddField(name, type);
  return t;
}

std::shared_ptr<host::IDataSet> Packets(std::vector<std::pair<Table, Table>> packets) {
  auto reply = MakeTable({{"Header", "dataset"}, {"Body", "dataset"}});
  for (auto& [header, body] : packets) {
    const int r = reply->AddRow();
    if (header) reply->Set(r, 0, std::shared_ptr<host::IDataSet>(header));
    if (body) reply->Set(r, 1, std::shared_ptr<host::IDataSet>(body));
  }
  return reply;
}

TEST(SpeedReplyParsersTest, BadLayoutsGiveEmptyWrappers) {
  // 3040: a sector row whose chart items table is missing, and a chart items table with a wrongly typed
  // column.
  auto items = MakeTable({{"KoraCode", "string"}, {"NewValue", "string"}, {"PreValue", "double"}, {"Value", "double"}});
  items->Set(items->AddRow(), 0, std::string("600000.SH"));
  auto charts = MakeTable({{"Index", "int"}, {"chartItemNum", "int"}, {"ChartItems", "dataset"}});
  charts->Set(charts->AddRow(), 2, std::shared_ptr<host::IDataSet>(items));
  charts->AddRow();  // no nested table at all
  auto body =
      MakeTable({{"ModleID", "int"}, {"SectorName", "string"}, {"SectorChartItemNum", "int"}, {"Items", "dataset"}});
  body->Set(body->AddRow(), 3, std::shared_ptr<host::IDataSet>(charts));
  body->AddRow();
  auto header = MakeTable({{"Id", "int"}});  // too few columns
  header->AddRow();
  const TKrSpeedDataSetParseCmdID3040 ranking(Packets({{header, body}, {nullptr, nullptr}}));
  ASSERT_EQ(ranking.GetRowCount(), 2);
  EXPECT_EQ(ranking.GetBasicInfo(0).GetRowCount(), 0);
  EXPECT_EQ(ranking.GetBasicInfo(0).GetPacketID(0), 0);
  const auto& sectors = ranking.GetPrimaryInfo(0);
  ASSERT_EQ(sectors.GetRowCount(), 2);
  EXPECT_EQ(sectors.GetSectorChartItems(0).GetRowCount(), 2);
  EXPECT_EQ(sectors.GetSectorChartItems(0).GetChartItems(0).GetRowCount(), 0);  // "NewValue" is a text
  EXPECT_EQ(sectors.GetSectorChartItems(0).GetChartItems(1).GetRowCount(), 0);  // missing
  EXPECT_EQ(sectors.GetSectorChartItems(1).GetRowCount(), 0);
  EXPECT_EQ(sectors.GetSectorChartItems(5).GetRowCount(), 0);
  EXPECT_EQ(ranking.GetPrimaryInfo(1).GetRowCount(), 0);  // a packet without tables
  EXPECT_EQ(ranking.GetPrimaryInfo(9).GetRowCount(), 0);
  EXPECT_EQ(TKrSpeedDataSetParseCmdID3050(nullptr).GetRowCount(), 0);
  EXPECT_EQ(TKrSpeedDataSetParseCmdID97Fix(MakeTable({{"only", "dataset"}})).GetRowCount(), 0);
}

TEST(SpeedReplyParsersTest, QuoteRowsComeFromEveryPacketWithABodyAndMalformedPartsAreSkipped) {
  auto values = MakeTable({{"3", "double"}, {"8", "int64"}, {"2001", "string"}, {"notanid", "double"}, {"9", "blob"}});
  values->AddRow();
  values->Set(0, 0, 10.5);
  values->Set(0, 1, std::int64_t{3'000'000'000});
  values->Set(0, 2, std::string("\xC6\xD6\xB7\xA2"));
  values->Set(0, 3, 1.0);
  auto body = MakeTable({{"KoraCode", "string"}, {"Data", "dataset"}});
  body->Set(body->AddRow(), 0, std::string("600000.SH"));
  body->Set(0, 1, std::shared_ptr<host::IDataSet>(values));
  body->Set(body->AddRow(), 0, std::string("000001.SZ"));                              // a row without values
  const auto reply = Packets({{nullptr, body}, {nullptr, nullptr}, {nullptr, body}});  // the middle one: no body

  EXPECT_TRUE(TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(reply));
  const TKrSpeedDataSetParseCmdID3070 parsed(reply);
  ASSERT_EQ(parsed.GetRowCount(), 2);  // one good row from each packet with a body
  const TSpeedQuoteData& row = parsed.GetQuoteData(0);
  EXPECT_EQ(row.FKoraCode, "600000.SH");
  EXPECT_EQ(row.FItemArray, (std::vector<std::uint32_t>{3, 8, 2001}));
  EXPECT_EQ(row.FValueArray,
            (std::vector<QuoteVariant>{10.5, std::int64_t{3'000'000'000}, NarrowText{"\xC6\xD6\xB7\xA2"}}));

  EXPECT_FALSE(TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(nullptr));
  EXPECT_FALSE(TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(std::make_shared<host::TDataTable>()));
  EXPECT_EQ(TKrSpeedDataSetParseCmdID3070(std::shared_ptr<host::IDataSet>()).GetRowCount(), 0);
}

TEST(SpeedReplyParsersTest, IndicatorExportReadsValuesByTypeName) {
  auto values = MakeTable({{"3", "double"}, {"8", "int64"}, {"40", "int"}, {"2001", "string"}, {"5", "blob"}});
  const int r = values->AddRow();
  values->Set(r, 0, 10.36);
  values->Set(r, 1, std::int64_t{5'000'000'000});
  values->Set(r, 2, 7);
  values->Set(r, 3, std::string("浦发"));
  values->Set(r, 4, 1.0);
  auto body = MakeTable({{"Code", "string"}, {"Values", "dataset"}});
  body->Set(body->AddRow(), 0, std::string(40, 'X'));
  body->Set(0, 1, std::shared_ptr<host::IDataSet>(values));
  const TKrSpeedDataSetParseCmdID3080 parsed(Packets({{MakeTable({{"CmdID", "int"}}), body}}));
  ASSERT_EQ(parsed.GetRowCount(), 1);
  const TKrSpeedIndexRecord& record = parsed.GetRecords()[0];
  EXPECT_EQ(record.Code.size(), 30u);
  EXPECT_EQ(record.IDs, (std::vector<std::int32_t>{3, 8, 40, 2001, 5}));
  // Each value as the type its column names; "blob" is no type name: an empty value.
  EXPECT_EQ(record.Values, (std::vector<TKrSpeedIndexRecord::Value>{10.36, std::int64_t{5'000'000'000}, 7,
                                                                    std::string("浦发"), std::monostate{}}));
}

// Waits on the test thread for a provider's reply, which arrives on the engine's thread.
struct ReplyWaiter {
  std::mutex mutex;
  std::condition_variable arrived;
  int count = 0;
  void Notify() {
    std::lock_guard lock(mutex);
    ++count;
    arrived.notify_all();
  }
  bool WaitFor(int n) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, 10s, [&] { return count >= n; });
  }
};

TEST(SpeedHistoryProvidersTest, RankingSortAndExportMatchTheLiveMarket) {
  TestHost h;
  h.Clock().Advance(300s);
  h->Speed()->SyncNow();
  TKrSpeedDataProviderCmd3040 provider;
  ReplyWaiter waiter;
  provider.SetOnDataNotify([&](bool) { waiter.Notify(); });
  ASSERT_NE(provider.GetParams(), nullptr);
  provider.GetParams()->SetSectorName("IND.BANK,IND.LIQUOR");
  provider.GetParams()->SetSortIDs("3,81");
  provider.GetParams()->SetSortDirections("1,0");
  provider.GetParams()->SetLinesNumber(4);
  const int pid = provider.FireRequest();
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(h->Logger().Contains("RequestPID:" + std::to_string(pid) +
                                   ", ReqDetail:Cmd:3040 SectorName:IND.BANK,IND.LIQUOR SortIDs:3,81 "
                                   "SortDirections:1,0 LinesNumber:4 KoraCodeList:"));
  ASSERT_TRUE(waiter.WaitFor(1));

  auto parser = provider.GetParser();
  ASSERT_NE(parser, nullptr);
  ASSERT_EQ(parser->GetRowCount(), 1);
  EXPECT_EQ(parser->GetBasicInfo(0).GetPacketID(0), pid);
  const auto& sectors = parser->GetPrimaryInfo(0);
  ASSERT_EQ(sectors.GetRowCount(), 2);
  EXPECT_EQ(sectors.GetSectorName(1), "IND.LIQUOR");
  for (int s = 0; s < 2; ++s) {
    const auto& charts = sectors.GetSectorChartItems(s);
    ASSERT_EQ(charts.GetRowCount(), 2);
    for (int k = 0; k < 2; ++k) {
      SCOPED_TRACE(::testing::Message() << "sector " << s << " sort " << k);
      const auto& items = charts.GetChartItems(k);
      const std::uint32_t field = k == 0 ? 3 : 81;
      ASSERT_EQ(items.GetRowCount(), 4);
      for (int r = 0; r < items.GetRowCount(); ++r) {
        const std::string code = items.GetKoraCode(r);
        EXPECT_DOUBLE_EQ(items.GetValue(r), std::get<double>(*h->Speed()->CurrentValue(code, field)));
        EXPECT_DOUBLE_EQ(items.GetNewValue(r), std::get<double>(*h->Speed()->CurrentValue(code, 3)));
        EXPECT_DOUBLE_EQ(items.GetPreValue(r), std::get<double>(*h->Speed()->CurrentValue(code, 4)));
      }
    }
  }
  EXPECT_TRUE(h->Logger().Contains("NotifyPID:" + std::to_string(pid) + ", DataCount:2"));

  // The sort and the export on the same engine.
  TKrSpeedDataProviderCmd3050 sort;
  sort.SetOnDataNotify([&](bool) { waiter.Notify(); });
  sort.GetParams()->SetSectorName("IND.LIQUOR");
  sort.GetParams()->SetSortID(8);
  sort.GetParams()->SetSortDirection(1);
  sort.FireRequest();
  EXPECT_TRUE(
      h->Logger().Contains("ReqDetail:Cmd:3050 SectorName:IND.LIQUOR SortID:8 SortDirection:1 "
                           "BondPriceType:0 Flag:0 KoraCodeList:"));
  ASSERT_TRUE(waiter.WaitFor(2));
  auto sorted = sort.GetParser();
  EXPECT_EQ(sorted->GetBasicInfo(0).GetNum(0), 5);
  ASSERT_EQ(sorted->GetPrimaryInfo(0).GetRowCount(), 5);

  TKrSpeedDataProviderCmd3080 exporter;
  exporter.SetOnDataNotify([&](bool) { waiter.Notify(); });
  const int exportPid = exporter.FireExportRequest({{"600000.SH", {3, 8}, {}}, {"00700.HK", {3}, {}}});
  EXPECT_TRUE(h->Logger().Contains("RequestPID:" + std::to_string(exportPid) +
                                   ", ReqDetail:KoraCode: [600000.SH,00700.HK] Index: [3,8]"));
  ASSERT_TRUE(waiter.WaitFor(3));
  auto exported = exporter.GetParser();
  ASSERT_EQ(exported->GetRowCount(), 2);
  EXPECT_EQ(exported->GetRecords()[1].Code, "00700.HK");
  EXPECT_EQ(std::get<double>(exported->GetRecords()[1].Values[0]),
            std::get<double>(*h->Speed()->CurrentValue("00700.HK", 3)));
  EXPECT_TRUE(h->Logger().Contains("Returnid:" + std::to_string(exportPid) +
                                   ", NotifyPID:" + std::to_string(exportPid) + ", DataCount:2"));

  std::shared_ptr<host::IParamSerialSet> set;
  h->Speed()->CreateDataRequest(std::make_shared<TKrHQSpeedObserver>())->GetParamSerialSet(3080, set);
  EXPECT_EQ(TKrSpeedDataProviderCmd3080::RequestDetail(*set), "");  // no codes, no detail
  set->SetValue("KoraCodeList", ",,");
  EXPECT_EQ(TKrSpeedDataProviderCmd3080::RequestDetail(*set), "");
}

TEST(SpeedHistoryProvidersTest, AReplyWithoutPacketsStillNotifiesAndMissingCommandsSendNothing) {
  TestHost h;
  auto engine = std::make_shared<testing::ScriptedSpeed>(std::set<int>{3040});  // no 3050 or 3080
  h->Context().SetSpeed(engine);
  TKrSpeedDataProviderCmd3040 ranking;
  int notified = 0;
  ranking.SetOnDataNotify([&](bool value) {
    EXPECT_FALSE(value);
    ++notified;
  });
  ASSERT_EQ(engine->observers.size(), 1u);
  engine->observers[0]->SetData(MakeTable({{"Header", "dataset"}, {"Body", "dataset"}}));  // no packets
  engine->observers[0]->SetData(nullptr);                                                  // ignored
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(ranking.GetParser()->GetRowCount(), 0);
  EXPECT_FALSE(h->Logger().Contains("NotifyPID"));
  EXPECT_TRUE(h->Logger().Contains("CallBack End."));

  TKrSpeedDataProviderCmd3050 sort;  // the engine has no parameter set for 3050
  EXPECT_EQ(sort.GetParams(), nullptr);
  EXPECT_EQ(sort.FireRequest(), -1);
  TKrSpeedDataProviderCmd3080 exporter;
  EXPECT_EQ(exporter.FireExportRequest({{"600000.SH", {3}, {}}}), -1);
  EXPECT_TRUE(h->Logger().Contains("ISpeedDataRequest接口中未找到Cmd3080对应的ParamSerialSet"));
}

}  // namespace
}  // namespace kdp
