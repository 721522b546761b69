// kdp-host: starts the stand-in host on a configuration root, loads the package, and runs one command
// (the demo when none is given).
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include <CLI/CLI.hpp>

#include "command.h"
#include "help_command.h"
#include "kdp/host/display_text.h"
#include "mini_host.h"
#include "settings.h"

namespace {

// The options that shape the host rather than a command.
struct HostArguments {
  std::string etc = KDP_DEFAULT_ETC;
  std::string data_dir, user, language;
  std::string server_time;
  bool detailed_log = false;
};

// The program's description and exit statuses, and the host's options.
void DescribeHost(CLI::App& app, HostArguments& args) {
  app.require_subcommand(0, 1);
  app.footer(
      "Exit status: 0 success; 1 a request the package could not answer (an unknown code, sector, field or report, "
      "no data); 2 bad configuration or files (the configuration root, Host/host.json, a recording); "
      "CLI11's codes for bad arguments (104 a value of the wrong kind, 105 a value refused, 106 a required one "
      "missing, 107 an option without "
      "the one it needs, 108 options that exclude each other, 109 extra arguments).");
  app.add_option("--etc", args.etc, "configuration root")->capture_default_str();
  app.add_option("--data-dir", args.data_dir,
                 "where user data and logs are kept (default: the settings', or ~/.local/state/kdp)");
  app.add_option("--user", args.user, "user ID, a plain name")->check(kdp::app::PlainName());
  app.add_option("--language", args.language, "language code: CHS, CHT, ENG or ENS (the English edition)")
      ->check(CLI::IsMember({"CHS", "CHT", "ENG", "ENS"}));
  app.add_flag("--detailed-log", args.detailed_log, "write detailed diagnostic lines to the log");
  app.add_option("--server-time", args.server_time, "start the server clock at this time, e.g. \"2026-12-04 10:30:00\"")
      ->check(kdp::app::DateTimeText());
}

// Every command, in the order `--help` lists them; `action` becomes the chosen one's.
void AddCommands(CLI::App& app, kdp::app::Action& action, kdp::app::EngineChoice& engine) {
  for (const auto add : kdp::app::kCommands) add(app, action);
  kdp::app::AddChartCommand(app, action);
  kdp::app::AddSectorChartCommand(app, action);
  kdp::app::AddSearchCommand(app, action);
  kdp::app::AddFieldsCommand(app, action);
  kdp::app::AddRecordCommand(app, action, engine);
  kdp::app::AddReplayCommand(app, action, engine);
  kdp::app::AddHelpCommand(app);
}

// The settings of Host/host.json under the configuration root (built-in ones, said on `err`, when there is
// no such file), with what the arguments override; nullopt, said on `err`, when they cannot be read.
std::optional<kdp::minihost::HostSettings> LoadSettings(const HostArguments& args, std::ostream& err) {
  std::string error;
  auto settings = kdp::minihost::LoadHostSettings(args.etc, error);
  if (!settings) {
    err << "kdp-host: " << error << std::endl;
    return std::nullopt;
  }
  if (std::error_code ec; !std::filesystem::exists(std::filesystem::path(args.etc) / "Host" / "host.json", ec)) {
    err << "kdp-host: " << (std::filesystem::path(args.etc) / "Host" / "host.json").string()
        << " not found; using the built-in settings" << std::endl;
  }
  if (!args.data_dir.empty()) settings->dataDir = args.data_dir;
  if (!args.user.empty()) settings->userId = args.user;
  if (!args.language.empty()) settings->language = args.language;
  if (args.detailed_log) settings->detailedLog = true;
  if (!args.server_time.empty()) settings->serverTimeStart = args.server_time;
  return settings;
}

// The stand-in host on the chosen quote engine, with the package started; nullptr, said on `err`, when
// either fails.
std::unique_ptr<kdp::minihost::MiniHost> StartHost(kdp::minihost::HostSettings settings,
                                                   const kdp::app::EngineChoice& engine, std::ostream& err) {
  kdp::minihost::MiniHost::Options options;
  options.logEchoLevel = 3;  // errors also reach the terminal
  options.recordTo = engine.recordTo;
  options.replayFrom = engine.replayFrom;
  options.replaySpeed = engine.replaySpeed;
  std::string error;
  auto host = kdp::minihost::MiniHost::Create(std::move(settings), options, error);
  if (!host) {
    err << "kdp-host: " << error << std::endl;
    return nullptr;
  }
  if (!host->StartPackage()) {
    err << "kdp-host: the package failed to start; see " << host->Logger().FilePath() << std::endl;
    return nullptr;
  }
  return host;
}

}  // namespace

int main(int argc, char** argv) {
  // Everything printed goes through these: echoed arguments and configuration texts stay inert.
  kdp::app::EscapingStreamBuf outBuffer(std::cout.rdbuf()), errBuffer(std::cerr.rdbuf());
  std::ostream out(&outBuffer), err(&errBuffer);

  CLI::App app{"kdp-host: the KDP quotes data-provider package in a stand-in terminal host"};
  HostArguments args;
  DescribeHost(app, args);
  kdp::app::OutputChoice output;
  kdp::app::AddOutputOptions(app, output);
  kdp::app::Action action = kdp::app::RunDemo;
  kdp::app::EngineChoice engine;
  AddCommands(app, action, engine);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = kdp::app::ExitWithHints(app, e, out, err);
    out.flush();
    err.flush();
    return status;
  }

  // A recording that did not finish leaves its temporary file behind; the one asked for stays as it was.
  struct TemporaryRecording {
    const std::string& path;
    ~TemporaryRecording() {
      std::error_code ec;
      if (!path.empty()) std::filesystem::remove(path, ec);
    }
  } temporaryRecording{engine.recordTo};

  auto settings = LoadSettings(args, err);
  if (!settings) return 2;
  auto host = StartHost(std::move(*settings), engine, err);
  if (!host) return 2;
  host->Loop().RunUntilIdle();

  kdp::app::Session session{*host, out, err, std::cout, output.format, kdp::app::ColorDepthOf(output.color)};
  const int status = action(session);
  host->StopPackage();
  out.flush();
  err.flush();
  return status;
}
