// TKrHQStockTypeInfoImpl: the classification of one security, made by the security manager's resolution
// and handed to callers (see kdp/refdata/security_manager.h). The manager keeps its answers for codes
// asked again; an answer whose setters a caller used no longer counts as the resolution's. Main thread
// only.
#pragma once

#include <limits>
#include <memory>
#include <string>

#include "kdp/refdata/security_manager.h"

namespace kdp {

class TKrHQStockTypeInfoImpl final : public host::Implements<IKrHQSecurityInfo> {
 public:
  explicit TKrHQStockTypeInfoImpl(std::shared_ptr<host::IKrSecurity> security);

  // Copies the classification of a map entry.
  void FillFrom(const TKrStockTypeDataItem& entry);
  // Replaces the security object (a substitute for codes the host does not know).
  void SetISecurity(std::shared_ptr<host::IKrSecurity> security) { FISecurity = std::move(security); }
  void SetExchange(const std::string& suffix) { FSuffix = suffix; }
  void SetIndexCode(const std::string& value) { FIndexCode = value; }
  void SetdefaultSector(const std::string& value) { FDefaultSector = value; }
  void SetMarketClean(int value) { FMarketClean = value; }
  // True when a security object was given at construction.
  bool IsValid() const { return FIsValid; }
  // Whether a caller changed the info through its setters since the resolution made it.
  bool ChangedByCaller() const { return FChangedByCaller; }
  // The resolution is done: what the setters changed so far was its own.
  void MarkResolved() { FChangedByCaller = false; }

  std::string GetKoraCode() override;
  std::string GetStockCode() override;
  std::string GetStockName() override;
  std::string GetStockType() override;
  char GetListStatus() override;
  std::string GetExchange() override { return FSuffix; }
  std::string GetHQType() override { return FHQType; }
  int GetHQTypeID() override { return FHQTypeID; }
  std::string GetIndexCode() override { return FIndexCode; }
  std::string GetdefaultSector() override { return FDefaultSector; }
  int GetMarketClean() override { return FMarketClean; }
  int GetMarketOpen() override { return FMarketOpen; }
  int GetMarketClose() override { return FMarketClose; }
  std::string GetHisDir() override { return FHisDir; }
  void SetHisDir(const std::string& value) override {
    FHisDir = value;
    FChangedByCaller = true;
  }
  std::string GetCity() override { return FCity; }
  void SetCity(const std::string& value) override {
    FCity = value;
    FChangedByCaller = true;
  }
  std::string GetF5Page() override;
  std::string GetF5PageFreePad(const std::string& padKey) override;
  TArrayMarketTimeSep GetMarketTimeSep() override { return FMarketTimeSep; }
  void SetMarketTimeSep(const TArrayMarketTimeSep& value) override {
    FMarketTimeSep = value;
    FChangedByCaller = true;
  }
  bool GetUseOwnMarketTimeSep() override { return FUseOwnMarketTimeSep; }
  void SetUseOwnMarketTimeSep(bool value) override {
    FUseOwnMarketTimeSep = value;
    FChangedByCaller = true;
  }
  std::vector<host::DateTime> GetMarketTimeSepDate() override { return TransMarketTimeSepToDate(FMarketTimeSep); }
  void SetKLineHisVolumeDiv(double value) override {
    FKLineHisVolumeDiv = value;
    FChangedByCaller = true;
  }
  double GetKLineHisVolumeDiv() override { return FKLineHisVolumeDiv; }
  void SetKLineRealTimeVolumeDiv(double value) override {
    FKLineRealTimeVolumeDiv = value;
    FChangedByCaller = true;
  }
  double GetKLineRealTimeVolumeDiv() override { return FKLineRealTimeVolumeDiv; }
  void SetMenuState(int value) override {
    FMenuState = value;
    FChangedByCaller = true;
  }
  int GetMenuState() override { return FMenuState; }
  void SetAllowTrade(bool value) override {
    FAllowTrade = value;
    FChangedByCaller = true;
  }
  bool GetAllowTrade() override { return FAllowTrade; }
  void SetCategory(int) override {}
  int GetCategory() override;
  std::shared_ptr<host::IKrSecurity> GetISecurity() override { return FISecurity; }
  std::string GetTradeSpan() override;

 private:
  // The best-rated page of `names` against `permissions` (both ";" lists), else FF5Page.
  std::string ChooseF5Page(const std::vector<std::string>& names, const std::vector<std::string>& permissions) const;

  std::shared_ptr<host::IKrSecurity> FISecurity;
  int FHQTypeID = 0;
  std::string FHQType;
  std::string FSuffix;
  std::string FIndexCode;
  std::string FDefaultSector;
  int FMarketOpen = 0;
  int FMarketClean = 0;
  int FMarketClose = 0;
  std::string FHisDir;
  std::string FCity;
  std::string FStockType;
  bool FUseOwnMarketTimeSep = false;
  double FKLineHisVolumeDiv = 1.0;
  double FKLineRealTimeVolumeDiv = 1.0;
  int FMenuState = std::numeric_limits<int>::max();
  bool FAllowTrade = false;
  std::string FF5Page;
  std::string FF5PageNamesStr;
  std::string FF5PermissionsStr;
  std::string FF5PermissionsStrFreePad;
  TArrayMarketTimeSep FMarketTimeSep;
  bool FIsValid = false;
  bool FChangedByCaller = false;
};

}  // namespace kdp
