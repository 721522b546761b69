#include "lux/lux_news_reply.h"

#include <cstdint>
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
#include "lux/lux_reply_xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrLuxNewsDataProcessor";
// A news row holds about ten fields and a few hundred bytes; reserving once saves the growth steps.
constexpr std::size_t kItemTextGuess = 512;
constexpr std::size_t kItemFieldGuess = 12;
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
  for (pugi::xml_attribute attribute : node.attributes()) {
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

// The attachment fields of an announcement (see TNewsReplyOptions).
void SetAttachments(const std::vector<Attachment>& attachments, const std::string& server, TKrLuxDataItem& item) {
  const std::string id(item.FindIndexValue("ID"));
  auto link = [&](const Attachment& a) { return fmt::format("{}{}{}&att_id={}", server, kAttachmentPath, id, a.Id); };
  const Attachment& first = attachments.front();
  item.SetIndexValue("AttechmentID", first.Id);
  item.SetIndexValue("AttechmentName", first.Name);
  item.SetIndexValue("AttechmentBaseUrl", server);
  item.SetIndexValue("AttechmentUrl", link(first));
  if (attachments.size() == 1) {
    item.SetIndexValue("AttechmentType", StrToAttechmentType(first.FileType));
    return;
  }
  item.SetIndexValue("AttechmentType", "MANY");
  nlohmann::json list = nlohmann::json::array();
  for (const Attachment& a : attachments) {
    list.push_back({{"id", a.Id}, {"name", a.Name}, {"type", StrToAttechmentType(a.FileType)}, {"url", link(a)}});
  }
  // Reply text is not checked for UTF-8; a bad byte becomes U+FFFD rather than an exception.
  item.SetIndexValue("ManyAttechments", list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void ParseNewsItem(const pugi::xml_node& node, const TNewsReplyContext& context, std::string_view requestCodes,
                   const TNewsReplyOptions& options, TKrLuxDataTable& table) {
  auto item = std::make_shared<TKrLuxDataItem>();
  item->Reserve(kItemTextGuess, kItemFieldGuess);
  bool fromBroker = false;
  std::string sections;
  std::string link;
  std::vector<Attachment> attachments;
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view text = child.child_value();
    switch (Classify(child.name())) {
      case NewsElement::kId:
        item->SetIndexValue("ID", text);
        break;
      case NewsElement::kTitle:
        item->SetIndexValue("Title", text);
        break;
      case NewsElement::kDate:
        item->SetIndexValue("NewsDate", text);
        break;
      case NewsElement::kSnap:
        // A link with a query part asks for the text-only page.
        if (text.find('?', 1) != std::string_view::npos) {
          link.assign(text).append("&t=1");
          item->SetIndexValue("URL", link);
        } else {
          item->SetIndexValue("URL", text);
        }
        break;
      case NewsElement::kChannel:
        item->SetIndexValue("Column", context.MapIndexType(text));
        break;
      case NewsElement::kSiteName:
        item->SetIndexValue("Source", text);
        break;
      case NewsElement::kKeyword:
        item->SetIndexValue("Tagcode", text);
        break;
      case NewsElement::kBroker:
        item->SetIndexValue("Source", text);
        fromBroker = true;
        break;
      case NewsElement::kAttachmentUrl:
        item->SetIndexValue("AttechmentUrl", text);
        if (pugi::xml_attribute type = child.attribute("filetype")) {
          item->SetIndexValue("AttechmentType", StrToAttechmentType(type.value()));
        }
        break;
      case NewsElement::kSentence: {
        const std::string_view code = FirstListEntry(Attribute(child, "koracode"));
        if (code.empty() || requestCodes.find(code) == std::string_view::npos) break;
        const std::string_view section = FirstListEntry(Attribute(child, "section"));
        if (!section.starts_with("337")) break;
        if (!sections.empty()) sections += ',';
        sections += section;
        break;
      }
      case NewsElement::kAbstract:
        if (options.KeepAbstract) item->SetIndexValue("Abstract", text);
        break;
      case NewsElement::kImportantMark:
        if (options.KeepImportantMark) item->SetIndexValue("luximportantmark", text);
        break;
      case NewsElement::kContent:
        if (options.KeepContentAndAttachments) item->SetIndexValue("Content", text);
        break;
      case NewsElement::kAttachment:
        if (options.KeepContentAndAttachments) {
          attachments.push_back(
              {child.attribute("id").value(), child.attribute("name").value(), child.attribute("filetype").value()});
        }
        break;
      case NewsElement::kOther:
        break;
    }
  }
  if (!attachments.empty()) SetAttachments(attachments, context.AttachmentServer, *item);
  // A broker's report opens on the report server, whatever order the item's elements came in.
  if (fromBroker) {
    link = context.ReportServer;
    link.append(kBrokerReportPath).append(item->FindIndexValue("ID"));
    item->SetIndexValue("URL", link);
  }
  if (!sections.empty()) item->SetIndexValue("section", sections);
  item->SetIndexValue("UserStockType", options.UserStockType);
  table.AddRow(std::move(item));
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

void ParseNewsReply(std::string_view document, const TNewsReplyContext& context, std::string_view requestCodes,
                    TKrLuxDataTable& table, const TNewsReplyOptions& options) {
  host::AddHQLog("AnalyseAndSaveLuxNews 新闻数据反序列化处理", kLogSource, host::LogSeverity::kInfo);
  pugi::xml_document doc;
  std::string error;
  LoadReplyXml(doc, document, error);
  if (!error.empty()) {
    host::AddHQLog("AnalyseAndSaveLuxNews 新闻数据不是完整的XML: " + error, kLogSource, host::LogSeverity::kNotice);
  }
  const pugi::xml_node result = FindElement(doc, "result");
  if (!result) {
    host::AddHQLog("AnalyseAndSaveLuxNews 未找到Result节点", kLogSource, host::LogSeverity::kNotice);
    return;
  }
  int count = 0;
  for (pugi::xml_node child : result.children()) count += child.type() == pugi::node_element;
  host::AddHQLog(fmt::format("AnalyseAndSaveLuxNews 新闻数量：{}", count), kLogSource, host::LogSeverity::kInfo);
  table.Reserve(table.GetRowCount() + count);
  for (pugi::xml_node child : result.children()) {
    if (child.type() == pugi::node_element) ParseNewsItem(child, context, requestCodes, options, table);
  }
  host::AddHQLog("AnalyseAndSaveLuxNews 完成新闻数据解析", kLogSource, host::LogSeverity::kInfo);
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
