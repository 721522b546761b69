// Reading news: the XML reply of a news list and the record the server pushes for a news subscription,
// each into rows of a TKrLuxDataTable.
//
// A news reply document holds a "result" element with one child per news item; an item's values are its
// sub-elements ("id", "title", "date", "snap", "channel", "sitename", "keyword", "broker",
// "attechmenturl", "sentence", and for some members of the family "abstract", "luximportantmark",
// "content" and "attachment"), names compared without regard to ASCII case. A pushed record is a list of
// indicators: 2001 ID, 2005 Tagcode, 2007 Title, 2008 NewsDate, 2009 Source, 2010 URL, 2011 Column.
//
// The context (channel texts, report server) is taken from the host on the main thread when a processor
// is made; parsing then needs nothing but its arguments and runs on the Lux client's thread.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "kdp/host/memory_stream.h"
#include "lux/lux_data_table.h"

namespace kdp {

struct TNewsReplyContext {
  // Channels 0 to 7, then the text of any other channel.
  std::array<std::string, 9> ChannelTexts;
  // The research-report server as a URL ("" when the host does not know it).
  std::string ReportServer;
  // The server of announcement attachments as a URL ("" when the host does not know it).
  std::string AttachmentServer;

  // Channel texts from the string catalogue in the current language, the report server
  // ("korareportserver") and the attachment server ("koranewsserver") from the host. REQUIRES: main thread.
  static TNewsReplyContext FromHost();
  // The column text of a channel number (decimal text).
  const std::string& MapIndexType(std::string_view channel) const;
};

// What a member of the news family keeps of a reply item besides the news fields.
struct TNewsReplyOptions {
  std::string_view UserStockType;  // set on every row
  bool KeepAbstract;               // "abstract" -> "Abstract"
  bool KeepImportantMark;          // "luximportantmark" -> "luximportantmark"
  // "content" -> "Content"; and the item's "attachment" elements (attributes "id", "name", "filetype"):
  // one gives "AttechmentID", "AttechmentName", "AttechmentType", "AttechmentBaseUrl" (the attachment
  // server) and "AttechmentUrl" (server + "/ns/getatt.php?id=" + item ID + "&att_id=" + attachment ID);
  // several give the first one's fields, "AttechmentType" "MANY" and "ManyAttechments", a JSON array of
  // {"id", "name", "type", "url"}.
  bool KeepContentAndAttachments;
};

inline constexpr TNewsReplyOptions kNewsReplyOptions{"News", false, false, false};

// Parses a news reply document into rows appended to `table`. `requestCodes` is the request's "koracode"
// parameter: a sentence adds its section to an item only when it concerns one of those codes.
// Malformed documents give the rows read so far and a log line. False when the document has no result
// element (nothing in it is a news reply); an empty result is a reply of no items.
bool ParseNewsReply(std::string_view document, const TNewsReplyContext& context, std::string_view requestCodes,
                    TKrLuxDataTable& table, const TNewsReplyOptions& options = kNewsReplyOptions);

// Parses one pushed news record into a row appended to `table`. False, with a log line and no row, when
// the record cannot be decoded.
bool ParseNewsPublishRecord(host::MemoryStream& record, const TNewsReplyContext& context, TKrLuxDataTable& table);

}  // namespace kdp
