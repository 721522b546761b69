// kdp-host search TEXT: securities of the master by code, name, English name or the pinyin initials of the
// name, as a code box finds them.
#include <algorithm>
#include <map>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "pinyin_initials.h"
#include "security_master.h"

namespace kdp::app {
namespace {

constexpr Texts kEnglishName{"英文名称", "英文名稱", "English name"};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The pinyin initials of every security's name by code, worked out when the first search runs and kept
// for the searches after it (a code box searches at every key).
const std::string& InitialsOf(Session& s, const std::string& code) {
  static std::map<std::string, std::string> initials;
  if (initials.empty()) {
    for (const auto& security : s.host.Securities().All()) {
      initials.emplace(security->GetKoraCode(), PinyinInitials(security->GetStockName()));
    }
  }
  static const std::string kNone;
  const auto found = initials.find(code);
  return found == initials.end() ? kNone : found->second;
}

int Search(Session& s, const std::string& text, int limit) {
  const std::string wanted = Lower(text);
  Listing listing{{"code", "name", "en_name", "stock_type", "initials"}, {}};
  for (const auto& security : s.host.Securities().All()) {
    if (static_cast<int>(listing.rows.size()) == limit) break;
    const std::string code = security->GetKoraCode(), name = security->GetStockName();
    const std::string english = security->GetENName();
    const std::string& initials = InitialsOf(s, code);
    if (Lower(code).find(wanted) == std::string::npos && name.find(text) == std::string::npos &&
        Lower(english).find(wanted) == std::string::npos && !InitialsMatch(initials, text)) {
      continue;
    }
    listing.rows.push_back({code, name, english, security->GetStockType(), initials});
  }
  if (listing.rows.empty()) {
    fmt::print(s.err, "kdp-host: no security matches {}\n", text);
    return 1;
  }
  if (s.format != OutputFormat::Table) {
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
  }
  fmt::print(s.out, "{}{}{}\n", Pad(Text(s, words::kCode), 12, false), Pad(Text(s, words::kName), 14, false),
             Text(s, kEnglishName));
  for (const auto& row : listing.rows) {
    fmt::print(s.out, "{}{}{}\n", Pad(row[0].get<std::string>(), 12, false), Pad(row[1].get<std::string>(), 14, false),
               row[2].get<std::string>());
  }
  return 0;
}

}  // namespace

void AddSearchCommand(CLI::App& app, Action& chosen) {
  struct Options {
    std::string text;
    int limit = 20;
  };
  auto options = std::make_shared<Options>();
  auto* search = app.add_subcommand("search", "find securities by code, name, English name or pinyin initials\n"
                                              "  e.g. kdp-host search 600000; kdp-host search pfyh");
  search->add_option("TEXT", options->text,
                     "part of a code, a name or an English name (any case), or the first pinyin initials of a name")
      ->required();
  search->add_option("--limit", options->limit, "at most this many, 1 to 1000")->capture_default_str()->check(
      CLI::Range(1, 1000));
  search->callback([&chosen, options] {
    chosen = [options](Session& s) { return Search(s, options->text, options->limit); };
  });
}

}  // namespace kdp::app
