// The widget-side helpers and the user's dealer, against a fake data manager on the stand-in host's main
// loop.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "kdp/lux/lux_helpers.h"
#include "lux/lux_dealer_id.h"
#include "lux/lux_news_processor.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;

TEST(LuxHelpers, WithoutAManagerEveryOperationFails) {
  testing::TestHost h;
  TKrLuxNewsHelper news;
  auto info = std::make_shared<TKrLuxNewsDataProcessor>();
  EXPECT_FALSE(news.Subscribe(info));
  EXPECT_FALSE(news.DeSubscribe(info));
  EXPECT_FALSE(news.IsAlreadySub(info));
  EXPECT_FALSE(news.SetItemBrowsed(info, "N1"));
  EXPECT_EQ(news.GetHisData(info), -1);
  EXPECT_EQ(news.SearchData(info), -1);
  EXPECT_EQ(news.GetLuxDataReqInfo("个股新闻", LDRTGet), nullptr);
  TKrLuxMsgHelper msg;
  EXPECT_EQ(msg.SendMsg(info), 0);
  EXPECT_EQ(msg.RawSendMsg(1079, 1, "x", 0), -1);
  EXPECT_EQ(msg.RawSendMsg(1079, 1, host::MemoryStream(), 0), -1);
}

TEST(LuxHelpers, ForwardToTheManagerAndPassDeliveriesOnUntilDestroyed) {
  testing::TestHost h;
  auto manager = std::make_shared<testing::FakeLuxDataManager>();
  h->Names().AddIntf("IKrLuxDataMgr", manager);
  auto info = std::make_shared<TKrLuxNewsDataProcessor>();

  // What the helper passes on while it lives is left to the news command's tests.
  int delivered = 0;
  {
    TKrLuxNewsHelper news;
    news.SetDataNotify([&](const std::shared_ptr<IKrLuxDataTable>&, const TNotifyInfo&) { ++delivered; });
    EXPECT_EQ(news.GetHisData(info), 41);
    EXPECT_EQ(news.SearchData(info), 42);
    EXPECT_TRUE(news.Subscribe(info));
    EXPECT_FALSE(news.Subscribe(nullptr));
    EXPECT_TRUE(news.SetItemBrowsed(info, "N1"));
    ASSERT_EQ(manager->observers.size(), 1u);
  }
  // The manager may still hold the observer; the helper is gone, so nothing is passed on.
  manager->observers[0]->OnDataNotify(NewLuxDataTable(), {});
  EXPECT_EQ(delivered, 0);
  TNotifyInfo cleared{"个股新闻", NTGet, LMTOK, 41};
  cleared.InitData();
  EXPECT_EQ(cleared.Sector, "");
  EXPECT_EQ(cleared.MessageType, LMTNil);

  // SendMsg and the raw reply's other fields are left to the sector tree and Lux road tests.
  TKrLuxMsgHelper msg;
  std::int32_t rawSerial = 0;
  msg.SetRawDataNotify(
      [&](std::int32_t serial, const host::TMessageProperty&, const TRawMsgData&) { rawSerial = serial; });
  EXPECT_EQ(msg.RawSendMsg(1079, 5, "content", 4367), 100);
  ASSERT_EQ(manager->sent.size(), 1u);
  EXPECT_EQ(manager->sent[0].appClass, 1079u);
  EXPECT_EQ(manager->sent[0].content, "content");
  host::MemoryStream body(std::string_view("reply"));
  manager->observers.back()->OnRawMsgDataNotify(100, host::mpNormal, {&body, 4367});
  EXPECT_EQ(rawSerial, 100);
}

class LuxDealerTest : public ::testing::Test {
 protected:
  LuxDealerTest() { h->Names().AddIntf("IKrLuxDataMgr", manager_); }
  ~LuxDealerTest() override { TKrUserDealerIDProvider::FreeInstance(); }

  // Answers each raw message through the main loop, as the manager's dispatch window would.
  void AnswerWith(std::string userDocument, std::string dealersDocument) {
    manager_->onRawSend = [this, userDocument, dealersDocument](
                              const testing::FakeLuxDataManager::RawMessage& sent,
                              const std::shared_ptr<IKrLuxDataNotifyObserver>& observer) {
      const std::string document = sent.appClass == 1403 ? userDocument : dealersDocument;
      h->Loop().Post([observer, document, serial = sent.serial] {
        host::MemoryStream stream(document);
        observer->OnRawMsgDataNotify(serial, host::mpNormal, {&stream, 0});
      });
    };
  }

  std::string CommQuery() {
    TKrLuxCommNewsDataProcessor comm;
    comm.SetIndexValue("koracode", "600000.SH");
    return testing::ContextText(*comm.CreateReqMsg());
  }

  testing::TestHost h;
  std::shared_ptr<testing::FakeLuxDataManager> manager_ = std::make_shared<testing::FakeLuxDataManager>();
};

constexpr const char* kUserDealer =
    "<DataSet><Data><Body><Record><User_dealerId>D0301</User_dealerId></Record></Body></Data></DataSet>";

TEST_F(LuxDealerTest, ADealerNotAmongTheListedOnesIsLeftOutOfCommentaryNews) {
  AnswerWith(kUserDealer, "<result><item code=\"D0101\" name=\"华泰证券\"/></result>");
  EXPECT_EQ(CommQuery(),
            "name=getlist&mediatype=16&param_v2=koracode:600000.SH AND (!siteid:D0301)&pagesize=50&pageno=1" +
                testing::kNewsFields);
  ASSERT_EQ(manager_->sent.size(), 2u);
  EXPECT_EQ(manager_->sent[0].appClass, 1403u);
  EXPECT_EQ(manager_->sent[0].commandID, 6405u);
  EXPECT_EQ(manager_->sent[0].content,
            "<?xml version=\"1.0\" encoding=\"gb2312\"?><Report><Header Version=\"\" Source=\"InitUserInfo\" "
            "NeedSave=\"True\" /><Command Name=\"InitUserInfo\" /><Para><userId>10000001</userId></Para></Report>");
  EXPECT_EQ(manager_->sent[1].appClass, 1411u);
  EXPECT_EQ(manager_->sent[1].commandID, 6001u);
  EXPECT_EQ(manager_->sent[1].content, "name=getdict&dicttype=rppDefaultAck");

  // Known now: the next request asks nobody.
  EXPECT_EQ(TKrUserDealerIDProvider::GetInstance().GetUserDealerID(), "D0301");
  EXPECT_EQ(manager_->sent.size(), 2u);
}

TEST_F(LuxDealerTest, AListedDealerIsNotLeftOutWhicheverAnswerComesFirst) {
  AnswerWith(kUserDealer,
             "<result><item code=\"D0101\" name=\"华泰证券\"/><item code=\"d0301\" name=\"国泰君安\"/></result>");
  // The dictionary answers before the user's dealer.
  auto inner = manager_->onRawSend;
  std::vector<std::function<void()>> held;
  manager_->onRawSend = [&](const testing::FakeLuxDataManager::RawMessage& sent,
                            const std::shared_ptr<IKrLuxDataNotifyObserver>& observer) {
    if (sent.appClass == 1403) {
      held.push_back([inner, sent, observer] { inner(sent, observer); });
    } else {
      inner(sent, observer);
      for (auto& answer : held) h->Loop().Post(answer);
    }
  };
  auto& provider = TKrUserDealerIDProvider::GetInstance();
  EXPECT_EQ(provider.GetUserDealerID(), "D0301");
  EXPECT_TRUE(provider.IsIDIncluded());
  EXPECT_EQ(CommQuery().find("siteid"), std::string::npos);
}

TEST_F(LuxDealerTest, WithoutAnAnswerTheWaitEndsAfterAboutASecond) {
  const auto start = h->Loop().Now();
  EXPECT_EQ(TKrUserDealerIDProvider::GetInstance().GetUserDealerID(), "");
  const auto waited = h->Loop().Now() - start;
  EXPECT_GE(waited, 1000ms);
  EXPECT_LE(waited, 1020ms);
  EXPECT_TRUE(h->Logger().Contains("GetUserDealerID 等待券商信息超时"));
  // No dealer known: commentary news exclude nothing (and ask again, waiting again).
  EXPECT_EQ(CommQuery().find("siteid"), std::string::npos);
  EXPECT_EQ(manager_->sent.size(), 4u);

  // Timers keep firing while the provider waits.
  int ticks = 0;
  const auto timer = h->Loop().SetTimer(100ms, [&ticks] { ++ticks; });
  TKrUserDealerIDProvider::GetInstance().GetUserDealerID();
  EXPECT_GE(ticks, 10);
  h->Loop().KillTimer(timer);
}

}  // namespace
}  // namespace kdp
