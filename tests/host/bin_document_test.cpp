#include "kdp/host/bin_document.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

namespace kdp::host {
namespace {

constexpr const char* kXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- top-level comment -->
<HQDictionary version="2">
  <!-- quote fields -->
  <Item id="1" name="NewPrice" cname="最新价" type="double"/>
  <Item id="2" name="Volume" cname="成交量" type="integer">total &amp; more<![CDATA[ <raw> ]]></Item>
  <Empty/>
</HQDictionary>
)";

std::string Encode(const std::string& xml) {
  std::string bytes, error;
  EXPECT_TRUE(EncodeXmlAsBinDocument(xml, bytes, &error)) << error;
  return bytes;
}

std::shared_ptr<IBinDocument> Decode(const std::string& bytes) {
  auto doc = HQQueryBinDocInterface();
  EXPECT_TRUE(doc->LoadFromBytes(bytes)) << doc->GetLastError();
  return doc;
}

// The tree in a compact text form: <name a="v">children</name>, T(text), C(CDATA), !(comment).
std::string Dump(const IBinNode& node) {
  switch (node.GetNodeType()) {
    case BinNodeType::kText:
      return "T(" + node.GetText() + ")";
    case BinNodeType::kCData:
      return "C(" + node.GetText() + ")";
    case BinNodeType::kComment:
      return "!(" + node.GetText() + ")";
    case BinNodeType::kElement:
      break;
  }
  std::string s = "<" + std::string(node.GetNodeName());
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    s += " " + std::string(node.GetAttributeName(i)) + "=\"" + std::string(node.GetAttributeValue(i)) + "\"";
  }
  s += ">";
  for (int i = 0; i < node.GetChildCount(); ++i) s += Dump(*node.GetChild(i));
  return s + "</" + std::string(node.GetNodeName()) + ">";
}

std::string Nested(int levels, const std::string& innermost = "") {
  std::string xml;
  for (int i = 0; i < levels; ++i) xml += "<n>";
  xml += innermost;
  for (int i = 0; i < levels; ++i) xml += "</n>";
  return xml;
}

// The document node's children dumped one after another.
std::string DumpDocument(IBinDocument& doc) {
  std::string dump;
  const IBinNode* top = doc.GetDocumentNode();
  for (int i = 0; i < top->GetChildCount(); ++i) dump += Dump(*top->GetChild(i));
  return dump;
}

TEST(BinDocumentTest, RoundTripKeepsElementsAttributesTextCommentsAndTheShapeOfTheTree) {
  // Children of neighbouring elements at several levels, so a child range that strays into a neighbour's
  // children shows in the dump.
  auto doc =
      Decode(Encode("<?xml version=\"1.0\"?><!-- head --><a x=\"1\" y=\"2\"><b><c k=\"v\"/>t1<d/></b><!-- mid -->"
                    "<e><f><g/><h z=\"\"/></f>t2<![CDATA[c]]></e>tail</a><!-- foot -->"));
  EXPECT_EQ(DumpDocument(*doc),
            "!( head )<a x=\"1\" y=\"2\"><b><c k=\"v\"></c>T(t1)<d></d></b>!( mid )"
            "<e><f><g></g><h z=\"\"></h></f>T(t2)C(c)</e>T(tail)</a>!( foot )");

  // Entities and CDATA come back as text; blank text between elements goes.
  doc = Decode(Encode(kXml));
  EXPECT_EQ(DumpDocument(*doc),
            "!( top-level comment )<HQDictionary version=\"2\">!( quote fields )"
            "<Item id=\"1\" name=\"NewPrice\" cname=\"最新价\" type=\"double\"></Item>"
            "<Item id=\"2\" name=\"Volume\" cname=\"成交量\" type=\"integer\">T(total & more)C( <raw> )</Item>"
            "<Empty></Empty></HQDictionary>");
  const IBinNode* root = doc->GetRoot();
  EXPECT_EQ(root, doc->GetDocumentNode()->GetChild(1));
  EXPECT_EQ(root->GetChild(0)->GetNodeName(), "");  // a comment has no name
  const IBinNode* price = root->GetChild(1);
  EXPECT_EQ(price->GetAttributeName(4), "");
  EXPECT_EQ(price->GetAttributeValue(-1), "");
  EXPECT_EQ(price->GetAttribute("cname"), "最新价");
  EXPECT_EQ(price->GetAttributeNoCase("CNAME"), "最新价");
  EXPECT_EQ(price->GetAttribute("CNAME"), "");
  EXPECT_FALSE(price->HasAttribute("missing"));
  EXPECT_TRUE(price->HasAttribute("type"));
  EXPECT_EQ(GetBinNodeValueInt(price, "id", -1), 1);
  EXPECT_EQ(GetBinNodeValueInt(price, "name", -1), -1);
  EXPECT_EQ(GetBinNodeValueInt(price, "missing", 7), 7);
  EXPECT_EQ(root->FindChild("Item"), price);
  EXPECT_EQ(root->FindChild("Empty"), root->GetChild(3));
  EXPECT_EQ(root->FindChild("Missing"), nullptr);
  EXPECT_EQ(root->GetChild(3)->GetText(), "");
  EXPECT_EQ(root->GetChild(99), nullptr);
  EXPECT_EQ(root->GetChild(-1), nullptr);
}

TEST(BinDocumentTest, SeveralAttributesInOnePassAnswerAsTheSingleLookUpsDo) {
  const auto doc = Decode(Encode(R"(<r><Item ID="7" name="NewPrice" Name="Other" caption="" x="1"/></r>)"));
  const IBinNode& item = *doc->GetRoot()->GetChild(0);
  constexpr std::array<std::string_view, 4> names{"name", "id", "caption", "cname"};
  using Values = std::array<std::optional<std::string_view>, 4>;
  Values values{"stale", "stale", "stale", "stale"};

  GetBinNodeAttributes(item, names, values);
  // "ID" is another name when case counts; a caption present and empty is not absent.
  EXPECT_EQ(values, (Values{"NewPrice", std::nullopt, "", std::nullopt}));

  GetBinNodeAttributes(item, names, values, /*noCase=*/true);
  EXPECT_EQ(values[0], std::optional<std::string_view>("NewPrice"));  // the first of "name" and "Name"
  EXPECT_EQ(values[1], std::optional<std::string_view>("7"));
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    const std::string_view single = item.GetAttributeNoCase(names[i]);
    EXPECT_EQ(values[i].value_or(""), single);
  }
}

TEST(BinDocumentTest, NodesAndStringsLiveAsLongAsTheDocumentNotTheCallersBytes) {
  auto doc = HQQueryBinDocInterface();
  {
    std::string bytes = Encode("<Root><Item name=\"kept\">text</Item></Root>");
    ASSERT_TRUE(doc->LoadFromBytes(bytes));
    bytes.assign(bytes.size(), 'x');
  }
  const IBinNode* item = doc->GetRoot()->GetChild(0);
  EXPECT_EQ(item->GetAttribute("name"), "kept");
  EXPECT_EQ(item->GetText(), "text");

  // A new load replaces the content; a failed one leaves an empty document with its reason.
  ASSERT_TRUE(doc->LoadFromBytes(Encode("<Other/>")));
  EXPECT_EQ(doc->GetRoot()->GetNodeName(), "Other");
  EXPECT_FALSE(doc->LoadFromBytes("KHQC"));
  EXPECT_EQ(doc->GetRoot(), nullptr);
  ASSERT_NE(doc->GetDocumentNode(), nullptr);
  EXPECT_EQ(doc->GetDocumentNode()->GetChildCount(), 0);
  EXPECT_FALSE(doc->GetLastError().empty());
}

TEST(BinDocumentTest, RejectsEveryTruncationAndTrailingBytes) {
  const std::string good = Encode("<a x=\"1\"><b/>text<!--c--></a>");
  auto doc = HQQueryBinDocInterface();
  for (std::size_t n = 0; n < good.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(doc->LoadFromBytes(good.substr(0, n)));
    EXPECT_EQ(doc->GetRoot(), nullptr);
    EXPECT_FALSE(doc->GetLastError().empty());
  }
  EXPECT_FALSE(doc->LoadFromBytes(good + "x"));
  EXPECT_NE(doc->GetLastError().find("overlong"), std::string::npos);
  EXPECT_FALSE(doc->LoadFromBytes("<a/>"));
  EXPECT_NE(doc->GetLastError().find("magic"), std::string::npos);
  EXPECT_TRUE(doc->LoadFromBytes(good));
}

// Overwrites the little-endian 32-bit integer at `offset`.
void Patch(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

TEST(BinDocumentTest, RejectsCorruptIndexesAndRanges) {
  // Strings "", "a", "b", "text", "c", "x", "1" (9 bytes); nodes breadth first: document, a, b, text, c;
  // one attribute, on the last node.
  const std::string good = Encode("<a><b/>text<c x=\"1\"/></a>");
  constexpr std::size_t kOffsets = 24, kNodes = kOffsets + 8 * 4, kAttributes = kNodes + 5 * 24;
  ASSERT_EQ(good.size(), kAttributes + 8 + 9);
  const auto field = [](std::size_t node, std::size_t index) { return kNodes + node * 24 + index * 4; };
  enum { kType, kString, kFirstAttribute, kAttributeCount, kFirstChild, kChildCount };

  struct Corruption {
    const char* what;
    std::size_t offset;
    std::uint32_t value;
    const char* reason;
  };
  const Corruption corruptions[] = {
      {"flags", 4, 0x0102, "flags"},  // version byte 2 kept, flags byte 1
      {"more strings than stored", 8, 8, "truncated"},
      {"fewer nodes than stored", 12, 4, "overlong"},
      {"string past the string bytes", kOffsets + 2 * 4, 10, "string offset"},
      {"string offsets going back", kOffsets + 3 * 4, 0, "string offset"},
      {"last string offset short of the end", kOffsets + 7 * 4, 8, "string offset"},
      {"name index past the strings", field(1, kString), 7, "string index out of range in node 1"},
      {"attribute name index past the strings", kAttributes, 7, "string index out of range in attribute 0"},
      {"attribute value index past the strings", kAttributes + 4, 0xFFFFFFFF, "attribute 0"},
      {"attribute range past the table", field(4, kAttributeCount), 2, "attribute range"},
      {"attribute range not where the last one ended", field(4, kFirstAttribute), 1, "attribute range"},
      {"attributes on a text node", field(3, kAttributeCount), 1, "attribute range"},
      {"an attribute no element claims", field(4, kAttributeCount), 0, "no element"},
      {"child range past the table", field(1, kChildCount), 4, "child range"},
      {"a node that is its own child", field(2, kFirstChild), 2, "child range"},
      {"a child range back to an ancestor", field(1, kFirstChild), 1, "child range"},
      {"children under a text node", field(3, kChildCount), 1, "child range"},
      {"a node without a parent", field(0, kChildCount), 0, "no parent for node 1"},
      {"an unknown node type", field(3, kType), 2, "type of node 3"},
      {"a document node that is not an element", field(0, kType), 8, "type of node 0"},
  };
  auto doc = HQQueryBinDocInterface();
  for (const Corruption& c : corruptions) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    Patch(bytes, c.offset, c.value);
    EXPECT_FALSE(doc->LoadFromBytes(bytes));
    EXPECT_NE(doc->GetLastError().find(c.reason), std::string::npos) << doc->GetLastError();
    EXPECT_EQ(doc->GetRoot(), nullptr);
  }
  EXPECT_TRUE(doc->LoadFromBytes(good)) << doc->GetLastError();
}

TEST(BinDocumentTest, RefusesOtherVersionsAndTellsToRegenerate) {
  // <a/> as the first layout wrote it: varint string table ("a") and a pre-order node tree.
  const std::string version1(
      "KHQC\x01\x00\x01\x01"
      "a\x01\x01\x00\x00\x00",
      14);
  auto doc = HQQueryBinDocInterface();
  EXPECT_FALSE(doc->LoadFromBytes(version1));
  EXPECT_NE(doc->GetLastError().find("version 1"), std::string::npos) << doc->GetLastError();
  EXPECT_NE(doc->GetLastError().find("regenerate"), std::string::npos);
  EXPECT_NE(doc->GetLastError().find("kdp-xml2hqc"), std::string::npos);

  std::string future = Encode("<a/>");
  future[4] = 3;
  EXPECT_FALSE(doc->LoadFromBytes(future));
  EXPECT_NE(doc->GetLastError().find("version 3"), std::string::npos);
}

TEST(BinDocumentTest, LimitsNestingTo256LevelsOfElementsOnBothSides) {
  // 256 levels with text inside the innermost element is the deepest document there is.
  std::string bytes = Encode(Nested(256, "x"));
  auto doc = Decode(bytes);
  const IBinNode* node = doc->GetRoot();
  int levels = 0;
  for (; node != nullptr && node->GetNodeType() == BinNodeType::kElement; node = node->GetChild(0)) ++levels;
  EXPECT_EQ(levels, 256);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->GetText(), "x");

  // The encoder refuses one level more, and a hundred thousand levels without running out of stack.
  std::string out, error;
  EXPECT_FALSE(EncodeXmlAsBinDocument(Nested(257), out, &error));
  EXPECT_NE(error.find("more than 256 levels"), std::string::npos) << error;
  EXPECT_FALSE(EncodeXmlAsBinDocument(Nested(100000), out, &error));
  EXPECT_NE(error.find("more than 256 levels"), std::string::npos) << error;

  // The reader refuses it too: the innermost text node (the last of 258 nodes) turned into an element.
  Patch(bytes, 24 + 4 * 4 + 257 * 24, static_cast<std::uint32_t>(BinNodeType::kElement));
  EXPECT_FALSE(doc->LoadFromBytes(bytes));
  EXPECT_NE(doc->GetLastError().find("too deep"), std::string::npos) << doc->GetLastError();
}

TEST(BinDocumentTest, TransXml2BinWritesALoadableFileAndReportsBadXml) {
  const auto dir = std::filesystem::temp_directory_path() / "kdp-bindoc-test";
  std::filesystem::create_directories(dir);
  const auto xml = dir / "in.xml";
  const auto hqc = dir / "out.hqc";
  std::ofstream(xml) << kXml;
  ASSERT_TRUE(TransXml2Bin(xml.string(), hqc.string()));
  auto doc = HQQueryBinDocInterface();
  ASSERT_TRUE(doc->LoadFromFile(hqc.string())) << doc->GetLastError();
  EXPECT_EQ(doc->GetRoot()->GetNodeName(), "HQDictionary");
  EXPECT_EQ(doc->GetRoot()->GetChild(2)->GetAttribute("cname"), "成交量");

  std::ofstream(xml) << "<unclosed>";
  EXPECT_FALSE(TransXml2Bin(xml.string(), hqc.string()));
  std::ofstream(xml) << Nested(300);
  EXPECT_FALSE(TransXml2Bin(xml.string(), hqc.string()));
  EXPECT_FALSE(doc->LoadFromFile((dir / "missing.hqc").string()));
  EXPECT_NE(doc->GetLastError().find("missing.hqc"), std::string::npos);
  EXPECT_FALSE(doc->LoadFromFile(dir.string()));
  EXPECT_EQ(doc->GetRoot(), nullptr);
  EXPECT_EQ(HQQueryBinDocInterface(kNullGuid), nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kdp::host
