// XML DOM helpers over pugixml, as the configuration readers use them.
//
// Attribute helpers answer a default for an absent or unreadable attribute, never an error. Numbers are
// read with "." as the decimal separator whatever the process locale.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace kdp::host {

std::unique_ptr<pugi::xml_document> CreateXMLDomDocment();

// Parses a file keeping comments (node type 8 readers skip them). On failure returns false and, when
// `error` is given, fills it with the system's reason for a file that cannot be read ("Permission
// denied"), else with the parser's description and the byte offset.
bool LoadXmlFile(pugi::xml_document& document, const std::string& path, std::string* error = nullptr);

std::string GetNodeAttributeValue(const pugi::xml_node& node, std::string_view name);  // "" when absent
int GetNodeAttributeInteger(const pugi::xml_node& node, std::string_view name, int defaultValue);
// "true"/"1"/"yes" and "false"/"0"/"no" in any case; anything else gives the default.
bool GetNodeAttributeBoolean(const pugi::xml_node& node, std::string_view name, bool defaultValue);
// The node's text content; false when the node has none.
bool GetNodeValue(const pugi::xml_node& node, std::string& value);
bool IsNodeAttrExists(const pugi::xml_node& node, std::string_view name);

}  // namespace kdp::host
