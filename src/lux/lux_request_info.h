// TKrLuxDataRequestInfo: the base of every Lux processor. A processor carries the parameters a widget
// filled in for one column and request kind, builds the request message, parses the reply into a
// table, and names the sector ID under which the data manager stores and subscribes the data.
//
// The base sends nothing and parses nothing; processors override what they know. Processors are created
// by the request-info factory through a registered constructor, so every processor is
// default-constructible.
//
// Threads: parameters are set on the main thread (by the widget, and by the manager before each page),
// messages are built there, and replies and pushes are parsed on the Lux client's thread. The parameter
// list and the parsed table are guarded by the processor's own lock: a parser reads a snapshot of the
// parameters and replaces the table whole, so a table handed out is never changed afterwards. The sector
// name, request kind and test-mode settings are set before the processor is shared and read-only after.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kdp/host/lux.h"
#include "kdp/lux/lux_requests.h"
#include "lux/lux_data_item.h"
#include "lux/lux_req_message.h"

namespace kdp {

// The processor face the data manager uses.
class IKrLuxDataProcessor : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "EFCC508A-5C89-4414-B217-DDCAE006CF97";

  // The history or message request; null when the processor has none.
  virtual std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() = 0;
  // The subscription's pushed fields (SITIndex) or conditions (SITIndexQuota); null when none.
  virtual std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> CreateSubInfo(TSubInfoType subInfoType) = 0;
  virtual std::unique_ptr<TKrLuxDataReqMessage> CreateSearchMsg() = 0;
  // Parses a reply into the processor's table. Never throws; a reply that cannot be read leaves an empty
  // or partial table and a log line, and gives false (as does an error reply).
  virtual bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) = 0;
  // Parses a pushed record (see host::DecodeLuxPublishRecord) into the processor's table.
  virtual bool ProcessPublishMsg(host::MemoryStream& record) = 0;
  // The table of the last parse.
  virtual std::shared_ptr<IKrLuxDataTable> GetAnalyseLuxData() = 0;
};

// The bytes of a reply the news-like processors skip before their document.
inline constexpr std::size_t II_DECODE_OFFSET = 4;

class TKrLuxDataRequestInfo : public host::Implements<IKrLuxDataProcessor, IKrLuxDataReqInfo> {
 public:
  using Params = std::vector<std::pair<std::string, std::string>>;

  TKrLuxDataRequestInfo();
  TKrLuxDataRequestInfo(const TKrLuxDataRequestInfo&) = delete;
  TKrLuxDataRequestInfo& operator=(const TKrLuxDataRequestInfo&) = delete;

  // IKrLuxDataReqInfo
  void SetIndexValue(std::string_view name, std::string_view value) override;
  std::string GetIndexValue(std::string_view name) override;
  TLuxDataReqType GetReqType() override { return FReqType; }
  int GetIndexQuotaCount() override;
  std::string GetIndexByOrder(int index) override;
  std::string GetIndexValueByOrder(int index) override;

  // IKrLuxDataProcessor
  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override { return nullptr; }
  std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> CreateSubInfo(TSubInfoType) override { return nullptr; }
  std::unique_ptr<TKrLuxDataReqMessage> CreateSearchMsg() override { return nullptr; }
  bool ProcessRpMsg(host::TBaseLuxMessage&) override { return true; }
  bool ProcessPublishMsg(host::MemoryStream&) override { return true; }
  std::shared_ptr<IKrLuxDataTable> GetAnalyseLuxData() override;

  // The table a request is answered with in test mode: an empty table by default; the news family reads
  // its test document.
  virtual std::shared_ptr<IKrLuxDataTable> ProcessTestData();
  virtual void SetReqType(TLuxDataReqType value) { FReqType = value; }
  // The key of the sector's store and subscription: the sector name by default.
  virtual std::string GetSectorID() { return FSectorName; }
  // StrHash of the sector name by default.
  virtual std::uint32_t GetReqInfoHashCode();

  // The processor's class name, for the log lines that tell which processor met a bad reply.
  virtual std::string_view ProcessorName() const { return "TKrLuxDataRequestInfo"; }

  const std::string& GetSectorName() const { return FSectorName; }
  void SetSectorName(std::string name) { FSectorName = std::move(name); }
  bool GetIsTestModeState() const { return FIsTestMode; }
  // Switches test mode on, answering from the document at `path` (the full path of a reply document of
  // the processor's kind).
  void SetTestData(std::string path) {
    FIsTestMode = true;
    FTestData = std::move(path);
  }
  const std::string& GetTestData() const { return FTestData; }

  // The parameters in order, read under the lock.
  Params SnapshotIndex() const;

 protected:
  // Replaces the parsed table.
  void SetAnalyseLuxData(std::shared_ptr<IKrLuxDataTable> table);

 private:
  mutable std::mutex FLock;  // guards FIIndexInfo and FILuxDataTable
  TKrLuxDataItem FIIndexInfo;
  std::shared_ptr<IKrLuxDataTable> FILuxDataTable;
  TLuxDataReqType FReqType = LDRTGet;
  std::string FSectorName;
  bool FIsTestMode = false;
  std::string FTestData;
};

// The edition test: requests of the English edition (the context's language "ENS") carry a language
// parameter. Main thread.
bool IsEnsEdition();

// The user's ID from the host context; "" without a context.
std::string CurrentUserID();

// What reading a reply's body gave.
enum class TReplyBody { kOk, kErrorReply, kUndecodable, kTooShort };

// What went wrong, for log lines ("" for kOk).
std::string_view DescribeReplyBody(TReplyBody status);

// Decodes a reply that is not an error reply and gives its body from byte `offset` on; the view lives as
// long as the reply.
TReplyBody ReadReplyBody(host::TBaseLuxMessage& reply, std::size_t offset, std::string_view& body);

}  // namespace kdp
