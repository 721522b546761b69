// TKrLuxClientWrapper as the package sees it: a request channel to the Lux server where every request
// carries its own reply handler, for services whose replies do not go through the Lux data manager (the
// QVB economic database). The host provides it through its service provider (KrIntfService).
//
// Threads: SendMessage2 from the main thread; the handler runs on the client's thread, once, with the
// reply or the error or time-out notice, never while another of the wrapper's handlers runs. A handler
// must only copy what it needs and hand it over to the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "kdp/host/interface.h"
#include "kdp/host/lux.h"

namespace kdp::host {

// How a request travels: three mode bytes the server reads (routing, reply mode, priority class), the
// time-out, and the command word.
struct TLuxReqInfo {
  std::uint8_t RouteMode = 0;
  std::uint8_t ReplyMode = 0;
  std::uint8_t PriorityClass = 0;
  int TimeoutMs = 30000;
  std::uint32_t CommandWord = 0;
};

// Called on the client's thread with the delivered message (Deserialize it for the body).
using TLuxResponseHandler = std::function<void(const std::shared_ptr<TBaseLuxMessage>& ARecvMsg)>;

class ILuxClientWrapper : public virtual IInterface {
 public:
  static constexpr Guid IID = "7C0B2E51-3D4A-4F8E-9A61-2B5D8E0F4C17";

  // Sends `body` as an information-service request; the serial number (> 0), or a negative error code
  // when it cannot be sent (-1 not connected). The handler is called once for an accepted request.
  virtual std::int32_t SendMessage2(const TLuxReqInfo& info, std::string_view body, TLuxResponseHandler handler) = 0;
};

}  // namespace kdp::host
