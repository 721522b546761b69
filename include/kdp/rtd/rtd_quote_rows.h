// Quote rows prepared for the real-time cache.
//
// A delivery (a quote-engine push, or a batch of cloud indicator rows) is read once into a TKrQuotePush:
// each distinct column layout is resolved against the field dictionary once (which columns an item keeps,
// and as which type), each value is converted once into what an item stores (texts from the engine's code
// page to UTF-8), and what cannot be stored is dropped and logged once. A prepared push is immutable and
// shared: every model that stores it receives a TKrRTDQuoteRows naming the rows it takes and, per row, the
// fields it takes (a shape).
//
// A shape lists the fields an item takes from rows of one layout, in column order, with each ID's rank
// among the shape's IDs in ascending order. Shapes are made once per layout (and per subscriber's field
// list) and keep their serial number from push to push, so an item holding exactly a shape's fields can
// remember that and write the next row of the shape by position.
//
// Preparing reads the field dictionary and so runs on the main thread; a prepared push may be read from
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kdp {

// A value as an item stores it, by the field's dictionary type.
struct TKrQuoteValue {
  enum Kind : std::uint8_t {
    kNothing,  // delivered, but nothing the field's type can hold (a text for a number field)
    kNumber,
    kInteger,
    kText,
  };
  union {
    double number = 0;     // kNumber
    std::int32_t integer;  // kInteger
    std::uint32_t text;    // kText: index into the push's texts
  };
  Kind kind = kNothing;
};

// One field a row delivers to an item.
struct TKrQuoteField {
  std::uint32_t id = 0;
  std::uint32_t value = 0;  // index of its value among the row's values
  std::uint32_t rank = 0;   // position of the ID among the shape's IDs in ascending order
  int type = 0;             // the field's dictionary type
};

struct TKrQuoteShape : std::enable_shared_from_this<TKrQuoteShape> {
  std::uint64_t serial = 0;  // unique among the process's shapes
  bool distinct = false;     // no ID twice, no ID 0 (only then can an item write the shape by position)
  std::vector<TKrQuoteField> fields;

  // A shape of `fields` (their ranks are computed here) with a serial of its own.
  static std::shared_ptr<const TKrQuoteShape> Make(std::vector<TKrQuoteField> fields);

  // The rank of field `id`, or -1 when the shape has no such field. REQUIRES: distinct.
  std::int32_t RankOf(std::uint32_t id) const {
    if (id < direct_.size()) return static_cast<std::int32_t>(direct_[id]) - 1;
    return HashedRankOf(id);
  }
  // 1 + the rank of each ID below the span's size, 0 for IDs the shape does not have; the IDs above it
  // are found by RankOf only.
  std::span<const std::uint16_t> DirectRanks() const { return direct_; }

 private:
  // Quote fields have small IDs: below kDirectIDs (and a bound by the shape's size) a shape finds a rank
  // with one load; cloud indicators' IDs are far above and go through the hashed index.
  static constexpr std::uint32_t kDirectIDs = 4096;

  struct TIndexSlot {
    std::uint32_t id = 0;  // 0: empty (no field has ID 0)
    std::uint32_t rank = 0;
  };
  std::uint32_t SlotOf(std::uint32_t id) const { return (id * 0x9E3779B1u) >> shift_; }
  std::int32_t HashedRankOf(std::uint32_t id) const {
    if (id == 0 || index_.empty()) return -1;  // 0 marks an empty slot
    for (std::uint32_t slot = SlotOf(id);; slot = (slot + 1) & mask_) {
      if (index_[slot].id == id) return static_cast<std::int32_t>(index_[slot].rank);
      if (index_[slot].id == 0) return -1;
    }
  }
  void BuildIndex();

  std::vector<std::uint16_t> direct_;  // 1 + the rank of each ID below its size (0: not in the shape)
  std::vector<TIndexSlot> index_;      // the other IDs: open addressing, at most half full
  std::uint32_t mask_ = 0;
  std::uint32_t shift_ = 32;
};

// A security code as a key, with its hash computed once: the cache and the subscribers find a row's code
// without hashing it again.
struct TKrQuoteCodeKey {
  std::string_view code;
  std::size_t hash;
};
struct TKrQuoteCodeHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view code) const { return std::hash<std::string_view>{}(code); }
  std::size_t operator()(const TKrQuoteCodeKey& key) const { return key.hash; }
};
struct TKrQuoteCodeEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return a == b; }
  bool operator()(const TKrQuoteCodeKey& a, std::string_view b) const { return a.code == b; }
  bool operator()(std::string_view a, const TKrQuoteCodeKey& b) const { return a == b.code; }
};

struct TKrQuoteRow {
  std::string code;                      // as delivered, cut to 30 characters
  std::string upperCode;                 // ASCII upper case
  std::size_t codeHash = 0;              // TKrQuoteCodeHash of upperCode
  bool usable = false;                   // not empty, not blank, no control characters: an item can be kept under it
  bool touchesFlags = false;             // the row named fields: it clears the items' last-update bits
  const TKrQuoteShape* shape = nullptr;  // the fields the row delivers that the dictionary defines
  std::uint32_t firstValue = 0;          // where the row's values start among the push's values

  TKrQuoteCodeKey Key() const { return {upperCode, codeHash}; }
};

class TKrQuotePush {
 public:
  const std::vector<TKrQuoteRow>& Rows() const { return rows_; }
  const TKrQuoteValue& Value(const TKrQuoteRow& row, const TKrQuoteField& field) const {
    return values_[row.firstValue + field.value];
  }
  // The row's values, indexed by TKrQuoteField::value.
  const TKrQuoteValue* Values(const TKrQuoteRow& row) const { return values_.data() + row.firstValue; }
  const std::string& Text(const TKrQuoteValue& value) const { return texts_[value.text]; }

 private:
  friend class TKrQuoteLayouts;  // the preparer
  std::vector<TKrQuoteRow> rows_;
  std::vector<TKrQuoteValue> values_;
  std::vector<std::string> texts_;
  std::vector<std::shared_ptr<const TKrQuoteShape>> shapes_;  // the row shapes, held while the push lives
};

// The rows of one delivery that one model stores, each with the fields it takes. Rows from the quote feed
// also carry their code's place among the subscriber's codes, which stays the same for a code while the
// subscriber's subscription keeps its generation: a model can find the code's item by that place.
//
// The entries of every subscriber of a push live in one shared batch, each subscriber's rows a stretch of
// it (appended as the deliveries go, found by index), so a push costs one allocation however many models
// it reaches; a copy of the rows keeps the batch (and so the push) alive.
//
// Rows that allow deferred writes may be stored lazily: a model notifies its widget first and each item
// takes its row when it is next read or changed, or when the deliverer, its last call-back done, settles
// every deferred row (SettleDeferredQuoteRows). A widget's call-back then does not wait for the cache
// writes of the widgets told before it, and what any reader sees is the same.
class TKrRTDQuoteRows {
 public:
  struct TEntry {
    const TKrQuoteRow* row;
    const TKrQuoteShape* shape;
    std::uint32_t ordinal = 0;  // the code's place among the subscriber's codes (with a generation)
  };
  // A push with entries chosen from it, and the entries' shapes that the push does not hold.
  struct TBatch {
    std::shared_ptr<const TKrQuotePush> push;
    std::vector<TEntry> entries;
    std::vector<std::shared_ptr<const TKrQuoteShape>> held;
  };

  TKrRTDQuoteRows() = default;
  // Every row of the push, with all its fields.
  explicit TKrRTDQuoteRows(std::shared_ptr<const TKrQuotePush> push);
  // Entries [first, first + count) of the batch. `generation` (not 0) names the subscription the entries'
  // ordinals belong to. `deferrable`: the deliverer settles deferred writes once its call-backs are done.
  TKrRTDQuoteRows(std::shared_ptr<const TBatch> batch, std::size_t first, std::size_t count, std::uint64_t generation,
                  bool deferrable)
      : batch_(std::move(batch)), first_(first), count_(count), generation_(generation), deferrable_(deferrable) {}

  int GetRowCount() const { return static_cast<int>(count_); }
  std::span<const TEntry> Entries() const {
    return batch_ ? std::span<const TEntry>(batch_->entries).subspan(first_, count_) : std::span<const TEntry>();
  }
  // REQUIRES: the rows came from a push.
  const TKrQuotePush& Push() const { return *batch_->push; }
  // The subscription the ordinals belong to; 0 when the entries carry none.
  std::uint64_t OrdinalGeneration() const { return generation_; }
  // Whether a model may defer writing these rows (see above).
  bool Deferrable() const { return deferrable_; }

 private:
  std::shared_ptr<const TBatch> batch_;
  std::size_t first_ = 0;
  std::size_t count_ = 0;
  std::uint64_t generation_ = 0;
  bool deferrable_ = false;
};

}  // namespace kdp
