// The CSV reference tables' loaders on any file content: bad records are skipped or end the load, and
// every look-up afterwards answers safely.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "refdata/currency_manager.h"
#include "refdata/fund_management_company.h"
#include "refdata/index_sectors.h"
#include "refdata/related_symbol.h"
#include "refdata/security_basic_manager.h"
#include "refdata/warrant_manager.h"

namespace {

const std::string& ScratchFile() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kdp-fuzz-table-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    return pattern;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = ScratchFile();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  // Codes to ask for: the first field of every line, as the file has it.
  std::vector<std::string> codes{"", "600000.SH"};
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (std::size_t start = 0; start < text.size() && codes.size() < 64;) {
    const std::size_t end = text.find('\n', start);
    codes.push_back(text.substr(start, text.find(',', start) < end ? text.find(',', start) - start : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }

  kdp::TkrWarrantManager warrants(path);
  kdp::TkrSecurityBasicManager basics(path);
  kdp::TkrCurrencyManager currencies(path);
  kdp::TKrIndexSectors sectors(path, nullptr);
  kdp::THQFundManagementCompanyImpl companies(path);
  kdp::TKrRelatedSymbol related(path, path);
  std::vector<std::string> list;
  for (const std::string& code : codes) {
    if (auto w = warrants.GetItemByCode(code)) w->GetMemo();
    if (auto b = basics.GetSecurityBasic(code)) b->GetLatestAnnualReportYear();
    currencies.ConvertToCny(code, 1.5);
    sectors.GetIndexBySector(sectors.GetSectorByIndex(code));
    related.GetRelatedSymbol(code, 0, list);
    related.GetAllRelatedSymbol(code, list);
    related.GetAHRelateCode(code);
  }
  for (int i = -1; i <= related.GetAHKoraCodeCount(); ++i) related.GetAHKoraCodeByIndex("A", i);
  for (int i = 0; i <= static_cast<int>(companies.Count()) + 1; ++i) companies.GetFundCompany(i);
  return 0;
}
