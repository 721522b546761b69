// Reading the XML documents of Lux replies: a body in UTF-8 or UTF-16 (with its byte-order mark), or in
// code page 936 when its declaration says so ("gb2312", "gbk", "gb18030"), and element look-ups that
// ignore ASCII case. Pure functions; any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace kdp {

class TLuxReplyRows;

// Parses `body` into `document`. On a parse error the nodes read before the error stay in the document
// and `error` describes the error ("" on success); the caller logs it.
void LoadReplyXml(pugi::xml_document& document, std::string_view body, std::string& error);
// The same, parsing in place a copy of `body` that `rows` keep: the document's names and values stay valid
// as long as the rows, after the document is gone (`rows` keep the document when its text is its own,
// as pugixml makes it of a UTF-16 body). An element's leading text is its own value, not a child node:
// read element text with child_value.
void LoadReplyXml(const std::shared_ptr<pugi::xml_document>& document, std::string_view body, TLuxReplyRows& rows,
                  std::string& error);

// The first element named `name` (ASCII case ignored) among `node` and its descendants, depth first;
// an empty handle when there is none.
pugi::xml_node FindElement(const pugi::xml_node& node, std::string_view name);
// The first child element named `name` (ASCII case ignored).
pugi::xml_node FindChildElement(const pugi::xml_node& node, std::string_view name);
// The text of a child element or, failing that, the attribute of the same name ("" when neither).
std::string_view ChildOrAttribute(const pugi::xml_node& node, std::string_view name);

}  // namespace kdp
