// kdp-host fields [WORDS...]: the field dictionary, searchable, as a user looks for the ID or name to give
// `board --fields`, `export` or `rank`.
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/fields/field_names.h"
#include "kdp/fields/hq_field_types.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

std::string_view TypeName(int type) {
  switch (type) {
    case HQDICDATA_TYPE_INTEGER:
      return "integer";
    case HQDICDATA_TYPE_STRING:
      return "string";
    default:
      return "double";
  }
}

constexpr Texts kQuoteSource{"行情", "行情", "quote"};
constexpr Texts kCloudSource{"云指标", "雲指標", "cloud"};
constexpr Texts kLuxSource{"Lux", "Lux", "Lux"};
constexpr Texts kDisplayName{"显示名", "顯示名", "display name"};
constexpr Texts kInternalName{"内部名", "內部名", "name"};
constexpr Texts kCaption{"标题", "標題", "caption"};
constexpr Texts kType{"类型", "類型", "type"};
constexpr Texts kSource{"来源", "來源", "source"};
constexpr Texts kCount{"{} 个字段，共 {} 个", "{} 個欄位，共 {} 個", "{} of {} fields"};

// Machine output keeps the English words.
const Texts& SourceOf(int id) {
  if (id >= kFirstLuxFieldID) return kLuxSource;
  return id >= kFirstCloudFieldID ? kCloudSource : kQuoteSource;
}

// True when every word is in the field's ID, name, display name or caption (ASCII case ignored).
bool Matches(const TFieldEntry& field, const std::vector<std::string>& words) {
  const std::string text = ToUpperAscii(fmt::format("{} {} {} {}", field.id, field.name, field.displayName, field.caption));
  for (const std::string& word : words) {
    if (text.find(ToUpperAscii(word)) == std::string::npos) return false;
  }
  return true;
}

int ListFields(Session& s, const std::vector<std::string>& words) {
  const std::vector<TFieldEntry> all = DictionaryFields();
  Listing listing{{"id", "name", "display_name", "caption", "type", "source"}, {}};
  for (const TFieldEntry& field : all) {
    if (!Matches(field, words)) continue;
    listing.rows.push_back({field.id, field.name, field.displayName, field.caption, TypeName(field.type),
                            SourceOf(field.id).eng});
  }
  if (listing.rows.empty()) {
    fmt::print(s.err, "kdp-host: no field of the dictionary ({} fields) holds {}\n", all.size(),
               fmt::join(words, " and "));
    return 1;
  }
  if (s.format != OutputFormat::Table) {
    WriteListing(s.out, s.terminal, listing, s.format);
    return 0;
  }
  // The English edition heads a column by the internal name, so it shows that one first.
  const bool english = IsEnglishEdition(s);
  fmt::print(s.out, "{:>6}  {}{}{}{}{}\n", "ID", Pad(Text(s, english ? kInternalName : kDisplayName), 18, false),
             Pad(Text(s, english ? kDisplayName : kInternalName), 22, false), Pad(Text(s, kCaption), 10, false),
             Pad(Text(s, kType), 9, false), Text(s, kSource));
  for (const auto& row : listing.rows) {
    const std::string name = row[1].get<std::string>(), display = row[2].get<std::string>();
    fmt::print(s.out, "{:>6}  {}{}{}{:<8} {}\n", row[0].get<int>(), Pad(english ? name : display, 18, false),
               Pad(english ? display : name, 22, false), Pad(row[3].get<std::string>(), 10, false),
               row[4].get<std::string>(), Text(s, SourceOf(row[0].get<int>())));
  }
  fmt::print(s.out, "{}\n", TextFormat(s, kCount, listing.rows.size(), all.size()));
  return 0;
}

}  // namespace

void AddFieldsCommand(CLI::App& app, Action& chosen) {
  auto words = std::make_shared<std::vector<std::string>>();
  auto* fields = app.add_subcommand(
      "fields", "the field dictionary: ID, display name, internal name, caption, type and source of each field");
  fields->add_option("WORDS", *words, "only fields whose ID, names or caption hold every word, e.g. 成交 or price");
  fields->callback([&chosen, words] { chosen = [words](Session& s) { return ListFields(s, *words); }; });
}

}  // namespace kdp::app
