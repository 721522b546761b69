// ReplaySpeed's own market: the quotes played, and the answers the engine gives from them (indicator
// export) or for commands the recording does not answer.
#include "replay_speed.h"

#include <cstring>
#include <string>
#include <variant>

#include "kdp/host/data_table.h"
#include "kdp/host/reply_packet.h"
#include "replay_speed_detail.h"

namespace kdp::replay {
namespace {

// The replayed market answering command 3080 keeps at most this much, whatever a recording holds.
constexpr std::size_t kMaxMarketCodes = 65536;
constexpr std::size_t kMaxMarketFields = 1024;

void UpperAsciiInPlace(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

std::string UpperAscii(std::string text) {
  UpperAsciiInPlace(text);
  return text;
}

// The table a cell holds, or nullptr.
host::TDataTable* NestedTable(const host::TDataTable& table, int row, int column) {
  const auto* held = std::get_if<std::shared_ptr<host::IDataSet>>(table.CellAt(row, column));
  return held != nullptr ? host::AsDataTable(held->get()) : nullptr;
}

// Whether two tables have the same column names in the same order.
bool SameColumns(host::TDataTable& a, host::TDataTable& b) {
  if (a.GetFieldsIdentity() != nullptr && a.GetFieldsIdentity() == b.GetFieldsIdentity()) return true;
  if (a.GetFieldCount() != b.GetFieldCount()) return false;
  for (int column = 0; column < a.GetFieldCount(); ++column) {
    if (std::memcmp(a.GetFieldInfo(column)->name, b.GetFieldInfo(column)->name, sizeof(host::TFieldInfo::name)) != 0)
      return false;
  }
  return true;
}

int ColumnOf(host::TDataTable& table, const std::string& name) {
  for (int column = 0; column < table.GetFieldCount(); ++column) {
    if (host::FieldName(table, column) == name) return column;
  }
  return -1;
}

}  // namespace

// ---- the engine's own answers ----

void ReplaySpeed::UpdateMarket(const Record& record) {
  if (record.kind != RecordKind::kQuotes || !record.data) return;
  // Read in place, without copying a pointer or a code per push: what the reader decodes is always tables.
  host::TDataTable* packets = host::AsDataTable(record.data.get());
  if (packets == nullptr) return;
  for (int packet = 0; packet < packets->GetRowCount(); ++packet) {
    host::TDataTable* body = NestedTable(*packets, packet, 1);
    if (body == nullptr) continue;
    for (int row = 0; row < body->GetRowCount(); ++row) {
      const auto* code = std::get_if<std::string>(body->CellAt(row, 0));
      host::TDataTable* values = NestedTable(*body, row, 1);
      if (code == nullptr || code->empty() || values == nullptr || values->GetRowCount() == 0) continue;
      market_code_ = *code;
      UpperAsciiInPlace(market_code_);
      auto it = market_.find(market_code_);
      if (it == market_.end()) {
        if (market_.size() >= kMaxMarketCodes) continue;
        it = market_.emplace(market_code_, Quoted{}).first;
      }
      Quoted& quoted = it->second;
      if (quoted.latest && !SameColumns(*quoted.latest, *values)) {
        for (int column = 0; column < quoted.latest->GetFieldCount(); ++column) {
          std::string name = host::FieldName(*quoted.latest, column);
          if (!quoted.earlier.contains(name) && quoted.earlier.size() >= kMaxMarketFields) continue;
          quoted.earlier[std::move(name)] = {host::FieldTypeName(*quoted.latest, column),
                                             *quoted.latest->CellAt(0, column)};
        }
      }
      quoted.latest =
          std::static_pointer_cast<host::TDataTable>(std::get<std::shared_ptr<host::IDataSet>>(*body->CellAt(row, 1)));
    }
  }
}

std::shared_ptr<host::IDataSet> ReplaySpeed::ExportReply(const Params& params, int pid, int& error) const {
  error = 0;
  auto body = host::MakeQuoteBody("Code", "Values");
  const auto codes = params.find("KoraCodeList");
  for (const std::string& code : host::SplitList(codes == params.end() ? std::string() : codes->second)) {
    auto quoted = market_.find(UpperAscii(code));
    if (quoted == market_.end()) {
      error = 1;
      continue;
    }
    auto values = std::make_shared<host::TDataTable>();
    values->AddRow();
    const auto ids = params.find(code);
    for (const std::string& id : host::SplitList(ids == params.end() ? std::string() : ids->second)) {
      host::TDataTable& latest = *quoted->second.latest;
      const int column = ColumnOf(latest, id);
      if (column >= 0) {
        values->Set(0, values->AddField(id, host::FieldTypeName(latest, column)), *latest.CellAt(0, column));
      } else if (auto field = quoted->second.earlier.find(id); field != quoted->second.earlier.end()) {
        values->Set(0, values->AddField(id, field->second.first), field->second.second);
      }
    }
    host::AddQuoteBodyRow(*body, code, values);
  }
  return host::MakeReplyPacket({{"CmdID", kIndicatorExportCommand}, {"PID", pid}, {"ReturnID", pid}}, body);
}

void ReplaySpeed::CallObserver(host::IObserver& observer, const Record& reply) {
  CallOutside("a replayed reply", [&] {
    if (reply.kind == RecordKind::kResponse) {
      observer.NotifyReqResponse(reply.numbers[0], reply.numbers[1], reply.numbers[2]);
    } else if (reply.kind == RecordKind::kHistoryData) {
      observer.SetData(reply.data);
    } else {
      observer.NotifyHisData(reply.numbers[0], reply.numbers[1]);
    }
  });
}

void ReplaySpeed::Answer(const Pending& pending) {
  auto request = pending.request.lock();
  if (!request) return;
  int error = 1;
  std::shared_ptr<host::IDataSet> reply;
  if (pending.command.id == kIndicatorExportCommand) reply = ExportReply(pending.command.params, pending.pid, error);
  {
    std::lock_guard lock(mutex_);
    ++counts_.delivered;
  }
  request->observer_->NotifyReqResponse(error, pending.pid, pending.command.id);
  if (reply) request->observer_->SetData(reply);
}

}  // namespace kdp::replay
