// Quote pushes laid out as the quote engine lays them out, for the tests of the RTD model and its feed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kdp/host/data_table.h"

namespace kdp::testing {

// One security's row of a quote push: numbers and texts by field ID, numbers first, in column order.
struct QuoteRow {
  std::string code;
  std::vector<std::pair<std::uint32_t, double>> numbers;
  std::vector<std::pair<std::uint32_t, std::string>> texts;  // in the engine's code page
};

// A quote push of one packet: a header, and a body row per security holding its code and a one-row
// table whose columns are named by field ID.
inline std::shared_ptr<host::IDataSet> QuotePush(const std::vector<QuoteRow>& rows) {
  auto body = std::make_shared<host::TDataTable>();
  body->AddField("KoraCode", "string");
  body->AddField("Data", "dataset");
  for (const QuoteRow& row : rows) {
    auto values = std::make_shared<host::TDataTable>();
    values->AddRow();
    for (const auto& [id, number] : row.numbers) values->Set(0, values->AddField(std::to_string(id), "double"), number);
    for (const auto& [id, text] : row.texts) values->Set(0, values->AddField(std::to_string(id), "string"), text);
    const int r = body->AddRow();
    body->Set(r, 0, row.code);
    body->Set(r, 1, std::shared_ptr<host::IDataSet>(values));
  }
  auto header = std::make_shared<host::TDataTable>();
  header->AddField("CmdID", "int");
  header->AddRow();
  header->Set(0, 0, 3070);
  auto push = std::make_shared<host::TDataTable>();
  push->AddField("Header", "dataset");
  push->AddField("Body", "dataset");
  push->AddRow();
  push->Set(0, 0, std::shared_ptr<host::IDataSet>(header));
  push->Set(0, 1, std::shared_ptr<host::IDataSet>(body));
  return push;
}

}  // namespace kdp::testing
