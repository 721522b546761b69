#include "lux/lux_news_reply.h"

#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "core/string_catalog.h"
#include "kdp/host/log.h"
#include "kdp/host/lux.h"
#include "kdp/host/services.h"
#include "lux/lux_data_item.h"
#include "lux/lux_reply_rows.h"
#include "lux/lux_reply_xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxNewsDataProcessor";
constexpr std::string_view kBrokerReportPath = "/KoraRCHost/RPP/ViewReportInfo.aspx?reportid=";
constexpr std::string_view kAttachmentPath = "/ns/getatt.php?id=";

// The catalogue number and default text of each channel; the last entry answers any other channel.
constexpr std::array<std::pair<int, std::string_view>, 9> kChannels{{
    {10277, "论坛"},
    {30566, "新闻"},
    {2188, "博客"},
    {24604, "文化财经"},
    {9166, "经济通新闻"},
    {16028, "研究报告"},
    {16597, "英文新闻"},
    {13465, "视频新闻"},
    {30566, "新闻"},
}};

enum class NewsElement {
  kOther,
  kId,
  kTitle,
  kDate,
  kSnap,
  kChannel,
  kSiteName,
  kKeyword,
  kBroker,
  kAttachmentUrl,
  kSentence,
  kAbstract,
  kImportantMark,
  kContent,
  kAttachment
};

// Whether an element or attribute name is `known` (lower-case letters), ignoring ASCII case. Reads the
// name only as far as it needs: most names are told apart by their first letters.
bool NameIs(const char* name, std::string_view known) {
  for (std::size_t i = 0; i < known.size(); ++i) {
    if ((name[i] | 0x20) != known[i]) return false;  // the terminator never matches a letter
  }
  return name[known.size()] == '\0';
}

// Element names by their first letter, so an element is compared with one or three names.
NewsElement Classify(const char* name) {
  auto is = [name](std::string_view known) { return NameIs(name, known); };
  switch (name[0] | 0x20) {
    case 'i':
      return is("id") ? NewsElement::kId : NewsElement::kOther;
    case 't':
      return is("title") ? NewsElement::kTitle : NewsElement::kOther;
    case 'd':
      return is("date") ? NewsElement::kDate : NewsElement::kOther;
    case 'c':
      if (is("channel")) return NewsElement::kChannel;
      return is("content") ? NewsElement::kContent : NewsElement::kOther;
    case 'k':
      return is("keyword") ? NewsElement::kKeyword : NewsElement::kOther;
    case 'b':
      return is("broker") ? NewsElement::kBroker : NewsElement::kOther;
    case 'a':
      if (is("attechmenturl")) return NewsElement::kAttachmentUrl;
      if (is("abstract")) return NewsElement::kAbstract;
      return is("attachment") ? NewsElement::kAttachment : NewsElement::kOther;
    case 'l':
      return is("luximportantmark") ? NewsElement::kImportantMark : NewsElement::kOther;
    case 's':
      if (is("snap")) return NewsElement::kSnap;
      if (is("sitename")) return NewsElement::kSiteName;
      if (is("sentence")) return NewsElement::kSentence;
      return NewsElement::kOther;
    default:
      return NewsElement::kOther;
  }
}

std::string_view Attribute(const pugi::xml_node& node, std::string_view name) {
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    if (NameIs(attribute.name(), name)) return attribute.value();
  }
  return {};
}

// A sentence attribute such as "[600000.SH,浦发银行]": from the second character to before the first ",";
// "" when there is no comma after the first character.
std::string_view FirstListEntry(std::string_view text) {
  if (text.empty()) return {};
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  std::size_t first = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (first > text.size()) return {};
  const std::size_t comma = text.find(',', first);
  return comma == std::string_view::npos ? std::string_view() : text.substr(first, comma - first);
}

struct Attachment {
  std::string_view Id, Name, FileType;
};

// Makes the rows of one reply. Values are views into the reply's text, which the rows keep; what the
// rows show besides (links, lists, the context's texts) is kept with them once made.
class NewsRowsBuilder {
 public:
  NewsRowsBuilder(TLuxReplyRows& rows, const TNewsReplyContext& context, std::string_view requestCodes,
                  const TNewsReplyOptions& options)
      : FRows(rows),
        FContext(context),
        FRequestCodes(requestCodes),
        FOptions(options),
        FUserStockType(rows.Keep(options.UserStockType)) {}

  IKrLuxDataTable::ItemPtr Row(const pugi::xml_node& node);

 private:
  // A channel's column text, kept with the rows when a row first shows it.
  std::string_view ColumnText(std::string_view channel);
  // Sets the fields one child element of an item gives; true when it names the item's broker.
  bool TakeElement(NewsElement element, const pugi::xml_node& child);
  // Adds a sentence's section to the row's when the sentence is about a requested code.
  void TakeSentence(const pugi::xml_node& sentence);
  // The attachment fields of an announcement (see TNewsReplyOptions).
  void SetAttachments();

  TLuxReplyRows& FRows;
  const TNewsReplyContext& FContext;
  const std::string_view FRequestCodes;
  const TNewsReplyOptions& FOptions;
  const std::string_view FUserStockType;
  std::array<std::string_view, std::tuple_size_v<decltype(TNewsReplyContext::ChannelTexts)>> FColumnTexts{};
  std::string_view FAttachmentServer;
  // Scratch of the row being made.
  std::string FSections;
  std::string FLink;
  std::vector<Attachment> FAttachments;
};

std::string_view NewsRowsBuilder::ColumnText(std::string_view channel) {
  const std::string& text = FContext.MapIndexType(channel);
  std::string_view& kept = FColumnTexts[&text - FContext.ChannelTexts.data()];
  if (kept.empty()) kept = FRows.Keep(text);  // an empty text is "kept" again each time, at no cost
  return kept;
}

void NewsRowsBuilder::SetAttachments() {
  if (FAttachmentServer.empty()) FAttachmentServer = FRows.Keep(FContext.AttachmentServer);
  const std::string_view id = FRows.FindValue("ID");
  auto link = [&](const Attachment& a) {
    return fmt::format("{}{}{}&att_id={}", FContext.AttachmentServer, kAttachmentPath, id, a.Id);
  };
  const Attachment& first = FAttachments.front();
  FRows.SetValue("AttechmentID", first.Id);
  FRows.SetValue("AttechmentName", first.Name);
  FRows.SetValue("AttechmentBaseUrl", FAttachmentServer);
  FRows.SetValue("AttechmentUrl", FRows.Keep(link(first)));
  if (FAttachments.size() == 1) {
    FRows.SetValue("AttechmentType", FRows.Keep(StrToAttechmentType(first.FileType)));
    return;
  }
  FRows.SetValue("AttechmentType", "MANY");
  nlohmann::json list = nlohmann::json::array();
  for (const Attachment& a : FAttachments) {
    list.push_back({{"id", a.Id}, {"name", a.Name}, {"type", StrToAttechmentType(a.FileType)}, {"url", link(a)}});
  }
  // Reply text is not checked for UTF-8; a bad byte becomes U+FFFD rather than an exception.
  FRows.SetValue("ManyAttechments", FRows.Keep(list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
}

bool NewsRowsBuilder::TakeElement(NewsElement element, const pugi::xml_node& child) {
  const std::string_view text = child.child_value();
  switch (element) {
    case NewsElement::kId:
      FRows.SetValue("ID", text);
      break;
    case NewsElement::kTitle:
      FRows.SetValue("Title", text);
      break;
    case NewsElement::kDate:
      FRows.SetValue("NewsDate", text);
      break;
    case NewsElement::kSnap:
      // A link with a query part asks for the text-only page.
      if (text.find('?', 1) != std::string_view::npos) {
        FLink.assign(text).append("&t=1");
        FRows.SetValue("URL", FRows.Keep(FLink));
      } else {
        FRows.SetValue("URL", text);
      }
      break;
    case NewsElement::kChannel:
      FRows.SetValue("Column", ColumnText(text));
      break;
    case NewsElement::kSiteName:
      FRows.SetValue("Source", text);
      break;
    case NewsElement::kKeyword:
      FRows.SetValue("Tagcode", text);
      break;
    case NewsElement::kBroker:
      FRows.SetValue("Source", text);
      return true;
    case NewsElement::kAttachmentUrl:
      FRows.SetValue("AttechmentUrl", text);
      if (pugi::xml_attribute type = child.attribute("filetype")) {
        FRows.SetValue("AttechmentType", FRows.Keep(StrToAttechmentType(type.value())));
      }
      break;
    case NewsElement::kSentence:
      TakeSentence(child);
      break;
    case NewsElement::kAbstract:
      if (FOptions.KeepAbstract) FRows.SetValue("Abstract", text);
      break;
    case NewsElement::kImportantMark:
      if (FOptions.KeepImportantMark) FRows.SetValue("luximportantmark", text);
      break;
    case NewsElement::kContent:
      if (FOptions.KeepContentAndAttachments) FRows.SetValue("Content", text);
      break;
    case NewsElement::kAttachment:
      if (FOptions.KeepContentAndAttachments) {
        FAttachments.push_back(
            {child.attribute("id").value(), child.attribute("name").value(), child.attribute("filetype").value()});
      }
      break;
    case NewsElement::kOther:
      break;
  }
  return false;
}

void NewsRowsBuilder::TakeSentence(const pugi::xml_node& sentence) {
  const std::string_view code = FirstListEntry(Attribute(sentence, "koracode"));
  if (code.empty() || FRequestCodes.find(code) == std::string_view::npos) return;
  const std::string_view section = FirstListEntry(Attribute(sentence, "section"));
  if (!section.starts_with("337")) return;
  if (!FSections.empty()) FSections += ',';
  FSections += section;
}

IKrLuxDataTable::ItemPtr NewsRowsBuilder::Row(const pugi::xml_node& node) {
  bool fromBroker = false;
  FSections.clear();
  FAttachments.clear();
  // Only elements have names: text and CDATA children classify as other.
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    const NewsElement element = Classify(child.name());
    if (element != NewsElement::kOther && TakeElement(element, child)) fromBroker = true;
  }
  if (!FAttachments.empty()) SetAttachments();
  // A broker's report opens on the report server, whatever order the item's elements came in.
  if (fromBroker) {
    FLink.assign(FContext.ReportServer).append(kBrokerReportPath).append(FRows.FindValue("ID"));
    FRows.SetValue("URL", FRows.Keep(FLink));
  }
  if (!FSections.empty()) FRows.SetValue("section", FRows.Keep(FSections));
  FRows.SetValue("UserStockType", FUserStockType);
  return FRows.FinishRow();
}

}  // namespace

TNewsReplyContext TNewsReplyContext::FromHost() {
  TNewsReplyContext context;
  for (std::size_t i = 0; i < kChannels.size(); ++i) {
    context.ChannelTexts[i] = GetLanguageStrDef(kChannels[i].first, std::string(kChannels[i].second));
  }
  context.ReportServer = host::GetServerAddressByNameWithHttpPrefix("korareportserver");
  context.AttachmentServer = host::GetServerAddressByNameWithHttpPrefix("koranewsserver");
  return context;
}

const std::string& TNewsReplyContext::MapIndexType(std::string_view channel) const {
  const auto number = ParseInt32(channel);
  const std::size_t other = ChannelTexts.size() - 1;
  if (!number || *number < 0 || static_cast<std::size_t>(*number) >= other) return ChannelTexts[other];
  return ChannelTexts[*number];
}

bool ParseNewsReply(std::string_view document, const TNewsReplyContext& context, std::string_view requestCodes,
                    TKrLuxDataTable& table, const TNewsReplyOptions& options) {
  host::AddHQLog("AnalyseAndSaveLuxNews 新闻数据反序列化处理", kLogSource, host::LogSeverity::kInfo);
  // The rows keep the reply's text (and what they make) in one block; the document goes when it is read.
  TLuxReplyRows rows(document.size());
  const auto doc = std::make_shared<pugi::xml_document>();
  std::string error;
  LoadReplyXml(doc, document, rows, error);
  if (!error.empty()) {
    host::AddHQLog("AnalyseAndSaveLuxNews 新闻数据不是完整的XML: " + error, kLogSource, host::LogSeverity::kNotice);
  }
  const pugi::xml_node result = FindElement(*doc, "result");
  if (!result) {
    host::AddHQLog("AnalyseAndSaveLuxNews 未找到Result节点", kLogSource, host::LogSeverity::kNotice);
    return false;
  }
  int count = 0;
  for (pugi::xml_node child = result.first_child(); child; child = child.next_sibling()) {
    count += child.type() == pugi::node_element;
  }
  host::AddHQLog(fmt::format("AnalyseAndSaveLuxNews 新闻数量：{}", count), kLogSource, host::LogSeverity::kInfo);
  table.Reserve(table.GetRowCount() + count);
  rows.ReserveRows(count);
  NewsRowsBuilder builder(rows, context, requestCodes, options);
  for (pugi::xml_node child = result.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element) table.AddRow(builder.Row(child));
  }
  host::AddHQLog("AnalyseAndSaveLuxNews 完成新闻数据解析", kLogSource, host::LogSeverity::kInfo);
  return true;
}

bool ParseNewsPublishRecord(host::MemoryStream& record, const TNewsReplyContext& context, TKrLuxDataTable& table) {
  std::vector<host::TLuxIndicator> indicators;
  const std::size_t size = record.Remaining();
  if (!host::DecodeLuxPublishRecord(record, indicators)) {
    host::AddHQLog(fmt::format("ProcessPublishMsg 推送记录无法解码 ({} 字节)", size), kLogSource,
                   host::LogSeverity::kNotice);
    return false;
  }
  auto item = std::make_shared<TKrLuxDataItem>();
  std::string value;
  for (const host::TLuxIndicator& indicator : indicators) {
    value.clear();
    for (std::size_t i = 0; i < indicator.Values.size(); ++i) {
      if (i > 0) value += ',';
      value += indicator.Values[i];
    }
    if (host::IsNeedWriteHQLog()) {
      host::AddHQLog(fmt::format("OnPublish IndicatorId={}, IndicatorValue={}", indicator.FieldID, value), kLogSource,
                     host::LogSeverity::kInfo);
    }
    switch (indicator.FieldID) {
      case 2001:
        item->SetIndexValue("ID", value);
        break;
      case 2005:
        item->SetIndexValue("Tagcode", value);
        break;
      case 2007:
        item->SetIndexValue("Title", value);
        break;
      case 2008:
        item->SetIndexValue("NewsDate", value);
        break;
      case 2009:
        item->SetIndexValue("Source", value);
        break;
      case 2010:
        item->SetIndexValue("URL", value);
        break;
      case 2011:
        item->SetIndexValue("Column", context.MapIndexType(value));
        break;
      default:
        break;  // 2002 (codes), 2003, 2004, 2006 and unknown indicators are not shown
    }
  }
  table.AddRow(std::move(item));
  return true;
}

}  // namespace kdp
