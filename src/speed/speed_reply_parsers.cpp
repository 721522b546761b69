#include "kdp/speed/speed_reply_parsers.h"

#include "kdp/host/data_table.h"
#include "util/strings.h"

namespace kdp {
namespace {

bool TypeFits(TKrReplyTable::Column column, const std::string& type) {
  switch (column) {
    case TKrReplyTable::Column::kInt:
      return type == "int" || type == "int64";
    case TKrReplyTable::Column::kDouble:
      return type == "double" || type == "int" || type == "int64";
    case TKrReplyTable::Column::kText:
      return type == "string";
    case TKrReplyTable::Column::kNested:
      return true;  // checked cell by cell: a missing table is empty
  }
  return false;
}

// Wraps column `column` of every row of `table` (an empty wrapper for a row without a nested table).
template <class Wrapper>
std::vector<Wrapper> WrapNested(const TKrReplyTable& table, int column) {
  std::vector<Wrapper> wrappers;
  const auto& data = table.GetDataSet();
  for (int r = 0; r < table.GetRowCount(); ++r) wrappers.emplace_back(data->GetAsDataSet(r, column));
  return wrappers;
}

template <class Wrapper>
const Wrapper& At(const std::vector<Wrapper>& wrappers, int row) {
  static const Wrapper kEmpty{};
  return row >= 0 && row < static_cast<int>(wrappers.size()) ? wrappers[static_cast<std::size_t>(row)] : kEmpty;
}

using C = TKrReplyTable::Column;

}  // namespace

TKrReplyTable::TKrReplyTable(std::shared_ptr<host::IDataSet> data, std::initializer_list<Column> layout) {
  if (!data || data->GetFieldCount() < static_cast<int>(layout.size())) return;
  int c = 0;
  for (Column column : layout) {
    if (!TypeFits(column, host::FieldTypeName(*data, c++))) return;
  }
  FData = std::move(data);
}

int TKrReplyTable::GetRowCount() const { return FData ? FData->GetRowCount() : 0; }
std::int32_t TKrReplyTable::Int(int row, int column) const {
  return ValidRow(row) ? FData->GetAsInteger(row, column) : 0;
}
double TKrReplyTable::Double(int row, int column) const {
  return ValidRow(row) ? FData->GetAsDouble(row, column) : 0.0;
}
std::string TKrReplyTable::Text(int row, int column) const {
  return ValidRow(row) ? FData->GetAsString(row, column) : std::string();
}
std::shared_ptr<host::IDataSet> TKrReplyTable::Nested(int row, int column) const {
  return ValidRow(row) ? FData->GetAsDataSet(row, column) : nullptr;
}

TKrBasicInfo97Fix::TKrBasicInfo97Fix(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kInt, C::kText, C::kInt, C::kInt, C::kInt}) {}

TKrPrimaryInfo97Fix::TKrPrimaryInfo97Fix(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kText, C::kNested}),
      FIndicators(WrapNested<TKrIndicators_DataSet>(*this, 1)) {}

const TKrIndicators_DataSet& TKrPrimaryInfo97Fix::GetIndicators(int row) const { return At(FIndicators, row); }

TKrChartItems::TKrChartItems(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kText, C::kDouble, C::kDouble, C::kDouble}) {}

TKrSectorChartItems::TKrSectorChartItems(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kInt, C::kInt, C::kNested}),
      FChartItems(WrapNested<TKrChartItems>(*this, 2)) {}

const TKrChartItems& TKrSectorChartItems::GetChartItems(int row) const { return At(FChartItems, row); }

TKrBasicInfo3040::TKrBasicInfo3040(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kInt, C::kInt}) {}

TKrPrimaryInfo3040::TKrPrimaryInfo3040(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kInt, C::kText, C::kInt, C::kNested}),
      FSectorChartItems(WrapNested<TKrSectorChartItems>(*this, 3)) {}

const TKrSectorChartItems& TKrPrimaryInfo3040::GetSectorChartItems(int row) const { return At(FSectorChartItems, row); }

TKrBasicInfo3050::TKrBasicInfo3050(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kInt, C::kInt, C::kInt}) {}

TKrPrimaryInfo3050::TKrPrimaryInfo3050(std::shared_ptr<host::IDataSet> data)
    : TKrReplyTable(std::move(data), {C::kInt, C::kText}) {}

TKrSpeedDataSetParseCmdID3080::TKrSpeedDataSetParseCmdID3080(std::shared_ptr<host::IDataSet> reply)
    : FReply(std::move(reply)) {
  if (!FReply || FReply->GetRowCount() < 1 || FReply->GetFieldCount() < 2) return;
  auto body = FReply->GetAsDataSet(0, 1);
  if (!body || body->GetFieldCount() < 2) return;
  for (int r = 0; r < body->GetRowCount(); ++r) {
    TKrSpeedIndexRecord record;
    record.Code = body->GetAsString(r, 0).substr(0, 30);
    if (auto values = body->GetAsDataSet(r, 1)) {
      for (int c = 0; c < values->GetFieldCount(); ++c) {
        record.IDs.push_back(StrToIntDef(host::FieldName(*values, c), 0));
        const std::string type = host::FieldTypeName(*values, c);
        TKrSpeedIndexRecord::Value value;
        if (values->GetRowCount() > 0) {
          if (type == "int") {
            value = values->GetAsInteger(0, c);
          } else if (type == "double") {
            value = values->GetAsDouble(0, c);
          } else if (type == "int64") {
            value = values->GetAsInt64(0, c);
          } else if (type == "string") {
            value = values->GetAsString(0, c);
          }
        }
        record.Values.push_back(std::move(value));
      }
    }
    FRecords.push_back(std::move(record));
  }
}

}  // namespace kdp
