// The processors of raw messages: a request of any application class and command with a body the widget
// gives, and a reply handed back as bytes.
//
// TKrLuxDataAsyncMessage keeps the reply body after its first 4 bytes; TKrLuxCloudPRDataAsyncMessage
// (cloud reports: application class 1079, user data 4367) keeps the whole body.
//
// Threads: the message is built on the main thread; ProcessRpMsg runs on the Lux client's thread and
// writes the data stream and the property before the reply is posted to the main thread, which reads
// them after the post. The processor's lock guards both.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "lux/lux_mgr_def.h"
#include "lux/lux_request_info.h"

namespace kdp {

class IKrLuxDataAsyncMessage : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "07E09E7F-9545-4B72-9BBE-1183AE910FD5";

  // Builds the request: command word appClass × 2^20 + commandID, `content` as the context (a text as
  // the serializer's AnsiString, a stream as its bytes). Keeps the user data.
  virtual bool CreatAsyncMessage(std::uint32_t appClass, std::uint32_t commandID, std::string_view content,
                                 std::uint32_t userData) = 0;
  virtual bool CreatAsyncMessage(std::uint32_t appClass, std::uint32_t commandID, const host::MemoryStream& content,
                                 std::uint32_t userData) = 0;
  virtual TKrLuxDataReqMessage& GetSendMsg() = 0;
  virtual std::uint32_t GetUserData() = 0;
  virtual host::TMessageProperty GetMsgProp() = 0;
  // A copy of the reply body kept, positioned at 0.
  virtual host::MemoryStream GetDataStream() = 0;
};

class TKrLuxDataAsyncMessage : public TKrLuxDataRequestInfo, public IKrLuxDataAsyncMessage {
 public:
  void* QueryInterface(const host::Guid& iid) override;

  bool CreatAsyncMessage(std::uint32_t appClass, std::uint32_t commandID, std::string_view content,
                         std::uint32_t userData) override;
  bool CreatAsyncMessage(std::uint32_t appClass, std::uint32_t commandID, const host::MemoryStream& content,
                         std::uint32_t userData) override;
  TKrLuxDataReqMessage& GetSendMsg() override { return FSendMsg; }
  std::uint32_t GetUserData() override { return FUserData; }
  host::TMessageProperty GetMsgProp() override;
  host::MemoryStream GetDataStream() override;

  // Keeps the reply body from byte 4 on. False, with a log line and an empty stream, for an error or
  // time-out reply, a reply that cannot be decoded, or a body shorter than 4 bytes.
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;

 protected:
  // Where the kept part of the body starts.
  virtual std::size_t BodyOffset() const { return II_DECODE_OFFSET; }

 private:
  void Prepare(std::uint32_t appClass, std::uint32_t commandID, std::uint32_t userData);

  mutable std::mutex FReplyLock;  // guards FDataStream and FMsgProp
  host::MemoryStream FDataStream;
  host::TMessageProperty FMsgProp = host::mpNormal;
  std::uint32_t FUserData = 0;
  TKrLuxDataReqMessage FSendMsg;
};

class TKrLuxCloudPRDataAsyncMessage final : public TKrLuxDataAsyncMessage {
 protected:
  std::size_t BodyOffset() const override { return 0; }
};

}  // namespace kdp
