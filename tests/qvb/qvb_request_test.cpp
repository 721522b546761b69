// The QVB request against the stand-in Lux client and its sample series: the request bodies the service
// reads, replies decoded on the main loop, replies that outlive their request, and the empty-body case.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "kdp/host/serializer.h"
#include "kdp/qvb/qvb_request.h"
#include "test_host.h"

namespace kdp {
namespace {

// The records are packed: their fields are compared as values, never through a misaligned reference.
template <class T>
T Field(T value) {
  return value;
}

using namespace std::chrono_literals;
constexpr auto kDeadline = 10s;

TKrQVBDRIndictionItem Indicator(std::uint32_t id, std::uint16_t last) {
  TKrQVBDRIndictionItem item;
  item.IndicationId = id;
  item.Observations = last;
  return item;
}

TEST(QVBRequest, SeriesAndSearchPagesArriveDecodedOnTheMainLoop) {
  testing::TestHost h;
  TKrHQQVBRequest request;
  std::vector<TKrQVBSeries> series;
  int seriesCalls = 0;
  request.SetOnQVBIndexDataCallBack([&](const std::vector<TKrQVBSeries>& list) {
    EXPECT_TRUE(host::IsMainThread());
    series = list;
    ++seriesCalls;
  });
  EXPECT_GT(request.RequestQVBData({Indicator(1000546, 3)}), 0);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return seriesCalls == 1; }, kDeadline));
  ASSERT_EQ(series.size(), 1u);
  EXPECT_EQ(series[0].Name, "GDP:不变价:当季同比");
  ASSERT_EQ(series[0].Values.size(), 3u);  // the latest three of the sample's eight
  EXPECT_EQ(Field(series[0].Values[0].Value), 4.7);
  EXPECT_EQ(Field(series[0].Values[2].Value), 5.4);
  EXPECT_EQ(Field(series[0].Values[2].VEndDate), 45657);  // 2024-12-31
  EXPECT_EQ(request.SeriesList().size(), 1u);

  // Two items, two messages: the answer is the series of the last one decoded.
  const std::int32_t last = request.RequestQVBData({Indicator(1001227, 0), Indicator(1001301, 0)});
  EXPECT_GT(last, 0);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return seriesCalls == 3; }, kDeadline));
  EXPECT_EQ(series.at(0).Name, "M2:期末值");
  const auto sent = h->Lux()->SentRequests();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent.back().serial, last);
  EXPECT_EQ(sent.back().commandWord, host::MakeLuxCommandWord(1350, 3813));

  std::int32_t count = -1, page = -1, total = -1;
  std::vector<TQVBTreeNodeSearchProps> records;
  request.SetOnQVBSearchDataCallBack([&](const auto& list, std::int32_t c, std::int32_t p, std::int32_t t) {
    records = list;
    count = c;
    page = p;
    total = t;
  });
  EXPECT_GT(request.RequestQVBSearchData("gdp", 2, 1), 0);  // three series hold "GDP"; the second of them
  ASSERT_TRUE(h->Loop().RunUntil([&] { return count != -1; }, kDeadline));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(page, 2);
  EXPECT_EQ(total, 3);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Props.Identity.Get(), "1000546");
  EXPECT_EQ(records[0].Props.TimeFrequency, ftQuarterly);
  EXPECT_EQ(Field(records[0].Props.EndDate), 45657);
  EXPECT_TRUE(h->Logger().Contains("发送指标搜索请求成功，流水号:"));
  EXPECT_EQ(h->Lux()->SentRequests().back().commandWord, host::MakeLuxCommandWord(1351, 3847));

  request.RemoveData();
  EXPECT_TRUE(request.SeriesList().empty());
  EXPECT_TRUE(request.SearchList().empty());
}

TEST(QVBRequest, EmptyRepliesPostNothingAndRepliesOutlivingTheRequestAreDropped) {
  testing::TestHost h;
  int calls = 0;
  {
    TKrHQQVBRequest request;
    request.SetOnQVBIndexDataCallBack([&](const std::vector<TKrQVBSeries>& series) {
      ++calls;
      EXPECT_TRUE(series.empty());
    });
    // An error notice has no body: logged, nothing posted.
    h->Lux()->AnswerNext(minihost::SimLuxClient::Answer::kError);
    ASSERT_GT(request.RequestQVBData({Indicator(1000545, 0)}), 0);
    ASSERT_TRUE(h->Lux()->WaitForDeliveries(1, kDeadline));
    h->Loop().RunUntilIdle();
    EXPECT_TRUE(h->Logger().Contains("TKrQVBDataAdapter ARecvMsg.MessageBody.Size <= 0"));
    EXPECT_EQ(calls, 0);
    // An unknown indicator is answered with an error code: the decoder refuses it, the owner hears of it.
    ASSERT_GT(request.RequestQVBData({Indicator(42, 0)}), 0);
    ASSERT_TRUE(h->Lux()->WaitForDeliveries(2, kDeadline));
    h->Loop().RunUntilIdle();
    EXPECT_TRUE(h->Logger().Contains("TKrQVBDataDecoder.Decode: the service answered error 404"));
    EXPECT_EQ(calls, 1);
    // A reply on its way when the request goes.
    ASSERT_GT(request.RequestQVBData({Indicator(1000545, 0)}), 0);
  }
  ASSERT_TRUE(h->Lux()->WaitForDeliveries(3, kDeadline));
  h->Loop().RunUntilIdle();
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace kdp
