// kdp-host export CODE... --fields ID,...: quote fields of securities (command 3080). Under `replay`, the
// fields as the recording left them.
#include <variant>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/speed/speed_history_providers.h"
#include "kdp/speed/speed_session.h"

namespace kdp::app {
namespace {

// The exit status once `answered` of `asked` codes came back: 1, with a message, when some did not.
int Unanswered(Session& s, int answered, std::size_t asked) {
  if (answered >= static_cast<int>(asked)) return 0;
  fmt::print(s.err, "kdp-host: {} of {} codes are unknown to the quote engine\n", static_cast<int>(asked) - answered,
             asked);
  return 1;
}

// The records as a listing: the code, then a column per field ID, null where the engine sent no value.
Listing ExportListing(const std::vector<TKrSpeedIndexRecord>& records, const std::vector<int>& fields) {
  Listing listing{{"code"}, {}};
  for (int id : fields) listing.columns.push_back(std::to_string(id));
  for (const TKrSpeedIndexRecord& record : records) {
    std::vector<nlohmann::json> row{record.Code};
    for (int id : fields) {
      nlohmann::json value;
      for (std::size_t c = 0; c < record.IDs.size() && c < record.Values.size(); ++c) {
        if (record.IDs[c] != id) continue;
        std::visit(
            [&](const auto& v) {
              if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, std::monostate>) value = v;
            },
            record.Values[c]);
      }
      row.push_back(std::move(value));
    }
    listing.rows.push_back(std::move(row));
  }
  return listing;
}

int Export(Session& s, const std::vector<std::string>& codes, const std::vector<std::string>& fieldNames, bool raw) {
  const auto ids = ResolveFields(s, fieldNames);
  if (!ids) return 1;
  const std::vector<int> fields(ids->begin(), ids->end());
  G_GetHQSpeedImpl();
  TKrSpeedDataProviderCmd3080 provider;
  ReplyWait wait;
  provider.SetOnDataNotify([&](bool) { wait.Arrived(); });
  std::vector<TKrSpeedIndexRecord> records;
  for (const std::string& code : codes) records.push_back({code, fields, {}});
  const bool sent = provider.FireExportRequest(records) > 0;
  if (sent) PlayRecordingThrough(s);  // a replay answers once the recording has been played
  if (!sent || !wait.Wait()) {
    fmt::print(s.err, "kdp-host: no reply to the export request\n");
    return 1;
  }
  auto parser = provider.GetParser();
  if (s.format != OutputFormat::Table) {
    WriteListing(s.out, s.terminal, ExportListing(parser->GetRecords(), fields), s.format);
    return Unanswered(s, parser->GetRowCount(), codes.size());
  }
  // The raw table is for scripts: headed as the JSON keys are, in every edition.
  fmt::print(s.out, "{}", Pad(raw ? "code" : Text(s, words::kCode), 12, false));
  for (int id : fields) {
    fmt::print(s.out, " {:>15}", raw ? std::to_string(id) : FieldHeader(static_cast<std::uint32_t>(id)));
  }
  fmt::print(s.out, "\n");
  for (const TKrSpeedIndexRecord& record : parser->GetRecords()) {
    fmt::print(s.out, "{:<12}", record.Code);
    for (int id : fields) {
      std::string text = "-";
      for (std::size_t c = 0; c < record.IDs.size(); ++c) {
        if (record.IDs[c] != id) continue;
        std::visit(
            [&](const auto& v) {
              using V = std::decay_t<decltype(v)>;
              if constexpr (std::is_same_v<V, std::string>) {
                text = v;
              } else if constexpr (!std::is_same_v<V, std::monostate>) {
                text = raw ? fmt::format("{}", v)
                           : FormatFieldValue(record.Code, static_cast<std::uint32_t>(id), static_cast<double>(v));
              }
            },
            record.Values[c]);
      }
      fmt::print(s.out, " {:>15}", text);  // a long value still leaves a blank before it
    }
    fmt::print(s.out, "\n");
  }
  return Unanswered(s, parser->GetRowCount(), codes.size());
}

}  // namespace

void AddExportCommand(CLI::App& app, Action& chosen) {
  struct ExportOptions {
    std::vector<std::string> codes;
    std::vector<std::string> fields;
    bool raw = false;
  };
  auto exp = std::make_shared<ExportOptions>();
  auto* export_cmd = app.add_subcommand("export", "export quote fields of securities (command 3080)");
  export_cmd->add_option("CODE", exp->codes, "security codes")->required();
  export_cmd->add_option("--fields", exp->fields, "fields, IDs (0 to 9999) or names, joined by \",\"")
      ->delimiter(',')
      ->check(FieldIdOrName(9999))
      ->required();
  export_cmd->add_flag("--raw", exp->raw, "the values as the engine sent them, headed by field ID (for scripts)");
  export_cmd->callback(
      [&chosen, exp] { chosen = [exp](Session& s) { return Export(s, exp->codes, exp->fields, exp->raw); }; });
}

}  // namespace kdp::app
