// MiniLogger: the stand-in host's log. Lines go to a file under the log directory through spdlog and are
// kept in memory (the last 10,000) so tests can check the messages that matter. Thread-safe.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace spdlog {
class logger;
}

namespace kdp::minihost {

struct LogRecord {
  std::string message;
  std::string source;
  int level;
};

class MiniLogger {
 public:
  // Opens (appending) `<logDirectory>/kdp-host.log`; with an empty directory logs to memory only.
  // `echoLevel`: lines at or above this level are also written to stderr (4 = never).
  MiniLogger(const std::string& logDirectory, bool detailed, int echoLevel = 4);
  ~MiniLogger();

  void Log(std::string_view message, std::string_view source, int level);
  bool IsDetailed() const { return detailed_.load(); }
  void SetDetailed(bool on) { detailed_.store(on); }
  int EchoLevel() const { return echo_level_; }
  void Flush();
  const std::string& FilePath() const { return file_path_; }

  std::vector<LogRecord> Records() const;
  // True when some record's message contains `fragment`.
  bool Contains(std::string_view fragment) const;
  std::size_t CountContaining(std::string_view fragment) const;
  void ClearRecords();

 private:
  std::shared_ptr<spdlog::logger> file_;
  std::string file_path_;
  std::atomic<bool> detailed_;  // read by every thread that logs
  int echo_level_;
  mutable std::mutex mutex_;  // guards records_
  std::deque<LogRecord> records_;
};

}  // namespace kdp::minihost
