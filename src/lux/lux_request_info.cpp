#include "lux/lux_request_info.h"

#include "core/host_lookups.h"
#include "kdp/host/services.h"
#include "kdp/host/str_hash.h"
#include "lux/lux_data_table.h"

namespace kdp {

TKrLuxDataRequestInfo::TKrLuxDataRequestInfo() : FILuxDataTable(std::make_shared<TKrLuxDataTable>()) {}

void TKrLuxDataRequestInfo::SetIndexValue(std::string_view name, std::string_view value) {
  std::lock_guard lock(FLock);
  FIIndexInfo.SetIndexValue(name, value);
}

std::string TKrLuxDataRequestInfo::GetIndexValue(std::string_view name) {
  std::lock_guard lock(FLock);
  return FIIndexInfo.GetIndexValue(name);
}

int TKrLuxDataRequestInfo::GetIndexQuotaCount() {
  std::lock_guard lock(FLock);
  return FIIndexInfo.GetIndexCount();
}

std::string TKrLuxDataRequestInfo::GetIndexByOrder(int index) {
  std::lock_guard lock(FLock);
  return FIIndexInfo.GetIndexByOrder(index);
}

std::string TKrLuxDataRequestInfo::GetIndexValueByOrder(int index) {
  std::lock_guard lock(FLock);
  return FIIndexInfo.GetIndexValueByOrder(index);
}

TKrLuxDataRequestInfo::Params TKrLuxDataRequestInfo::SnapshotIndex() const {
  std::lock_guard lock(FLock);
  Params params;
  params.reserve(FIIndexInfo.Count());
  for (std::size_t i = 0; i < FIIndexInfo.Count(); ++i) {
    params.emplace_back(FIIndexInfo.NameAt(i), FIIndexInfo.ValueAt(i));
  }
  return params;
}

std::shared_ptr<IKrLuxDataTable> TKrLuxDataRequestInfo::GetAnalyseLuxData() {
  std::lock_guard lock(FLock);
  return FILuxDataTable;
}

void TKrLuxDataRequestInfo::SetAnalyseLuxData(std::shared_ptr<IKrLuxDataTable> table) {
  std::lock_guard lock(FLock);
  FILuxDataTable = std::move(table);
}

std::shared_ptr<IKrLuxDataTable> TKrLuxDataRequestInfo::ProcessTestData() { return NewLuxDataTable(); }

std::uint32_t TKrLuxDataRequestInfo::GetReqInfoHashCode() { return host::StrHash(FSectorName); }

bool IsEnsEdition() { return G_getCurrentLanguage() == "ENS"; }

std::string CurrentUserID() {
  auto context = host::GetHQContext();
  return context ? context->GetUserID() : std::string();
}

std::string_view DescribeReplyBody(TReplyBody status) {
  switch (status) {
    case TReplyBody::kOk:
      return "";
    case TReplyBody::kErrorReply:
      return "mpError";
    case TReplyBody::kUndecodable:
      return "Deserialize failed";
    case TReplyBody::kTooShort:
      return "MessageBody.Size < II_DECODE_OFFSET";
  }
  return "";
}

TReplyBody ReadReplyBody(host::TBaseLuxMessage& reply, std::size_t offset, std::string_view& body) {
  body = {};
  if (reply.GetMessageProp() == host::mpError) return TReplyBody::kErrorReply;
  if (!reply.Deserialize()) return TReplyBody::kUndecodable;
  const std::string_view all = reply.MessageBody().AsStringView();
  if (all.size() < offset) return TReplyBody::kTooShort;
  body = all.substr(offset);
  return TReplyBody::kOk;
}

}  // namespace kdp
