// Helpers the Lux tests share: a test on the stand-in host, reply messages built from a body or read from
// the sample replies, the text a request carries, and a fake data manager whose request objects record what
// a widget or provider sends.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "kdp/lux/lux_data.h"
#include "kdp/lux/lux_requests.h"
#include "lux/lux_req_message.h"
#include "lux/lux_request_info.h"
#include "test_host.h"

namespace kdp::testing {

// A test on the stand-in host: user 10000001, language CHS, server time 2026-12-04 10:30:00.
class LuxHostTest : public ::testing::Test {
 protected:
  TestHost h;
};

// The bytes of a reply whose body is `body`.
inline std::vector<std::uint8_t> ReplyWire(std::string_view body, std::int32_t serial = 1) {
  host::TBaseMessage reply;
  reply.Header().MessageKind = 2;
  reply.SetSerialNumber(serial);
  reply.MessageBody().Write(body.data(), body.size());
  host::MemoryStream wire;
  reply.Serialize(wire);
  return std::vector<std::uint8_t>(wire.Bytes().begin(), wire.Bytes().end());
}

// A reply as the client delivers it: the 4-byte prefix the news replies carry (the document's length),
// then the document.
inline host::TBaseLuxMessage NewsReply(std::string_view document, host::TMessageProperty prop = host::mpNormal) {
  host::MemoryStream body;
  host::TStreamSerializer(body).WriteLongWord(static_cast<std::uint32_t>(document.size()));
  body.Write(document.data(), document.size());
  return host::TBaseLuxMessage(ReplyWire(body.AsStringView()), 1, prop);
}

// A reply of the bond services: the code header (LongWord code, AnsiString message), then the document.
inline host::TBaseLuxMessage CodedReply(std::string_view document, std::uint32_t code = 0,
                                        std::string_view message = {}) {
  host::MemoryStream body;
  host::TStreamSerializer writer(body);
  writer.WriteLongWord(code);
  writer.WriteAnsiString(message);
  body.Write(document.data(), document.size());
  return host::TBaseLuxMessage(ReplyWire(body.AsStringView()), 1, host::mpNormal);
}

// The text of a file of the sample Lux replies (sample/scenario/lux), or of another folder.
inline std::string SampleDocument(const std::string& file, const std::string& folder = KDP_LUX_SAMPLE_REPLIES) {
  std::ifstream in(folder + "/" + file, std::ios::binary);
  if (!in) throw std::runtime_error("no sample reply " + folder + "/" + file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The sample reply of a processor as the client delivers it: "<name>.coded.json" behind a code header,
// "<name>.xml" and "<name>.json" behind their 4-byte prefix.
inline host::TBaseLuxMessage SampleReply(const std::string& name) {
  for (const char* extension : {".xml", ".json"}) {
    std::ifstream probe(std::string(KDP_LUX_SAMPLE_REPLIES) + "/" + name + extension);
    if (probe) return NewsReply(SampleDocument(name + extension));
  }
  return CodedReply(SampleDocument(name + ".coded.json"));
}

// The text context of a request message (written as an AnsiString).
inline std::string ContextText(const TKrLuxDataReqMessage& message) {
  host::MemoryStream context(message.GetMsgContext().Bytes());
  std::string text;
  host::TStreamSerializer(context).ReadAnsiString(text);
  return text;
}

// The fields every news query asks for, at its end.
inline const std::string kNewsFields =
    "&returnfields=id,title,date,snap,channel,sitename,keyword,broker,attechmenturl,abstract,section,sentence";

// The text context of a message a processor built, or "(no message)".
inline std::string QueryOf(const std::unique_ptr<TKrLuxDataReqMessage>& message) {
  return message ? ContextText(*message) : "(no message)";
}

// A pushed record of the given indicators, ready to be read.
inline host::MemoryStream PublishRecord(const std::vector<host::TLuxIndicator>& indicators) {
  host::MemoryStream record;
  host::EncodeLuxPublishRecord(indicators, record);
  record.SetPosition(0);
  return record;
}

// A table of rows with the given IDs, each with a title.
inline std::shared_ptr<IKrLuxDataTable> TableOf(const std::vector<std::string>& ids) {
  auto table = NewLuxDataTable();
  for (const std::string& id : ids) {
    const int row = table->AddRow();
    table->SetIndexValue(row, "ID", id);
    table->SetIndexValue(row, "Title", "title of " + id);
  }
  return table;
}

// A row's fields as "name=value" in their order, joined by "; ": one comparable line per row.
inline std::string RowText(IKrLuxDataTable& table, int row) {
  std::string text;
  for (int col = 0; col < table.GetColCount(row); ++col) {
    text += (col ? "; " : "") + table.GetIndex(row, col) + "=" + table.GetIndexValue(row, col);
  }
  return text;
}

// The names and values of a subscription or a configured request kind in the same form.
template <class Quotas>
std::string QuotaText(Quotas& subInfo) {
  std::string text;
  for (int i = 0; i < subInfo.GetIndexQuotaCount(); ++i) {
    text += (i ? "; " : "") + subInfo.GetIndexQuotaByOrder(i) + "=" + subInfo.GetIndexQuotaValueByOrder(i);
  }
  return text;
}

// A new processor with the given parameters set in order.
template <class Processor>
std::shared_ptr<Processor> With(const std::vector<std::pair<std::string, std::string>>& params) {
  auto processor = std::make_shared<Processor>();
  for (const auto& [name, value] : params) processor->SetIndexValue(name, value);
  return processor;
}

// Parses the processor's sample reply (which must be read) and hands back the table.
inline std::shared_ptr<IKrLuxDataTable> ParseSample(TKrLuxDataRequestInfo& processor, const std::string& name) {
  auto reply = SampleReply(name);
  EXPECT_TRUE(processor.ProcessRpMsg(reply)) << name;
  return processor.GetAnalyseLuxData();
}

// The IDs prefix + from ... prefix + (to - 1).
inline std::vector<std::string> Range(int from, int to, const std::string& prefix = "N") {
  std::vector<std::string> ids;
  for (int i = from; i < to; ++i) ids.push_back(prefix + std::to_string(i));
  return ids;
}

// The IDs of a table's rows (the field `field`), top first.
inline std::vector<std::string> IdsOf(const std::shared_ptr<IKrLuxDataTable>& table, const std::string& field = "ID") {
  std::vector<std::string> ids;
  for (int row = 0; table && row < table->GetRowCount(); ++row) ids.push_back(table->GetIndexValue(row, field));
  return ids;
}

// A data manager whose message requests record each raw message and answer through `onRawSend`.
class FakeLuxDataManager final : public host::Implements<IKrLuxDataManager> {
 public:
  struct RawMessage {
    std::uint32_t appClass, commandID;
    std::string content;
    std::int32_t serial;
  };
  // Called after a raw message is recorded, with the observer of the request object that sent it.
  std::function<void(const RawMessage&, const std::shared_ptr<IKrLuxDataNotifyObserver>&)> onRawSend;
  std::vector<RawMessage> sent;
  std::vector<std::shared_ptr<IKrLuxDataNotifyObserver>> observers;
  // Requests sent with SendMsg, with the observer of the request object that sent each.
  std::vector<std::pair<ReqInfoPtr, std::shared_ptr<IKrLuxDataNotifyObserver>>> sentRequests;
  // Answers GetLuxDataReqInfo; unassigned, every column is unknown.
  std::function<ReqInfoPtr(const std::string&, TLuxDataReqType)> reqInfoFor;

  std::shared_ptr<IKrLuxNewsReq> GetLuxNewsRequest(std::shared_ptr<IKrLuxDataNotifyObserver> observer) override {
    if (!observer) return nullptr;
    observers.push_back(observer);
    return std::make_shared<Request>(*this, observer);
  }
  std::shared_ptr<IKrLuxMsgReq> GetLuxMsgRequest(std::shared_ptr<IKrLuxDataNotifyObserver> observer) override {
    if (!observer) return nullptr;
    observers.push_back(observer);
    return std::make_shared<Request>(*this, observer);
  }
  ReqInfoPtr GetLuxDataReqInfo(const std::string& name, TLuxDataReqType type) override {
    return reqInfoFor ? reqInfoFor(name, type) : nullptr;
  }
  void AppendLuxInfoConfigure(const std::string&, const std::string&) override {}

 private:
  class Request final : public host::Implements<IKrLuxNewsReq, IKrLuxMsgReq> {
   public:
    Request(FakeLuxDataManager& owner, std::shared_ptr<IKrLuxDataNotifyObserver> observer)
        : owner_(owner), observer_(std::move(observer)) {}
    bool Subscribe(const ReqInfoPtr& info) override { return info != nullptr; }
    bool DeSubscribe(const ReqInfoPtr& info) override { return info != nullptr; }
    bool RemoveSectorByID(const ReqInfoPtr&) override { return true; }
    bool IsAlreadySub(const ReqInfoPtr&) override { return false; }
    std::int32_t GetHisData(const ReqInfoPtr& info) override { return info ? 41 : -1; }
    std::int32_t SearchData(const ReqInfoPtr& info) override { return info ? 42 : -1; }
    bool SetItemBrowsed(const ReqInfoPtr&, const std::string& id) override { return !id.empty(); }
    std::int32_t SendMsg(const ReqInfoPtr& info) override {
      if (!info) return -1;
      owner_.sentRequests.emplace_back(info, observer_);
      return 43;
    }
    std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const std::string& content,
                            std::uint32_t) override {
      owner_.sent.push_back({appClass, commandID, content, 100 + static_cast<std::int32_t>(owner_.sent.size())});
      if (owner_.onRawSend) owner_.onRawSend(owner_.sent.back(), observer_);
      return owner_.sent.back().serial;
    }
    std::int32_t RawSendMsg(std::uint32_t appClass, std::uint32_t commandID, const host::MemoryStream& content,
                            std::uint32_t userData) override {
      return RawSendMsg(appClass, commandID, std::string(content.AsStringView()), userData);
    }

   private:
    FakeLuxDataManager& owner_;
    std::shared_ptr<IKrLuxDataNotifyObserver> observer_;
  };
};

}  // namespace kdp::testing
