#include "lux_scenario.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "kdp/host/memory_stream.h"
#include "kdp/host/serializer.h"

namespace kdp::minihost {
namespace {

constexpr std::uint32_t kAuthLevelFieldID = 2021;
// The search fields of the archive's items, which do not go out with them.
const std::set<std::string, std::less<>> kSearchFields{"mediatype", "koracode", "v2025", "siteid", "indexname", "live"};

bool ReadText(const std::filesystem::path& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path.string();
    return false;
  }
  std::stringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '(')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == ')')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + separator.size();
  }
}

// The first eight digits of a date text ("2026-12-04 10:25:11" -> "20261204").
std::string DateDigits(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9' && digits.size() < 8) digits += c;
  }
  return digits;
}

bool InList(std::string_view list, std::string_view value) {
  for (std::string_view entry : Split(list, ",")) {
    if (Lower(Trim(entry)) == Lower(value)) return true;
  }
  return false;
}

// A security code as the search engine receives it: brackets become "_".
std::string EscapedCode(std::string_view code) {
  std::string escaped(code);
  std::replace(escaped.begin(), escaped.end(), '(', '_');
  std::replace(escaped.begin(), escaped.end(), ')', '_');
  return escaped;
}

// The query's parameters; "\\&" inside a value is an escaped "&".
std::vector<std::pair<std::string, std::string>> QueryParams(std::string_view query) {
  std::string text(query);
  const std::string escaped = "\\\\&";
  for (std::size_t at = text.find(escaped); at != std::string::npos; at = text.find(escaped, at + 1)) {
    text.replace(at, escaped.size(), "\x01");
  }
  std::vector<std::pair<std::string, std::string>> params;
  for (std::string_view part : Split(text, "&")) {
    const std::size_t eq = part.find('=');
    std::string name(part.substr(0, eq));
    std::string value(eq == std::string_view::npos ? std::string_view() : part.substr(eq + 1));
    std::replace(value.begin(), value.end(), '\x01', '&');
    params.emplace_back(Lower(name), std::move(value));
  }
  return params;
}

std::string Param(const std::vector<std::pair<std::string, std::string>>& params, std::string_view name) {
  for (const auto& [key, value] : params) {
    if (key == name) return value;
  }
  return {};
}

}  // namespace

std::string PrefixedBody(std::string_view document) {
  host::MemoryStream body;
  host::TStreamSerializer(body).WriteLongWord(static_cast<std::uint32_t>(document.size()));
  body.Write(document.data(), document.size());
  return std::string(body.AsStringView());
}

std::string CodedBody(std::string_view document) {
  host::MemoryStream body;
  host::TStreamSerializer writer(body);
  writer.WriteLongWord(0);
  writer.WriteAnsiString("");
  body.Write(document.data(), document.size());
  return std::string(body.AsStringView());
}

std::string AuthorityBody(const std::vector<std::string>& levels) {
  host::MemoryStream body;
  host::TStreamSerializer writer(body);
  writer.WriteLongWord(static_cast<std::uint32_t>(levels.size()));
  for (const std::string& level : levels) {
    writer.WriteLongWord(1);
    writer.WriteLongWord(kAuthLevelFieldID);
    writer.WriteLongWord(static_cast<std::uint32_t>(std::stoul(level)));
  }
  return std::string(body.AsStringView());
}

bool LuxScenario::Load(const std::string& dir, std::string& error) {
  const std::filesystem::path root(dir);
  std::string text;
  if (!ReadText(root / "index.json", text, error)) return false;
  try {
    const nlohmann::json index = nlohmann::json::parse(text);
    for (const auto& level : index.value("authLevels", nlohmann::json::array())) {
      auth_levels_.push_back(std::to_string(level.get<std::uint32_t>()));
    }
    for (const auto& reply : index.at("replies")) {
      Entry entry;
      entry.appClass = reply.at("appClass").get<std::uint32_t>();
      entry.commandID = reply.at("commandId").get<std::uint32_t>();
      entry.query = reply.value("query", "");
      const std::string source = reply.value("source", "");
      if (source == "news") {
        entry.source = Entry::Source::kNews;
      } else if (source == "authority") {
        entry.source = Entry::Source::kAuthority;
      } else {
        const std::string file = reply.at("file").get<std::string>();
        std::string document;
        if (!ReadText(root / file, document, error)) return false;
        const bool coded = file.size() > 11 && file.ends_with(".coded.json");
        entry.body = coded ? CodedBody(document) : PrefixedBody(document);
      }
      entries_.push_back(std::move(entry));
    }

    pugi::xml_document archive;
    if (!archive.load_file((root / index.at("news").get<std::string>()).c_str())) {
      error = "the news archive does not load";
      return false;
    }
    std::set<std::string> indexed;
    for (pugi::xml_node node : archive.document_element().children("item")) {
      NewsItem item;
      pugi::xml_document out;
      pugi::xml_node copy = out.append_copy(node);
      for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        const std::string name = Lower(child.name());
        item.fields.emplace_back(name, child.child_value());
        indexed.insert(name);
        if (kSearchFields.contains(name)) copy.remove_child(child.name());
      }
      std::ostringstream xml;
      copy.print(xml, "", pugi::format_raw);
      item.xml = xml.str();
      if (const std::string* date = Field(item, "date")) item.date = *date;
      news_.push_back(std::move(item));
    }
    indexed_fields_.assign(indexed.begin(), indexed.end());
    std::stable_sort(news_.begin(), news_.end(), [](const NewsItem& a, const NewsItem& b) { return a.date > b.date; });

    if (index.contains("qvb") && !qvb_.Load((root / index.at("qvb").get<std::string>()).string(), error)) return false;

    pugi::xml_document pushes;
    if (!pushes.load_file((root / index.at("pushes").get<std::string>()).c_str())) {
      error = "the news pushes do not load";
      return false;
    }
    for (pugi::xml_node node : pushes.document_element().children("item")) {
      pushes_.push_back({node.child_value(), node.attribute("sitename").value(), node.attribute("channel").value(),
                         node.attribute("koracode").value(), node.attribute("live").value()});
    }
  } catch (const std::exception& e) {
    error = "index.json: " + std::string(e.what());
    return false;
  }
  return true;
}

std::optional<std::string> LuxScenario::ReplyBody(std::uint32_t appClass, std::uint32_t commandID,
                                                  std::string_view query) const {
  for (const Entry& entry : entries_) {
    if (entry.appClass != appClass || entry.commandID != commandID) continue;
    if (!entry.query.empty() && query.find(entry.query) == std::string_view::npos) continue;
    switch (entry.source) {
      case Entry::Source::kFile:
        return entry.body;
      case Entry::Source::kNews:
        return PrefixedBody(NewsPage(query));
      case Entry::Source::kAuthority:
        return AuthorityBody(auth_levels_);
    }
  }
  return std::nullopt;
}

const std::string* LuxScenario::Field(const NewsItem& item, std::string_view name) const {
  for (const auto& [key, value] : item.fields) {
    if (key == name) return &value;
  }
  return nullptr;
}

bool LuxScenario::Matches(const NewsItem& item, std::string_view term) const {
  term = Trim(term);
  const bool negated = !term.empty() && term.front() == '!';
  if (negated) term.remove_prefix(1);
  const std::size_t colon = term.find(':');
  if (colon == std::string_view::npos) return true;
  std::string name = Lower(term.substr(0, colon));
  const std::string_view value = term.substr(colon + 1);
  const bool codes = name == "koracode" || name == "v2002";
  if (codes) name = "koracode";
  if (!std::binary_search(indexed_fields_.begin(), indexed_fields_.end(), name)) return true;
  const std::string* field = Field(item, name);
  bool found = false;
  if (field != nullptr) {
    if (codes) {
      for (std::string_view code : Split(*field, ",")) found = found || Lower(EscapedCode(code)) == Lower(value);
    } else {
      found = InList(*field, value);
    }
  }
  return found != negated;
}

std::string LuxScenario::NewsPage(std::string_view query) const {
  const auto params = QueryParams(query);
  std::string media = Param(params, "type");
  if (media.empty()) media = Param(params, "mediatype");
  if (Param(params, "name") == "livenewsinfo") media = "01";
  std::string conditions = Param(params, "param_v2");
  if (conditions.empty()) conditions = Param(params, "param");

  std::vector<std::vector<std::string_view>> groups;
  std::string from, to;
  for (std::string_view part : Split(conditions, ";")) {
    if (part.starts_with("date1:")) {
      const std::string_view range = Trim(part.substr(6));
      const std::size_t sep = range.find(" TO ");
      from = DateDigits(range.substr(0, sep));
      if (sep != std::string_view::npos) to = DateDigits(range.substr(sep + 4));
      continue;
    }
    for (std::string_view group : Split(part, " AND ")) {
      if (!Trim(group).empty()) groups.push_back(Split(Trim(group), " OR "));
    }
  }

  std::vector<const NewsItem*> selected;
  for (const NewsItem& item : news_) {
    const std::string* type = Field(item, "mediatype");
    if (!media.empty() && (type == nullptr || !InList(media, *type))) continue;
    const std::string day = DateDigits(item.date);
    if (!from.empty() && day < from) continue;
    if (!to.empty() && day > to) continue;
    const bool all = std::all_of(groups.begin(), groups.end(), [&](const std::vector<std::string_view>& terms) {
      return std::any_of(terms.begin(), terms.end(), [&](std::string_view term) { return Matches(item, term); });
    });
    if (all) selected.push_back(&item);
  }

  int pageSize = 50;
  int pageNo = 1;
  try {
    if (const std::string size = Param(params, "pagesize"); !size.empty()) pageSize = std::max(1, std::stoi(size));
    if (const std::string no = Param(params, "pageno"); !no.empty()) pageNo = std::max(1, std::stoi(no));
  } catch (const std::exception&) {
    // A page that is not a number asks for the first page of the default size.
  }
  std::string document = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<response code=\"0\">\n<total>" +
                         std::to_string(selected.size()) + "</total>\n<result>\n";
  const std::size_t first = static_cast<std::size_t>(pageNo - 1) * static_cast<std::size_t>(pageSize);
  for (std::size_t i = first; i < selected.size() && i < first + static_cast<std::size_t>(pageSize); ++i) {
    document += selected[i]->xml;
    document += '\n';
  }
  return document + "</result>\n</response>\n";
}

}  // namespace kdp::minihost
