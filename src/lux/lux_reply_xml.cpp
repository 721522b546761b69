#include "lux/lux_reply_xml.h"

#include <span>

#include <fmt/format.h>

#include "kdp/host/ansi.h"
#include "lux/lux_reply_rows.h"
#include "util/strings.h"

namespace kdp {
namespace {

// Whether the XML declaration at the start of `body` names a Chinese code page.
bool DeclaresGbk(std::string_view body) {
  if (!body.starts_with("<?xml")) return false;
  const std::size_t end = body.find("?>");
  const std::string declaration = ToLowerAscii(body.substr(0, end));
  const std::size_t at = declaration.find("encoding");
  if (at == std::string::npos) return false;
  const std::size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string::npos) return false;
  const std::string_view value = std::string_view(declaration).substr(quote + 1);
  return value.starts_with("gb2312") || value.starts_with("gbk") || value.starts_with("gb18030");
}

std::string ParseError(const pugi::xml_parse_result& result) {
  return result ? std::string() : fmt::format("{} at offset {}", result.description(), result.offset);
}

}  // namespace

void LoadReplyXml(pugi::xml_document& document, std::string_view body, std::string& error) {
  pugi::xml_parse_result result;
  if (DeclaresGbk(body)) {
    const std::string utf8 = host::AnsiToUtf8(body);
    result = document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
  } else {
    result = document.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_auto);
  }
  error = ParseError(result);
}

void LoadReplyXml(const std::shared_ptr<pugi::xml_document>& document, std::string_view body, TLuxReplyRows& rows,
                  std::string& error) {
  const bool gbk = DeclaresGbk(body);
  const std::string utf8 = gbk ? host::AnsiToUtf8(body) : std::string();
  // The copy ends in a NUL, as pugixml's own copy does: a document cut short parses exactly as with
  // load_buffer (in place, pugixml overwrites the buffer's last byte and so would lose a text's last one).
  const std::span<char> text = rows.CopyIn(gbk ? std::string_view(utf8) : body);
  // An element's leading text is kept in the element itself rather than in a child node: the same answers
  // from child_value and child elements, with half the nodes to make and walk.
  const pugi::xml_parse_result result =
      document->load_buffer_inplace(text.data(), text.size(), pugi::parse_default | pugi::parse_embed_pcdata,
                                    gbk ? pugi::encoding_utf8 : pugi::encoding_auto);
  // Any other encoding is converted into a buffer of the document's own.
  if (result.encoding != pugi::encoding_utf8) rows.KeepAlive(document);
  error = ParseError(result);
}

pugi::xml_node FindElement(const pugi::xml_node& node, std::string_view name) {
  if (node.type() == pugi::node_element && SameTextAscii(node.name(), name)) return node;
  return node.find_node(
      [name](const pugi::xml_node& n) { return n.type() == pugi::node_element && SameTextAscii(n.name(), name); });
}

pugi::xml_node FindChildElement(const pugi::xml_node& node, std::string_view name) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_element && SameTextAscii(child.name(), name)) return child;
  }
  return {};
}

std::string_view ChildOrAttribute(const pugi::xml_node& node, std::string_view name) {
  if (pugi::xml_node child = FindChildElement(node, name)) return child.text().get();
  for (pugi::xml_attribute attribute : node.attributes()) {
    if (SameTextAscii(attribute.name(), name)) return attribute.value();
  }
  return {};
}

}  // namespace kdp
