#include "lux/lux_sub_history.h"

#include <algorithm>

#include "kdp/host/log.h"
#include "lux/lux_request_info.h"

namespace kdp {
namespace {

template <class List, class Value>
void AddOnce(List& list, const Value& value) {
  if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

// Removes `value` from the list under `key`, and the list when it is left empty.
template <class Map, class Key, class Value>
void RemoveFromList(Map& map, const Key& key, const Value& value) {
  auto it = map.find(key);
  if (it == map.end()) return;
  std::erase(it->second, value);
  if (it->second.empty()) map.erase(it);
}

}  // namespace

void TKrLuxSubInfo::OnPublish(host::MemoryStream& record) {
  auto message = std::make_unique<TDataProcessMsg>();
  message->ReqRcItem = FLuxReqRecordInfo;
  if (const auto& processor = FLuxReqRecordInfo.IProcessor) {
    processor->ProcessPublishMsg(record);
    message->ReceiveDataTable = processor->GetAnalyseLuxData();
  }
  message->MessageType = LMTOK;
  message->LParam = 0;
  if (!FWindow.Post(std::move(message), FOnPush)) {
    host::AddHQLog("OnPublish, WM_LUX_SUBSCRIBE PostMessage Fail!", "ukrLuxDataMgrDef", host::LogSeverity::kNotice);
  }
}

TKrLuxDataSubHistoryMgr::~TKrLuxDataSubHistoryMgr() {
  FWidgetSectors.clear();
  FSectorWidgets.clear();
  FSubInfos.clear();
  FReqWidgets.clear();
}

bool TKrLuxDataSubHistoryMgr::TryGetReqWidget(std::uint32_t widgetID, TKrLuxDataReq*& request) const {
  auto it = FReqWidgets.find(widgetID);
  if (it == FReqWidgets.end()) return false;
  request = it->second;
  return true;
}

void TKrLuxDataSubHistoryMgr::AddSubSectorWidgets(const std::string& sectorID, std::uint32_t widgetID) {
  AddOnce(FSectorWidgets[sectorID], widgetID);
}

void TKrLuxDataSubHistoryMgr::AddWidgetSubSectorHis(std::uint32_t widgetID, const std::string& sectorID) {
  AddOnce(FWidgetSectors[widgetID], sectorID);
}

void TKrLuxDataSubHistoryMgr::DeSubWidgetSector(const std::string& sectorID, std::uint32_t widgetID) {
  RemoveFromList(FSectorWidgets, sectorID, widgetID);
}

void TKrLuxDataSubHistoryMgr::DeWidgetSubSectorHis(std::uint32_t widgetID, const std::string& sectorID) {
  RemoveFromList(FWidgetSectors, widgetID, sectorID);
}

std::vector<std::uint32_t> TKrLuxDataSubHistoryMgr::GetSectorSubWidgets(const std::string& sectorID) const {
  auto it = FSectorWidgets.find(sectorID);
  return it == FSectorWidgets.end() ? std::vector<std::uint32_t>() : it->second;
}

std::vector<std::string> TKrLuxDataSubHistoryMgr::GetWidgetSubSectors(std::uint32_t widgetID) const {
  auto it = FWidgetSectors.find(widgetID);
  return it == FWidgetSectors.end() ? std::vector<std::string>() : it->second;
}

bool TKrLuxDataSubHistoryMgr::IsWidgetAlreadySub(const std::string& sectorID, std::uint32_t widgetID) const {
  auto it = FSectorWidgets.find(sectorID);
  return it != FSectorWidgets.end() && std::find(it->second.begin(), it->second.end(), widgetID) != it->second.end();
}

bool TKrLuxDataSubHistoryMgr::IsNeedDeSubFromServer(const std::string& sectorID) const {
  auto widgets = FSectorWidgets.find(sectorID);
  if (widgets == FSectorWidgets.end()) return true;
  for (std::uint32_t widgetID : widgets->second) {
    auto history = FWidgetSectors.find(widgetID);
    if (history != FWidgetSectors.end() &&
        std::find(history->second.begin(), history->second.end(), sectorID) != history->second.end()) {
      return false;
    }
  }
  return true;
}

void TKrLuxDataSubHistoryMgr::AddSubSectorNotifyObj(const std::string& sectorID,
                                                    std::unique_ptr<TKrLuxSubInfo> subInfo) {
  FSubInfos[sectorID] = std::move(subInfo);
}

TKrLuxSubInfo* TKrLuxDataSubHistoryMgr::GetSubInfoBySectorID(const std::string& sectorID) const {
  auto it = FSubInfos.find(sectorID);
  return it == FSubInfos.end() ? nullptr : it->second.get();
}

std::vector<std::string> TKrLuxDataSubHistoryMgr::SubscribedSectors() const {
  std::vector<std::string> sectors;
  for (const auto& [sector, subInfo] : FSubInfos) sectors.push_back(sector);
  return sectors;
}

void TKrLuxDataSubHistoryMgr::DeSubSector(const std::string& sectorID) {
  FSubInfos.erase(sectorID);
  FHashCodes.erase(sectorID);
}

bool TKrLuxDataSubHistoryMgr::IsSectorSubInfoChange(const std::string& sectorID, std::uint32_t code) const {
  auto it = FHashCodes.find(sectorID);
  return it != FHashCodes.end() && it->second != code;
}

}  // namespace kdp
