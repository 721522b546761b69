// What the Lux data manager and its helpers exchange: the record of an outstanding request, the parsed
// reply on its way to the main thread, and the manager's dispatch window.
//
// A TDataProcessMsg is made on the Lux client's thread and handed to the main thread inside the closure
// that handles it; the post is the hand-over, after it only the main thread touches the record. The
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

// The manager's hidden window: runs a handler on a record on the main thread. The closure posted owns the
// record, so a post that is dropped (the window released) frees it and nothing has to find it again.
// Copies share the window; once it is released, posts fail and queued ones are dropped.
class TLuxDispatchWindow {
 public:
  using Handler = std::function<void(TDataProcessMsg& record)>;

  TLuxDispatchWindow() = default;
  explicit TLuxDispatchWindow(host::MessageWindow::Ref window) : FWindow(std::move(window)) {}

  // False, with nothing posted and the record freed, when the window is released or the handler empty.
  // Any thread.
  bool Post(std::unique_ptr<TDataProcessMsg> record, Handler handler) const {
    if (!handler) return false;
    // The loop's tasks are copyable, so the record travels shared; only the posted closure holds it.
    return FWindow.Post([record = std::shared_ptr<TDataProcessMsg>(std::move(record)), handler = std::move(handler)] {
      handler(*record);
    });
  }
  bool IsAlive() const { return FWindow.IsAlive(); }

 private:
  host::MessageWindow::Ref FWindow;
};

}  // namespace kdp
