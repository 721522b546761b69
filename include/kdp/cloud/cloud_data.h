// Cloud reports as the widgets use them: "ICloudDataMgr" (created on its first look-up by name) gives a
// request for a configured report and a data item over the report's local table. A widget takes a request
// item from the request, sets its parameters and fires it; when the reply has been decoded into the table
// the request's update event says so (success, the item's tag, a message), and the widget reads the table
// through a data item.
//
// Threads: main thread only; the update and progress events are called on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "kdp/host/interface.h"
#include "kdp/host/sqlite.h"

namespace kdp {

using host::Guid;
using host::IInterface;

// The outcome of one fired request item: success, the item's tag, and "" or why it failed.
using TCloudDataUpdateEvent = std::function<void(bool success, int tag, const std::string& message)>;
// Bytes of the reply received so far, and the item's tag.
using TCloudProgressEvent = std::function<void(std::int64_t position, int tag)>;

class ICloudDataItem;

// A page's view of a report's rows: given a data item (its rows as its last PrepareData read them) it
// builds a grid of texts whose row 0 holds the column captions. The analyses and the columns they read
// are listed in src/cloud/cloud_report_analysis.h.
class ICloudReportAnalysis : public virtual IInterface {
 public:
  static constexpr Guid IID = "5C1E7B0A-3D64-4F7E-9B2A-8E0C6D41F2B9";
  // The grid's size, the caption row included; a cell out of range reads "".
  virtual int GetRowCount() = 0;
  virtual int GetColCount() = 0;
  virtual std::string GetValue(int row, int column) = 0;
  // The name of the report analysed (for the caller; the analysis does not read it).
  virtual std::string GetReport() = 0;
  virtual void SetReport(const std::string& reportName) = 0;
  virtual std::shared_ptr<ICloudDataItem> GetData() = 0;
  // Keeps the item and builds the grid from its rows (an empty grid for nullptr).
  virtual void SetData(std::shared_ptr<ICloudDataItem> data) = 0;
};

// One request of a report: its own copy of the report's parameters and its own transfer.
class IRequestItem : public virtual IInterface {
 public:
  static constexpr Guid IID = "A9FD214F-7EBC-46E2-9F53-4AB01722D4E4";
  // Sets a parameter of the request, adding it when the report names no such parameter.
  virtual void SetRequestParam(const std::string& name, const std::string& value) = 0;
  // The request's parameters (name, value) in the report's order, those set since included.
  virtual std::vector<std::pair<std::string, std::string>> GetRequestParams() = 0;
  // Cancels the transfer in flight; no update event follows for it.
  virtual bool Abort() = 0;
  // Sends the request; its tag, or -1 (logged) when it cannot be sent. Every tag returned ends in one
  // update event unless aborted or the request is released first.
  virtual int FireRequest() = 0;
  // Always false: requests never block.
  virtual bool IsBlock() = 0;
  // The analysis the item's replies are handed to (nullptr: none, the default). After a reply has been
  // stored, the item gives the analysis a data item over the report's table, before the update event.
  virtual std::shared_ptr<ICloudReportAnalysis> GetReportAnalysis() = 0;
  virtual void SetReportAnalysis(std::shared_ptr<ICloudReportAnalysis> analysis) = 0;
  // Hands `data` to the analysis, when there is one.
  virtual void SetAnalysisData(std::shared_ptr<ICloudDataItem> data) = 0;
};

class ICloudDataRequest : public virtual IInterface {
 public:
  static constexpr Guid IID = "298BB9DE-E87C-4E01-BDE9-5E8166712672";
  virtual TCloudDataUpdateEvent GetOnCloudDataUpdate() = 0;
  virtual void SetOnCloudDataUpdate(TCloudDataUpdateEvent handler) = 0;
  virtual TCloudProgressEvent GetOnProgressEvent() = 0;
  virtual void SetOnProgressEvent(TCloudProgressEvent handler) = 0;
  // A new request item of the report (each fired item carries a tag of its own).
  virtual std::shared_ptr<IRequestItem> GetRequestItem() = 0;
  // Whether the report is configured as needing the user's authorization.
  virtual bool GetIsAuthorized() = 0;
  // Raises the update event (when set).
  virtual void OnCloudDataUpdate(bool success, int tag, const std::string& message) = 0;
  // Raises the progress event (when set).
  virtual void OnProgressEvent(std::int64_t position, int tag) = 0;
  // When set, items fired from then on ask the service for the report's table fields by name
  // ("showcolumnname=" + the fields joined by ","), so the columns come in table order.
  virtual void SetIsRequestColumnName(bool value) = 0;
  // The report's table fields joined by ",".
  virtual std::string GetFields() = 0;
};

// The rows of a report's table, as the last PrepareData read them. Rows and columns count from 0; a cell
// out of range reads as 0 or "".
class ICloudDataItem : public virtual IInterface {
 public:
  static constexpr Guid IID = "466652FC-B800-4F32-929C-E60B271ED0C7";
  // Reads every row of the table. False (logged, no rows kept) when the query fails.
  virtual bool PrepareData() = 0;
  // Reads the rows of the caller's query, values bound to its "?" parameters.
  virtual bool PrepareData(const std::string& sql, std::span<const host::SqlValue> params) = 0;
  // Runs a statement on the report's database, values bound.
  virtual bool ExecuteSQL(const std::string& sql, std::span<const host::SqlValue> params) = 0;
  virtual int GetRowCounts() = 0;
  virtual int GetColCounts() = 0;
  // The columns of the rows read, joined by ",".
  virtual std::string GetFields() = 0;
  // The report's table fields, joined by ",".
  virtual std::string GetTableFields() = 0;
  virtual int ValueAsInt(int row, int column) = 0;
  virtual int ValueAsInt(int row, const std::string& field) = 0;
  virtual double ValueAsDouble(int row, int column) = 0;
  virtual double ValueAsDouble(int row, const std::string& field) = 0;
  virtual std::string ValueAsString(int row, int column) = 0;
  virtual std::string ValueAsString(int row, const std::string& field) = 0;
  virtual std::string GetTableName() = 0;
  // The type the report configuration gives a table field ("Type" of its Field element; 0 when none or
  // not a field), and that of a column of the rows read.
  virtual int GetIndexType(const std::string& field) = 0;
  virtual int GetColType(int column) = 0;
  // Whether the user may see a cell: for a column of type kChinaBondValuationType, the row's China-bond
  // valuation flag (its "ChinaBondValueFlag" column is 1; a row without it is not authorized); true for
  // every other column.
  static constexpr int kChinaBondValuationType = 20;
  virtual bool IsIndexAuthorized(int row, int column) = 0;
  virtual bool IsIndexAuthorized(int row, const std::string& field) = 0;
};

class ICloudDataMgr : public virtual IInterface {
 public:
  static constexpr Guid IID = "D795A883-1B2E-4D30-B7B0-50F50CFA2539";
  // A request of the report (its table created first); nullptr, logged, for a report not configured.
  virtual std::shared_ptr<ICloudDataRequest> GetCloudDataRequest(const std::string& reportName) = 0;
  // A data item over the report's table; nullptr, logged, for a report not configured.
  virtual std::shared_ptr<ICloudDataItem> GetCloudDataItem(const std::string& reportName) = 0;
  // A new analysis by name ("Analysis_BondWeekReport", "Analysis_MasterFundReport",
  // "Analysis_IMMBONDReport", "Analysis_InterrelateReport", as a report's ReportAnalysis names it);
  // nullptr for other names.
  virtual std::shared_ptr<ICloudReportAnalysis> GetReportAnalysis(const std::string& name) = 0;
  virtual bool IsCloudSector(const std::string& sectorName) = 0;
  virtual std::string GetReportNameBySectorName(const std::string& sectorName) = 0;
  // Adds (or replaces by name) a report given as a "Report" element of the report configuration's
  // format. False, logged, for text that is not such an element or a report that the loader refuses.
  virtual bool DynamicAddReportItem(const std::string& reportXml) = 0;
};

}  // namespace kdp
