// The Lux data manager through the stand-in host's Lux client, which answers on its own thread from the
// sample scenario: held-back requests and the authority list, pages answered from the sector store,
// columns that do not save, time-out and error replies, shared and last subscriptions with pushes, raw
// messages, the send timer's back-off, stray replies and replies for widgets that are gone, and test mode.
// Every wait drives the main loop until the expected delivery arrived, with a deadline.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/package_lookup.h"
#include "kdp/lux/lux_data_provider.h"
#include "kdp/lux/lux_helpers.h"
#include "kdp/lux/lux_requests.h"
#include "lux/lux_data_manager.h"
#include "lux/lux_news_processor.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using Answer = minihost::SimLuxClient::Answer;
using testing::IdsOf;

constexpr auto kDeadline = 10s;

// Every delivery a widget received, in order.
class RecordingObserver final : public host::Implements<IKrLuxDataNotifyObserver> {
 public:
  struct Delivery {
    std::shared_ptr<IKrLuxDataTable> table;
    TNotifyInfo info;
  };
  struct RawDelivery {
    std::int32_t serial;
    host::TMessageProperty prop;
    std::string body;
    std::uint32_t userData;
  };

  void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) override {
    deliveries.push_back({table, info});
  }
  void OnRawMsgDataNotify(std::int32_t serial, const host::TMessageProperty& prop, const TRawMsgData& data) override {
    raw.push_back({serial, prop, data.DataStream ? std::string(data.DataStream->AsStringView()) : "", data.UserData});
  }

  std::vector<Delivery> deliveries;
  std::vector<RawDelivery> raw;
};

// A widget: its observer and its request object.
struct Widget {
  std::shared_ptr<RecordingObserver> observer = std::make_shared<RecordingObserver>();
  std::shared_ptr<IKrLuxNewsReq> news;

  explicit Widget(IKrLuxDataManager& manager) : news(manager.GetLuxNewsRequest(observer)) {}
  std::shared_ptr<IKrLuxMsgReq> Messages() { return host::Query<IKrLuxMsgReq>(news); }
  std::size_t Count() const { return observer->deliveries.size(); }
  const RecordingObserver::Delivery& Last() const { return observer->deliveries.back(); }
};

// The news rows of 600000.SH in the sample archive, newest first (media type 01).
const std::vector<std::string> kSpdbNews{"N2026120400060", "N2026120400058", "N2026120400053", "N2026120300045",
                                         "N2026120200040", "N2026112800034", "N2026112000031"};
// Those of 600036.SH.
const std::vector<std::string> kCmbNews{"N2026120400059", "N2026120400055", "N2026120400053", "N2026120300041"};

class LuxDataManagerTest : public ::testing::Test {
 protected:
  // `beforeStart` scripts the client before the package (and so the manager) starts.
  void Start(const std::function<void(minihost::SimLuxClient&)>& beforeStart = {}) {
    if (beforeStart) beforeStart(Lux());
    ASSERT_TRUE(h->StartPackage());
    manager = TKrLuxDataManager::GetInstance();
    ASSERT_EQ(G_QueryInterface<IKrLuxDataManager>("IKrLuxDataMgr"), host::Query<IKrLuxDataManager>(manager));
  }
  void StartWithAuthority() {
    Start();
    ASSERT_TRUE(RunUntil([&] { return !manager->GetAuthList().empty(); }));
  }

  minihost::SimLuxClient& Lux() { return *h->Lux(); }
  bool RunUntil(const std::function<bool()>& done) { return h->Loop().RunUntil(done, kDeadline); }
  // Waits until the client has made `n` deliveries in all, then runs the loop until nothing is left to do.
  bool Settle(int delivered) {
    const bool reached = Lux().WaitForDeliveries(delivered, kDeadline);
    h->Loop().RunUntilIdle();
    return reached;
  }
  ReqInfoPtr Info(const std::string& column, TLuxDataReqType kind,
                  const std::vector<std::pair<std::string, std::string>>& params = {}) {
    ReqInfoPtr info = manager->GetLuxDataReqInfo(column, kind);
    if (info) {
      for (const auto& [name, value] : params) info->SetIndexValue(name, value);
    }
    return info;
  }
  int NewsRequestsSent() { return Lux().CountSent(1411, 6001); }

  testing::TestHost h;
  std::shared_ptr<TKrLuxDataManager> manager;
};

// While the authority list is unanswered a history request is held back and the send timer asks for the
// list again, slower after four and after eleven requests; the answer releases the request.
TEST_F(LuxDataManagerTest, AHistoryRequestHeldBackUntilTheAuthorityListArrivesIsThenSent) {
  Start([](minihost::SimLuxClient& lux) { lux.SetAnswerFor(1005, 623, Answer::kDrop); });
  EXPECT_EQ(Lux().CountSent(1005, 623), 1);  // asked for at construction
  Widget widget(*manager);
  auto info = Info("NEWS_STOCK", LDRTGet, {{"koracode", "600000.SH"}});
  ASSERT_TRUE(info);
  EXPECT_EQ(widget.news->GetHisData(info), -1);
  EXPECT_EQ(manager->DelayedRequestCount(), 1u);
  EXPECT_TRUE(manager->SendTimerEnabled());

  const auto tick = [&] { h->Loop().AdvanceBy(std::chrono::milliseconds(manager->SendTimerInterval())); };
  std::vector<std::pair<int, unsigned>> seen;  // after each tick: requests sent, interval
  for (int ticks = 0; ticks < 12; ++ticks) {
    tick();
    seen.emplace_back(Lux().CountSent(1005, 623), manager->SendTimerInterval());
  }
  const std::vector<std::pair<int, unsigned>> expected{{2, 15000},   {3, 15000},   {4, 15000},   {5, 180000},
                                                       {6, 180000},  {7, 180000},  {8, 180000},  {9, 180000},
                                                       {10, 180000}, {11, 180000}, {12, 300000}, {13, 300000}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(NewsRequestsSent(), 0);
  EXPECT_EQ(manager->DelayedRequestCount(), 1u);

  // The next tick asks again; this time the server answers, and the answer releases the request.
  Lux().SetAnswerFor(1005, 623, Answer::kReply);
  tick();
  EXPECT_EQ(Lux().CountSent(1005, 623), 14);
  ASSERT_TRUE(RunUntil([&] { return widget.Count() == 1; }));
  EXPECT_EQ(manager->GetAuthList(), (std::vector<std::string>{"1", "3", "7"}));
  EXPECT_EQ(NewsRequestsSent(), 1);
  EXPECT_EQ(manager->DelayedRequestCount(), 0u);
  EXPECT_FALSE(manager->SendTimerEnabled());
  EXPECT_EQ(IdsOf(widget.Last().table), kSpdbNews);
  EXPECT_EQ(widget.Last().info.NotifyType, NTGet);
  EXPECT_EQ(widget.Last().info.MessageType, LMTOK);
  EXPECT_EQ(widget.Last().info.Sector, "NEWS_STOCK");
  // The request went out for the first page of 20, and the column's subscription with it.
  const auto sent = Lux().SentRequests();
  EXPECT_NE(sent.back().query.find("koracode:600000.SH&pagesize=20&pageno=1"), std::string::npos) << sent.back().query;
  EXPECT_EQ(Lux().Subscriber().SubscribedTopics().size(), 1u);
}

TEST_F(LuxDataManagerTest, AStoreThatHoldsEnoughAnswersAtOnceUnlessTheColumnDoesNotSave) {
  StartWithAuthority();
  Widget widget(*manager);
  auto info = Info("NEWS_STOCK", LDRTGet, {{"koracode", "600000.SH"}});
  const std::int32_t serial = widget.news->GetHisData(info);
  ASSERT_GT(serial, 0);
  ASSERT_TRUE(RunUntil([&] { return widget.Count() == 1; }));
  EXPECT_EQ(widget.Last().info.LParam, serial);
  const std::string sector = std::dynamic_pointer_cast<TKrLuxDataRequestInfo>(info)->GetSectorID();
  EXPECT_EQ(IdsOf(manager->StoredRows(sector)), kSpdbNews);

  // Five rows after the second one: the store has them, nothing goes to the server.
  info->SetIndexValue("startid", "N2026120400058");
  info->SetIndexValue("datasize", "5");
  EXPECT_EQ(widget.news->GetHisData(info), 0);
  ASSERT_EQ(widget.Count(), 2u);  // delivered before GetHisData returned
  EXPECT_EQ(IdsOf(widget.Last().table), (std::vector<std::string>(kSpdbNews.begin() + 2, kSpdbNews.end())));
  EXPECT_EQ(widget.Last().info.NotifyType, NTGet);
  EXPECT_EQ(NewsRequestsSent(), 1);

  // Not saving: the server is asked although the store has enough, and the reply goes to the widget as
  // it came, without entering the store. (The first page, not the one after the rows held.)
  info->SetIndexValue("SaveData", "False");
  info->SetIndexValue("koracode", "600036.SH");
  info->SetIndexValue("startid", "0");
  info->SetIndexValue("datasize", "20");
  info->SetIndexValue("pageno", "1");
  EXPECT_GT(widget.news->GetHisData(info), 0);
  ASSERT_TRUE(RunUntil([&] { return widget.Count() == 3; }));
  EXPECT_EQ(NewsRequestsSent(), 2);
  EXPECT_EQ(IdsOf(widget.Last().table), kCmbNews);
  EXPECT_EQ(IdsOf(manager->StoredRows(sector)), kSpdbNews);
}

// A reply of garbage is an error too: its empty table is no answer of "no items".
TEST_F(LuxDataManagerTest, TimeOutErrorAndUnreadableRepliesReachTheWidgetWithTheirMessageType) {
  StartWithAuthority();
  Widget widget(*manager);
  Lux().AnswerNext(Answer::kTimeout);
  Lux().AnswerNext(Answer::kError);
  Lux().AnswerNext(Answer::kGarbage);
  auto timedOut = Info("NEWS_NEGATIVE", LDRTGet, {{"koracode", "000002.SZ"}});
  auto failed = Info("F10_ANNOUNCEMENT", LDRTGet, {{"koracode", "600000.SH"}});
  auto unreadable = Info("NEWS_STOCK", LDRTGet, {{"koracode", "600000.SH"}});
  const std::int32_t first = widget.news->GetHisData(timedOut);
  const std::int32_t second = widget.news->GetHisData(failed);
  const std::int32_t third = widget.news->GetHisData(unreadable);
  ASSERT_TRUE(RunUntil([&] { return widget.Count() == 3; }));
  for (const auto& [delivery, serial, type] : {std::tuple{widget.observer->deliveries[0], first, LMTTimeOut},
                                               {widget.observer->deliveries[1], second, LMTError},
                                               {widget.observer->deliveries[2], third, LMTError}}) {
    SCOPED_TRACE(serial);
    EXPECT_EQ(delivery.info.LParam, serial);
    EXPECT_EQ(delivery.info.MessageType, type);
    EXPECT_EQ(delivery.info.NotifyType, NTGet);
    ASSERT_TRUE(delivery.table);
    EXPECT_EQ(delivery.table->GetRowCount(), 0);
  }
  EXPECT_EQ(manager->OutstandingRequestCount(), 0u);
}

// Widgets leave a shared subscription by DeSubscribe, or by going (UnRegWidget): while one stays, the
// topic, the store and its pushes stay; the last one drops the topic and the store.
TEST_F(LuxDataManagerTest, WidgetsShareASubscriptionUntilTheLastOneGoes) {
  StartWithAuthority();
  // The sample pushes cycle live, not live, live, live, not live, live: each round takes three.
  const struct {
    bool byDeSubscribe;
    const char* toBoth;
    const char* toTheOneLeft;
  } rounds[] = {{true, "浦发银行：董事会同意设立科技金融事业部", "银行板块午后再度走强 成交额放大"},
                {false, "央行开展逆回购操作 单日净投放资金", "贵州茅台：控股股东增持公司股份"}};
  for (const auto& round : rounds) {
    SCOPED_TRACE(round.byDeSubscribe ? "DeSubscribe" : "widgets gone");
    auto a = std::make_unique<Widget>(*manager);
    auto b = std::make_unique<Widget>(*manager);
    auto info = Info("NEWS_LIVE", LDRTSub);
    ASSERT_TRUE(a->news->Subscribe(info));
    ASSERT_EQ(Lux().Subscriber().SubscribedTopics().size(), 1u);
    const int topic = Lux().Subscriber().SubscribedTopics().front();
    const auto conditions = Lux().Subscriber().Topic(topic)->conditions;
    EXPECT_EQ(conditions.at(2041), std::vector<std::string>{"ON3101"});
    EXPECT_EQ(conditions.at(2021), (std::vector<std::string>{"1", "3", "7"}));

    // The second widget joins without a second subscription at the server.
    EXPECT_TRUE(b->news->Subscribe(Info("NEWS_LIVE", LDRTSub)));
    EXPECT_EQ(Lux().Subscriber().SubscribedTopics(), std::vector<int>{topic});
    EXPECT_TRUE(b->news->IsAlreadySub(info));

    // A push of a live item reaches both; one that is not live reaches nobody.
    const int delivered = Lux().DeliveredCount();
    Lux().PushNow();
    ASSERT_TRUE(RunUntil([&] { return a->Count() == 1 && b->Count() == 1; }));
    EXPECT_EQ(a->Last().info.NotifyType, NTPush);
    ASSERT_EQ(a->Last().table->GetRowCount(), 1);
    EXPECT_EQ(a->Last().table->GetIndexValue(0, "Title"), round.toBoth);
    Lux().PushNow();
    EXPECT_TRUE(Settle(delivered + 2));
    EXPECT_EQ(a->Count(), 1u);
    const std::string sector = std::dynamic_pointer_cast<TKrLuxDataRequestInfo>(info)->GetSectorID();
    ASSERT_NE(manager->StoredRows(sector), nullptr);
    EXPECT_EQ(manager->StoredRows(sector)->GetRowCount(), 1);

    const auto leave = [&](std::unique_ptr<Widget>& widget) {
      if (round.byDeSubscribe) {
        EXPECT_TRUE(widget->news->DeSubscribe(info));
        EXPECT_FALSE(widget->news->IsAlreadySub(info));
      } else {
        widget.reset();
      }
    };
    leave(a);
    EXPECT_EQ(Lux().Subscriber().SubscribedTopics(), std::vector<int>{topic});
    EXPECT_TRUE(manager->IsSectorSubscribed(sector));
    ASSERT_NE(manager->StoredRows(sector), nullptr);
    Lux().PushNow();  // live: to the widget left only
    ASSERT_TRUE(RunUntil([&] { return b->Count() == 2; }));
    EXPECT_EQ(b->Last().table->GetIndexValue(0, "Title"), round.toTheOneLeft);
    if (a) {
      EXPECT_EQ(a->Count(), 1u);
    }
    EXPECT_EQ(manager->StoredRows(sector)->GetRowCount(), 2);
    leave(b);
    EXPECT_TRUE(Lux().Subscriber().SubscribedTopics().empty());
    EXPECT_FALSE(manager->IsSectorSubscribed(sector));
    EXPECT_EQ(manager->StoredRows(sector), nullptr);
  }
}

// A user-defined column subscribed again under another tag has new conditions: its old topic and store go,
// so a page the old store held is asked of the server again.
TEST_F(LuxDataManagerTest, ASubscriptionWhoseConditionsChangeDropsItsTopicAndStore) {
  StartWithAuthority();
  Widget widget(*manager);
  const auto column = [&](const char* tag) {
    return Info("NEWS_USERDEFINE", LDRTGet,
                {{"USER_DEFINE_NODE_NAME", "我的新闻"}, {"keyword", "600000.SH"}, {"uniquetag", tag}});
  };
  auto info = column("IND.BANK");
  ASSERT_TRUE(widget.news->Subscribe(info));
  ASSERT_EQ(Lux().Subscriber().SubscribedTopics().size(), 1u);
  const int topic = Lux().Subscriber().SubscribedTopics().front();
  ASSERT_GT(widget.news->GetHisData(info), 0);
  ASSERT_TRUE(RunUntil([&] { return widget.Count() == 1; }));
  const std::string sector = std::dynamic_pointer_cast<TKrLuxDataRequestInfo>(info)->GetSectorID();
  ASSERT_NE(manager->StoredRows(sector), nullptr);
  EXPECT_EQ(NewsRequestsSent(), 1);
  // The rows after the first: the store has them.
  const auto askAfterFirst = [&](const ReqInfoPtr& asked) {
    asked->SetIndexValue("startid", IdsOf(widget.observer->deliveries[0].table).at(0));
    asked->SetIndexValue("datasize", "2");
    return widget.news->GetHisData(asked);
  };
  EXPECT_EQ(askAfterFirst(info), 0);
  EXPECT_EQ(NewsRequestsSent(), 1);

  auto retagged = column("MY_HK");
  ASSERT_EQ(std::dynamic_pointer_cast<TKrLuxDataRequestInfo>(retagged)->GetSectorID(), sector);
  EXPECT_TRUE(widget.news->Subscribe(retagged));
  ASSERT_EQ(Lux().Subscriber().SubscribedTopics().size(), 1u);
  EXPECT_NE(Lux().Subscriber().SubscribedTopics().front(), topic);
  EXPECT_EQ(manager->StoredRows(sector), nullptr);
  EXPECT_GT(askAfterFirst(retagged), 0);
  EXPECT_EQ(NewsRequestsSent(), 2);
}

// The plain variant, which drops the 4-byte prefix, is left to the Lux road and cloud report tests.
TEST_F(LuxDataManagerTest, ARawMessageOfTheCloudVariantKeepsTheWholeBody) {
  StartWithAuthority();
  Widget widget(*manager);
  auto messages = widget.Messages();
  ASSERT_TRUE(messages);
  const std::int32_t cloud = messages->RawSendMsg(1079, 1, "RPT_STOCK_PE", 4367);
  ASSERT_TRUE(RunUntil([&] { return widget.observer->raw.size() == 1; }));
  const auto& raw = widget.observer->raw[0];
  ASSERT_GE(raw.body.size(), 4u);
  EXPECT_EQ(raw.body.substr(4), testing::SampleDocument("CloudReport.json"));
  EXPECT_EQ(raw.serial, cloud);
  EXPECT_EQ(raw.userData, 4367u);
  EXPECT_EQ(raw.prop, host::mpNormal);
  const auto sent = Lux().SentRequests();
  EXPECT_EQ(sent.back().query, "RPT_STOCK_PE");
}

TEST_F(LuxDataManagerTest, StrayRepliesAndRepliesForAWidgetThatIsGoneAreDropped) {
  StartWithAuthority();
  Widget keeper(*manager);
  auto gone = std::make_unique<Widget>(*manager);
  auto observer = gone->observer;

  int delivered = Lux().DeliveredCount();
  Lux().DeliverStray(424242);
  EXPECT_TRUE(Settle(++delivered));
  EXPECT_EQ(keeper.Count(), 0u);

  // The reply reaches the client's thread and the dispatcher after the widget let its request object go.
  auto info = Info("NEWS_STOCK", LDRTGet, {{"koracode", "600036.SH"}});
  ASSERT_GT(gone->news->GetHisData(info), 0);
  gone.reset();
  EXPECT_TRUE(Settle(++delivered));
  EXPECT_TRUE(observer->deliveries.empty());
  EXPECT_EQ(manager->OutstandingRequestCount(), 0u);
  EXPECT_TRUE(Lux().Subscriber().SubscribedTopics().empty());  // its subscription went with it

  // The manager goes on serving the others.
  ASSERT_GT(keeper.news->GetHisData(Info("NEWS_STOCK", LDRTGet, {{"koracode", "600036.SH"}})), 0);
  ASSERT_TRUE(RunUntil([&] { return keeper.Count() == 1; }));
  EXPECT_EQ(IdsOf(keeper.Last().table), kCmbNews);
}

TEST_F(LuxDataManagerTest, UnknownColumnsGiveNothingAndTestModeSearchesAreAnsweredLocally) {
  StartWithAuthority();
  Widget widget(*manager);
  EXPECT_EQ(manager->GetLuxDataReqInfo("NO_SUCH_COLUMN", LDRTGet), nullptr);

  // A test-mode column is answered at once from its test data, and nothing is sent.
  EXPECT_EQ(widget.news->SearchData(Info("NEWS_DEMO", LDRTSearch)), TKrLuxDataManager::kTestModeSerial);
  h->Loop().RunUntilIdle();
  ASSERT_EQ(widget.Count(), 1u);
  EXPECT_EQ(IdsOf(widget.Last().table), (std::vector<std::string>{"T0001", "T0002", "T0003"}));
  EXPECT_EQ(widget.Last().info.NotifyType, NTSearch);
  EXPECT_EQ(widget.Last().info.LParam, TKrLuxDataManager::kTestModeSerial);
  EXPECT_EQ(NewsRequestsSent(), 0);
}

// The client's thread matches and parses replies and pushes while the main thread keeps sending requests
// with the same processors, subscribing, unsubscribing and dispatching.
TEST_F(LuxDataManagerTest, RepliesAndPushesRaceTheMainThreadsRequests) {
  StartWithAuthority();
  const std::vector<std::string> codes{"600000.SH", "600036.SH", "601318.SH", "000001.SZ"};
  std::vector<std::unique_ptr<Widget>> widgets;
  std::vector<ReqInfoPtr> pages;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    widgets.push_back(std::make_unique<Widget>(*manager));
    ASSERT_TRUE(widgets[i]->news->Subscribe(Info("NEWS_LIVE", LDRTSub)));
    pages.push_back(Info("NEWS_STOCK", LDRTGet, {{"koracode", codes[i]}, {"SaveData", "False"}, {"pageno", "1"}}));
  }
  std::vector<int> asked(codes.size(), 0);
  auto countGets = [](const Widget& w) {
    return std::count_if(w.observer->deliveries.begin(), w.observer->deliveries.end(),
                         [](const auto& d) { return d.info.NotifyType == NTGet; });
  };
  for (int round = 0; round < 300; ++round) {
    const std::size_t w = static_cast<std::size_t>(round) % widgets.size();
    if (round % 60 == 59) {
      // A widget goes, with what it asked for still on its way; another takes its place.
      widgets[w] = std::make_unique<Widget>(*manager);
      ASSERT_TRUE(widgets[w]->news->Subscribe(Info("NEWS_LIVE", LDRTSub)));
      asked[w] = 0;
    }
    ASSERT_GT(widgets[w]->news->GetHisData(pages[w]), 0);
    ++asked[w];
    if (round % 3 == 0) Lux().PushNow();
    if (round % 7 == 0) h->Loop().RunUntilIdle();
  }
  ASSERT_TRUE(RunUntil([&] {
    for (std::size_t w = 0; w < widgets.size(); ++w) {
      if (countGets(*widgets[w]) < asked[w]) return false;
    }
    return manager->OutstandingRequestCount() == 0;
  }));
  for (std::size_t w = 0; w < widgets.size(); ++w) {
    SCOPED_TRACE(codes[w]);
    EXPECT_EQ(countGets(*widgets[w]), asked[w]);
    EXPECT_FALSE(IdsOf(widgets[w]->Last().table).empty());
  }
  // The live column's subscription and the one the stock column took with its first page, each shared.
  EXPECT_EQ(Lux().Subscriber().SubscribedTopics().size(), 2u);
}

TEST_F(LuxDataManagerTest, AQuoteBoardsCodesAreSubscribedAndSearchedTogether) {
  {
    TKrLuxHelper withoutManager;  // before the package runs there is no manager to forward to
    EXPECT_EQ(withoutManager.GetHisData(nullptr), -1);
    EXPECT_EQ(withoutManager.SendMsg(nullptr), 0);
    EXPECT_FALSE(withoutManager.Subscribe(nullptr));
  }
  StartWithAuthority();
  std::vector<RecordingObserver::Delivery> received;
  TKrLuxDataProvider provider("NEWS_BOARD");
  provider.SetLuxDataCallBack([&](const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info) {
    received.push_back({table, info});
  });

  TKrRealTimeParamStructure board(2);
  board.SetKoraCode(0, "600000.SH");
  board.SetKoraCode(1, "600036.SH");
  const std::int32_t serial = provider.GetLuxData(board);
  ASSERT_GT(serial, 0);
  ASSERT_TRUE(RunUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0].info.NotifyType, NTSearch);
  EXPECT_EQ(received[0].info.Sector, "NEWS_BOARD");
  EXPECT_EQ(received[0].info.LParam, serial);
  EXPECT_EQ(IdsOf(received[0].table),
            (std::vector<std::string>{"N2026120400060", "N2026120400059", "N2026120400058", "N2026120400055",
                                      "N2026120400053", "N2026120300045", "N2026120300041", "N2026120200040",
                                      "N2026112800034", "N2026112000031"}));
  auto topics = Lux().Subscriber().SubscribedTopics();
  ASSERT_EQ(topics.size(), 1u);
  EXPECT_EQ(Lux().Subscriber().Topic(topics[0])->conditions.at(2002),
            (std::vector<std::string>{"600000.SH", "600036.SH"}));

  // Another board: the first subscription goes, the new one takes its codes.
  TKrRealTimeParamStructure other(1);
  other.SetKoraCode(0, "601318.SH");
  ASSERT_GT(provider.GetLuxData(other), 0);
  ASSERT_TRUE(RunUntil([&] { return received.size() == 2; }));
  EXPECT_EQ(IdsOf(received[1].table), std::vector<std::string>{"N2026120400056"});
  topics = Lux().Subscriber().SubscribedTopics();
  ASSERT_EQ(topics.size(), 1u);
  EXPECT_EQ(Lux().Subscriber().Topic(topics[0])->conditions.at(2002), std::vector<std::string>{"601318.SH"});
}

}  // namespace
}  // namespace kdp
