#include "cloud/cloud_data_mgr.h"

#include <fmt/format.h>

#include "cloud/cloud_command_analysis.h"
#include "cloud/cloud_data_item.h"
#include "cloud/cloud_data_request.h"
#include "cloud/cloud_report_analysis.h"
#include "kdp/host/log.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TCloudDataMgr";

// The configured report with its table created; nullptr (logged) when it is not configured or its table
// cannot be created.
TKrCloudReportItem* ReportWithTable(const std::string& reportName) {
  auto& analysis = TKrCloudCommandAnalysis::GetInstance();
  auto* report = analysis.GetReportItem(reportName);
  if (!report) {
    host::AddHQLog(fmt::format("Cloud Report config NOT Found! {}", reportName), kLogSource,
                   host::LogSeverity::kNotice);
    return nullptr;
  }
  if (!analysis.GetDataBase() || !report->CreateReportTable(*analysis.GetDataBase())) return nullptr;
  return report;
}

}  // namespace

std::shared_ptr<ICloudDataRequest> TCloudDataMgr::GetCloudDataRequest(const std::string& reportName) {
  const auto* report = ReportWithTable(reportName);
  if (!report) return nullptr;
  return std::make_shared<TCloudDataRequest>(*report, TKrCloudCommandAnalysis::GetInstance().GetDataBase());
}

std::shared_ptr<ICloudDataItem> TCloudDataMgr::GetCloudDataItem(const std::string& reportName) {
  const auto* report = ReportWithTable(reportName);
  if (!report) return nullptr;
  return std::make_shared<TCloudDataItem>(*report, TKrCloudCommandAnalysis::GetInstance().GetDataBase());
}

std::shared_ptr<ICloudReportAnalysis> TCloudDataMgr::GetReportAnalysis(const std::string& name) {
  return CreateReportAnalysis(name);
}

bool TCloudDataMgr::IsCloudSector(const std::string& sectorName) {
  return TKrCloudCommandAnalysis::GetInstance().IsCloudSector(sectorName);
}

std::string TCloudDataMgr::GetReportNameBySectorName(const std::string& sectorName) {
  return TKrCloudCommandAnalysis::GetInstance().GetReportNameBySectorName(sectorName);
}

bool TCloudDataMgr::DynamicAddReportItem(const std::string& reportXml) {
  return TKrCloudCommandAnalysis::GetInstance().AddReportXml(reportXml);
}

}  // namespace kdp
