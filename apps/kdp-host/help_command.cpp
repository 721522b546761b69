// kdp-host help [COMMAND...] and --version, and the hints after a wrong command line.
#include "help_command.h"

#include <algorithm>
#include <iostream>
#include <numeric>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

namespace kdp::app {
namespace {

// Levenshtein distance over bytes (command names are ASCII).
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> CommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) names.push_back(sub->get_name());
  return names;
}

// The deepest command named on the command line, the application itself when none was.
CLI::App* DeepestParsed(CLI::App& app) {
  CLI::App* at = &app;
  for (auto parsed = at->get_subcommands(); !parsed.empty(); parsed = at->get_subcommands()) at = parsed.back();
  return at;
}

}  // namespace

std::vector<std::string> NearestNames(const std::string& word, const std::vector<std::string>& names) {
  const std::size_t limit = std::max<std::size_t>(2, word.size() / 3);
  std::vector<std::pair<std::size_t, std::string>> near;
  for (const std::string& name : names) {
    const std::size_t distance = name.starts_with(word) && !word.empty() ? 0 : EditDistance(word, name);
    if (distance <= limit) near.emplace_back(distance, name);
  }
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> result;
  for (auto& n : near) result.push_back(std::move(n.second));
  return result;
}

void AddHelpCommand(CLI::App& app) {
  app.set_version_flag("--version", std::string("kdp-host ") + KDP_VERSION);
  auto* help = app.add_subcommand("help", "show the commands, or the options and examples of one command");
  auto words = std::make_shared<std::vector<std::string>>();
  help->add_option("COMMAND", *words, "a command, and a subcommand of it, e.g. \"alert list\"");
  help->callback([&app, help, words] {
    const CLI::App* shown = &app;
    for (const std::string& word : *words) {
      const CLI::App* sub = nullptr;
      for (const CLI::App* candidate : shown->get_subcommands([](const CLI::App*) { return true; })) {
        if (candidate->get_name() == word && candidate != help) sub = candidate;
      }
      if (sub == nullptr) {
        const auto near = NearestNames(word, CommandNames(*shown));
        throw CLI::ValidationError(
            "COMMAND", fmt::format("no command {}{}", word,
                                   near.empty() ? "" : fmt::format("; did you mean {}?", fmt::join(near, ", "))));
      }
      shown = sub;
    }
    std::cout << shown->help();
    throw CLI::Success();
  });
}

int ExitWithHints(CLI::App& app, const CLI::ParseError& error, std::ostream& out, std::ostream& err) {
  const int status = app.exit(error, out, err);
  CLI::App* at = DeepestParsed(app);
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && at == &app) {
    const auto extras = app.remaining();
    const auto word = std::find_if(extras.begin(), extras.end(), [](const std::string& w) { return !w.starts_with('-'); });
    if (word != extras.end()) {
      const auto near = NearestNames(*word, CommandNames(app));
      if (!near.empty()) fmt::print(err, "{} is not a command; the nearest: {}\n", *word, fmt::join(near, ", "));
      fmt::print(err, "kdp-host help lists the commands\n");
    }
  } else if (at != &app && at->get_require_subcommand_min() > 0 && at->get_subcommands().empty()) {
    fmt::print(err, "kdp-host {} needs one of: {}\n", at->get_name(), fmt::join(CommandNames(*at), ", "));
  }
  err.flush();
  return status;
}

}  // namespace kdp::app
