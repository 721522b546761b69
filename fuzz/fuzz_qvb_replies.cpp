// The QVB reply decoders and the template tree's stream form on any bytes; the first byte picks the reader
// (and, for searches, the kick options). A reader either reads the bytes or fails with nothing kept; a
// node read is written and read again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kdp/qvb/qvb_decoders.h"
#include "kdp/qvb/qvb_template_node.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 6) {
    case 0: {
      kdp::TKrQVBPropsDataDecoder decoder(body);
      if (!decoder.Decode() && !decoder.PropsList().empty()) std::abort();
      break;
    }
    case 1: {
      kdp::TKrQVBDataDecoder decoder(body);
      std::size_t events = 0;
      decoder.FOnDecodeDataEvent = [&](int, const kdp::TKrQVBOneData&) { ++events; };
      const bool ok = decoder.Decode();
      std::size_t values = 0;
      for (const auto& series : decoder.SeriesList()) values += series.Values.size();
      if ((!ok && values != 0) || (ok && values != events)) std::abort();
      break;
    }
    case 2: {
      kdp::TKrQVBNoteDataDecoder decoder(body);
      if (!decoder.Decode() && !decoder.Note().empty()) std::abort();
      break;
    }
    case 5: {
      kdp::host::MemoryStream stream(body);
      kdp::TKrQVBTemplateTreeNodeData node;
      if (!node.ReadStream(stream)) {
        if (node.GetChildrenCount() != 0 || !node.GetKey().empty()) std::abort();
        break;
      }
      kdp::host::MemoryStream written;
      node.WriteStream(written);
      written.SetPosition(0);
      kdp::TKrQVBTemplateTreeNodeData again;
      if (!again.ReadStream(written)) std::abort();
      kdp::host::MemoryStream rewritten;
      again.WriteStream(rewritten);
      if (rewritten.AsStringView() != written.AsStringView()) std::abort();
      break;
    }
    default: {
      kdp::TKrQVBPageSearchDataDecoder decoder(body);
      decoder.SetKickText("GDP　现价");
      decoder.SetCaseSensitive(data[0] & 8);
      decoder.SetWholeWords(data[0] & 16);
      const bool ok = decoder.Decode();
      if (!ok && (decoder.Count() != 0 || !decoder.PropsList().empty())) std::abort();
      if (ok && decoder.PropsList().size() > static_cast<std::size_t>(decoder.Count())) std::abort();
      break;
    }
  }
  return 0;
}
