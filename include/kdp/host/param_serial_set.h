// TParamSerialSet: the parameter set a quote engine hands out for a history command. It remembers the
// command it was made for and lets the engine read every value back (a caller only sets them). Locked:
// a widget fills it on the main thread while the engine may read it on its own.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "kdp/host/speed.h"

namespace kdp::host {

class TParamSerialSet final : public Implements<IParamSerialSet> {
 public:
  explicit TParamSerialSet(int command) : command_(command) {}

  std::string GetValue(const std::string& key) override;
  void SetValue(const std::string& key, const std::string& value) override;
  void Reset() override;

  int Command() const { return command_; }
  std::map<std::string, std::string> Values() const;
  // A set of the same command and values, which later changes to this one leave alone.
  std::shared_ptr<TParamSerialSet> Copy() const;

 private:
  const int command_;
  mutable std::mutex mutex_;  // guards values_
  std::map<std::string, std::string> values_;
};

}  // namespace kdp::host
