// News replies: any bytes through the news processor's reply parser, and the same document through the
// sector-tree and dealer parsers. The first input byte chooses whether the rest is a whole message
// (header included) or the document of a well-formed reply. Nothing throws; a reply that cannot be read,
// a document that is not well-formed XML and a document without a "result" element are logged, the last
// answered as unreadable; a document gives one row per element under its first "result".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "lux/lux_dealer_id.h"
#include "lux/lux_news_processor.h"
#include "lux/lux_reply_xml.h"
#include "lux/lux_sector_tree_processor.h"
#include "lux_fuzz_host.h"

namespace {

std::vector<std::uint8_t> WrappedReply(std::string_view document) {
  kdp::host::TBaseMessage reply;
  kdp::host::TStreamSerializer(reply.MessageBody()).WriteLongWord(static_cast<std::uint32_t>(document.size()));
  reply.MessageBody().Write(document.data(), document.size());
  kdp::host::MemoryStream wire;
  reply.Serialize(wire);
  return {wire.Bytes().begin(), wire.Bytes().end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kdp::fuzzing::NoticeCountingHost host;
  kdp::host::InstallHostEnvironment(&host);
  static kdp::TKrLuxNewsDataProcessor news;
  static kdp::TKrLuxSectorTreeProcessor tree;
  static kdp::TKrAllDealersProcessor dealers;
  static kdp::TKrUserDealerIDProcessor user;
  if (size == 0) return 0;
  static bool once = [] {
    news.SetIndexValue("koracode", "600000.SH,000001.SZ");
    return true;
  }();
  (void)once;

  const bool wrapped = data[0] % 2 == 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::uint8_t> received =
      wrapped ? WrappedReply(rest) : std::vector<std::uint8_t>(rest.begin(), rest.end());
  const auto prop = static_cast<kdp::host::TMessageProperty>(data[0] / 2 % 3);

  host.notices = 0;
  kdp::host::TBaseLuxMessage reply(received, 1, prop);
  const bool parsed = news.ProcessRpMsg(reply);
  const auto table = news.GetAnalyseLuxData();
  if (!table) std::abort();
  if (!parsed && (host.notices == 0 || table->GetRowCount() != 0)) std::abort();

  if (wrapped && prop != kdp::host::mpError) {
    // The oracle: the same document read with the same helpers.
    pugi::xml_document doc;
    std::string error;
    kdp::LoadReplyXml(doc, rest, error);
    const pugi::xml_node result = kdp::FindElement(doc, "result");
    int items = 0;
    for (pugi::xml_node child : result.children()) items += child.type() == pugi::node_element;
    // A document without a "result" element is an unreadable reply; one with it gives a row per element.
    if (parsed != static_cast<bool>(result) || table->GetRowCount() != items) std::abort();
    if ((!error.empty() || !result) && host.notices == 0) std::abort();
  }

  kdp::host::TBaseLuxMessage again(received, 2, prop);
  tree.ProcessRpMsg(again);
  if (!tree.GetAnalyseLuxData()) std::abort();
  dealers.GetInfoFromMsg(rest);
  user.GetInfoFromMsg(rest);
  return 0;
}
