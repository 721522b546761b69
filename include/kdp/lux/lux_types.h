// The shared vocabulary of the Lux information service: request kinds, why and how a table is delivered,
// attachment kinds, the records that travel with a delivery and the call-back types widgets assign.
//
// Values only; any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "kdp/host/lux.h"
#include "kdp/host/memory_stream.h"

namespace kdp {

class IKrLuxDataTable;

// The kind of a request: history fetch, subscription, search, plain message, raw message.
enum TLuxDataReqType : std::uint8_t { LDRTGet, LDRTSub, LDRTSearch, LDRTMsg, LDRTRawMsg };

// Why a table is delivered: nothing, pushed by a subscription, answer to a history fetch, answer to a
// search, an order to clear what the widget shows, answer to a special message.
enum TLuxDataNotifyType : std::uint8_t { NTNil, NTPush, NTGet, NTSearch, NTClear, NTSpecalMsg };

// The outcome of the exchange that produced a delivery.
enum TLuxMessageType : std::uint8_t { LMTNil, LMTOK, LMTError, LMTTimeOut };

// The kind of the attachment of a research report or an announcement.
enum TAttechmentType : std::uint8_t { atNone, atPdf, atWord, atHtml, atInternet, atInternetTwo, atXls, atPPT, atMany };

// Which parameter set a processor builds for a subscription: the pushed fields or the conditions.
enum TSubInfoType : std::uint8_t { SITIndex, SITIndexQuota };

// Travels with every table delivered to a widget.
struct TNotifyInfo {
  std::string Sector;  // the sector or request key the data belongs to
  TLuxDataNotifyType NotifyType = NTNil;
  TLuxMessageType MessageType = LMTNil;
  std::int32_t LParam = 0;  // the serial number or count the sender attaches

  void InitData() { *this = TNotifyInfo{}; }
};

// Travels with a raw reply. The stream belongs to the sender for the duration of the call.
struct TRawMsgData {
  host::MemoryStream* DataStream = nullptr;
  std::uint32_t UserData = 0;  // the value the requester gave when sending
};

// One node of a news sector tree.
struct TNewsSectorItem {
  std::string Code;
  std::string CodeName;
  std::string ParentCode;
  std::int32_t Level = 0;
  std::int32_t IsLeaf = 0;  // non-zero for a leaf
};

// A table delivered to a widget, with why and how.
using TDataNotify = std::function<void(const std::shared_ptr<IKrLuxDataTable>& ADataTable, const TNotifyInfo& AInfo)>;
// A raw reply delivered to a widget: the request's serial number, the reply's property and its body.
using TRawDataNotify =
    std::function<void(std::int32_t AMsgSerialNum, const host::TMessageProperty& AMsgProp, const TRawMsgData& AData)>;

}  // namespace kdp
