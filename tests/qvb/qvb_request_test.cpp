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
  // What a series and a search page hold, and the command words and pages asked, are the command-line QVB
  // tests' (kdp_host.qvb_series, qvb_search, qvb_search_second_page).
  EXPECT_GT(request.RequestQVBData({Indicator(1000546, 3)}), 0);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return seriesCalls == 1; }, kDeadline));
  ASSERT_EQ(series.size(), 1u);
  EXPECT_EQ(request.SeriesList().size(), 1u);

  // Two items, two messages: the answer is the series of the last one decoded.
  const std::int32_t last = request.RequestQVBData({Indicator(1001227, 0), Indicator(1001301, 0)});
  EXPECT_GT(last, 0);
  ASSERT_TRUE(h->Loop().RunUntil([&] { return seriesCalls == 3; }, kDeadline));
  EXPECT_EQ(series.at(0).Name, "M2:期末值");
  const auto sent = h->Lux()->SentRequests();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent.back().serial, last);

  std::size_t records = 0;
  request.SetOnQVBSearchDataCallBack([&](const auto& list, std::int32_t, std::int32_t, std::int32_t) {
    EXPECT_TRUE(host::IsMainThread());
    records = list.size();
  });
  EXPECT_GT(request.RequestQVBSearchData("gdp", 2, 1), 0);  // three series hold "GDP"; the second of them
  ASSERT_TRUE(h->Loop().RunUntil([&] { return records == 1; }, kDeadline));
  EXPECT_TRUE(h->Logger().Contains("发送指标搜索请求成功，流水号:"));

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
