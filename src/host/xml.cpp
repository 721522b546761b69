#include "kdp/host/xml.h"

#include <charconv>

#include <fmt/format.h>

#include "kdp/host/file_io.h"
#include "text_number.h"

namespace kdp::host {

std::unique_ptr<pugi::xml_document> CreateXMLDomDocment() { return std::make_unique<pugi::xml_document>(); }

bool LoadXmlFile(pugi::xml_document& document, const std::string& path, std::string* error) {
  // Read here rather than by the parser, which reports any file it cannot open as "File was not found".
  std::string bytes, reason;
  if (!ReadWholeFile(path, bytes, reason)) {
    document.reset();
    if (error != nullptr) *error = reason;
    return false;
  }
  const pugi::xml_parse_result result =
      document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_comments, pugi::encoding_auto);
  if (!result && error != nullptr) {
    *error = fmt::format("{} at offset {}", result.description(), result.offset);
  }
  return static_cast<bool>(result);
}

std::string GetNodeAttributeValue(const pugi::xml_node& node, std::string_view name) {
  return node.attribute(std::string(name).c_str()).value();
}

int GetNodeAttributeInteger(const pugi::xml_node& node, std::string_view name, int defaultValue) {
  const pugi::xml_attribute attr = node.attribute(std::string(name).c_str());
  if (!attr) return defaultValue;
  return ParseIntOr(attr.value(), defaultValue);
}

bool GetNodeAttributeBoolean(const pugi::xml_node& node, std::string_view name, bool defaultValue) {
  const pugi::xml_attribute attr = node.attribute(std::string(name).c_str());
  if (!attr) return defaultValue;
  return ParseBoolOr(attr.value(), defaultValue);
}

bool GetNodeValue(const pugi::xml_node& node, std::string& value) {
  if (!node) return false;
  if (node.type() != pugi::node_element) {
    value = node.value();
    return true;
  }
  value.clear();
  bool found = false;
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      value += child.value();
      found = true;
    }
  }
  return found;
}

bool IsNodeAttrExists(const pugi::xml_node& node, std::string_view name) {
  return static_cast<bool>(node.attribute(std::string(name).c_str()));
}

}  // namespace kdp::host
