// The host's directories. Each getter answers a path ending in "/", so a relative file name is appended
// directly. Configuration paths written with "\" elsewhere are joined here with "/".
#pragma once

#include <string>
#include <string_view>

namespace kdp::host {

std::string GetEtcPath();                       // the configuration root
std::string GetUserPath(std::string_view sub);  // the user's data directory + sub + "/" (created)
std::string GetBinPath();
std::string GetTmpPath();  // created on demand
std::string GetLogPath();  // created on demand

// Turns a configuration-relative path written with "\" ("HQ\Base\StockTypeMap.xml") into a "/" path.
std::string ToNativePath(std::string_view configurationPath);

}  // namespace kdp::host
