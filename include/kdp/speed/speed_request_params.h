// Typed views of the quote engine's parameter sets for commands 97Fix, 3040 and 3050. Integers travel as
// decimal text; a key never set reads as 0 (integers) or "" (texts).
#pragma once

#include <memory>
#include <string>

#include "kdp/host/speed.h"

namespace kdp {

class TKrSpeedReqParamParse {
 public:
  explicit TKrSpeedReqParamParse(std::shared_ptr<host::IParamSerialSet> paramSet) : FParamSet(std::move(paramSet)) {}
  const std::shared_ptr<host::IParamSerialSet>& GetParamSerialSet() const { return FParamSet; }
  // Clears every key of the set.
  void ReSet() {
    if (FParamSet) FParamSet->Reset();
  }

 protected:
  std::string GetText(const char* key) const;
  void SetText(const char* key, const std::string& value);
  int GetInt(const char* key) const;
  void SetInt(const char* key, int value);

 private:
  std::shared_ptr<host::IParamSerialSet> FParamSet;
};

class TKrSpeedReqParamCmdID97Fix : public TKrSpeedReqParamParse {
 public:
  using TKrSpeedReqParamParse::TKrSpeedReqParamParse;
  std::string GetSectorName() const { return GetText("SectorName"); }
  void SetSectorName(const std::string& v) { SetText("SectorName", v); }
  int GetSortID() const { return GetInt("SortID"); }
  void SetSortID(int v) { SetInt("SortID", v); }
  int GetStartTime() const { return GetInt("StartTime"); }
  void SetStartTime(int v) { SetInt("StartTime", v); }
  int GetEndTime() const { return GetInt("EndTime"); }
  void SetEndTime(int v) { SetInt("EndTime", v); }
};

// The two keys that name what 3040 and 3050 sort: a sector, or an explicit code list.
class TKrSpeedReqParamSectorCodes : public TKrSpeedReqParamParse {
 public:
  using TKrSpeedReqParamParse::TKrSpeedReqParamParse;
  std::string GetSectorName() const { return GetText("SectorName"); }
  void SetSectorName(const std::string& v) { SetText("SectorName", v); }
  std::string GetKoraCodeList() const { return GetText("KoraCodeList"); }
  void SetKoraCodeList(const std::string& v) { SetText("KoraCodeList", v); }
};

class TKrSpeedReqParamCmdID3040 : public TKrSpeedReqParamSectorCodes {
 public:
  using TKrSpeedReqParamSectorCodes::TKrSpeedReqParamSectorCodes;
  std::string GetSortIDs() const { return GetText("SortIDs"); }
  void SetSortIDs(const std::string& v) { SetText("SortIDs", v); }
  std::string GetSortDirections() const { return GetText("SortDirections"); }
  void SetSortDirections(const std::string& v) { SetText("SortDirections", v); }
  int GetLinesNumber() const { return GetInt("LinesNumber"); }
  void SetLinesNumber(int v) { SetInt("LinesNumber", v); }
};

class TKrSpeedReqParamCmdID3050 : public TKrSpeedReqParamSectorCodes {
 public:
  using TKrSpeedReqParamSectorCodes::TKrSpeedReqParamSectorCodes;
  int GetSortID() const { return GetInt("SortID"); }
  void SetSortID(int v) { SetInt("SortID", v); }
  int GetSortDirection() const { return GetInt("SortDirection"); }
  void SetSortDirection(int v) { SetInt("SortDirection", v); }
  int GetBondPriceType() const { return GetInt("BondPriceType"); }
  void SetBondPriceType(int v) { SetInt("BondPriceType", v); }
  int GetFlag() const { return GetInt("Flag"); }
  void SetFlag(int v) { SetInt("Flag", v); }
};

}  // namespace kdp
