#include "kdp/host/bin_document.h"

#include <filesystem>
#include <fstream>

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

std::shared_ptr<IBinDocument> Decode(const std::string& bytes) {
  auto doc = HQQueryBinDocInterface();
  EXPECT_TRUE(doc->LoadFromBytes(bytes)) << doc->GetLastError();
  return doc;
}

TEST(BinDocumentTest, RoundTripKeepsElementsAttributesTextAndComments) {
  std::string bytes, error;
  ASSERT_TRUE(EncodeXmlAsBinDocument(kXml, bytes, &error)) << error;
  auto doc = Decode(bytes);

  const IBinNode* top = doc->GetDocumentNode();
  ASSERT_EQ(top->GetChildCount(), 2);
  EXPECT_EQ(top->GetChild(0)->GetNodeType(), BinNodeType::kComment);
  EXPECT_EQ(top->GetChild(0)->GetText(), " top-level comment ");

  const IBinNode* root = doc->GetRoot();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetNodeName(), "HQDictionary");
  EXPECT_EQ(root->GetAttribute("version"), "2");
  ASSERT_EQ(root->GetChildCount(), 4);
  EXPECT_EQ(root->GetChild(0)->GetNodeType(), BinNodeType::kComment);

  const IBinNode* price = root->GetChild(1);
  EXPECT_EQ(price->GetNodeName(), "Item");
  EXPECT_EQ(price->GetAttributeCount(), 4);
  EXPECT_EQ(price->GetAttributeName(2), "cname");
  EXPECT_EQ(price->GetAttribute("cname"), "最新价");
  EXPECT_EQ(price->GetAttributeNoCase("CNAME"), "最新价");
  EXPECT_EQ(price->GetAttribute("CNAME"), "");
  EXPECT_FALSE(price->HasAttribute("missing"));
  EXPECT_EQ(GetBinNodeValueInt(price, "id", -1), 1);
  EXPECT_EQ(GetBinNodeValueInt(price, "name", -1), -1);
  EXPECT_EQ(GetBinNodeValueInt(price, "missing", 7), 7);

  const IBinNode* volume = root->FindChild("Item");
  ASSERT_EQ(volume, price);
  EXPECT_EQ(root->GetChild(2)->GetText(), "total & more <raw> ");
  EXPECT_EQ(root->GetChild(2)->GetChild(1)->GetNodeType(), BinNodeType::kCData);
  EXPECT_EQ(root->GetChild(3)->GetChildCount(), 0);
  EXPECT_EQ(root->GetChild(99), nullptr);
}

TEST(BinDocumentTest, RejectsGarbageWithoutCrashing) {
  std::string good, error;
  ASSERT_TRUE(EncodeXmlAsBinDocument("<a x=\"1\"><b/>text</a>", good, &error));
  auto doc = HQQueryBinDocInterface();
  // Every truncation of a valid document is rejected, and so is a flipped version byte.
  for (std::size_t n = 0; n < good.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(doc->LoadFromBytes(good.substr(0, n)));
    EXPECT_EQ(doc->GetRoot(), nullptr);
  }
  std::string wrong_version = good;
  wrong_version[4] = 9;
  EXPECT_FALSE(doc->LoadFromBytes(wrong_version));
  EXPECT_NE(doc->GetLastError().find("version"), std::string::npos);
  EXPECT_FALSE(doc->LoadFromBytes(good + "x"));
  EXPECT_TRUE(doc->LoadFromBytes(good));
}

std::string Nested(int levels) {
  std::string xml;
  for (int i = 0; i < levels; ++i) xml += "<n>";
  xml += "text";
  for (int i = 0; i < levels; ++i) xml += "</n>";
  return xml;
}

// 256 levels of elements are the limit on both sides: the encoder refuses what the reader would, and a
// document nested a hundred thousand levels deep is refused without exhausting the stack.
TEST(BinDocumentTest, NestingBeyondTheLimitIsRefusedWhenEncodedAndWhenRead) {
  std::string bytes, error;
  ASSERT_TRUE(EncodeXmlAsBinDocument(Nested(256), bytes, &error)) << error;
  auto doc = HQQueryBinDocInterface();
  ASSERT_TRUE(doc->LoadFromBytes(bytes)) << doc->GetLastError();
  const IBinNode* node = doc->GetRoot();
  for (int level = 1; level < 256; ++level) node = node->GetChild(0);
  EXPECT_EQ(node->GetText(), "text");

  for (int levels : {257, 100000}) {
    SCOPED_TRACE(levels);
    bytes = "untouched";
    EXPECT_FALSE(EncodeXmlAsBinDocument(Nested(levels), bytes, &error));
    EXPECT_NE(error.find("nested deeper than 256 levels"), std::string::npos) << error;
  }

  // A document written by something else: 257 levels of <n/> built byte by byte.
  std::string deep("KHQC\x01\x00", 6);
  deep += "\x01\x01n";                                                       // the string table: one string, "n"
  for (int i = 0; i < 257; ++i) deep += std::string("\x01\x01\x00\x00", 4);  // one child: element "n"
  deep += '\0';                                                              // the innermost element has no children
  EXPECT_FALSE(doc->LoadFromBytes(deep));
  EXPECT_NE(doc->GetLastError().find("deep"), std::string::npos) << doc->GetLastError();
}

TEST(BinDocumentTest, TransXml2BinWritesALoadableFileAndReportsBadXml) {
  const auto dir = std::filesystem::temp_directory_path() / "kdp-bindoc-test";
  std::filesystem::create_directories(dir);
  const auto xml = dir / "in.xml";
  const auto hqc = dir / "out.hqc";
  std::ofstream(xml) << kXml;
  ASSERT_TRUE(TransXml2Bin(xml.string(), hqc.string()));
  auto doc = HQQueryBinDocInterface();
  ASSERT_TRUE(doc->LoadFromFile(hqc.string()));
  EXPECT_EQ(doc->GetRoot()->GetNodeName(), "HQDictionary");

  std::ofstream(xml) << "<unclosed>";
  EXPECT_FALSE(TransXml2Bin(xml.string(), hqc.string()));
  EXPECT_FALSE(doc->LoadFromFile((dir / "missing.hqc").string()));
  EXPECT_EQ(HQQueryBinDocInterface(kNullGuid), nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kdp::host
