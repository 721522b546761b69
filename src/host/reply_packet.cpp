#include "kdp/host/reply_packet.h"

#include <algorithm>

namespace kdp::host {

std::shared_ptr<TDataTable> MakeReplyPacket(const TPacketHeader& header, std::shared_ptr<IDataSet> body) {
  auto reply = std::make_shared<TDataTable>();
  reply->AddField("Header", "dataset");
  reply->AddField("Body", "dataset");
  reply->AddRow();
  if (!header.empty()) {
    auto head = std::make_shared<TDataTable>();
    head->AddRow();
    for (const auto& [name, value] : header) head->Set(0, head->AddField(name, "int"), value);
    reply->Set(0, 0, std::shared_ptr<IDataSet>(std::move(head)));
  }
  reply->Set(0, 1, std::move(body));
  return reply;
}

std::shared_ptr<TDataTable> MakeQuoteBody(std::string_view codeName, std::string_view valuesName) {
  auto body = std::make_shared<TDataTable>();
  body->AddField(codeName, "string");
  body->AddField(valuesName, "dataset");
  return body;
}

void AddQuoteBodyRow(TDataTable& body, const std::string& code, std::shared_ptr<IDataSet> values) {
  const int row = body.AddRow();
  body.Set(row, 0, code);
  body.Set(row, 1, std::move(values));
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(start, end - start);
    item.remove_prefix(std::min(item.size(), item.find_first_not_of(' ')));
    item.remove_suffix(item.size() - (item.find_last_not_of(' ') + 1));
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

}  // namespace kdp::host
