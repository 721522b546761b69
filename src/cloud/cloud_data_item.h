// TCloudDataItem: the rows of a cloud report's table as a widget reads them. PrepareData runs the query
// and keeps its rows (names and values) until the next PrepareData; the accessors read those. Main thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cloud/cloud_report_item.h"
#include "kdp/cloud/cloud_data.h"

namespace kdp {

class TCloudDataItem final : public host::Implements<ICloudDataItem> {
 public:
  TCloudDataItem(const TKrCloudReportItem& report, std::shared_ptr<host::ISqliteDataBase> database);

  bool PrepareData() override;
  bool PrepareData(const std::string& sql, std::span<const host::SqlValue> params) override;
  bool ExecuteSQL(const std::string& sql, std::span<const host::SqlValue> params) override;
  int GetRowCounts() override { return static_cast<int>(FRows.size()); }
  int GetColCounts() override { return static_cast<int>(FFields.size()); }
  std::string GetFields() override;
  std::string GetTableFields() override;
  int ValueAsInt(int row, int column) override;
  int ValueAsInt(int row, const std::string& field) override;
  double ValueAsDouble(int row, int column) override;
  double ValueAsDouble(int row, const std::string& field) override;
  std::string ValueAsString(int row, int column) override;
  std::string ValueAsString(int row, const std::string& field) override;
  std::string GetTableName() override { return FReport->Table.Name; }
  int GetIndexType(const std::string& field) override;
  int GetColType(int column) override;
  bool IsIndexAuthorized(int row, int column) override;
  bool IsIndexAuthorized(int row, const std::string& field) override { return IsIndexAuthorized(row, ColumnOf(field)); }

 private:
  // The cell, or nullptr out of range.
  const host::SqlValue* Cell(int row, int column) const;
  int ColumnOf(const std::string& field) const;
  // The row's China-bond valuation authorization: its "ChinaBondValueFlag" column reads 1.
  bool GetChinaBondValue(int row);

  std::unique_ptr<TKrCloudReportItem> FReport;
  std::shared_ptr<host::ISqliteDataBase> FDataBase;
  std::vector<std::string> FFields;                // of the last query
  std::vector<std::vector<host::SqlValue>> FRows;  // of the last query
};

}  // namespace kdp
