// The package's quote feed and the preparation of quote rows: one engine request for every subscriber,
// one reading of each push shared by all of them, each subscriber served its own codes and fields; column
// layouts resolved once and kept across pushes, values converted as an item stores them, drops logged.
#include "rtd/rtd_quote_feed.h"

#include <map>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include "kdp/fields/hq_field_types.h"
#include "kdp/host/ansi.h"
#include "kdp/host/data_table.h"
#include "kdp/host/reply_packet.h"
#include "rtd/rtd_quote_layouts.h"
#include "scripted_speed.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::QuotePush;
using testing::QuoteRow;
using testing::TestHost;

// What one delivery gave a subscriber: per code, per field ID, the value as text ("10.5", "浦发银行",
// "integer 2", "nothing").
using Delivered = std::map<std::string, std::map<std::uint32_t, std::string>>;

std::string Describe(const TKrQuotePush& push, const TKrQuoteValue& value) {
  switch (value.kind) {
    case TKrQuoteValue::kNumber:
      return std::to_string(value.number);
    case TKrQuoteValue::kInteger:
      return "integer " + std::to_string(value.integer);
    case TKrQuoteValue::kText:
      return push.Text(value);
    default:
      return "nothing";
  }
}

Delivered Contents(const TKrRTDQuoteRows& rows) {
  Delivered out;
  for (const auto& entry : rows.Entries()) {
    auto& fields = out[entry.row->code];
    for (const TKrQuoteField& field : entry.shape->fields) {
      fields[field.id] = Describe(rows.Push(), rows.Push().Value(*entry.row, field));
    }
  }
  return out;
}

// Each entry of one delivery, in order: code, ordinal and the values taken ("600000.SH#1 8=1200.000000").
std::vector<std::string> EntryList(const TKrRTDQuoteRows& rows) {
  std::vector<std::string> out;
  for (const auto& entry : rows.Entries()) {
    std::string text = fmt::format("{}#{}", entry.row->code, entry.ordinal);
    for (const TKrQuoteField& field : entry.shape->fields) {
      text += fmt::format(" {}={}", field.id, Describe(rows.Push(), rows.Push().Value(*entry.row, field)));
    }
    out.push_back(std::move(text));
  }
  return out;
}

// A subscription as the engine got it, in order: "code: id,id; code: id".
std::string Joint(const host::TKrSpeedSymbolDataList& symbols) {
  std::string text;
  for (const auto& s : symbols)
    text += fmt::format("{}{}: {}", text.empty() ? "" : "; ", s.KoraCode, fmt::join(s.ItemIDs, ","));
  return text;
}

host::TKrSpeedSymbolDataList Symbols(const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& codes) {
  host::TKrSpeedSymbolDataList symbols;
  for (const auto& [code, ids] : codes) symbols.push_back({code, ids});
  return symbols;
}

struct QuoteFeedTest : ::testing::Test {
  QuoteFeedTest() {
    h->StartPackage();
    h->Context().SetSpeed(engine);  // the package's session takes it when the feed first asks
  }
  TestHost h;
  std::shared_ptr<testing::ScriptedSpeed> engine = std::make_shared<testing::ScriptedSpeed>();
};

TEST_F(QuoteFeedTest, OnePushIsReadOnceAndEachSubscriberTakesItsCodesAndFields) {
  auto feed = G_GetRTDQuoteFeed();
  std::vector<const TKrQuotePush*> pushes;  // the push each delivery came from
  Delivered a, b;
  int idleCalls = 0;
  const int ticketA = feed->Attach([&](const TKrRTDQuoteRows& rows) {
    pushes.push_back(&rows.Push());
    a = Contents(rows);
  });
  const int ticketB = feed->Attach([&](const TKrRTDQuoteRows& rows) {
    pushes.push_back(&rows.Push());
    b = Contents(rows);
    // A row this subscriber takes whole is written with the row's own shape.
    for (const auto& entry : rows.Entries()) {
      if (entry.row->code == "00700.HK") {
        EXPECT_EQ(entry.shape, entry.row->shape);
      }
    }
  });
  feed->Attach([&](const TKrRTDQuoteRows&) { ++idleCalls; });  // subscribes nothing
  ASSERT_TRUE(feed->HasRequest());
  ASSERT_EQ(engine->observers.size(), 1u);  // one request for all

  EXPECT_EQ(feed->Subscribe(ticketA, Symbols({{"600000.SH", {3, 8}}, {"000001.SZ", {3}}})), 0);
  EXPECT_EQ(feed->Subscribe(ticketB, Symbols({{"600000.sh", {3, 11, 3}}, {"00700.HK", {3, 8}}})), 0);
  EXPECT_TRUE(engine->Subscriptions().empty());  // sent once the present task is done, for both
  h->Loop().RunUntilIdle();
  ASSERT_EQ(engine->Subscriptions().size(), 1u);
  // Every code once, in the order first subscribed, with every field any subscriber asked for.
  EXPECT_EQ(Joint(engine->Subscriptions().back()), "600000.SH: 3,8,11; 000001.SZ: 3; 00700.HK: 3,8");

  const std::string name = host::Utf8ToAnsi("浦发银行");
  engine->observers[0]->SaveQuoteData(QuotePush({{"600000.SH", {{3, 10.5}, {8, 1200}}, {{11, name}}},
                                                 {"000001.SZ", {{3, 9.5}, {8, 100}}, {}},
                                                 {"00700.HK", {{3, 400}, {8, 5}}, {}},
                                                 {"600519.SH", {{3, 1800}}, {}}}));
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_EQ(pushes[0], pushes[1]);  // read once, shared
  EXPECT_EQ(a, (Delivered{{"600000.SH", {{3, "10.500000"}, {8, "1200.000000"}}}, {"000001.SZ", {{3, "9.500000"}}}}));
  EXPECT_EQ(b, (Delivered{{"600000.SH", {{3, "10.500000"}, {11, "浦发银行"}}},
                          {"00700.HK", {{3, "400.000000"}, {8, "5.000000"}}}}));
  EXPECT_EQ(idleCalls, 0);

  // Rows of one layout, taken differently by code and by subscriber; a subscriber's choice follows the
  // layout its code comes in.
  engine->observers[0]->SaveQuoteData(
      QuotePush({{"600000.SH", {{3, 10.6}, {8, 1250}}, {}}, {"000001.SZ", {{3, 9.55}, {8, 110}}, {}}}));
  EXPECT_EQ(a, (Delivered{{"600000.SH", {{3, "10.600000"}, {8, "1250.000000"}}}, {"000001.SZ", {{3, "9.550000"}}}}));
  EXPECT_EQ(b, (Delivered{{"600000.SH", {{3, "10.600000"}}}}));

  // A subscriber that leaves takes its codes out of the joint subscription.
  EXPECT_EQ(feed->Unsubscribe(ticketA), 0);
  h->Loop().RunUntilIdle();
  ASSERT_EQ(engine->Subscriptions().size(), 2u);
  EXPECT_EQ(Joint(engine->Subscriptions().back()), "600000.SH: 3,11; 00700.HK: 3,8");
  pushes.clear();
  a.clear();
  // A row bringing none of a subscriber's fields (600000.SH, volume only) does not reach it.
  engine->observers[0]->SaveQuoteData(
      QuotePush({{"000001.SZ", {{3, 9.6}}, {}}, {"00700.HK", {{3, 401}}, {}}, {"600000.SH", {{8, 1300}}, {}}}));
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(b, (Delivered{{"00700.HK", {{3, "401.000000"}}}}));
  feed->Detach(ticketB);
}

// Subscribers come and go (their places are reused once half are gone): the joint subscription keeps
// exactly the codes and fields still asked for, and each push still reaches the right subscriber.
TEST_F(QuoteFeedTest, SubscribersLeavingKeepTheJointSubscriptionAndDeliveriesRight) {
  auto feed = G_GetRTDQuoteFeed();
  std::map<int, Delivered> got;  // by subscriber number
  std::vector<int> tickets;
  const std::vector<std::pair<std::string, std::vector<std::uint32_t>>> asks{
      {"600000.SH", {3}}, {"000001.SZ", {3, 8}}, {"600000.SH", {8}}, {"00700.HK", {3}}, {"000001.SZ", {3}}};
  for (int i = 0; i < static_cast<int>(asks.size()); ++i) {
    tickets.push_back(feed->Attach([&got, i](const TKrRTDQuoteRows& rows) { got[i] = Contents(rows); }));
    feed->Subscribe(tickets.back(), Symbols({asks[static_cast<std::size_t>(i)]}));
  }
  // Subscribers 0, 1 and 3 leave: 600000.SH keeps field 8 only, 000001.SZ field 3 only, 00700.HK goes.
  for (int i : {0, 1, 3}) feed->Detach(tickets[static_cast<std::size_t>(i)]);
  h->Loop().RunUntilIdle();
  ASSERT_FALSE(engine->Subscriptions().empty());
  std::map<std::string, std::vector<std::uint32_t>> joint;
  for (const auto& symbol : engine->Subscriptions().back()) joint[symbol.KoraCode] = symbol.ItemIDs;
  EXPECT_EQ(joint, (std::map<std::string, std::vector<std::uint32_t>>{{"600000.SH", {8}}, {"000001.SZ", {3}}}));

  engine->observers.at(0)->SaveQuoteData(QuotePush({{"600000.SH", {{3, 10.5}, {8, 1200}}, {}},
                                                    {"000001.SZ", {{3, 9.5}, {8, 100}}, {}},
                                                    {"00700.HK", {{3, 400}}, {}}}));
  EXPECT_EQ(got, (std::map<int, Delivered>{{2, {{"600000.SH", {{8, "1200.000000"}}}}},
                                           {4, {{"000001.SZ", {{3, "9.500000"}}}}}}));
  // A newcomer after the places were reused is served too.
  const int late = feed->Attach([&got](const TKrRTDQuoteRows& rows) { got[9] = Contents(rows); });
  feed->Subscribe(late, Symbols({{"00700.HK", {3}}}));
  h->Loop().RunUntilIdle();
  got.clear();
  engine->observers.at(0)->SaveQuoteData(QuotePush({{"00700.HK", {{3, 401}}, {}}}));
  EXPECT_EQ(got, (std::map<int, Delivered>{{9, {{"00700.HK", {{3, "401.000000"}}}}}}));
  for (int ticket : {tickets[2], tickets[4], late}) feed->Detach(ticket);
}

// A delivery may end a later subscriber (its widget closes) and even the package's hold on the feed.
TEST_F(QuoteFeedTest, ASubscriberDetachedDuringADeliveryHearsNothingMore) {
  auto feed = G_GetRTDQuoteFeed();
  TKrRTDQuoteFeed* delivering = feed.get();
  int firstCalls = 0, secondCalls = 0, thirdCalls = 0;
  int first = 0, second = 0;
  // The first subscriber's call-back detaches itself and the second (two of three places empty: the
  // feed would close the gaps at once outside a delivery) and drops the feed's last owner, then still
  // uses what it captured.
  first = feed->Attach([&](const TKrRTDQuoteRows&) {
    delivering->Detach(first);
    delivering->Detach(second);
    FreeRTDQuoteFeed();
    ++firstCalls;
  });
  second = feed->Attach([&](const TKrRTDQuoteRows&) { ++secondCalls; });
  const int third = feed->Attach([&](const TKrRTDQuoteRows& rows) { thirdCalls += rows.GetRowCount(); });
  for (int ticket : {first, second, third}) feed->Subscribe(ticket, Symbols({{"600000.SH", {3}}}));
  auto observer = engine->observers.at(0);
  feed.reset();
  observer->SaveQuoteData(QuotePush({{"600000.SH", {{3, 10.5}}, {}}}));
  EXPECT_EQ(firstCalls, 1);
  EXPECT_EQ(secondCalls, 0);
  EXPECT_EQ(thirdCalls, 1);
}

// A code may come twice in one push: a subscriber takes both rows, in the push's order. A delivery that
// changes the joint subscription (the first subscriber leaving moves the code joined last into its
// place) leaves the later subscribers their own rows. A push bringing few of a board's codes serves them
// too.
TEST_F(QuoteFeedTest, LaterSubscribersTakeTheirOwnRowsInPushOrderWhateverEarlierDeliveriesChange) {
  auto feed = G_GetRTDQuoteFeed();
  int ticketA = 0;
  std::vector<std::string> a, b, c;
  ticketA = feed->Attach([&](const TKrRTDQuoteRows& rows) {
    a = EntryList(rows);
    feed->Unsubscribe(ticketA);
  });
  const int ticketB = feed->Attach([&](const TKrRTDQuoteRows& rows) { b = EntryList(rows); });
  const int ticketC = feed->Attach([&](const TKrRTDQuoteRows& rows) { c = EntryList(rows); });
  feed->Subscribe(ticketA, Symbols({{"600519.SH", {3}}}));
  feed->Subscribe(
      ticketB,
      Symbols({{"000001.SZ", {3}}, {"600000.SH", {8}}, {"000002.SZ", {3}}, {"600036.SH", {3}}, {"601318.SH", {3}}}));
  feed->Subscribe(ticketC, Symbols({{"300750.SZ", {3}}}));
  h->Loop().RunUntilIdle();
  engine->observers.at(0)->SaveQuoteData(QuotePush({{"600519.SH", {{3, 1800}}, {}},
                                                    {"600000.SH", {{3, 10.5}, {8, 1200}}, {}},
                                                    {"000001.SZ", {{3, 9.5}}, {}},
                                                    {"600000.SH", {{8, 1300}}, {}},
                                                    {"300750.SZ", {{3, 180}}, {}}}));
  EXPECT_EQ(a, (std::vector<std::string>{"600519.SH#0 3=1800.000000"}));
  EXPECT_EQ(b, (std::vector<std::string>{"600000.SH#1 8=1200.000000", "000001.SZ#0 3=9.500000",
                                         "600000.SH#1 8=1300.000000"}));
  EXPECT_EQ(c, (std::vector<std::string>{"300750.SZ#0 3=180.000000"}));
  engine->observers.at(0)->SaveQuoteData(QuotePush({{"600036.SH", {{3, 20}}, {}}}));
  EXPECT_EQ(b, (std::vector<std::string>{"600036.SH#3 3=20.000000"}));
  for (int ticket : {ticketA, ticketB, ticketC}) feed->Detach(ticket);
}

// A one-row value table with columns of any name and type.
struct Column {
  std::string name;
  std::string type;
  host::TDataTable::Cell value;
};

// With `shareFields`, each row's table shares its field infos with the row before when their columns are
// the same, as an engine decoding rows of one layout does.
std::shared_ptr<host::IDataSet> Push(const std::vector<std::pair<std::string, std::vector<Column>>>& rows,
                                     bool shareFields = false) {
  auto body = host::MakeQuoteBody();
  std::shared_ptr<host::TDataTable> previous;
  for (const auto& [code, columns] : rows) {
    auto values = std::make_shared<host::TDataTable>();
    values->AddRow();
    for (const Column& c : columns) values->Set(0, values->AddField(c.name, c.type), c.value);
    if (shareFields && previous) values->ShareFieldsWith(*previous);
    previous = values;
    host::AddQuoteBodyRow(*body, code, values);
  }
  return host::MakeReplyPacket({}, body);
}

struct QuoteLayoutsTest : ::testing::Test {
  QuoteLayoutsTest() { h->StartPackage(); }  // the fields dictionary
  TestHost h;
  TKrQuoteLayouts layouts;
};

TEST_F(QuoteLayoutsTest, ValuesAreConvertedOnceAsTheFieldsDictionaryTypeStoresThem) {
  const std::string gbk = host::Utf8ToAnsi("浦发银行");
  const std::vector<Column> columns{
      {"3", "double", 10.5},                         // a number field
      {"8", "int64", std::int64_t{1200}},            // an integer sent for a number field
      {"17", "int", std::int32_t{2}},                // the dictionary's integer field
      {"11", "string", gbk},                         // a name in the engine's code page
      {"20001", "string", std::string("新闻标题")},  // a cloud-range text: already UTF-8
      {"5", "string", std::string("10.1")},          // a text for a number field: nothing stored
      {"x", "double", 1.0},                          // not an ID: skipped
      {"6", "blob", 1.0},                            // not a type: skipped
      {"100000", "double", 1.0},                     // not in the dictionary: dropped
  };
  h->Logger().ClearRecords();
  auto push = layouts.Prepare(*Push({{"600000.SH", columns}, {"000001.SZ", columns}}));
  ASSERT_EQ(push->Rows().size(), 2u);
  const TKrRTDQuoteRows rows(push);
  EXPECT_EQ(Contents(rows)["600000.SH"], (std::map<std::uint32_t, std::string>{{3, "10.500000"},
                                                                               {8, "1200.000000"},
                                                                               {17, "integer 2"},
                                                                               {11, "浦发银行"},
                                                                               {20001, "新闻标题"},
                                                                               {5, "nothing"}}));
  EXPECT_TRUE(h->Logger().Contains(
      "PrepareQuoteRows: a reply of 2 rows dropped 2 fields not in the dictionary (first ID 100000)"));

  // Rows of one layout share one shape, in this push and the next; another column order is another
  // layout. The shape ranks the IDs.
  const TKrQuoteShape* shape = push->Rows()[0].shape;
  EXPECT_EQ(push->Rows()[1].shape, shape);
  std::vector<std::uint32_t> ranked(shape->fields.size());
  for (const TKrQuoteField& field : shape->fields) ranked.at(field.rank) = field.id;
  EXPECT_EQ(ranked, (std::vector<std::uint32_t>{3, 5, 8, 11, 17, 20001}));
  EXPECT_TRUE(shape->distinct);
  auto next = layouts.Prepare(*Push({{"600000.SH", columns}}));
  EXPECT_EQ(next->Rows()[0].shape->serial, shape->serial);
  auto reordered = layouts.Prepare(*Push({{"600000.SH", {columns[1], columns[0]}}}));
  EXPECT_NE(reordered->Rows()[0].shape->serial, shape->serial);

  // An integer beyond 32 bits stores nothing; the field is still delivered.
  auto big = layouts.Prepare(*Push({{"600000.SH", {{"17", "double", 3e9}}}}));
  EXPECT_EQ(Contents(TKrRTDQuoteRows(big))["600000.SH"], (std::map<std::uint32_t, std::string>{{17, "nothing"}}));
}

TEST_F(QuoteLayoutsTest, RowsSharingFieldInfosAreReadByTheirOwnColumns) {
  const auto row = [](double price, std::int64_t volume) {
    return std::vector<Column>{{"3", "double", price}, {"8", "int64", volume}};
  };
  // The second row shares the first's field infos; the third has the same IDs in another order (its own
  // field infos), and the fourth the first's columns again, but not its field infos.
  auto push = layouts.Prepare(*Push({{"600000.SH", row(10.5, 1200)},
                                     {"600001.SH", row(11.5, 1300)},
                                     {"600002.SH", {{"8", "int64", std::int64_t{1400}}, {"3", "double", 12.5}}},
                                     {"600003.SH", row(13.5, 1500)}},
                                    true));
  const auto delivered = Contents(TKrRTDQuoteRows(push));
  const auto expect = [](const char* price, const char* volume) {
    return std::map<std::uint32_t, std::string>{{3, price}, {8, volume}};
  };
  EXPECT_EQ(delivered.at("600000.SH"), expect("10.500000", "1200.000000"));
  EXPECT_EQ(delivered.at("600001.SH"), expect("11.500000", "1300.000000"));
  EXPECT_EQ(delivered.at("600002.SH"), expect("12.500000", "1400.000000"));
  EXPECT_EQ(delivered.at("600003.SH"), expect("13.500000", "1500.000000"));
}

TEST_F(QuoteLayoutsTest, AnEngineInventingLayoutsCannotGrowTheTable) {
  std::shared_ptr<const TKrQuotePush> kept;
  for (int i = 0; i < 3 * static_cast<int>(TKrQuoteLayouts::kMaxLayouts); ++i) {
    auto push = layouts.Prepare(*Push({{"600000.SH", {{std::to_string(i + 1), "double", 1.0}}}}));
    if (i == 0) kept = push;
    EXPECT_LE(layouts.LayoutCount(), TKrQuoteLayouts::kMaxLayouts);
  }
  // A push outlives the table's forgetting of its layout.
  ASSERT_EQ(kept->Rows().size(), 1u);
  EXPECT_EQ(kept->Rows()[0].shape->fields.at(0).id, 1u);
}

TEST_F(QuoteLayoutsTest, NamesConvertedBeforeReadRightAndAnEngineInventingNamesCannotGrowTheirMemory) {
  // Row i is named "股票<i>" in the engine's code page; the first name comes again in the last row, after
  // the memory of converted names has started afresh.
  const auto name = [](std::size_t i) { return "股票" + std::to_string(i); };
  const std::size_t count = TKrQuoteLayouts::kMaxRememberedTexts + 10;
  std::vector<std::pair<std::string, std::vector<Column>>> rows;
  for (std::size_t i = 0; i <= count; ++i) {
    rows.push_back({fmt::format("{:06}.SH", i), {{"11", "string", host::Utf8ToAnsi(name(i % count))}}});
  }
  auto push = layouts.Prepare(*Push(rows));
  EXPECT_LE(layouts.RememberedTextCount(), TKrQuoteLayouts::kMaxRememberedTexts);
  const auto delivered = Contents(TKrRTDQuoteRows(push));
  for (std::size_t i : {std::size_t{0}, std::size_t{1}, count - 1, count}) {
    EXPECT_EQ(delivered.at(fmt::format("{:06}.SH", i)).at(11), name(i % count)) << i;
  }
}

TEST_F(QuoteLayoutsTest, UpdateRecordsKeepTheirPairsAndDropWhatCannotBeStored) {
  auto push = layouts.Prepare(std::vector<TSpeedQuoteData>{
      {"000001.SZ", {10001, 10002, 10003}, {1.5}},
      {std::string(40, 'A'), {10004}, {2.5, 3.5}},
      {"\t", {10001}, {7.0}},
      {"600000.SH", {}, {}},
  });
  ASSERT_EQ(push->Rows().size(), 4u);
  EXPECT_EQ(Contents(TKrRTDQuoteRows(push))["000001.SZ"], (std::map<std::uint32_t, std::string>{{10001, "1.500000"}}));
  EXPECT_FALSE(push->Rows()[2].usable);
  EXPECT_FALSE(push->Rows()[3].touchesFlags);  // a row naming no field leaves the items' flags alone
  EXPECT_TRUE(push->Rows()[0].touchesFlags);
}

}  // namespace
}  // namespace kdp
