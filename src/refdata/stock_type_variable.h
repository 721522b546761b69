// TStockTypeVariable: named per-HQ-type variables ("PriceLimitRatio" of "A.SH", "LotSize" of "HK", ...)
// from "HQ/Base/StockTypeVariables.xml":
//   <StockTypeVariables>
//     <Types name="A.SH,A.SZ"><Variable name="LotSize" value="100"/></Types>
//     <Types name="default"><Variable name="LotSize" value="1"/></Types>
//   </StockTypeVariables>
// A variable of the type "default" answers for every type that does not define it. The first value given
// for a type and name is kept. Created on demand ("IKrStockTypeVariable"); main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "kdp/refdata/security_manager.h"

namespace kdp {

class TStockTypeVariable final : public host::Implements<IKrStockTypeVariable> {
 public:
  // Looks up "IKrHQSecurityManager" and loads the file from the configuration root.
  TStockTypeVariable();
  // Loads `path` and uses `manager` (tests, tools).
  TStockTypeVariable(const std::string& path, std::shared_ptr<IKrHQSecurityManager> manager);

  std::string GetVariableByStockType(const std::string& code, const std::string& name) override;
  std::string GetVariableByHQType(const std::string& hqType, const std::string& name) override;
  std::shared_ptr<IKrHQSecurityManager> GetHQSecurityManager() override { return FSecurityManager; }
  void SetHQSecurityManager(std::shared_ptr<IKrHQSecurityManager> manager) override {
    FSecurityManager = std::move(manager);
  }
  std::string GetVariableByStockType(const std::shared_ptr<IKrHQSecurityInfo>& info, const std::string& name) override;

 private:
  void Load(const std::string& path);

  std::map<std::string, std::string> FVariables;  // upper-case "HQTYPE_NAME" -> value
  std::shared_ptr<IKrHQSecurityManager> FSecurityManager;
};

}  // namespace kdp
