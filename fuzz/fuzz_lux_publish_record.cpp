// Pushed news records: any bytes through the news processor's push parser. A record that decodes gives
// exactly one row; one that does not gives none and a log line; nothing throws.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "kdp/host/host_environment.h"
#include "kdp/host/lux.h"
#include "lux/lux_news_processor.h"
#include "lux_fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kdp::fuzzing::NoticeCountingHost host;
  kdp::host::InstallHostEnvironment(&host);
  static kdp::TKrLuxNewsDataProcessor processor;

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kdp::host::MemoryStream oracle(bytes);
  std::vector<kdp::host::TLuxIndicator> indicators;
  const bool decodes = kdp::host::DecodeLuxPublishRecord(oracle, indicators);

  host.notices = 0;
  kdp::host::MemoryStream record(bytes);
  const bool parsed = processor.ProcessPublishMsg(record);
  const int rows = processor.GetAnalyseLuxData()->GetRowCount();
  if (parsed != decodes || rows != (decodes ? 1 : 0)) std::abort();
  if (!decodes && host.notices == 0) std::abort();

  if (decodes) {
    // Decoding what was encoded gives the same indicators.
    kdp::host::MemoryStream again;
    kdp::host::EncodeLuxPublishRecord(indicators, again);
    again.SetPosition(0);
    std::vector<kdp::host::TLuxIndicator> twice;
    if (!kdp::host::DecodeLuxPublishRecord(again, twice) || twice != indicators) std::abort();
  }
  return 0;
}
