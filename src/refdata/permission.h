// The permission helpers (kdp/refdata/permissions.h) and the life of the command permission dictionary,
// a module-wide map filled from the deployment's right catalogue on first use.
// Main thread only.
#pragma once

#include <span>
#include <string_view>

#include "kdp/refdata/permissions.h"

namespace kdp {

// One entry of the right catalogue: a numbered terminal command and the data right it needs.
struct TCommandRight {
  int commandID;
  std::string_view right;
};

// The deployment's right catalogue, in command order.
std::span<const TCommandRight> CommandRightCatalog();

// Fills the command permission dictionary from the catalogue (done on first use; again after a free).
void InitHQPermissionDict();
// Releases the dictionary (package shut-down); harmless when it was never made.
void FreeHQPermissionDict();

}  // namespace kdp
