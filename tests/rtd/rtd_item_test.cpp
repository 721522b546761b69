// Real-time items and the cache: the update algorithm and its flag bytes, typed stores, prepared rows
// written by position, what an item costs, permissions, history play, the time-zone shift, the
// suspension minute and the cache's keys.
#include "rtd/rtd_item.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "core/data_cache.h"
#include "fields/hq_dictionary.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/host/ansi.h"
#include "kdp/host/bin_document.h"
#include "recording_play.h"
#include "rtd/rtd_quote_layouts.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::TestHost;

// Field IDs of the sample dictionary.
constexpr std::uint32_t kTradeDate = 1, kTime = 2, kNewPrice = 3, kPreClose = 4, kHigh = 6, kLow = 7, kVolume = 8,
                        kName = 11, kStatus = 17, kSuspension = 18, kConversionPrice = 32, kLastTradeTime = 1027,
                        kCloudText = 10001;

TSpeedQuoteData Quote(std::string code, std::vector<std::pair<std::uint32_t, QuoteVariant>> fields) {
  TSpeedQuoteData q;
  q.FKoraCode = std::move(code);
  for (auto& [id, value] : fields) {
    q.FItemArray.push_back(id);
    q.FValueArray.push_back(std::move(value));
  }
  return q;
}

// The trade date, time and last trade time as the item reads them in the chosen zone: "20261204 233015 103000".
std::string Times(IRTDItem& item) {
  return fmt::format("{} {} {}", item.GetDoubleDataByID(kTradeDate), item.GetDoubleDataByID(kTime),
                     item.GetDoubleDataByID(kLastTradeTime));
}

struct RTDItemTest : ::testing::Test {
  TestHost h;
  std::shared_ptr<IRTDCache> cache = CreateRTDCache();
  std::shared_ptr<IRTDItem> item = cache->AddRTDItem("600000.SH", h->Securities().GetSecurity("600000.SH"));
};

TEST_F(RTDItemTest, FlagBytesFollowTheUpdates) {
  item->SetRealTimeData(Quote("600000.SH", {{kNewPrice, 10.5}, {kVolume, std::int64_t{1200}}}));
  EXPECT_FALSE(item->IsNullByID(kNewPrice));
  EXPECT_EQ(item->GetDoubleDataByID(kNewPrice), 10.5);
  EXPECT_EQ(item->GetUpdateIndexList(), (std::vector<std::uint32_t>{kNewPrice, kVolume}));

  // An update naming no field leaves every flag as it was, the last-update bit included.
  item->SetRealTimeData(Quote("600000.SH", {}));
  EXPECT_EQ(item->GetUpdateIndexList(), (std::vector<std::uint32_t>{kNewPrice, kVolume}));

  // A text for a number field stores nothing but still marks the field.
  item->SetRealTimeData(Quote("600000.SH", {{kNewPrice, NarrowText{"oops"}}}));
  EXPECT_EQ(item->GetDoubleDataByID(kNewPrice), 10.5);
  EXPECT_FALSE(item->IsNullByID(kNewPrice));
  EXPECT_EQ(item->GetUpdateIndexList(), (std::vector<std::uint32_t>{kNewPrice}));

  // An integer field accepts values up to 2147483647 only.
  item->SetRealTimeData(Quote("600000.SH", {{kStatus, std::int64_t{3'000'000'000}}}));
  EXPECT_EQ(item->GetIntDataByID(kStatus), 0);
  EXPECT_FALSE(item->IsNullByID(kStatus));  // marked all the same
  item->SetRealTimeData(Quote("600000.SH", {{kStatus, 2.0}}));
  EXPECT_EQ(item->GetIntDataByID(kStatus), 2);
  EXPECT_EQ(item->GetDoubleDataByID(kStatus), 0);  // an integer field keeps no number

  // Texts arrive narrow from the engine and wide from the cloud.
  item->SetRealTimeData(Quote(
      "600000.SH", {{kName, NarrowText{host::Utf8ToAnsi("浦发银行")}}, {kCloudText, NarrowText{"already wide"}}}));
  EXPECT_EQ(item->GetStringDataByName("StockName"), "浦发银行");
  EXPECT_EQ(item->GetStringDataByID(kName), "浦发银行");
  EXPECT_TRUE(item->IsNullByID(9999));  // never delivered
  EXPECT_EQ(item->GetDoubleDataByID2(9999), kHQNullValue);
  EXPECT_EQ(item->GetDoubleDataByID(9999), 0);
}

// Rows of one shape are written by position once the item holds exactly that shape's fields; any other
// field the item gains (here a permission report's) must end that, or values land in the wrong fields.
TEST_F(RTDItemTest, PreparedRowsGoByPositionOnlyWhileTheItemHoldsExactlyTheirFields) {
  auto& concrete = dynamic_cast<TKrRTDItem&>(*item);
  TKrQuoteLayouts layouts;
  const auto write = [&](double price, double volume, const char* name) {
    const auto push = layouts.Prepare(std::vector<TSpeedQuoteData>{
        Quote("600000.SH", {{kVolume, volume}, {kNewPrice, price}, {kName, WideText{name}}})});
    concrete.WriteQuoteRow(*push, push->Rows()[0], *push->Rows()[0].shape);
  };
  const auto expect = [&](double price, double volume, const char* name) {
    EXPECT_EQ(item->GetDoubleDataByID(kNewPrice), price);
    EXPECT_EQ(item->GetDoubleDataByID(kVolume), volume);
    EXPECT_EQ(item->GetStringDataByID(kName), name);
    EXPECT_EQ(item->GetUpdateIndexList(), (std::vector<std::uint32_t>{kNewPrice, kVolume, kName}));
  };
  write(10.5, 1200, "浦发银行");
  expect(10.5, 1200, "浦发银行");
  write(10.6, 1300, "浦发");
  expect(10.6, 1300, "浦发");
  item->SetHasPermissionByID(kPreClose, false);  // a field between the price and the volume
  write(10.7, 1400, "浦发银行");
  expect(10.7, 1400, "浦发银行");
  EXPECT_TRUE(item->IsNullByID(kPreClose));
  EXPECT_FALSE(item->HasPermissionByID(kPreClose));
  EXPECT_EQ(item->GetDoubleDataByID(kPreClose), 0);
  item->SetRealTimeData(Quote("600000.SH", {{kHigh, 11.0}}));
  write(10.8, 1500, "浦发银行");
  expect(10.8, 1500, "浦发银行");
  EXPECT_EQ(item->GetDoubleDataByID(kHigh), 11.0);

  // A row of fields the dictionary does not know leaves an item with nothing, and no shape to go by;
  // field 0 names no field.
  auto bare = cache->AddRTDItem("600036.SH", nullptr);
  const auto unknown = layouts.Prepare(std::vector<TSpeedQuoteData>{Quote("600036.SH", {{100000, 1.0}})});
  dynamic_cast<TKrRTDItem&>(*bare).WriteQuoteRow(*unknown, unknown->Rows()[0], *unknown->Rows()[0].shape);
  for (std::uint32_t id : {0u, kNewPrice, 100000u}) {
    EXPECT_TRUE(bare->IsNullByID(id));
    EXPECT_EQ(bare->GetDoubleDataByID(id), 0);
  }
  EXPECT_TRUE(item->IsNullByID(0));
  EXPECT_EQ(item->GetDoubleDataByID(0), 0);
}

// Rows deferred for an item are written in the order they came, each as an update: the older row's
// fields stay, the newer one's are the last updated. The cache keeps the pushes alive until it settles.
TEST_F(RTDItemTest, DeferredRowsAreWrittenInTheOrderTheyCame) {
  auto& concrete = dynamic_cast<TKrRTDItem&>(*item);
  auto& rtdCache = dynamic_cast<TKrRTDCache&>(*cache);
  TKrQuoteLayouts layouts;
  std::weak_ptr<const TKrQuotePush> older, newer;
  {
    auto pushed =
        layouts.Prepare(std::vector<TSpeedQuoteData>{Quote("600000.SH", {{kNewPrice, 10.5}, {kVolume, 1200.0}})});
    older = pushed;
    const TKrRTDQuoteRows first(std::move(pushed));
    pushed = layouts.Prepare(std::vector<TSpeedQuoteData>{Quote("600000.SH", {{kNewPrice, 10.6}})});
    newer = pushed;
    const TKrRTDQuoteRows second(std::move(pushed));
    for (const TKrRTDQuoteRows* rows : {&first, &second}) {
      rtdCache.HoldForDeferred(*rows);
      rtdCache.Defer(concrete, rows->Push(), rows->Entries()[0]);
    }
  }
  // A read writes the item's rows; the pushes stay held until the cache settles.
  EXPECT_EQ(item->GetUpdateIndexList(), std::vector<std::uint32_t>{kNewPrice});
  EXPECT_EQ(item->GetDoubleDataByID(kNewPrice), 10.6);
  EXPECT_EQ(item->GetDoubleDataByID(kVolume), 1200.0);
  EXPECT_FALSE(older.expired());
  EXPECT_FALSE(newer.expired());
  SettleDeferredQuoteRows();
  EXPECT_TRUE(older.expired());
  EXPECT_TRUE(newer.expired());
}

// An item costs what its own fields cost: another item holding thousands of cloud indicators (or a reply
// flooding the dictionary's range) changes nothing for the next one.
TEST_F(RTDItemTest, AnItemsMemoryDependsOnItsOwnFieldsOnly) {
  // Cloud indicators 10001 to 15000, and a quote field first used after them.
  constexpr std::uint32_t kLastCloud = 15000, kLateField = 9000;
  auto& dictionary = KrHQDictionaryImpl();
  std::string xml = "<HQDictionary>";
  for (std::uint32_t id = 10001; id <= kLastCloud; ++id) {
    if (!dictionary.GetDictionaryItem(static_cast<int>(id))) {
      xml += fmt::format(R"(<Item id="{}" name="Indicator{}" type="double" CloudType="1"/>)", id, id);
    }
  }
  xml += fmt::format(R"(<Item id="{}" name="LateField" type="double"/></HQDictionary>)", kLateField);
  std::string bytes;
  auto document = host::HQQueryBinDocInterface();
  ASSERT_TRUE(host::EncodeXmlAsBinDocument(xml, bytes) && document->LoadFromBytes(bytes));
  dictionary.LoadBinDictionaryData(*document->GetRoot());

  const auto quoteFields = Quote("600000.SH", {{kNewPrice, 10.5}, {kVolume, 1200.0}, {kName, WideText{"浦发银行"}}});
  auto& first = dynamic_cast<TKrRTDItem&>(*item);
  first.SetRealTimeData(quoteFields);
  const std::size_t firstBytes = first.MemoryBytes();

  std::vector<std::pair<std::uint32_t, QuoteVariant>> indicators;
  for (std::uint32_t id = 10001; id <= kLastCloud; ++id) indicators.emplace_back(id, id * 0.5);
  auto heavy = cache->AddRTDItem("000001.SZ", nullptr);
  heavy->SetRealTimeData(Quote("000001.SZ", indicators));
  EXPECT_EQ(heavy->GetDoubleDataByID(12345), 6172.5);
  EXPECT_EQ(heavy->GetDoubleDataByID(kLastCloud), kLastCloud * 0.5);
  EXPECT_GE(dynamic_cast<TKrRTDItem&>(*heavy).MemoryBytes(), (kLastCloud - 10000) * 16);

  auto same = cache->AddRTDItem("600036.SH", nullptr);
  same->SetRealTimeData(quoteFields);
  EXPECT_EQ(dynamic_cast<TKrRTDItem&>(*same).MemoryBytes(), firstBytes);
  // One field more, first used after the indicators, costs one cell more.
  auto late = cache->AddRTDItem("600004.SH", nullptr);
  auto withLate = quoteFields;
  withLate.FItemArray.push_back(kLateField);
  withLate.FValueArray.emplace_back(7.0);
  late->SetRealTimeData(withLate);
  EXPECT_LE(dynamic_cast<TKrRTDItem&>(*late).MemoryBytes(), firstBytes + 64);
  EXPECT_EQ(late->GetDoubleDataByID(kLateField), 7.0);
  EXPECT_EQ(late->GetStringDataByID(kName), "浦发银行");
}

// A field the dictionary does not define is stored as an integer and marked like any other (flag 7), and
// its permission bit works the same; an item keeps 64 such fields, so one update naming 70,000 of them
// costs what an update naming the first 64 costs.
TEST_F(RTDItemTest, UndefinedFieldsAreIntegersWithinABound) {
  constexpr std::uint32_t kUndefined = 100000;
  item->SetRealTimeData(Quote(
      "600000.SH",
      {{kNewPrice, 10.5}, {kUndefined, 7.0}, {kUndefined + 1, NarrowText{"text"}}, {kUndefined + 2, 3000000000.0}}));
  EXPECT_EQ(item->GetIntDataByID(kUndefined), 7);
  EXPECT_EQ(item->GetDoubleDataByID(kUndefined), 0);  // an integer field holds no number
  EXPECT_FALSE(item->IsNullByID(kUndefined + 1));     // marked, though a text is not an integer
  EXPECT_EQ(item->GetStringDataByID(kUndefined + 1), "");
  EXPECT_EQ(item->GetIntDataByID(kUndefined + 2), 0);  // beyond the integer range: not stored
  EXPECT_EQ(item->GetUpdateIndexList(),
            (std::vector<std::uint32_t>{kNewPrice, kUndefined, kUndefined + 1, kUndefined + 2}));
  item->SetHasPermissionByID(kUndefined + 3, false);
  EXPECT_FALSE(item->HasPermissionByID(kUndefined + 3));
  EXPECT_TRUE(item->IsNullByID(kUndefined + 3));
  item->SetHasPermissionByID(kUndefined, false);
  EXPECT_FALSE(item->HasPermissionByID(kUndefined));

  std::vector<std::pair<std::uint32_t, QuoteVariant>> flood{{kNewPrice, 10.5}}, kept{{kNewPrice, 10.5}};
  for (std::uint32_t id = kUndefined; id < kUndefined + 70000; ++id) flood.emplace_back(id, 1.0 * (id - kUndefined));
  kept.insert(kept.end(), flood.begin() + 1, flood.begin() + 1 + 64);
  auto flooded = cache->AddRTDItem("600036.SH", nullptr);
  auto bounded = cache->AddRTDItem("600004.SH", nullptr);
  flooded->SetRealTimeData(Quote("600036.SH", flood));
  flooded->SetRealTimeData(Quote("600036.SH", flood));
  bounded->SetRealTimeData(Quote("600004.SH", kept));
  EXPECT_EQ(dynamic_cast<TKrRTDItem&>(*flooded).MemoryBytes(), dynamic_cast<TKrRTDItem&>(*bounded).MemoryBytes());
  EXPECT_EQ(flooded->GetIntDataByID(kUndefined + 63), 63);
  EXPECT_TRUE(flooded->IsNullByID(kUndefined + 64));
  EXPECT_EQ(flooded->GetUpdateIndexList().size(), 65u);
  EXPECT_EQ(h->Logger().CountContaining("600036.SH keeps 64 fields not in the dictionary"), 1u);
}

TEST_F(RTDItemTest, PermissionBitsAndClearing) {
  EXPECT_TRUE(item->HasPermissionByID(kNewPrice));  // no flag byte yet
  item->SetHasPermissionByID(kNewPrice, false);
  EXPECT_FALSE(item->HasPermissionByID(kNewPrice));
  EXPECT_TRUE(item->IsNullByID(kNewPrice));  // a flag byte holding only the no-right bit
  item->SetRealTimeData(Quote("600000.SH", {{kNewPrice, 10.0}, {kTradeDate, 20261204.0}}));
  EXPECT_FALSE(item->HasPermissionByID(kNewPrice));  // an update keeps the bit
  EXPECT_FALSE(item->HasPermissionByName("newprice"));
  item->SetHasPermissionByName("NewPrice", true);
  EXPECT_TRUE(item->HasPermissionByID(kNewPrice));
  EXPECT_TRUE(item->HasPermissionByName("NoSuchField"));

  item->ClearAllData();
  EXPECT_TRUE(item->IsNullByID(kNewPrice));
  EXPECT_EQ(item->GetDoubleDataByID(kTradeDate), 20261204.0);  // the trade date survives
  EXPECT_FALSE(item->IsNullByID(kTradeDate));
  item->Reset();
  EXPECT_TRUE(item->IsNullByID(kTradeDate));
  EXPECT_EQ(item->GetDoubleDataByID(kTradeDate), 0);
}

TEST_F(RTDItemTest, HistoryPlayReadsThroughTheProvider) {
  item->SetRealTimeData(Quote("600000.SH", {{kNewPrice, 10.0}}));
  item->SetIsHisPlay(true);
  EXPECT_EQ(item->GetDoubleDataByID(kNewPrice), 10.0);  // no provider yet: still live
  item->SetIKrHisPlayDataProvider(std::make_shared<testing::RecordingPlay>());
  item->SetPlayType(3);
  EXPECT_EQ(item->GetDoubleDataByID(kNewPrice), 303);
  EXPECT_EQ(item->GetDoubleDataByID2(kVolume), 803);
  EXPECT_EQ(item->GetStringDataByID(kName), "600000.SH#11");
  EXPECT_EQ(item->GetIntDataByID(kStatus), 17);
  EXPECT_FALSE(item->IsNullByID(10000));
  EXPECT_TRUE(item->IsNullByID(10001));
  item->SetIsHisPlay(false);
  EXPECT_EQ(item->GetDoubleDataByID(kNewPrice), 10.0);
}

TEST_F(RTDItemTest, TimesShiftIntoTheChosenZone) {
  item->SetRealTimeData(Quote("600000.SH", {{kTradeDate, 20261204.0}, {kTime, 233015.0}, {kLastTradeTime, 103000.0}}));
  ASSERT_TRUE(h->StartPackage());  // the world clock
  EXPECT_EQ(GetHQCach().GetTimeZoneEnName(), "Default");
  EXPECT_EQ(Times(*item), "20261204 233015 103000");  // exactly as stored

  GetHQCach().SetTimeZoneEnName("Tokyo");  // one hour ahead: 23:30 in Shanghai is tomorrow in Tokyo
  EXPECT_EQ(Times(*item), "20261205 3015 113000");
  EXPECT_EQ(item->GetDoubleDataByID2(kTime), 233015);  // the second read never shifts

  GetHQCach().SetTimeZoneEnName("New York");  // 13 hours behind in December
  EXPECT_EQ(Times(*item), "20261204 103015 213000");
  GetHQCach().SetTimeZoneEnName("Atlantis");  // an unknown zone leaves values alone
  EXPECT_EQ(Times(*item), "20261204 233015 103000");

  // A time is shifted on its own trade date, not the server's: on 1 July New York keeps summer time, 12
  // hours behind, although the server's December date would say 13.
  GetHQCach().SetTimeZoneEnName("New York");
  item->SetRealTimeData(Quote("600000.SH", {{kTradeDate, 20260701.0}}));
  EXPECT_EQ(Times(*item), "20260701 113015 223000");  // the last trade of 30 June there

  // New York keeps daylight time from 8 March 2026: 10:10 on the 10th in Shanghai is 22:10 the day before.
  item->SetRealTimeData(Quote("600000.SH", {{kTradeDate, 20260310.0}, {kTime, 101000.0}}));
  GetHQCach().SetTimeZoneEnName("New York");
  EXPECT_EQ(Times(*item), "20260309 221000 223000");
}

// Computed fields run their expression over the item's own fields (a "Ref_" variable reads the field of
// that name), build on other computed fields, and are null until every field they read has arrived.
TEST_F(RTDItemTest, ComputedFieldsRunTheirExpressionsAndAreNullUntilTheirFieldsArrive) {
  ASSERT_TRUE(h->StartPackage());  // the format manager and its expressions
  // Amplitude = (High - Low) / PreClose * 100
  item->SetRealTimeData(Quote("600000.SH", {{kHigh, 10.5}, {kPreClose, 10.0}}));
  EXPECT_TRUE(item->IsNullByName("Amplitude"));  // Low has not arrived
  item->SetRealTimeData(Quote("600000.SH", {{kLow, 10.2}}));
  EXPECT_FALSE(item->IsNullByName("Amplitude"));
  EXPECT_NEAR(item->GetDoubleDataByName("Amplitude"), 3.0, 1e-9);
  EXPECT_TRUE(item->IsNullByName("NoSuchField"));
  EXPECT_EQ(item->GetDoubleDataByName("NoSuchField"), 0);

  auto bond = cache->AddRTDItem("110059.SH", h->Securities().GetSecurity("110059.SH"));
  bond->SetRealTimeData(Quote("110059.SH", {{kNewPrice, 111.5}, {kConversionPrice, 10.0}}));
  // ConversionValue = 100 / ConversionPrice * Ref_NewPrice = 100 / 10 * 111.5
  EXPECT_NEAR(bond->GetDoubleDataByName("ConversionValue"), 1115.0, 1e-9);
  // PremiumRate = (NewPrice / ConversionValue - 1) * 100 = (111.5 / 1115 - 1) * 100
  EXPECT_NEAR(bond->GetDoubleDataByName("PremiumRate"), -90.0, 1e-9);
}

TEST(SuspensionMinuteTest, DatePartMustMatchTheTradeDate) {
  struct Case {
    const char* flag;
    const char* date;
    int minute;
  };
  const Case cases[] = {
      {"1053", "20240105", 3}, {"1053", "20240106", 0}, {"11053", "20241105", 3},     {"11053", "20241106", 0},
      {"7", "20240105", 7},    {"", "20240105", 0},     {"202401059", "20240105", 9}, {"202401069", "20240105", 0},
      {"12345", "2024", 0},    {"99x", "20240105", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.flag) + " " + c.date);
    EXPECT_EQ(SuspensionMinuteOf(c.flag, c.date), c.minute);
  }
}

TEST_F(RTDItemTest, SuspensionMinuteNeedsBothFields) {
  EXPECT_EQ(item->GetDoubleSpecialDataByID(REALTIME_SPECIALDATA_SUSPENSIONMINUTE), 0);
  item->SetRealTimeData(Quote("600000.SH", {{kSuspension, 1053.0}}));
  EXPECT_EQ(item->GetDoubleSpecialDataByID(REALTIME_SPECIALDATA_SUSPENSIONMINUTE), 0);  // no trade date
  item->SetRealTimeData(Quote("600000.SH", {{kTradeDate, 20240105.0}}));
  EXPECT_EQ(item->GetDoubleSpecialDataByID(REALTIME_SPECIALDATA_SUSPENSIONMINUTE), 3);
  EXPECT_EQ(item->GetDoubleSpecialDataByID(2), 0);
}

TEST_F(RTDItemTest, CacheKeysAndDiffs) {
  auto lower = cache->AddRTDItem("600001.sh", nullptr);
  EXPECT_EQ(cache->GetRealTimeItem("600000.sh"), item);     // looked up upper-cased
  EXPECT_EQ(cache->GetRealTimeItem("600001.sh"), nullptr);  // stored as given, never found
  cache->AddRTDItem("000001.SZ", nullptr);
  EXPECT_EQ(cache->GetRealTimeItemList(), (std::vector<std::string>{"000001.SZ", "600000.SH", "600001.sh"}));
  EXPECT_TRUE(item->IsValid());

  TKrRealTimeParamStructure wanted(1);
  wanted.SetKoraCode(0, "600000.SH");
  cache->ClearDiffCodes({"600000.SH", "000001.SZ", "600000.sh"}, wanted);
  EXPECT_EQ(cache->GetRealTimeItemList(), (std::vector<std::string>{"600001.sh"}));
  EXPECT_EQ(cache->GetRealTimeItem("600000.SH"), nullptr);  // "600000.sh" is not "600000.SH": removed

  // A replaced item is released and the code listed once.
  auto first = cache->AddRTDItem("300750.SZ", nullptr);
  auto second = cache->AddRTDItem("300750.SZ", nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(cache->GetRealTimeItem("300750.SZ"), second);
  EXPECT_EQ(std::count(cache->GetRealTimeItemList().begin(), cache->GetRealTimeItemList().end(), "300750.SZ"), 1);
  cache->RemoveRealTimeItem(first);  // no longer the stored one: only its code goes
  EXPECT_EQ(cache->GetRealTimeItem("300750.SZ"), second);
}

}  // namespace
}  // namespace kdp
