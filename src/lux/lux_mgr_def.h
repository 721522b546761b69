// What the Lux data manager and its helpers exchange: the record of an outstanding request, the parsed
// reply on its way to the main thread, and the manager's dispatch window with its message numbers.
//
// A TDataProcessMsg is made on the Lux client's thread and handed to the main thread through the
// dispatch window; the post is the hand-over, after it only the main thread touches the record. The
// window itself is set up on the main thread and may be posted to from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "kdp/host/main_loop.h"
#include "kdp/lux/lux_data.h"
#include "kdp/lux/lux_types.h"

namespace kdp {

class TKrLuxDataRequestInfo;

// Messages of the dispatch window; the first parameter is a TDataProcessMsg.
inline constexpr unsigned WM_LUX_GETHISDATA = 1025;  // reply of a history request
inline constexpr unsigned WM_LUX_SEARCH = 1026;      // reply of a search
inline constexpr unsigned WM_LUX_SUBSCRIBE = 1027;   // data pushed for a subscription
inline constexpr unsigned WM_LUX_SPECIALMSG = 1029;  // reply of a plain message
inline constexpr unsigned WM_LUX_RAWMSG = 1030;      // reply of a raw message

// One outstanding request: who asked, the processor that parses the answer, and the request kind.
struct TReqRecordItem {
  std::uint32_t WidgetID = 0;
  std::shared_ptr<TKrLuxDataRequestInfo> IProcessor;
  TLuxDataReqType ReqType = LDRTGet;
};

// A parsed reply or push on its way to the main thread.
struct TDataProcessMsg {
  TReqRecordItem ReqRcItem;
  std::shared_ptr<IKrLuxDataTable> ReceiveDataTable;
  TLuxMessageType MessageType = LMTNil;
  std::int32_t LParam = 0;  // the reply's serial number (0 for a push)
};

// The manager's hidden window: posts a message number and a record to its procedure on the main thread.
// Copies share the window; once it is released, posts fail and queued ones are dropped.
class TLuxDispatchWindow {
 public:
  using MsgProc = std::function<void(unsigned msg, TDataProcessMsg* record)>;

  TLuxDispatchWindow() = default;
  TLuxDispatchWindow(host::MessageWindow::Ref window, MsgProc proc)
      : FWindow(std::move(window)), FProc(std::make_shared<const MsgProc>(std::move(proc))) {}

  // False, with nothing posted, when the window is released or has no procedure. Any thread.
  bool PostMessage(unsigned msg, TDataProcessMsg* record) const {
    if (!FProc || !*FProc) return false;
    return FWindow.Post([proc = FProc, msg, record] { (*proc)(msg, record); });
  }
  bool IsAlive() const { return FProc && FWindow.IsAlive(); }

 private:
  host::MessageWindow::Ref FWindow;
  std::shared_ptr<const MsgProc> FProc;
};

}  // namespace kdp
