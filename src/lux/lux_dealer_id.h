// The user's dealer: which securities dealer the user belongs to, and whether that dealer is among the
// dealers whose comments every user sees. The commentary news leave out the user's own dealer's site
// when it is not.
//
// TKrUserDealerIDProcessor sends a request body of its own under a given command and reads the dealer ID
// from a "DataSet" (or "DateSet") / "Data" / "Body" / "Record" document ("User_dealerId", any case, as a
// sub-element or an attribute). TKrAllDealersProcessor reads the dealer dictionary: a "result" element
// (any case) whose children carry "code" and "name". TKrRPReportProcessor reads research-report titles:
// a "result" element whose children carry "date" and "title". Their threads are those of
// TKrLuxDataRequestInfo.
//
// TKrUserDealerIDProvider asks for both through the data manager's raw messages and waits for the
// answers with the main loop turning. One per process (GetInstance); main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kdp/lux/lux_helpers.h"
#include "lux/lux_data_table.h"
#include "lux/lux_request_info.h"

namespace kdp {

class TKrUserDealerIDProcessor : public TKrLuxDataRequestInfo {
 public:
  TKrUserDealerIDProcessor() = default;
  TKrUserDealerIDProcessor(std::uint32_t appClass, std::uint32_t commandID, std::string requestParams)
      : FAppClass(appClass), FCommandID(commandID), FRequestParams(std::move(requestParams)) {}

  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override;
  // The body after the first 4 bytes is the document GetInfoFromMsg reads.
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;
  // The rows of a reply document; empty, with a log line, when it holds none.
  virtual std::shared_ptr<TKrLuxDataTable> GetInfoFromMsg(std::string_view document);

 private:
  std::uint32_t FAppClass = 0;
  std::uint32_t FCommandID = 0;
  std::string FRequestParams;
};

class TKrAllDealersProcessor final : public TKrUserDealerIDProcessor {
 public:
  using TKrUserDealerIDProcessor::TKrUserDealerIDProcessor;
  std::shared_ptr<TKrLuxDataTable> GetInfoFromMsg(std::string_view document) override;
};

class TKrRPReportProcessor final : public TKrUserDealerIDProcessor {
 public:
  using TKrUserDealerIDProcessor::TKrUserDealerIDProcessor;
  std::shared_ptr<TKrLuxDataTable> GetInfoFromMsg(std::string_view document) override;
};

class TKrUserDealerIDProvider {
 public:
  static TKrUserDealerIDProvider& GetInstance();
  // Releases the instance (the package's stop steps); the next GetInstance makes a new one.
  static void FreeInstance();

  ~TKrUserDealerIDProvider();
  TKrUserDealerIDProvider(const TKrUserDealerIDProvider&) = delete;
  TKrUserDealerIDProvider& operator=(const TKrUserDealerIDProvider&) = delete;

  // The user's dealer ID. Until both answers have arrived, sends both requests and keeps the main loop
  // turning for up to about one second (101 rounds of 10 ms) while it waits; "" when they do not come
  // or there is no data manager to ask.
  std::string GetUserDealerID();
  // Whether the user's dealer is among the listed dealers (known once GetUserDealerID answered).
  bool IsIDIncluded() const { return FIDIsIncluded; }

  // The user's dealer (application class 1403, command 6405) and the dealer dictionary (1411, 6001).
  void RequestUserDealerID();
  void RequestAllDealers();
  // An answer as a table: LParam is the serial number of the request it answers.
  void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info);
  // A raw answer: its document is read by the matching processor and passed to OnDataNotify.
  void OnRawMsgDataNotify(std::int32_t serial, const host::TMessageProperty& prop, const TRawMsgData& data);

 private:
  TKrUserDealerIDProvider();
  // The message request object, asking the manager again when there is none yet.
  IKrLuxMsgReq* MessageRequest();

  std::string FUserDealerID;
  bool FIDIsIncluded = false;
  bool FHasGetUserDealerID = false;
  bool FReceiveData = false;
  std::int32_t FUserDealerIDSerial = -1;
  std::int32_t FAllDealersSerial = -1;
  std::shared_ptr<IKrLuxDataTable> FAllDealers;  // the dictionary, once answered
  std::shared_ptr<IKrLuxDataManager> FILuxDataMgr;
  std::shared_ptr<IKrLuxMsgReq> FILuxDataReq;
  std::shared_ptr<TKrLuxDataNotifyObserver> FLuxDataNotifyObserver;
  TKrUserDealerIDProcessor FUserDealerParser;
  TKrAllDealersProcessor FAllDealersParser;
};

}  // namespace kdp
