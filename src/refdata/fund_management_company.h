// THQFundManagementCompanyImpl: fund management company names from "HQ\misc\FundManagementCompany.dat"
// under the configuration root, one name per line (code page 936, not split into fields); a company is
// asked for by its line number. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "kdp/refdata/reference_tables.h"

namespace kdp {

class THQFundManagementCompanyImpl final : public host::Implements<IFundManagementCompany> {
 public:
  THQFundManagementCompanyImpl();
  explicit THQFundManagementCompanyImpl(const std::string& path);

  std::string GetFundCompany(int index) override;
  std::size_t Count() const { return FLines.size(); }

  static std::string DefaultPath();

 private:
  std::vector<std::string> FLines;
};

}  // namespace kdp
