// The news processors: history, search and subscription requests of the news columns, and their
// replies and pushes.
//
// A history request is a query string built from the processor's parameters in order: "pagesize",
// "pageno", "StartNum", the date range ("startDate", "endDate"), the sort ("Sort", "SortBeginDate",
// "SortEndDate") and the security codes ("koracode") have their own places; "newstype", "datasize",
// "startid", "SaveData", "SaveHisNum" and "uniquetag" serve the data manager and are not sent; every other
// parameter N with value V is the condition "N:V" (a comma list in V becomes "N:a OR N:b"). Parameter
// names are recognised without regard to ASCII case. The family's members differ only in their query
// style (the request prefix, how conditions and codes are written, whether dates and sort are sent, the
// return fields), in what their replies keep (TNewsReplyOptions), and in two behaviours of their own: the
// comm processor's dealer exclusion and the live-news subscription.
//
// A news processor's sector ID is the decimal StrHash of its request (see GetReqInfoHashCode), so two
// requests of one column for different security sectors have stores of their own.
//
// Threads: as TKrLuxDataRequestInfo. The channel texts and the servers are read from the host when the
// processor is made (main thread); replies and pushes are parsed on the Lux client's thread with them.
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
  bool DatesSortAndCodes;  // date range, sort and the security condition below
  // The security condition of a "koracode" list ("koracode:a OR koracode:b" for the news).
  std::string (*CodesCondition)(std::string_view codes);
  std::string_view ReturnFields;  // "&returnfields=..." at the end of the query; "" for none
};

// The security conditions of the family: "koracode:" alternatives with "&" escaped and brackets made
// "_"; the negative-news class index "v2025" (each code followed by the negative class 0402); the
// live-news code index "v2002" with the list as given.
std::string KoraCodeCondition(std::string_view codes);
std::string NegativeNewsCondition(std::string_view codes);
std::string LiveNewsCodeCondition(std::string_view codes);

// The query of a history request (`search` false) or a search, from the parameters in order.
// `conditionSuffix` follows the conditions.
std::string BuildNewsQuery(const TKrLuxDataRequestInfo::Params& params, const TNewsQueryStyle& style, bool edition,
                           bool search, const std::string& conditionSuffix);

// The page a history request asks for: "pageno" when given, else the page after the "StartNum" rows the
// caller already has, pages of "pagesize" rows (page 1 when either is not a positive number).
int NewsPageNumber(const TKrLuxDataRequestInfo::Params& params);

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
  std::string_view ProcessorName() const override { return FName; }
  // The rows of the test document (a news reply document); empty, with a log line, when it cannot be read.
  std::shared_ptr<IKrLuxDataTable> ProcessTestData() override;

 protected:
  TKrLuxNewsDataProcessor(std::string_view name, const TNewsQueryStyle& style, const TNewsReplyOptions& options);
  // Text that follows the conditions; none by default.
  virtual std::string ConditionSuffix() { return {}; }

 private:
  std::unique_ptr<TKrLuxDataReqMessage> BuildMessage(bool search);

  const std::string_view FName;
  const TNewsQueryStyle& FStyle;
  const TNewsReplyOptions& FReplyOptions;
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

// Announcements (media type 03): the news query; replies keep the abstract, the content and the
// attachments, with "UserStockType" "Announcement".
class TKrLuxAnnouncementDataProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxAnnouncementDataProcessor();
};

// Negative news: the codes are asked for under the negative-news class index ("v2025:<code>0402"), and
// the reply's fields are those the news list returns.
class TKrLuxNegativeNewsDataProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxNegativeNewsDataProcessor();
};

// The news of securities as the live-news service lists them: "calltype=C#&name=livenewsinfo&param=",
// the codes under "v2002", an optional date range, the page size and number.
class TKrLuxStockNewsProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxStockNewsProcessor();
};

// Live news: the news query; replies also keep the abstract and the importance mark. Its subscription
// asks for the live-news index: the index parameters add "v2041" to the pushed news fields, and the
// conditions begin with field 2041 = "ON3101" (the live-news channel) before the request's own.
class TKrLuxLiveNewsProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxLiveNewsProcessor();
  std::shared_ptr<IKrLuxDataIndexQuotaSubInfo> CreateSubInfo(TSubInfoType subInfoType) override;
};

// A news column the user defined: the parameter "USER_DEFINE_NODE_NAME" names the user's node and is
// kept apart from the request parameters; the sector ID is the sector name followed by that node name.
class TKrLuxUserDefineNewsDataProcessor final : public TKrLuxNewsDataProcessor {
 public:
  TKrLuxUserDefineNewsDataProcessor();
  void SetIndexValue(std::string_view name, std::string_view value) override;
  std::string GetSectorID() override { return GetSectorName() + FUserDefineNodeName; }

 private:
  std::string FUserDefineNodeName;  // main thread
};

}  // namespace kdp
