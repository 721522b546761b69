#include "recording_speed.h"

#include <map>
#include <mutex>

namespace kdp::replay {
namespace {

using Core = RecordingSpeed::Core;

Record MakeRecord(RecordKind kind, std::uint32_t request) {
  Record record;
  record.kind = kind;
  record.request = request;
  return record;
}

// Keeps a copy of the values set, since a parameter set cannot list its keys.
class RecordingParamSet final : public host::Implements<host::IParamSerialSet> {
 public:
  RecordingParamSet(int command, std::shared_ptr<host::IParamSerialSet> inner)
      : command_(command), inner_(std::move(inner)) {}

  std::string GetValue(const std::string& key) override { return inner_->GetValue(key); }
  void SetValue(const std::string& key, const std::string& value) override {
    {
      std::lock_guard lock(mutex_);
      values_[key] = value;
    }
    inner_->SetValue(key, value);
  }
  void Reset() override {
    {
      std::lock_guard lock(mutex_);
      values_.clear();
    }
    inner_->Reset();
  }

  int Command() const { return command_; }
  const std::shared_ptr<host::IParamSerialSet>& Inner() const { return inner_; }
  std::map<std::string, std::string> Values() {
    std::lock_guard lock(mutex_);
    return values_;
  }

 private:
  const int command_;
  const std::shared_ptr<host::IParamSerialSet> inner_;
  std::mutex mutex_;  // guards values_
  std::map<std::string, std::string> values_;
};

class RecordingGroup final : public host::Implements<host::ISpeedDataRequestGroup> {
 public:
  explicit RecordingGroup(std::shared_ptr<host::ISpeedDataRequestGroup> inner) : inner_(std::move(inner)) {}
  int Send() override { return inner_->Send(); }
  const std::shared_ptr<host::ISpeedDataRequestGroup>& Inner() const { return inner_; }

 private:
  const std::shared_ptr<host::ISpeedDataRequestGroup> inner_;
};

class RecordingObserver final : public host::Implements<host::IObserver> {
 public:
  RecordingObserver(std::shared_ptr<host::IObserver> inner, std::shared_ptr<Core> core, std::uint32_t number)
      : inner_(std::move(inner)), core_(std::move(core)), number_(number) {}

  int SaveQuoteData(const std::shared_ptr<host::IDataSet>& data) override {
    Data(RecordKind::kQuotes, data);
    return inner_->SaveQuoteData(data);
  }
  int SetData(const std::shared_ptr<host::IDataSet>& data) override {
    Data(RecordKind::kHistoryData, data);
    return inner_->SetData(data);
  }
  int NotifyReqResponse(int errCode, int returnID, int cmdID) override {
    Record record = MakeRecord(RecordKind::kResponse, number_);
    record.numbers = {errCode, returnID, cmdID};
    core_->Append(std::move(record));
    return inner_->NotifyReqResponse(errCode, returnID, cmdID);
  }
  const void* GetQEStatus() override { return inner_->GetQEStatus(); }
  int NotifyHisData(int a, int b) override {
    Record record = MakeRecord(RecordKind::kHisData, number_);
    record.numbers = {a, b, 0};
    core_->Append(std::move(record));
    return inner_->NotifyHisData(a, b);
  }

 private:
  void Data(RecordKind kind, const std::shared_ptr<host::IDataSet>& data) {
    Record record = MakeRecord(kind, number_);
    record.data = data;
    core_->Append(std::move(record));
  }

  const std::shared_ptr<host::IObserver> inner_;
  const std::shared_ptr<Core> core_;
  const std::uint32_t number_;
};

class RecordingRequest final : public host::Implements<host::ISpeedDataRequest> {
 public:
  RecordingRequest(std::shared_ptr<host::ISpeedDataRequest> inner, std::shared_ptr<Core> core, std::uint32_t number)
      : inner_(std::move(inner)), core_(std::move(core)), number_(number) {}

  int Subscribe(const host::TKrSpeedSymbolDataList& symbols) override {
    Record record = MakeRecord(RecordKind::kSubscribe, number_);
    record.symbols = symbols;
    core_->Append(std::move(record));
    return inner_->Subscribe(symbols);
  }
  int UnSubscribe() override {
    core_->Append(MakeRecord(RecordKind::kUnsubscribe, number_));
    return inner_->UnSubscribe();
  }
  int GetParamSerialSet(int commandID, std::shared_ptr<host::IParamSerialSet>& paramSet) override {
    std::shared_ptr<host::IParamSerialSet> inner;
    const int answer = inner_->GetParamSerialSet(commandID, inner);
    if (answer != 0 && inner) paramSet = std::make_shared<RecordingParamSet>(commandID, std::move(inner));
    return answer;
  }
  int Request(const std::shared_ptr<host::IParamSerialSet>& paramSet,
              const std::shared_ptr<host::ISpeedDataRequestGroup>& group) override {
    auto recorded = std::dynamic_pointer_cast<RecordingParamSet>(paramSet);
    auto recordedGroup = std::dynamic_pointer_cast<RecordingGroup>(group);
    if (recorded) {
      Record record = MakeRecord(RecordKind::kRequest, number_);
      record.numbers[0] = recorded->Command();
      record.params = recorded->Values();
      core_->Append(std::move(record));
    }
    return inner_->Request(recorded ? recorded->Inner() : paramSet, recordedGroup ? recordedGroup->Inner() : group);
  }

 private:
  const std::shared_ptr<host::ISpeedDataRequest> inner_;
  const std::shared_ptr<Core> core_;
  const std::uint32_t number_;
};

class RecordingCallBack final : public host::Implements<host::ICallBack> {
 public:
  RecordingCallBack(std::shared_ptr<host::ICallBack> inner, std::shared_ptr<Core> core)
      : inner_(std::move(inner)), core_(std::move(core)) {}

  std::shared_ptr<host::IConfig> GetIConfig() override { return inner_->GetIConfig(); }
  int NotifyConnect(int code) override {
    Notice(RecordKind::kConnect, code);
    return inner_->NotifyConnect(code);
  }
  int NotifyLEDChange(int status) override {
    Notice(RecordKind::kLedChange, status);
    return inner_->NotifyLEDChange(status);
  }

 private:
  void Notice(RecordKind kind, int value) {
    Record record = MakeRecord(kind, 0);
    record.numbers[0] = value;
    core_->Append(std::move(record));
  }

  const std::shared_ptr<host::ICallBack> inner_;
  const std::shared_ptr<Core> core_;
};

}  // namespace

void RecordingSpeed::Core::Append(Record record) {
  record.serverTime = server_time_();
  writer_->Append(record);
}

RecordingSpeed::RecordingSpeed(std::shared_ptr<host::ISpeed> engine, std::shared_ptr<RecordingWriter> writer,
                               std::function<host::DateTime()> serverTime)
    : engine_(std::move(engine)), core_(std::make_shared<Core>(std::move(writer), std::move(serverTime))) {}

std::shared_ptr<host::ISpeedDataRequest> RecordingSpeed::CreateDataRequest(
    const std::shared_ptr<host::IObserver>& observer) {
  if (!observer) return engine_->CreateDataRequest(observer);
  const std::uint32_t number = core_->NextRequestNumber();
  auto request = engine_->CreateDataRequest(std::make_shared<RecordingObserver>(observer, core_, number));
  if (!request) return nullptr;
  return std::make_shared<RecordingRequest>(std::move(request), core_, number);
}

void RecordingSpeed::SetCallBack(const std::shared_ptr<host::ICallBack>& callback) {
  engine_->SetCallBack(callback ? std::make_shared<RecordingCallBack>(callback, core_) : nullptr);
}

int RecordingSpeed::QueryMarketInfo(int kind, const std::string& argument, host::TMarketInfoBuffer& buffer) {
  return engine_->QueryMarketInfo(kind, argument, buffer);
}

void RecordingSpeed::FreeMarketInfo(int kind, host::TMarketInfoBuffer& buffer) {
  engine_->FreeMarketInfo(kind, buffer);
}

std::shared_ptr<host::ISpeedDataRequestGroup> RecordingSpeed::CreateDataRequestGroup() {
  auto group = engine_->CreateDataRequestGroup();
  return group ? std::make_shared<RecordingGroup>(std::move(group)) : nullptr;
}

}  // namespace kdp::replay
