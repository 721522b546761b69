#include "recording_writer.h"

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "kdp/host/byte_reader.h"
#include "kdp/host/log.h"

namespace kdp::replay {
namespace {

constexpr std::string_view kLogSource = "Recorder";

}  // namespace

std::unique_ptr<RecordingWriter> RecordingWriter::Create(const std::string& path, Options options, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = fmt::format("cannot create {}: {}", path, std::strerror(errno));
    return nullptr;
  }
  const std::string header = RecordingHeader();
  if (std::fwrite(header.data(), 1, header.size(), file) != header.size() || std::fflush(file) != 0) {
    error = fmt::format("cannot write {}: {}", path, std::strerror(errno));
    std::fclose(file);
    return nullptr;
  }
  std::unique_ptr<RecordingWriter> writer(new RecordingWriter(path, file, options));
  writer->counts_.bytes = header.size();
  writer->thread_ = std::thread([w = writer.get()] { w->Run(); });
  return writer;
}

RecordingWriter::RecordingWriter(std::string path, std::FILE* file, Options options)
    : path_(std::move(path)), options_(options), file_(file) {}

RecordingWriter::~RecordingWriter() { Close(); }

bool RecordingWriter::Append(const Record& record) {
  std::string bytes;
  std::string error;
  const bool encoded = EncodeRecord(record, bytes, error);
  std::unique_lock lock(mutex_);
  if (!encoded || bytes.size() > kMaxBlockRawBytes) {
    ++counts_.dropped;
    host::AddHQLog(encoded ? fmt::format("a record of {} bytes is larger than a block; not recorded", bytes.size())
                           : "a record not recorded: " + error,
                   kLogSource, host::LogSeverity::kWarning);
    return false;
  }
  written_.wait(lock, [this] { return queued_bytes_ <= kMaxQueuedBytes || closing_ || !failure_.empty(); });
  if (closing_ || !failure_.empty()) {
    ++counts_.dropped;
    return false;
  }
  if (open_.raw.size() + bytes.size() > kMaxBlockRawBytes) CloseOpenBlock();
  const bool opens = open_.records == 0;
  if (opens) opened_at_ = std::chrono::steady_clock::now();
  open_.raw += bytes;
  ++open_.records;
  ++appended_;
  if (open_.raw.size() >= options_.blockBytes) CloseOpenBlock();
  // The writer writes a full block at once and times an open one from its first record.
  if (opens || !full_.empty()) wake_.notify_one();
  return true;
}

void RecordingWriter::CloseOpenBlock() {
  if (open_.records == 0) return;
  queued_bytes_ += open_.raw.size();
  full_.push_back(std::move(open_));
  open_ = Block{};
}

void RecordingWriter::Flush() {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = appended_;
  flush_wanted_ = true;
  wake_.notify_one();
  written_.wait(lock, [&] { return settled_ >= target; });
}

void RecordingWriter::Close() {
  std::lock_guard closing(close_mutex_);
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  wake_.notify_one();
  written_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

void RecordingWriter::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    const bool open_block_due =
        open_.records > 0 && std::chrono::steady_clock::now() - opened_at_ >= options_.flushInterval;
    if (closing_ || flush_wanted_ || open_block_due) {
      CloseOpenBlock();
      flush_wanted_ = false;
    }
    if (full_.empty()) {
      if (closing_) return;
      if (open_.records > 0) {
        wake_.wait_until(lock, opened_at_ + options_.flushInterval);
      } else {
        wake_.wait(lock);
      }
      continue;
    }
    const Block block = std::move(full_.front());
    full_.pop_front();
    const bool failed_before = !failure_.empty();
    lock.unlock();
    std::uint64_t bytes = 0;
    std::string error;
    const bool written = !failed_before && WriteBlock(block, bytes, error);
    lock.lock();
    queued_bytes_ -= block.raw.size();
    settled_ += block.records;
    if (written) {
      ++counts_.blocks;
      counts_.records += block.records;
      counts_.bytes += bytes;
    } else {
      counts_.dropped += block.records;
      if (failure_.empty()) {
        failure_ = error;
        host::AddHQLog("recording stopped: " + error, kLogSource, host::LogSeverity::kError);
      }
    }
    written_.notify_all();
  }
}

bool RecordingWriter::WriteBlock(const Block& block, std::uint64_t& bytes, std::string& error) {
  const std::string out = MakeBlock(block.raw, block.records, error);
  if (out.empty()) return false;
  if (std::fwrite(out.data(), 1, out.size(), file_) != out.size() || std::fflush(file_) != 0) {
    error = fmt::format("cannot write {}: {}", path_, std::strerror(errno));
    return false;
  }
  bytes = out.size();
  return true;
}

RecordingWriter::Counts RecordingWriter::GetCounts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

std::string RecordingWriter::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

}  // namespace kdp::replay
