// MiniAuditTrail: the stand-in host's business audit trail. Each record is appended as one tab-separated
// line (server time, user, account, function ID, security) to "audit.log" under the log directory, and
// kept in memory (the last 1,000) for tests. A record that cannot be appended is logged and counted, so a
// caller can say that it was not recorded. Thread-safe.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "kdp/host/audit.h"

namespace kdp::minihost {

class MiniAuditTrail final : public host::Implements<host::IKrBAuditWriter> {
 public:
  // An empty directory keeps the trail in memory only.
  explicit MiniAuditTrail(std::string logDirectory);

  void WriteBAuditLog(const host::TBAuditRecord& record) override;

  std::vector<host::TBAuditRecord> Records() const;
  // "" when the trail is kept in memory only.
  const std::string& FilePath() const { return file_path_; }
  // How many records could not be appended to the file.
  std::size_t Failures() const;

 private:
  const std::string file_path_;
  mutable std::mutex mutex_;  // guards records_ and the file's appends
  std::deque<host::TBAuditRecord> records_;
  std::size_t failures_ = 0;
};

}  // namespace kdp::minihost
