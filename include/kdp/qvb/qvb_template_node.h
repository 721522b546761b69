// TKrQVBTemplateTreeNodeData: a node of an indicator template tree, a folder (ntDirectory) or a file of
// the terminal's economic-data tools (work, graph, series and QVB files). A node owns its children; each
// child knows its parent. ReadStream and WriteStream keep a node and its subtree in the host serializer's
// encodings, in field order: String NodeID, LongWord Version, LongWord NameID, String Key, String Desc,
// LongWord ExtType, String ExtInfo, String NodePath, Byte NodeType, LongWord size and bytes of Data, the
// same of NodeValue, Byte Checked, LongWord child count, then the children.
//
// Main thread only (ExportToLocal writes files).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kdp/host/memory_stream.h"

namespace kdp {

enum TNodeType : std::uint8_t { ntDirectory, ntWorkFile, ntGraphFile, ntSeriesFile, ntQVBFile };

class TKrQVBTemplateTreeNodeData {
 public:
  // Subtrees read from a stream nest at most this deep.
  static constexpr int kMaxDepth = 32;

  TKrQVBTemplateTreeNodeData() = default;
  TKrQVBTemplateTreeNodeData(const TKrQVBTemplateTreeNodeData&) = delete;
  TKrQVBTemplateTreeNodeData& operator=(const TKrQVBTemplateTreeNodeData&) = delete;

  // Appends (or inserts before `index`, clamped to the children there are) and takes ownership; the child.
  TKrQVBTemplateTreeNodeData* AddChild(std::unique_ptr<TKrQVBTemplateTreeNodeData> child);
  TKrQVBTemplateTreeNodeData* InsertChild(int index, std::unique_ptr<TKrQVBTemplateTreeNodeData> child);
  // Removes and frees the child; false when it is not a child of this node.
  bool RemoveChild(const TKrQVBTemplateTreeNodeData* child);
  void ClearChildrenList() { FChildrenList.clear(); }
  int GetChildrenCount() const { return static_cast<int>(FChildrenList.size()); }
  // nullptr when there is no such child.
  TKrQVBTemplateTreeNodeData* FindChildByIndex(int index) const;
  TKrQVBTemplateTreeNodeData* FindChildByKey(const std::string& key) const;
  TKrQVBTemplateTreeNodeData* FindChildByKeyType(const std::string& key, TNodeType type) const;
  // The node's place among its parent's children; -1 for a root.
  int getIndex() const;
  // The place of the first child that is a template file (any type but a folder); -1 when none.
  int Get_First_Template_Index() const;
  // Sets the flag on the node and its whole subtree.
  void SetCheck(bool checked);

  const std::string& GetNodeID() const { return FNodeID; }
  std::uint32_t GetVersion() const { return FVersion; }
  std::uint32_t GetNameID() const { return FNameID; }
  const std::string& GetKey() const { return FKey; }
  const std::string& GetDesc() const { return FDesc; }
  std::uint32_t GetExtType() const { return FExtType; }
  const std::string& GetExtInfo() const { return FExtInfo; }
  const std::string& GetNodePath() const { return FNodePath; }
  TNodeType GetNodeType() const { return FNodeType; }
  const host::MemoryStream& GetData() const { return FData; }
  const host::MemoryStream& GetNodeValue() const { return FNodeValue; }
  TKrQVBTemplateTreeNodeData* GetParent() const { return FParent; }
  bool GetChecked() const { return FChecked; }

  void SetNodeID(std::string value) { FNodeID = std::move(value); }
  void SetVersion(std::uint32_t value) { FVersion = value; }
  void SetNameID(std::uint32_t value) { FNameID = value; }
  void SetKey(std::string value) { FKey = std::move(value); }
  void SetDesc(std::string value) { FDesc = std::move(value); }
  void SetExtType(std::uint32_t value) { FExtType = value; }
  void SetExtInfo(std::string value) { FExtInfo = std::move(value); }
  void SetNodePath(std::string value) { FNodePath = std::move(value); }
  void SetNodeType(TNodeType value) { FNodeType = value; }
  void SetData(std::string_view bytes) { FData = host::MemoryStream(bytes); }
  void SetNodeValue(std::string_view bytes) { FNodeValue = host::MemoryStream(bytes); }

  void WriteStream(host::MemoryStream& stream) const;
  // Replaces the node's fields and children with those read from the stream's position; false (the node
  // emptied, the position where the failure was) when the bytes are not a node.
  bool ReadStream(host::MemoryStream& stream);

  // Writes the node's data to "<folder>Temp/<name><extension>" (the name "<name>(2)", "<name>(3)", ... when
  // that file exists; the name is the description, else the node ID, with "/" and "\" written as "_" and
  // "." or ".." as "_", so no name leaves the folder), the extension by type: ".kdt" work, ".kgt" graph,
  // ".kst" series, ".ket" QVB. The path written; "" for a folder node or a failed write.
  std::string ExportToLocal(const std::string& folder) const;

  // Makes this node a copy of a node of the user's cloud template tree: every field and the whole
  // subtree, each node path in the form check_Pathurl gives (the node keeps its own parent). False, the
  // node unchanged, when a path of the subtree is refused.
  bool InitByCloudUserNode(const TKrQVBTemplateTreeNodeData& cloudNode);
  // A node path as the template tree keeps it: "/" between names (a backslash counts as "/"), one "/" first,
  // none doubled or last, "." names left out; "" for a path that names ".." (it would leave the user's
  // template folder).
  static std::string check_Pathurl(std::string_view path);
  // The units of series as "name=unit" lines joined by "\r\n", in the order given; a series without a
  // unit gives no line. Names and units are taken as they are ("%" is a unit like any other).
  static std::string GetNewSeriesUnit(const std::vector<std::pair<std::string, std::string>>& seriesUnits);

 private:
  bool ReadFields(host::MemoryStream& stream, int depth);
  // Empties every field and drops the children (the parent stays).
  void Reset();

  std::string FNodeID;
  std::uint32_t FVersion = 0;
  std::uint32_t FNameID = 0;
  std::string FKey;
  std::string FDesc;
  std::uint32_t FExtType = 0;
  std::string FExtInfo;
  std::string FNodePath;
  TNodeType FNodeType = ntDirectory;
  host::MemoryStream FData;
  host::MemoryStream FNodeValue;
  TKrQVBTemplateTreeNodeData* FParent = nullptr;
  std::vector<std::unique_ptr<TKrQVBTemplateTreeNodeData>> FChildrenList;
  bool FChecked = false;
};

}  // namespace kdp
