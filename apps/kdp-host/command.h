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
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "kdp/host/security.h"
#include "kdp/refdata/security_manager.h"
#include "mini_host.h"
#include "output.h"

namespace kdp::app {

// `out` and `err` escape control characters line by line (EscapingStreamBuf), so no code, name or
// configuration text a command echoes can drive the terminal. `terminal` is the raw standard output, for
// the board's own colour and cursor sequences; whatever else goes there is escaped by the writer.
struct Session {
  minihost::MiniHost& host;
  std::ostream& out;
  std::ostream& err;
  std::ostream& terminal;
  OutputFormat format = OutputFormat::Table;  // --format: listing commands print JSON or CSV instead of tables
  ColorDepth color = ColorDepth::None;        // --color and the environment: whether and how to colour
};

// Passes text on to `target` a line at a time with control characters escaped (host::EscapeControlChars);
// line ends pass as they are. Whatever is left of a line is written on flush.
class EscapingStreamBuf final : public std::streambuf {
 public:
  explicit EscapingStreamBuf(std::streambuf* target) : target_(target) {}
  ~EscapingStreamBuf() override { sync(); }

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void WriteLine(bool lineEnd);

  std::streambuf* target_;
  std::string line_;
};

// ---- argument checks shared by the commands (CLI11 validators) ----
// A finite decimal number ("12.5", "-3", "1e3"; not "inf" or "nan").
const CLI::Validator& FiniteNumber();
// A date-time as "2026-12-04 10:30:00", "2026-12-04 10:30" or "2026-12-04".
const CLI::Validator& DateTimeText();
// A field ID from 0 to `highest`, or a word that may name a field of the dictionary ("NewPrice").
CLI::Validator FieldIdOrName(int highest);
// A user ID that stays a plain name when joined to a directory.
const CLI::Validator& PlainName();

// The action of the chosen subcommand; returns the process exit status.
using Action = std::function<int(Session&)>;
using AddCommand = void (*)(CLI::App& app, Action& chosen);

// The quote engine a command wants the host built with: the simulated one, recorded into a file, or a
// recording played back (MiniHost::Options).
struct EngineChoice {
  std::string recordTo;
  std::string replayFrom;
  double replaySpeed = 1.0;
};

void AddServicesCommand(CLI::App& app, Action& chosen);   // services
void AddSecurityCommand(CLI::App& app, Action& chosen);   // security CODE
void AddBoardCommand(CLI::App& app, Action& chosen);      // board CODE... [--seconds N] [--once] [--drop-...]
void AddRankCommand(CLI::App& app, Action& chosen);       // rank SECTOR --sort IDS --top N
void AddExportCommand(CLI::App& app, Action& chosen);     // export CODE... --fields IDS
void AddRefCommand(CLI::App& app, Action& chosen);        // ref TABLE CODE, ref convert CODE AMOUNT
void AddResolveCommand(CLI::App& app, Action& chosen);    // resolve CODE
void AddFormatCommand(CLI::App& app, Action& chosen);     // format CODE FIELD VALUE
void AddClockCommand(CLI::App& app, Action& chosen);      // clock CITY DATETIME
void AddAlertCommand(CLI::App& app, Action& chosen);      // alert add|list|remove|watch
void AddFuncIDCommand(CLI::App& app, Action& chosen);     // funcid CODE [PAGE] [--audit]
void AddNewsCommand(CLI::App& app, Action& chosen);       // news COLUMN [--code CODE] [--pages N] [--follow]
void AddLuxCommand(CLI::App& app, Action& chosen);        // lux columns
void AddCalendarCommand(CLI::App& app, Action& chosen);   // calendar CODE [--from DATE --to DATE]
void AddTradeDateCommand(CLI::App& app, Action& chosen);  // tradedate CODE [--back N] [--period N]
void AddSectorsCommand(CLI::App& app, Action& chosen);    // sectors news|affiche|law [--column CODE]
void AddQVBCommand(CLI::App& app, Action& chosen);        // qvb search WORDS..., qvb series CODE
// qvb template FILE, qvb encrypt|decrypt: the user's files of the economic-data tools (under `qvb`).
void AddQVBFileCommands(CLI::App& qvb, Action& chosen);
void AddCloudCommand(CLI::App& app, Action& chosen);      // cloud report NAME [PARAM=VALUE...]

// Every command that runs on the host as the settings describe it, in the order `--help` lists them.
inline constexpr std::array<AddCommand, 18> kCommands{
    AddServicesCommand, AddSecurityCommand, AddBoardCommand,     AddRankCommand,    AddExportCommand, AddRefCommand,
    AddResolveCommand,  AddFormatCommand,   AddClockCommand,     AddAlertCommand,   AddFuncIDCommand, AddNewsCommand,
    AddLuxCommand,      AddCalendarCommand, AddTradeDateCommand, AddSectorsCommand, AddQVBCommand,    AddCloudCommand,
};
// The commands that choose the quote engine; listed after the others.
void AddRecordCommand(CLI::App& app, Action& chosen,
                      EngineChoice& engine);  // record FILE --seconds N CODE... [--drop-...]
void AddReplayCommand(CLI::App& app, Action& chosen, EngineChoice& engine);  // replay FILE [--speed N] board|export
// chart CODE [--seconds N] [--period 1m|5m] [--png FILE]; under replay, `recording` names the file played.
void AddChartCommand(CLI::App& app, Action& chosen, const std::string* recording = nullptr);
void AddSectorChartCommand(CLI::App& app, Action& chosen);  // sector-chart SECTOR [--sort ID] [--from HHMM --to HHMM]
void AddSearchCommand(CLI::App& app, Action& chosen);       // search TEXT [--limit N]
void AddFieldsCommand(CLI::App& app, Action& chosen);       // fields [WORDS...]

// Without a command: the published services and a price-board snapshot.
int RunDemo(Session& session);
// The published services, in publication order (the `services` command).
int ListServices(Session& session);
// One price-board snapshot of `codes` (as `board --once`); the exit status.
int PrintBoardSnapshot(Session& session, const std::vector<std::string>& codes);
// A drop of the simulated engine's connection: `after` seconds in, for `seconds` (none when 0).
struct ConnectionDrop {
  int after = 0;
  int seconds = 0;
  bool Wanted() const { return seconds > 0; }
};
// Adds --drop-after S and --drop-for N (each needs the other) to a command.
void AddDropOptions(CLI::App& command, ConnectionDrop& drop);
// A live price board of `codes` (as `board`) for `seconds` (0: until Ctrl-C, or the end of a replay),
// painted once more at the end when quotes arrived since the last paint; the exit status.
int RunLiveBoard(Session& session, const std::vector<std::string>& codes, int seconds, const ConnectionDrop& drop = {});

// When the host replays a recording, runs the main loop until it has been played through; at once
// otherwise. A widget that shows "the state at the end" calls it before it looks.
void PlayRecordingThrough(Session& session);

// The members of a sector and of the sectors under it, each once, added to `codes`: a parent sector
// (one without members of its own) holds its descendants' members.
void CollectMembers(host::IKrSector& sector, std::vector<std::string>& codes);

// The security manager as the package published it; nullptr (and a message) when it did not.
std::shared_ptr<IKrHQSecurityManager> SecurityManager(Session& session);
// True for codes the stock type map can classify: known to the host, user-defined, hard-coded, or one of
// those behind a quote prefix.
bool IsKnownCode(Session& session, IKrHQSecurityManager& manager, const std::string& code);

// The user's language: simplified Chinese (CHS), traditional Chinese (CHT) or English (ENG, and ENS, the
// English edition). Texts a command shows in each come in this order.
enum class Edition { kSimplified = 0, kTraditional = 1, kEnglish = 2 };
Edition EditionOf(Session& session);
bool IsEnglishEdition(Session& session);
// A security's name in the edition's language: the master's English name in English editions (the Chinese
// name when it has none), the Chinese name otherwise.
std::string DisplayName(Session& session, host::IKrSecurity& security);

// A weekday's short name in the edition's language (1 = Sunday ... 7 = Saturday): 周三, 週三 or Wed.
std::string WeekdayName(Session& session, int dayOfWeek);

// A text a person reads, in each edition's language. Every command keeps the texts it shows as Texts
// beside the code that shows them (phrases several commands show are in `words` below); a text with
// "{}" places is a format, filled by TextFormat, so each language orders its words its own way.
struct Texts {
  const char* chs;
  const char* cht;
  const char* eng;
};
const char* Text(Session& session, const Texts& texts);
template <class... Args>
std::string TextFormat(Session& session, const Texts& texts, Args&&... args) {
  return fmt::format(fmt::runtime(Text(session, texts)), std::forward<Args>(args)...);
}
// A line of a labelled listing: the label padded to `width` terminal columns, then the value.
std::string LabelLine(Session& session, const Texts& label, const std::string& value, int width);
// A world-clock city by its name in the edition's language ("Beijing": 北京, 北京, Beijing); a city the
// table does not know keeps the name the configuration gives it.
std::string CityName(Session& session, const std::string& city);

// Phrases several commands show.
namespace words {
inline constexpr Texts kCode{"代码", "代碼", "code"};
inline constexpr Texts kName{"名称", "名稱", "name"};
inline constexpr Texts kLast{"最新", "最新", "last"};
inline constexpr Texts kPrevClose{"昨收", "昨收", "prev"};
inline constexpr Texts kValue{"数值", "數值", "value"};
inline constexpr Texts kSessions{"交易时段", "交易時段", "sessions"};
inline constexpr Texts kHQType{"行情类型", "行情類型", "HQ type"};
inline constexpr Texts kStockType{"证券类型", "證券類型", "stock type"};
inline constexpr Texts kNone{"（无）", "（無）", "(none)"};
inline constexpr Texts kHighestFirst{"从高到低", "從高到低", "highest first"};
inline constexpr Texts kLowestFirst{"从低到高", "從低到高", "lowest first"};
}  // namespace words

// The IDs of `fields`, each a field ID or a name of the field dictionary; nullopt, with a message naming
// the first unknown one, when the dictionary lacks one.
std::optional<std::vector<std::uint32_t>> ResolveFields(Session& session, const std::vector<std::string>& fields);
// The field's header: its dictionary name, else its ID.
std::string FieldHeader(std::uint32_t id);
// `value` of field `id` as the security's widgets show it (the format manager's item of the field);
// shortest float text when no format applies.
std::string FormatFieldValue(const std::string& code, std::uint32_t id, double value);

// A yyyymmdd date as human output writes every date, "2026-12-04"; other numbers as they are.
std::string DateText(int yyyymmdd);
std::string DateText(const std::string& yyyymmdd);

// Terminal columns a text takes: East Asian wide characters take two.
int DisplayWidth(const std::string& utf8);
// The text padded with blanks to `width` terminal columns, on the left when `right`.
std::string Pad(const std::string& text, int width, bool right);

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
