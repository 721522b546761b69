// The sector-tree processors: a tree of news columns. TKrLuxSectorTreeProcessor asks for the tree of a type
// ("SectorTreeType"); TKrLuxSubjectSectorTreeDataProcessor asks for the subject columns' tree. The reply is
// a document whose "result" element has one child per node, and each node becomes a row of the node's
// attributes. Their owners make them directly (the factory does not register them). Threads as
// TKrLuxDataRequestInfo.
#pragma once

#include <memory>
#include <string>

#include "lux/lux_request_info.h"

namespace kdp {

class TKrLuxSectorTreeProcessor : public TKrLuxDataRequestInfo {
 public:
  // The query (see Query) under application class 1411, command 6001.
  std::unique_ptr<TKrLuxDataReqMessage> CreateReqMsg() override;
  bool ProcessRpMsg(host::TBaseLuxMessage& ARecvMsg) override;
  std::string GetSectorID() override { return "{FEF825A1-42AA-4F84-AF8F-AF18935492E3}"; }
  std::string_view ProcessorName() const override { return "TKrLuxSectorTreeProcessor"; }

 protected:
  // "calltype=C#&name=code&param=type:" + type, ";subnode:N1071" for type 27, ";lng:01" in the English
  // edition.
  virtual std::string Query();
};

// The tree of the subject columns. Its rows are kept apart from the news sector tree's: the sector ID is
// the sector name.
class TKrLuxSubjectSectorTreeDataProcessor final : public TKrLuxSectorTreeProcessor {
 public:
  std::string GetSectorID() override { return GetSectorName(); }
  std::string_view ProcessorName() const override { return "TKrLuxSubjectSectorTreeDataProcessor"; }

 protected:
  std::string Query() override { return "calltype=C#&name=code&param=type:22;subnode:N0001"; }
};

}  // namespace kdp
