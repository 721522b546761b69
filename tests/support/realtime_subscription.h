// Subscriptions as widgets make them: codes of the stand-in host's security master, each with the same
// fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kdp/rtd/rtd_item.h"
#include "test_host.h"

namespace kdp::testing {

inline TKrRealTimeParamStructure Subscription(const std::vector<std::string>& codes,
                                              const std::vector<std::uint32_t>& ids) {
  TKrRealTimeParamStructure params(static_cast<int>(codes.size()));
  for (int i = 0; i < params.GetCount(); ++i) {
    params.SetKoraCode(i, codes[static_cast<std::size_t>(i)]);
    params.SetItemArray(i, ids);
  }
  return params;
}

// The first `n` codes of the host's security master, or all of them when it holds fewer.
inline std::vector<std::string> FirstCodes(TestHost& h, std::size_t n) {
  std::vector<std::string> codes;
  for (const auto& security : h->Securities().All()) {
    if (codes.size() < n) codes.push_back(security->GetKoraCode());
  }
  return codes;
}

}  // namespace kdp::testing
