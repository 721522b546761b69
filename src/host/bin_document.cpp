// The ".hqc" binary document: the encoder from XML, and a reader that validates a block once and then serves
// its nodes straight from it.
#include "kdp/host/bin_document.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "kdp/host/file_io.h"
#include "kdp/host/log.h"
#include "text_number.h"

namespace kdp::host {
namespace {

constexpr char kMagic[4] = {'K', 'H', 'Q', 'C'};
constexpr std::uint8_t kVersion = 2;
constexpr int kMaxDepth = 256;

constexpr std::size_t kHeaderSize = 24;
constexpr std::size_t kIntSize = 4;
// The integers of a node record, in the order they are stored.
enum NodeField : std::size_t {
  kType,
  kString,
  kFirstAttribute,
  kAttributeCount,
  kFirstChild,
  kChildCount,
  kNodeFields
};
constexpr std::size_t kNodeSize = kNodeFields * kIntSize;
constexpr std::size_t kAttributeSize = 2 * kIntSize;
// Counts stay within what the interface's int indexes reach.
constexpr std::uint64_t kMaxCount = static_cast<std::uint64_t>(std::numeric_limits<int>::max());

std::uint32_t ReadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void WriteU32(std::string& out, std::uint64_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

bool IsTextual(std::uint32_t type) {
  return type == static_cast<std::uint32_t>(BinNodeType::kText) ||
         type == static_cast<std::uint32_t>(BinNodeType::kCData);
}

// ---- encoding ----

// The node's type in a document; nullopt for what a document leaves out (declarations, doctypes, PIs).
std::optional<BinNodeType> KeptType(const pugi::xml_node& n) {
  switch (n.type()) {
    case pugi::node_document:
    case pugi::node_element:
      return BinNodeType::kElement;
    case pugi::node_pcdata:
      return BinNodeType::kText;
    case pugi::node_cdata:
      return BinNodeType::kCData;
    case pugi::node_comment:
      return BinNodeType::kComment;
    default:
      return std::nullopt;
  }
}

class Encoder {
 public:
  // False with a reason when elements nest deeper than a reader accepts or the tree outgrows 32-bit offsets.
  bool Encode(const pugi::xml_document& doc, std::string& out, std::string& error) {
    // Breadth first, without recursion however deep the XML: `order` is the node table being filled, and the
    // children a node appends are its consecutive child range.
    std::vector<pugi::xml_node> order{doc};
    std::size_t levelEnd = 1;
    int depth = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (i == levelEnd) {
        ++depth;
        levelEnd = order.size();
      }
      const pugi::xml_node n = order[i];
      const BinNodeType type = *KeptType(n);
      if (type == BinNodeType::kElement && depth > kMaxDepth) {
        error = fmt::format("elements nested more than {} levels deep, which readers refuse (<{}> at offset {})",
                            kMaxDepth, n.name(), n.offset_debug());
        return false;
      }
      Record& record = nodes_.emplace_back();
      record[kType] = static_cast<std::size_t>(type);
      record[kString] = Intern(type == BinNodeType::kElement ? n.name() : n.value());
      record[kFirstAttribute] = attributes_.size();
      for (const pugi::xml_attribute& a : n.attributes()) attributes_.push_back({Intern(a.name()), Intern(a.value())});
      record[kAttributeCount] = attributes_.size() - record[kFirstAttribute];
      record[kFirstChild] = order.size();
      for (const pugi::xml_node& child : n.children()) {
        if (KeptType(child)) order.push_back(child);
      }
      record[kChildCount] = order.size() - record[kFirstChild];
    }
    // Every stored integer is an index or offset bounded by one of these.
    if (std::max({text_.size(), offsets_.size(), nodes_.size(), attributes_.size()}) > kMaxCount) {
      error = "the document is too large for a binary document";
      return false;
    }
    Write(out);
    return true;
  }

 private:
  using Record = std::array<std::size_t, kNodeFields>;

  std::size_t Intern(std::string_view s) {
    const auto [it, inserted] = index_.try_emplace(s, offsets_.size() - 1);
    if (inserted) {
      text_ += s;
      offsets_.push_back(text_.size());
    }
    return it->second;
  }

  void Write(std::string& out) const {
    out.clear();
    out.reserve(kHeaderSize + offsets_.size() * kIntSize + nodes_.size() * kNodeSize +
                attributes_.size() * kAttributeSize + text_.size());
    out.append(kMagic, sizeof kMagic);
    out.push_back(static_cast<char>(kVersion));
    out.append(3, '\0');  // flags and two reserved bytes
    for (std::size_t count : {offsets_.size() - 1, nodes_.size(), attributes_.size(), text_.size()}) {
      WriteU32(out, count);
    }
    for (std::size_t offset : offsets_) WriteU32(out, offset);
    for (const Record& record : nodes_) {
      for (std::size_t field : record) WriteU32(out, field);
    }
    for (const auto& [name, value] : attributes_) {
      WriteU32(out, name);
      WriteU32(out, value);
    }
    out += text_;
  }

  std::vector<std::size_t> offsets_{0};  // string i is text_[offsets_[i], offsets_[i + 1])
  std::string text_;
  std::unordered_map<std::string_view, std::size_t> index_;  // views into the pugixml document
  std::vector<Record> nodes_;
  std::vector<std::pair<std::size_t, std::size_t>> attributes_;
};

// ---- reading ----

class BinNode;

// Views into a validated block: every index and offset they lead to was checked at load.
struct Tables {
  const unsigned char* offsets = nullptr;
  const unsigned char* nodes = nullptr;
  const unsigned char* attributes = nullptr;
  const char* text = nullptr;
  const BinNode* nodeObjects = nullptr;  // one per node record, in the same order

  std::string_view String(std::uint32_t index) const {
    const unsigned char* entry = offsets + std::size_t{index} * kIntSize;
    const std::uint32_t begin = ReadU32(entry);
    return {text + begin, ReadU32(entry + kIntSize) - begin};
  }
};

// An empty document: a document node without children, named by the one (empty) string.
constexpr unsigned char kEmptyDocumentNode[kNodeSize] = {static_cast<unsigned char>(BinNodeType::kElement)};
constexpr unsigned char kEmptyStringOffsets[2 * kIntSize] = {};
constexpr Tables kEmptyTables{kEmptyStringOffsets, kEmptyDocumentNode, nullptr, "", nullptr};

class BinNode final : public IBinNode {
 public:
  BinNode(const Tables& tables, std::size_t index) : tables_(&tables), record_(tables.nodes + index * kNodeSize) {}

  BinNodeType GetNodeType() const override { return static_cast<BinNodeType>(Field(kType)); }
  std::string_view GetNodeName() const override { return IsElement() ? Content() : std::string_view(); }
  std::string GetText() const override {
    if (!IsElement()) return std::string(Content());
    std::string text;
    for (const BinNode& child : Children()) {
      if (IsTextual(child.Field(kType))) text += child.Content();
    }
    return text;
  }

  int GetChildCount() const override { return static_cast<int>(Field(kChildCount)); }
  const IBinNode* GetChild(int index) const override {
    return index >= 0 && index < GetChildCount() ? &Children()[static_cast<std::size_t>(index)] : nullptr;
  }
  const IBinNode* FindChild(std::string_view name) const override {
    for (const BinNode& child : Children()) {
      if (child.IsElement() && child.Content() == name) return &child;
    }
    return nullptr;
  }

  int GetAttributeCount() const override { return static_cast<int>(Field(kAttributeCount)); }
  std::string_view GetAttributeName(int index) const override {
    return index >= 0 && index < GetAttributeCount() ? AttributeName(Attribute(index)) : std::string_view();
  }
  std::string_view GetAttributeValue(int index) const override {
    return index >= 0 && index < GetAttributeCount() ? AttributeValue(Attribute(index)) : std::string_view();
  }
  bool HasAttribute(std::string_view name) const override {
    return FindAttribute([name](std::string_view n) { return n == name; }) != nullptr;
  }
  std::string_view GetAttribute(std::string_view name) const override {
    return ValueOf(FindAttribute([name](std::string_view n) { return n == name; }));
  }
  std::string_view GetAttributeNoCase(std::string_view name) const override {
    return ValueOf(FindAttribute([name](std::string_view n) { return EqualsNoCase(n, name); }));
  }

 private:
  std::uint32_t Field(NodeField field) const { return ReadU32(record_ + field * kIntSize); }
  bool IsElement() const { return Field(kType) == static_cast<std::uint32_t>(BinNodeType::kElement); }
  std::string_view Content() const { return tables_->String(Field(kString)); }
  std::span<const BinNode> Children() const { return {tables_->nodeObjects + Field(kFirstChild), Field(kChildCount)}; }

  const unsigned char* Attribute(int index) const {
    return tables_->attributes +
           (std::size_t{Field(kFirstAttribute)} + static_cast<std::size_t>(index)) * kAttributeSize;
  }
  std::string_view AttributeName(const unsigned char* attribute) const { return tables_->String(ReadU32(attribute)); }
  std::string_view AttributeValue(const unsigned char* attribute) const {
    return tables_->String(ReadU32(attribute + kIntSize));
  }
  std::string_view ValueOf(const unsigned char* attribute) const {
    return attribute != nullptr ? AttributeValue(attribute) : std::string_view();
  }
  // The first attribute whose name satisfies `matches`; nullptr when none does.
  template <typename Match>
  const unsigned char* FindAttribute(Match matches) const {
    for (int i = 0; i < GetAttributeCount(); ++i) {
      if (matches(AttributeName(Attribute(i)))) return Attribute(i);
    }
    return nullptr;
  }

  const Tables* tables_;
  const unsigned char* record_;
};

// The counts a block's header announces.
struct BlockCounts {
  std::uint64_t strings = 0, nodes = 0, attributes = 0, textSize = 0;
};

// Checks the header and the block's size against it, and points `tables` at the block's parts; false with
// a reason when the block is no binary document this build reads, or is cut short or overlong.
bool ReadHeader(std::string_view block, Tables& tables, BlockCounts& counts, std::string& error) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
  if (block.size() < sizeof kMagic || block.substr(0, sizeof kMagic) != std::string_view(kMagic, sizeof kMagic)) {
    error = "not a binary document (no \"KHQC\" magic)";
    return false;
  }
  if (block.size() > sizeof kMagic && bytes[4] != kVersion) {
    error = fmt::format(
        "binary document version {} is not read by this build (it reads version {}): regenerate the file from its "
        "XML source with kdp-xml2hqc",
        bytes[4], kVersion);
    return false;
  }
  if (block.size() < kHeaderSize) {
    error = fmt::format("truncated binary document: {} bytes, shorter than its header", block.size());
    return false;
  }
  if (bytes[5] != 0 || bytes[6] != 0 || bytes[7] != 0) {
    error = "binary document with unknown flags";
    return false;
  }
  const std::uint64_t strings = ReadU32(bytes + 8), nodes = ReadU32(bytes + 12), attributes = ReadU32(bytes + 16),
                      textSize = ReadU32(bytes + 20);
  const std::uint64_t expected =
      kHeaderSize + (strings + 1) * kIntSize + nodes * kNodeSize + attributes * kAttributeSize + textSize;
  if (block.size() != expected) {
    error = fmt::format("{} binary document: {} bytes where its header announces {}",
                        block.size() < expected ? "truncated" : "overlong", block.size(), expected);
    return false;
  }
  if (nodes == 0 || std::max({strings, nodes, attributes}) > kMaxCount) {
    error = fmt::format("binary document with {} nodes, {} attributes and {} strings", nodes, attributes, strings);
    return false;
  }
  tables.offsets = bytes + kHeaderSize;
  tables.nodes = tables.offsets + (strings + 1) * kIntSize;
  tables.attributes = tables.nodes + nodes * kNodeSize;
  tables.text = block.data() + (block.size() - textSize);
  counts = {strings, nodes, attributes, textSize};
  return true;
}

// Says what is corrupt, and at which index; always false.
bool Corrupt(std::string& error, std::string_view what, std::uint64_t index) {
  error = fmt::format("corrupt binary document: {} {}", what, index);
  return false;
}

// The string offsets rise from 0 to the end of the text.
bool CheckStrings(const Tables& tables, const BlockCounts& counts, std::string& error) {
  for (std::uint64_t i = 0; i <= counts.strings; ++i) {
    const std::uint32_t offset = ReadU32(tables.offsets + i * kIntSize);
    const std::uint32_t previous = i == 0 ? 0 : ReadU32(tables.offsets + (i - 1) * kIntSize);
    if (offset < previous || offset > counts.textSize || (i == counts.strings && offset != counts.textSize)) {
      return Corrupt(error, "string offset out of order at string", i);
    }
  }
  return true;
}

// Every node has a known type, a string, and attribute and child ranges that follow the ones before; the
// attribute ranges cover every attribute.
bool CheckNodes(const Tables& tables, const BlockCounts& counts, std::string& error) {
  std::uint64_t nextChild = 1, nextAttribute = 0, levelEnd = 1;
  int depth = 0;
  for (std::uint64_t i = 0; i < counts.nodes; ++i) {
    const unsigned char* record = tables.nodes + i * kNodeSize;
    const auto field = [record](NodeField f) -> std::uint64_t { return ReadU32(record + f * kIntSize); };
    if (i > 0 && i >= nextChild) return Corrupt(error, "no parent for node", i);
    if (i == levelEnd) {
      ++depth;
      levelEnd = nextChild;
    }
    const auto type = static_cast<std::uint32_t>(field(kType));
    const bool element = type == static_cast<std::uint32_t>(BinNodeType::kElement);
    const bool known = element || IsTextual(type) || type == static_cast<std::uint32_t>(BinNodeType::kComment);
    if (!known || (i == 0 && !element)) return Corrupt(error, "unexpected type of node", i);
    if (element && depth > kMaxDepth) {
      error =
          fmt::format("binary document nesting too deep: elements more than {} levels deep (node {})", kMaxDepth, i);
      return false;
    }
    if (field(kString) >= counts.strings) return Corrupt(error, "string index out of range in node", i);
    const std::uint64_t attributeCount = field(kAttributeCount), childCount = field(kChildCount);
    if (field(kFirstAttribute) != nextAttribute || (!element && attributeCount != 0) ||
        nextAttribute + attributeCount > counts.attributes) {
      return Corrupt(error, "attribute range out of place in node", i);
    }
    if (field(kFirstChild) != nextChild || (!element && childCount != 0) || nextChild + childCount > counts.nodes) {
      return Corrupt(error, "child range out of place in node", i);
    }
    nextAttribute += attributeCount;
    nextChild += childCount;
  }
  if (nextAttribute != counts.attributes) {
    return Corrupt(error, "attributes that belong to no element, from attribute", nextAttribute);
  }
  return true;
}

// Every attribute's name and value are strings of the block.
bool CheckAttributes(const Tables& tables, const BlockCounts& counts, std::string& error) {
  for (std::uint64_t i = 0; i < counts.attributes; ++i) {
    const unsigned char* attribute = tables.attributes + i * kAttributeSize;
    if (ReadU32(attribute) >= counts.strings || ReadU32(attribute + kIntSize) >= counts.strings) {
      return Corrupt(error, "string index out of range in attribute", i);
    }
  }
  return true;
}

// Checks the whole block once and points `tables` into it; false with a reason on any malformation.
// Children ranges must follow one another in node order, each past its parent, so every node but the
// document node has exactly one parent that precedes it: the nodes form one tree, without cycles.
// Breadth-first order lets the depth be counted level by level on the way.
bool ReadTables(std::string_view block, Tables& tables, std::size_t& nodeCount, std::string& error) {
  BlockCounts counts;
  if (!ReadHeader(block, tables, counts, error) || !CheckStrings(tables, counts, error) ||
      !CheckNodes(tables, counts, error) || !CheckAttributes(tables, counts, error)) {
    return false;
  }
  nodeCount = static_cast<std::size_t>(counts.nodes);
  return true;
}

class BinDocument final : public Implements<IBinDocument> {
 public:
  BinDocument() { Clear(); }

  bool LoadFromFile(const std::string& path) override {
    std::string bytes, reason;
    if (!ReadWholeFile(path, bytes, reason)) {
      Clear();
      error_ = "cannot read " + path + ": " + reason;
      return false;
    }
    buffer_ = std::move(bytes);
    return Load();
  }

  bool LoadFromBytes(std::string_view bytes) override {
    buffer_.assign(bytes);
    return Load();
  }

  const IBinNode* GetRoot() const override {
    const IBinNode& document = nodes_.front();
    for (int i = 0; i < document.GetChildCount(); ++i) {
      const IBinNode* child = document.GetChild(i);
      if (child->GetNodeType() == BinNodeType::kElement) return child;
    }
    return nullptr;
  }
  const IBinNode* GetDocumentNode() const override { return &nodes_.front(); }
  std::string GetLastError() const override { return error_; }

 private:
  // Validates `buffer_` and makes one node object per record; on failure the document is left empty.
  bool Load() {
    error_.clear();
    std::size_t nodeCount = 0;
    if (!ReadTables(buffer_, tables_, nodeCount, error_)) {
      Clear();
      return false;
    }
    nodes_.clear();
    nodes_.reserve(nodeCount);
    for (std::size_t i = 0; i < nodeCount; ++i) nodes_.emplace_back(tables_, i);
    tables_.nodeObjects = nodes_.data();
    return true;
  }

  void Clear() {
    buffer_.clear();
    tables_ = kEmptyTables;
    nodes_.assign(1, BinNode(tables_, 0));
  }

  std::string buffer_;  // the block every node and string views
  Tables tables_;
  std::vector<BinNode> nodes_;
  std::string error_;
};

}  // namespace

std::shared_ptr<IBinDocument> HQQueryBinDocInterface(const Guid& iid) {
  if (iid != IBinDocument::IID) return nullptr;
  return std::make_shared<BinDocument>();
}

int GetBinNodeValueInt(const IBinNode* node, std::string_view name, int defaultValue) {
  if (node == nullptr || !node->HasAttribute(name)) return defaultValue;
  return ParseIntOr(node->GetAttribute(name), defaultValue);
}

namespace {

// EqualsNoCase without the C library's per-character calls: the names compared are ASCII.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

void GetBinNodeAttributes(const IBinNode& node, std::span<const std::string_view> names,
                          std::span<std::optional<std::string_view>> values, bool noCase) {
  std::fill(values.begin(), values.end(), std::nullopt);
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    const std::string_view name = node.GetAttributeName(i);
    for (std::size_t j = 0; j < names.size() && j < values.size(); ++j) {
      if (values[j] || !(noCase ? EqualsAsciiNoCase(name, names[j]) : name == names[j])) continue;
      values[j] = node.GetAttributeValue(i);
      break;
    }
  }
}

bool EncodeXmlAsBinDocument(std::string_view xml, std::string& out, std::string* error) {
  pugi::xml_document doc;
  const pugi::xml_parse_result result =
      doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_comments, pugi::encoding_auto);
  std::string why;
  if (!result) {
    why = fmt::format("{} at offset {}", result.description(), result.offset);
  } else if (Encoder().Encode(doc, out, why)) {
    return true;
  }
  if (error != nullptr) *error = why;
  return false;
}

bool TransXml2Bin(const std::string& source, const std::string& target) {
  std::string xml, encoded, error;
  if (!ReadWholeFile(source, xml, error)) {
    AddHQLog("TransXml2Bin cannot read " + source + ": " + error, "BinDocument", host::LogSeverity::kError);
    return false;
  }
  if (!EncodeXmlAsBinDocument(xml, encoded, &error)) {
    AddHQLog("TransXml2Bin " + source + ": " + error, "BinDocument", host::LogSeverity::kError);
    return false;
  }
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
  if (!out) {
    AddHQLog("TransXml2Bin cannot write " + target, "BinDocument", host::LogSeverity::kError);
    return false;
  }
  return true;
}

}  // namespace kdp::host
