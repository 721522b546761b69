// The recorder between an engine and the package: every call passes through unchanged both ways, and the
// file holds what the package heard and asked, in order, numbered by data request and stamped with the
// server time.
#include "recording_speed.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "kdp/host/data_table.h"
#include "recording_reader.h"
#include "scripted_speed.h"
#include "test_host.h"

namespace kdp::replay {
namespace {

// Counts what reaches the package's side.
class CountingObserver final : public host::Implements<host::IObserver> {
 public:
  int SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) override {
    quotes.push_back(data);
    return 0;
  }
  int SetData(const std::shared_ptr<host::IDataSet>& data) override {
    replies.push_back(data);
    return 0;
  }
  int NotifyReqResponse(int error, int returnID, int command) override {
    responses.push_back({error, returnID, command});
    return 0;
  }
  const void* GetQEStatus() override { return &status; }
  int NotifyHisData(int, int) override { return 0; }

  std::vector<std::shared_ptr<host::IDataSet>> quotes, replies;
  std::vector<std::array<int, 3>> responses;
  int status = 0;
};

TEST(RecordingSpeedTest, PassesEveryCallThroughAndRecordsItInOrder) {
  const std::string dir = testing::MakeTempDir();
  const std::string path = dir + "/recorded.kdpr";
  std::string error;
  std::shared_ptr<RecordingWriter> writer = RecordingWriter::Create(path, {}, error);
  ASSERT_TRUE(writer) << error;
  auto engine = std::make_shared<testing::ScriptedSpeed>(std::set<int>{3080});
  int tick = 0;
  const host::DateTime start = host::DateTime::FromParts(2026, 12, 4, 10, 30, 0);
  RecordingSpeed recorder(engine, writer, [&] { return start.AddSeconds(tick++); });

  auto quotesObserver = std::make_shared<CountingObserver>();
  auto exportObserver = std::make_shared<CountingObserver>();
  auto quotes = recorder.CreateDataRequest(quotesObserver);
  auto exporter = recorder.CreateDataRequest(exportObserver);
  ASSERT_TRUE(quotes && exporter);
  ASSERT_EQ(engine->observers.size(), 2u);
  EXPECT_EQ(engine->observers[0]->GetQEStatus(), &quotesObserver->status);  // the engine talks to a stand-in

  const host::TKrSpeedSymbolDataList symbols = {{"600000.SH", {3, 4}}, {"00700.HK", {3}}};
  EXPECT_EQ(quotes->Subscribe(symbols), 0);
  ASSERT_EQ(engine->Subscriptions().size(), 1u);
  EXPECT_EQ(engine->Subscriptions()[0][1].KoraCode, "00700.HK");

  std::shared_ptr<host::IParamSerialSet> params;
  EXPECT_EQ(exporter->GetParamSerialSet(3040, params), 0);  // refused by the engine, refused by the recorder
  ASSERT_EQ(exporter->GetParamSerialSet(3080, params), 1);
  params->SetValue("stale", "x");
  params->Reset();
  params->SetValue("KoraCodeList", "600000.SH");
  params->SetValue("600000.SH", "3,4");
  EXPECT_EQ(params->GetValue("600000.SH"), "3,4");  // read from the engine's own set
  EXPECT_EQ(exporter->Request(params, nullptr), testing::ScriptedSpeed::kPid);

  // The engine delivers; the package receives the very same data sets.
  auto push = testing::HistoryReply("600000.SH", 2);
  engine->observers[0]->SaveQuoteData(push);
  engine->observers[1]->NotifyReqResponse(0, 77, 3080);
  engine->observers[1]->SetData(nullptr);
  ASSERT_EQ(quotesObserver->quotes.size(), 1u);
  EXPECT_EQ(quotesObserver->quotes[0], push);
  EXPECT_EQ(exportObserver->responses, (std::vector<std::array<int, 3>>{{0, 77, 3080}}));
  ASSERT_EQ(exportObserver->replies.size(), 1u);
  EXPECT_EQ(exportObserver->replies[0], nullptr);
  EXPECT_EQ(quotes->UnSubscribe(), 0);
  writer->Close();

  RecordingReader reader;
  ASSERT_TRUE(reader.Open(path, error)) << error;
  std::vector<Record> records;
  for (Record record; reader.Next(record);) records.push_back(record);
  ASSERT_EQ(records.size(), 6u);
  const RecordKind kinds[] = {RecordKind::kSubscribe, RecordKind::kRequest,     RecordKind::kQuotes,
                              RecordKind::kResponse,  RecordKind::kHistoryData, RecordKind::kUnsubscribe};
  const std::uint32_t numbers[] = {1, 2, 1, 2, 2, 1};
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].kind, kinds[i]);
    EXPECT_EQ(records[i].request, numbers[i]);
    EXPECT_EQ(records[i].serverTime, start.AddSeconds(static_cast<double>(i)));  // stamped as each arrived
  }
  EXPECT_EQ(records[0].symbols.size(), 2u);
  EXPECT_EQ(records[0].symbols[0].ItemIDs, (std::vector<std::uint32_t>{3, 4}));
  EXPECT_EQ(records[1].numbers[0], 3080);
  EXPECT_EQ(records[1].params,
            (std::map<std::string, std::string>{{"KoraCodeList", "600000.SH"}, {"600000.SH", "3,4"}}));
  ASSERT_TRUE(records[2].data);
  EXPECT_EQ(records[2].data->GetAsDataSet(0, 1)->GetAsDouble(1, 0), 11.0);
  EXPECT_EQ(records[3].numbers, (std::array<std::int32_t, 3>{0, 77, 3080}));
  EXPECT_EQ(records[4].data, nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kdp::replay
