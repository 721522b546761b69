// The user's condition reminders on disk: "ConditionRemind.xml" in the user's directory, one Remind
// element per reminder whose attributes are the reminder's settings (TKrConditionsRemindBase::SaveToXMLNode):
//
//   <ConditionReminds version="1">
//     <Remind Type="rtPriceArrive" ID="1" Code="600000.SH" State="tsMonitor" ... CustomPrice="10.5"/>
//   </ConditionReminds>
//
// The file is outside bytes. A file that does not read in every part (not well-formed, another root or
// version, an element that is not a reminder, a reminder that does not read, over 16 MiB or over 100,000
// reminders) is corrupt: it is renamed aside ("<file>.corrupt-<yyyymmddhhmmss>", with "-2", "-3", ... when
// that name is taken), logged, and the user starts with no reminders. Nothing ever writes over a corrupt
// file: Save keeps it aside first, and refuses when it cannot. Save writes a temporary file next to the
// file and renames it over the file, so the file is always whole.
//
// Main thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/alerts/conditions_remind.h"

namespace kdp {

using TKrRemindList = std::vector<std::unique_ptr<TKrConditionsRemindBase>>;

struct TKrRemindFileLoad {
  TKrRemindList reminds;
  bool corrupt = false;   // the file was there and did not read
  std::string keptAside;  // where a corrupt file now is; "" when it could not be moved (see error)
  std::string error;      // why the file did not read, or why it could not be moved
};

class TKrRemindFile {
 public:
  static constexpr std::size_t kMaxFileBytes = 16u << 20;
  static constexpr std::size_t kMaxReminds = 100000;

  explicit TKrRemindFile(std::string path) : FPath(std::move(path)) {}
  // "ConditionRemind.xml" in the current user's directory.
  static std::string DefaultPath();
  const std::string& Path() const { return FPath; }

  // The reminders of a file's bytes; false (and `error`, "what, at byte N" for XML faults) when any part
  // does not read. Never throws.
  static bool ParseReminds(std::string_view bytes, TKrRemindList& reminds, std::string& error);
  // The file's text for the reminders.
  static std::string FormatReminds(const TKrRemindList& reminds);

  // A missing file is no reminders; a corrupt one is kept aside as above.
  TKrRemindFileLoad Load();
  // Writes the reminders; false (and `error`) when the file cannot be written or a corrupt file in its
  // place cannot be kept aside.
  bool Save(const TKrRemindList& reminds, std::string& error);

 private:
  // Renames a corrupt file aside, and logs why it did (`why`) or why it could not.
  bool SetAside(const std::string& why, std::string& keptAside, std::string& error);
  bool KeepAside(std::string& keptAside, std::string& error);

  std::string FPath;
};

}  // namespace kdp
