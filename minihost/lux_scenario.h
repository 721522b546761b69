// LuxScenario: what the stand-in Lux service answers, read from the sample scenario directory
// ("index.json" and the files it names).
//
// - Replies by command word: the first entry of "replies" whose application class and command ID match
//   and whose "query" (if any) occurs in the request's text body answers. An entry names a reply document
//   ("file"; a ".coded.json" document goes behind the bond services' code header, any other behind the
//   4-byte prefix of the news server), or a source: "news" (a page of the news archive chosen by the
//   request's query) or "authority" (the user's authority levels, "authLevels").
// - The news archive ("news"): items of a news reply document, each with search fields that do not go
//   out with it ("mediatype", "koracode", "v2025", "siteid", "indexname", "live"). A query selects the
//   items of its media types ("mediatype", or "type" when given) whose fields satisfy its conditions
//   ("N:v OR N:w" alternatives joined by " AND ", "!N:v" negated, "date1:[a TO b]" a date range; a field
//   no item carries is not a condition the archive can judge and is ignored; "koracode" and "v2002" are
//   the item's codes), newest first, then takes page "pageno" of "pagesize" items (50 by default).
// - Pushed news ("pushes"): items pushed in turn, in a cycle.
//
// Loaded once, then read-only: any thread may use a loaded scenario.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim_qvb.h"

namespace kdp::minihost {

// A pushed news item: the text fields of the push, and the fields subscriptions are matched on.
struct LuxPushItem {
  std::string title;
  std::string source;
  std::string channel;
  std::string codes;  // comma-separated
  std::string live;   // the live-news channel ("ON3101") or ""
};

class LuxScenario {
 public:
  // Reads "<dir>/index.json" and its files. False, with `error`, when one does not load.
  bool Load(const std::string& dir, std::string& error);

  // The body of the reply to a request (appClass, commandID, text body or "" for a binary one); nullopt
  // when the scenario has no answer.
  std::optional<std::string> ReplyBody(std::uint32_t appClass, std::uint32_t commandID, std::string_view query) const;

  // The body of the reply to a binary request of the QVB service ("qvb" in the index names its series);
  // nullopt when the scenario has no answer.
  std::optional<std::string> BinaryReplyBody(std::uint32_t commandWord, std::string_view body) const {
    return qvb_.Reply(commandWord, body);
  }
  const QVBService& QVB() const { return qvb_; }

  // The document of a news-archive page (XML, before the prefix is put in front).
  std::string NewsPage(std::string_view query) const;
  std::size_t NewsCount() const { return news_.size(); }
  const std::vector<std::string>& AuthLevels() const { return auth_levels_; }
  const std::vector<LuxPushItem>& Pushes() const { return pushes_; }

 private:
  struct Entry {
    std::uint32_t appClass = 0;
    std::uint32_t commandID = 0;
    std::string query;
    enum class Source { kFile, kNews, kAuthority } source = Source::kFile;
    std::string body;  // kFile: the framed reply body
  };
  struct NewsItem {
    std::string xml;                                          // the item as it goes out
    std::vector<std::pair<std::string, std::string>> fields;  // lower-case name, text
    std::string date;                                         // yyyymmdd hh:mm:ss for ordering
  };
  const std::string* Field(const NewsItem& item, std::string_view name) const;
  bool Matches(const NewsItem& item, std::string_view term) const;

  std::vector<Entry> entries_;
  std::vector<NewsItem> news_;  // newest first
  std::vector<std::string> indexed_fields_;
  std::vector<std::string> auth_levels_;
  std::vector<LuxPushItem> pushes_;
  QVBService qvb_;
};

// The body of a news-server reply: the 4-byte prefix (the document's length), then the document.
std::string PrefixedBody(std::string_view document);
// The body of a bond-service reply: the code header (code 0, empty message), then the document.
std::string CodedBody(std::string_view document);
// The authority reply's body for the levels (see the authority processor): one record per level.
std::string AuthorityBody(const std::vector<std::string>& levels);

}  // namespace kdp::minihost
