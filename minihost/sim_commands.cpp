#include "sim_commands.h"

#include <algorithm>
#include <cmath>

#include "kdp/host/data_table.h"
#include "kdp/host/number_text.h"
#include "kdp/host/reply_packet.h"
#include "sim_speed.h"

namespace kdp::minihost {
namespace {

using host::TDataTable;
using Table = std::shared_ptr<TDataTable>;

int ToInt(const std::string& text, int fallback) { return host::ParseInt32(text).value_or(fallback); }

std::optional<double> Numeric(const SimMarket& market, const std::string& code, std::uint32_t id) {
  const auto value = market.Value(code, id);
  if (!value) return std::nullopt;
  if (const auto* d = std::get_if<double>(&*value)) return *d;
  if (const auto* n = std::get_if<std::int64_t>(&*value)) return static_cast<double>(*n);
  return std::nullopt;
}

// The codes a request is about: its code list when given, else the members of its sector.
std::vector<std::string> CodesOf(const MiniSectorMaster& sectors, const std::string& sectorName,
                                 const std::string& codeList) {
  if (!codeList.empty()) return host::SplitList(codeList);
  auto sector = sectors.Find(sectorName);
  return sector ? sector->GetMemberCodes() : std::vector<std::string>{};
}

// Orders codes by a field, largest first when `descending`; codes without a value go last.
std::vector<std::pair<std::string, double>> Ranked(const SimMarket& market, const std::vector<std::string>& codes,
                                                   std::uint32_t sortID, bool descending) {
  std::vector<std::pair<std::string, double>> with_value;
  for (const std::string& code : codes) {
    if (auto v = Numeric(market, code, sortID); v && std::isfinite(*v)) with_value.emplace_back(code, *v);
  }
  std::stable_sort(with_value.begin(), with_value.end(), [descending](const auto& a, const auto& b) {
    return descending ? a.second > b.second : a.second < b.second;
  });
  return with_value;
}

Table NewTable(std::initializer_list<std::pair<const char*, const char*>> fields) {
  auto t = std::make_shared<TDataTable>();
  for (const auto& [name, type] : fields) t->AddField(name, type);
  return t;
}

std::shared_ptr<host::IDataSet> Packet(const Table& header, const Table& body) {
  auto reply = NewTable({{"Header", "dataset"}, {"Body", "dataset"}});
  const int p = reply->AddRow();
  reply->Set(p, 0, std::shared_ptr<host::IDataSet>(header));
  reply->Set(p, 1, std::shared_ptr<host::IDataSet>(body));
  return reply;
}

std::shared_ptr<host::IDataSet> SectorRanking(const SimMarket& market, const MiniSectorMaster& sectors, int pid,
                                              host::IParamSerialSet& params, int& error) {
  auto header = NewTable({{"Id", "int"}, {"PacketID", "int"}});
  const int h = header->AddRow();
  header->Set(h, 0, kSectorRankingCommand);
  header->Set(h, 1, pid);

  auto body = NewTable(
      {{"ModleID", "int"}, {"SectorName", "string"}, {"SectorChartItemNum", "int"}, {"SectorChartItems", "dataset"}});
  const auto sort_ids = host::SplitList(params.GetValue("SortIDs"));
  const auto directions = host::SplitList(params.GetValue("SortDirections"));
  const int lines = std::max(0, ToInt(params.GetValue("LinesNumber"), 10));
  const std::string code_list = params.GetValue("KoraCodeList");
  auto sector_names = host::SplitList(params.GetValue("SectorName"));
  if (sector_names.empty() && !code_list.empty()) sector_names.push_back("");
  for (std::size_t s = 0; s < sector_names.size(); ++s) {
    const auto codes = CodesOf(sectors, sector_names[s], code_list);
    if (codes.empty()) {
      error = 1;
      continue;
    }
    auto chart = NewTable({{"Index", "int"}, {"chartItemNum", "int"}, {"ChartItems", "dataset"}});
    for (std::size_t k = 0; k < sort_ids.size(); ++k) {
      const int sort_id = ToInt(sort_ids[k], 0);
      const bool descending = k >= directions.size() || directions[k] != "0";
      auto items =
          NewTable({{"KoraCode", "string"}, {"NewValue", "double"}, {"PreValue", "double"}, {"Value", "double"}});
      const auto last_id = market.Fields().IdOf(QuoteRole::kLast);
      const auto prev_id = market.Fields().IdOf(QuoteRole::kPrevClose);
      for (const auto& [code, value] : Ranked(market, codes, static_cast<std::uint32_t>(sort_id), descending)) {
        if (items->GetRowCount() >= lines) break;
        const int r = items->AddRow();
        items->Set(r, 0, code);
        items->Set(r, 1, last_id ? Numeric(market, code, *last_id).value_or(0) : 0.0);
        items->Set(r, 2, prev_id ? Numeric(market, code, *prev_id).value_or(0) : 0.0);
        items->Set(r, 3, value);
      }
      const int c = chart->AddRow();
      chart->Set(c, 0, sort_id);
      chart->Set(c, 1, items->GetRowCount());
      chart->Set(c, 2, std::shared_ptr<host::IDataSet>(items));
    }
    const int b = body->AddRow();
    body->Set(b, 0, static_cast<int>(s));
    body->Set(b, 1, sector_names[s]);
    body->Set(b, 2, chart->GetRowCount());
    body->Set(b, 3, std::shared_ptr<host::IDataSet>(chart));
  }
  return Packet(header, body);
}

std::shared_ptr<host::IDataSet> SectorSort(const SimMarket& market, const MiniSectorMaster& sectors, int pid,
                                           host::IParamSerialSet& params, int& error) {
  const auto codes = CodesOf(sectors, params.GetValue("SectorName"), params.GetValue("KoraCodeList"));
  if (codes.empty()) error = 1;
  const auto sort_id = static_cast<std::uint32_t>(ToInt(params.GetValue("SortID"), 0));
  const bool descending = params.GetValue("SortDirection") != "0";
  auto body = NewTable({{"Index", "int"}, {"KoraCode", "string"}});
  for (const auto& [code, value] : Ranked(market, codes, sort_id, descending)) {
    const int r = body->AddRow();
    body->Set(r, 0, r);
    body->Set(r, 1, code);
  }
  auto header = NewTable({{"Id", "int"}, {"PacketID", "int"}, {"Num", "int"}});
  const int h = header->AddRow();
  header->Set(h, 0, kSectorSortCommand);
  header->Set(h, 1, pid);
  header->Set(h, 2, body->GetRowCount());
  return Packet(header, body);
}

std::shared_ptr<host::IDataSet> IndicatorExport(const SimMarket& market, int pid, host::IParamSerialSet& params,
                                                int& error) {
  auto body = host::MakeQuoteBody("Code", "Values");
  for (const std::string& code : host::SplitList(params.GetValue("KoraCodeList"))) {
    if (!market.IsKnownCode(code)) {
      error = 1;
      continue;
    }
    auto values = std::make_shared<TDataTable>();
    values->AddRow();
    for (const std::string& id_text : host::SplitList(params.GetValue(code))) {
      const int id = ToInt(id_text, 0);
      const auto value = id > 0 ? market.Value(code, static_cast<std::uint32_t>(id)) : std::nullopt;
      if (!value) continue;
      if (const auto* d = std::get_if<double>(&*value)) {
        values->Set(0, values->AddField(id_text, "double"), *d);
      } else if (const auto* n = std::get_if<std::int64_t>(&*value)) {
        values->Set(0, values->AddField(id_text, "int64"), *n);
      } else {
        values->Set(0, values->AddField(id_text, "string"), std::get<std::string>(*value));
      }
    }
    host::AddQuoteBodyRow(*body, code, values);
  }
  return host::MakeReplyPacket({{"CmdID", kIndicatorExportCommand}, {"PID", pid}, {"ReturnID", pid}}, body);
}

std::shared_ptr<host::IDataSet> IndicatorTables(const SimMarket& market, const MiniSectorMaster& sectors, int pid,
                                                host::IParamSerialSet& params, int& error) {
  (void)pid;
  const std::string sector = params.GetValue("SectorName");
  const int sort_id = ToInt(params.GetValue("SortID"), 0);
  const int start = ToInt(params.GetValue("StartTime"), 0);
  const int end = ToInt(params.GetValue("EndTime"), 2359);
  auto header = NewTable(
      {{"ReqID", "int"}, {"SectorName", "string"}, {"SortSymbolID", "int"}, {"StartTime", "int"}, {"EndTime", "int"}});
  const int h = header->AddRow();
  header->Set(h, 0, kIndicatorTableCommand);
  header->Set(h, 1, sector);
  header->Set(h, 2, sort_id);
  header->Set(h, 3, start);
  header->Set(h, 4, end);
  auto body = NewTable({{"KoraCode", "string"}, {"Indicators", "dataset"}});
  const auto codes = CodesOf(sectors, sector, "");
  if (codes.empty()) error = 1;
  for (const std::string& code : codes) {
    auto points = NewTable({{"Time", "int"}, {"Value", "double"}});
    for (const auto& [hhmm, value] : market.MinuteSeries(code, static_cast<std::uint32_t>(sort_id), start, end)) {
      const int r = points->AddRow();
      points->Set(r, 0, hhmm);
      points->Set(r, 1, value);
    }
    const int r = body->AddRow();
    body->Set(r, 0, code);
    body->Set(r, 1, std::shared_ptr<host::IDataSet>(points));
  }
  return Packet(header, body);
}

}  // namespace

bool IsHistoryCommand(int commandID) {
  return commandID == kIndicatorTableCommand || commandID == kSectorRankingCommand || commandID == kSectorSortCommand ||
         commandID == kIndicatorExportCommand;
}

std::shared_ptr<host::IDataSet> BuildHistoryReply(const SimMarket& market, const MiniSectorMaster& sectors,
                                                  int commandID, int pid, host::IParamSerialSet& params, int& error) {
  error = 0;
  switch (commandID) {
    case kSectorRankingCommand:
      return SectorRanking(market, sectors, pid, params, error);
    case kSectorSortCommand:
      return SectorSort(market, sectors, pid, params, error);
    case kIndicatorExportCommand:
      return IndicatorExport(market, pid, params, error);
    case kIndicatorTableCommand:
      return IndicatorTables(market, sectors, pid, params, error);
    default:
      error = 1;
      return nullptr;
  }
}

}  // namespace kdp::minihost
