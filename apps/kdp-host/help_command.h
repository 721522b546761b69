// Help for people at the command line: `help [COMMAND]`, `--version`, and hints when a command line is
// wrong (the nearest commands to an unknown one, the subcommands of a command given without one).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace kdp::app {

// Adds `--version` and `help [COMMAND...]` to the application; both print and exit 0 while parsing.
// Call once every command has been added.
void AddHelpCommand(CLI::App& app);

// app.exit(error) with a hint after the message: for an unknown command, the nearest ones; for a command
// that needs a subcommand, its subcommands. The exit status.
int ExitWithHints(CLI::App& app, const CLI::ParseError& error, std::ostream& out, std::ostream& err);

// The names among `names` nearest to `word` by edit distance (a third of the word's length, at least 2),
// nearest first; names starting with `word` count as near too.
std::vector<std::string> NearestNames(const std::string& word, const std::vector<std::string>& names);

}  // namespace kdp::app
