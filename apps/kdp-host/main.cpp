// kdp-host: starts the stand-in host on a configuration root, loads the package, and runs one command
// (the demo when none is given).
#include <iostream>

#include <CLI/CLI.hpp>

#include "command.h"
#include "mini_host.h"
#include "settings.h"

int main(int argc, char** argv) {
  CLI::App app{"kdp-host: the KDP quotes data-provider package in a stand-in terminal host"};
  app.require_subcommand(0, 1);

  std::string etc = KDP_DEFAULT_ETC;
  std::string data_dir, user, language;
  std::string server_time;
  bool detailed_log = false;
  app.add_option("--etc", etc, "configuration root")->capture_default_str();
  app.add_option("--data-dir", data_dir,
                 "where user data and logs are kept (default: the settings', or ~/.local/state/kdp)");
  app.add_option("--user", user, "user ID");
  app.add_option("--language", language, "language code: CHS, CHT or ENG");
  app.add_flag("--detailed-log", detailed_log, "write detailed diagnostic lines to the log");
  app.add_option("--server-time", server_time, "start the server clock at this time, e.g. \"2026-12-04 10:30:00\"");

  kdp::app::Action action = kdp::app::RunDemo;
  for (const auto add : kdp::app::kCommands) add(app, action);
  CLI11_PARSE(app, argc, argv);

  std::string error;
  auto settings = kdp::minihost::LoadHostSettings(etc, error);
  if (!settings) {
    std::cerr << "kdp-host: " << error << '\n';
    return 2;
  }
  if (!data_dir.empty()) settings->dataDir = data_dir;
  if (!user.empty()) settings->userId = user;
  if (!language.empty()) settings->language = language;
  if (detailed_log) settings->detailedLog = true;
  if (!server_time.empty()) settings->serverTimeStart = server_time;

  kdp::minihost::MiniHost::Options options;
  options.logEchoLevel = 3;  // errors also reach the terminal
  auto host = kdp::minihost::MiniHost::Create(std::move(*settings), options, error);
  if (!host) {
    std::cerr << "kdp-host: " << error << '\n';
    return 2;
  }
  if (!host->StartPackage()) {
    std::cerr << "kdp-host: the package failed to start; see " << host->Logger().FilePath() << '\n';
    return 3;
  }
  host->Loop().RunUntilIdle();

  kdp::app::Session session{*host, std::cout, std::cerr};
  const int status = action(session);
  host->StopPackage();
  return status;
}
