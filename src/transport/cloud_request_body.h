// The bodies of the cloud report requests that travel as Lux raw messages. Pure functions of their
// inputs; texts are UTF-8 here and go out as code page 936 (ANSI). Any thread.
#pragma once

#include <cstdint>
#include <string>

#include "kdp/host/memory_stream.h"

namespace kdp {

// The request-format value of a "B1" request: the reply comes as a report stream.
inline constexpr std::uint8_t kB1RequestFormat = 3;

// The body of a "B1" cloud report request, raw bytes:
//   1. 32-bit big-endian: the number of bytes that follow it;
//   2. the context text: 32-bit little-endian ANSI byte length, then its ANSI bytes;
//   3. the context number: 32-bit little-endian;
//   4. the extra text: 32-bit little-endian ANSI byte length, then its ANSI bytes;
//   5. 32-bit little-endian 1;
//   6. one byte: kB1RequestFormat;
//   7. one byte 1, one byte 1;
//   8. 32-bit little-endian: the command's ANSI byte length plus 5;
//   9. one byte 1;
//  10. 32-bit little-endian: the command's ANSI byte length, then its ANSI bytes.
// The command is sent as given (callers trim it). The stream is rewound.
host::MemoryStream MakeB1RequestBody(const std::string& contextText, std::uint32_t contextNumber,
                                     const std::string& extra, const std::string& command);

}  // namespace kdp
