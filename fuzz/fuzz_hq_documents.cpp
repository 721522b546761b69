// The field dictionary, expression dictionary and format columns loaders on any document: the input is
// XML (encoded as a binary document first) or a binary document itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "format/format_manager.h"
#include "kdp/host/bin_document.h"
#include "fields/hq_dictionary.h"
#include "fields/hq_expressions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  auto document = kdp::host::HQQueryBinDocInterface();
  std::string encoded;
  if (kdp::host::EncodeXmlAsBinDocument(input, encoded)) {
    if (!document->LoadFromBytes(encoded)) return 0;
  } else if (!document->LoadFromBytes(input)) {
    return 0;
  }
  const kdp::host::IBinNode* root = document->GetRoot();
  if (root == nullptr) return 0;

  kdp::TKrHQDictionaryImpl dictionary;
  dictionary.LoadBinDictionaryData(*root);
  for (int id : {0, 1, 3, 10000, 10001, 15000, 20000, 20001, 2000000000, -5}) {
    dictionary.GetNameByID(id);
    dictionary.GetTypeByID(id);
    dictionary.GetMatrixFunctionByID(id);
    dictionary.GetLuxMapIndex(id);
  }
  dictionary.GetIndexIDByLuxId(301);
  dictionary.GetIDByName("NewPrice");

  kdp::TKrHQExpressionsImpl expressions(dictionary);
  expressions.LoadBinData(*root);
  expressions.GetExpItemByMarket("Amplitude", "HK");

  kdp::TKrHQFormatManager formats(*root, nullptr, &dictionary);
  for (const std::string& type : formats.GetHQTypes()) {
    if (auto item = formats.GetItemByHQTypeAndID(type, 3)) {
      try {
        item->CalcAndFormat(12.345);
      } catch (const kdp::EHQFormatError&) {
      }
    }
    formats.GetItemByHQType(type, "NewPrice");
  }
  return 0;
}
