#include "kdp/qvb/ansi_string_list.h"

#include <fmt/format.h>

#include "kdp/error.h"

namespace kdp {

int TAnsiStringList::Add(std::string_view s, void* object) {
  FStringList.push_back({std::string(s), object});
  return GetCount() - 1;
}

void TAnsiStringList::Clear() {
  std::vector<Entry> entries = std::move(FStringList);
  FStringList.clear();
  for (const Entry& entry : entries) FreeObject(entry.FObject);
}

const TAnsiStringList::Entry& TAnsiStringList::At(int index) const {
  if (index < 0 || index >= GetCount()) {
    throw Error(ErrorKind::kInvalidArgument, fmt::format("Invalid Index: {}", index));
  }
  return FStringList[static_cast<std::size_t>(index)];
}

const std::string& TAnsiStringList::GetString(int index) const { return At(index).FString; }

void TAnsiStringList::SetString(int index, std::string_view s) {
  At(index);
  FStringList[static_cast<std::size_t>(index)].FString = s;
}

void* TAnsiStringList::GetObjects(int index) const { return At(index).FObject; }

void TAnsiStringList::SetObjects(int index, void* object) {
  void* former = At(index).FObject;
  FStringList[static_cast<std::size_t>(index)].FObject = object;
  if (former != object) FreeObject(former);
}

std::string TAnsiStringList::GetTextStr() const {
  std::string text;
  for (std::size_t i = 0; i < FStringList.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += FStringList[i].FString;
  }
  return text;
}

void TAnsiStringList::SetTextStr(std::string_view text) {
  Clear();
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      Add(text.substr(start));
      break;
    }
    Add(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

void TAnsiStringList::FreeObject(void* object) {
  if (object != nullptr && FOnFreeObject) FOnFreeObject(object);
}

}  // namespace kdp
