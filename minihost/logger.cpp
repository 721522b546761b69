#include "logger.h"

#include <cstdio>
#include <filesystem>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include "kdp/host/display_text.h"
#include "kdp/host/excerpt.h"

namespace kdp::minihost {
namespace {

constexpr std::size_t kMaxRecords = 10000;
// The log file rotates at this size, keeping this many older files ("kdp-host.1.log", ...): the log
// directory never holds more than kMaxLogFileBytes * (kKeptLogFiles + 1).
constexpr std::size_t kMaxLogFileBytes = 10u << 20;
constexpr std::size_t kKeptLogFiles = 3;
constexpr std::size_t kMaxMessageBytes = 4096;

spdlog::level::level_enum ToSpdlogLevel(int level) {
  switch (level) {
    case 0:
    case 1:
      return spdlog::level::info;
    case 2:
      return spdlog::level::warn;
    default:
      return spdlog::level::err;
  }
}

}  // namespace

MiniLogger::MiniLogger(const std::string& logDirectory, bool detailed, int echoLevel)
    : detailed_(detailed), echo_level_(echoLevel) {
  if (logDirectory.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(logDirectory, ec);
  file_path_ = (std::filesystem::path(logDirectory) / "kdp-host.log").string();
  try {
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(file_path_, kMaxLogFileBytes, kKeptLogFiles);
    file_ = std::make_shared<spdlog::logger>("kdp-host", sink);
    file_->set_pattern("%Y-%m-%d %H:%M:%S.%e [%l] %v");
    file_->set_level(spdlog::level::trace);
    file_->flush_on(spdlog::level::warn);
  } catch (const spdlog::spdlog_ex& e) {
    std::fprintf(stderr, "kdp-host: cannot open log file %s: %s\n", file_path_.c_str(), e.what());
    file_path_.clear();
  }
}

MiniLogger::~MiniLogger() { Flush(); }

void MiniLogger::Log(std::string_view message, std::string_view source, int level) {
  // Messages quote configuration, replies and command lines: one line each, of bounded length, and no
  // control character reaches the file or the terminal.
  std::string shown = host::Excerpt(message, kMaxMessageBytes);
  std::string from = host::EscapeControlChars(source);
  if (file_) file_->log(ToSpdlogLevel(level), "{}: {}", from, shown);
  if (level >= echo_level_) std::fprintf(stderr, "%s: %s\n", from.c_str(), shown.c_str());
  std::lock_guard lock(mutex_);
  records_.push_back(LogRecord{std::move(shown), std::move(from), level});
  if (records_.size() > kMaxRecords) records_.pop_front();
}

void MiniLogger::Flush() {
  if (file_) file_->flush();
}

std::vector<LogRecord> MiniLogger::Records() const {
  std::lock_guard lock(mutex_);
  return {records_.begin(), records_.end()};
}

bool MiniLogger::Contains(std::string_view fragment) const { return CountContaining(fragment) > 0; }

std::size_t MiniLogger::CountContaining(std::string_view fragment) const {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const LogRecord& r : records_) n += r.message.find(fragment) != std::string::npos ? 1 : 0;
  return n;
}

void MiniLogger::ClearRecords() {
  std::lock_guard lock(mutex_);
  records_.clear();
}

}  // namespace kdp::minihost
