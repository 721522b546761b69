// The column trees of the information service and the names of its request fields.
//
// ISectorTreeMgr (published at start-up as "ISectorTreeMgr") fetches the news, announcement and law trees
// that news widgets show as their column list, keeps each as a flat list of nodes in the server's order,
// and builds the request description of a column of the news tree. IKrLuxIndexNameTable (created on its
// first look-up as "IKrLuxIndexNameTable") maps the service's numeric request-field indexes to field names.
//
// Main thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/lux/lux_requests.h"
#include "kdp/lux/lux_types.h"

namespace kdp {

// A tree's key is its text: "news", "affiche", "law".
enum class TSectorType { kNews = 0, kAffiche = 1, kLaw = 2 };
std::string_view SectorTypeKey(TSectorType type);

using TSectorTreeNodes = std::vector<TNewsSectorItem>;

class ISectorTreeMgr : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "0CFC92DC-26B9-4208-8B4A-E60B06D34D65";

  // The tree's nodes, or nullptr while it has not arrived; a tree not stored asks for all three trees.
  // The list handed out stays valid (and unchanged) after the tree is replaced.
  virtual std::shared_ptr<const TSectorTreeNodes> GetSectorTree(TSectorType type) = 0;
  // The request description a news widget uses for a column of the news tree, for a request kind
  // ("DITGet", "DITSearch", "DITSub"); nullptr (and a log line) for an empty kind or an unknown column.
  virtual ReqInfoPtr GetSectorTreeReqInfo(const std::string& columnCode, const std::string& requestKind) = 0;
  // Drops every tree and asks for all three again.
  virtual void GetAllSectorTree() = 0;
};

class IKrLuxIndexNameTable : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "1435EF9C-3227-40B5-B154-B82B3A1CD9D7";

  // Both look up the table by index text ("3031" -> "enddate"); "" for an index it does not hold. A field
  // name given to GetIndexByName is not an index, so it answers "" too.
  virtual std::string GetIndexByName(const std::string& key) = 0;
  virtual std::string GetNameByIndex(const std::string& index) = 0;
};

}  // namespace kdp
