// TKrLuxRowProcessor: one class for the Lux processors that differ only in data. A row (TLuxProcessorRow)
// names the command, how the request body is written from the processor's parameters, where the reply's
// rows are and which of their values become which fields; a few rows add a hook for what data cannot say
// (a date range computed from its name, a link built from a server address).
//
// Request bodies:
//   kRecord      the request fields as a binary record written with the host serializer in row order:
//                text as String, numbers as LongWord, Int64 or Double (0 when the text is not a number),
//                switches as a Byte (1 for "True", "yes" or "1" in any case, else 0);
//   kQueryPairs  QueryPrefix, then "name:value" for each request field with a value (every parameter but
//                the data manager's own when the row names no fields) joined by ";", then QuerySuffix
//                followed by the value of SuffixParam;
//   kText        the value of the first request field as it is;
//   kNewsSearch  the news query of a search in the row's SearchStyle (a search-only processor).
// A field's value is its parameter (names compared without regard to ASCII case), else its default, else
// the user's ID for the fields that default to it; Prefix is written in front of it.
//
// Replies (the body after its first 4 bytes):
//   kXmlResult   an XML document whose first "result" element holds one child element per row;
//   kXmlDataSet  an XML document "DataSet" (or "DateSet") / "Data" / "Body" with one "Record" per row;
//   kJson        a JSON object {"code": 0, "message": "...", "data": rows}, rows an array of objects or
//                one object; a "code" other than 0 is a failed reply.
// A row field is read from the child element or attribute of its source name (XML) or the member of that
// name (JSON, as JsonValueText), names compared without regard to ASCII case; every field of the row is
// set, "" when the reply has no value for it.
//
// A reply that cannot be read (an error reply, bytes that do not decode, a document that is not
// well-formed, a missing row list, a failed JSON code) gives an empty table, false, and a log line
// naming the processor.
//
// Threads: as TKrLuxDataRequestInfo. The server address a row needs is read when the processor is made
// (main thread); rows are constant.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "lux/lux_news_processor.h"
#include "lux/lux_request_info.h"

namespace kdp {

class TKrLuxDataItem;

enum class TLuxFieldType : std::uint8_t { kString, kLongWord, kInt64, kDouble, kBoolean };

struct TLuxRequestField {
  std::string_view Param = {};
  TLuxFieldType Type = TLuxFieldType::kString;
  std::string_view Default = {};
  std::string_view Prefix = {};
  bool UserIDByDefault = false;  // no value given: the user's ID from the context
  bool OmitWhenEmpty = false;    // JSON bodies: left out when it has no value
};

enum class TLuxRequestBody : std::uint8_t { kRecord, kQueryPairs, kText, kNewsSearch };
enum class TLuxReplyFormat : std::uint8_t { kXmlResult, kXmlDataSet, kJson };

// A field of a reply row; Source "" reads the value under the field's own name.
struct TLuxReplyField {
  std::string_view Field = {};
  std::string_view Source = {};
};

// What a request hook may change before the body is written.
struct TLuxRequest {
  TKrLuxDataRequestInfo::Params Params;
  std::uint32_t CommandID = 0;
};

struct TLuxProcessorRow {
  std::string_view ClassName = {};
  std::uint32_t AppClass = 0;
  std::uint32_t CommandID = 0;
  TLuxRequestBody Body = TLuxRequestBody::kRecord;
  std::span<const TLuxRequestField> Request = {};
  std::string_view QueryPrefix = {};
  std::string_view QuerySuffix = {};
  std::string_view SuffixParam = {};
  const TNewsQueryStyle* SearchStyle = nullptr;
  TLuxReplyFormat Reply = TLuxReplyFormat::kJson;
  std::span<const TLuxReplyField> Fields = {};
  std::string_view UserStockType = {};  // set on every row when not ""
  std::string_view ServerName = {};     // the server FinishRow needs, read when the processor is made
  // The parameter whose value parts the column's stores (the sector ID is the sector name, ":" and the
  // value); "" keeps the sector name.
  std::string_view SectorKeyParam = {};
  // Runs on the parameters (in order) before the body is written. Main thread.
  void (*CompleteRequest)(TLuxRequest& request) = nullptr;
  // Runs on each parsed row with the server's address. Lux client's thread.
  void (*FinishRow)(TKrLuxDataItem& row, const std::string& server) = nullptr;
};

class TKrLuxRowProcessor : public TKrLuxDataRequestInfo {
 public:
  explicit TKrLuxRowProcessor(const TLuxProcessorRow& row);

  // Null for a search-only row.
  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override;
  // Null unless the row is search-only.
  std::unique_ptr<TKrLuxDataReqMessage> CreateSearchMsg() override;
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;
  std::string GetSectorID() override;
  std::string_view ProcessorName() const override { return FRow.ClassName; }

  const TLuxProcessorRow& Row() const { return FRow; }

 private:
  std::unique_ptr<TKrLuxDataReqMessage> BuildMessage();

  const TLuxProcessorRow& FRow;
  const std::string FServer;
};

// The class of one row: registered and made by name like any processor.
template <const TLuxProcessorRow& kRow>
class TKrLuxRowProcessorFor final : public TKrLuxRowProcessor {
 public:
  TKrLuxRowProcessorFor() : TKrLuxRowProcessor(kRow) {}
};

// Parameters as the hooks read and write them (names compared without regard to ASCII case).
std::string ParamValue(const TKrLuxDataRequestInfo::Params& params, std::string_view name);
void SetParam(TKrLuxDataRequestInfo::Params& params, std::string_view name, std::string_view value);
// The value a request field sends: its parameter when not blank, else the user's ID for a field that
// defaults to it, else its default; Prefix in front.
std::string RequestFieldValue(const TKrLuxDataRequestInfo::Params& params, const TLuxRequestField& field);

}  // namespace kdp
