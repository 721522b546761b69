// The reminder file reader on any bytes: it reads a file whole or refuses it with a reason, and whatever it
// reads is written back to a text it reads again to the same reminders (and the same text).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kdp/alerts/price_alert.h"
#include "kdp/alerts/remind_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kdp::TKrRemindList reminds;
  std::string error;
  if (!kdp::TKrRemindFile::ParseReminds(bytes, reminds, error)) {
    if (error.empty() || !reminds.empty()) std::abort();  // a refusal says why and keeps nothing
    return 0;
  }
  std::vector<kdp::TKrConditionsRemindBase*> raw;
  for (const auto& remind : reminds) {
    raw.push_back(remind.get());
    (void)remind->GetTriggerConditionDesc();
    (void)remind->GetSymbolDataDyn();
  }
  for (const kdp::TKrPriceAlert& alert : kdp::TKrPriceAlert::FromReminds(raw)) (void)alert.ToJSonStr();

  const std::string written = kdp::TKrRemindFile::FormatReminds(reminds);
  kdp::TKrRemindList again;
  if (!kdp::TKrRemindFile::ParseReminds(written, again, error)) std::abort();
  if (again.size() != reminds.size() || kdp::TKrRemindFile::FormatReminds(again) != written) std::abort();
  return 0;
}
