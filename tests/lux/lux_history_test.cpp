// The request registry, and the subscription history with its pending pushes on the stand-in host's main
// loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lux/lux_news_processor.h"
#include "lux/lux_req_record_mgr.h"
#include "lux/lux_sub_history.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

TEST(LuxReqRecordMgr, OneRecordPerSerialNumber) {
  TKrLuxReqRecordMgr registry;
  auto first = std::make_shared<TKrLuxDataRequestInfo>();
  auto second = std::make_shared<TKrLuxDataRequestInfo>();
  EXPECT_TRUE(registry.TryAddReqRecord(7, {11, first, LDRTGet}));
  EXPECT_FALSE(registry.TryAddReqRecord(7, {12, second, LDRTSearch}));
  TReqRecordItem found;
  ASSERT_TRUE(registry.TryGetReqRecord(7, found));
  EXPECT_EQ(found.WidgetID, 11u);
  EXPECT_EQ(found.IProcessor, first);
  EXPECT_EQ(found.ReqType, LDRTGet);
  EXPECT_FALSE(registry.TryGetReqRecord(8, found));
  registry.RemoveReqRecord(7);
  registry.RemoveReqRecord(7);
  EXPECT_EQ(registry.Count(), 0u);
}

// The data manager's subscription tests reach the rest of the history; not that a widget recorded twice is
// listed once, nor that a sector's request hash goes with its subscription.
TEST(LuxSubHistory, AWidgetIsListedOnceAndAHashGoesWithItsSubscription) {
  TKrLuxDataSubHistoryMgr history;
  for (int twice = 0; twice < 2; ++twice) {
    history.AddSubSectorWidgets("S1", 1);
    history.AddWidgetSubSectorHis(1, "S1");
  }
  EXPECT_EQ(history.GetSectorSubWidgets("S1"), std::vector<std::uint32_t>{1});
  EXPECT_EQ(history.GetWidgetSubSectors(1), std::vector<std::string>{"S1"});

  history.SetSectorSubInfoHashCode("S1", 5);
  EXPECT_TRUE(history.IsSectorSubInfoChange("S1", 6));
  history.DeSubSector("S1");
  EXPECT_FALSE(history.IsSectorSubInfoChange("S1", 6));
}

class LuxPublishTest : public ::testing::Test {
 protected:
  LuxPublishTest() {
    processor_ = std::make_shared<TKrLuxNewsDataProcessor>();
    sub_.SetLuxDataProcessor({21, processor_, LDRTSub});
    sub_.SetDispatch(TLuxDispatchWindow(window_.GetRef()), [this, alive = alive_](TDataProcessMsg& record) {
      dispatched_.push_back(std::make_unique<TDataProcessMsg>(std::move(record)));
    });
  }

  static host::MemoryStream Push(const std::string& id) {
    return testing::PublishRecord({{2001, {id}}, {2007, {"title " + id}}});
  }

  testing::TestHost h;
  host::MessageWindow window_;
  std::shared_ptr<TKrLuxNewsDataProcessor> processor_;
  TKrLuxSubInfo sub_;
  // Every copy of the push handler holds it: the sub info's, and one per posted push not yet run or dropped.
  std::shared_ptr<int> alive_ = std::make_shared<int>();
  std::vector<std::unique_ptr<TDataProcessMsg>> dispatched_;
};

TEST_F(LuxPublishTest, APushReachesTheHandlerOnTheMainThread) {
  auto record = Push("N1");
  sub_.OnPublish(record);
  EXPECT_TRUE(dispatched_.empty());
  EXPECT_EQ(alive_.use_count(), 3);  // the test's, the sub info's, the posted push's
  h->Loop().RunUntilIdle();
  ASSERT_EQ(dispatched_.size(), 1u);
  EXPECT_EQ(alive_.use_count(), 2);
  // The record's table and request are the data manager's pushes' (LuxDataManagerTest); here the kind.
  EXPECT_EQ(dispatched_[0]->MessageType, LMTOK);
  EXPECT_EQ(dispatched_[0]->LParam, 0);
}

TEST_F(LuxPublishTest, AWindowGoneBeforeOrAfterThePostLeavesNothingBehind) {
  auto early = Push("N1");
  sub_.OnPublish(early);
  window_.Release();  // the posted push is dropped with its record
  h->Loop().RunUntilIdle();
  EXPECT_TRUE(dispatched_.empty());
  EXPECT_EQ(alive_.use_count(), 2);

  auto late = Push("N2");
  sub_.OnPublish(late);  // the post itself fails now
  EXPECT_EQ(alive_.use_count(), 2);
  EXPECT_TRUE(h->Logger().Contains("OnPublish, WM_LUX_SUBSCRIBE PostMessage Fail!"));
}

}  // namespace
}  // namespace kdp
