// A history play for the RTD tests: it records what is played and dropped, numbers its registrations from
// 7 on, and answers field `id` of play type `type` with id * 100 + type, a text "<code>#<id>" and the
// integer id.
#pragma once

#include <string>
#include <vector>

#include "kdp/rtd/rtd_item.h"

namespace kdp::testing {

class RecordingPlay final : public host::Implements<IKrHisPlayDataProvider> {
 public:
  int RegisterNotify(NotifyCallback cb) override {
    notify = std::move(cb);
    return next_id++;
  }
  double GetPlayDateTime() override { return 0; }
  void Play(const std::string& codes, int id, int type) override {
    played.push_back(codes + "/" + std::to_string(id) + "/" + std::to_string(type));
  }
  void Drop(int id) override { dropped.push_back(id); }
  double GetDoubleValue(std::uint32_t id, const std::string&, int type) override { return id * 100.0 + type; }
  std::string GetStringValue(std::uint32_t id, const std::string& code, int) override {
    return code + "#" + std::to_string(id);
  }
  std::int32_t GetIntValue(std::uint32_t id, const std::string&, int) override { return static_cast<std::int32_t>(id); }

  NotifyCallback notify;
  int next_id = 7;
  std::vector<std::string> played;
  std::vector<int> dropped;
};

}  // namespace kdp::testing
