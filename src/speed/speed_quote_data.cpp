#include "kdp/speed/speed_quote_data.h"

#include "kdp/host/data_table.h"
#include "util/strings.h"

namespace kdp {

TKrSpeedDataSetParseCmdID3070::TKrSpeedDataSetParseCmdID3070(const std::shared_ptr<host::IDataSet>& data) {
  if (!data || data->GetFieldCount() < 2) return;
  for (int p = 0; p < data->GetRowCount(); ++p) {
    auto body = data->GetAsDataSet(p, 1);
    if (!body || body->GetFieldCount() < 2) continue;
    rows_.reserve(rows_.size() + static_cast<std::size_t>(body->GetRowCount()));
    for (int r = 0; r < body->GetRowCount(); ++r) {
      auto values = body->GetAsDataSet(r, 1);
      std::string code = body->GetAsString(r, 0);
      if (!values || values->GetRowCount() < 1 || code.empty()) continue;
      TSpeedQuoteData row;
      row.FKoraCode = std::move(code);
      const int columns = values->GetFieldCount();
      row.FItemArray.reserve(static_cast<std::size_t>(columns));
      row.FValueArray.reserve(static_cast<std::size_t>(columns));
      for (int c = 0; c < columns; ++c) {
        const auto id = ParseInt64(host::FieldName(*values, c));
        if (!id || *id <= 0 || *id > UINT32_MAX) continue;
        const std::string type = host::FieldTypeName(*values, c);
        QuoteVariant value;
        if (type == "double") {
          value = values->GetAsDouble(0, c);
        } else if (type == "int" || type == "int64") {
          value = values->GetAsInt64(0, c);
        } else if (type == "string") {
          value = NarrowText{values->GetAsString(0, c)};
        } else {
          continue;
        }
        row.FItemArray.push_back(static_cast<std::uint32_t>(*id));
        row.FValueArray.push_back(std::move(value));
      }
      rows_.push_back(std::move(row));
    }
  }
}

bool TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(const std::shared_ptr<host::IDataSet>& data) {
  if (!data || data->GetRowCount() < 1 || data->GetFieldCount() < 2) return false;
  auto body = data->GetAsDataSet(0, 1);
  return body && body->GetRowCount() >= 1 && body->GetFieldCount() >= 2;
}

}  // namespace kdp
