// TKrCloudCommandAnalysis: the request descriptions of cloud data. It reads the report items of
// "HQ/Base/CloudReportConfig.xml", builds the built-in command items of the indicator pages, creates their
// cache tables in the shared database, and gives both to the cloud data manager and the index requests.
//
// One per process (g_CloudCommandAnalysis), created and loaded on first GetInstance, freed at shut-down.
// Items are owned here; callers that change parameters take a copy (Colne). Main thread only.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <pugixml.hpp>
#include "cloud/cloud_calendar.h"
#include "cloud/cloud_command_item.h"
#include "cloud/cloud_report_item.h"

#include "kdp/host/sqlite.h"
#include "util/case_less.h"

namespace kdp {

class TKrCloudCommandAnalysis {
 public:
  // The process's instance, loaded (reports and built-in commands) on first call.
  static TKrCloudCommandAnalysis& GetInstance();
  static void FreeInstance();

  // An empty analysis on `database` (nullptr: tables are not created) and the host's calendar.
  explicit TKrCloudCommandAnalysis(std::shared_ptr<host::ISqliteDataBase> database);

  // Reads "HQ/Base/CloudReportConfig.xml" under the configuration root.
  void LoadConfig();
  // Reads "<module>/Base/CloudReportConfig.xml" under the configuration root.
  void LoadConfigByModuleName(const std::string& module);
  // Reads a report configuration file, replacing the reports loaded before. A missing file is logged
  // and leaves no reports; a report whose table names are not plain names is skipped with a log line.
  void AnalysisReportConfig(const std::string& path);
  // Builds the built-in command items and creates their tables.
  void LoadCloudIndexConfig();

  // nullptr for a name not configured.
  TKrCloudReportItem* GetReportItem(const std::string& name) const;
  // The report names joined by ",", in name order.
  std::string GetReportNames() const;
  // The name of the sector report of that sector; "" when none.
  std::string GetReportNameBySectorName(const std::string& sectorName) const;
  bool IsCloudSector(const std::string& sectorName) const;
  // Adds the report, replacing one of the same name, and gives it its table's shared lock.
  void DynamicAddReportItem(std::unique_ptr<TKrCloudReportItem> item);
  // Adds the report of a "Report" element given as text; false, logged, when it is not one or is refused.
  bool AddReportXml(const std::string& reportXml);

  // nullptr for an ID that is not built in.
  TKrCloudCommandItem* GetCommandItemByID(int id) const;
  bool CreateDataTable(const TKrCloudCommandItem& item);

  void ClearReportConfig() { FReports.clear(); }
  void ClearCommands() { FCommands.clear(); }
  void ClearTabelCritical() { FTableLocks.clear(); }

  // The calendar of the date macros; the host's until another is set (the trade date service, a test's).
  void SetCalendar(std::shared_ptr<const ICloudCalendar> calendar) { FCalendar = std::move(calendar); }
  // The language and calendar request texts are built with now.
  TCloudRequestContext RequestContext() const;
  const std::shared_ptr<host::ISqliteDataBase>& GetDataBase() const { return FDataBase; }

 private:
  // Adds the report of a "Report" element; false, logged, when the loader refuses it.
  bool AddReport(const pugi::xml_node& node);
  std::shared_ptr<std::mutex> TableLock(const std::string& table);

  std::map<std::string, std::unique_ptr<TKrCloudReportItem>, CaseLess> FReports;
  std::map<int, std::unique_ptr<TKrCloudCommandItem>> FCommands;
  std::map<std::string, std::shared_ptr<std::mutex>, CaseLess> FTableLocks;  // by table name
  std::shared_ptr<host::ISqliteDataBase> FDataBase;
  std::shared_ptr<const ICloudCalendar> FCalendar;
};

// The configuration file of the cloud reports, under "HQ/Base/" of the configuration root.
inline constexpr const char* kCloudReportConfigFileName = "CloudReportConfig.xml";

}  // namespace kdp
