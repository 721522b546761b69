// TKrLuxDataItem: one row of Lux information, text fields keyed by name in the order they were first set;
// TKrLuxDataIndexQuotaSubInfo: the named parameters of a subscription.
//
// An item keeps all its text in one buffer laid out as its serial string (name "♀" value, pairs joined by
// "♂"), with the position of every name and value beside it. So parsing a serial string is one copy and
// one scan, and writing it is one copy. A row a reply parser made (TLuxReplyRows) instead views its fields
// where the parser left them, in a block the reply's rows share; its first change copies them into the
// item's own buffer, so a change never reaches another row. Looking a name up is a linear scan: rows hold
// a few dozen fields at most.
//
// No lock: an item is used by one thread at a time (see kdp/lux/lux_data.h); the fields it views are
// never written once the item exists.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/lux/lux_data.h"

namespace kdp {

// The separators of a serial string: "♀" between a name and its value, "♂" between pairs.
inline constexpr std::string_view kLuxNameValueSeparator = "\u2640";
inline constexpr std::string_view kLuxPairSeparator = "\u2642";

// A field held outside the item (see TKrLuxDataItem::ViewFields).
struct TLuxFieldView {
  std::string_view Name, Value;
};

class TKrLuxDataItem final : public host::Implements<IKrLuxDataItem> {
 public:
  TKrLuxDataItem() = default;
  // A copy holds its own text, also when `other` views its fields.
  TKrLuxDataItem(const TKrLuxDataItem& other);
  TKrLuxDataItem& operator=(const TKrLuxDataItem& other);

  void SetIndexValue(std::string_view name, std::string_view value) override;
  std::string GetIndexValue(std::string_view name) override { return std::string(FindIndexValue(name)); }
  int GetIndexCount() override { return static_cast<int>(Count()); }
  std::string GetIndexByOrder(int index) override;
  std::string GetIndexValueByOrder(int index) override;
  std::shared_ptr<IKrLuxDataItem> Clone() override;
  std::string GetSerialStr() override;
  void SetSerialStr(std::string_view text) override;

  // Views into the item, valid until it changes: the value of a name ("" when absent), and the name and
  // value at a position (REQUIRES 0 <= index < count).
  std::string_view FindIndexValue(std::string_view name) const;
  std::size_t Count() const { return IsView() ? FView.size() : FFields.size(); }
  std::string_view NameAt(std::size_t index) const { return IsView() ? FView[index].Name : NameOf(FFields[index]); }
  std::string_view ValueAt(std::size_t index) const { return IsView() ? FView[index].Value : ValueOf(FFields[index]); }
  void Clear();
  // Makes an empty item show `fields` without copying them: names unique and not empty. REQUIRES: the
  // array and its texts stay unchanged for the item's life (a reply block that owns the item).
  void ViewFields(std::span<const TLuxFieldView> fields) { FView = fields; }
  // Room for `bytes` of serial text and `fields` fields, for parsers that know roughly what comes.
  void Reserve(std::size_t bytes, std::size_t fields) {
    FText.reserve(bytes);
    FFields.reserve(fields);
  }

 private:
  struct Field {
    std::uint32_t NamePos, NameLen, ValuePos, ValueLen;
  };

  bool IsView() const { return !FView.empty(); }
  // Copies viewed fields into the item's own buffer, before a change.
  void OwnFields();
  std::string_view NameOf(const Field& f) const { return {FText.data() + f.NamePos, f.NameLen}; }
  std::string_view ValueOf(const Field& f) const { return {FText.data() + f.ValuePos, f.ValueLen}; }
  int Find(std::string_view name) const;
  void Append(std::string_view name, std::string_view value);
  // Lays the buffer out again with field `index` holding `value`.
  void Rebuild(int index, std::string_view value);
  // The fast path of SetSerialStr: true when `text` needs no repair (every part a name and a value, no
  // empty or repeated name), with the fields taken over as they lie in the text.
  bool TakeCleanSerialStr(std::string_view text);

  // The fields in serial layout; fields with an empty name are written too, so the buffer equals the
  // serial string exactly when FEmptyNames is 0.
  std::string FText;
  std::vector<Field> FFields;
  int FEmptyNames = 0;
  // Fields held outside while not empty; FText and FFields are empty then.
  std::span<const TLuxFieldView> FView;
};

class TKrLuxDataIndexQuotaSubInfo final : public host::Implements<IKrLuxDataIndexQuotaSubInfo> {
 public:
  void SetIndexQuotaValue(std::string_view name, std::string_view value) override {
    FIIndexQuotaSubInfoData.SetIndexValue(name, value);
  }
  std::string GetIndexQuotaValue(std::string_view name) override { return FIIndexQuotaSubInfoData.GetIndexValue(name); }
  int GetIndexQuotaCount() override { return FIIndexQuotaSubInfoData.GetIndexCount(); }
  std::string GetIndexQuotaByOrder(int index) override { return FIIndexQuotaSubInfoData.GetIndexByOrder(index); }
  std::string GetIndexQuotaValueByOrder(int index) override {
    return FIIndexQuotaSubInfoData.GetIndexValueByOrder(index);
  }
  bool IsUseAuthLevel() override { return FIsUseAuthLevel; }
  void SetIsUserAuthLevel(bool value) { FIsUseAuthLevel = value; }

 private:
  TKrLuxDataItem FIIndexQuotaSubInfoData;
  bool FIsUseAuthLevel = true;
};

}  // namespace kdp
