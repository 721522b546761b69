#include "kdp/host/unzip.h"

#include <zlib.h>

#include <vector>

namespace kdp::host {

bool UnZipToStream(std::span<const std::uint8_t> compressed, MemoryStream& out, std::size_t maxOutputBytes) {
  z_stream zs{};
  // 15 window bits + 32: accept both zlib and gzip headers.
  if (inflateInit2(&zs, 15 + 32) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(compressed.data());
  zs.avail_in = static_cast<uInt>(compressed.size());

  std::vector<std::uint8_t> inflated;
  std::uint8_t chunk[16384];
  int rc = Z_OK;
  while (rc == Z_OK) {
    zs.next_out = chunk;
    zs.avail_out = sizeof chunk;
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    const std::size_t produced = sizeof chunk - zs.avail_out;
    if (inflated.size() + produced > maxOutputBytes) {
      rc = Z_MEM_ERROR;
      break;
    }
    inflated.insert(inflated.end(), chunk, chunk + produced);
    if (rc == Z_OK && produced == 0 && zs.avail_in == 0) {
      rc = Z_BUF_ERROR;  // truncated input: no progress and nothing left to read
      break;
    }
  }
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) return false;
  out.Write(inflated.data(), inflated.size());
  return true;
}

}  // namespace kdp::host
