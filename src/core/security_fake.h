// TKrSecurityFake: a minimal host security object for codes the host does not know (user-defined codes,
// hard-coded codes, the temporary cross-section security). Every field is empty or zero until set; the
// category, currency, price step and trade span have fixed answers.
#pragma once

#include <string>

#include "kdp/host/security.h"

namespace kdp {

class TKrSecurityFake final : public host::Implements<host::IKrSecurity> {
 public:
  std::string GetKoraCode() override { return m_strKoraCode; }
  std::string GetStockCode() override { return m_strStockCode; }
  std::string GetStockName() override { return m_strStockName; }
  std::string GetStockType() override { return m_strStockType; }
  char GetListStatus() override { return m_cListStatus; }
  std::string GetExchange() override { return m_strExchange; }
  std::string GetCABName() override { return m_strCABName; }
  std::string GetENName() override { return m_strENName; }
  std::string GetIPODate() override { return m_strIPODate; }
  double GetIPOPrice() override { return m_dIPOPrice; }
  int GetSuspensionTime() override { return m_iSuspensionTime; }
  std::string GetTradeSpan() override { return {}; }
  int GetCategory(int /*kind*/) override { return 0; }
  std::string GetCurrency() override { return "CNY"; }
  double GetPriceStep() override { return 0.01; }

  void SetKoraCode(std::string v) { m_strKoraCode = std::move(v); }
  void SetStockCode(std::string v) { m_strStockCode = std::move(v); }
  void SetStockName(std::string v) { m_strStockName = std::move(v); }
  void SetStockType(std::string v) { m_strStockType = std::move(v); }
  void SetListStatus(char v) { m_cListStatus = v; }
  void SetExchange(std::string v) { m_strExchange = std::move(v); }
  void SetCABName(std::string v) { m_strCABName = std::move(v); }
  void SetENName(std::string v) { m_strENName = std::move(v); }
  void SetIPODate(std::string v) { m_strIPODate = std::move(v); }
  void SetIPOPrice(double v) { m_dIPOPrice = v; }
  void SetSuspensionTime(int v) { m_iSuspensionTime = v; }

 private:
  std::string m_strKoraCode;
  std::string m_strStockCode;
  std::string m_strStockType;
  std::string m_strStockName;
  char m_cListStatus = '\0';
  std::string m_strExchange;
  std::string m_strCABName;
  std::string m_strENName;
  std::string m_strIPODate;
  double m_dIPOPrice = 0.0;
  int m_iSuspensionTime = 0;
};

}  // namespace kdp
