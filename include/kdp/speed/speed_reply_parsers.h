// Parsers of the quote engine's history replies (commands 97Fix, 3040, 3050, 3080).
//
// A reply's rows are packets: packet i has its header table in column 0 and its body table in column 1.
// A parser builds, at creation, one header wrapper and one body wrapper per packet, and every nested
// wrapper below them. A wrapper checks its table's layout (column count, and the type names of its scalar
// columns); a table that does not fit gives an empty wrapper (no rows), never a crash. Cell reads out of
// range answer 0 or "".
//
// Parsers are immutable once built; any thread may read them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "kdp/host/speed.h"

namespace kdp {

// One wrapped table with a fixed column layout.
class TKrReplyTable {
 public:
  enum class Column { kInt, kDouble, kText, kNested };

  TKrReplyTable() = default;
  TKrReplyTable(std::shared_ptr<host::IDataSet> data, std::initializer_list<Column> layout);

  int GetRowCount() const;
  // The wrapped table; nullptr when absent or when its layout did not fit.
  const std::shared_ptr<host::IDataSet>& GetDataSet() const { return FData; }

 protected:
  std::int32_t Int(int row, int column) const;
  double Double(int row, int column) const;
  std::string Text(int row, int column) const;
  std::shared_ptr<host::IDataSet> Nested(int row, int column) const;

 private:
  bool ValidRow(int row) const { return FData && row >= 0 && row < FData->GetRowCount(); }
  std::shared_ptr<host::IDataSet> FData;
};

// ---- 97Fix: per-code indicator tables of a sector for a time window ----

class TKrIndicators_DataSet {
 public:
  TKrIndicators_DataSet() = default;
  explicit TKrIndicators_DataSet(std::shared_ptr<host::IDataSet> data) : FData(std::move(data)) {}
  const std::shared_ptr<host::IDataSet>& GetDataSet() const { return FData; }
  int GetRowCount() const { return FData ? FData->GetRowCount() : 0; }

 private:
  std::shared_ptr<host::IDataSet> FData;
};

class TKrBasicInfo97Fix : public TKrReplyTable {
 public:
  TKrBasicInfo97Fix() = default;
  explicit TKrBasicInfo97Fix(std::shared_ptr<host::IDataSet> data);
  std::int32_t GetReqID(int row) const { return Int(row, 0); }
  std::string GetSectorName(int row) const { return Text(row, 1); }
  std::int32_t GetSortSymbolID(int row) const { return Int(row, 2); }
  std::int32_t GetStartTime(int row) const { return Int(row, 3); }
  std::int32_t GetEndTime(int row) const { return Int(row, 4); }
};

class TKrPrimaryInfo97Fix : public TKrReplyTable {
 public:
  TKrPrimaryInfo97Fix() = default;
  explicit TKrPrimaryInfo97Fix(std::shared_ptr<host::IDataSet> data);
  std::string GetKoraCode(int row) const { return Text(row, 0); }
  const TKrIndicators_DataSet& GetIndicators(int row) const;

 private:
  std::vector<TKrIndicators_DataSet> FIndicators;
};

// ---- 3040: sector rankings ----

class TKrChartItems : public TKrReplyTable {
 public:
  TKrChartItems() = default;
  explicit TKrChartItems(std::shared_ptr<host::IDataSet> data);
  std::string GetKoraCode(int row) const { return Text(row, 0); }
  double GetNewValue(int row) const { return Double(row, 1); }
  double GetPreValue(int row) const { return Double(row, 2); }
  double GetValue(int row) const { return Double(row, 3); }
};

class TKrSectorChartItems : public TKrReplyTable {
 public:
  TKrSectorChartItems() = default;
  explicit TKrSectorChartItems(std::shared_ptr<host::IDataSet> data);
  std::int32_t GetIndex(int row) const { return Int(row, 0); }
  std::int32_t GetchartItemNum(int row) const { return Int(row, 1); }
  const TKrChartItems& GetChartItems(int row) const;

 private:
  std::vector<TKrChartItems> FChartItems;
};

class TKrBasicInfo3040 : public TKrReplyTable {
 public:
  TKrBasicInfo3040() = default;
  explicit TKrBasicInfo3040(std::shared_ptr<host::IDataSet> data);
  std::int32_t GetId(int row) const { return Int(row, 0); }
  std::int32_t GetPacketID(int row) const { return Int(row, 1); }
};

class TKrPrimaryInfo3040 : public TKrReplyTable {
 public:
  TKrPrimaryInfo3040() = default;
  explicit TKrPrimaryInfo3040(std::shared_ptr<host::IDataSet> data);
  std::int32_t GetModleID(int row) const { return Int(row, 0); }
  std::string GetSectorName(int row) const { return Text(row, 1); }
  std::int32_t GetSectorChartItemNum(int row) const { return Int(row, 2); }
  const TKrSectorChartItems& GetSectorChartItems(int row) const;

 private:
  std::vector<TKrSectorChartItems> FSectorChartItems;
};

// ---- 3050: the codes of a sector ordered by a field ----

class TKrBasicInfo3050 : public TKrReplyTable {
 public:
  TKrBasicInfo3050() = default;
  explicit TKrBasicInfo3050(std::shared_ptr<host::IDataSet> data);
  std::int32_t GetId(int row) const { return Int(row, 0); }
  std::int32_t GetPacketID(int row) const { return Int(row, 1); }
  std::int32_t GetNum(int row) const { return Int(row, 2); }
};

class TKrPrimaryInfo3050 : public TKrReplyTable {
 public:
  TKrPrimaryInfo3050() = default;
  explicit TKrPrimaryInfo3050(std::shared_ptr<host::IDataSet> data);
  std::int32_t GetIndex(int row) const { return Int(row, 0); }
  std::string GetKoraCode(int row) const { return Text(row, 1); }
};

// A reply of packets, each wrapped at creation.
template <class Basic, class Primary>
class TKrSpeedReplyParser {
 public:
  explicit TKrSpeedReplyParser(std::shared_ptr<host::IDataSet> reply) : FReply(std::move(reply)) {
    const int packets = FReply && FReply->GetFieldCount() >= 2 ? FReply->GetRowCount() : 0;
    for (int i = 0; i < packets; ++i) {
      FBasic.emplace_back(FReply->GetAsDataSet(i, 0));
      FPrimary.emplace_back(FReply->GetAsDataSet(i, 1));
    }
  }
  // The number of packets.
  int GetRowCount() const { return static_cast<int>(FBasic.size()); }
  // REQUIRES: i < GetRowCount(); an index out of range gives an empty wrapper.
  const Basic& GetBasicInfo(int i) const {
    return i >= 0 && i < GetRowCount() ? FBasic[static_cast<std::size_t>(i)] : kEmptyBasic;
  }
  const Primary& GetPrimaryInfo(int i) const {
    return i >= 0 && i < GetRowCount() ? FPrimary[static_cast<std::size_t>(i)] : kEmptyPrimary;
  }
  const std::shared_ptr<host::IDataSet>& GetDataSet() const { return FReply; }

 private:
  static inline const Basic kEmptyBasic{};
  static inline const Primary kEmptyPrimary{};
  std::shared_ptr<host::IDataSet> FReply;
  std::vector<Basic> FBasic;
  std::vector<Primary> FPrimary;
};

using TKrSpeedDataSetParseCmdID97Fix = TKrSpeedReplyParser<TKrBasicInfo97Fix, TKrPrimaryInfo97Fix>;
using TKrSpeedDataSetParseCmdID3040 = TKrSpeedReplyParser<TKrBasicInfo3040, TKrPrimaryInfo3040>;
using TKrSpeedDataSetParseCmdID3050 = TKrSpeedReplyParser<TKrBasicInfo3050, TKrPrimaryInfo3050>;

// ---- 3080: indicator export ----

// One security's indicators: its code (at most 30 characters), the indicator IDs and, in replies, the
// values read by each column's type name.
struct TKrSpeedIndexRecord {
  using Value = std::variant<std::monostate, std::int32_t, double, std::int64_t, std::string>;
  std::string Code;
  std::vector<std::int32_t> IDs;
  std::vector<Value> Values;
};

class TKrSpeedDataSetParseCmdID3080 {
 public:
  explicit TKrSpeedDataSetParseCmdID3080(std::shared_ptr<host::IDataSet> reply);
  int GetRowCount() const { return static_cast<int>(FRecords.size()); }
  const std::vector<TKrSpeedIndexRecord>& GetRecords() const { return FRecords; }
  const std::shared_ptr<host::IDataSet>& GetDataSet() const { return FReply; }

 private:
  std::shared_ptr<host::IDataSet> FReply;
  std::vector<TKrSpeedIndexRecord> FRecords;
};

}  // namespace kdp
