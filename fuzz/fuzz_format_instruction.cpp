// Format instructions and the item formatting them: any text is an instruction (unknown ones included),
// any value is formatted; an unreadable number instruction may raise EHQFormatError, nothing else.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "format/format_item.h"
#include "format/format_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  double fuzzed = 0.0;
  if (size >= sizeof fuzzed) {
    std::memcpy(&fuzzed, data, sizeof fuzzed);
    data += sizeof fuzzed;
    size -= sizeof fuzzed;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  kdp::TKrHQFormatItem item;
  item.SetFormatText(text);
  item.SetUsePriceStep(size % 2 == 0);
  item.SetColors("RiseColor", "FallColor", "EqualColor", "DefaultColor");
  item.SetCompareTo(text.substr(0, 12));
  const double values[] = {
      fuzzed, 0.0, -1.5, 123456789.0, 20261204.0, 93005.0, 1e20, -1e-300, std::numeric_limits<double>::quiet_NaN()};
  for (double v : values) {
    try {
      item.CalcAndFormat(v);
      item.CalcAndFormat(v, std::string(text.substr(0, 3)), std::fabs(fuzzed) < 1e6 ? fuzzed : 0.01);
      item.CalcAndFormat(v, fuzzed);
      item.CalcAndFormat(v, true);
    } catch (const kdp::EHQFormatError&) {
      // an unreadable argument of a number instruction
    }
    item.GetColorName(v, fuzzed, false);
    item.GetDoubleFormatColorName(v, [&](const std::string&) { return fuzzed; });
  }
  item.FormatSpecString(text);
  item.IsOnlyShowYearMonth();
  kdp::PriceStepDecimals(fuzzed);
  std::string keyword, arguments;
  kdp::ParseFormatFast(text, keyword, arguments);
  return 0;
}
