#include "logger.h"

#include <cstdio>
#include <filesystem>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

namespace kdp::minihost {
namespace {

constexpr std::size_t kMaxRecords = 10000;

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
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(file_path_, false);
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
  if (file_) file_->log(ToSpdlogLevel(level), "{}: {}", source, message);
  if (level >= echo_level_) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(source.size()), source.data(),
                 static_cast<int>(message.size()), message.data());
  }
  std::lock_guard lock(mutex_);
  records_.push_back(LogRecord{std::string(message), std::string(source), level});
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
