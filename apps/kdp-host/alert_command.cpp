// kdp-host alert add TYPE [CODE] [NAME=VALUE...] [--memo TEXT] [--once] [--paused]
// kdp-host alert list [--json] (--json: --format json)
// kdp-host alert remove ID
// kdp-host alert watch [--seconds N]
// The user's condition reminders, kept in "ConditionRemind.xml" in the user directory. `watch` monitors
// them on the live simulated market and prints each trigger as it happens.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <limits>
#include <map>
#include <set>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "command.h"
#include "kdp/alerts/remind_file.h"
#include "kdp/host/number_text.h"
#include "kdp/rtd/rtd_model.h"
#include "util/strings.h"
#include "util/tools.h"

namespace kdp::app {
namespace {

using namespace std::chrono_literals;

struct TypeAlias {
  const char* alias;
  TKrRemindType type;
};

constexpr TypeAlias kTypeAliases[] = {
    {"time", TKrRemindType::rtTimeArrive},      {"price", TKrRemindType::rtPriceArrive},
    {"diff", TKrRemindType::rtPriceDiffArrive}, {"range", TKrRemindType::rtRangeArrive},
    {"volume", TKrRemindType::rtVolumeArrive},  {"loss", TKrRemindType::rtLossBlow},
    {"win", TKrRemindType::rtWinAbove},         {"rebound", TKrRemindType::rtPriceDownUp},
    {"fallback", TKrRemindType::rtPriceUpDown}, {"above-ma", TKrRemindType::rtAboveMA},
    {"below-ma", TKrRemindType::rtBelowMA},
};

TKrRemindType TypeOf(const std::string& text) {
  for (const TypeAlias& a : kTypeAliases) {
    if (SameTextAscii(text, a.alias)) return a.type;
  }
  return RemindTypeByName(text);
}

std::atomic<bool> g_interrupted{false};

// Says once what in the file did not read; true when something did not. Reading changes nothing: a
// corrupt file is kept aside only when something is next saved.
bool ReportDamage(Session& s, const TKrRemindFile& file, const TKrRemindFileLoad& load) {
  if (load.corrupt) {
    fmt::print(s.err, "kdp-host: {} does not read ({}); it is kept aside when a reminder is next saved\n", file.Path(),
               load.error);
    return true;
  }
  if (load.skipped.empty()) return false;
  fmt::print(s.err, "kdp-host: {} holds {} {} this version cannot read; it is not written over:\n", file.Path(),
             load.skipped.size(), load.skipped.size() == 1 ? "entry" : "entries");
  for (const std::string& why : load.skipped) fmt::print(s.err, "  {}\n", why);
  return true;
}

// Applies `change` to the file as it is now (see TKrRemindFile::Update); says why when it cannot.
bool UpdateReminds(Session& s, TKrRemindFile& file, const TKrRemindFile::Change& change) {
  std::string error, keptAside;
  const bool saved = file.Update(change, error, &keptAside);
  if (!keptAside.empty()) {
    fmt::print(s.err, "kdp-host: {} did not read; kept aside as {}; starting with no reminders\n", file.Path(),
               keptAside);
  }
  if (!saved) fmt::print(s.err, "kdp-host: reminders not saved: {}\n", error);
  return saved;
}

std::string NextID(const TKrRemindList& reminds) {
  std::int64_t highest = 0;
  for (const auto& r : reminds) {
    if (auto id = host::ParseInt64(r->GetID()); id && *id > highest) highest = *id;
  }
  return std::to_string(highest + 1);
}

std::string Describe(TKrConditionsRemindBase& r) {
  const std::string code = r.GetKoraCode().empty() ? std::string() : " " + r.GetKoraCode();
  return fmt::format("{}{}: {}", r.GetRemindTypeStr(), code, r.GetTriggerConditionDesc());
}

// ---- add ----

constexpr Texts kAdded{"已添加 #{} {}", "已新增 #{} {}", "added #{} {}"};

struct AddOptions {
  std::string type;
  std::vector<std::string> words;  // [CODE] NAME=VALUE...
  std::string memo;
  bool once = false;
  bool paused = false;
};

// A setting a reminder needs, where it needs it, and the values it takes: above `low`, at most `high`.
struct SettingRule {
  TKrRemindType type;
  const char* when;  // "Setting=value" under which the setting is needed; "" always
  const char* name;
  double low;
  double high;
  const char* takes;  // the values in words, for messages
};

constexpr double kNoLimit = std::numeric_limits<double>::infinity();
constexpr const char* kPrice = "a price above 0";
constexpr const char* kPercent = "a percentage above 0, at most 100";

constexpr SettingRule kSettingRules[] = {
    {TKrRemindType::rtPriceArrive, "", "CustomPrice", 0, kNoLimit, kPrice},
    {TKrRemindType::rtPriceDiffArrive, "MonitorPriceDiffType=pdtPriceDiff", "PriceDiff", -kNoLimit, kNoLimit,
     "a price difference"},
    {TKrRemindType::rtPriceDiffArrive, "MonitorPriceDiffType=pdtPriceRate", "PriceRate", -100, 100,
     "a percentage from above -100 to 100"},
    {TKrRemindType::rtRangeArrive, "", "Range", 0, 100, kPercent},
    {TKrRemindType::rtVolumeArrive, "MonitorVolumeType=vtTotalVolume", "TotalVolume", 0, kNoLimit, "a volume above 0"},
    {TKrRemindType::rtVolumeArrive, "MonitorVolumeType=vtChangeHandRate", "ChangeHandRate", 0, 100, kPercent},
    {TKrRemindType::rtLossBlow, "MonitorLossBlowType=lbtLossPrice", "LossPrice", 0, kNoLimit, kPrice},
    {TKrRemindType::rtLossBlow, "MonitorLossBlowType=lbtCostPriceBlow", "CostPrice", 0, kNoLimit, kPrice},
    {TKrRemindType::rtLossBlow, "MonitorLossBlowType=lbtCostPriceBlow", "CostPriceBlow", 0, kNoLimit, kPrice},
    {TKrRemindType::rtLossBlow, "MonitorLossBlowType=lbtCostPriceRangeBlow", "CostPrice", 0, kNoLimit, kPrice},
    {TKrRemindType::rtLossBlow, "MonitorLossBlowType=lbtCostPriceRangeBlow", "CostPriceRangeBlow", 0, 100, kPercent},
    {TKrRemindType::rtWinAbove, "MonitorWinAboveType=watWinPrice", "WinPrice", 0, kNoLimit, kPrice},
    {TKrRemindType::rtWinAbove, "MonitorWinAboveType=watCostPriceAbove", "CostPrice", 0, kNoLimit, kPrice},
    {TKrRemindType::rtWinAbove, "MonitorWinAboveType=watCostPriceAbove", "CostPriceAbove", 0, kNoLimit, kPrice},
    {TKrRemindType::rtWinAbove, "MonitorWinAboveType=watCostPriceRangeAbove", "CostPrice", 0, kNoLimit, kPrice},
    {TKrRemindType::rtWinAbove, "MonitorWinAboveType=watCostPriceRangeAbove", "CostPriceRangeAbove", 0, 1000,
     "a percentage above 0, at most 1000"},
    {TKrRemindType::rtPriceDownUp, "", "AntimissileRange", 0, 100, kPercent},
    {TKrRemindType::rtPriceUpDown, "", "ReturnRange", 0, 100, kPercent},
};

// The settings a user gives; the others are the file's own bookkeeping.
bool IsUserSetting(std::string_view name) {
  return name != "ID" && name != "Code" && name != "State" && name != "LastTradeDate";
}

// What a setting takes, in words.
std::string Takes(const TKrRemindParam& p) {
  if (!p.choices.empty()) return fmt::format("one of {}", fmt::join(p.choices, ", "));
  if (p.numeric) return "a number";
  return p.name == "Time" || p.name == "LastTradeDate" ? "a date-time \"2026-12-04 14:55:00\" or a time \"14:55\""
                                                       : "a text";
}

// False, with a message, when a setting the type needs is missing or one given lies outside its range.
bool CheckSettings(Session& s, TKrConditionsRemindBase& remind, const std::string& typeName,
                   const std::vector<std::string>& given) {
  const auto params = remind.GetParams();
  auto valueOf = [&](std::string_view name) {
    for (const TKrRemindParam& p : params) {
      if (p.name == name) return p.Get();
    }
    return std::string();
  };
  for (const SettingRule& rule : kSettingRules) {
    if (rule.type != remind.GetRemindType()) continue;
    const bool isGiven = std::find(given.begin(), given.end(), rule.name) != given.end();
    if (isGiven) {
      const double value = host::ParseDouble(valueOf(rule.name)).value_or(0);
      if (!(value > rule.low && value <= rule.high)) {
        fmt::print(s.err, "kdp-host: {}={} is out of range: it takes {}\n", rule.name, valueOf(rule.name), rule.takes);
        return false;
      }
      continue;
    }
    const std::string_view when = rule.when;
    const std::size_t eq = when.find('=');
    if (!when.empty() && valueOf(when.substr(0, eq)) != when.substr(eq + 1)) continue;
    fmt::print(s.err, "kdp-host: a {} reminder{} needs {} ({}), e.g. {}=10\n", typeName,
               when.empty() ? "" : fmt::format(" with {}", when), rule.name, rule.takes, rule.name);
    return false;
  }
  return true;
}

// A time of day alone ("14:55") is today's, by the server's date.
std::string WithServerDate(Session& s, const std::string& value) {
  if (value.find('-') != std::string::npos) return value;
  return fmt::format("{} {}", s.host.Context().GetServerDateTime().ToString().substr(0, 10), value);
}

int Add(Session& s, const AddOptions& o) {
  auto manager = SecurityManager(s);
  if (!manager) return 2;
  auto remind = TKrConditionsRemindBase::CreateConditionsRemind(TypeOf(o.type));
  if (!remind) {
    fmt::print(s.err, "kdp-host: unknown reminder type {}; the types are:", o.type);
    for (const TypeAlias& a : kTypeAliases) fmt::print(s.err, " {}", a.alias);
    fmt::print(s.err, "\n");
    return 1;
  }
  remind->SetState(TKrTriggerState::tsMonitor);
  remind->SetTriggerFrequency(TKrTriggerFrequency::tfManyVeryDay);
  auto params = remind->GetParams();
  bool timeGiven = false;
  std::vector<std::string> given;
  for (const std::string& word : o.words) {
    const std::size_t eq = word.find('=');
    if (eq == std::string::npos) {
      remind->SetKoraCode(word);
      continue;
    }
    const std::string name = word.substr(0, eq);
    std::string value = word.substr(eq + 1);
    auto param = std::find_if(params.begin(), params.end(),
                              [&](const TKrRemindParam& p) { return p.name == name && IsUserSetting(p.name); });
    if (param == params.end()) {
      fmt::print(s.err, "kdp-host: {} has no setting {}; its settings are:", RemindTypeName(remind->GetRemindType()),
                 name);
      for (const TKrRemindParam& p : params) {
        if (IsUserSetting(p.name)) fmt::print(s.err, " {}", p.name);
      }
      fmt::print(s.err, "\n");
      return 1;
    }
    given.push_back(name);
    if (remind->GetRemindType() == TKrRemindType::rtTimeArrive && name == "Time") {
      value = WithServerDate(s, value);
      timeGiven = true;
    }
    if (!param->Set(value)) {
      fmt::print(s.err, "kdp-host: {}={} does not read: {} takes {}\n", name, value, name, Takes(*param));
      return 1;
    }
  }
  if (!CheckSettings(s, *remind, o.type, given)) return 1;
  const bool timed = remind->GetRemindType() == TKrRemindType::rtTimeArrive;
  if (!timed && remind->GetKoraCode().empty()) {
    fmt::print(s.err, "kdp-host: a {} reminder needs a security code\n", o.type);
    return 1;
  }
  if (timed && !timeGiven) {
    fmt::print(s.err, "kdp-host: a time reminder needs Time=HH:MM (or a date and time)\n");
    return 1;
  }
  if (!remind->GetKoraCode().empty() && !IsKnownCode(s, *manager, remind->GetKoraCode())) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", remind->GetKoraCode());
    return 1;
  }
  if (auto* diff = dynamic_cast<TKrPriceDiffArriveRemind*>(remind.get());
      diff && (diff->FSecondKoraCode.empty() || !IsKnownCode(s, *manager, diff->FSecondKoraCode))) {
    fmt::print(s.err, "kdp-host: a price difference needs a known SecondCode\n");
    return 1;
  }
  if (!o.memo.empty()) remind->SetMemo(o.memo);
  if (o.once) remind->SetTriggerFrequency(TKrTriggerFrequency::tfOnceVeryDay);
  if (o.paused) remind->SetState(TKrTriggerState::tsPause);

  TKrRemindFile file(TKrRemindFile::DefaultPath());
  std::string added;
  const bool saved = UpdateReminds(s, file, [&](TKrRemindList& reminds) {
    remind->SetID(NextID(reminds));
    added = TextFormat(s, kAdded, remind->GetID(), Describe(*remind));
    reminds.push_back(std::move(remind));
    return true;
  });
  if (!saved) return 2;
  fmt::print(s.out, "{}\n", added);
  return 0;
}

// ---- list and remove ----

// The list's columns and their widths; the last runs to the end of the line.
constexpr std::pair<Texts, int> kListColumns[] = {
    {{"#", "#", "#"}, 5},
    {{"类型", "類型", "type"}, 12},
    {words::kCode, 12},
    {{"状态", "狀態", "state"}, 9},
    {{"频率", "頻率", "frequency"}, 11},
    {{"条件", "條件", "condition"}, 34},
    {{"最近触发", "最近觸發", "last fired"}, 0},
};
constexpr Texts kMonitor{"监控中", "監控中", "monitor"};
constexpr Texts kPaused{"已暂停", "已暫停", "paused"};
constexpr Texts kOncePerDay{"每日一次", "每日一次", "once/day"};
constexpr Texts kEachTime{"每次", "每次", "each time"};
constexpr Texts kRemoved{"已删除 #{} {}", "已刪除 #{} {}", "removed #{} {}"};
constexpr Texts kNoReminders{"{} 中没有提醒", "{} 中沒有提醒", "no reminders in {}"};

// The reminders for scripts: a row each with its type's name, what it watches for, then every setting of
// every reminder as the file keeps it (null where a reminder has no such setting), keyed in snake case.
Listing ReminderListing(const TKrRemindList& reminds) {
  Listing listing{{"id", "code", "type", "condition"}, {}};
  const auto keyOf = [](const TKrRemindParam& param) {
    return SameTextAscii(param.name, "Code") ? std::string("code") : SnakeCase(param.name);
  };
  // The column of `key`, added when it is new.
  const auto columnOf = [&listing](const std::string& key) {
    const auto at = static_cast<std::size_t>(std::find(listing.columns.begin(), listing.columns.end(), key) -
                                             listing.columns.begin());
    if (at == listing.columns.size()) listing.columns.push_back(key);
    return at;
  };
  for (const auto& r : reminds) {
    for (const TKrRemindParam& param : r->GetParams()) columnOf(keyOf(param));
  }
  for (const auto& r : reminds) {
    std::vector<nlohmann::json> row(listing.columns.size());
    row[2] = std::string(RemindTypeName(r->GetRemindType()));
    row[3] = r->GetTriggerConditionDesc();
    for (const TKrRemindParam& param : r->GetParams()) {
      const std::string value = param.Get();
      row[columnOf(keyOf(param))] =
          param.numeric || value.empty() ? ScalarOf(value) : nlohmann::json(IsoDateTime(value));
    }
    // A reminder that never fired keeps a zero date (1899-12-30), which the list shows as "-".
    if (r->GetLastTradeDate().value == 0.0) row[columnOf("last_trade_date")] = nullptr;
    listing.rows.push_back(std::move(row));
  }
  return listing;
}

int List(Session& s) {
  TKrRemindFile file(TKrRemindFile::DefaultPath());
  TKrRemindFileLoad load = file.Load();
  const int status = ReportDamage(s, file, load) ? 2 : 0;
  const TKrRemindList& reminds = load.reminds;
  if (s.format != OutputFormat::Table) {
    WriteListing(s.out, s.terminal, ReminderListing(reminds), s.format);
    return status;
  }
  if (reminds.empty()) {
    fmt::print(s.out, "{}\n", TextFormat(s, kNoReminders, file.Path()));
    return status;
  }
  const auto row = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) line += Pad(cells[i], kListColumns[i].second, false);
    fmt::print(s.out, "{}\n", line);
  };
  std::vector<std::string> header;
  for (const auto& [title, width] : kListColumns) header.push_back(Text(s, title));
  row(header);
  for (const auto& r : reminds) {
    const bool fired = r->GetLastTradeDate().value != 0.0;
    row({r->GetID(), r->GetRemindTypeStr(), r->GetKoraCode().empty() ? "-" : r->GetKoraCode(),
         Text(s, r->GetState() == TKrTriggerState::tsMonitor ? kMonitor : kPaused),
         Text(s, r->GetTriggerFrequency() == TKrTriggerFrequency::tfOnceVeryDay ? kOncePerDay : kEachTime),
         r->GetTriggerConditionDesc(), fired ? r->GetLastTradeDate().ToString() : "-"});
  }
  return 0;
}

int Remove(Session& s, const std::string& id) {
  TKrRemindFile file(TKrRemindFile::DefaultPath());
  std::string removed;
  const bool saved = UpdateReminds(s, file, [&](TKrRemindList& reminds) {
    const auto it = std::find_if(reminds.begin(), reminds.end(), [&](const auto& r) { return r->GetID() == id; });
    if (it == reminds.end()) return false;
    removed = TextFormat(s, kRemoved, id, Describe(**it));
    reminds.erase(it);
    return true;
  });
  if (!saved) return 2;
  if (removed.empty()) {
    fmt::print(s.err, "kdp-host: no reminder #{}\n", id);
    return 1;
  }
  fmt::print(s.out, "{}\n", removed);
  return 0;
}

// ---- watch ----

constexpr Texts kWatching{"监控 {1} 个提醒中的 {0} 个，自 {2}（服务器时间）起{3}",
                          "監控 {1} 個提醒中的 {0} 個，自 {2}（伺服器時間）起{3}",
                          "watching {0} of {1} reminders from {2} (server time){3}"};
constexpr Texts kCtrlCStops{"；按 Ctrl-C 停止", "；按 Ctrl-C 停止", "; Ctrl-C stops"};
constexpr Texts kLastPrice{"  最新 {}", "  最新 {}", "  last {}"};

int Watch(Session& s, int seconds) {
  TKrRemindFile file(TKrRemindFile::DefaultPath());
  TKrRemindFileLoad load = file.Load();
  const bool damaged = ReportDamage(s, file, load);
  TKrRemindList& reminds = load.reminds;
  // The reminders whose state a trigger changed (the last trigger, the re-arm flag, a pause): only these
  // are written back, each over its entry as it was read (or last saved), into the file as it is then, so
  // reminders added, removed or changed meanwhile by others stay so.
  std::vector<std::string> asRead;
  for (const auto& r : reminds) asRead.push_back(TKrRemindFile::EntryText(*r));
  std::set<std::size_t> changed;
  bool refused = false;  // a refused save is said once, and not tried again
  const auto saveChanged = [&] {
    if (refused) return false;
    if (changed.empty()) return true;
    const bool saved = UpdateReminds(s, file, [&](TKrRemindList& onDisk) {
      std::multimap<std::string, std::size_t> wanted;
      for (const std::size_t i : changed) wanted.emplace(asRead[i], i);
      bool any = false;
      for (auto& kept : onDisk) {
        const auto mine = wanted.find(TKrRemindFile::EntryText(*kept));
        if (mine == wanted.end()) continue;
        if (auto copy = TKrRemindFile::Clone(*reminds[mine->second])) {
          kept = std::move(copy);
          asRead[mine->second] = TKrRemindFile::EntryText(*kept);
          any = true;
        }
        wanted.erase(mine);
      }
      return any;
    });
    changed.clear();
    refused = !saved;
    return saved;
  };
  int watched = 0;
  for (std::size_t i = 0; i < reminds.size(); ++i) {
    auto& r = reminds[i];
    if (r->GetState() != TKrTriggerState::tsMonitor) continue;
    r->SetOnTriggerred([&, i](TKrConditionsRemindBase& fired) {
      std::string price;
      if (TKrRTDModel* model = fired.GetRTDModel(); model && !fired.GetKoraCode().empty()) {
        price = TextFormat(s, kLastPrice, model->GetFormatVal(fired.GetKoraCode(), "NewPrice"));
      }
      fmt::print(s.out, "{}  #{} {}{}\n", fired.GetLastTradeDate().ToString(), fired.GetID(), Describe(fired), price);
      s.out.flush();
      if (!fired.GetContinueMonitor()) fired.SetState(TKrTriggerState::tsPause);
      changed.insert(i);
    });
    r->StartMonitor();
    ++watched;
  }
  fmt::print(s.out, "{}\n",
             TextFormat(s, kWatching, watched, reminds.size(), s.host.Context().GetServerDateTime().ToString(),
                        seconds > 0 ? "" : Text(s, kCtrlCStops)));
  s.out.flush();

  auto& loop = s.host.Loop();
  g_interrupted = false;
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  // Triggers change what the file keeps (the last trigger, the re-arm flag): saved once a second.
  const auto saver = loop.SetTimer(1s, [&] {
    if (g_interrupted) loop.Quit();
    saveChanged();
  });
  loop.Run(seconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(seconds)) : std::chrono::milliseconds::max());
  loop.KillTimer(saver);
  std::signal(SIGINT, SIG_DFL);
  for (const auto& r : reminds) r->StopMonitor();
  return saveChanged() && !damaged ? 0 : 2;
}

}  // namespace

void AddAlertCommand(CLI::App& app, Action& chosen) {
  auto* alert =
      app.add_subcommand("alert", "condition reminders: add, list, remove, and watch them on the live market");
  alert->require_subcommand(1);

  auto add = std::make_shared<AddOptions>();
  auto* addCommand = alert->add_subcommand("add", "add a reminder (settings as NAME=VALUE, e.g. CustomPrice=10.5)");
  addCommand
      ->add_option("TYPE", add->type,
                   "time, price, diff, range, volume, loss, win, rebound, fallback, "
                   "above-ma, below-ma")
      ->required();
  addCommand->add_option("SETTINGS", add->words, "the security code, then NAME=VALUE settings");
  addCommand->add_option("--memo", add->memo, "a note kept with the reminder");
  addCommand->add_flag("--once", add->once, "fire at most once a day");
  addCommand->add_flag("--paused", add->paused, "add it paused");
  addCommand->callback([&chosen, add] { chosen = [add](Session& s) { return Add(s, *add); }; });

  auto json = std::make_shared<bool>(false);
  auto* listCommand = alert->add_subcommand("list", "list the reminders");
  listCommand->add_flag("--json", *json, "the same as --format json before the command");
  listCommand->footer(
      "Under --format json|csv: a row per reminder: id, code, type, condition, then every setting as the "
      "reminder file keeps it (null where a reminder has none).");
  listCommand->callback([&chosen, json] {
    chosen = [json](Session& s) {
      if (*json) s.format = OutputFormat::Json;
      return List(s);
    };
  });

  auto id = std::make_shared<std::string>();
  auto* removeCommand = alert->add_subcommand("remove", "remove a reminder");
  removeCommand->add_option("ID", *id, "the reminder's number (alert list shows it)")->required();
  removeCommand->callback([&chosen, id] { chosen = [id](Session& s) { return Remove(s, *id); }; });

  auto seconds = std::make_shared<int>(0);
  auto* watchCommand = alert->add_subcommand("watch", "monitor the reminders and print each trigger as it happens");
  watchCommand->add_option("--seconds", *seconds, "stop after this many seconds (default: until Ctrl-C)");
  watchCommand->callback([&chosen, seconds] { chosen = [seconds](Session& s) { return Watch(s, *seconds); }; });
}

}  // namespace kdp::app
