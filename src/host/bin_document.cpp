// The ".hqc" binary document: encoder from XML and decoder into an in-memory node tree.
#include "kdp/host/bin_document.h"

#include <deque>
#include <fstream>
#include <iterator>
#include <sstream>
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
constexpr std::uint8_t kVersion = 1;
constexpr int kMaxDepth = 256;

// ---- encoding ----

class Encoder {
 public:
  // False, with `error`, for a document the reader would refuse: elements nested deeper than kMaxDepth.
  bool Encode(const pugi::xml_document& doc, std::string& out, std::string& error) {
    if (!WriteChildren(doc, 0)) {
      error = fmt::format("elements are nested deeper than {} levels, which no reader accepts", kMaxDepth);
      return false;
    }
    out.assign(kMagic, sizeof kMagic);
    out.push_back(static_cast<char>(kVersion));
    out.push_back(0);  // flags
    WriteVarint(out, strings_.size());
    for (const std::string& s : strings_) {
      WriteVarint(out, s.size());
      out += s;
    }
    out += body_;
    return true;
  }

 private:
  static void WriteVarint(std::string& out, std::uint64_t v) {
    do {
      std::uint8_t byte = v & 0x7F;
      v >>= 7;
      if (v != 0) byte |= 0x80;
      out.push_back(static_cast<char>(byte));
    } while (v != 0);
  }

  std::uint32_t Intern(std::string_view s) {
    auto [it, inserted] = index_.try_emplace(std::string(s), static_cast<std::uint32_t>(strings_.size()));
    if (inserted) strings_.emplace_back(s);
    return it->second;
  }

  static bool IsKept(const pugi::xml_node& n) {
    switch (n.type()) {
      case pugi::node_element:
      case pugi::node_pcdata:
      case pugi::node_cdata:
      case pugi::node_comment:
        return true;
      default:
        return false;
    }
  }

  // The recursion stops at the reader's depth limit, so no document can exhaust the stack.
  bool WriteChildren(const pugi::xml_node& parent, int depth) {
    std::size_t count = 0;
    for (const pugi::xml_node& child : parent.children()) count += IsKept(child) ? 1 : 0;
    WriteVarint(body_, count);
    for (const pugi::xml_node& child : parent.children()) {
      if (IsKept(child) && !WriteNode(child, depth + 1)) return false;
    }
    return true;
  }

  bool WriteNode(const pugi::xml_node& n, int depth) {
    switch (n.type()) {
      case pugi::node_element: {
        if (depth > kMaxDepth) return false;
        body_.push_back(static_cast<char>(BinNodeType::kElement));
        WriteVarint(body_, Intern(n.name()));
        std::size_t attrs = 0;
        for (auto a = n.first_attribute(); a; a = a.next_attribute()) ++attrs;
        WriteVarint(body_, attrs);
        for (auto a = n.first_attribute(); a; a = a.next_attribute()) {
          WriteVarint(body_, Intern(a.name()));
          WriteVarint(body_, Intern(a.value()));
        }
        return WriteChildren(n, depth);
      }
      case pugi::node_pcdata:
        body_.push_back(static_cast<char>(BinNodeType::kText));
        WriteVarint(body_, Intern(n.value()));
        break;
      case pugi::node_cdata:
        body_.push_back(static_cast<char>(BinNodeType::kCData));
        WriteVarint(body_, Intern(n.value()));
        break;
      default:
        body_.push_back(static_cast<char>(BinNodeType::kComment));
        WriteVarint(body_, Intern(n.value()));
        break;
    }
    return true;
  }

  std::vector<std::string> strings_;
  std::unordered_map<std::string, std::uint32_t> index_;
  std::string body_;
};

// ---- decoded tree ----

class BinNode final : public IBinNode {
 public:
  BinNodeType type = BinNodeType::kElement;
  std::string_view name;
  std::string_view value;
  std::vector<std::pair<std::string_view, std::string_view>> attributes;
  std::vector<const BinNode*> children;

  BinNodeType GetNodeType() const override { return type; }
  std::string_view GetNodeName() const override { return type == BinNodeType::kElement ? name : std::string_view(); }
  std::string GetText() const override {
    if (type != BinNodeType::kElement) return std::string(value);
    std::string text;
    for (const BinNode* c : children) {
      if (c->type == BinNodeType::kText || c->type == BinNodeType::kCData) text += c->value;
    }
    return text;
  }
  int GetChildCount() const override { return static_cast<int>(children.size()); }
  const IBinNode* GetChild(int index) const override {
    return index >= 0 && index < GetChildCount() ? children[static_cast<std::size_t>(index)] : nullptr;
  }
  const IBinNode* FindChild(std::string_view childName) const override {
    for (const BinNode* c : children) {
      if (c->type == BinNodeType::kElement && c->name == childName) return c;
    }
    return nullptr;
  }
  int GetAttributeCount() const override { return static_cast<int>(attributes.size()); }
  std::string_view GetAttributeName(int index) const override {
    return index >= 0 && index < GetAttributeCount() ? attributes[static_cast<std::size_t>(index)].first
                                                     : std::string_view();
  }
  std::string_view GetAttributeValue(int index) const override {
    return index >= 0 && index < GetAttributeCount() ? attributes[static_cast<std::size_t>(index)].second
                                                     : std::string_view();
  }
  bool HasAttribute(std::string_view attrName) const override {
    for (const auto& [n, v] : attributes) {
      if (n == attrName) return true;
    }
    return false;
  }
  std::string_view GetAttribute(std::string_view attrName) const override {
    for (const auto& [n, v] : attributes) {
      if (n == attrName) return v;
    }
    return {};
  }
  std::string_view GetAttributeNoCase(std::string_view attrName) const override {
    for (const auto& [n, v] : attributes) {
      if (EqualsNoCase(n, attrName)) return v;
    }
    return {};
  }
};

class Decoder {
 public:
  Decoder(std::string_view bytes, std::deque<BinNode>& nodes) : bytes_(bytes), nodes_(nodes) {}

  // Fills `document` with the top-level nodes; false with a reason on any malformation.
  bool Decode(BinNode& document, std::string& error) {
    if (bytes_.size() < 6 || bytes_.substr(0, 4) != std::string_view(kMagic, 4)) {
      error = "not a binary document (bad magic)";
      return false;
    }
    if (static_cast<std::uint8_t>(bytes_[4]) != kVersion) {
      error = fmt::format("unsupported binary document version {}", static_cast<int>(bytes_[4]));
      return false;
    }
    pos_ = 6;
    std::uint64_t count = 0;
    if (!ReadVarint(count) || count > bytes_.size()) return Fail(error, "bad string table size");
    strings_.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t length = 0;
      if (!ReadVarint(length) || length > bytes_.size() - pos_) return Fail(error, "truncated string table");
      strings_.push_back(bytes_.substr(pos_, static_cast<std::size_t>(length)));
      pos_ += static_cast<std::size_t>(length);
    }
    document.type = BinNodeType::kElement;
    if (!ReadChildren(document, 0)) return Fail(error, failure_);
    if (pos_ != bytes_.size()) return Fail(error, "trailing bytes after the document");
    return true;
  }

 private:
  bool Fail(std::string& error, std::string_view why) {
    error = fmt::format("{} (offset {})", why, pos_);
    return false;
  }

  bool ReadVarint(std::uint64_t& v) {
    v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      if (pos_ >= bytes_.size()) return false;
      const auto byte = static_cast<std::uint8_t>(bytes_[pos_++]);
      v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return v <= 0xFFFFFFFFu;
    }
    return false;
  }

  bool ReadString(std::string_view& out) {
    std::uint64_t index = 0;
    if (!ReadVarint(index) || index >= strings_.size()) {
      failure_ = "bad string index";
      return false;
    }
    out = strings_[static_cast<std::size_t>(index)];
    return true;
  }

  bool ReadChildren(BinNode& parent, int depth) {
    if (depth > kMaxDepth) {
      failure_ = "nesting too deep";
      return false;
    }
    std::uint64_t count = 0;
    // Every child takes at least two bytes, which bounds the count before anything is allocated.
    if (!ReadVarint(count) || count > (bytes_.size() - pos_) / 2) {
      failure_ = "bad child count";
      return false;
    }
    parent.children.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      if (pos_ >= bytes_.size()) {
        failure_ = "truncated node";
        return false;
      }
      const auto type = static_cast<std::uint8_t>(bytes_[pos_++]);
      BinNode& node = nodes_.emplace_back();
      switch (type) {
        case static_cast<std::uint8_t>(BinNodeType::kElement): {
          node.type = BinNodeType::kElement;
          if (!ReadString(node.name)) return false;
          std::uint64_t attrs = 0;
          if (!ReadVarint(attrs) || attrs > (bytes_.size() - pos_) / 2) {
            failure_ = "bad attribute count";
            return false;
          }
          node.attributes.reserve(static_cast<std::size_t>(attrs));
          for (std::uint64_t a = 0; a < attrs; ++a) {
            std::string_view n, v;
            if (!ReadString(n) || !ReadString(v)) return false;
            node.attributes.emplace_back(n, v);
          }
          if (!ReadChildren(node, depth + 1)) return false;
          break;
        }
        case static_cast<std::uint8_t>(BinNodeType::kText):
        case static_cast<std::uint8_t>(BinNodeType::kCData):
        case static_cast<std::uint8_t>(BinNodeType::kComment):
          node.type = static_cast<BinNodeType>(type);
          if (!ReadString(node.value)) return false;
          break;
        default:
          failure_ = fmt::format("unknown node type {}", type);
          return false;
      }
      parent.children.push_back(&node);
    }
    return true;
  }

  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::vector<std::string_view> strings_;
  std::deque<BinNode>& nodes_;
  std::string failure_;
};

class BinDocument final : public Implements<IBinDocument> {
 public:
  bool LoadFromFile(const std::string& path) override {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error_)) {
      Clear();
      return false;
    }
    return Load(std::move(bytes));
  }

  bool LoadFromBytes(std::string_view bytes) override { return Load(std::string(bytes)); }

  const IBinNode* GetRoot() const override {
    for (const BinNode* child : document_.children) {
      if (child->type == BinNodeType::kElement) return child;
    }
    return nullptr;
  }
  const IBinNode* GetDocumentNode() const override { return &document_; }
  std::string GetLastError() const override { return error_; }

 private:
  void Clear() {
    document_ = BinNode();
    nodes_.clear();
    buffer_.clear();
  }

  bool Load(std::string bytes) {
    Clear();
    buffer_ = std::move(bytes);
    Decoder decoder(buffer_, nodes_);
    error_.clear();
    if (!decoder.Decode(document_, error_)) {
      Clear();
      return false;
    }
    return true;
  }

  std::string buffer_;  // owns every string the nodes view
  std::deque<BinNode> nodes_;
  BinNode document_;
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

bool EncodeXmlAsBinDocument(std::string_view xml, std::string& out, std::string* error) {
  pugi::xml_document doc;
  const pugi::xml_parse_result result =
      doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_comments, pugi::encoding_auto);
  if (!result) {
    if (error != nullptr) *error = fmt::format("{} at offset {}", result.description(), result.offset);
    return false;
  }
  std::string why;
  if (!Encoder().Encode(doc, out, why)) {
    if (error != nullptr) *error = why;
    return false;
  }
  return true;
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
