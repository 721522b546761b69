#include "rtd/rtd_quote_layouts.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include <fmt/format.h>

#include "fields/hq_dictionary.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/host/ansi.h"
#include "kdp/host/data_table.h"
#include "kdp/host/log.h"
#include "rtd/rtd_item.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrRTDQuoteRows";
// An engine column as the key holds it: its field info's name and type name, byte for byte.
constexpr std::size_t kNameBytes = sizeof(host::TFieldInfo::name);
constexpr std::size_t kColumnKeyBytes = kNameBytes + sizeof(host::TFieldInfo::typeName);

// How the engine sent a column's values.
enum class TSentKind : std::uint8_t { kDouble, kInt64, kText };

std::optional<TSentKind> SentKindOf(std::string_view typeName) {
  if (typeName == "double") return TSentKind::kDouble;
  if (typeName == "int" || typeName == "int64") return TSentKind::kInt64;
  if (typeName == "string") return TSentKind::kText;
  return std::nullopt;
}

// The bytes of a column's name and type name, or zeros for a column without field info.
void AppendColumnKey(host::PFieldInfo info, std::string& key) {
  static constexpr char kNone[kColumnKeyBytes] = {};
  if (info == nullptr) {
    key.append(kNone, kColumnKeyBytes);
    return;
  }
  key.append(info->name, kNameBytes);
  key.append(info->typeName, sizeof info->typeName);
}

bool SameColumn(host::PFieldInfo info, const char* key) {
  static constexpr char kNone[kColumnKeyBytes] = {};
  if (info == nullptr) return std::memcmp(key, kNone, kColumnKeyBytes) == 0;
  return std::memcmp(info->name, key, kNameBytes) == 0 &&
         std::memcmp(info->typeName, key + kNameBytes, sizeof info->typeName) == 0;
}

}  // namespace

bool IsUsableQuoteCode(std::string_view code) {
  const auto printable = [](unsigned char c) { return c > ' ' && c != 0x7F; };
  const auto control = [](unsigned char c) { return c < ' ' || c == 0x7F; };
  return std::any_of(code.begin(), code.end(), printable) && std::none_of(code.begin(), code.end(), control);
}

TKrQuoteValue StoredValue(int type, std::uint32_t id, const QuoteVariant& value, std::string& text) {
  if (const auto* number = std::get_if<double>(&value)) return StoredNumber(type, *number);
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return StoredNumber(type, static_cast<double>(*integer));
  TKrQuoteValue stored;
  if (type != HQDICDATA_TYPE_STRING) return stored;
  stored.kind = TKrQuoteValue::kText;
  if (const auto* wide = std::get_if<WideText>(&value)) {
    text = wide->utf8;
  } else {
    const auto& narrow = std::get<NarrowText>(value);
    text = IsCloudIndex(id) ? narrow.bytes : host::AnsiToUtf8(narrow.bytes);
  }
  return stored;
}

std::shared_ptr<const TKrQuoteShape> TKrQuoteShape::Make(std::vector<TKrQuoteField> fields) {
  static std::atomic<std::uint64_t> lastSerial{0};
  auto shape = std::make_shared<TKrQuoteShape>();
  std::vector<std::uint32_t> order(fields.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return fields[a].id < fields[b].id; });
  shape->distinct = fields.empty() || fields[order[0]].id != 0;
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    fields[order[rank]].rank = static_cast<std::uint32_t>(rank);
    if (rank > 0 && fields[order[rank]].id == fields[order[rank - 1]].id) shape->distinct = false;
  }
  shape->fields = std::move(fields);
  if (shape->distinct) shape->BuildIndex();
  shape->serial = ++lastSerial;
  return shape;
}

void TKrQuoteShape::BuildIndex() {
  // Ranks are kept in 16 bits; a shape of more fields (none a layout has) finds every ID by hash. The
  // table by ID costs at most about 64 bytes per field: a subscriber's few fields with large IDs (one
  // shape per subscriber and layout, thousands for reminders) are hashed.
  const std::size_t directLimit = std::min<std::size_t>(kDirectIDs, 32 * fields.size() + 64);
  std::uint32_t directEnd = 0;
  if (fields.size() < UINT16_MAX) {
    for (const TKrQuoteField& field : fields) {
      if (field.id < directLimit) directEnd = std::max(directEnd, field.id + 1);
    }
  }
  direct_.assign(directEnd, 0);
  std::size_t hashed = 0;
  for (const TKrQuoteField& field : fields) {
    if (field.id < directEnd) {
      direct_[field.id] = static_cast<std::uint16_t>(field.rank + 1);
    } else {
      ++hashed;
    }
  }
  if (hashed == 0) return;
  std::uint32_t bits = 2;
  while ((1u << bits) < 2 * hashed) ++bits;
  index_.resize(std::size_t{1} << bits);
  mask_ = (1u << bits) - 1;
  shift_ = 32 - bits;
  for (const TKrQuoteField& field : fields) {
    if (field.id < directEnd) continue;
    std::uint32_t slot = SlotOf(field.id);
    while (index_[slot].id != 0) slot = (slot + 1) & mask_;
    index_[slot] = {field.id, field.rank};
  }
}

TKrRTDQuoteRows::TKrRTDQuoteRows(std::shared_ptr<const TKrQuotePush> push) {
  auto batch = std::make_shared<TBatch>();
  batch->entries.reserve(push->Rows().size());
  for (const TKrQuoteRow& row : push->Rows()) batch->entries.push_back({&row, row.shape});
  batch->push = std::move(push);
  count_ = batch->entries.size();
  batch_ = std::move(batch);
}

// A layout resolved against the dictionary: the fields an item stores (its shape) and, per field, where
// its value is read and as which dictionary type it is stored.
struct TKrQuoteLayouts::TLayout {
  struct TField {
    std::uint32_t column;  // the engine column, or the record's position
    TSentKind sent;        // engine columns only
    int type;              // the field's dictionary type
  };
  std::string key;
  std::shared_ptr<const TKrQuoteShape> shape;
  std::vector<TField> fields;  // parallel to shape->fields
  bool namesFields = false;    // some column carried a usable ID and type
  std::size_t dropped = 0;     // columns with a field ID the dictionary does not define
  std::uint32_t firstDropped = 0;

  // Adds a column with field ID `id`: a field when the dictionary defines it, else a drop.
  void AddColumn(std::uint32_t id, std::uint32_t column, TSentKind sent, std::vector<TKrQuoteField>& shapeFields) {
    namesFields = true;
    const TKrHQDictionaryItem* item = KrHQDictionaryImpl().GetDictionaryItem(static_cast<int>(id));
    if (item == nullptr) {
      if (dropped++ == 0) firstDropped = id;
      return;
    }
    shapeFields.push_back({id, static_cast<std::uint32_t>(fields.size()), 0, item->FType});
    fields.push_back({column, sent, item->FType});
  }
};

// Collects one delivery's rows, values and texts, and what it drops.
class TKrQuoteLayouts::TBuilder {
 public:
  explicit TBuilder(TKrQuoteLayouts& layouts) : layouts_(layouts), push_(std::make_shared<TKrQuotePush>()) {}

  void AddRow(std::string_view code, const std::shared_ptr<const TLayout>& layout, bool touchesFlags) {
    TKrQuoteRow& row = push_->rows_.emplace_back();
    row.code = std::string(code.substr(0, kMaxQuoteCodeLength));
    row.usable = IsUsableQuoteCode(row.code);
    row.upperCode = ToUpperAscii(row.code);
    row.codeHash = TKrQuoteCodeHash{}(row.upperCode);
    row.touchesFlags = touchesFlags;
    row.shape = layout->shape.get();
    row.firstValue = static_cast<std::uint32_t>(push_->values_.size());
    if (push_->shapes_.empty() || push_->shapes_.back() != layout->shape) push_->shapes_.push_back(layout->shape);
    if (!row.usable) ++drops_.rowsWithoutCode;
    if (layout->dropped > 0) drops_.AddFields(layout->dropped, layout->firstDropped);
  }

  void AddNumber(int type, double number) { push_->values_.push_back(StoredNumber(type, number)); }

  // The next value of the row: `value`, delivered for field `id` of dictionary type `type`.
  void AddValue(int type, std::uint32_t id, const QuoteVariant& value) {
    TKrQuoteValue& stored = push_->values_.emplace_back(StoredValue(type, id, value, text_));
    if (stored.kind == TKrQuoteValue::kText) {
      stored.text = static_cast<std::uint32_t>(push_->texts_.size());
      push_->texts_.push_back(std::move(text_));
    }
  }

  // The next value of the row: a text in the engine's code page, delivered for field `id` of dictionary
  // type `type` (as AddValue stores it, without converting a text converted before).
  void AddText(int type, std::uint32_t id, std::string_view codePageText) {
    TKrQuoteValue& stored = push_->values_.emplace_back();
    if (type != HQDICDATA_TYPE_STRING) return;
    stored.kind = TKrQuoteValue::kText;
    stored.text = static_cast<std::uint32_t>(push_->texts_.size());
    if (IsCloudIndex(id)) {
      push_->texts_.emplace_back(codePageText);
    } else {
      push_->texts_.push_back(layouts_.Utf8Of(codePageText));
    }
  }

  void AddUnpaired(std::size_t count) { drops_.unpaired += count; }
  // Room for `rows` more rows of about `fields` values each.
  void Reserve(std::size_t rows, std::size_t fields) {
    push_->rows_.reserve(push_->rows_.size() + rows);
    push_->values_.reserve(push_->values_.size() + rows * fields);
  }

  std::shared_ptr<const TKrQuotePush> Finish() {
    if (drops_.Any()) {
      const std::size_t rows = push_->rows_.size();
      host::AddHQLog(fmt::format("PrepareQuoteRows: a reply of {} {} dropped {}", rows, rows == 1 ? "row" : "rows",
                                 drops_.Describe()),
                     kLogSource, host::LogSeverity::kWarning);
    }
    return push_;
  }

 private:
  TKrQuoteLayouts& layouts_;
  std::shared_ptr<TKrQuotePush> push_;
  TRealTimeDrops drops_;
  std::string text_;
};

TKrQuoteLayouts::TKrQuoteLayouts() = default;
TKrQuoteLayouts::~TKrQuoteLayouts() = default;

void TKrQuoteLayouts::MakeRoom() {
  if (LayoutCount() < kMaxLayouts) return;
  engine_.clear();
  records_.clear();
}

std::shared_ptr<const TKrQuoteLayouts::TLayout> TKrQuoteLayouts::EngineLayout(host::IDataSet& values) {
  const int columns = values.GetFieldCount();
  if (lastEngine_ && lastEngine_->key.size() == static_cast<std::size_t>(columns) * kColumnKeyBytes) {
    bool same = true;
    for (int c = 0; c < columns && same; ++c) {
      same =
          SameColumn(values.GetFieldInfo(c), lastEngine_->key.data() + static_cast<std::size_t>(c) * kColumnKeyBytes);
    }
    if (same) return lastEngine_;
  }
  std::string key;
  key.reserve(static_cast<std::size_t>(columns) * kColumnKeyBytes);
  for (int c = 0; c < columns; ++c) AppendColumnKey(values.GetFieldInfo(c), key);
  if (auto known = engine_.find(key); known != engine_.end()) return lastEngine_ = known->second;

  auto layout = std::make_shared<TLayout>();
  std::vector<TKrQuoteField> shapeFields;
  for (int c = 0; c < columns; ++c) {
    const auto id = ParseInt64(host::FieldName(values, c));
    const auto sent = SentKindOf(host::FieldTypeName(values, c));
    if (!id || *id <= 0 || *id > std::numeric_limits<std::uint32_t>::max() || !sent) continue;
    layout->AddColumn(static_cast<std::uint32_t>(*id), static_cast<std::uint32_t>(c), *sent, shapeFields);
  }
  layout->shape = TKrQuoteShape::Make(std::move(shapeFields));
  layout->key = std::move(key);
  MakeRoom();
  engine_.emplace(layout->key, layout);
  return lastEngine_ = std::move(layout);
}

std::shared_ptr<const TKrQuoteLayouts::TLayout> TKrQuoteLayouts::RecordLayout(const std::vector<std::uint32_t>& ids,
                                                                              std::size_t count) {
  const std::string_view key(reinterpret_cast<const char*>(ids.data()), count * sizeof(std::uint32_t));
  if (lastRecord_ && lastRecord_->key == key) return lastRecord_;
  if (auto known = records_.find(std::string(key)); known != records_.end()) return lastRecord_ = known->second;

  auto layout = std::make_shared<TLayout>();
  std::vector<TKrQuoteField> shapeFields;
  for (std::size_t i = 0; i < count; ++i) {
    layout->AddColumn(ids[i], static_cast<std::uint32_t>(i), TSentKind::kDouble, shapeFields);
  }
  layout->shape = TKrQuoteShape::Make(std::move(shapeFields));
  layout->key = std::string(key);
  MakeRoom();
  records_.emplace(layout->key, layout);
  return lastRecord_ = std::move(layout);
}

const std::string& TKrQuoteLayouts::Utf8Of(std::string_view codePageText) {
  if (auto known = utf8Texts_.find(codePageText); known != utf8Texts_.end()) return known->second;
  if (utf8Texts_.size() >= kMaxRememberedTexts) utf8Texts_.clear();
  return utf8Texts_.emplace(codePageText, host::AnsiToUtf8(codePageText)).first->second;
}

std::shared_ptr<const TKrQuotePush> TKrQuoteLayouts::Prepare(host::IDataSet& data) {
  TBuilder out(*this);
  // Rows whose data sets answer one fields identity have one layout: their columns are compared once.
  // The row that gave the identity is held, so that the identity cannot be reused for other columns.
  std::shared_ptr<host::IDataSet> identified;
  const void* identity = nullptr;
  std::shared_ptr<const TLayout> identifiedLayout;
  for (int p = 0; p < data.GetRowCount(); ++p) {
    auto body = data.GetAsDataSet(p, 1);
    if (!body || body->GetFieldCount() < 2) continue;
    const int rows = body->GetRowCount();
    // The host's own table is read in place: each row's code and value table without a copy. Another data
    // set, or a code cell that is not text (a number is read as its text), goes through the interface.
    const host::TDataTable* bodyTable = host::AsDataTable(body.get());
    std::shared_ptr<host::IDataSet> copiedValues;
    std::string copiedCode;
    for (int r = 0; r < rows; ++r) {
      const std::shared_ptr<host::IDataSet>* nested =
          bodyTable ? std::get_if<std::shared_ptr<host::IDataSet>>(bodyTable->CellAt(r, 1)) : nullptr;
      const std::string* text = bodyTable ? std::get_if<std::string>(bodyTable->CellAt(r, 0)) : nullptr;
      if (nested == nullptr) {
        copiedValues = body->GetAsDataSet(r, 1);
        nested = &copiedValues;
      }
      if (text == nullptr) {
        copiedCode = body->GetAsString(r, 0);
        text = &copiedCode;
      }
      const std::shared_ptr<host::IDataSet>& values = *nested;
      const std::string& code = *text;
      if (!values || values->GetRowCount() < 1) continue;
      if (code.empty()) continue;
      const void* fields = values->GetFieldsIdentity();
      if (fields == nullptr || fields != identity) {
        identifiedLayout = EngineLayout(*values);
        identity = fields;
        identified = values;
      }
      const auto& layout = identifiedLayout;
      if (r == 0) out.Reserve(static_cast<std::size_t>(rows), layout->fields.size());
      out.AddRow(code, layout, layout->namesFields);
      const host::TDataTable* valueTable = host::AsDataTable(values.get());
      for (std::size_t f = 0; f < layout->fields.size(); ++f) {
        const TLayout::TField& field = layout->fields[f];
        const int column = static_cast<int>(field.column);
        const std::uint32_t id = layout->shape->fields[f].id;
        // The host's own table is read in place, as its cells are stored; other cells through the interface.
        const host::TDataTable::Cell* cell = valueTable ? valueTable->CellAt(0, column) : nullptr;
        switch (field.sent) {
          case TSentKind::kDouble: {
            const double* number = std::get_if<double>(cell);
            out.AddNumber(field.type, number ? *number : values->GetAsDouble(0, column));
            break;
          }
          case TSentKind::kInt64:
            out.AddNumber(field.type, static_cast<double>(values->GetAsInt64(0, column)));
            break;
          case TSentKind::kText:
            if (const std::string* text = std::get_if<std::string>(cell)) {
              out.AddText(field.type, id, *text);
            } else {
              out.AddText(field.type, id, values->GetAsString(0, column));
            }
            break;
        }
      }
    }
  }
  return out.Finish();
}

std::shared_ptr<const TKrQuotePush> TKrQuoteLayouts::Prepare(const std::vector<TSpeedQuoteData>& rows) {
  TBuilder out(*this);
  out.Reserve(rows.size(), rows.empty() ? 0 : rows.front().FItemArray.size());
  for (const TSpeedQuoteData& row : rows) {
    const std::size_t paired = std::min(row.FItemArray.size(), row.FValueArray.size());
    out.AddUnpaired(std::max(row.FItemArray.size(), row.FValueArray.size()) - paired);
    const auto layout = RecordLayout(row.FItemArray, paired);
    out.AddRow(row.FKoraCode, layout, !row.FItemArray.empty());
    for (std::size_t f = 0; f < layout->fields.size(); ++f) {
      const TLayout::TField& field = layout->fields[f];
      out.AddValue(field.type, layout->shape->fields[f].id, row.FValueArray[field.column]);
    }
  }
  return out.Finish();
}

}  // namespace kdp
