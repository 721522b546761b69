// SimLux: the stand-in host's Lux client and its subscriber.
//
// The client runs a thread of its own. A request is answered from the scenario (LuxScenario) by its
// command word and text body; the reply (or the error or time-out notice) is delivered to the reply
// handler on the client's thread after the configured latency. A request the scenario cannot answer is
// answered with mpError. Tests and tools can script what comes back: every reply (SetAnswer), the reply
// to one command (SetAnswerFor) or the next replies (AnswerNext) may be an error, a time-out notice, a
// reply of garbage, or dropped; a dropped request sent with SendRequestAsync gets its time-out notice when its time is up.
//
// Report requests, on every road the package asks reports (report_requests.h: report and "B1" bodies to
// the report service, "PR" bodies to the PR service, Lux bodies naming a report to any other), are
// answered by the `reports` source in the reply form of their road: behind the server's 4-byte prefix,
// the report stream ("B1"-framed for a "B1" body) and its status byte, 1 when the command named a report
// and 0 otherwise. A body the report or PR service cannot read is answered with mpError.
// Requests sent through the wrapper face (SendMessage2) are answered the same way, and their replies go to
// the handler given with each.
//
// Subscribed topics receive pushed news: every push interval (0: none) the next item of the scenario's
// pushes, given a new ID and the server's time, goes to each subscribed topic whose conditions it meets
// (condition 2002: one of the item's codes; 2041: the item's live-news channel; other conditions are not
// judged), as a pushed record (host::EncodeLuxPublishRecord) with the news indicators 2001, 2002, 2005,
// 2007, 2008, 2009, 2010 and 2011. PushNow pushes the next item at once.
//
// The client may start disconnected, connect after a delay, or stay disconnected; while it is
// disconnected it sends nothing.
//
// Time comes from the host's clock: with a ManualClock, latency, delays and time-outs pass as the test
// advances the clock (the thread looks at the clock every poll interval, and at once when told of new
// work).
//
// Threads: every operation may be called from any thread. Handlers run on the client's thread, never two
// at a time; the client holds no lock of its own that SendRequest needs while one runs. When
// RemoveOnMessageNotify or UnSubscribeTopic returns, the handler concerned is not running and is never
// called again. Stop (and destruction) ends the thread; nothing is delivered afterwards.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kdp/host/date_time.h"
#include "kdp/host/lux.h"
#include "kdp/host/lux_wrapper.h"
#include "kdp/host/main_loop.h"
#include "kdp/host/memory_stream.h"
#include "lux_scenario.h"
#include "report_requests.h"

namespace kdp::minihost {

class SimLuxClient;

// One subscriber: topics with their conditions, index parameters and publish handlers.
class SimLuxSubscriber final : public host::Implements<host::IBaseLuxSubscriber> {
 public:
  struct TopicState {
    std::map<std::uint32_t, std::vector<std::string>> conditions;
    std::vector<std::pair<std::string, std::string>> indexParams;
    bool subscribed = false;
  };

  int AddTopic() override;
  bool SetTopicPublishHandler(int topic, host::TLuxPublishHandler handler) override;
  bool AddTopicCondition(int topic, std::uint32_t fieldID, std::string_view value) override;
  bool AddTopicConditionList(int topic, std::uint32_t fieldID, std::string_view values, char separator) override;
  bool AddTopicIndexParam(int topic, std::string_view name, std::string_view value) override;
  bool SubscribeTopic(int topic) override;
  bool UnSubscribeTopic(int topic) override;

  // The topics subscribed now, and a copy of one topic's state (nullopt when there is no such topic).
  std::vector<int> SubscribedTopics() const;
  std::optional<TopicState> Topic(int topic) const;

  // Delivers `record` to every subscribed topic that `accepts`; the number of topics reached. Client's
  // thread.
  int Publish(const std::function<bool(const TopicState&)>& accepts, const std::string& record);

 private:
  struct Topic_ {
    TopicState state;
    host::TLuxPublishHandler handler;
  };

  mutable std::mutex mutex_;  // guards topics_ and next_topic_
  std::mutex publish_mutex_;  // held while a publish handler runs
  std::map<int, Topic_> topics_;
  int next_topic_ = 1;
};

class SimLuxClient final : public host::Implements<host::IBaseLuxClient, host::ILuxClientWrapper>,
                           public std::enable_shared_from_this<SimLuxClient> {
 public:
  // kGarbage: a normal reply whose body is no reply at all (a proxy's error page behind the 4-byte prefix).
  enum class Answer { kReply, kError, kTimeout, kDrop, kGarbage };

  struct Options {
    std::shared_ptr<const LuxScenario> scenario;  // required
    std::shared_ptr<host::IClock> clock;          // required
    std::function<host::DateTime()> serverTime;   // the time stamped on pushes; required
    std::chrono::milliseconds latency{30};
    std::chrono::milliseconds pushInterval{0};  // 0: no pushes unless PushNow
    std::chrono::milliseconds poll{5};          // how often the thread looks at the clock
    bool connected = true;
    std::chrono::milliseconds connectAfter{0};  // with connected false: connect after this (0: never)
    // Answers a report command with a stream, telling whether it named a report; any thread. Without it
    // report requests go to the scenario like any other.
    std::function<host::MemoryStream(const std::string& command, bool& answered)> reports;
  };

  // A request as the client received it.
  struct SentRequest {
    std::int32_t serial = 0;
    std::uint32_t commandWord = 0;
    std::string query;  // the text body, or a report request's command ("" for other binary bodies)
    bool async = false;
  };

  explicit SimLuxClient(Options options);
  ~SimLuxClient() override;

  void Start();
  void Stop();

  // host::IBaseLuxClient
  bool IsConnected() override;
  int RegisterSubscriber(int kind) override;
  std::shared_ptr<host::IBaseLuxSubscriber> GetSubscriber(int index) override;
  void SetOnMessageNotify(host::TLuxMessageNotify handler) override;
  void RemoveOnMessageNotify() override;
  bool SendRequest(host::TBaseLuxRequestMessage& message) override;
  bool SendRequestAsync(host::TBaseLuxRequestMessage& message, int timeoutSeconds) override;

  // host::ILuxClientWrapper: the request goes as SendRequestAsync does (its time-out in whole seconds, at
  // least one), and its reply or notice goes to `handler` instead of the client's reply handler.
  std::int32_t SendMessage2(const host::TLuxReqInfo& info, std::string_view body,
                            host::TLuxResponseHandler handler) override;

  // ---- scripting ----
  void SetAnswer(Answer answer);
  void SetAnswerFor(std::uint32_t appClass, std::uint32_t commandID, Answer answer);
  // The next requests are answered so, in order, before any other rule.
  void AnswerNext(Answer answer);
  void SetConnected(bool connected);
  // Connects once `delay` has passed on the clock.
  void ConnectAfter(std::chrono::milliseconds delay);
  // Pushes the next item of the scenario's pushes now (on the client's thread).
  void PushNow();
  // Delivers a message with this serial number, as if the server answered an unknown request.
  void DeliverStray(std::int32_t serial);

  // ---- what happened ----
  // The latest kKeptRequests requests received, oldest first: a host that runs for long keeps no more.
  static constexpr std::size_t kKeptRequests = 256;
  std::vector<SentRequest> SentRequests() const;
  // Every request received with this command, kept or not.
  int CountSent(std::uint32_t appClass, std::uint32_t commandID) const;
  // Replies, notices and pushes delivered so far (counted after their handler returned).
  int DeliveredCount() const;
  // Waits until `count` deliveries were made, or `timeout` of real time passed; whether they were.
  bool WaitForDeliveries(int count, std::chrono::milliseconds timeout) const;
  // Waits until the client is connected, or `timeout` of real time passed; whether it is.
  bool WaitForConnection(std::chrono::milliseconds timeout) const;
  // Deliveries waiting for their time.
  std::size_t PendingCount() const;
  SimLuxSubscriber& Subscriber() { return *subscriber_; }

 private:
  struct Event {
    host::Clock::time_point due;
    std::uint64_t order;
    enum class Kind { kReply, kTimeout, kPush, kConnect } kind;
    std::int32_t serial = 0;
    std::shared_ptr<host::TBaseLuxMessage> message;  // kReply, kTimeout
  };

  bool Send(host::TBaseLuxRequestMessage& message, std::optional<int> timeoutSeconds,
            host::TLuxResponseHandler handler = {});
  Answer TakeAnswer(std::uint32_t commandWord);
  // The reply body of a request: a report request's from the report source, any other from the scenario.
  std::optional<std::string> ReplyBodyFor(std::uint32_t word, const host::MemoryStream& body, const std::string& query,
                                          const std::optional<ReportRequest>& report) const;
  // REQUIRES: mutex_ held.
  void Schedule(host::Clock::time_point due, Event::Kind kind, std::int32_t serial = 0,
                std::shared_ptr<host::TBaseLuxMessage> message = nullptr);
  void Run();
  void Deliver(const Event& event);
  // The next pushed item and its record; REQUIRES: mutex_ held.
  std::pair<LuxPushItem, std::string> NextPush();

  const Options options_;
  std::shared_ptr<SimLuxSubscriber> subscriber_;

  mutable std::mutex mutex_;                  // guards everything below but the handler
  std::condition_variable wake_;              // new work for the thread
  mutable std::condition_variable progress_;  // a delivery made, a connection made
  bool connected_;
  bool stop_ = false;
  std::int32_t next_serial_ = 1;
  std::uint64_t next_order_ = 0;
  std::vector<Event> events_;  // unordered; the thread takes the earliest due
  Answer answer_ = Answer::kReply;
  std::map<std::uint32_t, Answer> answer_for_;
  std::deque<Answer> answer_next_;
  std::deque<SentRequest> sent_;             // the latest kKeptRequests
  std::map<std::uint32_t, int> sent_counts_;  // by command word, of every request received
  std::map<std::int32_t, host::TLuxResponseHandler> request_handlers_;  // SendMessage2's, by serial number
  std::size_t next_push_ = 0;
  std::uint64_t pushes_made_ = 0;
  host::Clock::time_point next_push_due_;
  int delivered_ = 0;

  std::mutex handler_mutex_;  // guards handler_; held while it runs
  host::TLuxMessageNotify handler_;
  std::thread thread_;
};

}  // namespace kdp::minihost
