// The Lux data manager's reply path against parsing alone, interleaved reply by reply (see lux_bench.cpp):
// 10,000 history replies of 20 news items each, for 400 sectors paged forward 25 times (so every store
// ends at its 500 rows), each reply matched to its request by serial number, parsed by the request's
// processor, posted to the dispatch window, stored in the sector's store, read back through the news
// strategy and delivered to the widget's observer; against the same bytes through a processor's
// ProcessRpMsg alone. Requests are sent and replies written outside the timed parts; the client is an
// inline one, so the measured thread does the client's work too.

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench_host.h"
#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "lux/lux_data_manager.h"
#include "lux/lux_news_processor.h"
#include "lux_scenario.h"
#include "paired_timing.h"

namespace {

using namespace kdp;

constexpr int kReplies = 10'000;
constexpr int kSectors = 400;
constexpr int kItemsPerPage = 20;

using kdp::bench::ThreadCpuMicros;

// A subscriber that takes every topic.
class InlineSubscriber final : public host::Implements<host::IBaseLuxSubscriber> {
 public:
  int AddTopic() override { return ++topics_; }
  bool SetTopicPublishHandler(int, host::TLuxPublishHandler) override { return true; }
  bool AddTopicCondition(int, std::uint32_t, std::string_view) override { return true; }
  bool AddTopicConditionList(int, std::uint32_t, std::string_view, char) override { return true; }
  bool AddTopicIndexParam(int, std::string_view, std::string_view) override { return true; }
  bool SubscribeTopic(int) override { return true; }
  bool UnSubscribeTopic(int) override { return true; }

 private:
  int topics_ = 0;
};

// A client that numbers requests and delivers replies when the benchmark hands them over.
class InlineLuxClient final : public host::Implements<host::IBaseLuxClient> {
 public:
  bool IsConnected() override { return true; }
  int RegisterSubscriber(int) override { return 1; }
  std::shared_ptr<host::IBaseLuxSubscriber> GetSubscriber(int) override { return subscriber_; }
  void SetOnMessageNotify(host::TLuxMessageNotify handler) override { handler_ = std::move(handler); }
  void RemoveOnMessageNotify() override { handler_ = nullptr; }
  bool SendRequest(host::TBaseLuxRequestMessage& message) override { return Send(message); }
  bool SendRequestAsync(host::TBaseLuxRequestMessage& message, int) override { return Send(message); }

  void Deliver(const std::shared_ptr<host::TBaseLuxMessage>& reply) {
    if (handler_) handler_(this, reply);
  }
  std::int32_t LastSerial() const { return serial_; }
  std::uint32_t LastCommandWord() const { return word_; }

 private:
  bool Send(host::TBaseLuxRequestMessage& message) {
    message.SetSerialNumber(++serial_);
    word_ = message.GetCommandWord();
    return true;
  }

  std::shared_ptr<InlineSubscriber> subscriber_ = std::make_shared<InlineSubscriber>();
  host::TLuxMessageNotify handler_;
  std::int32_t serial_ = 0;
  std::uint32_t word_ = 0;
};

class CountingObserver final : public host::Implements<IKrLuxDataNotifyObserver> {
 public:
  void OnDataNotify(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo&) override {
    rows += table ? table->GetRowCount() : 0;
    ++deliveries;
  }
  void OnRawMsgDataNotify(std::int32_t, const host::TMessageProperty&, const TRawMsgData&) override {}
  int deliveries = 0;
  long rows = 0;
};

// The bytes of a reply as the client receives them.
std::vector<std::uint8_t> ReplyBytes(std::int32_t serial, const std::string& body) {
  host::TBaseMessage reply;
  reply.Header().MessageKind = 2;
  reply.SetSerialNumber(serial);
  reply.MessageBody().Write(body.data(), body.size());
  host::MemoryStream wire;
  reply.Serialize(wire);
  return {wire.Bytes().begin(), wire.Bytes().end()};
}

// Page `page` of a sector: 20 news items with IDs of their own.
std::string NewsPage(int sector, int page) {
  std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<response code=\"0\"><total>500</total><result>\n";
  for (int i = 0; i < kItemsPerPage; ++i) {
    const int n = page * kItemsPerPage + i;
    s += fmt::format(
        "<item><id>S{:03}N{:04}</id><title>银行板块午后走强 第{}条快讯</title><date>2026-12-04 {:02}:{:02}:00</date>"
        "<snap>http://news.kora.example/snap/view.php?id=S{:03}N{:04}&amp;src=kora</snap><channel>{}</channel>"
        "<sitename>证券时报网</sitename><keyword>600000.SH,600036.SH</keyword>"
        "<sentence koracode=\"[600000.SH,浦发银行]\" section=\"[337012,融资动态]\">拟发行金融债券</sentence></item>\n",
        sector, n, n, 15 - n / 60 % 6, 59 - n % 60, sector, n, n % 8);
  }
  return minihost::PrefixedBody(s + "</result></response>\n");
}

void BM_ManagerReplyPathAgainstParsing(benchmark::State& state) {
  minihost::MiniHost& host = bench::BenchHost();
  for (auto _ : state) {
    state.PauseTiming();
    auto client = std::make_shared<InlineLuxClient>();
    host.Context().SetLuxClient(client);
    auto manager = std::make_shared<TKrLuxDataManager>();
    client->Deliver(std::make_shared<host::TBaseLuxMessage>(
        ReplyBytes(client->LastSerial(), minihost::AuthorityBody({"1", "3", "7"})), client->LastSerial(),
        host::mpNormal));
    host.Loop().RunUntilIdle();
    if (manager->GetAuthList().empty()) state.SkipWithError("no authority list");

    auto observer = std::make_shared<CountingObserver>();
    auto widget = manager->GetLuxNewsRequest(observer);
    std::vector<ReqInfoPtr> sectors;
    std::vector<std::string> lastID(kSectors, "0");
    for (int s = 0; s < kSectors; ++s) {
      sectors.push_back(manager->GetLuxDataReqInfo("NEWS_STOCK", LDRTGet));
      sectors.back()->SetIndexValue("koracode", "600000.SH");
      sectors.back()->SetIndexValue("uniquetag", fmt::format("BENCH{:03}", s));
    }
    TKrLuxNewsDataProcessor alone;
    alone.SetIndexValue("koracode", "600000.SH");

    double parseMicros = 0, pathMicros = 0;
    for (int r = 0; r < kReplies; ++r) {
      const int s = r % kSectors;
      const int page = r / kSectors;
      sectors[s]->SetIndexValue("startid", lastID[s]);
      const std::int32_t serial = widget->GetHisData(sectors[s]);
      if (serial <= 0) {
        state.SkipWithError("a page was not asked for");
        break;
      }
      const std::vector<std::uint8_t> bytes = ReplyBytes(serial, NewsPage(s, page));
      auto reply = std::make_shared<host::TBaseLuxMessage>(bytes, serial, host::mpNormal);
      host::TBaseLuxMessage same(bytes, serial, host::mpNormal);
      const int before = observer->deliveries;

      const double t0 = ThreadCpuMicros();
      alone.ProcessRpMsg(same);
      benchmark::DoNotOptimize(alone.GetAnalyseLuxData());
      const double t1 = ThreadCpuMicros();
      client->Deliver(reply);
      host.Loop().RunUntilIdle();
      const double t2 = ThreadCpuMicros();
      parseMicros += t1 - t0;
      pathMicros += t2 - t1;

      if (observer->deliveries != before + 1) {
        state.SkipWithError("a reply did not reach the widget");
        break;
      }
      lastID[s] = fmt::format("S{:03}N{:04}", s, page * kItemsPerPage + kItemsPerPage - 1);
    }
    state.counters["parse_us"] = parseMicros / kReplies;
    state.counters["path_us"] = pathMicros / kReplies;
    state.counters["ratio"] = pathMicros / parseMicros;
    state.counters["rows_delivered"] = static_cast<double>(observer->rows);
    widget.reset();
    manager.reset();
    host.Context().SetLuxClient(nullptr);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ManagerReplyPathAgainstParsing)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
