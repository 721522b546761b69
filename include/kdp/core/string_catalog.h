// The string catalogue the package publishes: language texts by number (message boxes, captions, the unit
// words of number formats). Main thread only.
#pragma once

#include <string>

#include "kdp/host/interface.h"

namespace kdp {

// Language texts by number: the message boxes and captions the package shows.
class IHQStrCatch : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "9ABC9A1D-571E-40D1-AA85-D015A27417CC";
  // The text numbered `id` in the current language, or `defaultText` when the catalogue has none.
  virtual std::string GetLanguageStrDef(int id, const std::string& defaultText) = 0;
};

}  // namespace kdp
