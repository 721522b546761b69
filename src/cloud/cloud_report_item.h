// TKrCloudReportItem: one report of "HQ/Base/CloudReportConfig.xml": how its request text is built for
// its report type, which server answers it, and the local SQLite table its rows are cached in.
//
// Table, field and index names come from the configuration and are written into SQL text, so the loader
// accepts only plain identifiers for them; row values are always bound. A plain value (Colne copies it);
// main thread. Reports naming the same table share one table lock.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "cloud/cloud_calendar.h"
#include "cloud/cloud_command_params.h"
#include "kdp/host/memory_stream.h"
#include "kdp/host/sqlite.h"

namespace kdp {

enum class TCloudReportType { rtNone = 0, rtB1 = 1, rtLux = 2, rtksv = 3, rtKudsReportLux = 4, rtKSD = 5, rtPR = 6 };

// "rtB1", "rtLux", "rtksv", "rtKudsReportLux", "rtKSD", "rtPR" (exact); anything else rtNone.
TCloudReportType CloudReportTypeFromText(std::string_view text);

// The cache table of a report.
struct TKrCloudReportTable {
  std::string Name;
  std::vector<std::string> Fields;  // in column order
  std::vector<int> FieldTypes;      // parallel to Fields: the "Type" of each (0 when not given)
  std::vector<std::string> Indexs;  // one index per name
  std::string MainKey;              // a table constraint ("PRIMARY KEY(KORACODE,TRADEDATE)"); "" for none
  bool bDrop = false;               // drop and create again when the table is first created
  bool bAppend = false;             // a reply adds rows instead of replacing them
  bool Created = false;
  std::shared_ptr<std::mutex> Lock;  // shared by the reports of this table name
};

class TKrCloudReportItem {
 public:
  std::string Name;
  std::string ReportAnalysis;
  std::string Caption;
  std::string ServerAlia;
  std::string ServerUrlItem;
  bool IsAuthorized = false;
  bool IsSector = false;
  std::string SectorName;
  int SectorType = 0;
  std::string ModuleName;
  TCloudReportType ReportType = TCloudReportType::rtNone;
  int CommandID = 0;
  int AppID = 0;
  std::string Command;  // the command text, or the Lux body of an rtLux report
  TKrCommandParams Params;
  TKrCloudReportTable Table;

  void AddParam(std::string name, std::string value) { Params.AddParam(std::move(name), std::move(value)); }
  std::string GetParamValue(std::string_view name) const { return Params.GetParamValue(name); }
  bool SetParamValue(std::string_view name, std::string value) { return Params.SetParamValue(name, std::move(value)); }
  std::string GetParamNames() const { return Params.GetParamNames(); }

  // The text sent to the server, built the way the report type asks.
  std::string GetRequestCmd(const TCloudRequestContext& context) const;
  // The HTTP body of a report of type rtNone: the request text as ANSI bytes behind their 32-bit
  // little-endian byte count; `stream` is replaced and rewound.
  void GetPostStream(host::MemoryStream& stream, const TCloudRequestContext& context) const;
  // The host and port of the report's server. False, with `message` the catalogue's "找不到cloud数据服务器!",
  // when the host knows no such server.
  bool GetServerInfo(std::string& host, int& port, std::string& message) const;
  // Creates the table (dropping it first when bDrop says so) and its indexes, once per item. False, logged,
  // when the database refuses.
  bool CreateReportTable(host::ISqliteDataBase& database);
  // "INSERT OR REPLACE INTO table VALUES($F1,...);": one bound parameter per field, in field order.
  std::string GetInsertQuery() const;
  std::unique_ptr<TKrCloudReportItem> Colne() const { return std::make_unique<TKrCloudReportItem>(*this); }
};

// A name the loader lets into SQL text: a letter or "_", then letters, digits and "_".
bool IsPlainSqlName(std::string_view name);

}  // namespace kdp
