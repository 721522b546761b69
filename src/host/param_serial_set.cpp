#include "kdp/host/param_serial_set.h"

namespace kdp::host {

std::string TParamSerialSet::GetValue(const std::string& key) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  return it == values_.end() ? std::string() : it->second;
}

void TParamSerialSet::SetValue(const std::string& key, const std::string& value) {
  std::lock_guard lock(mutex_);
  values_[key] = value;
}

void TParamSerialSet::Reset() {
  std::lock_guard lock(mutex_);
  values_.clear();
}

std::map<std::string, std::string> TParamSerialSet::Values() const {
  std::lock_guard lock(mutex_);
  return values_;
}

std::shared_ptr<TParamSerialSet> TParamSerialSet::Copy() const {
  auto copy = std::make_shared<TParamSerialSet>(command_);
  copy->values_ = Values();
  return copy;
}

}  // namespace kdp::host
