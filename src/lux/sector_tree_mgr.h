// TKrSectorTreeMgr: the package's ISectorTreeMgr (see kdp/lux/sector_tree.h), and TKrLuxIndexNameTable,
// its IKrLuxIndexNameTable.
//
// The three trees are asked for with sector-tree requests of the types "19", "27" and "30", each through
// a message helper of its own, so each reply reaches its own handler. The news tree (19) becomes the node
// list of the "news" key; the rows of the other two replies are kept as the original items of their
// columns. Every node item is kept by its code, for the column requests. While the news tree's request
// is unanswered, look-ups do not ask again: widgets look trees up as often as they paint.
//
// Main thread only: the Lux data manager delivers replies on the main loop.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "kdp/lux/lux_data.h"
#include "kdp/lux/lux_helpers.h"
#include "kdp/lux/sector_tree.h"

namespace kdp {

class TKrSectorTreeMgr final : public host::Implements<ISectorTreeMgr> {
 public:
  // The module singleton (G_ISectorTreeMgr), made on the first call. REQUIRES: the Lux data manager is
  // published (the helpers look it up when they are made).
  static std::shared_ptr<TKrSectorTreeMgr> GetInstance();
  static void FreeInstance();

  TKrSectorTreeMgr();

  std::shared_ptr<const TSectorTreeNodes> GetSectorTree(TSectorType type) override;
  ReqInfoPtr GetSectorTreeReqInfo(const std::string& columnCode, const std::string& requestKind) override;
  void GetAllSectorTree() override;

  // The original items of the trees' nodes, by code: the news tree's, the scroll news tree's (27) and the
  // new tree's (30).
  const std::map<std::string, std::shared_ptr<IKrLuxDataItem>>& NewsSectorTreeOriginalData() const {
    return FNewsSectorTreeOriginalData;
  }
  const std::map<std::string, std::shared_ptr<IKrLuxDataItem>>& ScrollNewsSectorTreeOriginalData() const {
    return FScrollNewsSectorTreeOriginalData;
  }
  const std::map<std::string, std::shared_ptr<IKrLuxDataItem>>& NewsSectorTreeOriginalDataNew() const {
    return FNewsSectorTreeOriginalDataNew;
  }

 private:
  void RequestSectorTrees();
  void LuxNewsSectorTreeCallback(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info);
  void LuxScrollNewsSectorTreeCallback(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info);
  void LuxNewsSectorTreeCallbackNew(const std::shared_ptr<IKrLuxDataTable>& table, const TNotifyInfo& info);
  void SaveSectorTree(IKrLuxDataTable& table, TSectorType type);
  // Fills the request description from the column's item: its request fields by index, and the keys
  // every column request carries.
  bool InitSectorTreeReqInfo(IKrLuxDataReqInfo& info, IKrLuxDataItem& column);

  std::map<std::string, std::shared_ptr<const TSectorTreeNodes>, std::less<>> FDicSectorTree;
  std::map<std::string, std::shared_ptr<IKrLuxDataItem>> FNewsSectorTreeOriginalData;
  std::map<std::string, std::shared_ptr<IKrLuxDataItem>> FScrollNewsSectorTreeOriginalData;
  std::map<std::string, std::shared_ptr<IKrLuxDataItem>> FNewsSectorTreeOriginalDataNew;
  bool FTreesRequested = false;  // the three requests are out and the news tree's is unanswered
  TKrLuxMsgHelper FLuxMsgHelper;
  TKrLuxMsgHelper FLuxScrollNewsMsgHelper;
  TKrLuxMsgHelper FLuxMsgHelperNew;
};

class TKrLuxIndexNameTable final : public host::Implements<IKrLuxIndexNameTable> {
 public:
  TKrLuxIndexNameTable();

  std::string GetIndexByName(const std::string& key) override { return GetNameByIndex(key); }
  std::string GetNameByIndex(const std::string& index) override;

 private:
  std::map<std::string, std::string> FIndexToNameTable;
};

}  // namespace kdp
