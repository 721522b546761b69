// The structures the Lux client's thread and the main thread share, raced for real: both threads run at
// once from a common start, and the checks come after both have finished. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "lux/lux_news_processor.h"
#include "lux/lux_req_record_mgr.h"
#include "lux/lux_sector_store.h"
#include "lux/lux_sub_history.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using testing::IdsOf;
using testing::TableOf;

TEST(LuxThreads, TheRegistryMatchesRepliesWhileTheMainThreadRegistersRequests) {
  TKrLuxReqRecordMgr registry;
  constexpr int kRequests = 3000;
  std::latch start(2);
  std::atomic<int> matched{0};
  std::thread client([&] {
    start.arrive_and_wait();
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    // Replies arrive in request order, each as soon as its request is registered.
    for (int serial = 1; serial <= kRequests && std::chrono::steady_clock::now() < deadline;) {
      TReqRecordItem record;
      if (!registry.TryTakeReqRecord(serial, record)) continue;
      if (record.WidgetID == static_cast<std::uint32_t>(serial) && record.ReqType == LDRTSearch) ++matched;
      ++serial;
    }
  });
  start.arrive_and_wait();
  int refused = 0;
  for (int serial = 1; serial <= kRequests; ++serial) {
    if (!registry.TryAddReqRecord(serial, {static_cast<std::uint32_t>(serial), nullptr, LDRTSearch})) ++refused;
    TReqRecordItem peek;
    registry.TryGetReqRecord(serial - 1, peek);  // the client may be taking it right now
  }
  client.join();
  EXPECT_EQ(refused, 0);
  EXPECT_EQ(matched.load(), kRequests);
  EXPECT_EQ(registry.Count(), 0u);
}

TEST(LuxThreads, PushesFromTheClientThreadReachTheDispatcherWhileTheMainThreadWorks) {
  testing::TestHost h;
  host::MessageWindow window;
  auto processor = std::make_shared<TKrLuxNewsDataProcessor>();
  std::vector<std::string> dispatched;
  TKrLuxSubInfo sub;
  sub.SetLuxDataProcessor({5, processor, LDRTSub});
  sub.SetDispatch(TLuxDispatchWindow(window.GetRef()), [&](TDataProcessMsg& record) {
    if (record.ReceiveDataTable) dispatched.push_back(record.ReceiveDataTable->GetIndexValue(0, "ID"));
  });

  constexpr int kPushes = 400;
  std::latch start(2);
  std::thread client([&] {
    start.arrive_and_wait();
    for (int i = 0; i < kPushes; ++i) {
      auto record = testing::PublishRecord({{2001, {"P" + std::to_string(i)}}});
      sub.OnPublish(record);
    }
  });
  start.arrive_and_wait();
  // Meanwhile the main thread dispatches, prepares the next page on the same processor and looks at the
  // processor's last push (one row).
  int page = 0;
  bool inconsistent = false;
  const bool all = h->Loop().RunUntil(
      [&] {
        processor->SetIndexValue("StartNum", std::to_string(20 * ++page));
        processor->CreateReqMsg();
        if (auto last = processor->GetAnalyseLuxData(); last && last->GetRowCount() > 1) inconsistent = true;
        return dispatched.size() == kPushes;
      },
      30s);
  client.join();
  h->Loop().RunUntilIdle();
  EXPECT_TRUE(all);
  EXPECT_EQ(dispatched, testing::Range(0, kPushes, "P"));  // one poster: the order is kept
  EXPECT_FALSE(inconsistent);
}

TEST(LuxThreads, AStoreAndTheCacheTakeWorkFromBothThreads) {
  TKrSectorDataCache cache;
  auto store = std::make_shared<TKrSectorDataDb>();
  ASSERT_TRUE(cache.TryAddSectorData("S", store));
  constexpr int kRounds = 260;
  std::latch start(2);
  std::thread client([&] {
    start.arrive_and_wait();
    for (int i = 0; i < kRounds; ++i) {
      std::shared_ptr<TKrSectorDataDb> found;
      if (cache.TryGetSectorData("S", found)) found->AddPublishedData(TableOf({"P" + std::to_string(i)}));
      cache.TryAddSectorData("T", std::make_shared<TKrSectorDataDb>());
      if (cache.TryGetSectorData("T", found)) found->AddPublishedData(TableOf({"T" + std::to_string(i)}));
    }
  });
  start.arrive_and_wait();
  TKrLuxNewsStrategy strategy;
  for (int i = 0; i < kRounds; ++i) {
    store->SaveData(TableOf({"H" + std::to_string(i)}));
    if (i % 16 == 0) store->GetDataByStrategy(strategy);  // reads every row: now and then is enough
    store->SetItemBrowsed("P" + std::to_string(i / 2), true);
    int pageSize = 0, startNum = 0;
    store->CalcPageInfo(strategy, pageSize, startNum);
    cache.RemoveSectorData("T");
  }
  client.join();

  const std::vector<std::string> ids = IdsOf(store->GetRows());
  // 520 rows came; pushes trim the store to 500 and a page may take it to 501.
  EXPECT_GE(ids.size(), 500u);
  EXPECT_LE(ids.size(), 501u);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
  // Pushed rows newest first, history rows in page order, whatever the interleaving.
  std::vector<int> pushed, paged;
  for (const std::string& id : ids) (id[0] == 'P' ? pushed : paged).push_back(std::stoi(id.substr(1)));
  EXPECT_TRUE(std::is_sorted(pushed.rbegin(), pushed.rend()));
  EXPECT_TRUE(std::is_sorted(paged.begin(), paged.end()));
  EXPECT_EQ(pushed.size() + paged.size(), ids.size());
}

}  // namespace
}  // namespace kdp
