#include "lux/lux_data_item.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace kdp {
namespace {

// Both separators are three bytes in UTF-8: E2 99 80 ("♀") and E2 99 82 ("♂").
constexpr std::size_t kSeparatorSize = 3;
static_assert(kLuxNameValueSeparator.size() == kSeparatorSize && kLuxPairSeparator.size() == kSeparatorSize);

enum class Separator { kNone, kNameValue, kPair };

// The next separator at or after `from`: its kind and position (text.size() when there is none).
Separator NextSeparator(std::string_view text, std::size_t from, std::size_t& at) {
  while (from + kSeparatorSize <= text.size()) {
    const void* hit = std::memchr(text.data() + from, '\xE2', text.size() - from - (kSeparatorSize - 1));
    if (hit == nullptr) break;
    at = static_cast<const char*>(hit) - text.data();
    if (text[at + 1] == '\x99') {
      if (text[at + 2] == '\x80') return Separator::kNameValue;
      if (text[at + 2] == '\x82') return Separator::kPair;
    }
    from = at + 1;
  }
  at = text.size();
  return Separator::kNone;
}

// Calls `onPart(name, value, pieces)` for each part of a serial string: its first two pieces (the second
// empty when the part has one) and how many pieces it has.
template <class OnPart>
void ForEachPart(std::string_view text, OnPart onPart) {
  std::size_t partStart = 0;
  std::size_t pieces = 1;
  std::size_t firstCut = std::string_view::npos, secondCut = std::string_view::npos;
  std::size_t pos = 0;
  while (true) {
    std::size_t at = 0;
    const Separator kind = NextSeparator(text, pos, at);
    if (kind == Separator::kNameValue) {
      if (pieces == 1) firstCut = at;
      if (pieces == 2) secondCut = at;
      ++pieces;
      pos = at + kSeparatorSize;
      continue;
    }
    // A part ends at a pair separator or at the end of the text.
    if (pieces >= 2) {
      const std::size_t valueStart = firstCut + kSeparatorSize;
      const std::size_t valueEnd = pieces == 2 ? at : secondCut;
      onPart(text.substr(partStart, firstCut - partStart), text.substr(valueStart, valueEnd - valueStart), pieces);
    } else {
      onPart(text.substr(partStart, at - partStart), std::string_view(), pieces);
    }
    if (kind == Separator::kNone) return;
    partStart = pos = at + kSeparatorSize;
    pieces = 1;
    firstCut = secondCut = std::string_view::npos;
  }
}

}  // namespace

TKrLuxDataItem::TKrLuxDataItem(const TKrLuxDataItem& other) : host::Implements<IKrLuxDataItem>() { *this = other; }

TKrLuxDataItem& TKrLuxDataItem::operator=(const TKrLuxDataItem& other) {
  if (this == &other) return *this;
  Clear();
  if (other.IsView()) {
    for (const TLuxFieldView& field : other.FView) Append(field.Name, field.Value);
  } else {
    FText = other.FText;
    FFields = other.FFields;
    FEmptyNames = other.FEmptyNames;
  }
  return *this;
}

void TKrLuxDataItem::OwnFields() {
  if (!IsView()) return;
  const std::span<const TLuxFieldView> fields = FView;
  FView = {};
  std::size_t bytes = 0;
  for (const TLuxFieldView& field : fields) bytes += field.Name.size() + field.Value.size() + 2 * kSeparatorSize;
  Reserve(bytes, fields.size() + 1);
  for (const TLuxFieldView& field : fields) Append(field.Name, field.Value);
}

int TKrLuxDataItem::Find(std::string_view name) const {
  if (IsView()) {
    for (std::size_t i = 0; i < FView.size(); ++i) {
      if (FView[i].Name == name) return static_cast<int>(i);
    }
    return -1;
  }
  for (std::size_t i = 0; i < FFields.size(); ++i) {
    if (FFields[i].NameLen == name.size() && NameOf(FFields[i]) == name) return static_cast<int>(i);
  }
  return -1;
}

std::string_view TKrLuxDataItem::FindIndexValue(std::string_view name) const {
  if (name.empty()) return {};
  const int index = Find(name);
  return index < 0 ? std::string_view() : ValueAt(index);
}

void TKrLuxDataItem::Append(std::string_view name, std::string_view value) {
  const std::size_t lead = FFields.empty() ? 0 : kSeparatorSize;
  const std::size_t start = FText.size();
  FText.resize(start + lead + name.size() + kSeparatorSize + value.size());
  char* out = FText.data() + start;
  if (lead != 0) out = std::copy(kLuxPairSeparator.begin(), kLuxPairSeparator.end(), out);
  Field f{};
  f.NamePos = static_cast<std::uint32_t>(out - FText.data());
  f.NameLen = static_cast<std::uint32_t>(name.size());
  out = std::copy(name.begin(), name.end(), out);
  out = std::copy(kLuxNameValueSeparator.begin(), kLuxNameValueSeparator.end(), out);
  f.ValuePos = static_cast<std::uint32_t>(out - FText.data());
  f.ValueLen = static_cast<std::uint32_t>(value.size());
  std::copy(value.begin(), value.end(), out);
  FFields.push_back(f);
  if (name.empty()) ++FEmptyNames;
}

void TKrLuxDataItem::Rebuild(int index, std::string_view value) {
  std::string old;
  old.swap(FText);
  std::vector<Field> fields;
  fields.swap(FFields);
  FEmptyNames = 0;
  FText.reserve(old.size() + value.size());
  FFields.reserve(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    const std::string_view v =
        static_cast<int>(i) == index ? value : std::string_view(old).substr(f.ValuePos, f.ValueLen);
    Append(std::string_view(old).substr(f.NamePos, f.NameLen), v);
  }
}

void TKrLuxDataItem::SetIndexValue(std::string_view name, std::string_view value) {
  // Viewed texts outlive the item, so `name` and `value` stay valid when they were read from its view.
  OwnFields();
  // A name or value read from this item (FindIndexValue) would move while the buffer grows.
  auto inside = [this](std::string_view text) {
    const std::less<const char*> before;
    return !text.empty() && !before(text.data(), FText.data()) && before(text.data(), FText.data() + FText.size());
  };
  if (inside(name) || inside(value)) {
    const std::string ownName(name), ownValue(value);
    SetIndexValue(ownName, ownValue);
    return;
  }
  const int index = Find(name);
  if (index < 0) {
    Append(name, value);
    return;
  }
  Field& f = FFields[index];
  if (f.ValueLen == value.size()) {
    if (!value.empty()) std::memmove(FText.data() + f.ValuePos, value.data(), value.size());
    return;
  }
  Rebuild(index, value);
}

std::string TKrLuxDataItem::GetIndexByOrder(int index) {
  if (index < 0 || index >= static_cast<int>(Count())) return {};
  return std::string(NameAt(index));
}

std::string TKrLuxDataItem::GetIndexValueByOrder(int index) {
  if (index < 0 || index >= static_cast<int>(Count())) return {};
  // By name, as the interface defines it: of two fields named "" the first answers.
  return std::string(FindIndexValue(NameAt(index)));
}

std::shared_ptr<IKrLuxDataItem> TKrLuxDataItem::Clone() { return std::make_shared<TKrLuxDataItem>(*this); }

std::string TKrLuxDataItem::GetSerialStr() {
  if (!IsView() && FEmptyNames == 0) return FText;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < Count(); ++i) bytes += NameAt(i).size() + ValueAt(i).size() + 2 * kSeparatorSize;
  std::string text;
  text.reserve(bytes);
  for (std::size_t i = 0; i < Count(); ++i) {
    const std::string_view name = NameAt(i);
    if (name.empty()) continue;
    if (!text.empty()) text += kLuxPairSeparator;
    text += name;
    text += kLuxNameValueSeparator;
    text += ValueAt(i);
  }
  return text;
}

void TKrLuxDataItem::Clear() {
  FView = {};
  FText.clear();
  FFields.clear();
  FEmptyNames = 0;
}

bool TKrLuxDataItem::TakeCleanSerialStr(std::string_view text) {
  bool clean = true;
  ForEachPart(text, [&](std::string_view name, std::string_view value, std::size_t pieces) {
    if (!clean) return;
    if (pieces != 2 || name.empty() || Find(name) >= 0) {
      clean = false;
      return;
    }
    // The positions are relative to `text`, which becomes the buffer unchanged.
    Field f{};
    f.NamePos = static_cast<std::uint32_t>(name.data() - text.data());
    f.NameLen = static_cast<std::uint32_t>(name.size());
    f.ValuePos = static_cast<std::uint32_t>(value.data() - text.data());
    f.ValueLen = static_cast<std::uint32_t>(value.size());
    FFields.push_back(f);
  });
  return clean;
}

void TKrLuxDataItem::SetSerialStr(std::string_view text) {
  Clear();
  // Find looks names up in FText while the clean path collects fields: let it see the new text.
  FText.assign(text);
  if (TakeCleanSerialStr(FText)) return;
  const std::string source = std::move(FText);
  Clear();
  ForEachPart(source, [this](std::string_view name, std::string_view value, std::size_t pieces) {
    if (pieces >= 2) SetIndexValue(name, value);
  });
}

std::shared_ptr<IKrLuxDataItem> NewLuxDataItem() { return std::make_shared<TKrLuxDataItem>(); }

}  // namespace kdp
