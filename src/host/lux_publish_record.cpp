// The pushed-record codec of the Lux subscriber.
#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"

namespace kdp::host {
namespace {

// The smallest encoding of an indicator (ID and value count) and of a value (its unit count).
constexpr std::size_t kIndicatorMinBytes = 8;
constexpr std::size_t kValueMinBytes = 4;

}  // namespace

bool DecodeLuxPublishRecord(MemoryStream& record, std::vector<TLuxIndicator>& indicators) {
  indicators.clear();
  TStreamSerializer in(record);
  std::uint32_t count = 0;
  if (!in.ReadLongWord(count) || count > record.Remaining() / kIndicatorMinBytes) return false;
  indicators.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    TLuxIndicator indicator;
    std::uint32_t values = 0;
    if (!in.ReadLongWord(indicator.FieldID) || !in.ReadLongWord(values) ||
        values > record.Remaining() / kValueMinBytes) {
      indicators.clear();
      return false;
    }
    indicator.Values.resize(values);
    for (std::string& value : indicator.Values) {
      if (!in.ReadString(value)) {
        indicators.clear();
        return false;
      }
    }
    indicators.push_back(std::move(indicator));
  }
  if (record.Remaining() != 0) {
    indicators.clear();
    return false;
  }
  return true;
}

void EncodeLuxPublishRecord(std::span<const TLuxIndicator> indicators, MemoryStream& record) {
  TStreamSerializer out(record);
  out.WriteLongWord(static_cast<std::uint32_t>(indicators.size()));
  for (const TLuxIndicator& indicator : indicators) {
    out.WriteLongWord(indicator.FieldID);
    out.WriteLongWord(static_cast<std::uint32_t>(indicator.Values.size()));
    for (const std::string& value : indicator.Values) out.WriteString(value);
  }
}

}  // namespace kdp::host
