#include "sector_master.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "kdp/host/display_text.h"
#include "kdp/host/excerpt.h"

#include "text_files.h"

namespace kdp::minihost {
namespace {

// Sector trees deeper than this are refused rather than walked.
constexpr int kMaxSectorDepth = 32;

// A text field of a sector: absent gives `fallback`; anything but plain text is refused.
bool TextField(const nlohmann::json& j, const char* key, std::string& value, std::string& error) {
  const auto it = j.find(key);
  if (it == j.end()) return true;
  if (!it->is_string() || !host::IsPlainText(it->get_ref<const std::string&>())) {
    error = fmt::format("\"{}\" is not text: {}", key, host::Excerpt(it->dump()));
    return false;
  }
  value = it->get<std::string>();
  return true;
}

// Builds a sector and its children, indexing each by upper-case ID; nullptr, with `error`, for a sector
// whose ID, name or members are not text.
std::shared_ptr<MiniSector> Build(const nlohmann::json& j, std::map<std::string, std::shared_ptr<MiniSector>>& index,
                                  int depth, std::string& error) {
  std::string id, name;
  std::vector<std::string> members;
  if (!j.is_object()) {
    error = "a sector is not an object";
    return nullptr;
  }
  if (!TextField(j, "id", id, error) || !TextField(j, "name", name, error)) return nullptr;
  if (id.empty()) {
    error = "a sector has no \"id\"";
    return nullptr;
  }
  if (depth > kMaxSectorDepth) {
    error = fmt::format("sector {} is nested deeper than {} levels", id, kMaxSectorDepth);
    return nullptr;
  }
  if (const auto it = j.find("members"); it != j.end()) {
    if (!it->is_array()) {
      error = fmt::format("sector {}: \"members\" is not a list", id);
      return nullptr;
    }
    for (const nlohmann::json& member : *it) {
      if (!member.is_string() || !host::IsPlainText(member.get_ref<const std::string&>())) {
        error = fmt::format("sector {}: a member is not a code: {}", id, host::Excerpt(member.dump()));
        return nullptr;
      }
      members.push_back(member.get<std::string>());
    }
  }
  auto sector = std::make_shared<MiniSector>(id, name, std::move(members));
  index[UpperAscii(id)] = sector;
  if (const auto it = j.find("children"); it != j.end()) {
    if (!it->is_array()) {
      error = fmt::format("sector {}: \"children\" is not a list", id);
      return nullptr;
    }
    for (const nlohmann::json& child : *it) {
      auto built = Build(child, index, depth + 1, error);
      if (!built) return nullptr;
      sector->AddChild(std::move(built));
    }
  }
  return sector;
}

// The sectors of one list of the file ("sectors" or "userSectors"); false with `error` for a bad one.
bool BuildList(const nlohmann::json& j, const char* key, std::map<std::string, std::shared_ptr<MiniSector>>& index,
               MiniSector* parent, std::string& error) {
  const auto it = j.find(key);
  if (it == j.end()) return true;
  if (!it->is_array()) {
    error = fmt::format("\"{}\" is not a list", key);
    return false;
  }
  for (const nlohmann::json& item : *it) {
    auto sector = Build(item, index, 1, error);
    if (!sector) return false;
    if (parent != nullptr) parent->AddChild(std::move(sector));
  }
  return true;
}

}  // namespace

MiniSectorMaster::MiniSectorMaster()
    : custom_root_(std::make_shared<MiniSector>(kCustomSectorRootID, "我的板块", std::vector<std::string>{})),
      system_root_(std::make_shared<MiniSector>(kSystemSectorRootID, "行情板块", std::vector<std::string>{})) {}

bool MiniSectorMaster::Load(const std::string& path, std::string& error) {
  return LoadTextFile(path, "sectors file", error,
                      [this](const std::string& text, std::string& e) { return LoadText(text, e); });
}

bool MiniSectorMaster::LoadText(const std::string& json, std::string& error) {
  nlohmann::json j;
  if (!ParseJson(json, j, error)) return false;
  if (!j.is_object()) {
    error = "not a JSON object";
    return false;
  }
  std::map<std::string, std::shared_ptr<MiniSector>> system, user;
  auto root = std::make_shared<MiniSector>(kCustomSectorRootID, "我的板块", std::vector<std::string>{});
  auto systemRoot = std::make_shared<MiniSector>(kSystemSectorRootID, "行情板块", std::vector<std::string>{});
  std::string defaultUserSector;
  if (!BuildList(j, "sectors", system, systemRoot.get(), error) || !BuildList(j, "userSectors", user, root.get(), error) ||
      !TextField(j, "defaultUserSector", defaultUserSector, error)) {
    return false;
  }
  system_ = std::move(system);
  user_ = std::move(user);
  custom_root_ = std::move(root);
  system_root_ = std::move(systemRoot);
  default_user_sector_ = UpperAscii(defaultUserSector);
  return true;
}

std::shared_ptr<host::IKrSector> MiniSectorMaster::GetSectorByID(const std::string& id) {
  auto it = system_.find(UpperAscii(id));
  return it == system_.end() ? nullptr : it->second;
}

std::shared_ptr<host::IKrSector> MiniSectorMaster::GetUserSectorByID(const std::string& id) {
  auto it = user_.find(UpperAscii(id));
  return it == user_.end() ? nullptr : it->second;
}

std::shared_ptr<host::IKrSector> MiniSectorMaster::GetDefaultUserSector() {
  return default_user_sector_.empty() ? nullptr : GetUserSectorByID(default_user_sector_);
}

std::shared_ptr<MiniSector> MiniSectorMaster::Find(const std::string& id) const {
  const std::string key = UpperAscii(id);
  if (auto it = system_.find(key); it != system_.end()) return it->second;
  if (auto it = user_.find(key); it != user_.end()) return it->second;
  return nullptr;
}

std::vector<std::string> MiniSectorMaster::AllMemberCodes() const {
  std::vector<std::string> codes;
  for (const auto* index : {&system_, &user_}) {
    for (const auto& [id, sector] : *index) {
      for (const std::string& code : sector->GetMemberCodes()) codes.push_back(code);
    }
  }
  return codes;
}

}  // namespace kdp::minihost
