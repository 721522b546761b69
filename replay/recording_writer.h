// RecordingWriter: appends records to a recording file in zlib-compressed blocks (the layout is in
// recording_format.h).
//
// Append encodes a record on the caller's thread and adds it to the open block. A thread of the writer's
// own compresses and writes a block once it holds Options::blockBytes, or once its first record has
// waited Options::flushInterval, so the file is never much more than that behind the session and a crash
// loses at most that much. Flush writes what is open at once; Close (and the destructor) writes it and
// closes the file.
//
// Threads: Append, Flush and Close may be called from any thread. The open block, the queue of full
// blocks, the counts and the failure are guarded by mutex_; the file belongs to the writer thread. Full
// blocks waiting for the disk hold at most kMaxQueuedBytes: past that, Append waits for the writer. A
// write that fails ends the recording (the failure is logged once, later records are dropped and
// counted); the session being recorded goes on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "recording_format.h"

namespace kdp::replay {

class RecordingWriter {
 public:
  struct Options {
    std::size_t blockBytes = 64 * 1024;             // raw bytes that close a block
    std::chrono::milliseconds flushInterval{1000};  // the longest a record waits in an open block
  };
  static constexpr std::size_t kMaxQueuedBytes = std::size_t{64} << 20;

  // Creates (or empties) the file and writes its header. nullptr, with `error`, when it cannot.
  static std::unique_ptr<RecordingWriter> Create(const std::string& path, Options options, std::string& error);
  ~RecordingWriter();
  RecordingWriter(const RecordingWriter&) = delete;
  RecordingWriter& operator=(const RecordingWriter&) = delete;

  // Adds a record. False when it is not recorded: it cannot be encoded (logged), it is larger than a
  // block may be, or the recording has ended.
  bool Append(const Record& record);
  // Returns once every record appended before the call is in the file (or the recording has failed).
  void Flush();
  // Writes what is open, stops the writer thread and closes the file. Idempotent.
  void Close();

  struct Counts {
    std::uint64_t records = 0;  // in the file
    std::uint64_t blocks = 0;
    std::uint64_t bytes = 0;    // the file's size
    std::uint64_t dropped = 0;  // appended but not recorded
  };
  Counts GetCounts() const;
  // Why the recording ended early; "" while it goes on.
  std::string Failure() const;
  const std::string& Path() const { return path_; }

 private:
  struct Block {
    std::string raw;
    std::uint32_t records = 0;
  };

  RecordingWriter(std::string path, std::FILE* file, Options options);
  void Run();
  // Compresses and writes one block, adding its size to `bytes`; false, with `error`, when the file
  // refuses it.
  bool WriteBlock(const Block& block, std::uint64_t& bytes, std::string& error);
  // Moves the open block to the queue. REQUIRES: mutex_ held.
  void CloseOpenBlock();

  const std::string path_;
  const Options options_;
  std::FILE* file_;         // the writer thread's (Close's once the thread has ended)
  std::mutex close_mutex_;  // one Close at a time

  mutable std::mutex mutex_;         // guards everything below
  std::condition_variable wake_;     // the writer thread waits on it
  std::condition_variable written_;  // Append and Flush wait on it
  Block open_;
  std::chrono::steady_clock::time_point opened_at_;
  std::deque<Block> full_;
  std::size_t queued_bytes_ = 0;
  std::uint64_t appended_ = 0;  // records accepted
  std::uint64_t settled_ = 0;   // of those, written or lost to a failure
  bool flush_wanted_ = false;
  bool closing_ = false;
  std::string failure_;
  Counts counts_;
  std::thread thread_;
};

}  // namespace kdp::replay
