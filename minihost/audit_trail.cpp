#include "audit_trail.h"

#include <fstream>

#include <fmt/format.h>

#include "kdp/host/log.h"

namespace kdp::minihost {
namespace {

constexpr std::size_t kRecordsKept = 1000;

}  // namespace

MiniAuditTrail::MiniAuditTrail(std::string logDirectory)
    : file_path_(logDirectory.empty() ? std::string()
                                      : logDirectory + (logDirectory.back() == '/' ? "" : "/") + "audit.log") {}

void MiniAuditTrail::WriteBAuditLog(const host::TBAuditRecord& record) {
  std::lock_guard lock(mutex_);
  records_.push_back(record);
  if (records_.size() > kRecordsKept) records_.pop_front();
  if (file_path_.empty()) return;
  std::ofstream out(file_path_, std::ios::app | std::ios::binary);
  out << fmt::format("{}\t{}\t{}\t{}\t{}\n", record.Time.ToString(), record.UserID, record.AccountID, record.FunctionID,
                     record.KoraCode);
  out.flush();
  if (out) return;
  ++failures_;
  host::AddHQLog("audit trail: cannot append to " + file_path_, "MiniHost", host::LogSeverity::kError);
}

std::size_t MiniAuditTrail::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

std::vector<host::TBAuditRecord> MiniAuditTrail::Records() const {
  std::lock_guard lock(mutex_);
  return {records_.begin(), records_.end()};
}

}  // namespace kdp::minihost
