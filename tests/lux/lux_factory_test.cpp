// The request-info factory: the registered processor and strategy classes, the shipped configuration,
// and configuration files of our own with the elements it must skip, refuse or report.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config_files.h"
#include "kdp/host/paths.h"
#include "lux/lux_req_info_factory.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::QuotaText;

TEST(LuxReqInfoFactory, TheShippedColumnsServeEveryRegisteredProcessor) {
  testing::TestHost h;
  TLuxReqInfoFactory factory;
  EXPECT_FALSE(h->Logger().Contains("不存在"));
  EXPECT_FALSE(h->Logger().Contains("重复"));
  std::set<std::string> served;
  for (const std::string& sector : factory.SectorNames()) {
    SCOPED_TRACE(sector);
    const TReqInfoItem* column = factory.GetReqInfoItem(sector);
    ASSERT_NE(column, nullptr);
    EXPECT_FALSE(column->GetCaption().empty());
    EXPECT_FALSE(column->ReqNodes().empty());
    EXPECT_TRUE(factory.GetDataProcessorObj(sector)) << column->GetDataProcessorName();
    if (!column->GetDataStrategyName().empty()) {
      EXPECT_TRUE(factory.GetDataStrategy(sector));
    }
    served.insert(column->GetDataProcessorName());
  }
  for (std::string_view name : factory.RegisteredProcessorNames()) {
    EXPECT_TRUE(served.contains(std::string(name))) << name << " has no column";
  }

  auto history = factory.GetReqInfo("NEWS_STOCK", "DITGet");
  ASSERT_TRUE(history);
  EXPECT_EQ(QuotaText(*history),
            "pagesize=20; koracode=$VARIABLE; newstype=1; SaveData=True; SaveHisNum=True; datasize=20; startid=0");
  EXPECT_EQ(factory.GetDataProcessorName("BOND_BBQ_F5"), "LuxBBQF5DataProcessor");
  EXPECT_EQ(factory.GetReqInfo("BOND_BBQ_F5", "DITSub")->GetIndexQuotaValue("NotifyAll"), "True");
  EXPECT_EQ(factory.GetDataStrategyName("NEWS_STOCK"), "LuxNewsStrategy");
}

class LuxFactoryFilesTest : public ::testing::Test {
 protected:
  void Write(const std::string& relative, const std::string& xml) { testing::WriteTextFile(etc_.File(relative), xml); }

  testing::ScratchDir etc_;
};

TEST_F(LuxFactoryFilesTest, CommentsAndElementsWithoutANameAreSkipped) {
  Write("HQ/Base/LuxNewsConfig.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<LuxNewsConfig>
  <!-- a comment among the columns -->
  <Column Caption="no sector" DataProcessorName="LuxNewsDataProcessor"/>
  <Column Sector="" Caption="empty sector" DataProcessorName="LuxNewsDataProcessor"/>
  <Column Sector="NEWS_A" Caption="新闻A" DataProcessorName="LuxNewsDataProcessor" GetDataStrategy="LuxNewsStrategy">
    <!-- a comment among the kinds -->
    <Request><Param Name="pagesize" Value="5"/></Request>
    <Request Type=""><Param Name="pagesize" Value="6"/></Request>
    <Request Type="DITGet">
      <Param Name="pagesize" Value="20"/>
      <!-- a comment among the parameters -->
      <Param Value="nameless"/>
      <Param Name="" Value="empty name"/>
      <Param Name="koracode" Value="$VARIABLE"/>
      <Param Name="keyword"/>
    </Request>
    <Request Type="DITGet"><Param Name="pagesize" Value="99"/></Request>
    <Request Type="DITSub"><Param Name="koracode" Value="$VARIABLE"/></Request>
  </Column>
</LuxNewsConfig>
)");
  testing::TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc_.Path()); });
  TLuxReqInfoFactory factory;
  EXPECT_EQ(factory.SectorNames(), std::vector<std::string>{"NEWS_A"});
  const TReqInfoItem* column = factory.GetReqInfoItem("NEWS_A");
  ASSERT_NE(column, nullptr);
  EXPECT_EQ(column->GetCaption(), "新闻A");
  ASSERT_EQ(column->ReqNodes().size(), 2u);  // the typeless kinds are skipped; the second DITGet too
  auto history = factory.GetReqInfo("NEWS_A", "DITGet");
  ASSERT_TRUE(history);
  EXPECT_EQ(QuotaText(*history), "pagesize=20; koracode=$VARIABLE; keyword=");
  EXPECT_EQ(factory.GetReqInfo("NEWS_A", "DITSearch"), nullptr);
  EXPECT_FALSE(h->Logger().Contains("GetReqInfo"));  // a known column without the kind is no error here

  // A copy of a column is its own.
  auto copy = column->Clone();
  std::const_pointer_cast<TReqNodeInfoItem>(copy->GetReqNode("DITGet"))->SetIndexQuotaValue("pagesize", "50");
  EXPECT_EQ(history->GetIndexQuotaValue("pagesize"), "20");
  EXPECT_EQ(copy->GetReqNode("DITGet")->GetIndexQuotaValue("pagesize"), "50");
  EXPECT_EQ(copy->GetReqNode("DITSub")->GetIndexQuotaValue("koracode"), "$VARIABLE");
  EXPECT_EQ(copy->GetDataStrategyName(), "LuxNewsStrategy");
}

TEST_F(LuxFactoryFilesTest, UnknownColumnsAndNamesGiveNothingAndALine) {
  Write("HQ/Base/LuxMsgConfig.xml", R"(<LuxMsgConfig>
  <Column Sector="MSG_UNREGISTERED" Caption="x" DataProcessorName="LuxNoSuchProcessor" GetDataStrategy="NoSuchStrategy">
    <Request Type="DITMsg"/>
  </Column>
  <Column Sector="MSG_PLAIN" Caption="y" DataProcessorName="LuxUserFractionDataProcessor">
    <Request Type="DITMsg"><Param Name="BillType" Value="1"/></Request>
  </Column>
</LuxMsgConfig>)");
  testing::TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc_.Path()); });
  TLuxReqInfoFactory factory;
  // The news file is missing: said so with its path, and the other file still loads.
  EXPECT_TRUE(h->Logger().Contains("LoadLuxInfoConfigure" + host::GetEtcPath() + "HQ/Base/LuxNewsConfig.xml 不存在!"));
  EXPECT_EQ(factory.SectorNames().size(), 2u);

  EXPECT_EQ(factory.GetReqInfo("NEWS_NONE", "DITGet"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("GetReqInfo 未找到栏目NEWS_NONE对应的配置项"));
  EXPECT_EQ(factory.GetDataProcessorObj("MSG_UNREGISTERED"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("GetDataProcessorObj 未找到栏目MSG_UNREGISTERED对应的配置项"));
  EXPECT_EQ(factory.GetDataProcessorObj("NEWS_NONE"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("GetDataProcessorObj 未找到栏目NEWS_NONE对应的配置项"));
  EXPECT_EQ(factory.GetDataStrategy("MSG_UNREGISTERED"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("GetDataStrategy 未找到栏目MSG_UNREGISTERED对应的配置项"));
  EXPECT_EQ(factory.GetDataStrategy("MSG_PLAIN"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("GetDataStrategy 未找到栏目MSG_PLAIN对应的配置项"));
  EXPECT_EQ(factory.GetDataProcessorName("NEWS_NONE"), "");

  auto plain = factory.GetDataProcessorObj("MSG_PLAIN");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->ProcessorName(), "TKrLuxUserFractionDataProcessor");
}

TEST_F(LuxFactoryFilesTest, ASectorLoadedOnceKeepsItsFirstDescription) {
  Write("HQ/Base/LuxNewsConfig.xml", R"(<LuxNewsConfig>
  <Column Sector="SHARED" Caption="first" DataProcessorName="LuxNewsDataProcessor"/>
</LuxNewsConfig>)");
  Write("HQ/Base/LuxMsgConfig.xml", R"(<LuxMsgConfig>
  <Column Sector="SHARED" Caption="second" DataProcessorName="LuxBallotStateDataProcessor"/>
  <Column Sector="MSG_OWN" Caption="own" DataProcessorName="LuxBallotStateDataProcessor"/>
</LuxMsgConfig>)");
  Write("BOND/Base/LuxMsgConfig.xml", R"(<LuxMsgConfig>
  <Column Sector="BOND_OWN" Caption="bond" DataProcessorName="LuxBenchmarkDataProcessor"/>
  <Column Sector="MSG_OWN" Caption="again" DataProcessorName="LuxBenchmarkDataProcessor"/>
</LuxMsgConfig>)");
  Write("BAD/Base/LuxMsgConfig.xml", "<LuxMsgConfig><Column Sector=\"BAD_ONE\"");
  testing::TestHost h([&](minihost::HostSettings& s) { testing::UseConfigurationRoot(s, etc_.Path()); });
  TLuxReqInfoFactory factory;
  EXPECT_EQ(factory.GetReqInfoItem("SHARED")->GetCaption(), "first");
  EXPECT_TRUE(h->Logger().Contains("LoadLuxInfoConfigure 栏目SHARED重复"));

  // Another module's file adds its columns under the same rule.
  factory.LoadLuxInfoConfigureByModuleName("BOND", "LuxMsgConfig.xml");
  EXPECT_EQ(factory.GetDataProcessorName("BOND_OWN"), "LuxBenchmarkDataProcessor");
  EXPECT_EQ(factory.GetReqInfoItem("MSG_OWN")->GetCaption(), "own");
  EXPECT_TRUE(h->Logger().Contains("LoadLuxInfoConfigure 栏目MSG_OWN重复"));
  EXPECT_EQ(factory.SectorNames(), (std::vector<std::string>{"SHARED", "MSG_OWN", "BOND_OWN"}));

  factory.LoadLuxInfoConfigureByModuleName("NOPE", "LuxMsgConfig.xml");
  EXPECT_TRUE(h->Logger().Contains("LoadLuxInfoConfigure" + host::GetEtcPath() + "NOPE/Base/LuxMsgConfig.xml 不存在!"));
  factory.LoadLuxInfoConfigureByModuleName("BAD", "LuxMsgConfig.xml");
  EXPECT_EQ(factory.GetReqInfoItem("BAD_ONE"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("BAD/Base/LuxMsgConfig.xml 不是有效的XML"));
  EXPECT_EQ(factory.SectorNames().size(), 3u);
}

}  // namespace
}  // namespace kdp
