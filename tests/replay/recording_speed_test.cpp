// The recorder between an engine and the package: what the package itself never calls still passes
// through.
#include "recording_speed.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "recording_reader.h"
#include "scripted_speed.h"
#include "test_host.h"

namespace kdp::replay {
namespace {

// The package's side of a data request: its status, and the responses that reach it.
class ResponseObserver final : public host::Implements<host::IObserver> {
 public:
  int SaveQuoteData(const std::shared_ptr<host::IDataSet>&) override { return 0; }
  int SetData(const std::shared_ptr<host::IDataSet>&) override { return 0; }
  int NotifyReqResponse(int error, int returnID, int command) override {
    responses.push_back({error, returnID, command});
    return 0;
  }
  const void* GetQEStatus() override { return &status; }
  int NotifyHisData(int, int) override { return 0; }

  std::vector<std::array<int, 3>> responses;
  int status = 0;
};

// Pushes, history data, subscriptions, requests and notices, recorded and replayed, are the session replay
// test's; here what a replay of that session does not show: the engine's status and its responses pass
// through, responses and unsubscriptions are recorded, and a request records the values set since its
// parameter set's last reset, read back from the engine's own set.
TEST(RecordingSpeedTest, StatusAndResponsesPassThroughAndResetsResponsesAndUnsubscriptionsAreRecorded) {
  const std::string dir = testing::MakeTempDir();
  const std::string path = dir + "/recorded.kdpr";
  std::string error;
  std::shared_ptr<RecordingWriter> writer = RecordingWriter::Create(path, {}, error);
  ASSERT_TRUE(writer) << error;
  auto engine = std::make_shared<testing::ScriptedSpeed>(std::set<int>{3080});
  RecordingSpeed recorder(engine, writer, [] { return host::DateTime::FromParts(2026, 12, 4, 10, 30, 0); });
  auto observer = std::make_shared<ResponseObserver>();
  auto exporter = recorder.CreateDataRequest(observer);
  ASSERT_TRUE(exporter);
  ASSERT_EQ(engine->observers.size(), 1u);
  EXPECT_EQ(engine->observers[0]->GetQEStatus(), &observer->status);  // the engine talks to a stand-in

  std::shared_ptr<host::IParamSerialSet> params;
  EXPECT_EQ(exporter->GetParamSerialSet(3040, params), 0);  // refused by the engine, refused by the recorder
  ASSERT_EQ(exporter->GetParamSerialSet(3080, params), 1);
  params->SetValue("stale", "x");
  params->Reset();
  params->SetValue("KoraCodeList", "600000.SH");
  params->SetValue("600000.SH", "3,4");
  EXPECT_EQ(params->GetValue("600000.SH"), "3,4");  // read from the engine's own set
  EXPECT_EQ(exporter->Request(params, nullptr), testing::ScriptedSpeed::kPid);
  engine->observers[0]->NotifyReqResponse(0, 77, 3080);
  EXPECT_EQ(observer->responses, (std::vector<std::array<int, 3>>{{0, 77, 3080}}));
  EXPECT_EQ(exporter->UnSubscribe(), 0);
  writer->Close();

  RecordingReader reader;
  ASSERT_TRUE(reader.Open(path, error)) << error;
  std::vector<Record> records;
  for (Record record; reader.Next(record);) records.push_back(record);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].kind, RecordKind::kRequest);
  EXPECT_EQ(records[0].numbers[0], 3080);
  EXPECT_EQ(records[0].params,
            (std::map<std::string, std::string>{{"KoraCodeList", "600000.SH"}, {"600000.SH", "3,4"}}));
  EXPECT_EQ(records[1].kind, RecordKind::kResponse);
  EXPECT_EQ(records[1].numbers, (std::array<std::int32_t, 3>{0, 77, 3080}));
  EXPECT_EQ(records[2].kind, RecordKind::kUnsubscribe);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kdp::replay
