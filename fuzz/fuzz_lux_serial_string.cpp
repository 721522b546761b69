// The serial string of a Lux item: any bytes parse without a crash, and what an item writes reads back
// as the same item (a parsed item never holds a separator in a name or value, so its serial string is
// always faithful).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lux/lux_data_item.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kdp::TKrLuxDataItem item;
  item.SetSerialStr(text);

  int named = 0;
  for (std::size_t i = 0; i < item.Count(); ++i) {
    const std::string_view name = item.NameAt(i);
    const std::string_view value = item.ValueAt(i);
    for (std::string_view separator : {kdp::kLuxNameValueSeparator, kdp::kLuxPairSeparator}) {
      if (name.find(separator) != std::string_view::npos || value.find(separator) != std::string_view::npos) {
        std::abort();
      }
    }
    // Names are unique: each answers its own value.
    if (!name.empty() && item.FindIndexValue(name) != value) std::abort();
    named += !name.empty();
  }

  const std::string written = item.GetSerialStr();
  kdp::TKrLuxDataItem again;
  again.SetSerialStr(written);
  if (again.GetSerialStr() != written || static_cast<int>(again.Count()) != named) std::abort();
  if (written.size() > text.size()) std::abort();
  return 0;
}
