// TKrCloudCommandItem: a built-in cloud indicator command (the indicator pages' reports 1 to 30, the
// matrix functions 100 and the KSS function set 1000): its command text, parameters, the field IDs it
// answers (its index list, in the order that keeps a value beside its companion fields) and its cache
// table of (KoraCode, IndexName, IndexValue, Authorized, UpdateDate) rows.
//
// The function templates of matrix and KSS fields come from the field dictionary. A plain value (Colne
// copies it); main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cloud/cloud_calendar.h"
#include "cloud/cloud_command_params.h"
#include "kdp/host/sqlite.h"

namespace kdp {

// A KSS function and the options its template asks for ("tradeDate=20261204", "priceAdj=1").
struct TKrKssFunction {
  std::string function;
  std::vector<std::string> options;
};

class TKrCloudCommandItem {
 public:
  int ID = 0;
  bool IsMatrix = false;
  std::string Command;
  std::string Description;
  std::string ServerAlia = "KUDSDATASERVER";
  std::string DataName = "KUDSDATA";
  std::string ReportType;  // "rtPR" for the reports that travel that way, else ""
  bool IsRequest = true;   // false for the KSS function set
  std::string CodeParamName;
  std::string SecondParamName;
  bool IsMultiCode = false;
  TKrCommandParams Params;
  std::vector<int> IndexIDs;
  std::string TableName;
  std::vector<std::string> TableIndexColumns{"KoraCode", "IndexName"};
  bool bAppend = false;
  bool bDropTable = false;

  void AddParam(std::string name, std::string value) { Params.AddParam(std::move(name), std::move(value)); }
  std::string GetParamValue(std::string_view name) const { return Params.GetParamValue(name); }
  bool SetParamValue(std::string_view name, std::string value) { return Params.SetParamValue(name, std::move(value)); }

  void AppendMatrixIndex(int id) { IndexIDs.push_back(id); }
  void ClearMatrixIndex() { IndexIDs.clear(); }

  // The text sent to the server; "" (logged) when a matrix function of the item cannot be sent, or the
  // KSS set has no function or no codes.
  std::string GetRequestCmd(const TCloudRequestContext& context) const;
  // The field's matrix function with its date macros expanded for the item's (first) code; nullopt, logged,
  // for a field without a template or a template that cannot be sent.
  std::optional<std::string> GetMatrixFunction(int id, const TCloudRequestContext& context) const;
  // The field's KSS function with its option words taken out as options; nullopt for a field without one.
  std::optional<TKrKssFunction> GetKssFunction(int id, const TCloudRequestContext& context) const;
  // The index IDs joined by ",".
  std::string GetCurRequestFields() const;
  bool IsNeedKoraCode() const { return !CodeParamName.empty(); }
  // Whether the index IDs are appended at run time (the function sets 100 and 1000).
  bool IsNeedIndex() const { return IsMatrix || !IsRequest; }

  std::unique_ptr<TKrCloudCommandItem> Colne() const { return std::make_unique<TKrCloudCommandItem>(*this); }
};

// The column list of every command table.
inline constexpr std::string_view kCloudIndexTableFields = "KoraCode,IndexName,IndexValue,Authorized,UpdateDate";

// Creates the item's table (dropped first when bDropTable says so) and one index per index column.
bool CreateCommandTable(const TKrCloudCommandItem& item, host::ISqliteDataBase& database);

}  // namespace kdp
