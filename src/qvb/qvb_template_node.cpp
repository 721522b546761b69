#include "kdp/qvb/qvb_template_node.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>

#include "kdp/host/log.h"
#include "kdp/host/serializer.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrQVBTemplateTreeNode";

bool ReadBytes(host::TStreamSerializer& reader, host::MemoryStream& stream, host::MemoryStream& into) {
  std::uint32_t size = 0;
  if (!reader.ReadLongWord(size) || size > stream.Remaining()) return false;
  into = host::MemoryStream(stream.AsStringView().substr(stream.Position(), size));
  stream.SetPosition(stream.Position() + size);
  return true;
}

void WriteBytes(host::TStreamSerializer& writer, const host::MemoryStream& bytes) {
  writer.WriteLongWord(static_cast<std::uint32_t>(bytes.Size()));
  for (std::uint8_t byte : bytes.AsStringView()) writer.WriteByte(byte);
}

std::string_view Extension(TNodeType type) {
  switch (type) {
    case ntWorkFile:
      return ".kdt";
    case ntGraphFile:
      return ".kgt";
    case ntSeriesFile:
      return ".kst";
    case ntQVBFile:
      return ".ket";
    case ntDirectory:
      break;
  }
  return "";
}

// A node's name as a file name inside the export folder: a tree read from the cloud or a file names its
// nodes freely, so separators become "_", and a name that would leave or mean the folder is "_".
std::string FileNameOf(std::string name) {
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '/' || c == '\\' || c == '\0'; }, '_');
  return name.empty() || name == "." || name == ".." ? "_" : name;
}

}  // namespace

TKrQVBTemplateTreeNodeData* TKrQVBTemplateTreeNodeData::AddChild(std::unique_ptr<TKrQVBTemplateTreeNodeData> child) {
  return InsertChild(GetChildrenCount(), std::move(child));
}

TKrQVBTemplateTreeNodeData* TKrQVBTemplateTreeNodeData::InsertChild(int index,
                                                                    std::unique_ptr<TKrQVBTemplateTreeNodeData> child) {
  if (!child) return nullptr;
  child->FParent = this;
  const auto at = FChildrenList.begin() + std::clamp(index, 0, GetChildrenCount());
  return FChildrenList.insert(at, std::move(child))->get();
}

bool TKrQVBTemplateTreeNodeData::RemoveChild(const TKrQVBTemplateTreeNodeData* child) {
  const auto found = std::find_if(FChildrenList.begin(), FChildrenList.end(),
                                  [&](const auto& candidate) { return candidate.get() == child; });
  if (found == FChildrenList.end()) return false;
  FChildrenList.erase(found);
  return true;
}

TKrQVBTemplateTreeNodeData* TKrQVBTemplateTreeNodeData::FindChildByIndex(int index) const {
  return index >= 0 && index < GetChildrenCount() ? FChildrenList[static_cast<std::size_t>(index)].get() : nullptr;
}

TKrQVBTemplateTreeNodeData* TKrQVBTemplateTreeNodeData::FindChildByKey(const std::string& key) const {
  for (const auto& child : FChildrenList) {
    if (child->FKey == key) return child.get();
  }
  return nullptr;
}

TKrQVBTemplateTreeNodeData* TKrQVBTemplateTreeNodeData::FindChildByKeyType(const std::string& key,
                                                                           TNodeType type) const {
  for (const auto& child : FChildrenList) {
    if (child->FKey == key && child->FNodeType == type) return child.get();
  }
  return nullptr;
}

int TKrQVBTemplateTreeNodeData::getIndex() const {
  if (!FParent) return -1;
  for (int i = 0; i < FParent->GetChildrenCount(); ++i) {
    if (FParent->FindChildByIndex(i) == this) return i;
  }
  return -1;
}

int TKrQVBTemplateTreeNodeData::Get_First_Template_Index() const {
  for (int i = 0; i < GetChildrenCount(); ++i) {
    if (FChildrenList[static_cast<std::size_t>(i)]->FNodeType != ntDirectory) return i;
  }
  return -1;
}

void TKrQVBTemplateTreeNodeData::SetCheck(bool checked) {
  FChecked = checked;
  for (const auto& child : FChildrenList) child->SetCheck(checked);
}

void TKrQVBTemplateTreeNodeData::WriteStream(host::MemoryStream& stream) const {
  host::TStreamSerializer writer(stream);
  writer.WriteString(FNodeID);
  writer.WriteLongWord(FVersion);
  writer.WriteLongWord(FNameID);
  writer.WriteString(FKey);
  writer.WriteString(FDesc);
  writer.WriteLongWord(FExtType);
  writer.WriteString(FExtInfo);
  writer.WriteString(FNodePath);
  writer.WriteByte(FNodeType);
  WriteBytes(writer, FData);
  WriteBytes(writer, FNodeValue);
  writer.WriteByte(FChecked ? 1 : 0);
  writer.WriteLongWord(static_cast<std::uint32_t>(FChildrenList.size()));
  for (const auto& child : FChildrenList) child->WriteStream(stream);
}

bool TKrQVBTemplateTreeNodeData::ReadStream(host::MemoryStream& stream) {
  if (ReadFields(stream, 0)) return true;
  host::AddHQLog(fmt::format("TKrQVBTemplateTreeNodeData.ReadStream: not a node at byte {}", stream.Position()),
                 kLogSource, host::LogSeverity::kNotice);
  return false;
}

bool TKrQVBTemplateTreeNodeData::ReadFields(host::MemoryStream& stream, int depth) {
  host::TStreamSerializer reader(stream);
  std::uint8_t type = 0, checked = 0;
  std::uint32_t children = 0;
  FChildrenList.clear();
  const bool read = reader.ReadString(FNodeID) && reader.ReadLongWord(FVersion) && reader.ReadLongWord(FNameID) &&
                    reader.ReadString(FKey) && reader.ReadString(FDesc) && reader.ReadLongWord(FExtType) &&
                    reader.ReadString(FExtInfo) && reader.ReadString(FNodePath) && reader.ReadByte(type) &&
                    type <= ntQVBFile && ReadBytes(reader, stream, FData) && ReadBytes(reader, stream, FNodeValue) &&
                    reader.ReadByte(checked) && reader.ReadLongWord(children);
  // A child takes at least the lengths and numbers of its fields: a count beyond the bytes left is refused.
  constexpr std::size_t kMinNode = 7 * 4 + 2 + 4 * 4;
  if (!read || children > stream.Remaining() / kMinNode || (children > 0 && depth + 1 >= kMaxDepth)) {
    Reset();
    return false;
  }
  FNodeType = static_cast<TNodeType>(type);
  FChecked = checked != 0;
  for (std::uint32_t i = 0; i < children; ++i) {
    auto child = std::make_unique<TKrQVBTemplateTreeNodeData>();
    if (!child->ReadFields(stream, depth + 1)) {
      Reset();
      return false;
    }
    AddChild(std::move(child));
  }
  return true;
}

void TKrQVBTemplateTreeNodeData::Reset() {
  FNodeID.clear();
  FVersion = FNameID = FExtType = 0;
  FKey.clear();
  FDesc.clear();
  FExtInfo.clear();
  FNodePath.clear();
  FNodeType = ntDirectory;
  FData.Clear();
  FNodeValue.Clear();
  FChildrenList.clear();
  FChecked = false;
}

std::string TKrQVBTemplateTreeNodeData::ExportToLocal(const std::string& folder) const {
  const std::string_view extension = Extension(FNodeType);
  if (extension.empty()) return {};
  const std::string directory = folder + "Temp/";
  const std::string name = FileNameOf(FDesc.empty() ? FNodeID : FDesc);
  std::error_code ec;
  std::filesystem::create_directories(directory, ec);
  std::string path = fmt::format("{}{}{}", directory, name, extension);
  for (int copy = 2; std::filesystem::exists(path, ec); ++copy) {
    path = fmt::format("{}{}{}", directory, fmt::format("{}({})", name, copy), extension);
  }
  std::ofstream out(path, std::ios::binary);
  const std::string_view bytes = FData.AsStringView();
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    host::AddHQLog("TKrQVBTemplateTreeNodeData.ExportToLocal: cannot write " + path, kLogSource,
                   host::LogSeverity::kError);
    return {};
  }
  return path;
}

std::string TKrQVBTemplateTreeNodeData::check_Pathurl(std::string_view path) {
  std::string checked;
  std::string_view rest = path;
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of("/\\");
    const std::string_view name = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (name == "..") return {};
    if (name.empty() || name == ".") continue;
    checked += '/';
    checked += name;
  }
  return checked.empty() ? "/" : checked;
}

bool TKrQVBTemplateTreeNodeData::InitByCloudUserNode(const TKrQVBTemplateTreeNodeData& cloudNode) {
  // Built aside first, so a refused path leaves this node as it was.
  std::string path = check_Pathurl(cloudNode.FNodePath);
  if (path.empty()) return false;
  std::vector<std::unique_ptr<TKrQVBTemplateTreeNodeData>> children;
  for (const auto& cloudChild : cloudNode.FChildrenList) {
    auto child = std::make_unique<TKrQVBTemplateTreeNodeData>();
    if (!child->InitByCloudUserNode(*cloudChild)) return false;
    child->FParent = this;
    children.push_back(std::move(child));
  }
  FNodeID = cloudNode.FNodeID;
  FVersion = cloudNode.FVersion;
  FNameID = cloudNode.FNameID;
  FKey = cloudNode.FKey;
  FDesc = cloudNode.FDesc;
  FExtType = cloudNode.FExtType;
  FExtInfo = cloudNode.FExtInfo;
  FNodePath = std::move(path);
  FNodeType = cloudNode.FNodeType;
  FData = host::MemoryStream(cloudNode.FData.AsStringView());
  FNodeValue = host::MemoryStream(cloudNode.FNodeValue.AsStringView());
  FChecked = cloudNode.FChecked;
  FChildrenList = std::move(children);
  return true;
}

std::string TKrQVBTemplateTreeNodeData::GetNewSeriesUnit(
    const std::vector<std::pair<std::string, std::string>>& seriesUnits) {
  std::string lines;
  for (const auto& [name, unit] : seriesUnits) {
    if (unit.empty()) continue;
    if (!lines.empty()) lines += "\r\n";
    lines += fmt::format("{}={}", name, unit);
  }
  return lines;
}

}  // namespace kdp
