// The reminder file and the price-alert records: every reminder survives a round trip, a file that does
// not read in every part is refused with the reason, a corrupt file on disk is kept aside and never written
// over, and alert records are JSON with numbers as numbers.
#include "kdp/alerts/remind_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "config_files.h"
#include "kdp/alerts/price_alert.h"
#include "test_host.h"

namespace kdp {
namespace {

using ::testing::HasSubstr;
using testing::ScratchDir;
using testing::TestHost;
using testing::WriteTextFile;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One reminder of every class, each setting away from its default.
TKrRemindList EveryKind() {
  TKrRemindList reminds;
  for (int t = 0; t <= static_cast<int>(TKrRemindType::rtSpread); ++t) {
    auto remind = TKrConditionsRemindBase::CreateConditionsRemind(static_cast<TKrRemindType>(t));
    if (!remind) continue;
    remind->SetID(std::to_string(t));
    remind->SetKoraCode("600000.SH");
    remind->SetMemo("备注 <&\"'> " + std::to_string(t));
    remind->SetState(TKrTriggerState::tsMonitor);
    remind->SetTriggerFrequency(TKrTriggerFrequency::tfOnceVeryDay);
    remind->SetContinueMonitor(false);
    double value = 1.25;
    for (TKrRemindParam& param : remind->GetParams()) {
      if (param.numeric) {
        EXPECT_TRUE(param.Set(std::to_string(value += 1.5))) << param.name;
      }
    }
    reminds.push_back(std::move(remind));
  }
  auto* diff = dynamic_cast<TKrPriceDiffArriveRemind*>(reminds[2].get());
  if (diff != nullptr) {
    diff->FSecondKoraCode = "000001.SZ";
    diff->FMonitorPriceDiffType = TMonitorPriceDiffType::pdtPriceRate;
  }
  return reminds;
}

TEST(RemindFileTest, EveryReminderSurvivesARoundTrip) {
  TestHost h;
  const TKrRemindList written = EveryKind();
  ASSERT_EQ(written.size(), 11u);
  const std::string text = TKrRemindFile::FormatReminds(written);
  TKrRemindList read;
  std::string error;
  ASSERT_TRUE(TKrRemindFile::ParseReminds(text, read, error)) << error;
  ASSERT_EQ(read.size(), written.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    SCOPED_TRACE(std::string(RemindTypeName(written[i]->GetRemindType())));
    EXPECT_EQ(read[i]->GetRemindType(), written[i]->GetRemindType());
    const auto before = written[i]->GetParams();
    const auto after = read[i]->GetParams();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t p = 0; p < before.size(); ++p) EXPECT_EQ(after[p].Get(), before[p].Get()) << before[p].name;
  }
  EXPECT_EQ(TKrRemindFile::FormatReminds(read), text);
  EXPECT_EQ(read[0]->GetMemo(), "备注 <&\"'> 1");
  EXPECT_EQ(read[0]->GetTriggerFrequency(), TKrTriggerFrequency::tfOnceVeryDay);
  EXPECT_FALSE(read[0]->GetContinueMonitor());
  auto* diff = dynamic_cast<TKrPriceDiffArriveRemind*>(read[2].get());
  ASSERT_NE(diff, nullptr);
  EXPECT_EQ(diff->FSecondKoraCode, "000001.SZ");
  EXPECT_EQ(diff->FMonitorPriceDiffType, TMonitorPriceDiffType::pdtPriceRate);
}

TEST(RemindFileTest, AFileThatDoesNotReadInEveryPartIsRefusedWithTheReason) {
  TestHost h;
  const std::string good = R"(<Remind Type="rtPriceArrive" Code="600000.SH" CustomPrice="10"/>)";
  const auto file = [](const std::string& body) {
    return "<ConditionReminds version=\"1\">" + body + "</ConditionReminds>";
  };
  struct Case {
    std::string bytes;
    std::string reason;
  };
  const std::vector<Case> cases{
      {"", "No document element"},
      {"<ConditionReminds><Remind", "at byte"},
      {"<Reminders/>", "the root element is \"Reminders\""},
      {R"(<ConditionReminds version="2"/>)", "version 2"},
      {file(good + "<Other/>"), "not a Remind element"},
      {file(good + "text"), "not a Remind element"},
      {file(R"(<Remind Type="rtGuess" Code="600000.SH"/>)"), "unknown reminder type \"rtGuess\""},
      {file(R"(<Remind Code="600000.SH"/>)"), "unknown reminder type \"\""},
      {file(R"(<Remind Type="rtSpread" Code="600000.SH"/>)"), "unknown reminder type \"rtSpread\""},
      {file(R"(<Remind Type="rtPriceArrive" CustomPrice="10"/>)"), "names no security"},
      {file(R"(<Remind Type="rtTimeArrive" Code="600000.SH"/>)"), "names no time"},
      {file(R"(<Remind Type="rtPriceArrive" Code="600000.SH" CustomPrice="ten"/>)"), "\"CustomPrice\" does not read"},
      {file(R"(<Remind Type="rtPriceArrive" Code="600000.SH" CustomPrice="nan"/>)"), "\"CustomPrice\" does not read"},
      {file(R"(<Remind Type="rtPriceArrive" Code="600000.SH" CustomPrice="1e999"/>)"), "does not read"},
      {file(R"(<Remind Type="rtPriceArrive" Code="600000.SH" MonitorPriceType="ptSideways"/>)"),
       "\"MonitorPriceType\" does not read"},
      {file(R"(<Remind Type="rtPriceArrive" Code="600000.SH" State="2"/>)"), "\"State\" does not read"},
      {file(R"(<Remind Type="rtPriceArrive" Code="600000.SH" FitRemindAgain="maybe"/>)"), "does not read"},
      {file(R"(<Remind Type="rtTimeArrive" Time="2026-02-30 10:00:00"/>)"), "\"Time\" does not read"},
      {file(R"(<Remind Type="rtPriceArrive" Code="600000.SH" Range="3"/>)"), "has no setting \"Range\""},
      {file(good + R"(<Remind Type="rtPriceArrive" Code="600000.SH" CustomPrice="x"/>)"), "reminder 2"},
      {std::string(TKrRemindFile::kMaxFileBytes + 1, ' '), "more than a reminder file holds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 120));
    TKrRemindList read;
    std::string error;
    EXPECT_FALSE(TKrRemindFile::ParseReminds(c.bytes, read, error));
    EXPECT_THAT(error, HasSubstr(c.reason));
    EXPECT_TRUE(read.empty());
  }
  // What does read: no version, comments, and a time reminder without a security.
  TKrRemindList read;
  std::string error;
  ASSERT_TRUE(TKrRemindFile::ParseReminds("<ConditionReminds><!-- mine -->" + good +
                                              R"(<Remind Type="rtTimeArrive" Time="2026-12-04 14:55"/>)" +
                                              "</ConditionReminds>",
                                          read, error))
      << error;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(dynamic_cast<TKrTimeArriveRemind&>(*read[1]).FTime, host::DateTime::FromParts(2026, 12, 4, 14, 55));
}

// Replaces whatever the file holds with `reminds`.
bool SaveAll(TKrRemindFile& file, TKrRemindList reminds, std::string& error, std::string* keptAside = nullptr) {
  return file.Update(
      [&](TKrRemindList& onDisk) {
        onDisk = std::move(reminds);
        return true;
      },
      error, keptAside);
}

TEST(RemindFileTest, ACorruptFileIsReportedOnReadAndKeptAsideOnTheNextWrite) {
  TestHost h;
  ScratchDir dir;
  TKrRemindFile file(dir.File("ConditionRemind.xml"));
  TKrRemindFileLoad missing = file.Load();
  EXPECT_FALSE(missing.corrupt);
  EXPECT_TRUE(missing.reminds.empty());

  std::string error;
  ASSERT_TRUE(SaveAll(file, EveryKind(), error)) << error;
  TKrRemindFileLoad saved = file.Load();
  EXPECT_FALSE(saved.corrupt);
  EXPECT_EQ(saved.reminds.size(), 11u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);  // the file and its lock

  // Cut short, as a crash in another program might leave it: reading says so and changes nothing.
  const std::string whole = ReadFile(file.Path());
  const std::string damaged = whole.substr(0, whole.size() / 2);
  WriteTextFile(file.Path(), damaged);
  TKrRemindFileLoad load = file.Load();
  EXPECT_TRUE(load.corrupt);
  EXPECT_TRUE(load.reminds.empty());
  EXPECT_EQ(ReadFile(file.Path()), damaged);

  // The next write keeps it aside, logged, then writes.
  h->Logger().ClearRecords();
  TKrRemindList one;
  one.push_back(TKrConditionsRemindBase::CreateConditionsRemind(TKrRemindType::rtPriceArrive));
  one.back()->SetKoraCode("000001.SZ");
  std::string keptAside;
  ASSERT_TRUE(SaveAll(file, std::move(one), error, &keptAside)) << error;
  EXPECT_EQ(keptAside, file.Path() + ".corrupt-20261204103000");
  EXPECT_EQ(ReadFile(keptAside), damaged);
  EXPECT_TRUE(h->Logger().Contains("kept aside as " + keptAside));
  EXPECT_EQ(file.Load().reminds.size(), 1u);
  // Under the next free name the second time.
  WriteTextFile(file.Path(), "<ConditionReminds><Remind");
  ASSERT_TRUE(SaveAll(file, EveryKind(), error, &keptAside)) << error;
  EXPECT_EQ(keptAside, file.Path() + ".corrupt-20261204103000-2");

  // Something that cannot be read as a file is neither moved nor written over.
  ScratchDir other;
  TKrRemindFile notAFile(other.File("ConditionRemind.xml"));
  std::filesystem::create_directories(notAFile.Path() + "/inside");
  TKrRemindFileLoad unreadable = notAFile.Load();
  EXPECT_TRUE(unreadable.corrupt);
  EXPECT_THAT(unreadable.error, HasSubstr("cannot read"));
  EXPECT_FALSE(SaveAll(notAFile, EveryKind(), error));
  EXPECT_THAT(error, HasSubstr("not written over"));
  EXPECT_TRUE(std::filesystem::is_directory(notAFile.Path() + "/inside"));
}

TEST(RemindFileTest, EntriesThatDoNotReadAreSkippedAndTheFileIsNeverWrittenOver) {
  TestHost h;
  ScratchDir dir;
  const std::string good = R"(<Remind Type="rtPriceArrive" ID="1" Code="600000.SH" CustomPrice="10"/>)";
  const std::string other = R"(<Remind Type="rtRangeArrive" ID="3" Code="000001.SZ" Range="3"/>)";
  struct Case {
    std::string root;  // the root's start tag
    std::string bad;   // what sits between the two good reminders
    std::string why;
  };
  const std::vector<Case> cases{
      {"<ConditionReminds>", R"(<Remind Type="rtHologram" ID="2" Code="600000.SH"/>)", "unknown reminder type"},
      {"<ConditionReminds>", R"(<Remind Type="rtPriceArrive" ID="2" Code="600000.SH" CustomPrice="ten"/>)",
       "\"CustomPrice\" does not read"},
      {"<ConditionReminds>", "<Note/>", "entry 2 (at byte "},
      {R"(<ConditionReminds version="2">)", "", "version 2 is not 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string bytes = c.root + good + c.bad + other + "</ConditionReminds>";
    TKrRemindFile file(dir.File("ConditionRemind.xml"));
    WriteTextFile(file.Path(), bytes);
    TKrRemindFileLoad load = file.Load();
    EXPECT_FALSE(load.corrupt);
    ASSERT_EQ(load.reminds.size(), 2u);
    EXPECT_EQ(load.reminds[0]->GetID(), "1");
    EXPECT_EQ(load.reminds[1]->GetID(), "3");
    ASSERT_EQ(load.skipped.size(), 1u);
    EXPECT_THAT(load.skipped[0], HasSubstr(c.why));
    // A write would lose what this version could not read: refused, the file as it was.
    std::string error;
    bool asked = false;
    EXPECT_FALSE(file.Update(
        [&](TKrRemindList&) {
          asked = true;
          return true;
        },
        error));
    EXPECT_FALSE(asked);
    EXPECT_THAT(error, HasSubstr("not written over"));
    EXPECT_EQ(ReadFile(file.Path()), bytes);
  }
}

TEST(RemindFileTest, AFileInTheChineseCodePageReadsAndIsWrittenBackAsUtf8) {
  TestHost h;
  ScratchDir dir;
  TKrRemindFile file(dir.File("ConditionRemind.xml"));
  // "备注" in GB2312 is B1 B8 D7 A2.
  WriteTextFile(file.Path(),
                "<?xml version=\"1.0\" encoding=\"GB2312\"?><ConditionReminds><Remind "
                "Type=\"rtPriceArrive\" ID=\"1\" Code=\"600000.SH\" Memo=\"\xB1\xB8\xD7\xA2\"/>"
                "</ConditionReminds>");
  TKrRemindFileLoad load = file.Load();
  ASSERT_EQ(load.reminds.size(), 1u);
  EXPECT_EQ(load.reminds[0]->GetMemo(), "备注");
  std::string error;
  ASSERT_TRUE(SaveAll(file, std::move(load.reminds), error)) << error;
  EXPECT_THAT(ReadFile(file.Path()), HasSubstr("encoding=\"UTF-8\""));
  EXPECT_THAT(ReadFile(file.Path()), HasSubstr("Memo=\"备注\""));
}

TEST(RemindFileTest, AWriteOverTheReadLimitIsRefusedBeforeItIsWritten) {
  TestHost h;
  ScratchDir dir;
  TKrRemindFile file(dir.File("ConditionRemind.xml"));
  // Two memos of 9 MiB each: one fits a file, two do not.
  const auto withMemo = [](const std::string& id) {
    auto remind = TKrConditionsRemindBase::CreateConditionsRemind(TKrRemindType::rtPriceArrive);
    remind->SetID(id);
    remind->SetKoraCode("600000.SH");
    remind->SetMemo(std::string(9u << 20, 'm'));
    return remind;
  };
  const auto add = [&](const std::string& id, std::string& error) {
    return file.Update(
        [&](TKrRemindList& reminds) {
          reminds.push_back(withMemo(id));
          return true;
        },
        error);
  };
  std::string error;
  ASSERT_TRUE(add("1", error)) << error;
  const std::string before = ReadFile(file.Path());
  EXPECT_FALSE(add("2", error));
  EXPECT_THAT(error, HasSubstr("more than a reminder file holds"));
  EXPECT_EQ(ReadFile(file.Path()), before);
  EXPECT_EQ(file.Load().reminds.size(), 1u);
}

TEST(PriceAlertTest, RecordsGroupRemindersBySecurityAndWriteNumbersAsNumbers) {
  TestHost h;
  h->StartPackage();
  TKrPriceArriveRemind up;
  up.SetID("1");
  up.SetKoraCode("600000.SH");
  up.FCustomPrice = 10.5;
  TKrLossBlowRemind loss;
  loss.SetID("2");
  loss.SetKoraCode("000001.SZ");
  loss.FLossPrice = 9;
  TKrRangeArriveRemind range;
  range.SetID("3");
  range.SetKoraCode("600000.SH");
  range.FRange = 2;
  range.SetMemo("bad \xff byte");

  const auto alerts = TKrPriceAlert::FromReminds({&up, &loss, nullptr, &range});
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].FKoraCode, "600000.SH");
  EXPECT_EQ(alerts[0].FConditions.size(), 2u);
  EXPECT_EQ(alerts[1].FKoraCode, "000001.SZ");

  const auto json = nlohmann::json::parse(alerts[0].ToJSonStr());
  EXPECT_EQ(json["KoraCode"], "600000.SH");
  const auto& first = json["Conditions"][0];
  EXPECT_EQ(first["ID"], "1");
  EXPECT_EQ(first["Type"], "rtPriceArrive");
  EXPECT_EQ(first["TypeText"], "价格到达");
  EXPECT_EQ(first["Desc"], "最新价上涨到10.50");
  EXPECT_TRUE(first["Params"]["CustomPrice"].is_number());
  EXPECT_EQ(first["Params"]["CustomPrice"].get<double>(), 10.5);
  EXPECT_EQ(first["Params"]["MonitorPriceType"], "ptPriceUp");
  EXPECT_EQ(first["Params"]["Code"], "600000.SH");  // a code is text, never a number
  EXPECT_EQ(json["Conditions"][1]["Params"]["Memo"], "bad \xEF\xBF\xBD byte");
  EXPECT_EQ(nlohmann::json::parse(alerts[1].FConditions[0].ToJSonStr())["Params"]["LossPrice"].get<double>(), 9.0);
}

}  // namespace
}  // namespace kdp
