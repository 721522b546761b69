// TKrLuxSectorTreeProcessor: the news sector tree (the tree of news columns of a type). The request names
// the type ("SectorTreeType"); the reply is a document whose "result" element has one child per node,
// and each node becomes a row of the node's attributes. Threads as TKrLuxDataRequestInfo.
#pragma once

#include <memory>
#include <string>

#include "lux/lux_request_info.h"

namespace kdp {

class TKrLuxSectorTreeProcessor final : public TKrLuxDataRequestInfo {
 public:
  // "calltype=C#&name=code&param=type:" + type, ";subnode:N1071" for type 27, ";lng:01" in the English
  // edition; application class 1411, command 6001.
  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override;
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;
  std::string GetSectorID() override { return "{FEF825A1-42AA-4F84-AF8F-AF18935492E3}"; }
};

}  // namespace kdp
