#include "refdata/permission.h"

#include <map>
#include <memory>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "util/strings.h"

namespace kdp {
namespace {

// The command permission dictionary: command ID -> right. Main thread only.
std::unique_ptr<std::map<int, std::string>> g_HQPermissionDict;

const std::map<int, std::string>& PermissionDict() {
  if (!g_HQPermissionDict) InitHQPermissionDict();
  return *g_HQPermissionDict;
}

}  // namespace

std::vector<std::string> FastSplit(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  const std::string_view trimmed = TrimView(text);
  if (trimmed.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(trimmed);
    return pieces;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = trimmed.find(separator, start);
    if (end == std::string_view::npos) {
      pieces.emplace_back(trimmed.substr(start));
      return pieces;
    }
    pieces.emplace_back(trimmed.substr(start, end - start));
    start = end + separator.size();
  }
}

int MatchPermission(std::string_view rights) {
  auto context = GetHQContext();
  if (!context) return 0;
  int count = 0;
  for (const std::string& piece : FastSplit(rights, ",")) {
    const std::string right = Trim(piece);
    if (right.empty() || !context->HasRight(right)) continue;
    // Free Hong Kong quotes are a mainland offer: they do not count for users logged in elsewhere.
    const bool mainlandOnly =
        SameTextAscii(right, "EQ_HQ_HK_FREERQ") || SameTextAscii(right, "CM_HQ_HKPRS_MAINLAND_FREE");
    if (mainlandOnly && GetLoginRegion() != 0) continue;
    ++count;
  }
  return count;
}

void InitHQPermissionDict() {
  auto dict = std::make_unique<std::map<int, std::string>>();
  for (const TCommandRight& entry : CommandRightCatalog()) dict->emplace(entry.commandID, entry.right);
  g_HQPermissionDict = std::move(dict);
}

void FreeHQPermissionDict() { g_HQPermissionDict.reset(); }

bool IsHavePermissionByCommandID(int commandID) { return PermissionDict().contains(commandID); }

std::string GetPermissionByCommandID(int commandID) {
  const auto& dict = PermissionDict();
  auto it = dict.find(commandID);
  return it == dict.end() ? std::string("F_BASE") : it->second;
}

}  // namespace kdp
