// IRTDFormatItem: the display texts and colours of one real-time item's fields, by field name, through the
// format manager's format items for the item's security. The RTD model keeps one per security and points
// it at the current item. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kdp/ui/ui_resources.h"
#include "kdp/host/interface.h"

namespace kdp {

class IRTDItem;

class IRTDFormatItem : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "5E6BB688-D5FF-4134-AD38-83A6F0A6914B";
  // The field's display text: "" for a null field; "-" for an empty value when `checkNull` is set.
  virtual std::string GetFormatValueByName(const std::string& name, bool checkNull) = 0;
  // A date (yyyymmdd) or time (hhmmss) field as its format item shows it.
  virtual std::string GetDateTimeFormatValueByName(const std::string& name, bool checkNull) = 0;
  // The field's colour in `style` (the current style when null); 0 for a null field or without a format.
  virtual std::uint32_t GetFormatColorByName(const std::string& name, bool checkNull,
                                             const std::shared_ptr<IKrHQStyle>& style) = 0;
  // The same colour by its style name ("RiseColor", ...); "" when there is none.
  virtual std::string GetFormatColorNameByName(const std::string& name, bool checkNull) = 0;
  // Points the format item at another real-time item of the same security kind.
  virtual void ResetRTDItem(std::shared_ptr<IRTDItem> item) = 0;
};

// A format item for `item`.
std::shared_ptr<IRTDFormatItem> CreateRTDFormatItem(std::shared_ptr<IRTDItem> item);

}  // namespace kdp
