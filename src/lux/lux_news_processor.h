// The news processors: history, search and subscription requests of the news columns, and their
// replies and pushes.
//
// A history request is a query string built from the processor's parameters in order: "pagesize",
// "pageno", "StartNum", the date range ("startDate", "endDate"), the sort ("Sort", "SortBeginDate",
// "SortEndDate") and the security codes ("koracode") have their own places; "newstype", "datasize",
// "startid", "SaveData", "SaveHisNum" and "uniquetag" serve the data manager and are not sent; every other
// parameter N with value V is the condition "N:V" (a comma list in V becomes "N:a OR N:b"). Parameter
// names are recognised without regard to ASCII case. The family's members differ only in their query
// style (the request prefix, how conditions are joined, whether dates, sort and codes are handled) and
// the comm processor's dealer exclusion.
//
// A news processor's sector ID is the decimal StrHash of its request (see GetReqInfoHashCode), so two
// requests of one column for different security sectors have stores of their own.
//
// Threads: as TKrLuxDataRequestInfo. The channel texts and the report server are read from the host when
// the processor is made (main thread); replies and pushes are parsed on the Lux client's thread with them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "lux/lux_news_reply.h"
#include "lux/lux_request_info.h"

namespace kdp {

// How a member of the news family writes its query.
struct TNewsQueryStyle {
  std::string_view EditionPrefix;  // when the edition test passes
  std::string_view Prefix;         // otherwise
  std::string_view PageSizeKey;
  bool BracketConditions;  // later conditions as " AND (c)" rather than " AND c"
  bool DatesSortAndCodes;  // date range, sort and security-code escaping
};

class TKrLuxNewsDataProcessor : public TKrLuxDataRequestInfo {
 public:
  TKrLuxNewsDataProcessor();

  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override;
  std::unique_ptr<TKrLuxDataReqMessage> CreateSearchMsg() override;
  std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> CreateSubInfo(TSubInfoType subInfoType) override;
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;
  bool ProcessPublishMsg(host::MemoryStream& record) override;
  // The decimal text of GetReqInfoHashCode.
  std::string GetSectorID() override;
  // Without a "uniquetag" (blank): the base hash. With one: the codes of the sector the tag names are
  // looked up, and the hash is StrHash(sector name + tag) when there are none, else
  // StrHash(tag + sector name + codes). REQUIRES: main thread (the sector look-up).
  std::uint32_t GetReqInfoHashCode() override;

 protected:
  explicit TKrLuxNewsDataProcessor(const TNewsQueryStyle& style);
  // Text that follows the conditions; none by default.
  virtual std::string ConditionSuffix() { return {}; }

 private:
  std::unique_ptr<TKrLuxDataReqMessage> BuildMessage(bool search);

  const TNewsQueryStyle& FStyle;
  const TNewsReplyContext FReplyContext;
};

// Subject news: media type 13, conditions joined with " AND " without brackets, no date, sort or code
// escaping, no edition parameter.
class TKrLuxSubjectNewsDataProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxSubjectNewsDataProcessor();
};

// Commentary news (media type 16). Before building a request it asks for the user's dealer ID; when
// the user has one that is not among the listed dealers, news of that dealer's site is left out.
class TKrLuxCommNewsDataProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxCommNewsDataProcessor();

 protected:
  std::string ConditionSuffix() override;
};

// News for the LED ticker: empty return fields in the prefix and the types 01, 03 and 16.
class TKrLuxLEDNewsDataProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxLEDNewsDataProcessor();
};

// A news column the user defined: the parameter "USER_DEFINE_NODE_NAME" names the user's node and is
// kept apart from the request parameters; the sector ID is the sector name followed by that node name.
class TKrLuxUserDefineNewsDataProcessor final : public TKrLuxNewsDataProcessor {
 public:
  void SetIndexValue(std::string_view name, std::string_view value) override;
  std::string GetSectorID() override { return GetSectorName() + FUserDefineNodeName; }

 private:
  std::string FUserDefineNodeName;  // main thread
};

}  // namespace kdp
