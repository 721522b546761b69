// Report streams and "B1" replies arriving from report servers: every input is read as a stream, as a
// reply with a status byte, and as a "B1" frame. Reading either succeeds or stops with a message; what
// reads back is written again and must read back the same.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "kdp/host/kuds.h"

namespace {

using kdp::host::TKUDSResponse;
using kdp::host::TKUDSValue;
using kdp::host::TKUDSWriter;

void ReadAndRewrite(std::span<const std::uint8_t> bytes) {
  TKUDSResponse response;
  std::string error;
  if (!response.Decode(bytes, error)) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return;
  }
  const kdp::host::TKUDSReport* report = response.GetReport();
  if (report == nullptr) return;
  TKUDSWriter writer(report->GetName());
  for (int c = 0; c < report->GetColumnCount(); ++c)
    writer.AddColumn(report->GetColumn(c).name, report->GetColumn(c).type);
  for (int r = 0; r < report->GetRecordCount(); ++r) {
    std::vector<TKUDSValue> values;
    for (int c = 0; c < report->GetColumnCount(); ++c) values.push_back(report->GetValue(r, c));
    if (!writer.AddRecord(values)) __builtin_trap();  // every value read fits its column
  }
  TKUDSResponse again;
  const kdp::host::MemoryStream rewritten = writer.Finish(response.GetResult(), response.GetMessage());
  if (!again.Decode(rewritten.Bytes(), error) || again.GetReport() == nullptr ||
      again.GetReport()->GetRecordCount() != report->GetRecordCount() ||
      again.GetReport()->GetColumnCount() != report->GetColumnCount()) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  ReadAndRewrite(bytes);
  if (auto reply = kdp::host::SplitStatusByte(bytes)) ReadAndRewrite(reply->stream);
  kdp::host::MemoryStream kuds;
  std::string error;
  if (kdp::host::DecodeToKudsStream(bytes, kuds, error)) ReadAndRewrite(kuds.Bytes());
  return 0;
}
