// The stand-in host's securities, sectors and market-rules files: bad lines and bad JSON are refused, never fatal.
#include <cstddef>
#include <cstdint>
#include <string>

#include "market_rules.h"
#include "sector_master.h"
#include "security_master.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  kdp::minihost::MiniSecurityMaster securities;
  securities.LoadText(text, "fuzz");
  for (const auto& s : securities.All()) securities.GetSecurity(s->GetKoraCode());

  kdp::minihost::MiniSectorMaster sectors;
  std::string error;
  if (sectors.LoadText(text, error)) {
    for (const std::string& code : sectors.AllMemberCodes()) securities.GetSecurity(code);
    if (auto sector = sectors.GetDefaultUserSector()) sector->GetMemberCodes();
  }
  kdp::minihost::MarketRules rules;
  if (rules.LoadText(text, error)) {
    for (const auto& s : securities.All()) rules.Find(s->Record().tradeSpan);
  }
  return 0;
}
