#include "cloud/cloud_report_analysis.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

using TGrid = std::vector<std::vector<std::string>>;
using TAnalyse = std::function<TGrid(ICloudDataItem&)>;

// The rows of a data item grouped by one column's text, groups in order of first appearance.
std::vector<std::pair<std::string, std::vector<int>>> GroupRows(ICloudDataItem& data, const std::string& field) {
  std::vector<std::pair<std::string, std::vector<int>>> groups;
  std::map<std::string, std::size_t> index;
  for (int row = 0; row < data.GetRowCounts(); ++row) {
    const std::string key = data.ValueAsString(row, field);
    const auto [it, added] = index.emplace(key, groups.size());
    if (added) groups.emplace_back(key, std::vector<int>{});
    groups[it->second].second.push_back(row);
  }
  return groups;
}

TGrid BondWeek(ICloudDataItem& data) {
  std::vector<int> rows(static_cast<std::size_t>(data.GetRowCounts()));
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
  std::ranges::stable_sort(rows, [&](int a, int b) {
    const double changeA = data.ValueAsDouble(a, "WeekYieldChange"), changeB = data.ValueAsDouble(b, "WeekYieldChange");
    return changeA != changeB ? changeA > changeB
                              : data.ValueAsString(a, "KoraCode") < data.ValueAsString(b, "KoraCode");
  });
  TGrid grid{{"Rank", "KoraCode", "BondName", "WeekYieldChange", "WeekVolume"}};
  double volume = 0;
  for (const int row : rows) {
    volume += data.ValueAsDouble(row, "WeekVolume");
    grid.push_back({std::to_string(grid.size()), data.ValueAsString(row, "KoraCode"),
                    data.ValueAsString(row, "BondName"), data.ValueAsString(row, "WeekYieldChange"),
                    data.ValueAsString(row, "WeekVolume")});
  }
  grid.push_back({"Total", "", "", "", FloatToText(volume)});
  return grid;
}

TGrid MasterFund(ICloudDataItem& data) {
  TGrid grid{{"MasterCode", "FundName", "ShareClasses", "KoraCodes"}};
  for (const auto& [master, rows] : GroupRows(data, "MasterCode")) {
    int own = rows.front();
    std::vector<std::string> codes;
    for (const int row : rows) {
      codes.push_back(data.ValueAsString(row, "KoraCode"));
      if (codes.back() == master) own = row;
    }
    grid.push_back({master, data.ValueAsString(own, "FundName"), std::to_string(rows.size()),
                    fmt::format("{}", fmt::join(codes, ","))});
  }
  return grid;
}

TGrid MoneyMarketBonds(ICloudDataItem& data) {
  TGrid grid{{"Term", "Count", "AverageRate", "MinRate", "MaxRate"}};
  for (const auto& [term, rows] : GroupRows(data, "Term")) {
    double sum = 0, low = std::numeric_limits<double>::infinity(), high = -low;
    int count = 0;
    for (const int row : rows) {
      const double rate = StrToFloatDef(data.ValueAsString(row, "Rate"), std::numeric_limits<double>::quiet_NaN());
      if (std::isnan(rate)) continue;  // not a number
      sum += rate;
      low = std::min(low, rate);
      high = std::max(high, rate);
      ++count;
    }
    grid.push_back({term, std::to_string(count), count ? FloatToText(sum / count) : "", count ? FloatToText(low) : "",
                    count ? FloatToText(high) : ""});
  }
  return grid;
}

TGrid Interrelated(ICloudDataItem& data) {
  TGrid grid{{"KoraCode", "AHCode", "RelatedCodes"}};
  for (const auto& [code, rows] : GroupRows(data, "KoraCode")) {
    std::string partner;
    std::vector<std::string> others;
    for (const int row : rows) {
      const std::string related = data.ValueAsString(row, "RelatedCode");
      if (data.ValueAsString(row, "RelationType") == "1") {
        partner = related;
      } else {
        others.push_back(related);
      }
    }
    grid.push_back({code, partner, fmt::format("{}", fmt::join(others, ","))});
  }
  return grid;
}

class TCloudReportAnalysis final : public host::Implements<ICloudReportAnalysis> {
 public:
  explicit TCloudReportAnalysis(TAnalyse analyse) : FAnalyse(std::move(analyse)) {}

  int GetRowCount() override { return static_cast<int>(FGrid.size()); }
  int GetColCount() override { return FGrid.empty() ? 0 : static_cast<int>(FGrid.front().size()); }
  std::string GetValue(int row, int column) override {
    if (row < 0 || row >= GetRowCount() || column < 0) return {};
    const auto& cells = FGrid[static_cast<std::size_t>(row)];
    return column < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(column)] : std::string{};
  }
  std::string GetReport() override { return FReport; }
  void SetReport(const std::string& reportName) override { FReport = reportName; }
  std::shared_ptr<ICloudDataItem> GetData() override { return FData; }
  void SetData(std::shared_ptr<ICloudDataItem> data) override {
    FData = std::move(data);
    FGrid = FData ? FAnalyse(*FData) : TGrid{};
  }

 private:
  TAnalyse FAnalyse;
  std::string FReport;
  std::shared_ptr<ICloudDataItem> FData;
  TGrid FGrid;
};

}  // namespace

std::shared_ptr<ICloudReportAnalysis> CreateReportAnalysis(const std::string& name) {
  static const std::map<std::string, TGrid (*)(ICloudDataItem&)> kAnalyses = {
      {"Analysis_BondWeekReport", &BondWeek},
      {"Analysis_MasterFundReport", &MasterFund},
      {"Analysis_IMMBONDReport", &MoneyMarketBonds},
      {"Analysis_InterrelateReport", &Interrelated},
  };
  const auto it = kAnalyses.find(name);
  return it == kAnalyses.end() ? nullptr : std::make_shared<TCloudReportAnalysis>(it->second);
}

}  // namespace kdp
