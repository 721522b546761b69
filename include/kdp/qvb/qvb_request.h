// TKrHQQVBRequest: indicator-data and indicator-search requests to the QVB economic database, through the
// host's Lux client wrapper. A reply's body is copied on the client's thread and posted to the request's
// own message window (1135 indicator data, 1134 search); the window's procedure decodes it on the main
// thread under FLock, keeps the results and calls the owner's call-back, with no series or records when
// the reply does not read (the earlier results and page counters stay). Error and time-out notices have
// no body and reach nobody. Replies still on their way when the request is destroyed are dropped with its
// window.
//
// Main thread, except LuxDataResponse (the client's thread). FLock guards the results against a reader
// while a reply is being decoded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/lux_wrapper.h"
#include "kdp/host/main_loop.h"
#include "kdp/qvb/qvb_records.h"

namespace kdp {

// The window messages of the two replies.
inline constexpr unsigned WM_QVB_SEARCHDATA = 1134;
inline constexpr unsigned WM_QVB_INDEXDATA = 1135;

#pragma pack(push, 1)
// One indicator asked for: its database, its ID (sent as the code "QXR." + ID), the dates wanted and how
// many of the latest observations (0: all).
struct TKrQVBDRIndictionItem {
  std::uint8_t DBId = 0;
  std::uint32_t IndicationId = 0;
  std::uint32_t BeginTime = 0;
  std::uint32_t EndTime = 0;
  std::uint16_t Observations = 0;
};
#pragma pack(pop)
static_assert(sizeof(TKrQVBDRIndictionItem) == 15);

class TKrHQQVBRequest {
 public:
  using TQVBIndexDataCallBack = std::function<void(const std::vector<TKrQVBSeries>& series)>;
  using TQVBSearchDataCallBack = std::function<void(const std::vector<TQVBTreeNodeSearchProps>& records,
                                                    std::int32_t count, std::int32_t page, std::int32_t total)>;

  // Takes the user and account from the host context and the wrapper from the host. REQUIRES: main thread.
  TKrHQQVBRequest();
  ~TKrHQQVBRequest();
  TKrHQQVBRequest(const TKrHQQVBRequest&) = delete;
  TKrHQQVBRequest& operator=(const TKrHQQVBRequest&) = delete;

  // One indicator-data message per item; the last serial number, or 0 when none was sent.
  std::int32_t RequestQVBData(const std::vector<TKrQVBDRIndictionItem>& items);
  // One search message for the key words, a page (from 1) of `pageSize` records; its serial number, or 0.
  std::int32_t RequestQVBSearchData(std::string_view keyWord, std::int32_t page = 1, std::int32_t pageSize = 20);

  // The wrapper's reply handler. The client's thread.
  void LuxDataResponse(const std::shared_ptr<host::TBaseLuxMessage>& ARecvMsg);
  // Decodes a posted reply body. The main thread.
  void MessageProc(unsigned message, const std::string& body);
  void RemoveData();

  void SetOnQVBIndexDataCallBack(TQVBIndexDataCallBack callBack) { FOnQVBIndexDataCallBack = std::move(callBack); }
  void SetOnQVBSearchDataCallBack(TQVBSearchDataCallBack callBack) { FOnQVBSearchDataCallBack = std::move(callBack); }

  std::vector<TKrQVBSeries> SeriesList() const;
  std::vector<TQVBTreeNodeSearchProps> SearchList() const;

 private:
  host::MessageWindow FMsgHandle;
  std::uint32_t FAccountID = 0;
  std::string FUserID;
  std::string FLanguage;
  std::vector<TQVBTreeNodeSearchProps> FDataList;  // the last page of search results
  std::vector<TKrQVBSeries> FSeriesList;
  std::shared_ptr<host::ILuxClientWrapper> FLuxWrapper;
  mutable std::mutex FLock;  // guards FDataList, FSeriesList and the page counters
  std::int32_t FPageSearch_nowPos = 0;
  std::int32_t FPageSearch_return_recordCount = 0;
  std::int32_t FPageSearch_return_recordTotal = 0;
  TQVBSearchDataCallBack FOnQVBSearchDataCallBack;
  TQVBIndexDataCallBack FOnQVBIndexDataCallBack;
};

}  // namespace kdp
