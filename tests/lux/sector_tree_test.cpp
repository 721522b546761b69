// The sector tree manager against a fake data manager (each helper's request object has its own observer,
// so a reply is delivered to the handler of the request that asked for it), and the index-name table.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kdp/lux/sector_tree.h"
#include "lux/lux_news_processor.h"
#include "lux/sector_tree_mgr.h"
#include "lux_test_support.h"
#include "test_host.h"

namespace kdp {
namespace {

struct Node {
  const char* code;
  const char* codename;
  const char* parentcode;
  const char* level;
  const char* isleaf;
  const char* reqname = "";
  const char* reqfields = "";
};

std::shared_ptr<IKrLuxDataTable> TreeTable(const std::vector<Node>& nodes) {
  auto table = NewLuxDataTable();
  for (const Node& node : nodes) {
    const int row = table->AddRow();
    table->SetIndexValue(row, "code", node.code);
    table->SetIndexValue(row, "codename", node.codename);
    table->SetIndexValue(row, "parentcode", node.parentcode);
    table->SetIndexValue(row, "level", node.level);
    table->SetIndexValue(row, "isleaf", node.isleaf);
    if (*node.reqname) table->SetIndexValue(row, "reqname", node.reqname);
    if (*node.reqfields) table->SetIndexValue(row, "reqfields", node.reqfields);
  }
  return table;
}

class SectorTreeTest : public ::testing::Test {
 protected:
  SectorTreeTest() { h->Names().AddIntf("IKrLuxDataMgr", manager); }

  // The tree types of the requests sent since `from`, in order.
  std::vector<std::string> TypesSent(std::size_t from = 0) const {
    std::vector<std::string> types;
    for (std::size_t i = from; i < manager->sentRequests.size(); ++i) {
      types.push_back(manager->sentRequests[i].first->GetIndexValue("SectorTreeType"));
    }
    return types;
  }
  // Delivers `table` to the observer that sent the request of tree type `type`.
  void Reply(const std::string& type, const std::shared_ptr<IKrLuxDataTable>& table, TLuxDataNotifyType kind) {
    for (const auto& [info, observer] : manager->sentRequests) {
      if (info->GetIndexValue("SectorTreeType") == type) {
        observer->OnDataNotify(table, {"", kind, LMTOK, 43});
        return;
      }
    }
    FAIL() << "no request of tree type " << type;
  }

  testing::TestHost h;
  std::shared_ptr<testing::FakeLuxDataManager> manager = std::make_shared<testing::FakeLuxDataManager>();
};

TEST_F(SectorTreeTest, TreesArriveOnlyAsSpecialMessageRepliesOfTheNewsRequest) {
  TKrSectorTreeMgr trees;
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kNews), nullptr);
  EXPECT_EQ(TypesSent(), (std::vector<std::string>{"19", "27", "30"}));
  // Three helpers, three request objects: each reply has its own handler.
  ASSERT_EQ(manager->sentRequests.size(), 3u);
  EXPECT_NE(manager->sentRequests[0].second, manager->sentRequests[1].second);
  EXPECT_NE(manager->sentRequests[1].second, manager->sentRequests[2].second);

  // While the news tree's request is unanswered, look-ups do not ask again.
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kAffiche), nullptr);
  EXPECT_EQ(manager->sentRequests.size(), 3u);

  const auto news =
      TreeTable({{"N1", "财经", "", "0", "0"}, {"N101", "宏观", "N1", "1", "1"}, {"N102", "行业", "N1", "x", ""}});
  Reply("19", news, NTGet);  // not the data-arrived kind: ignored
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kNews), nullptr);
  EXPECT_EQ(manager->sentRequests.size(), 3u);

  Reply("27", news, NTSpecalMsg);  // the scroll tree's reply keeps its items only
  EXPECT_EQ(trees.ScrollNewsSectorTreeOriginalData().size(), 3u);
  EXPECT_TRUE(trees.NewsSectorTreeOriginalData().empty());

  Reply("19", news, NTSpecalMsg);
  const auto nodes = trees.GetSectorTree(TSectorType::kNews);
  ASSERT_NE(nodes, nullptr);
  std::string described;  // "code name <parent level/leaf; " per node
  for (const auto& n : *nodes)
    described += fmt::format("{} {} <{} {}/{}; ", n.Code, n.CodeName, n.ParentCode, n.Level, n.IsLeaf);
  EXPECT_EQ(described, "N1 财经 < 0/0; N101 宏观 <N1 1/1; N102 行业 <N1 0/0; ");  // "x" is not a number
  EXPECT_EQ(trees.NewsSectorTreeOriginalData().count("N102"), 1u);
  const std::size_t sent = manager->sentRequests.size();
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kNews), nodes);  // stored: nothing asked
  EXPECT_EQ(manager->sentRequests.size(), sent);

  // The other keys are never stored from the news reply; asking for them asks again, once.
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kLaw), nullptr);
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kLaw), nullptr);
  EXPECT_EQ(TypesSent(sent), (std::vector<std::string>{"19", "27", "30"}));
  // A failed answer with no rows keeps the tree, and the next look-up may ask again.
  Reply("19", NewLuxDataTable(), NTSpecalMsg);
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kNews), nodes);
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kLaw), nullptr);

  // Dropping every tree asks for all three; a list a widget holds stays as it was.
  trees.GetAllSectorTree();
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kNews), nullptr);
  EXPECT_EQ(nodes->size(), 3u);
  EXPECT_EQ(TypesSent(sent + 3), (std::vector<std::string>{"19", "27", "30", "19", "27", "30"}));
  EXPECT_EQ(trees.GetSectorTree(TSectorType::kNews), nullptr);  // already asked
  EXPECT_EQ(manager->sentRequests.size(), sent + 9);

  Reply("30", TreeTable({{"L1", "法规", "", "0", "1"}}), NTSpecalMsg);
  EXPECT_EQ(trees.NewsSectorTreeOriginalDataNew().count("L1"), 1u);
}

TEST_F(SectorTreeTest, AColumnRequestNamesItsFieldsThroughTheIndexTable) {
  std::vector<std::pair<std::string, TLuxDataReqType>> asked;
  manager->reqInfoFor = [&](const std::string& name, TLuxDataReqType type) -> ReqInfoPtr {
    asked.emplace_back(name, type);
    auto info = std::make_shared<TKrLuxNewsDataProcessor>();
    info->SetIndexValue("pagesize", "20");
    return info;
  };
  TKrSectorTreeMgr trees;
  trees.GetSectorTree(TSectorType::kNews);
  Reply("19",
        TreeTable({{"N101", "宏观", "N1", "1", "1", "NEWS_SECTOR", "2003:N101,2020:x,,3031:20261231,3025,2021:1"}}),
        NTSpecalMsg);

  EXPECT_EQ(trees.GetSectorTreeReqInfo("N101", ""), nullptr);
  EXPECT_TRUE(h->Logger().Contains("InitSectorTreeReqInfo 请求类型为空"));
  EXPECT_EQ(trees.GetSectorTreeReqInfo("N999", "DITGet"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("GetSectorTreeReqInfo 栏目树中未找到栏目N999"));
  EXPECT_TRUE(asked.empty());

  ReqInfoPtr info = trees.GetSectorTreeReqInfo("N101", "DITSearch");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(asked, (std::vector<std::pair<std::string, TLuxDataReqType>>{{"NEWS_SECTOR", LDRTSearch}}));
  EXPECT_EQ(info->GetIndexValue("enddate"), "20261231");
  EXPECT_EQ(info->GetIndexValue("auth"), "1");
  EXPECT_EQ(info->GetIndexValue("keyword"), "");
  EXPECT_TRUE(h->Logger().Contains("GetSectorTreeReqInfo 未找到请求指标2020对应的请求名字"));
  EXPECT_EQ(info->GetIndexValue("pagesize"), "20");  // the column's own value stays
  std::vector<std::string> keys;
  for (int i = 0; i < info->GetIndexQuotaCount(); ++i) keys.push_back(info->GetIndexByOrder(i));
  for (const char* key : {"startDate", "endDate", "pageno", "title", "keyword"}) {
    EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end()) << key;
  }
  EXPECT_EQ(std::find(keys.begin(), keys.end(), "v2020"), keys.end());

  // The column the node names is unknown to the data manager: no request.
  manager->reqInfoFor = nullptr;
  EXPECT_EQ(trees.GetSectorTreeReqInfo("N101", "DITGet"), nullptr);
}

}  // namespace
}  // namespace kdp
