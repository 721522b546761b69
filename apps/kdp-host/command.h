// The commands of kdp-host, one file per command (<name>_command.cpp). Each adds its subcommand to the
// CLI and sets the action that runs once the stand-in host is up with the package started.
//
// Commands see the package only through its public headers (include/kdp/) and the stateless helpers of
// util/, as a terminal's own tools would.
#pragma once

#include <array>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "kdp/refdata/security_manager.h"
#include "mini_host.h"

namespace kdp::app {

struct Session {
  minihost::MiniHost& host;
  std::ostream& out;
  std::ostream& err;
};

// The action of the chosen subcommand; returns the process exit status.
using Action = std::function<int(Session&)>;
using AddCommand = void (*)(CLI::App& app, Action& chosen);

void AddServicesCommand(CLI::App& app, Action& chosen);  // services
void AddSecurityCommand(CLI::App& app, Action& chosen);  // security CODE
void AddBoardCommand(CLI::App& app, Action& chosen);     // board CODE... [--seconds N] [--once]
void AddRankCommand(CLI::App& app, Action& chosen);      // rank SECTOR --sort IDS --top N
void AddExportCommand(CLI::App& app, Action& chosen);    // export CODE... --fields IDS
void AddRefCommand(CLI::App& app, Action& chosen);       // ref TABLE CODE, ref convert CODE AMOUNT
void AddResolveCommand(CLI::App& app, Action& chosen);   // resolve CODE
void AddFormatCommand(CLI::App& app, Action& chosen);    // format CODE FIELD VALUE
void AddClockCommand(CLI::App& app, Action& chosen);     // clock CITY DATETIME
void AddNewsCommand(CLI::App& app, Action& chosen);      // news COLUMN [--code CODE] [--pages N] [--follow]
void AddLuxCommand(CLI::App& app, Action& chosen);       // lux columns

// Every command, in the order `--help` lists them.
inline constexpr std::array<AddCommand, 11> kCommands{
    AddServicesCommand, AddSecurityCommand, AddBoardCommand, AddRankCommand, AddExportCommand, AddRefCommand,
    AddResolveCommand,  AddFormatCommand,   AddClockCommand, AddNewsCommand, AddLuxCommand,
};

// Without a command: the published services and a price-board snapshot.
int RunDemo(Session& session);
// The published services, in publication order (the `services` command).
int ListServices(Session& session);
// One price-board snapshot of `codes` (as `board --once`); the exit status.
int PrintBoardSnapshot(Session& session, const std::vector<std::string>& codes);

// The security manager as the package published it; nullptr (and a message) when it did not.
std::shared_ptr<IKrHQSecurityManager> SecurityManager(Session& session);
// True for codes the stock type map can classify: known to the host, user-defined, hard-coded, or one of
// those behind a quote prefix.
bool IsKnownCode(Session& session, IKrHQSecurityManager& manager, const std::string& code);

// Replies of the quote engine arrive on its thread; a command waits for one, at most 15 seconds.
class ReplyWait {
 public:
  void Arrived() {
    std::lock_guard lock(mutex_);
    arrived_ = true;
    cv_.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(15), [this] { return arrived_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool arrived_ = false;
};

}  // namespace kdp::app
