// kdp-host replay FILE [--speed N] board|export|chart ...
// Plays a recording made by `record` back instead of the simulated quote engine, into a price board or an
// export (their own options follow them), and says how far the recording could be read.
#include <sstream>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"

namespace kdp::app {
namespace {

// After the widget has run: why it showed nothing when the recording holds none of what it asked for (before
// what the widget said of it, `widgetErr`), then how the recording ended, or that it was left before its
// end. A recording that did not read whole is a damaged file (exit 2), said after what could be read was
// shown.
int Report(Session& s, int status, const std::string& widgetErr) {
  auto* replay = s.host.Replay();
  if (const auto counts = replay->GetCounts(); counts.delivered == 0 && counts.skipped > 0) {
    fmt::print(s.err,
               "kdp-host: nothing in the recording was asked for: a board replays the pushes of the board recorded "
               "with the same codes\n");
  }
  s.err << widgetErr;
  if (!replay->Finished()) {
    fmt::print(s.err, "kdp-host: left the replay before the end of the recording\n");
  } else if (const std::string outcome = replay->Outcome();
             outcome.starts_with("stopped") || outcome.starts_with("skipped")) {
    fmt::print(s.err, "kdp-host: the recording is damaged or cut short: replay {}\n", outcome);
    if (status == 0) status = 2;
  } else {
    fmt::print(s.err, "kdp-host: replayed {}\n", outcome);
  }
  return status;
}

}  // namespace

void AddReplayCommand(CLI::App& app, Action& chosen, EngineChoice& engine) {
  struct Options {
    std::string file;
    double speed = 1.0;
  };
  auto options = std::make_shared<Options>();
  auto* replay = app.add_subcommand("replay", "play a recording back into a price board, an export or a chart");
  replay->add_option("FILE", options->file, "a recording made by record")->required()->check(CLI::ExistingFile);
  replay->add_option("--speed", options->speed, "times the recorded pace, up to 1000; 0 plays as fast as possible")
      ->check(FiniteNumber() & CLI::Range(0.0, 1000.0))
      ->capture_default_str();
  replay->require_subcommand(1, 1);
  AddBoardCommand(*replay, chosen);
  AddExportCommand(*replay, chosen);
  AddChartCommand(*replay, chosen, &options->file);
  // Runs after the board's or export's own callback has chosen the action.
  replay->callback([&chosen, &engine, options] {
    engine.replayFrom = options->file;
    engine.replaySpeed = options->speed;
    chosen = [widget = chosen](Session& s) {
      std::ostringstream widgetErr;
      Session held{s.host, s.out, widgetErr, s.terminal};
      const int status = widget(held);
      return Report(s, status, widgetErr.str());
    };
  });
}

}  // namespace kdp::app
