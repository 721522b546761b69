#include "refdata/fund_management_company.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kdp/host/ansi.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "THQFundManagementCompanyImpl";

}  // namespace

std::string THQFundManagementCompanyImpl::DefaultPath() {
  return host::GetEtcPath() + "HQ/misc/FundManagementCompany.dat";
}

THQFundManagementCompanyImpl::THQFundManagementCompanyImpl() : THQFundManagementCompanyImpl(DefaultPath()) {}

THQFundManagementCompanyImpl::THQFundManagementCompanyImpl(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    host::AddHQLog("not FileExists: " + path, kLogSource, host::LogSeverity::kError);
    return;
  }
  std::ifstream in(path, std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    host::AddHQLog("Open File Error: " + path, kLogSource, host::LogSeverity::kError);
    return;
  }
  // Lines end with CR LF, LF or CR; a final line break does not start another line.
  const std::string text = host::AnsiToUtf8(raw);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    FLines.emplace_back(text, start, end - start);
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
}

std::string THQFundManagementCompanyImpl::GetFundCompany(int index) {
  if (index < 1 || static_cast<std::size_t>(index) > FLines.size()) return {};
  return FLines[static_cast<std::size_t>(index) - 1];
}

}  // namespace kdp
