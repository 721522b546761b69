// The stand-in host's sector master, loaded from the sectors file of the configuration (JSON):
//   { "defaultUserSector": "<id>",
//     "sectors":     [ { "id": "...", "name": "...", "members": ["600000.SH", ...], "children": [ ... ] } ],
//     "userSectors": [ ...same shape... ] }
// System sectors (and their children, up to 32 levels) are found by GetSectorByID; the user's own sectors
// hang under the custom sector root and are found by GetUserSectorByID. IDs compare case-insensitively.
// IDs, names and member codes must be plain text (no control characters, UTF-8): a file with any other
// value is refused with the sector it was found in.
//
// Loaded when the host is made, before anything else runs, and read-only afterwards: look-ups may come
// from any thread (the quote engine asks about sectors from its own).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/security.h"

namespace kdp::minihost {

class MiniSector final : public host::Implements<host::IKrSector> {
 public:
  MiniSector(std::string id, std::string name, std::vector<std::string> members)
      : id_(std::move(id)), name_(std::move(name)), members_(std::move(members)) {}

  std::string GetID() override { return id_; }
  std::string GetName() override { return name_; }
  std::vector<std::string> GetMemberCodes() override { return members_; }
  int GetChildCount() override { return static_cast<int>(children_.size()); }
  std::shared_ptr<host::IKrSector> GetChild(int index) override {
    return index >= 0 && index < GetChildCount() ? children_[static_cast<std::size_t>(index)] : nullptr;
  }

  void AddChild(std::shared_ptr<MiniSector> child) { children_.push_back(std::move(child)); }

 private:
  std::string id_;
  std::string name_;
  std::vector<std::string> members_;
  std::vector<std::shared_ptr<MiniSector>> children_;
};

class MiniSectorMaster final : public host::Implements<host::IKrSectorMgrHQ> {
 public:
  MiniSectorMaster();

  // Loads the file; false (with `error`) when it cannot be read or is not the expected JSON.
  bool Load(const std::string& path, std::string& error);
  bool LoadText(const std::string& json, std::string& error);

  std::shared_ptr<host::IKrSector> GetSectorByID(const std::string& id) override;
  std::shared_ptr<host::IKrSector> GetUserSectorByID(const std::string& id) override;
  std::shared_ptr<host::IKrSector> GetDefaultUserSector() override;
  std::shared_ptr<host::IKrSector> GetCustomSectorRoot() override { return custom_root_; }
  // The top-level system sectors as its children, in the file's order (the root itself is no sector).
  std::shared_ptr<MiniSector> SystemRoot() const { return system_root_; }

  // A system sector, else a user sector, by ID; nullptr when neither has it.
  std::shared_ptr<MiniSector> Find(const std::string& id) const;

  // Every member code of every sector, for checking against the security master.
  std::vector<std::string> AllMemberCodes() const;
  std::size_t SystemSectorCount() const { return system_.size(); }

 private:
  std::map<std::string, std::shared_ptr<MiniSector>> system_;  // upper-case ID
  std::map<std::string, std::shared_ptr<MiniSector>> user_;
  std::shared_ptr<MiniSector> custom_root_;
  std::shared_ptr<MiniSector> system_root_;
  std::string default_user_sector_;
};

inline constexpr const char* kCustomSectorRootID = "CUSTOM_ROOT";
inline constexpr const char* kSystemSectorRootID = "SYSTEM_ROOT";

}  // namespace kdp::minihost
