// The commands of kdp-host. Each command file adds its subcommands to the CLI and sets the action that
// runs once the stand-in host is up with the package started.
#pragma once

#include <functional>
#include <ostream>

#include <CLI/CLI.hpp>

#include "mini_host.h"

namespace kdp::app {

struct Session {
  minihost::MiniHost& host;
  std::ostream& out;
  std::ostream& err;
};

// The action of the chosen subcommand; returns the process exit status.
using Action = std::function<int(Session&)>;

// `services`, `security CODE`, and the default demo.
void AddFrameCommands(CLI::App& app, Action& chosen);
int RunDemo(Session& session);
// `rank SECTOR`, `export CODE...`.
void AddSpeedCommands(CLI::App& app, Action& chosen);
// `ref warrant|basic|currency|index-sector|related CODE` and `ref convert CODE AMOUNT`.
void AddRefdataCommands(CLI::App& app, Action& chosen);
// `board CODE... [--seconds N] [--once]`.
void AddBoardCommands(CLI::App& app, Action& chosen);
// One price-board snapshot of `codes` (as `board --once`); the exit status.
int PrintBoardSnapshot(Session& session, const std::vector<std::string>& codes);
// `resolve CODE`, `format CODE FIELD VALUE`, `clock CITY DATETIME`.
void AddReferenceCommands(CLI::App& app, Action& chosen);

}  // namespace kdp::app
