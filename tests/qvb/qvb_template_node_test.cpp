// The indicator template tree: children and their places, checks down the subtree, the stream form and
// its refusals, and exported files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "config_files.h"
#include "kdp/qvb/qvb_template_node.h"
#include "test_host.h"

namespace kdp {
namespace {

std::unique_ptr<TKrQVBTemplateTreeNodeData> Node(const std::string& key, TNodeType type) {
  auto node = std::make_unique<TKrQVBTemplateTreeNodeData>();
  node->SetKey(key);
  node->SetNodeType(type);
  return node;
}

// A node's own fields: "key|type|id|desc|version|nameID|extType|extInfo|path|value|data|checked", the type
// as its code and the data's bytes that are not printable as \xNN.
std::string Fields(const TKrQVBTemplateTreeNodeData& n) {
  std::string data;
  for (unsigned char c : n.GetData().AsStringView()) {
    data += std::isprint(c) ? std::string(1, static_cast<char>(c)) : fmt::format("\\x{:02X}", c);
  }
  return fmt::format("{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}", n.GetKey(), static_cast<int>(n.GetNodeType()),
                     n.GetNodeID(), n.GetDesc(), n.GetVersion(), n.GetNameID(), n.GetExtType(), n.GetExtInfo(),
                     n.GetNodePath(), n.GetNodeValue().AsStringView(), data, n.GetChecked());
}

TEST(QVBTemplateNode, ChildrenKnowTheirPlaceAndChecksReachTheWholeSubtree) {
  TKrQVBTemplateTreeNodeData root;
  TKrQVBTemplateTreeNodeData* work = root.AddChild(Node("gdp", ntWorkFile));
  TKrQVBTemplateTreeNodeData* folder = root.InsertChild(0, Node("macro", ntDirectory));
  TKrQVBTemplateTreeNodeData* series = root.InsertChild(99, Node("gdp", ntSeriesFile));  // clamped: appended
  TKrQVBTemplateTreeNodeData* leaf = folder->AddChild(Node("cpi", ntQVBFile));
  EXPECT_EQ(root.GetChildrenCount(), 3);
  EXPECT_EQ(folder->getIndex(), 0);
  EXPECT_EQ(work->getIndex(), 1);
  EXPECT_EQ(series->getIndex(), 2);
  EXPECT_EQ(root.getIndex(), -1);
  EXPECT_EQ(leaf->GetParent(), folder);
  EXPECT_EQ(root.FindChildByKey("gdp"), work);
  EXPECT_EQ(root.FindChildByKeyType("gdp", ntSeriesFile), series);
  EXPECT_EQ(root.FindChildByKeyType("gdp", ntGraphFile), nullptr);
  EXPECT_EQ(root.FindChildByIndex(3), nullptr);

  folder->SetCheck(true);
  EXPECT_TRUE(leaf->GetChecked());
  EXPECT_FALSE(root.GetChecked());
  root.SetCheck(false);
  EXPECT_FALSE(leaf->GetChecked());

  EXPECT_FALSE(folder->RemoveChild(work));  // not its child
  EXPECT_TRUE(root.RemoveChild(work));
  EXPECT_EQ(series->getIndex(), 1);
  root.ClearChildrenList();
  EXPECT_EQ(root.GetChildrenCount(), 0);
}

TEST(QVBTemplateNode, TheStreamFormKeepsTheSubtreeAndRefusesWhatIsNotANode) {
  testing::TestHost h;
  TKrQVBTemplateTreeNodeData root;
  root.SetNodeID("N1");
  root.SetDesc("宏观模板");
  root.SetVersion(3);
  root.SetNameID(77);
  root.SetExtType(2);
  root.SetExtInfo("ext");
  root.SetNodePath("/宏观");
  root.SetNodeValue("value");
  TKrQVBTemplateTreeNodeData* folder = root.AddChild(Node("macro", ntDirectory));
  TKrQVBTemplateTreeNodeData* file = folder->AddChild(Node("gdp", ntQVBFile));
  file->SetData(std::string("\x00\x01\x02", 3));
  file->SetCheck(true);
  host::MemoryStream stream;
  root.WriteStream(stream);

  stream.SetPosition(0);
  TKrQVBTemplateTreeNodeData copy;
  ASSERT_TRUE(copy.ReadStream(stream));
  EXPECT_EQ(stream.Remaining(), 0u);
  EXPECT_EQ(Fields(copy), "|0|N1|宏观模板|3|77|2|ext|/宏观|value||false");
  ASSERT_EQ(copy.GetChildrenCount(), 1);
  const TKrQVBTemplateTreeNodeData* copiedFile = copy.FindChildByIndex(0)->FindChildByKey("gdp");
  ASSERT_NE(copiedFile, nullptr);
  EXPECT_EQ(Fields(*copiedFile), "gdp|4|||0|0|0||||\\x00\\x01\\x02|true");  // a QVB file (4)
  EXPECT_EQ(copiedFile->GetParent()->GetParent(), &copy);

  // Cut anywhere, the bytes are not a node: nothing is kept.
  const std::string whole(stream.AsStringView());
  for (std::size_t size : {std::size_t{0}, std::size_t{5}, whole.size() / 2, whole.size() - 1}) {
    SCOPED_TRACE(size);
    host::MemoryStream cut(std::string_view(whole).substr(0, size));
    TKrQVBTemplateTreeNodeData node;
    node.SetKey("before");
    node.AddChild(Node("x", ntWorkFile));
    EXPECT_FALSE(node.ReadStream(cut));
    EXPECT_EQ(node.GetKey(), "");
    EXPECT_EQ(node.GetChildrenCount(), 0);
  }
  EXPECT_TRUE(h->Logger().Contains("TKrQVBTemplateTreeNodeData.ReadStream: not a node"));

  // A chain deeper than the limit is refused.
  TKrQVBTemplateTreeNodeData deep;
  TKrQVBTemplateTreeNodeData* tip = &deep;
  for (int level = 0; level < TKrQVBTemplateTreeNodeData::kMaxDepth; ++level)
    tip = tip->AddChild(Node("d", ntDirectory));
  host::MemoryStream deepStream;
  deep.WriteStream(deepStream);
  deepStream.SetPosition(0);
  TKrQVBTemplateTreeNodeData tooDeep;
  EXPECT_FALSE(tooDeep.ReadStream(deepStream));
}

TEST(QVBTemplateNode, ExportedFilesTakeTheirTypesExtensionAndANewNameBesideAnOldOne) {
  testing::TestHost h;
  const testing::ScratchDir scratch;
  const std::string folder = scratch.Path() + "/export/";  // what escapes it stays in the scratch folder
  TKrQVBTemplateTreeNodeData graph;
  graph.SetDesc("图表");
  graph.SetNodeType(ntGraphFile);
  graph.SetData("graph bytes");
  EXPECT_EQ(graph.ExportToLocal(folder), folder + "Temp/图表.kgt");
  EXPECT_EQ(graph.ExportToLocal(folder), folder + "Temp/图表(2).kgt");
  std::ifstream in(folder + "Temp/图表(2).kgt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "graph bytes");

  TKrQVBTemplateTreeNodeData series;
  series.SetNodeID("S9");
  series.SetNodeType(ntSeriesFile);
  EXPECT_EQ(series.ExportToLocal(folder), folder + "Temp/S9.kst");
  TKrQVBTemplateTreeNodeData directory;
  directory.SetDesc("目录");
  EXPECT_EQ(directory.ExportToLocal(folder), "");

  // Names come from a tree read from outside: none may write beside or above the export folder.
  TKrQVBTemplateTreeNodeData escaping;
  escaping.SetNodeType(ntWorkFile);
  for (const auto& [desc, written] : {std::pair{"../../evil", "Temp/.._.._evil.kdt"}, std::pair{"a\\b", "Temp/a_b.kdt"},
                                      std::pair{"..", "Temp/_.kdt"}}) {
    escaping.SetDesc(desc);
    EXPECT_EQ(escaping.ExportToLocal(folder), folder + written) << desc;
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "../evil.kdt"));
}

TEST(QVBTemplateNode, CloudUserNodesArePathCheckedCopies) {
  struct PathCase {
    const char* path;
    const char* checked;
  };
  for (const PathCase& c :
       {PathCase{"宏观\\GDP", "/宏观/GDP"}, PathCase{"//a//b/", "/a/b"}, PathCase{"./a/./b", "/a/b"}, PathCase{"", "/"},
        PathCase{"a/../../etc", ""}, PathCase{"..", ""}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(TKrQVBTemplateTreeNodeData::check_Pathurl(c.path), c.checked);
  }

  TKrQVBTemplateTreeNodeData cloud;
  cloud.SetNodeID("N1");
  cloud.SetKey("macro");
  cloud.SetNodePath("user\\macro");
  cloud.SetData("bytes");
  cloud.AddChild(Node("folder", ntDirectory));
  TKrQVBTemplateTreeNodeData* gdp = cloud.AddChild(Node("gdp", ntSeriesFile));
  gdp->SetNodePath("user\\macro\\gdp");
  gdp->AddChild(Node("deep", ntQVBFile))->SetNodePath("user/macro/gdp/deep");
  EXPECT_EQ(cloud.Get_First_Template_Index(), 1);  // the folder comes first
  EXPECT_EQ(gdp->Get_First_Template_Index(), 0);
  EXPECT_EQ(TKrQVBTemplateTreeNodeData().Get_First_Template_Index(), -1);

  TKrQVBTemplateTreeNodeData parent;
  TKrQVBTemplateTreeNodeData* local = parent.AddChild(Node("old", ntWorkFile));
  ASSERT_TRUE(local->InitByCloudUserNode(cloud));
  EXPECT_EQ(local->GetParent(), &parent);
  EXPECT_EQ(Fields(*local), "macro|0|N1||0|0|0||/user/macro||bytes|false");  // a folder (0)
  ASSERT_EQ(local->GetChildrenCount(), 2);
  const auto* copied = local->FindChildByIndex(1);
  EXPECT_EQ(copied->GetParent(), local);
  EXPECT_EQ(copied->GetNodePath(), "/user/macro/gdp");
  ASSERT_EQ(copied->GetChildrenCount(), 1);
  EXPECT_EQ(copied->FindChildByIndex(0)->GetNodePath(), "/user/macro/gdp/deep");
  // A path leaving the folder anywhere in the subtree refuses the whole copy.
  gdp->FindChildByIndex(0)->SetNodePath("../outside");
  TKrQVBTemplateTreeNodeData refused;
  refused.SetKey("kept");
  EXPECT_FALSE(refused.InitByCloudUserNode(cloud));
  EXPECT_EQ(refused.GetKey(), "kept");
  EXPECT_EQ(refused.GetChildrenCount(), 0);

  EXPECT_EQ(TKrQVBTemplateTreeNodeData::GetNewSeriesUnit({{"GDP", "亿元"}, {"CPI", "%"}, {"Index", ""}, {"M2%", "%"}}),
            "GDP=亿元\r\nCPI=%\r\nM2%=%");
}

}  // namespace
}  // namespace kdp
