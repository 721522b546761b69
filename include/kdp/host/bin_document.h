// Binary documents (".hqc"): the host's compact, versioned encoding of an XML element tree, read by the
// configuration loaders that want to skip XML parsing at start-up.
//
// A document keeps elements with their attributes in order, text and CDATA sections, and comments (node
// type 8, which readers skip). `TransXml2Bin` converts an XML file; `HQQueryBinDocInterface` hands out a
// document object that loads one. Nodes are owned by their document and valid while it lives.
//
// File layout, version 2. One block, read once and validated once at load; nodes then read their fields
// straight from it, and names and values are views into it. Integers are unsigned 32-bit little-endian.
//   header (24 bytes): "KHQC" magic, version byte (2), flags byte (0), two zero bytes,
//     string count S, node count N, attribute count A, string byte count B;
//   string offsets: S + 1 offsets into the string bytes, starting at 0, never decreasing, the last one B;
//     string i is bytes [offset i, offset i + 1); every distinct name and value is stored once;
//   nodes: N records of six integers: type (1 element, 3 text, 4 CDATA, 8 comment), string index (the
//     element's name; the content of the others), first attribute, attribute count, first child, child count;
//   attributes: A records of two string indexes (name, value), each element's attributes consecutive, in order;
//   string bytes: B bytes of UTF-8.
// Node 0 is the document node (an element named ""). Nodes are stored breadth first: the children of each
// node are consecutive records, and the child ranges follow one another in node order, each past its parent,
// so the nodes form one tree. Attribute ranges follow one another the same way. A reader rejects any other
// version (older files are regenerated with kdp-xml2hqc), a size other than the header announces, indexes or
// ranges out of place, and elements nested more than 256 levels deep.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kdp/host/interface.h"

namespace kdp::host {

enum class BinNodeType : std::uint8_t { kElement = 1, kText = 3, kCData = 4, kComment = 8 };

class IBinNode {
 public:
  virtual ~IBinNode() = default;
  virtual BinNodeType GetNodeType() const = 0;
  // The element's tag; empty for other node types.
  virtual std::string_view GetNodeName() const = 0;
  // The content of a text, CDATA or comment node; for an element, its text and CDATA children joined.
  virtual std::string GetText() const = 0;

  virtual int GetChildCount() const = 0;
  virtual const IBinNode* GetChild(int index) const = 0;               // nullptr out of range
  virtual const IBinNode* FindChild(std::string_view name) const = 0;  // first element child so named

  virtual int GetAttributeCount() const = 0;
  virtual std::string_view GetAttributeName(int index) const = 0;
  virtual std::string_view GetAttributeValue(int index) const = 0;
  virtual bool HasAttribute(std::string_view name) const = 0;
  // The value of the attribute with exactly that name; empty when absent.
  virtual std::string_view GetAttribute(std::string_view name) const = 0;
  // The same, comparing names ASCII case-insensitively.
  virtual std::string_view GetAttributeNoCase(std::string_view name) const = 0;
};

class IBinDocument : public virtual IInterface {
 public:
  static constexpr Guid IID = "12F8C837-A870-4EE4-BE95-AB35CD995773";
  // Replaces the content with the file's; false (content empty, reason in GetLastError) on failure.
  virtual bool LoadFromFile(const std::string& path) = 0;
  virtual bool LoadFromBytes(std::string_view bytes) = 0;
  // The document element (first element child of the document node), or nullptr when empty.
  virtual const IBinNode* GetRoot() const = 0;
  // The document node itself, whose children include top-level comments.
  virtual const IBinNode* GetDocumentNode() const = 0;
  virtual std::string GetLastError() const = 0;
};

// A new, empty document object for `iid` (IBinDocument::IID); nullptr for any other Guid.
std::shared_ptr<IBinDocument> HQQueryBinDocInterface(const Guid& iid = IBinDocument::IID);

// The attribute read as an integer; `defaultValue` when absent or not a number.
int GetBinNodeValueInt(const IBinNode* node, std::string_view name, int defaultValue);

// Several attributes read in one pass over the node's attributes (loaders that want many attributes of
// each of many nodes): values[i] is the value of the first attribute named names[i], nullopt when the
// node has none; `noCase` compares names as GetAttributeNoCase does. `values` is as long as `names`.
void GetBinNodeAttributes(const IBinNode& node, std::span<const std::string_view> names,
                          std::span<std::optional<std::string_view>> values, bool noCase = false);

// Encodes XML text as a binary document. False (reason in `error`) when the XML does not parse or nests
// elements deeper than a reader accepts (256 levels).
bool EncodeXmlAsBinDocument(std::string_view xml, std::string& out, std::string* error = nullptr);

// Converts the XML file `source` into the binary document `target`. Logs and returns false on failure.
bool TransXml2Bin(const std::string& source, const std::string& target);

}  // namespace kdp::host
