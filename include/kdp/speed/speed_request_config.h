// The description of the quote engine's history commands, "HQ\HisDataReqCfg.xml" under the configuration
// root: per command its IDs and attributes and the ordered list of its request parameters.
//
// Read once at construction; read-only afterwards (any thread may read).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kdp {

struct TKrIndicatorParamEntry {
  std::string key;
  std::string field;
  std::string type;
};

class TKrIndicatorParam {
 public:
  const std::string& GetCmdID() const { return FCmdID; }
  const std::string& GetReqType() const { return FReqType; }
  const std::string& GetReqID() const { return FReqID; }
  const std::string& GetServerID() const { return FServerID; }
  const std::string& GetDependID() const { return FDependID; }
  const std::string& GetDescription() const { return FDescription; }
  void SetCmdID(std::string v) { FCmdID = std::move(v); }
  void SetReqType(std::string v) { FReqType = std::move(v); }
  void SetReqID(std::string v) { FReqID = std::move(v); }
  void SetServerID(std::string v) { FServerID = std::move(v); }
  void SetDependID(std::string v) { FDependID = std::move(v); }
  void SetDescription(std::string v) { FDescription = std::move(v); }

  int GetParamCount() const { return static_cast<int>(FParams.size()); }
  // The entry at `index`; an empty entry out of range.
  TKrIndicatorParamEntry GetParameterByID(int index) const;
  // The first entry's field for a key, and key for a field; empty when none.
  std::string GetParamFieldByKey(const std::string& key) const;
  std::string GetParamKeyByField(const std::string& field) const;
  // Replaces the entries.
  void SaveParamInfo(std::vector<TKrIndicatorParamEntry> entries) { FParams = std::move(entries); }

 private:
  std::string FCmdID, FReqType, FReqID, FServerID, FDependID, FDescription;
  std::vector<TKrIndicatorParamEntry> FParams;
};

class TKrSpeedReqParamAnalyse {
 public:
  // Loads GetEtcPath() + "HQ/HisDataReqCfg.xml".
  TKrSpeedReqParamAnalyse();
  // Loads a given file (tests, tools).
  explicit TKrSpeedReqParamAnalyse(const std::string& path);

  // The description or nullptr.
  const TKrIndicatorParam* GetIndicatorParamsByCmdID(const std::string& cmdID) const;
  const TKrIndicatorParam* GetIndicatorParamsByReqID(int reqID) const;
  // The other ID of a command; empty when not found.
  std::string GetCmdIDByReqID(int reqID) const;
  std::string GetReqIDByCmdID(const std::string& cmdID) const;

 private:
  void LoadSpeedProtocolConfigure(const std::string& path);

  std::map<std::string, std::shared_ptr<TKrIndicatorParam>> FByCmdID;
  std::map<int, std::shared_ptr<TKrIndicatorParam>> FByReqID;
};

}  // namespace kdp
