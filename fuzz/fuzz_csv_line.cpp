// The CSV line splitter of the reference files: any bytes split without a crash, exactly as the
// terminal's character-by-character state machine (written out plainly below) splits them, no field
// longer than the buffer allows, and a cut line logged once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/host_environment.h"
#include "kdp/host/main_loop.h"
#include "util/csv_file.h"

namespace {

int Units(unsigned char lead) {
  if ((lead & 0xC0) == 0x80) return 0;
  return lead >= 0xF0 ? 2 : 1;
}

// The splitting rules one character at a time.
std::vector<std::string> Reference(std::string_view line, int maxFieldLength, int& cuts) {
  std::vector<std::string> recs;
  std::string field;
  int written = 0, state = 0;
  const int limit = maxFieldLength - 1;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const int units = Units(static_cast<unsigned char>(c));
    if (units > 0 && written + units > limit) {
      ++cuts;
      break;
    }
    if (state == 0) {
      if (c == '"') {
        state = 1;
      } else if (c == ',') {
        recs.push_back(field);
        field.clear();
        written = 0;
      } else {
        field += c;
        written += units;
      }
    } else if (state == 1) {
      if (c == '"') {
        state = 2;
      } else {
        field += c;
        written += units;
      }
    } else if (c == ',') {
      recs.push_back(field);
      field.clear();
      written = 0;
      state = 0;
    } else if (c == '"') {
      field += '"';
      written += 1;
      state = 1;
    } else {
      while (i + 1 < line.size() && Units(static_cast<unsigned char>(line[i + 1])) == 0) ++i;
      state = 0;
    }
  }
  recs.push_back(field);
  return recs;
}

// Counts the "数组越界" lines the splitter writes.
class CountingHost final : public kdp::host::IHostEnvironment {
 public:
  std::shared_ptr<kdp::host::IKrServiceProvider> ServiceProvider() override { return nullptr; }
  kdp::host::InterfacePtr QueryRegisteredService(const kdp::host::Guid&) override { return nullptr; }
  void Log(std::string_view message, std::string_view, int) override {
    if (message == "数组越界") ++cuts;
  }
  bool IsDetailedLogOn() const override { return false; }
  void FlushLog() override {}
  const kdp::host::HostPaths& Paths() const override { return paths_; }
  kdp::host::IMainLoop& Loop() override { std::abort(); }  // the splitter never needs the loop
  void ShowErrorMessage(std::string_view, std::string_view) override {}
  std::uint64_t SecuritiesRevision() const override { return 0; }

  int cuts = 0;

 private:
  kdp::host::HostPaths paths_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CountingHost host;
  kdp::host::InstallHostEnvironment(&host);
  if (size == 0) return 0;
  // The first byte picks the buffer length: the package's 255, or a small one that cuts often.
  const int maxFieldLength = data[0] % 2 == 0 ? 255 : 2 + data[0] % 40;
  const std::string_view line(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::vector<std::string> recs{"stale", "fields"};
  host.cuts = 0;
  kdp::TCsvFile(maxFieldLength).CsvExtractStrings(line, recs);
  int expectedCuts = 0;
  const std::vector<std::string> expected = Reference(line, maxFieldLength, expectedCuts);
  if (recs != expected || host.cuts != expectedCuts) std::abort();
  for (const std::string& field : recs) {
    int units = 0;
    for (char c : field) units += Units(static_cast<unsigned char>(c));
    if (units > maxFieldLength - 1) std::abort();
  }
  return 0;
}
