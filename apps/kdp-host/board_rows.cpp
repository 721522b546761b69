// The board's rows for scripts.
#include "board_rows.h"

#include <cmath>
#include <optional>

#include "board_markets.h"

namespace kdp::app {

std::vector<std::string> BoardRows::Columns() const {
  std::vector<std::string> columns{"code", "name",       "time",   "trade_date",   "last_trade_time",
                                   "last", "prev_close", "change", "change_ratio", "volume"};
  for (const std::uint32_t id : extra_) columns.push_back(std::to_string(id));
  columns.insert(columns.end(), computed_.begin(), computed_.end());
  return columns;
}

std::vector<nlohmann::json> BoardRows::Row(TKrRTDModel& model, const std::string& code) {
  const auto item = model.GetRTDItem(code);
  const auto number = [&](std::uint32_t id) -> std::optional<double> {
    if (!item || !item->HasPermissionByID(id) || item->IsNullByID(id)) return std::nullopt;
    return item->GetDoubleDataByID(id);
  };
  const auto value = [&](std::uint32_t id) -> nlohmann::json {
    const auto v = number(id);
    if (!v) return nullptr;
    ++shown_;
    return RawNumber(*v);
  };
  auto security = s_.host.Securities().GetSecurity(code);
  std::vector<nlohmann::json> row{code, security ? nlohmann::json(security->GetStockName()) : nlohmann::json()};
  row.emplace_back(IsoDateTime(s_.host.Context().GetServerDateTime().ToString()) + "+08:00");
  const auto date = number(kTradeDateField);
  row.push_back(date ? nlohmann::json(IsoDate(std::to_string(std::llround(*date)))) : nlohmann::json());
  const auto time = number(kLastTradeTimeField);
  row.push_back(time ? nlohmann::json(ClockText(std::llround(*time))) : nlohmann::json());
  for (const std::uint32_t id : {kLastField, kPrevCloseField, kChangeField, kChangeRatioField, kVolumeField}) {
    row.push_back(value(id));
  }
  for (const std::uint32_t id : extra_) row.push_back(value(id));
  for (const std::string& name : computed_) {
    if (!item || item->IsNullByName(name)) {
      row.emplace_back();
    } else {
      ++shown_;
      row.emplace_back(item->GetDoubleDataByName(name));
    }
  }
  return row;
}

}  // namespace kdp::app
