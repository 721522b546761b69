// TCloudDataMgr: the service published as "ICloudDataMgr", created on its first look-up by name (one per
// process). It answers from the report configuration (TKrCloudCommandAnalysis) and the shared database.
// Main thread only.
#pragma once

#include "kdp/cloud/cloud_data.h"

namespace kdp {

class TCloudDataMgr final : public host::Implements<ICloudDataMgr> {
 public:
  std::shared_ptr<ICloudDataRequest> GetCloudDataRequest(const std::string& reportName) override;
  std::shared_ptr<ICloudDataItem> GetCloudDataItem(const std::string& reportName) override;
  std::shared_ptr<ICloudReportAnalysis> GetReportAnalysis(const std::string& name) override;
  bool IsCloudSector(const std::string& sectorName) override;
  std::string GetReportNameBySectorName(const std::string& sectorName) override;
  bool DynamicAddReportItem(const std::string& reportXml) override;
};

}  // namespace kdp
