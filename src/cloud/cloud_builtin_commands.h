// The built-in cloud commands: the indicator pages' reports 1 to 30, whose index lists are fixed, and the
// two function sets, 100 (matrix functions) and 1000 (KSS functions), whose index IDs are appended per
// request. Pure data; any thread.
#pragma once

#include <memory>
#include <vector>

#include "cloud/cloud_command_item.h"

namespace kdp {

inline constexpr int kMatrixFunctionCommandID = 100;
inline constexpr int kKssFunctionCommandID = 1000;

// A fresh item per built-in command, in ID order.
std::vector<std::unique_ptr<TKrCloudCommandItem>> MakeBuiltInCloudCommands();

}  // namespace kdp
