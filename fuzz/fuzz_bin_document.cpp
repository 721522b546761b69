// Binary documents from disk: the decoder must reject any malformed input cleanly, and whatever it
// accepts must be walkable to the leaves.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kdp/host/bin_document.h"

namespace {

std::size_t Walk(const kdp::host::IBinNode* node, int depth) {
  if (node == nullptr || depth > 300) return 0;
  std::size_t n = node->GetText().size() + node->GetNodeName().size();
  for (int i = 0; i < node->GetAttributeCount(); ++i) {
    n += node->GetAttributeName(i).size() + node->GetAttributeValue(i).size();
    n += node->GetAttributeNoCase(node->GetAttributeName(i)).size();
  }
  for (int i = 0; i < node->GetChildCount(); ++i) n += Walk(node->GetChild(i), depth + 1);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto doc = kdp::host::HQQueryBinDocInterface();
  if (doc->LoadFromBytes(bytes)) {
    volatile std::size_t sink = Walk(doc->GetDocumentNode(), 0);
    (void)sink;
  }
  // The same bytes read as XML and encoded must decode again.
  std::string encoded;
  if (kdp::host::EncodeXmlAsBinDocument(bytes, encoded) && !doc->LoadFromBytes(encoded)) __builtin_trap();
  return 0;
}
