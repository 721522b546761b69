// Reading a whole file, as every loader of configuration does, with the system's reason on failure.
// Any thread.
#pragma once

#include <cstddef>
#include <string>

namespace kdp::host {

// Files larger than this are refused rather than read into memory.
inline constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

// The file's bytes. False, with `reason` ("Is a directory", "Permission denied", "No such file or
// directory", "larger than 256 MiB": the system's words), when the file cannot be read whole; callers
// say "cannot read PATH: REASON".
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason);

}  // namespace kdp::host
