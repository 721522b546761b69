// Start-up publishes the package's services in table order; shut-down withdraws all of them, tolerates a
// second pass, and the package can start again in the same process.
#include <algorithm>

#include <gtest/gtest.h>

#include "config_files.h"
#include "core/package_lookup.h"
#include "core/string_catalog.h"
#include "fields/hq_dictionary.h"
#include "format/format_manager.h"
#include "frame/registration.h"
#include "kdp/messaging/messaging.h"
#include "kdp/package.h"
#include "kdp/refdata/related_data.h"
#include "script/script_server.h"
#include "test_host.h"
#include "ui/ui_resources.h"

namespace kdp {
namespace {

using testing::ScratchDir;
using testing::TestHost;

std::size_t RowsOn(PublishChannel channel) {
  return static_cast<std::size_t>(std::count_if(StartupServices().begin(), StartupServices().end(),
                                                [&](const PublishedService& row) { return row.channel == channel; }));
}

TEST(LifecycleTest, ShutDownWithdrawsEverythingAndToleratesASecondPass) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  EXPECT_NE(G_GetScriptServer(), nullptr);  // a module start step, before the registration routine
  // Services created on demand while in service are withdrawn too.
  ASSERT_NE(G_QueryInterface("IURLMgr"), nullptr);
  ASSERT_NE(G_QueryInterface("IFutureRelateIndex"), nullptr);
  EXPECT_EQ(h->Names().Entries().size(), RowsOn(PublishChannel::kNameRegistry) + 2);

  h->StopPackage();
  EXPECT_EQ(G_GetScriptServer(), nullptr);
  EXPECT_TRUE(h->Names().Entries().empty());
  EXPECT_TRUE(h->Registry().Entries().empty());
  EXPECT_EQ(h->Context().UnloadNotifications(), 1);
  EXPECT_TRUE(h->Logger().Contains("UnRegisterHQPubIntf: every published service withdrawn"));
  EXPECT_TRUE(h->Logger().Contains("registries hold 0 names and 0 services"));

  // The host's stop entry may run again: nothing is left to free and nothing breaks.
  Finalize();
  UnRegisterHQPubIntf();
  EXPECT_TRUE(h->Names().Entries().empty());
}

TEST(LifecycleTest, ShutDownWithoutOnDemandServicesAndRestartInTheSameProcess) {
  TestHost h;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(h->StartPackage());
    EXPECT_EQ(h->Registry().Entries().size(), RowsOn(PublishChannel::kGuidRegistry));
    auto events = G_QueryInterface<IKrHQDelayLoadEvent>("IKrHQDelayLoadEvent");
    ASSERT_NE(events, nullptr);
    EXPECT_FALSE(events->HasFired());  // a fresh object each start
    events->Fire();
    events.reset();
    h->StopPackage();
    EXPECT_TRUE(h->Names().Entries().empty());
  }
  EXPECT_EQ(h->Context().UnloadNotifications(), 2);
}

// The field dictionary and the format columns are read at each start and built from what was read on
// their first look-up: a user who edits them and restarts the package sees the edit.
TEST(LifecycleTest, RestartRereadsTheFieldDictionaryAndFormatColumns) {
  ScratchDir etc;
  const auto write = [&](const char* field, const char* caption, const char* expression) {
    testing::WriteHqcFile(etc.File("HQ/Base/HQDictionary.hqc"), std::string("<HQDictionary><Item id=\"3\" name=\"") +
                                                                    field + "\" cname=\"" + caption +
                                                                    "\" type=\"double\"/></HQDictionary>");
    testing::WriteHqcFile(etc.File("HQ/Base/FormatColumns.hqc"),
                          std::string("<FormatColumns><Group name=\"A.SH\"><Item name=\"Twice\" expressions=\"") +
                              expression + "\"/></Group></FormatColumns>");
  };
  TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc.Path()); });
  const auto twiceReads = [] {
    auto formats = std::dynamic_pointer_cast<TKrHQFormatManager>(G_QueryInterface("IKrHQFormatManager"));
    auto item = formats ? formats->GetItemByHQType("A.SH", "Twice") : nullptr;
    return item ? item->GetDataList() : std::vector<int>{-1};
  };

  write("NewPrice", "最新价", "Twice = NewPrice * 2");
  ASSERT_TRUE(h->StartPackage());
  EXPECT_EQ(KrHQDictionaryImpl().GetNameByID(3), "最新价");
  EXPECT_EQ(KrHQDictionaryImpl().GetIDByName("newprice"), 3);
  EXPECT_EQ(twiceReads(), std::vector<int>{3});
  h->StopPackage();

  write("Price", "现价", "Twice = Price * 2 + Missing");
  ASSERT_TRUE(h->StartPackage());
  EXPECT_EQ(twiceReads(), std::vector<int>{3});  // the format items first: they build the dictionary
  EXPECT_EQ(KrHQDictionaryImpl().GetNameByID(3), "现价");
  EXPECT_EQ(KrHQDictionaryImpl().GetIDByName("NewPrice"), 0);
  EXPECT_EQ(KrHQDictionaryImpl().Count(), 1u);
  h->StopPackage();
}

TEST(LifecycleTest, StringCatalogueAnswersInTheUsersLanguage) {
  for (const auto& [language, text] : {std::pair{"CHS", "发生错误"}, std::pair{"ENG", "Error"}}) {
    TestHost h([lang = language](minihost::HostSettings& s) { s.language = lang; });
    ASSERT_TRUE(h->StartPackage());
    EXPECT_EQ(GetLanguageStrDef(20531, "default"), text);
    EXPECT_EQ(GetLanguageStrDef(99999, "default"), "default");
    h->StopPackage();
    EXPECT_EQ(GetLanguageStrDef(20531, "default"), "default");  // the catalogue is gone with the package
  }
}

TEST(LifecycleTest, UserConfigBroadcastsArriveOnTheMainLoopInOrder) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  auto listeners = G_QueryInterface<IKrHQUserConfigListenerMgr>("IKrHQUserConfigListenerMgr");
  ASSERT_NE(listeners, nullptr);
  std::vector<std::string> heard;
  int second = 0;
  listeners->AddListener([&](const std::string& k, const std::string& v) {
    heard.push_back(k + "=" + v);
    listeners->RemoveListener(second);  // a listener may remove another while being told
  });
  second = listeners->AddListener([&](const std::string& k, const std::string&) { heard.push_back("second:" + k); });

  listeners->Broadcast("TimeZone", "Tokyo");
  listeners->Broadcast("Style", "Light");
  EXPECT_TRUE(heard.empty());  // nothing happens until the main loop runs
  h->Loop().RunUntilIdle();
  EXPECT_EQ(heard, (std::vector<std::string>{"TimeZone=Tokyo", "Style=Light"}));

  // A broadcast still queued when the package goes away is dropped with its manager.
  listeners->Broadcast("Late", "1");
  listeners.reset();
  h->StopPackage();
  h->Loop().RunUntilIdle();
  EXPECT_EQ(heard.size(), 2u);
}

TEST(LifecycleTest, DelayLoadRunsDeferredWorkOnceAfterFiring) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  auto event = G_QueryInterface<IKrHQDelayLoadEvent>("IKrHQDelayLoadEvent");
  int runs = 0;
  event->AddDelayLoad([&] { ++runs; });
  h->Loop().RunUntilIdle();
  EXPECT_EQ(runs, 0);
  event->Fire();
  event->Fire();
  h->Loop().RunUntilIdle();
  EXPECT_EQ(runs, 1);
  event->AddDelayLoad([&] { runs += 10; });  // added after firing: runs at once on the loop
  h->Loop().RunUntilIdle();
  EXPECT_EQ(runs, 11);
}

TEST(LifecycleTest, LanguageSwitchRelabelsRegisteredForms) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  auto forms = host::Query<IKrHQLanguageFormMgr>(h->Registry().Find(IKrHQLanguageFormMgr::IID));
  ASSERT_NE(forms, nullptr);
  EXPECT_EQ(forms->GetLanguage(), "CHS");
  std::vector<std::string> labels;
  const int id = forms->RegisterForm([&](const std::string& language) { labels.push_back("a:" + language); });
  forms->RegisterForm([&](const std::string& language) { labels.push_back("b:" + language); });
  forms->SwitchLanguage("ENG");
  forms->UnregisterForm(id);
  forms->SwitchLanguage("CHT");
  EXPECT_EQ(labels, (std::vector<std::string>{"a:ENG", "b:ENG", "b:CHT"}));
  EXPECT_EQ(forms->GetLanguage(), "CHT");
}

}  // namespace
}  // namespace kdp
