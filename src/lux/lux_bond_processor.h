// The bond platform's processors: broker quotes and deals (BBQ), the KDD trading platform, benchmark
// rates, the bond data processor of any command, and the KDD and BTA authority processors. One class
// (TKrLuxBondProcessor) serves them all from rows (TBondProcessorRow).
//
// Request: a JSON object of the row's request fields in row order, each the parameter of that name (any
// ASCII case), its default or the user's ID, as text; a field marked OmitWhenEmpty is left out when it
// has no value. The BTA authority's body is fixed text. A row without a command word takes it from the
// parameters "appClass" and "commandId"; without them no message is made ("CreateSearchMsg Appclass and
// CommandID error!"). History and search requests are the same message.
//
// Reply: a code header (LongWord code, 0 for success, then an AnsiString message) and a JSON document
// in UTF-8 to the end of the body:
//   kRecords      {"Records": [record, ...]}, or the document itself as the one record;
//   kSourceLists  {"<source>": [record, ...], ...}: the lists of the row's sources, in row order, each row
//                 beginning with "Source" = its source;
//   kJsonStr      {"Records": [{"JSONStr": "<document>"}, ...], "BargainAuthor": .., "ManagementAuthor":
//                 .., "PlatformAuthor": ..}: each JSONStr is itself a document whose "MsgType" is a quote
//                 ("Rpt.BDQT") or a request for quote ("Rpt.BDRFQ", "Rpt.BDMYRFQ"); a row is that
//                 document's fields, "JSONStr" (the text as received) and the three authorities. Records
//                 of another type, or whose JSONStr does not parse, are skipped with a log line.
// A record becomes a row: scalar members as fields of their names (see JsonValueText); "Indicators", a
// list of {"DictionaryId", "IndicatorValue"}, as fields named by the dictionary IDs; "TagBag"
// {"TagItems": [{"TagItem": {"Key", "Value"}}, ...]} as fields named by the keys; the members of other
// objects (a negotiation's fields) as fields of their own names; arrays as their JSON text. Rows are
// keyed by "ID": a later row of an ID read before replaces it where it stood.
// A failed code ("not LCodeHeader.IsSuccess"), a document that does not parse ("DecodeData异常:") or a
// body that does not decode gives an empty table, false and a log line naming the processor.
//
// Pushes: the pushed record (see host::DecodeLuxPublishRecord) carries a document as the reply's under
// indicator 20065. The processor remembers the rows of its last reply, at most kBondRowsKept of them, and
// a pushed row is merged into the remembered row of its ID (a new row, so no table handed out changes).
// The table of a push holds the pushed rows; with "NotifyAll" = "True" it holds every row remembered, so a
// widget that repaints its whole board receives it whole. Subscriptions ask for 20065 and take "KoraCode"
// as condition 2002, besides any parameter named by a field ID; the user's news authority levels are not
// added to them.
//
// Threads: as TKrLuxDataRequestInfo; the remembered rows have a lock of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lux/lux_request_info.h"
#include "lux/lux_row_processor.h"

namespace kdp {

class TKrLuxDataItem;

inline constexpr std::size_t kBondRowsKept = 5000;
// The indicator of a pushed record that carries the bond document.
inline constexpr std::uint32_t kBondDocumentIndicator = 20065;

enum class TBondReply : std::uint8_t { kRecords, kSourceLists, kJsonStr };

struct TBondProcessorRow {
  std::string_view ClassName = {};
  std::uint32_t AppClass = 0;  // 0: the command word comes from "appClass" and "commandId"
  std::uint32_t CommandID = 0;
  std::span<const TLuxRequestField> Request = {};  // their types are not used: every value is text
  TBondReply Reply = TBondReply::kRecords;
  std::span<const std::string_view> Sources = {};  // kSourceLists
  // Runs on the parameters before the body is written. Main thread.
  void (*CompleteRequest)(TLuxRequest& request) = nullptr;
  // The whole body, for a service that wants fixed text rather than a JSON object.
  std::string (*FixedBody)(const TKrLuxDataRequestInfo::Params& params) = nullptr;
};

class TKrLuxBondProcessor : public TKrLuxDataRequestInfo {
 public:
  explicit TKrLuxBondProcessor(const TBondProcessorRow& row) : FRow(row) {}

  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override { return BuildMessage(); }
  std::unique_ptr<TKrLuxDataReqMessage> CreateSearchMsg() override { return BuildMessage(); }
  std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> CreateSubInfo(TSubInfoType subInfoType) override;
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;
  bool ProcessPublishMsg(host::MemoryStream& record) override;
  std::string_view ProcessorName() const override { return FRow.ClassName; }

  const TBondProcessorRow& Row() const { return FRow; }

 private:
  using Rows = std::vector<std::shared_ptr<TKrLuxDataItem>>;

  std::unique_ptr<TKrLuxDataReqMessage> BuildMessage();
  // The rows of a document; false with `why` when it is not one of ours.
  bool ReadDocument(std::string_view document, Rows& rows, std::string& why) const;
  // Merges pushed rows into the remembered ones; what the push delivers.
  Rows MergePushed(Rows pushed, bool notifyAll);

  const TBondProcessorRow& FRow;
  std::mutex FRowsLock;  // guards FRows and FRowOfID
  Rows FRows;
  std::unordered_map<std::string, std::size_t> FRowOfID;
};

template <const TBondProcessorRow& kRow>
class TKrLuxBondProcessorFor final : public TKrLuxBondProcessor {
 public:
  TKrLuxBondProcessorFor() : TKrLuxBondProcessor(kRow) {}
};

extern const TBondProcessorRow kBondQuotoDealedRow;
extern const TBondProcessorRow kBBQF5Row;
extern const TBondProcessorRow kBBQF5TranRow;
extern const TBondProcessorRow kKDDF5Row;
extern const TBondProcessorRow kKDDCommitBargainRow;
extern const TBondProcessorRow kBenchmarkRow;
extern const TBondProcessorRow kBondLuxRow;
extern const TBondProcessorRow kKDDAuthorityRow;
extern const TBondProcessorRow kBTAAuthorityRow;

// BBQ quotes and deals of the brokers ADMIN, BGC, ICAP, PATR and XT (1306/3700).
using TKrLuxBondQuotoDealed = TKrLuxBondProcessorFor<kBondQuotoDealedRow>;
// The BBQ page of a bond, TPSC included (1306/3718): dates "YYYYMMDD" (the server's date by default)
// and times "000000" to "235959".
using TKrLuxBBQF5DataProcessor = TKrLuxBondProcessorFor<kBBQF5Row>;
// As the BBQ page, under the command the parameters give, with the requested fields and the language
// ("2" in the English edition, else "1").
using TKrLuxBBQF5TranDataProcessor = TKrLuxBondProcessorFor<kBBQF5TranRow>;
// KDD quotes and requests for quote (1311/2150).
using TKrLuxKDDF5DataProcessor = TKrLuxBondProcessorFor<kKDDF5Row>;
// Commits a KDD bargain (1311/2154).
using TKrLuxKDDCommitBargain = TKrLuxBondProcessorFor<kKDDCommitBargainRow>;
// Benchmark rates of sectors (1306/3720).
using TKrLuxBenchmarkDataProcessor = TKrLuxBondProcessorFor<kBenchmarkRow>;
// Bond data of any command: dictionary-ID/value pairs and tag bags; "JSONStr" is sent only when
// "IsHasJSONStr" is true.
using TKrBondLuxDataProcessor = TKrLuxBondProcessorFor<kBondLuxRow>;
// The user's KDD authorities (1005/614).
using TKrLuxKDDAuthority = TKrLuxBondProcessorFor<kKDDAuthorityRow>;
// The user's BTA authorities (1029/1001): the body is {"cmdid":1041,"Version":"1.0","Userid":<user>}
// with the user's ID as it is, unquoted.
using TKrLuxBTAAuthority = TKrLuxBondProcessorFor<kBTAAuthorityRow>;

}  // namespace kdp
