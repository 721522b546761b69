// RecordingSpeed: a quote engine that records. It implements the host API over any other engine, passes
// every call through, and writes to a RecordingWriter what the package hears (every observer call and
// connection notice, data sets as they arrived) and what it asks for (subscriptions, history commands),
// each stamped with the server time at that moment.
//
// Data requests are numbered from 1 in the order the package makes them. The objects the package is
// handed (requests, parameter sets, groups) and those the engine is handed (observers, the call-back)
// are thin wrappers; the wrapped engine sees its own parameter sets and groups again when they come back.
// Each record is appended before the call is passed on, so the file holds what the package heard in the
// order it heard it, and a history command's record comes before anything the engine answers to it.
//
// Threads: called exactly as the wrapped engine is, the package's calls on the main thread and the
// engine's deliveries on whatever threads the engine uses. The numbering is atomic, the writer is
// thread-safe, a parameter set's copy of its values has its own lock, and every other member is set
// when the wrapper is made.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "kdp/host/date_time.h"
#include "kdp/host/speed.h"
#include "recording_writer.h"

namespace kdp::replay {

class RecordingSpeed final : public host::Implements<host::ISpeed> {
 public:
  // `serverTime` stamps each record; it is called from every thread that delivers or asks.
  RecordingSpeed(std::shared_ptr<host::ISpeed> engine, std::shared_ptr<RecordingWriter> writer,
                 std::function<host::DateTime()> serverTime);

  std::shared_ptr<host::ISpeedDataRequest> CreateDataRequest(const std::shared_ptr<host::IObserver>& observer) override;
  void SetCallBack(const std::shared_ptr<host::ICallBack>& callback) override;
  int QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) override;
  void FreeMarketInfo(int kind, host::TMarketInfoBuffer& buffer) override;
  std::shared_ptr<host::ISpeedDataRequestGroup> CreateDataRequestGroup() override;

  RecordingWriter& Writer() { return core_->Writer(); }
  const std::shared_ptr<host::ISpeed>& Engine() const { return engine_; }

  // What every wrapper records through.
  class Core {
   public:
    Core(std::shared_ptr<RecordingWriter> writer, std::function<host::DateTime()> serverTime)
        : writer_(std::move(writer)), server_time_(std::move(serverTime)) {}
    // Stamps `record` with the server time and appends it.
    void Append(Record record);
    std::uint32_t NextRequestNumber() { return ++last_request_; }
    RecordingWriter& Writer() { return *writer_; }

   private:
    const std::shared_ptr<RecordingWriter> writer_;
    const std::function<host::DateTime()> server_time_;
    std::atomic<std::uint32_t> last_request_{0};
  };

 private:
  const std::shared_ptr<host::ISpeed> engine_;
  const std::shared_ptr<Core> core_;
};

}  // namespace kdp::replay
