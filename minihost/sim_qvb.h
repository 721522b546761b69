// The stand-in QVB economic-database service: indicator series and a keyword search over them, answered
// from a sample file of series (JSON):
//   { "series": [ { "code": "M0000545", "name": "...", "country": "...", "source": "...", "currency": "CNY",
//                   "unit": "...", "frequency": 4, "decimals": 1, "description": "...", "update": 20250117,
//                   "values": [[20240331, 296299.0], ...] } ] }
// (frequency as the service codes it: 1 daily, 2 weekly, 3 monthly, 4 quarterly, 5 half-yearly, 6 yearly;
// dates yyyymmdd; values oldest first).
//
// Requests (bodies written with the host serializer):
//   indicator data (1350/3813)  String user, LongWord account, LongWord observations (0: all), String
//                               "QXR." + code, Byte 1; answered with one series of the latest observations
//   search (1351/3847)          five Bytes, LongWord account, String key words, LongWord page (from 1),
//                               LongWord page size, LongWord reserved; answered with the page of the series
//                               whose code, name or description contains every word (ASCII case ignored)
// Replies in the QVB layouts (see kdp/qvb/qvb_decoders.h on the package side): series data of kind "1",
// and a page of search records.
//
// Loaded before the Lux client starts and read-only afterwards: any thread may ask.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kdp::minihost {

class QVBService {
 public:
  struct Series {
    std::string code, name, country, source, currency, unit, description;
    std::int32_t frequency = 0;
    std::int32_t decimals = 0;
    std::int32_t update = 0;
    std::vector<std::pair<std::int32_t, double>> values;
  };

  bool Load(const std::string& path, std::string& error);
  bool LoadText(const std::string& json, std::string& error);

  // The reply body to a request of this command word; nullopt for another command or a body that does not
  // read as the request.
  std::optional<std::string> Reply(std::uint32_t commandWord, std::string_view body) const;

  const std::vector<Series>& AllSeries() const { return series_; }

 private:
  std::optional<std::string> DataReply(std::string_view body) const;
  std::optional<std::string> SearchReply(std::string_view body) const;

  std::vector<Series> series_;
};

}  // namespace kdp::minihost
