#include "kdp/alerts/remind_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"

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

}  // namespace

std::string TKrRemindFile::DefaultPath() { return host::GetUserPath("") + "ConditionRemind.xml"; }

bool TKrRemindFile::ParseReminds(std::string_view bytes, TKrRemindList& reminds, std::string& error) {
  reminds.clear();
  if (bytes.size() > kMaxFileBytes) {
    error = fmt::format("{} bytes, more than a reminder file holds", bytes.size());
    return false;
  }
  pugi::xml_document document;
  const pugi::xml_parse_result result = document.load_buffer(bytes.data(), bytes.size());
  if (!result) {
    error = fmt::format("{}, at byte {}", result.description(), result.offset);
    return false;
  }
  const pugi::xml_node root = document.document_element();
  if (std::string_view(root.name()) != kRootName) {
    error = fmt::format("the root element is \"{}\", not {}", root.name(), kRootName);
    return false;
  }
  if (const auto version = root.attribute("version"); version && std::string_view(version.value()) != kVersion) {
    error = fmt::format("version {} is not {}", version.value(), kVersion);
    return false;
  }
  TKrRemindList read;
  for (const pugi::xml_node& node : root.children()) {
    if (node.type() == pugi::node_comment) continue;
    if (node.type() != pugi::node_element || std::string_view(node.name()) != kRemindName) {
      error = fmt::format("element {} holds something that is not a {} element (\"{}\", at byte {})", kRootName,
                          kRemindName, node.name(), node.offset_debug());
      return false;
    }
    if (read.size() == kMaxReminds) {
      error = fmt::format("more than {} reminders", kMaxReminds);
      return false;
    }
    std::string why;
    auto remind = TKrConditionsRemindBase::CreateFromXML(node, why);
    if (!remind) {
      error = fmt::format("reminder {} (at byte {}): {}", read.size() + 1, node.offset_debug(), why);
      return false;
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

TKrRemindFileLoad TKrRemindFile::Load() {
  TKrRemindFileLoad load;
  std::error_code ec;
  if (!fs::exists(FPath, ec)) return load;
  const auto bytes = ReadCapped(FPath);
  if (!bytes) {
    // Unreadable (permissions, a directory): nothing is moved, and Save will not write over it either.
    load.corrupt = true;
    load.error = "cannot read " + FPath + " as a file";
    host::AddHQLog("ConditionRemind: " + load.error, kLogSource, host::LogSeverity::kError);
    return load;
  }
  if (ParseReminds(*bytes, load.reminds, load.error)) return load;
  load.corrupt = true;
  std::string moveError;
  if (!SetAside(load.error, load.keptAside, moveError)) load.error += "; " + moveError;
  return load;
}

bool TKrRemindFile::SetAside(const std::string& why, std::string& keptAside, std::string& error) {
  if (!KeepAside(keptAside, error)) {
    host::AddHQLog(fmt::format("ConditionRemind: {} does not read ({}) and {}", FPath, why, error), kLogSource,
                   host::LogSeverity::kError);
    return false;
  }
  host::AddHQLog(fmt::format("ConditionRemind: {} does not read ({}); kept aside as {}", FPath, why, keptAside),
                 kLogSource, host::LogSeverity::kError);
  return true;
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

bool TKrRemindFile::Save(const TKrRemindList& reminds, std::string& error) {
  std::error_code ec;
  if (fs::exists(FPath, ec)) {
    const auto bytes = ReadCapped(FPath);
    if (!bytes) {
      error = "cannot read " + FPath + " as a file, so it is not written over";
      return false;
    }
    TKrRemindList existing;
    std::string why, keptAside;
    if (!ParseReminds(*bytes, existing, why) && !SetAside(why, keptAside, error)) return false;
  }
  const std::string temporary = FPath + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << FormatReminds(reminds);
    out.flush();
    if (!out) {
      error = "cannot write " + temporary;
      fs::remove(temporary, ec);
      return false;
    }
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
