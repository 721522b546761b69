#include "kdp/alerts/remind_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "kdp/host/ansi.h"
#include "kdp/host/excerpt.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "uKrConditionsRemind";
constexpr std::string_view kRootName = "ConditionReminds";
constexpr std::string_view kRemindName = "Remind";
constexpr std::string_view kVersion = "1";

namespace fs = std::filesystem;

// The file's bytes, at most one more than a reminder file may hold (so ParseReminds sees that it is too
// large without the whole file in memory); nullopt when it cannot be read or is not a regular file.
std::optional<std::string> ReadCapped(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(TKrRemindFile::kMaxFileBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

bool IsChineseCodePage(std::string_view encoding) {
  for (const std::string_view name : {"GB2312", "GBK", "GB18030", "CP936"}) {
    if (SameTextAscii(encoding, name)) return true;
  }
  return false;
}

}  // namespace

std::string TKrRemindFile::DefaultPath() { return host::GetUserPath("") + "ConditionRemind.xml"; }

bool TKrRemindFile::ParseReminds(std::string_view bytes, TKrRemindList& reminds, std::string& error,
                                 std::vector<std::string>* skipped) {
  reminds.clear();
  if (skipped) skipped->clear();
  if (bytes.size() > kMaxFileBytes) {
    error = fmt::format("{} bytes, more than a reminder file holds", bytes.size());
    return false;
  }
  pugi::xml_document document;
  pugi::xml_parse_result result =
      document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration);
  if (!result) {
    error = fmt::format("{}, at byte {}", result.description(), result.offset);
    return false;
  }
  // Files the terminal wrote in the Chinese code page say so in their declaration; inside, every text is
  // UTF-8, and that is how the file is written back.
  if (const pugi::xml_node declaration = document.first_child();
      declaration.type() == pugi::node_declaration && IsChineseCodePage(declaration.attribute("encoding").value())) {
    const std::string utf8 = host::AnsiToUtf8(bytes);
    result = document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
      error = fmt::format("{}, at byte {}", result.description(), result.offset);
      return false;
    }
  }
  const pugi::xml_node root = document.document_element();
  if (std::string_view(root.name()) != kRootName) {
    error = fmt::format("the root element is \"{}\", not {}", root.name(), kRootName);
    return false;
  }
  // An entry that does not read: noted when the caller keeps the rest, else the whole file fails.
  auto unread = [&](std::string why) {
    if (skipped == nullptr) {
      error = std::move(why);
      return false;
    }
    skipped->push_back(std::move(why));
    return true;
  };
  if (const auto version = root.attribute("version"); version && std::string_view(version.value()) != kVersion) {
    if (!unread(fmt::format("version {} is not {}: read as far as this version can", host::Excerpt(version.value()),
                            kVersion))) {
      return false;
    }
  }
  TKrRemindList read;
  std::size_t entry = 0;
  for (const pugi::xml_node& node : root.children()) {
    if (node.type() == pugi::node_comment) continue;
    ++entry;
    if (node.type() != pugi::node_element || std::string_view(node.name()) != kRemindName) {
      if (!unread(fmt::format("entry {} (at byte {}): element {} holds something that is not a {} element (\"{}\")",
                              entry, node.offset_debug(), kRootName, kRemindName, host::Excerpt(node.name())))) {
        return false;
      }
      continue;
    }
    if (read.size() == kMaxReminds) {
      error = fmt::format("more than {} reminders", kMaxReminds);
      return false;
    }
    std::string why;
    auto remind = TKrConditionsRemindBase::CreateFromXML(node, why);
    if (!remind) {
      if (!unread(fmt::format("reminder {} (at byte {}): {}", entry, node.offset_debug(), why))) return false;
      continue;
    }
    read.push_back(std::move(remind));
  }
  reminds = std::move(read);
  return true;
}

std::string TKrRemindFile::FormatReminds(const TKrRemindList& reminds) {
  pugi::xml_document document;
  auto declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = document.append_child(std::string(kRootName).c_str());
  root.append_attribute("version") = std::string(kVersion).c_str();
  for (const auto& remind : reminds) remind->SaveToXMLNode(root.append_child(std::string(kRemindName).c_str()));
  std::ostringstream out;
  document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

TKrRemindFileLoad TKrRemindFile::Load() const {
  TKrRemindFileLoad load;
  std::error_code ec;
  if (!fs::exists(FPath, ec)) return load;
  const auto bytes = ReadCapped(FPath);
  if (!bytes) {
    load.corrupt = true;
    load.error = "cannot read " + FPath + " as a file";
  } else if (!ParseReminds(*bytes, load.reminds, load.error, &load.skipped)) {
    load.corrupt = true;
  }
  return load;
}

std::unique_ptr<TKrConditionsRemindBase> TKrRemindFile::Clone(TKrConditionsRemindBase& remind) {
  pugi::xml_document document;
  pugi::xml_node node = document.append_child(std::string(kRemindName).c_str());
  remind.SaveToXMLNode(node);
  std::string why;
  return TKrConditionsRemindBase::CreateFromXML(node, why);
}

std::string TKrRemindFile::EntryText(TKrConditionsRemindBase& remind) {
  pugi::xml_document document;
  remind.SaveToXMLNode(document.append_child(std::string(kRemindName).c_str()));
  std::ostringstream out;
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

namespace {

// An exclusive lock on "<file>.lock", released when it goes out of scope.
class FileLock {
 public:
  explicit FileLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0) {
      error_ = fmt::format("cannot lock {}: {}", path, std::strerror(errno));
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error_ = fmt::format("cannot lock {}: {}", path, std::strerror(errno));
      return;
    }
    locked_ = true;
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Locked() const { return locked_; }
  const std::string& Error() const { return error_; }

 private:
  int fd_;
  bool locked_ = false;
  std::string error_;
};

}  // namespace

bool TKrRemindFile::Update(const Change& change, std::string& error, std::string* keptAside) {
  FileLock lock(FPath + ".lock");
  if (!lock.Locked()) {
    error = lock.Error();
    return false;
  }
  TKrRemindFileLoad now = Load();
  if (now.corrupt) {
    std::error_code ec;
    if (!fs::is_regular_file(FPath, ec)) {
      error = "cannot read " + FPath + " as a file, so it is not written over";
      return false;
    }
    std::string aside;
    if (!KeepAside(aside, error)) {
      error = fmt::format("{} does not read ({}) and {}", FPath, now.error, error);
      return false;
    }
    host::AddHQLog(fmt::format("ConditionRemind: {} does not read ({}); kept aside as {}", FPath, now.error, aside),
                   kLogSource, host::LogSeverity::kWarning);
    if (keptAside) *keptAside = aside;
    now.reminds.clear();
  } else if (!now.skipped.empty()) {
    error = fmt::format("{} holds {} {} this version cannot read ({}), so it is not written over", FPath,
                        now.skipped.size(), now.skipped.size() == 1 ? "entry" : "entries", now.skipped.front());
    return false;
  }
  if (!change(now.reminds)) return true;
  if (now.reminds.size() > kMaxReminds) {
    error = fmt::format("a reminder file holds at most {} reminders", kMaxReminds);
    return false;
  }
  const std::string text = FormatReminds(now.reminds);
  if (text.size() > kMaxFileBytes) {
    error = fmt::format("the reminders would take {} bytes, more than a reminder file holds ({})", text.size(),
                        kMaxFileBytes);
    return false;
  }
  return WriteWhole(text, error);
}

bool TKrRemindFile::KeepAside(std::string& keptAside, std::string& error) {
  const host::DateTime now = GetServerDateTime();
  const std::string stem = FPath + fmt::format(".corrupt-{}{:06}", now.Yyyymmdd(), now.Hhmmss());
  std::error_code ec;
  for (int n = 1; n < 1000; ++n) {
    const std::string candidate = n == 1 ? stem : fmt::format("{}-{}", stem, n);
    if (fs::exists(candidate, ec)) continue;
    fs::rename(FPath, candidate, ec);
    if (ec) {
      error = fmt::format("cannot be kept aside as {}: {}", candidate, ec.message());
      return false;
    }
    keptAside = candidate;
    return true;
  }
  error = "cannot be kept aside: every name is taken";
  return false;
}

bool TKrRemindFile::WriteWhole(const std::string& text, std::string& error) {
  std::string temporary = FPath + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = fmt::format("cannot write next to {}: {}", FPath, std::strerror(errno));
    return false;
  }
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  const bool whole = written == text.size() && ::fsync(fd) == 0;
  const std::string why = whole ? std::string() : std::strerror(errno);
  ::close(fd);
  std::error_code ec;
  if (!whole) {
    error = fmt::format("cannot write {}: {}", temporary, why);
    fs::remove(temporary, ec);
    return false;
  }
  fs::rename(temporary, FPath, ec);
  if (ec) {
    error = fmt::format("cannot replace {}: {}", FPath, ec.message());
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace kdp
