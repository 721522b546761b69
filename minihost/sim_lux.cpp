#include "sim_lux.h"

#include <algorithm>

#include <fmt/format.h>

#include "kdp/host/kuds.h"
#include "kdp/host/memory_stream.h"
#include "kdp/host/serializer.h"
#include "report_requests.h"

namespace kdp::minihost {
namespace {

constexpr int kSubscriberIndex = 1;
constexpr std::uint8_t kReplyKind = 2;
constexpr std::uint32_t kCodesField = 2002;
constexpr std::uint32_t kLiveField = 2041;

std::vector<std::string> SplitList(std::string_view values, char separator) {
  std::vector<std::string> list;
  std::size_t start = 0;
  while (start <= values.size()) {
    const std::size_t at = values.find(separator, start);
    const std::string_view part =
        values.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
    if (!part.empty()) list.emplace_back(part);
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return list;
}

// The text body of a request (the serializer's AnsiString filling the whole body), or "" for a binary one.
std::string QueryOf(const host::MemoryStream& body) {
  host::MemoryStream copy(body.AsStringView());
  host::TStreamSerializer reader(copy);
  std::string text;
  if (!reader.ReadAnsiString(text) || copy.Remaining() != 0) return {};
  return text;
}

std::shared_ptr<host::TBaseLuxMessage> ReplyMessage(std::uint32_t commandWord, std::int32_t serial,
                                                    host::TMessageProperty prop, std::string_view body) {
  if (prop == host::mpTimeout)
    return std::make_shared<host::TBaseLuxMessage>(std::vector<std::uint8_t>{}, serial, prop);
  host::TBaseMessage reply;
  reply.Header().ProtocolVersion = 1;
  reply.Header().HeaderVersion = 1;
  reply.Header().MessageKind = kReplyKind;
  reply.SetCommandWord(commandWord);
  reply.SetSerialNumber(serial);
  reply.MessageBody().Write(body.data(), body.size());
  host::MemoryStream wire;
  reply.Serialize(wire);
  return std::make_shared<host::TBaseLuxMessage>(std::vector<std::uint8_t>(wire.Bytes().begin(), wire.Bytes().end()),
                                                 serial, prop);
}

}  // namespace

// ---- SimLuxSubscriber ----

int SimLuxSubscriber::AddTopic() {
  std::lock_guard lock(mutex_);
  const int topic = next_topic_++;
  topics_[topic];
  return topic;
}

bool SimLuxSubscriber::SetTopicPublishHandler(int topic, host::TLuxPublishHandler handler) {
  std::scoped_lock lock(publish_mutex_, mutex_);
  auto it = topics_.find(topic);
  if (it == topics_.end()) return false;
  it->second.handler = std::move(handler);
  return true;
}

bool SimLuxSubscriber::AddTopicCondition(int topic, std::uint32_t fieldID, std::string_view value) {
  std::lock_guard lock(mutex_);
  auto it = topics_.find(topic);
  if (it == topics_.end()) return false;
  it->second.state.conditions[fieldID].emplace_back(value);
  return true;
}

bool SimLuxSubscriber::AddTopicConditionList(int topic, std::uint32_t fieldID, std::string_view values,
                                             char separator) {
  std::lock_guard lock(mutex_);
  auto it = topics_.find(topic);
  if (it == topics_.end()) return false;
  for (std::string& value : SplitList(values, separator)) it->second.state.conditions[fieldID].push_back(value);
  return true;
}

bool SimLuxSubscriber::AddTopicIndexParam(int topic, std::string_view name, std::string_view value) {
  std::lock_guard lock(mutex_);
  auto it = topics_.find(topic);
  if (it == topics_.end()) return false;
  it->second.state.indexParams.emplace_back(name, value);
  return true;
}

bool SimLuxSubscriber::SubscribeTopic(int topic) {
  std::lock_guard lock(mutex_);
  auto it = topics_.find(topic);
  if (it == topics_.end()) return false;
  it->second.state.subscribed = true;
  return true;
}

bool SimLuxSubscriber::UnSubscribeTopic(int topic) {
  // Waits for a running handler: afterwards the topic is gone and its handler is never called again.
  std::scoped_lock lock(publish_mutex_, mutex_);
  return topics_.erase(topic) != 0;
}

std::vector<int> SimLuxSubscriber::SubscribedTopics() const {
  std::lock_guard lock(mutex_);
  std::vector<int> topics;
  for (const auto& [id, topic] : topics_) {
    if (topic.state.subscribed) topics.push_back(id);
  }
  return topics;
}

std::optional<SimLuxSubscriber::TopicState> SimLuxSubscriber::Topic(int topic) const {
  std::lock_guard lock(mutex_);
  auto it = topics_.find(topic);
  if (it == topics_.end()) return std::nullopt;
  return it->second.state;
}

int SimLuxSubscriber::Publish(const std::function<bool(const TopicState&)>& accepts, const std::string& record) {
  std::lock_guard publishing(publish_mutex_);
  std::vector<host::TLuxPublishHandler> handlers;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, topic] : topics_) {
      if (topic.state.subscribed && topic.handler && accepts(topic.state)) handlers.push_back(topic.handler);
    }
  }
  for (const auto& handler : handlers) {
    host::MemoryStream stream(record);
    handler(stream);
  }
  return static_cast<int>(handlers.size());
}

// ---- SimLuxClient ----

SimLuxClient::SimLuxClient(Options options)
    : options_(std::move(options)), subscriber_(std::make_shared<SimLuxSubscriber>()), connected_(options_.connected) {
  std::lock_guard lock(mutex_);
  const host::Clock::time_point now = options_.clock->Now();
  if (!connected_ && options_.connectAfter.count() > 0) {
    Schedule(now + options_.connectAfter, Event::Kind::kConnect);
  }
  next_push_due_ = now + options_.pushInterval;
}

SimLuxClient::~SimLuxClient() { Stop(); }

void SimLuxClient::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void SimLuxClient::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool SimLuxClient::IsConnected() {
  std::lock_guard lock(mutex_);
  return connected_;
}

int SimLuxClient::RegisterSubscriber(int) { return kSubscriberIndex; }

std::shared_ptr<host::IBaseLuxSubscriber> SimLuxClient::GetSubscriber(int index) {
  return index == kSubscriberIndex ? subscriber_ : nullptr;
}

void SimLuxClient::SetOnMessageNotify(host::TLuxMessageNotify handler) {
  std::lock_guard lock(handler_mutex_);
  handler_ = std::move(handler);
}

void SimLuxClient::RemoveOnMessageNotify() {
  std::lock_guard lock(handler_mutex_);
  handler_ = nullptr;
}

bool SimLuxClient::SendRequest(host::TBaseLuxRequestMessage& message) { return Send(message, std::nullopt); }

bool SimLuxClient::SendRequestAsync(host::TBaseLuxRequestMessage& message, int timeoutSeconds) {
  return Send(message, timeoutSeconds);
}

std::optional<std::string> SimLuxClient::ReplyBodyFor(std::uint32_t word, const host::MemoryStream& body,
                                                      const std::string& query,
                                                      const std::optional<ReportRequest>& report) const {
  if (report) {
    bool answered = false;
    const host::MemoryStream stream = options_.reports(report->command, answered);
    return ReportReplyBody(report->road, stream, answered);
  }
  const bool reportService = word == host::MakeLuxCommandWord(host::kReportAppClass, host::kReportCommandID) ||
                             word == host::MakeLuxCommandWord(host::kPRReportAppClass, host::kPRReportCommandID);
  if (options_.reports && reportService) return std::nullopt;  // a body the report services cannot read
  std::optional<std::string> reply = options_.scenario->ReplyBody(word >> 20, word & 0xFFFFF, query);
  if (!reply && query.empty()) reply = options_.scenario->BinaryReplyBody(word, body.AsStringView());
  return reply;
}

SimLuxClient::Answer SimLuxClient::TakeAnswer(std::uint32_t commandWord) {
  if (!answer_next_.empty()) {
    const Answer answer = answer_next_.front();
    answer_next_.pop_front();
    return answer;
  }
  auto it = answer_for_.find(commandWord);
  return it != answer_for_.end() ? it->second : answer_;
}

std::int32_t SimLuxClient::SendMessage2(const host::TLuxReqInfo& info, std::string_view body,
                                        host::TLuxResponseHandler handler) {
  host::TBaseLuxRequestMessage message;
  message.MakeEmptyRequest();
  message.Header().MessageKind = 3;  // a request of the information services
  message.SetCommandWord(info.CommandWord);
  message.MessageBody().Write(body.data(), body.size());
  if (!Send(message, std::max(1, (info.TimeoutMs + 999) / 1000), std::move(handler))) return -1;
  return message.GetSerialNumber();
}

bool SimLuxClient::Send(host::TBaseLuxRequestMessage& message, std::optional<int> timeoutSeconds,
                        host::TLuxResponseHandler handler) {
  host::MemoryStream wire;
  message.Serialize(wire);  // fills the message body behind the header
  const std::string query = QueryOf(message.MessageBody());
  const std::uint32_t word = message.GetCommandWord();
  const std::optional<ReportRequest> report =
      options_.reports ? ReadReportRequest(word, message.MessageBody().Bytes()) : std::nullopt;
  // The reply is looked up before the lock: the scenario and the report sources are read-only.
  const std::optional<std::string> body = ReplyBodyFor(word, message.MessageBody(), query, report);

  std::lock_guard lock(mutex_);
  if (!connected_ || stop_) return false;
  const std::int32_t serial = next_serial_++;
  message.SetSerialNumber(serial);
  sent_.push_back({serial, word, report ? report->command : query, timeoutSeconds.has_value()});
  if (sent_.size() > kKeptRequests) sent_.pop_front();
  ++sent_counts_[word];
  if (handler) request_handlers_[serial] = std::move(handler);
  const host::Clock::time_point now = options_.clock->Now();
  Answer answer = TakeAnswer(word);
  if (answer == Answer::kReply && !body) answer = Answer::kError;
  switch (answer) {
    case Answer::kReply:
      Schedule(now + options_.latency, Event::Kind::kReply, serial, ReplyMessage(word, serial, host::mpNormal, *body));
      break;
    case Answer::kError:
      Schedule(now + options_.latency, Event::Kind::kReply, serial, ReplyMessage(word, serial, host::mpError, {}));
      break;
    case Answer::kGarbage:
      Schedule(now + options_.latency, Event::Kind::kReply, serial,
               ReplyMessage(word, serial, host::mpNormal,
                            std::string(4, '\0') + "<html><body>502 Bad Gateway</body></html>"));
      break;
    case Answer::kTimeout:
      Schedule(now + options_.latency, Event::Kind::kTimeout, serial, ReplyMessage(word, serial, host::mpTimeout, {}));
      break;
    case Answer::kDrop:
      if (timeoutSeconds) {
        Schedule(now + std::chrono::seconds(*timeoutSeconds), Event::Kind::kTimeout, serial,
                 ReplyMessage(word, serial, host::mpTimeout, {}));
      }
      break;
  }
  wake_.notify_all();
  return true;
}

void SimLuxClient::Schedule(host::Clock::time_point due, Event::Kind kind, std::int32_t serial,
                            std::shared_ptr<host::TBaseLuxMessage> message) {
  events_.push_back({due, next_order_++, kind, serial, std::move(message)});
}

void SimLuxClient::SetAnswer(Answer answer) {
  std::lock_guard lock(mutex_);
  answer_ = answer;
}

void SimLuxClient::SetAnswerFor(std::uint32_t appClass, std::uint32_t commandID, Answer answer) {
  std::lock_guard lock(mutex_);
  answer_for_[host::MakeLuxCommandWord(appClass, commandID)] = answer;
}

void SimLuxClient::AnswerNext(Answer answer) {
  std::lock_guard lock(mutex_);
  answer_next_.push_back(answer);
}

void SimLuxClient::SetConnected(bool connected) {
  std::lock_guard lock(mutex_);
  connected_ = connected;
  progress_.notify_all();
}

void SimLuxClient::ConnectAfter(std::chrono::milliseconds delay) {
  {
    std::lock_guard lock(mutex_);
    Schedule(options_.clock->Now() + delay, Event::Kind::kConnect);
  }
  wake_.notify_all();
}

void SimLuxClient::PushNow() {
  {
    std::lock_guard lock(mutex_);
    Schedule(options_.clock->Now(), Event::Kind::kPush);
  }
  wake_.notify_all();
}

void SimLuxClient::DeliverStray(std::int32_t serial) {
  {
    std::lock_guard lock(mutex_);
    Schedule(options_.clock->Now(), Event::Kind::kReply, serial,
             ReplyMessage(0, serial, host::mpNormal, PrefixedBody("<response><result/></response>")));
  }
  wake_.notify_all();
}

std::vector<SimLuxClient::SentRequest> SimLuxClient::SentRequests() const {
  std::lock_guard lock(mutex_);
  return {sent_.begin(), sent_.end()};
}

int SimLuxClient::CountSent(std::uint32_t appClass, std::uint32_t commandID) const {
  const std::uint32_t word = host::MakeLuxCommandWord(appClass, commandID);
  std::lock_guard lock(mutex_);
  const auto found = sent_counts_.find(word);
  return found != sent_counts_.end() ? found->second : 0;
}

int SimLuxClient::DeliveredCount() const {
  std::lock_guard lock(mutex_);
  return delivered_;
}

bool SimLuxClient::WaitForDeliveries(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return progress_.wait_for(lock, timeout, [&] { return delivered_ >= count; });
}

bool SimLuxClient::WaitForConnection(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return progress_.wait_for(lock, timeout, [&] { return connected_; });
}

std::size_t SimLuxClient::PendingCount() const {
  std::lock_guard lock(mutex_);
  return events_.size();
}

std::pair<LuxPushItem, std::string> SimLuxClient::NextPush() {
  const auto& pushes = options_.scenario->Pushes();
  if (pushes.empty()) return {};
  const LuxPushItem& item = pushes[next_push_ % pushes.size()];
  ++next_push_;
  const host::DateTime now = options_.serverTime();
  const std::string id = fmt::format("P{}{:05}", now.Yyyymmdd(), ++pushes_made_);
  const std::vector<host::TLuxIndicator> indicators{{2001, {id}},
                                                    {kCodesField, SplitList(item.codes, ',')},
                                                    {2005, {item.codes}},
                                                    {2007, {item.title}},
                                                    {2008, {now.ToString()}},
                                                    {2009, {item.source}},
                                                    {2010, {"http://news.kora.example/snap/view.php?id=" + id}},
                                                    {2011, {item.channel}},
                                                    {kLiveField, {item.live}}};
  host::MemoryStream record;
  host::EncodeLuxPublishRecord(indicators, record);
  return {item, std::string(record.AsStringView())};
}

void SimLuxClient::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    const host::Clock::time_point now = options_.clock->Now();
    auto due = std::min_element(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
      return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    if (due != events_.end() && due->due <= now) {
      Event event = std::move(*due);
      events_.erase(due);
      if (event.kind == Event::Kind::kReply) {
        // Answered: the request's time-out notice is not due any more.
        std::erase_if(events_,
                      [&](const Event& e) { return e.kind == Event::Kind::kTimeout && e.serial == event.serial; });
      }
      if (event.kind == Event::Kind::kConnect) {
        connected_ = true;
        progress_.notify_all();
        continue;
      }
      lock.unlock();
      Deliver(event);
      lock.lock();
      ++delivered_;
      progress_.notify_all();
      continue;
    }
    if (options_.pushInterval.count() > 0 && now >= next_push_due_) {
      next_push_due_ = now + options_.pushInterval;
      Schedule(now, Event::Kind::kPush);
      continue;
    }
    wake_.wait_for(lock, options_.poll);
  }
}

void SimLuxClient::Deliver(const Event& event) {
  if (event.kind == Event::Kind::kPush) {
    std::pair<LuxPushItem, std::string> push;
    {
      std::lock_guard lock(mutex_);
      push = NextPush();
    }
    const LuxPushItem& item = push.first;
    const std::string& record = push.second;
    if (record.empty()) return;
    const std::vector<std::string> codes = SplitList(item.codes, ',');
    subscriber_->Publish(
        [&](const SimLuxSubscriber::TopicState& topic) {
          if (auto it = topic.conditions.find(kCodesField); it != topic.conditions.end() && !it->second.empty()) {
            const bool any = std::any_of(codes.begin(), codes.end(), [&](const std::string& code) {
              return std::find(it->second.begin(), it->second.end(), code) != it->second.end();
            });
            if (!any) return false;
          }
          if (auto it = topic.conditions.find(kLiveField); it != topic.conditions.end() && !it->second.empty()) {
            if (std::find(it->second.begin(), it->second.end(), item.live) == it->second.end()) return false;
          }
          return true;
        },
        record);
    return;
  }
  host::TLuxResponseHandler own;
  {
    std::lock_guard lock(mutex_);
    if (auto it = request_handlers_.find(event.serial); it != request_handlers_.end()) {
      own = std::move(it->second);
      request_handlers_.erase(it);
    }
  }
  std::lock_guard lock(handler_mutex_);
  if (own) {
    own(event.message);
  } else if (handler_) {
    handler_(this, event.message);
  }
}

}  // namespace kdp::minihost
