// kdp-host record FILE --seconds N CODE... [--drop-after S --drop-for N]
// A live price board of the codes for N seconds (as `board`), with everything the quote engine delivers to
// the package recorded into FILE on the way, connection changes included, for `kdp-host replay`.
#include <unistd.h>

#include <filesystem>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"

namespace kdp::app {
namespace {

int Record(Session& s, const std::string& file, const std::string& temporary, const std::vector<std::string>& codes,
           int seconds, const ConnectionDrop& drop) {
  auto* recorder = s.host.Recorder();
  if (recorder == nullptr) {
    fmt::print(s.err, "kdp-host: the host runs without a quote engine: nothing to record\n");
    return 1;
  }
  const int status = RunLiveBoard(s, codes, seconds, drop);
  // The recording ends with the board: the engine's stopping as the host shuts down is not part of it, and
  // the counts below are the file's.
  recorder->Writer().Close();
  const auto counts = recorder->Writer().GetCounts();
  if (const std::string failure = recorder->Writer().Failure(); !failure.empty()) {
    fmt::print(s.err, "kdp-host: the recording stopped early: {}; {} is unchanged\n", failure, file);
    return 2;
  }
  if (status != 0) {
    fmt::print(s.err, "kdp-host: nothing recorded; {} is unchanged\n", file);
    return status;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, file, ec);
  if (ec) {
    fmt::print(s.err, "kdp-host: the recording cannot replace {}: {}\n", file, ec.message());
    return 2;
  }
  fmt::print(s.err, "kdp-host: recorded {} records in {} blocks to {} ({} bytes)\n", counts.records, counts.blocks,
             file, counts.bytes);
  return status;
}

}  // namespace

void AddRecordCommand(CLI::App& app, Action& chosen, EngineChoice& engine) {
  struct Options {
    std::string file;
    int seconds = 0;
    std::vector<std::string> codes;
    ConnectionDrop drop;
  };
  auto options = std::make_shared<Options>();
  auto* record = app.add_subcommand("record", "record a live price board session into a file, for replay");
  record->add_option("FILE", options->file, "the recording to write (replaced when it exists)")->required();
  record->add_option("--seconds", options->seconds, "how long to record, 1 to 86400")
      ->check(CLI::Range(1, 86400))
      ->required();
  record->add_option("CODE", options->codes, "security codes, e.g. 600000.SH 00700.HK")->required();
  AddDropOptions(*record, options->drop);
  record->callback([&chosen, &engine, options] {
    engine.recordTo = fmt::format("{}.{}.partial", options->file, ::getpid());
    chosen = [options, temporary = engine.recordTo](Session& s) {
      return Record(s, options->file, temporary, options->codes, options->seconds, options->drop);
    };
  });
}

}  // namespace kdp::app
