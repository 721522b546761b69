// The report analyses "ICloudDataMgr" hands out by name: each turns the rows of a data item into the
// grid a page shows (row 0 the captions), reading the columns it needs by name (a missing column reads as
// empty). Values are shown as the table holds them; computed numbers in the shortest float text.
//
// - "Analysis_BondWeekReport" (columns KoraCode, BondName, WeekYieldChange, WeekVolume): the bonds by
//   their week's yield change, largest first (equal changes by code), numbered from 1, then a row
//   "Total" with the summed volume. Captions: Rank, KoraCode, BondName, WeekYieldChange, WeekVolume.
// - "Analysis_MasterFundReport" (KoraCode, MasterCode, FundName): one row per master fund, in order of
//   first appearance, with the name of its own row (the one whose KoraCode is the master code; else the
//   first row's), the number of share classes and their codes joined by ",". Captions: MasterCode,
//   FundName, ShareClasses, KoraCodes.
// - "Analysis_IMMBONDReport" (Term, Rate): one row per term, in order of first appearance, with the
//   number of bonds and the mean, lowest and highest rate (rows whose rate is not a number do not count).
//   Captions: Term, Count, AverageRate, MinRate, MaxRate.
// - "Analysis_InterrelateReport" (KoraCode, RelatedCode, RelationType): one row per code, in order of
//   first appearance, with its A/H partner (the related code of its last type-1 relation) and its other
//   related codes joined by ",". Captions: KoraCode, AHCode, RelatedCodes.
//
// Main thread, like the data items they read.
#pragma once

#include <memory>
#include <string>

#include "kdp/cloud/cloud_data.h"

namespace kdp {

// A new analysis of that name; nullptr for other names.
std::shared_ptr<ICloudReportAnalysis> CreateReportAnalysis(const std::string& name);

}  // namespace kdp
