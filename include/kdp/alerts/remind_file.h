// The user's condition reminders on disk: "ConditionRemind.xml" in the user's directory, one Remind
// element per reminder whose attributes are the reminder's settings (TKrConditionsRemindBase::SaveToXMLNode):
//
//   <ConditionReminds version="1">
//     <Remind Type="rtPriceArrive" ID="1" Code="600000.SH" State="tsMonitor" ... CustomPrice="10.5"/>
//   </ConditionReminds>
//
// The file is outside bytes, and more than one program writes it (a watch saving what fired while an add
// runs). Reading never changes the file:
//  - a file that does not read as a whole (not well-formed, another root, over 16 MiB or 100,000
//    reminders, not a regular file) is reported; the next write keeps it aside first
//    ("<file>.corrupt-<yyyymmddhhmmss>", with "-2", "-3", ... when that name is taken);
//  - a reminder that does not read (an unknown type, a setting out of range, a stray element) is skipped
//    and reported, the others are kept; a file of a newer version reads as far as it can. Such a file
//    holds entries this version could not read, so it is never written over: a write refuses.
// A write (Update) holds an exclusive lock on "<file>.lock" beside the file, re-reads the file under the
// lock, applies its change to what is there now, checks the result against the same limits a read
// applies, and writes a temporary file of a unique name that it renames over the file, so the file is
// always whole and no writer loses another's change.
//
// Main thread only (the lock also orders writers of other processes).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/alerts/conditions_remind.h"

namespace kdp {

using TKrRemindList = std::vector<std::unique_ptr<TKrConditionsRemindBase>>;

struct TKrRemindFileLoad {
  TKrRemindList reminds;
  bool corrupt = false;              // the file was there and did not read as a whole (see error)
  std::string error;                 // why the file did not read
  std::vector<std::string> skipped;  // why each entry that did not read was left out
};

class TKrRemindFile {
 public:
  static constexpr std::size_t kMaxFileBytes = 16u << 20;
  static constexpr std::size_t kMaxReminds = 100000;

  explicit TKrRemindFile(std::string path) : FPath(std::move(path)) {}
  // "ConditionRemind.xml" in the current user's directory.
  static std::string DefaultPath();
  const std::string& Path() const { return FPath; }

  // The reminders of a file's bytes; false (and `error`, "what, at byte N" for XML faults) when the file
  // does not read as a whole. With `skipped`, an entry that does not read (or a newer version) is noted
  // there and left out; without it, it fails the whole file. Never throws.
  static bool ParseReminds(std::string_view bytes, TKrRemindList& reminds, std::string& error,
                           std::vector<std::string>* skipped = nullptr);
  // The file's text for the reminders.
  static std::string FormatReminds(const TKrRemindList& reminds);

  // A missing file is no reminders. Never changes the file.
  TKrRemindFileLoad Load() const;

  // Changes the reminders on disk: under the lock, `change` gets what the file holds now and answers
  // whether it changed anything; only then is the file written. False (and `error`) when the lock cannot
  // be had, the file holds entries that did not read, a corrupt file cannot be kept aside, the result is
  // over a limit, or the file cannot be written; the file is then as it was. `keptAside` names where a
  // corrupt file went.
  using Change = std::function<bool(TKrRemindList& reminds)>;
  bool Update(const Change& change, std::string& error, std::string* keptAside = nullptr);

  // A copy of a reminder, settings and state, without its monitor.
  static std::unique_ptr<TKrConditionsRemindBase> Clone(TKrConditionsRemindBase& remind);
  // The reminder's entry as the file holds it: equal texts are equal entries.
  static std::string EntryText(TKrConditionsRemindBase& remind);

 private:
  bool KeepAside(std::string& keptAside, std::string& error);
  bool WriteWhole(const std::string& text, std::string& error);

  std::string FPath;
};

}  // namespace kdp
