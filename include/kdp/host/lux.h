// The host's Lux information-service client as the package sees it: the message that travels to and from
// the Lux server, the client that sends requests and delivers replies, the subscriber whose topics push
// data, and the layout of a pushed record.
//
// A message is a fixed header followed by a body. The header is 16 bytes, little-endian:
//
//   offset size field            meaning
//   0      1    ProtocolVersion  version of the Lux protocol
//   1      1    HeaderVersion    version of this header layout
//   2      1    MessageKind      1 plain request, 3 request of the information services, 2 reply, 4 push
//   3      4    CommandWord      application class in the upper 12 bits, command ID in the lower 20
//   7      1    Priority         queueing priority at the server (higher first)
//   8      4    SerialNumber     given by the client when it sends; a reply carries its request's number
//   12     1    MessageProp      TMessageProperty of a reply (0 in a request)
//   13     1    Compression      0 none
//   14     1    Encryption       0 none
//   15     1    TimeToLive       hops the message may be relayed
//
// The body follows the header unchanged up to the end of the message; framing on the connection is the
// client's business.
//
// Threads: the client calls the reply handler and every topic's publish handler on its own thread. A
// message object is used by one thread at a time. The codec functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/interface.h"
#include "kdp/host/memory_stream.h"

namespace kdp::host {

// The outcome the client reports with a reply.
enum TMessageProperty : std::uint8_t {
  mpNormal = 0,
  mpError = 1,    // the server or the connection answered with an error
  mpTimeout = 2,  // no answer within the time the request allowed
};

struct TLuxMessageHeader {
  std::uint8_t ProtocolVersion = 0;
  std::uint8_t HeaderVersion = 0;
  std::uint8_t MessageKind = 0;
  std::uint32_t CommandWord = 0;
  std::uint8_t Priority = 0;
  std::int32_t SerialNumber = 0;
  TMessageProperty MessageProp = mpNormal;
  std::uint8_t Compression = 0;
  std::uint8_t Encryption = 0;
  std::uint8_t TimeToLive = 0;
};

inline constexpr std::size_t kLuxHeaderSize = 16;

// The command word of an application class and a command ID: class × 2^20 + ID.
constexpr std::uint32_t MakeLuxCommandWord(std::uint32_t appClass, std::uint32_t commandID) {
  return (appClass << 20) + commandID;
}

// A message: header and body.
class TBaseMessage {
 public:
  virtual ~TBaseMessage() = default;

  TLuxMessageHeader& Header() { return header_; }
  const TLuxMessageHeader& Header() const { return header_; }
  std::int32_t GetSerialNumber() const { return header_.SerialNumber; }
  void SetSerialNumber(std::int32_t serial) { header_.SerialNumber = serial; }
  TMessageProperty GetMessageProp() const { return header_.MessageProp; }
  void SetMessageProp(TMessageProperty prop) { header_.MessageProp = prop; }
  std::uint32_t GetCommandWord() const { return header_.CommandWord; }
  void SetCommandWord(std::uint32_t word) { header_.CommandWord = word; }

  MemoryStream& MessageBody() { return body_; }
  const MemoryStream& MessageBody() const { return body_; }

  // Resets the header and empties the body, then lets the message kind fill its defaults
  // (DoMakeEmptyRequest).
  void MakeEmptyRequest();

  // The bytes as they travel: SerializeBody writes the header and prepares the body, then the body
  // follows. `wire` is replaced.
  void Serialize(MemoryStream& wire);

  // Reads the header and the body from the bytes of a message. False, leaving the message unchanged,
  // when there are fewer bytes than a header.
  bool Deserialize(std::span<const std::uint8_t> wire);

 protected:
  virtual void DoMakeEmptyRequest() {}
  // Writes the header to `wire`. Overrides call this first, then fill MessageBody().
  virtual void SerializeBody(MemoryStream& wire);

 private:
  TLuxMessageHeader header_;
  MemoryStream body_;
};

// A request sent through the Lux client. An empty request is a plain request (kind 1) of protocol and
// header version 1, priority 8 and 8 hops.
class TBaseLuxRequestMessage : public TBaseMessage {
 protected:
  void DoMakeEmptyRequest() override;
};

// A message the client delivers: a reply or an error or time-out notice. The client sets the serial
// number and the property from its own bookkeeping (a time-out has no bytes at all); Deserialize decodes
// the header and the body from the received bytes and keeps those two as the client set them.
class TBaseLuxMessage : public TBaseMessage {
 public:
  TBaseLuxMessage() = default;
  TBaseLuxMessage(std::vector<std::uint8_t> received, std::int32_t serial, TMessageProperty prop);

  const std::vector<std::uint8_t>& Received() const { return received_; }
  // False when the received bytes are shorter than a header.
  bool Deserialize();

 private:
  std::vector<std::uint8_t> received_;
};

class IBaseLuxClient;

// Called on the client's thread for every reply; `message` may be null.
using TLuxMessageNotify = std::function<void(IBaseLuxClient* sender, const std::shared_ptr<TBaseLuxMessage>& message)>;
// Called on the client's thread with one pushed record (see DecodeLuxPublishRecord) of a topic.
using TLuxPublishHandler = std::function<void(MemoryStream& record)>;

// A subscriber: a set of topics, each a server-side subscription defined by conditions and index
// parameters. Main thread, except that publish handlers run on the client's thread.
class IBaseLuxSubscriber : public virtual IInterface {
 public:
  static constexpr Guid IID = "1A85B48D-F6B9-48C4-97EE-6FC951689BBC";

  // A new topic; its index, or -1 when the subscriber cannot take one.
  virtual int AddTopic() = 0;
  virtual bool SetTopicPublishHandler(int topic, TLuxPublishHandler handler) = 0;
  // A condition value under a numeric field ID. Values are UTF-8; the client converts them for the wire.
  virtual bool AddTopicCondition(int topic, std::uint32_t fieldID, std::string_view value) = 0;
  // A list of values under a field ID, `values` separated by `separator`.
  virtual bool AddTopicConditionList(int topic, std::uint32_t fieldID, std::string_view values, char separator) = 0;
  // A named index parameter of the topic (the fields the push should carry).
  virtual bool AddTopicIndexParam(int topic, std::string_view name, std::string_view value) = 0;
  virtual bool SubscribeTopic(int topic) = 0;
  // Ends the topic's subscription. When it returns, the topic's publish handler is not running and is
  // never called again, so its owner may be released.
  virtual bool UnSubscribeTopic(int topic) = 0;
};

// The client: one connection to the Lux server. Main thread, except the handlers as stated.
class IBaseLuxClient : public virtual IInterface {
 public:
  static constexpr Guid IID = "2FB2CAB3-C8CD-4627-82BA-6C0BC66CDDC3";

  virtual bool IsConnected() = 0;
  // Registers a subscriber of the given kind (the package asks for kind 2); its index.
  virtual int RegisterSubscriber(int kind) = 0;
  virtual std::shared_ptr<IBaseLuxSubscriber> GetSubscriber(int index) = 0;
  // Installs the one reply handler; every reply goes to it, on the client's thread.
  virtual void SetOnMessageNotify(TLuxMessageNotify handler) = 0;
  // Removes the reply handler. When it returns the handler is not running and is never called again.
  virtual void RemoveOnMessageNotify() = 0;
  // Sends a request; on success the message carries its serial number.
  virtual bool SendRequest(TBaseLuxRequestMessage& message) = 0;
  // Sends a request whose reply may take up to `timeoutSeconds`; after that an mpTimeout message with the
  // request's serial number is delivered. On success the message carries its serial number.
  virtual bool SendRequestAsync(TBaseLuxRequestMessage& message, int timeoutSeconds) = 0;
};

// One indicator of a pushed record: a field ID and its values (most indicators have one).
struct TLuxIndicator {
  std::uint32_t FieldID = 0;
  std::vector<std::string> Values;

  friend bool operator==(const TLuxIndicator&, const TLuxIndicator&) = default;
};

// A pushed record, written with TStreamSerializer: LongWord indicator count, then per indicator a
// LongWord field ID, a LongWord value count and each value as a String (UTF-16). Decoding reads from the
// stream's position; it fails (false, `indicators` emptied) on a count the remaining bytes cannot hold, a
// value that runs past the end or bytes left over after the last indicator.
bool DecodeLuxPublishRecord(MemoryStream& record, std::vector<TLuxIndicator>& indicators);
void EncodeLuxPublishRecord(std::span<const TLuxIndicator> indicators, MemoryStream& record);

}  // namespace kdp::host
