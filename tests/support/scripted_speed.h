// ScriptedSpeed: a quote engine for tests that hands its observers to the test, so replies can be
// delivered exactly as a test wants them, and keeps every subscription it was sent. It hands out
// parameter sets for the commands it is given and answers every request with a fixed PID; it has no
// market and no groups. Main thread only, except that a test may deliver replies from any thread.
// QuotePush builds the quote data set a test delivers to an observer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kdp/host/data_table.h"
#include "kdp/host/param_serial_set.h"
#include "kdp/host/reply_packet.h"
#include "kdp/host/speed.h"

namespace kdp::testing {

// One security's row of a quote push: numbers and texts by field ID, in column order.
struct QuoteRow {
  std::string code;
  std::vector<std::pair<std::uint32_t, double>> numbers;
  std::vector<std::pair<std::uint32_t, std::string>> texts;  // in the engine's code page
};

// The engine's packet around a quote push's body: a header with "CmdID" 3070, then the body.
inline std::shared_ptr<host::IDataSet> QuotePacket(std::shared_ptr<host::IDataSet> body) {
  return host::MakeReplyPacket({{"CmdID", host::kQuotePushCommand}}, std::move(body));
}

// A quote push of one packet, laid out as the engine lays it out.
inline std::shared_ptr<host::IDataSet> QuotePush(const std::vector<QuoteRow>& rows) {
  auto body = host::MakeQuoteBody();
  std::shared_ptr<host::TDataTable> previous;
  for (const QuoteRow& row : rows) {
    auto values = std::make_shared<host::TDataTable>();
    values->AddRow();
    for (const auto& [id, number] : row.numbers) values->Set(0, values->AddField(std::to_string(id), "double"), number);
    for (const auto& [id, text] : row.texts) values->Set(0, values->AddField(std::to_string(id), "string"), text);
    if (previous) values->ShareFieldsWith(*previous);  // as an engine decoding rows of one layout does
    host::AddQuoteBodyRow(*body, row.code, values);
    previous = std::move(values);
  }
  return QuotePacket(body);
}

// A history reply for `code`: a header of "CmdID" 3001, "PID" 42 and "koracode", and a body of `rows`
// closing prices 10, 11, ...
inline std::shared_ptr<host::IDataSet> HistoryReply(const std::string& code, int rows) {
  auto header = std::make_shared<host::TDataTable>();
  header->AddField("CmdID", "int");
  header->AddField("PID", "int");
  header->AddField("koracode", "string");
  header->AddRow();
  header->Set(0, 0, 3001);
  header->Set(0, 1, 42);
  header->Set(0, 2, code);
  auto body = std::make_shared<host::TDataTable>();
  body->AddField("Close", "double");
  for (int i = 0; i < rows; ++i) body->Set(body->AddRow(), 0, 10.0 + i);
  auto reply = std::make_shared<host::TDataTable>();
  reply->AddField("Header", "dataset");
  reply->AddField("Body", "dataset");
  reply->AddRow();
  reply->Set(0, 0, std::shared_ptr<host::IDataSet>(header));
  reply->Set(0, 1, std::shared_ptr<host::IDataSet>(body));
  return reply;
}

class ScriptedSpeed final : public host::Implements<host::ISpeed> {
 public:
  explicit ScriptedSpeed(std::set<int> commands = {}) : commands_(std::move(commands)) {}

  std::shared_ptr<host::ISpeedDataRequest> CreateDataRequest(const std::shared_ptr<host::IObserver>& o) override {
    observers.push_back(o);
    return std::make_shared<ScriptedRequest>(commands_, subscriptions_);
  }
  void SetCallBack(const std::shared_ptr<host::ICallBack>&) override {}
  int QueryMarketInfo(int, const std::string&, host::TMarketInfoBuffer&) override { return -1; }
  void FreeMarketInfo(int, host::TMarketInfoBuffer&) override {}
  std::shared_ptr<host::ISpeedDataRequestGroup> CreateDataRequestGroup() override { return nullptr; }

  // Every observer a data request was created for, in order.
  std::vector<std::shared_ptr<host::IObserver>> observers;
  // Every subscription any of its requests was sent, in order.
  const std::vector<host::TKrSpeedSymbolDataList>& Subscriptions() const { return *subscriptions_; }
  static constexpr int kPid = 77;

 private:
  class ScriptedRequest final : public host::Implements<host::ISpeedDataRequest> {
   public:
    ScriptedRequest(std::set<int> commands, std::shared_ptr<std::vector<host::TKrSpeedSymbolDataList>> subscriptions)
        : commands_(std::move(commands)), subscriptions_(std::move(subscriptions)) {}
    int Subscribe(const host::TKrSpeedSymbolDataList& symbols) override {
      subscriptions_->push_back(symbols);
      return 0;
    }
    int UnSubscribe() override { return 0; }
    int GetParamSerialSet(int command, std::shared_ptr<host::IParamSerialSet>& set) override {
      if (!commands_.contains(command)) return 0;
      set = std::make_shared<host::TParamSerialSet>(command);
      return 1;
    }
    int Request(const std::shared_ptr<host::IParamSerialSet>&,
                const std::shared_ptr<host::ISpeedDataRequestGroup>&) override {
      return kPid;
    }

   private:
    std::set<int> commands_;
    std::shared_ptr<std::vector<host::TKrSpeedSymbolDataList>> subscriptions_;
  };

  std::set<int> commands_;
  std::shared_ptr<std::vector<host::TKrSpeedSymbolDataList>> subscriptions_ =
      std::make_shared<std::vector<host::TKrSpeedSymbolDataList>>();
};

}  // namespace kdp::testing
