// The user's news authority levels: the request that asks for them and the cache that keeps them.
//
// Until the list holds at least one level the data manager holds every history request and subscription
// back; subscriptions that ask for it carry each level as a condition under field 2021.
//
// TKrLuxAuthLevelProcessor (application class 1005, command 623):
//   request: the user's ID as a serializer String;
//   reply:   LongWord record count, then per record a LongWord field count and per field a LongWord field
//            ID and a LongWord value. Every value under field 2021 becomes a row {"2021": decimal text},
//            in reply order. A reply that does not decode (a count the bytes cannot hold, bytes left over)
//            gives an empty table, false and a log line.
//   Its sector ID is the constant kAuthLevelSectorID, by which the manager recognises its answer.
//
// Threads: the processor as TKrLuxDataRequestInfo. TKrLuxBaseDataCache is main-thread only (the manager
// saves and reads the list in its dispatcher and its request paths).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lux/lux_request_info.h"

namespace kdp {

inline constexpr std::uint32_t kAuthLevelAppClass = 1005;
inline constexpr std::uint32_t kAuthLevelCommandID = 623;
// The field of an authority level, in replies and in subscription conditions.
inline constexpr std::uint32_t kAuthLevelFieldID = 2021;
inline constexpr std::string_view kAuthLevelSectorID = "{A15CBAD6-471F-4666-946F-2C32C7177410}";

class TKrLuxAuthLevelProcessor final : public TKrLuxDataRequestInfo {
 public:
  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override;
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;
  std::string GetSectorID() override { return std::string(kAuthLevelSectorID); }
  std::string_view ProcessorName() const override { return "TKrLuxAuthLevelProcessor"; }
};

// The authority list: the levels of the last answer, as decimal text.
class TKrLuxBaseDataCache {
 public:
  // Replaces the list with the "2021" values of the table's rows (empty values skipped).
  void SaveAuthList(const std::shared_ptr<IKrLuxDataTable>& table);
  const std::vector<std::string>& GetAuthList() const { return FAuthList; }
  bool ReceivedAuthLevel() const { return !FAuthList.empty(); }

 private:
  std::vector<std::string> FAuthList;
};

}  // namespace kdp
