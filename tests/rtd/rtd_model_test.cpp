// The RTD model against the stand-in quote engine: subscriptions split by field range, resubscription
// trimming, update lists, permission reports, history play, format items, and an end-to-end check that
// every cached value equals what the engine sent.
#include "kdp/rtd/rtd_model.h"

#include <set>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kdp/host/ansi.h"
#include "kdp/host/services.h"
#include "kdp/ui/ui_resources.h"

#include "kdp/fields/hq_field_types.h"
#include "kdp/host/data_table.h"
#include "kdp/speed/speed_session.h"
#include "realtime_subscription.h"
#include "recording_play.h"
#include "rtd/rtd_format_item.h"
#include "rtd/rtd_item.h"
#include "rtd/rtd_provider.h"
#include "scripted_speed.h"
#include "sim_speed.h"
#include "test_host.h"

namespace kdp {
namespace {

using namespace std::chrono_literals;
using testing::FirstCodes;
using testing::QuotePush;
using testing::QuoteRow;
using testing::Subscription;
using testing::TestHost;

// A colour of the current style, by name.
std::uint32_t StyleColour(const char* name) {
  auto styles = host::KrIntfService<IKrHQStyleMgr>();
  auto style = styles ? styles->GetCurrentStyle() : nullptr;
  return style ? style->GetColor(name, 0) : 0;
}

// Expects the item's field `id` to hold what the engine sent for the code, or nothing when it sent nothing.
void ExpectCachedAsSent(IRTDItem& item, std::optional<minihost::QuoteValue> sent, std::uint32_t id) {
  if (!sent) {
    EXPECT_TRUE(item.IsNullByID(id));
  } else if (const auto* text = std::get_if<std::string>(&*sent)) {
    EXPECT_EQ(item.GetStringDataByID(id), host::AnsiToUtf8(*text));
  } else if (id == 17) {  // the dictionary's integer field
    EXPECT_EQ(item.GetIntDataByID(id), std::get<std::int64_t>(*sent));
  } else {
    const double number = std::holds_alternative<double>(*sent) ? std::get<double>(*sent)
                                                                : static_cast<double>(std::get<std::int64_t>(*sent));
    EXPECT_EQ(item.GetDoubleDataByID2(id), number);
  }
}

struct ModelTest : ::testing::Test {
  ModelTest() {
    h->StartPackage();
    h->Speed()->SyncNow();  // the engine connects once the session attached
  }
  // Lets the engine move `d` of server time and delivers what it pushed.
  void Run(std::chrono::seconds d) {
    h->Loop().RunUntilIdle();  // subscriptions made since go out first
    h.Clock().Advance(d);
    h->Speed()->SyncNow();
    h->Loop().RunUntilIdle();
  }
  TestHost h;
};

// What reaches the engine is each code, cut to 30 characters, with its fields of the engine's range (0 to
// 9999) only; the cloud's subscriber takes the cloud's.
TEST_F(ModelTest, TheEngineIsAskedOnlyForFieldsOfItsRangeAndCodesOfThirtyCharacters) {
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  h->Context().SetSpeed(engine);
  TKrRTDModel model;
  EXPECT_EQ(model.Subscrible(TKrRealTimeParamStructure()), -1);
  const auto one = Subscription({"600000.SH"}, {3, 10005, 8});
  EXPECT_EQ(model.Subscrible(one), 0);
  EXPECT_EQ(model.ToReqString(), "600000.SH: 3,10005,8");
  TKrCloudRTDSubscriber cloud;
  EXPECT_EQ(cloud.FiltIndexByRegion(one.GetItemArray(0)), (std::vector<std::uint32_t>{10005}));
  EXPECT_EQ(cloud.UnSubscrible(), -1);  // no request at the cloud index manager yet
  EXPECT_EQ(cloud.Subscrible(one), 0);
  EXPECT_EQ(cloud.UnSubscrible(), 0);

  ASSERT_EQ(model.Subscrible(Subscription({"600000.SH", "00700.HK"}, {3, 10005, 8, 20000, 9999, 10000})), 0);
  h->Loop().RunUntilIdle();
  ASSERT_FALSE(engine->Subscriptions().empty());
  const host::TKrSpeedSymbolDataList& symbols = engine->Subscriptions().back();
  ASSERT_EQ(symbols.size(), 2u);
  EXPECT_EQ(symbols[0].KoraCode, "600000.SH");
  EXPECT_EQ(symbols[1].KoraCode, "00700.HK");
  for (const auto& symbol : symbols) EXPECT_EQ(symbol.ItemIDs, (std::vector<std::uint32_t>{3, 8, 9999}));

  // Codes longer than 30 characters are cut in requests as in replies.
  const std::string longCode = "600000.SH" + std::string(31, 'Z');  // 40 characters
  const std::string cut = longCode.substr(0, 30);
  ASSERT_EQ(model.Subscrible(Subscription({longCode}, {3})), 0);
  h->Loop().RunUntilIdle();
  ASSERT_EQ(engine->Subscriptions().back().size(), 1u);
  EXPECT_EQ(engine->Subscriptions().back()[0].KoraCode, cut);
  EXPECT_EQ(model.ToReqString(), cut + ": 3");
  ASSERT_EQ(engine->observers.size(), 1u);
  engine->observers[0]->SaveQuoteData(QuotePush({{longCode, {{3, 12.0}}, {}}}));
  EXPECT_EQ(model.GetDoubleVal(cut, 3, 0), 12.0);
  EXPECT_EQ(model.GetRTDItemList(), (std::vector<std::string>{cut}));
  // The item is the subscription's: a new subscription without the code drops it.
  model.Subscrible(Subscription({"000001.SZ"}, {3}));
  EXPECT_EQ(model.GetRTDItem(cut), nullptr);
}

TEST_F(ModelTest, FormatItemsAreKeptPerCodeAndLookUpEachNameOnce) {
  TKrRTDModel model;
  model.Subscrible(Subscription({"600000.SH", "600745.SH"}, {2, 3, 4, 8, 10, 11, 81}));
  Run(60s);
  EXPECT_EQ(model.GetFormatVal("NOSUCH.SH", "NewPrice"), "");
  auto format = model.GetRTDFormatItem("600000.SH");
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(model.GetRTDFormatItem("600000.sh"), format);
  auto* concrete = dynamic_cast<TKrRTDFormatItem*>(format.get());
  ASSERT_NE(concrete, nullptr);

  const std::string price = model.GetFormatVal("600000.SH", "NewPrice");
  EXPECT_FALSE(price.empty());
  EXPECT_EQ(price.find('.'), price.size() - 3);  // two decimals: the price step of 0.01
  EXPECT_EQ(model.GetFormatVal("600000.SH", "StockName"), "浦发银行");
  // The change ratio is coloured against zero, whatever the market did.
  for (const auto& [ratio, colour] : {std::pair{0.0154, "RiseColor"}, {-0.0154, "FallColor"}, {0.0, "EqualColor"}}) {
    model.GetRTDItem("600000.SH")->SetRealTimeData(TSpeedQuoteData{"600000.SH", {81}, {ratio}});
    EXPECT_EQ(concrete->GetFormatColorNameByName("ChangeRatio", true), colour) << ratio;
    EXPECT_EQ(model.GetFormatColor("600000.SH", "ChangeRatio", true, nullptr), StyleColour(colour));
  }
  EXPECT_NE(StyleColour("RiseColor"), StyleColour("FallColor"));
  const int lookups = concrete->FormatLookups();
  for (int i = 0; i < 3; ++i) {
    model.GetFormatVal("600000.SH", "NewPrice");
    EXPECT_EQ(concrete->GetHQDictIDByName("NoSuchName"), 0);  // a name without a format is asked once too
  }
  EXPECT_EQ(concrete->FormatLookups(), lookups + 1);

  // An empty text is "-" when asked to check, and left empty otherwise.
  model.GetRTDItem("600000.SH")->SetRealTimeData(TSpeedQuoteData{"600000.SH", {11}, {NarrowText{""}}});
  EXPECT_EQ(model.GetFormatVal("600000.SH", "StockName", true), "-");
  EXPECT_EQ(model.GetFormatVal("600000.SH", "StockName", false), "");
  // A field never delivered is empty whatever checkNull says.
  EXPECT_EQ(model.GetFormatVal("600000.SH", "Amount", true), "");
  EXPECT_EQ(model.GetFormatVal("600000.SH", "Amount", false), "");
  // Dates and times show in their column's pattern; one never delivered is "-" when asked to check.
  model.GetRTDItem("600000.SH")->SetRealTimeData(TSpeedQuoteData{"600000.SH", {1, 2}, {20261204.0, 103005.0}});
  EXPECT_EQ(model.GetDateTimeFormatVal("600000.SH", "TradeDate"), "2026-12-04");
  EXPECT_EQ(model.GetDateTimeFormatVal("600000.SH", "TradeTime"), "10:30:05");
  EXPECT_EQ(model.GetDateTimeFormatVal("600000.SH", "LastTradeTime", true), "-");
  EXPECT_EQ(model.GetDateTimeFormatVal("600000.SH", "LastTradeTime", false), "");
  // The suspended security has no trades: no open price, an empty name with "-" when asked to check.
  EXPECT_EQ(model.GetFormatVal("600745.SH", "High"), "");
}

// Hong Kong prices show the decimals of each security's own price step, not the column's three.
TEST_F(ModelTest, PricesShowTheDecimalsOfTheSecuritysStepWhereTheColumnSaysSo) {
  TKrRTDModel model;
  auto row = [](const char* code, double price) { return TSpeedQuoteData{code, {3, 4}, {price, price}}; };
  model.Provider()->CloudSubscriber().NotifyUpdateCloudData(
      {row("00700.HK", 430.6), row("00003.HK", 6.125), row("00005.HK", 88.45), row("600000.SH", 10.005)});
  EXPECT_EQ(model.GetFormatVal("00700.HK", "NewPrice"), "430.6");   // step 0.2
  EXPECT_EQ(model.GetFormatVal("00003.HK", "NewPrice"), "6.13");    // step 0.01; the tie rounds up
  EXPECT_EQ(model.GetFormatVal("00005.HK", "PreClose"), "88.45");   // step 0.05
  EXPECT_EQ(model.GetFormatVal("600000.SH", "NewPrice"), "10.01");  // A shares: the column's two decimals
}

// Cloud rows and permission reports reach the cache. A widget reads field after field of one code; the
// model keeps the code's item between those reads, and must let go of it whenever the cache changes under
// it.
TEST_F(ModelTest, ReadsByCodeFollowTheCacheAsItChanges) {
  TKrRTDModel model;
  int notified = 0;
  model.SetUpdateNotify([&] { ++notified; });
  auto& cloud = model.Provider()->CloudSubscriber();
  cloud.NotifyCloudDataPermissionInfo({{"600036.SH", {"10002", "not a number"}}});
  auto reported = model.GetRTDItem("600036.SH");  // created by the report
  ASSERT_NE(reported, nullptr);
  EXPECT_FALSE(reported->HasPermissionByID(10002));
  EXPECT_TRUE(reported->HasPermissionByID(10001));
  EXPECT_EQ(notified, 0);

  const auto row = [](const char* code, double value) { return TSpeedQuoteData{code, {3, 10001}, {value, value * 2}}; };
  cloud.NotifyUpdateCloudData({row("600000.SH", 10.5), row("000001.SZ", 9.5)});
  EXPECT_EQ(notified, 1);
  const auto& updated = model.GetUpdateSecurityList();
  EXPECT_EQ(std::set<std::string>(updated.begin(), updated.end()), (std::set<std::string>{"000001.SZ", "600000.SH"}));
  cloud.NotifyUpdateCloudData({});  // empty updates notify nobody
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(model.GetDoubleVal("NOSUCH.SZ", 10001, -1), -1);  // no item: the default
  EXPECT_EQ(model.GetDoubleVal("600000.SH", 3, -1), 10.5);
  EXPECT_EQ(model.GetDoubleVal("600000.SH", 10001, -1), 21.0);
  EXPECT_EQ(model.GetDoubleVal("600000.sh", 3, -1), 10.5);  // any case
  EXPECT_EQ(model.GetDoubleVal("000001.SZ", 3, -1), 9.5);
  EXPECT_EQ(model.GetFormatVal("000001.SZ", "NewPrice"), "9.50");

  // The item goes: the next read of the same code finds none.
  model.Cache()->RemoveRealTimeItem(model.GetRTDItem("000001.SZ"));
  EXPECT_EQ(model.GetDoubleVal("000001.SZ", 3, -1), -1);
  EXPECT_TRUE(model.IsNull("000001.SZ", 3));
  EXPECT_EQ(model.GetFormatVal("000001.SZ", "NewPrice"), "");
  // Another item takes its place under the same code.
  auto replacement = model.Cache()->AddRTDItem("000001.SZ", nullptr);
  replacement->SetRealTimeData(row("000001.SZ", 8.25));
  EXPECT_EQ(model.GetDoubleVal("000001.SZ", 3, -1), 8.25);
  EXPECT_EQ(model.GetFormatVal("000001.SZ", "NewPrice"), "8.25");
  // A code the cache never held, read twice, and a code first added between two reads of it.
  EXPECT_EQ(model.GetStringVal("601318.SH", 11), "");
  EXPECT_EQ(model.GetStringVal("601318.SH", 11), "");
  cloud.NotifyUpdateCloudData({row("601318.SH", 30.0)});
  EXPECT_EQ(model.GetDoubleVal("601318.SH", 3, -1), 30.0);
  EXPECT_EQ(model.GetDoubleVal("600000.SH", 3, -1), 10.5);
}

// A push finds a code's item by the code's place in the subscription while the cache keeps its
// generation: an item a widget removed from the cache between pushes is made again by the next push that
// brings its code, not written through the place it had.
TEST_F(ModelTest, APushMakesAgainTheItemAWidgetRemoved) {
  const std::vector<std::string> codes = FirstCodes(h, 3);
  TKrRTDModel model;
  ASSERT_EQ(model.Subscrible(Subscription(codes, {3})), 0);
  Run(0s);
  Run(3s);
  model.Cache()->RemoveRealTimeItem(model.GetRTDItem(codes[1]));
  ASSERT_EQ(model.GetRTDItem(codes[1]), nullptr);
  for (int push = 0; push < 5 && !model.GetRTDItem(codes[1]); ++push) Run(3s);
  auto item = model.GetRTDItem(codes[1]);
  ASSERT_NE(item, nullptr) << "no push brought " << codes[1];
  const auto sent = h->Speed()->CurrentValue(codes[1], 3);
  ASSERT_TRUE(sent && std::holds_alternative<double>(*sent));
  EXPECT_EQ(item->GetDoubleDataByID2(3), std::get<double>(*sent));
}

// Replies no engine should send: they are dropped where they cannot be stored, logged once each, and
// leave the cache, and what an item costs, as a normal update left them.
TEST_F(ModelTest, HostileRepliesAreDroppedAndANormalUpdateStillLandsIntact) {
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  h->Context().SetSpeed(engine);  // the model's session attaches to it
  TKrRTDModel model;
  ASSERT_EQ(engine->observers.size(), 1u);
  ASSERT_EQ(model.Subscrible(Subscription({"600000.SH", "000001.SZ", "600004.SH"}, {3, 8, 11, 17})), 0);
  const auto deliver = [&](const std::vector<QuoteRow>& rows) {
    return engine->observers[0]->SaveQuoteData(QuotePush(rows));
  };
  const auto itemOf = [&](const std::string& code) {
    return std::dynamic_pointer_cast<TKrRTDItem>(model.GetRTDItem(code));
  };
  // Last price, volume and trading status (an integer field), and the name.
  const QuoteRow normal{"600000.SH", {{3, 10.5}, {8, 1200}, {17, 2}}, {{11, host::Utf8ToAnsi("浦发银行")}}};
  deliver({normal});
  auto item = itemOf("600000.SH");
  ASSERT_NE(item, nullptr);
  const std::size_t itemBytes = item->MemoryBytes();

  // Seventy thousand numeric column names the dictionary never defined, around one real field.
  QuoteRow flood{"600000.SH", {{3, 11.0}}, {}};
  for (std::uint32_t id = 100000; id < 170000; ++id) flood.numbers.emplace_back(id, 1.0);
  h->Logger().ClearRecords();
  EXPECT_EQ(deliver({flood}), 0);
  EXPECT_EQ(model.GetDoubleVal("600000.SH", 3, 0), 11.0);  // what can be stored is
  EXPECT_EQ(item->GetUpdateIndexList(), (std::vector<std::uint32_t>{3}));
  EXPECT_TRUE(item->IsNullByID(100000));
  EXPECT_EQ(item->MemoryBytes(), itemBytes);
  EXPECT_EQ(h->Logger().CountContaining("PrepareQuoteRows: a reply of"), 1u);
  EXPECT_TRUE(h->Logger().Contains("70000 fields not in the dictionary (first ID 100000)"));

  // Rows without a usable code: blank, and control characters only.
  h->Logger().ClearRecords();
  deliver({{"   ", {{3, 99.0}}, {}}, {"\t\r", {{3, 99.0}}, {}}, {"000001.SZ", {{3, 9.5}}, {}}});
  EXPECT_EQ(model.GetRTDItemList(), (std::vector<std::string>{"000001.SZ", "600000.SH"}));
  EXPECT_EQ(model.GetUpdateSecurityList(), (std::vector<std::string>{"000001.SZ"}));
  EXPECT_TRUE(h->Logger().Contains("a reply of 3 rows dropped 2 rows without a usable code"));

  // Cloud rows whose ID and value counts differ keep the pairs they have; a row without a code is dropped.
  h->Logger().ClearRecords();
  TSpeedQuoteData uneven{"000001.SZ", {10001, 10002, 10003}, {1.5}};
  TSpeedQuoteData spare{"000001.SZ", {10004}, {2.5, 3.5}};
  TSpeedQuoteData nameless{"", {10001}, {7.0}};
  model.Provider()->CloudSubscriber().NotifyUpdateCloudData({uneven, spare, nameless});
  EXPECT_EQ(model.GetDoubleVal("000001.SZ", 10001, -1), 1.5);
  EXPECT_EQ(model.GetDoubleVal("000001.SZ", 10004, -1), 2.5);
  EXPECT_TRUE(model.IsNull("000001.SZ", 10002));
  EXPECT_TRUE(h->Logger().Contains("3 IDs or values without a pair, 1 row without a usable code"));

  // Permission reports name fields the same way.
  model.Provider()->CloudSubscriber().NotifyCloudDataPermissionInfo({{"000001.SZ", {"10002", "99999999", "x"}}});
  EXPECT_FALSE(itemOf("000001.SZ")->HasPermissionByID(10002));
  EXPECT_TRUE(h->Logger().Contains("OnPressions: a permission report dropped 2 fields not in the dictionary"));

  // A normal update lands whole, and a security first seen now costs what the first one did.
  deliver({normal});
  EXPECT_EQ(model.GetDoubleVal("600000.SH", 3, 0), 10.5);
  EXPECT_EQ(model.GetDoubleVal("600000.SH", 8, 0), 1200);
  EXPECT_EQ(item->GetIntDataByID(17), 2);
  EXPECT_EQ(model.GetStringVal("600000.SH", 11), "浦发银行");
  EXPECT_EQ(item->GetUpdateIndexList(), (std::vector<std::uint32_t>{3, 8, 11, 17}));
  EXPECT_EQ(item->MemoryBytes(), itemBytes);
  QuoteRow another = normal;
  another.code = "600004.SH";
  deliver({another});
  ASSERT_NE(itemOf("600004.SH"), nullptr);
  EXPECT_EQ(itemOf("600004.SH")->MemoryBytes(), itemBytes);
}

TEST_F(ModelTest, HistoryPlayRegistersPlaysAndReadsThroughTheProvider) {
  auto play = std::make_shared<testing::RecordingPlay>();
  TKrRTDModel model;
  int notified = 0;
  model.SetUpdateNotify([&] { ++notified; });
  model.SetIsHisPlay(true);
  model.SetPlayType(3);
  model.SetHisPlayDataProvider(play);
  EXPECT_EQ(model.Subscrible(Subscription({"600000.SH", "000001.SZ"}, {3})), 0);
  EXPECT_EQ(play->played, (std::vector<std::string>{"600000.SH,000001.SZ/7/3"}));
  model.Subscrible(Subscription({"600000.SH"}, {3}));  // registered once, played again
  EXPECT_EQ(play->played.size(), 2u);

  Run(30s);
  EXPECT_EQ(model.GetRTDItem("600000.SH"), nullptr);  // nothing subscribed at the engine
  play->notify("600000.SH,000001.SZ");
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(model.GetDoubleVal("000001.SZ", 3, 0), 303);  // field 3 of play type 3
  EXPECT_FALSE(model.IsNull("000001.SZ", 3));
  EXPECT_EQ(model.UnSubscrible(), 7);
  EXPECT_EQ(play->dropped, (std::vector<int>{7}));

  // Playing again after an unsubscription registers afresh, and the new registration notifies.
  model.Subscrible(Subscription({"600519.SH"}, {3}));
  EXPECT_EQ(play->played.back(), "600519.SH/8/3");
  play->notify("600519.SH");
  EXPECT_EQ(notified, 2);
  EXPECT_EQ(model.GetDoubleVal("600519.SH", 4, 0), 403);
  EXPECT_EQ(model.UnSubscrible(), 8);
  EXPECT_EQ(model.UnSubscrible(), -1);  // nothing registered any more: nothing dropped twice
  EXPECT_EQ(play->dropped, (std::vector<int>{7, 8}));

  {
    TKrRTDModel single;
    int singleNotified = 0;
    single.SetUpdateNotify([&] { ++singleNotified; });
    single.SetIsHisPlay(true);
    single.SetHisPlayDataProvider(play);
    single.Subscrible(Subscription({"00700.HK", "600000.SH"}, {3}));
    EXPECT_EQ(play->played.back(), "00700.HK/9/0");  // play type 0 plays the first security only
    play->notify("00700.HK");                        // and its notification names that one code
    EXPECT_EQ(singleNotified, 1);
    ASSERT_NE(single.GetRTDItem("00700.HK"), nullptr);
    EXPECT_EQ(single.GetDoubleVal("00700.HK", 3, 0), 300);
    EXPECT_EQ(single.GetRTDItem("600000.SH"), nullptr);
  }
  EXPECT_EQ(play->dropped, (std::vector<int>{7, 8, 9}));  // the model going away drops its registration
}

// Widgets subscribing overlapping codes and fields share the package's one engine request and each push
// is read once; still every widget's cache holds exactly what the engine sent for its own codes and
// fields, and nothing another widget asked for. One widget takes 50 codes (more than the configuration's
// cache holds) and fields of every type.
TEST_F(ModelTest, EverySubscriberStoresExactlyWhatTheEngineSentForItsOwnSubscription) {
  const std::vector<std::string> all = FirstCodes(h, 50);
  const auto slice = [&](std::size_t from, std::size_t to) {
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(from),
                                    all.begin() + static_cast<std::ptrdiff_t>(to));
  };
  struct Widget {
    std::vector<std::string> codes;
    std::vector<std::uint32_t> fields;
    std::unique_ptr<TKrRTDModel> model = std::make_unique<TKrRTDModel>();
    int notified = 0;
  };
  std::vector<Widget> widgets;
  widgets.push_back({slice(0, 8), {3, 4, 8, 11}});
  widgets.push_back({slice(4, 12), {3, 9, 17, 81, 10005}});  // a cloud ID too: not the engine's
  const std::vector<std::uint32_t> anyField{1,  2,  3,  4,  5,  6,  7,  8,   9,    10,  11,
                                            12, 13, 17, 18, 25, 26, 81, 187, 1027, 1028};
  widgets.push_back({slice(0, 50), anyField});
  widgets.push_back({slice(2, 4), {11}});
  for (Widget& w : widgets) {
    w.model->SetUpdateNotify([&w] { ++w.notified; });
    ASSERT_EQ(w.model->Subscrible(Subscription(w.codes, w.fields)), 0);
  }
  auto& engine = *h->Speed();
  const auto check = [&](const std::string& when) {
    for (std::size_t i = 0; i < widgets.size(); ++i) {
      const Widget& w = widgets[i];
      for (const std::string& code : all) {
        SCOPED_TRACE(::testing::Message() << when << ": widget " << i << " " << code);
        auto item = w.model->GetRTDItem(code);
        if (std::find(w.codes.begin(), w.codes.end(), code) == w.codes.end()) {
          EXPECT_EQ(item, nullptr);
          continue;
        }
        ASSERT_NE(item, nullptr);
        for (std::uint32_t id : anyField) {
          SCOPED_TRACE(::testing::Message() << "field " << id);
          const bool own = std::find(w.fields.begin(), w.fields.end(), id) != w.fields.end();
          ExpectCachedAsSent(*item, own ? engine.CurrentValue(code, id) : std::nullopt, id);
        }
        for (std::uint32_t id : item->GetUpdateIndexList()) {
          EXPECT_NE(std::find(w.fields.begin(), w.fields.end(), id), w.fields.end()) << "updated field " << id;
        }
      }
    }
  };
  Run(0s);
  check("snapshot");
  // The engine asked the configuration about each of the 50 codes from its own thread; the cache kept at
  // most 20, starting afresh at the 21st and the 41st.
  EXPECT_EQ(G_GetHQSpeedImpl()->CallBack()->GetConfig()->CachedSecurityCount(), 10u);
  EXPECT_TRUE(engine.ConfigCalledOnlyOffMainThread());
  EXPECT_EQ(engine.SessionsOf("600000.SH"), "930,1130,1300,1500");  // what the package told it of the code
  for (int step = 1; step <= 3; ++step) {
    Run(3s);
    check("push " + std::to_string(step));
  }
  for (const Widget& w : widgets) EXPECT_GE(w.notified, 4);

  // A widget that leaves takes its codes out of the joint subscription; the others go on.
  const int leftAt = widgets[1].notified;
  EXPECT_EQ(widgets[1].model->UnSubscrible(), 0);
  widgets[3].model.reset();
  const int stayedAt = widgets[2].notified;
  Run(3s);
  EXPECT_EQ(widgets[1].notified, leftAt);
  EXPECT_GT(widgets[2].notified, stayedAt);
  widgets.erase(widgets.begin() + 3);
  widgets.erase(widgets.begin() + 1);
  check("after two widgets left");
}

// Widgets are told of a push before their caches take it: an item takes its row when it is first read or
// changed, or when the delivery ends. Whatever a widget reads, in its call-back or after, and whichever
// items outlive their model or leave its subscription meanwhile, it sees what the engine sent.
TEST_F(ModelTest, ItemsTakeADeferredPushWhenReadOrWhenTheDeliveryEnds) {
  const std::vector<std::string> codes = FirstCodes(h, 20);  // enough rows to be worth deferring
  ASSERT_EQ(codes.size(), 20u);
  const std::vector<std::uint32_t> fields{3, 4, 8};  // numbers, all of them
  // The second model takes some of each row's fields: its rows point at a field choice of its own, which
  // must outlive its resubscription in its call-back.
  const std::vector<std::uint32_t> someFields{3, 8};
  std::vector<std::unique_ptr<TKrRTDModel>> models;  // told in this order
  for (int m = 0; m < 4; ++m) {
    models.push_back(std::make_unique<TKrRTDModel>());
    ASSERT_EQ(models.back()->Subscrible(Subscription(codes, m == 1 ? someFields : fields)), 0);
  }
  Run(0s);
  EXPECT_FALSE(AnyDeferredQuoteRows());  // nobody read the snapshot, yet the delivery's end wrote it

  const auto valuesOf = [&](IRTDItem& item) {
    std::vector<double> values;
    for (std::uint32_t id : fields) values.push_back(item.GetDoubleDataByID2(id));
    return values;
  };
  auto& engine = *h->Speed();
  const auto sent = [&](const std::string& code, const std::vector<std::uint32_t>& taken) {
    std::vector<double> values;
    for (std::uint32_t id : fields) {
      const auto value =
          std::find(taken.begin(), taken.end(), id) != taken.end() ? engine.CurrentValue(code, id) : std::nullopt;
      values.push_back(!value                                   ? kHQNullValue
                       : std::holds_alternative<double>(*value) ? std::get<double>(*value)
                                                                : static_cast<double>(std::get<std::int64_t>(*value)));
    }
    return values;
  };
  auto heldByFirst = models[0]->GetRTDItem(codes[1]);    // read in the first call-back
  auto unreadByFirst = models[0]->GetRTDItem(codes[2]);  // its model goes before anyone reads it
  auto leavingSecond = models[1]->GetRTDItem(codes[5]);  // leaves the second model in its call-back
  const std::vector<double> before = valuesOf(*heldByFirst);
  std::vector<double> readByFirst, readThroughFirstModel;
  std::vector<std::uint32_t> updatedInFirst;
  bool deferredWhenTold = false;
  models[0]->SetUpdateNotify([&] {
    deferredWhenTold = AnyDeferredQuoteRows();
    readByFirst = valuesOf(*heldByFirst);
    updatedInFirst = heldByFirst->GetUpdateIndexList();
    readThroughFirstModel.push_back(models[0]->GetDoubleVal(codes[3], fields[0], -1));
  });
  models[1]->SetUpdateNotify([&] {
    // Two items leave: one held here, one nobody holds.
    std::vector<std::string> staying = codes;
    staying.erase(staying.begin() + 4, staying.begin() + 6);
    ASSERT_EQ(models[1]->Subscrible(Subscription(staying, someFields)), 0);
  });
  models[2]->SetUpdateNotify([&] { models[0].reset(); });
  Run(3s);

  EXPECT_TRUE(deferredWhenTold);
  EXPECT_FALSE(AnyDeferredQuoteRows());
  ASSERT_NE(readByFirst, before) << "the push changed nothing to check against";
  EXPECT_EQ(readByFirst, sent(codes[1], fields));
  EXPECT_EQ(std::set<std::uint32_t>(updatedInFirst.begin(), updatedInFirst.end()),
            std::set<std::uint32_t>(fields.begin(), fields.end()));
  EXPECT_EQ(readThroughFirstModel, std::vector<double>{sent(codes[3], fields)[0]});
  EXPECT_EQ(models[0], nullptr);
  EXPECT_EQ(valuesOf(*unreadByFirst), sent(codes[2], fields));
  EXPECT_EQ(models[1]->GetRTDItem(codes[5]), nullptr);
  EXPECT_EQ(valuesOf(*leavingSecond), sent(codes[5], someFields));
  for (std::size_t m = 1; m < models.size(); ++m) {
    for (const std::string& code : codes) {
      if (m == 1 && (code == codes[4] || code == codes[5])) continue;
      SCOPED_TRACE(::testing::Message() << "model " << m << " " << code);
      EXPECT_EQ(valuesOf(*models[m]->GetRTDItem(code)), sent(code, m == 1 ? someFields : fields));
    }
  }
}

// Each getter writes its item's deferred row before it reads: the first of two models, with rows enough to
// defer, reads each kind of value on an item of its own inside its call-back and sees the push it is told of.
TEST_F(ModelTest, EveryGetterWritesTheDeferredRowFirst) {
  auto engine = std::make_shared<testing::ScriptedSpeed>();
  h->Context().SetSpeed(engine);
  const std::vector<std::string> codes = FirstCodes(h, 16);
  ASSERT_EQ(codes.size(), 16u);
  // Trade date, last price, pre-close, name and trading status (an integer field).
  const std::vector<std::uint32_t> fields{1, 3, 4, 11, 17};
  TKrRTDModel first, second;
  ASSERT_EQ(first.Subscrible(Subscription(codes, fields)), 0);
  ASSERT_EQ(second.Subscrible(Subscription(codes, fields)), 0);
  h->Loop().RunUntilIdle();
  ASSERT_FALSE(engine->observers.empty());
  // The first push leaves the pre-close out; the second brings it and changes every other value.
  const auto push = [&](double date, double price, std::optional<double> preClose, const char* name, double status) {
    std::vector<QuoteRow> rows;
    for (const std::string& code : codes) {
      QuoteRow row{code, {{1, date}, {2, 103000}, {3, price}, {17, status}}, {{11, name}}};
      if (preClose) row.numbers.emplace_back(4, *preClose);
      rows.push_back(std::move(row));
    }
    engine->observers.back()->SaveQuoteData(QuotePush(rows));
  };
  push(20261203, 10.0, std::nullopt, "OLD", 1);
  // Whether rows were deferred when the call-back was told, then what it read: the name, the status, the
  // trade date, the pre-close (null or set) and the last price.
  std::string seen;
  first.SetUpdateNotify([&] {
    const bool deferred = AnyDeferredQuoteRows();  // before any read writes a row
    seen = fmt::format("deferred {}: {} {} {} {} {}", deferred, first.GetRTDItem(codes[0])->GetStringDataByID(11),
                       first.GetRTDItem(codes[1])->GetIntDataByID(17), first.GetRTDItem(codes[2])->GetDoubleDataByID(1),
                       first.GetRTDItem(codes[3])->IsNullByID(4) ? "null" : "set",
                       first.GetRTDItem(codes[4])->GetDoubleDataByID2(3));
  });
  push(20261204, 10.5, 9.8, "NEW", 2);
  EXPECT_EQ(seen, "deferred true: NEW 2 20261204 set 10.5");
}

}  // namespace
}  // namespace kdp
