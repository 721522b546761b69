// Services that the host context's provider answers besides IComm: the framework log and the
// multi-language service. Other names the package may ask the context for (sector management, framework
// events, Lux broadcasts, screens) are host features a host may not offer; the package then gets nullptr.
#pragma once

#include <string>
#include <string_view>

#include "kdp/host/interface.h"

namespace kdp::host {

class IBaseLog : public virtual IInterface {
 public:
  static constexpr Guid IID = "7D78F1C4-8CE0-425B-8CD5-D06977EC0A70";
  virtual void WriteLog(std::string_view message, std::string_view source, int level) = 0;
};

class IKrMultiLanguage : public virtual IInterface {
 public:
  static constexpr Guid IID = "01621572-B53A-4729-BBB0-FED157A49E5F";
  virtual std::string GetLanguage() = 0;  // "CHS", "CHT", "ENG"
};

}  // namespace kdp::host
