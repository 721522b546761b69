#include "sector_master.h"

#include <nlohmann/json.hpp>

#include "text_files.h"

namespace kdp::minihost {
namespace {

// Builds a sector and its children, indexing each by upper-case ID.
std::shared_ptr<MiniSector> Build(const nlohmann::json& j, std::map<std::string, std::shared_ptr<MiniSector>>& index) {
  auto sector = std::make_shared<MiniSector>(j.at("id").get<std::string>(), j.value("name", std::string()),
                                             j.value("members", std::vector<std::string>{}));
  index[UpperAscii(sector->GetID())] = sector;
  if (j.contains("children")) {
    for (const nlohmann::json& child : j.at("children")) sector->AddChild(Build(child, index));
  }
  return sector;
}

}  // namespace

MiniSectorMaster::MiniSectorMaster()
    : custom_root_(std::make_shared<MiniSector>(kCustomSectorRootID, "我的板块", std::vector<std::string>{})) {}

bool MiniSectorMaster::Load(const std::string& path, std::string& error) {
  return LoadTextFile(path, "sectors file", error,
                      [this](const std::string& text, std::string& e) { return LoadText(text, e); });
}

bool MiniSectorMaster::LoadText(const std::string& json, std::string& error) {
  try {
    const nlohmann::json j = nlohmann::json::parse(json);
    std::map<std::string, std::shared_ptr<MiniSector>> system, user;
    auto root = std::make_shared<MiniSector>(kCustomSectorRootID, "我的板块", std::vector<std::string>{});
    for (const nlohmann::json& s : j.value("sectors", nlohmann::json::array())) Build(s, system);
    for (const nlohmann::json& s : j.value("userSectors", nlohmann::json::array())) root->AddChild(Build(s, user));
    system_ = std::move(system);
    user_ = std::move(user);
    custom_root_ = std::move(root);
    default_user_sector_ = UpperAscii(j.value("defaultUserSector", std::string()));
    return true;
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return false;
  }
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
