// zlib inflation of compressed replies.
#pragma once

#include <cstdint>
#include <span>

#include "kdp/host/memory_stream.h"

namespace kdp::host {

// Inflates a zlib or gzip stream (detected from its header) and appends the result to `out` at its
// position. Returns false, with `out` unchanged, when the input is not a complete valid stream or would
// inflate beyond `maxOutputBytes`.
bool UnZipToStream(std::span<const std::uint8_t> compressed, MemoryStream& out,
                   std::size_t maxOutputBytes = std::size_t{1} << 30);

}  // namespace kdp::host
