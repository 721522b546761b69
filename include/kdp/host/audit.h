// The host's business audit trail: which user used which terminal function, on which security, when.
//
// The package hands the host one record per function use (HQWriteBAuditLog of the function ID dictionary);
// the host decides where the trail is kept. The writer is a service of the host's provider
// (KrIntfService<IKrBAuditWriter>()); a host without one keeps no trail.
//
// Thread-safety: the writer may be called from any thread (the host guards its trail).
#pragma once

#include <string>

#include "kdp/host/date_time.h"
#include "kdp/host/interface.h"

namespace kdp::host {

// One use of a terminal function.
struct TBAuditRecord {
  std::string FunctionID;  // the 12-digit function ID text
  std::string KoraCode;    // the security the function was used on; "" for none
  std::string UserID;
  std::string AccountID;
  DateTime Time;  // server time of the use
};

class IKrBAuditWriter : public virtual IInterface {
 public:
  static constexpr Guid IID = "7E79B810-3181-4D3D-8B05-B515BA351BE8";
  // Appends the record to the host's trail. Never throws.
  virtual void WriteBAuditLog(const TBAuditRecord& record) = 0;
};

}  // namespace kdp::host
