// kdp-host format CODE FIELD VALUE [--compare X] [--need-year]: a value as the security's widgets show it.
// Under --format json|csv one row: the code, the field, its format, the value, its text and its colour
// (null for the default).
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/package.h"
#include "kdp/refdata/security_manager.h"
#include "util/strings.h"

namespace kdp::app {
namespace {

constexpr Texts kField{"字段", "欄位", "field"};
constexpr Texts kFormat{"格式", "格式", "format"};
constexpr Texts kText{"显示文本", "顯示文字", "text"};
constexpr Texts kColour{"颜色", "顏色", "colour"};
constexpr Texts kDefaultColour{"（默认）", "（預設）", "(default)"};

int Format(Session& s, const std::string& code, const std::string& field, const std::string& valueText,
           const std::optional<std::string>& compareText, bool needYear) {
  auto manager = SecurityManager(s);
  if (!manager) return 2;
  if (!IsKnownCode(s, *manager, code)) {
    fmt::print(s.err, "kdp-host: unknown security code {}\n", code);
    return 1;
  }
  const auto value = ParseDouble(valueText);
  if (!value) {
    fmt::print(s.err, "kdp-host: {} is not a number\n", valueText);
    return 1;
  }
  std::optional<double> compare;
  if (compareText) {
    compare = ParseDouble(*compareText);
    if (!compare) {
      fmt::print(s.err, "kdp-host: {} is not a number\n", *compareText);
      return 1;
    }
  }
  auto formats = QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager");
  if (!formats) {
    fmt::print(s.err, "kdp-host: the package published no format manager\n");
    return 2;
  }
  const auto fieldID = ParseInt32(field);
  auto item = fieldID ? formats->GetDataFormatObjByID(code, *fieldID) : formats->GetDataFormatObjByName(code, field);
  if (!item) {
    fmt::print(s.err, "kdp-host: no format for field {} of {}\n", field, code);
    return 1;
  }
  std::string text;
  try {
    text = needYear ? item->CalcAndFormat(*value, true) : item->CalcAndFormatByKoraCode(*value, "", code);
  } catch (const std::exception& e) {
    fmt::print(s.err, "kdp-host: the format of {} is broken: {}\n", field, e.what());
    return 1;
  }
  IKrHQFormatItem::FieldValueReader reader;
  if (compare) reader = [&](const std::string&) { return *compare; };
  std::string colour = item->GetDoubleFormatColorName(*value, reader);
  if (s.format != OutputFormat::Table) {
    const Listing row{{"code", "field", "format", "value", "text", "colour"},
                      {{code, item->GetIndexName(), item->GetFormatText(), *value, text,
                        colour.empty() ? nlohmann::json() : nlohmann::json(colour)}}};
    WriteListing(s.out, s.terminal, row, s.format);
    return 0;
  }
  s.out << LabelLine(s, kField, item->GetIndexName(), 16) << LabelLine(s, kFormat, item->GetFormatText(), 16)
        << LabelLine(s, kText, text, 16)
        << LabelLine(s, kColour, colour.empty() ? std::string(Text(s, kDefaultColour)) : colour, 16);
  return 0;
}

}  // namespace

void AddFormatCommand(CLI::App& app, Action& chosen) {
  auto* format = app.add_subcommand("format", "format a value of a field for a security: display text and colour");
  struct FormatArgs {
    std::string code, field, value;
    std::string compare;
    bool needYear = false;
  };
  auto args = std::make_shared<FormatArgs>();
  format->add_option("CODE", args->code, "security code")->required();
  format->add_option("FIELD", args->field, "field name (NewPrice) or field ID (3)")->required();
  format->add_option("VALUE", args->value, "the value, a number")->required()->allow_extra_args(false);
  auto* compareOption = format->add_option("--compare", args->compare, "value of the field the colour compares with");
  format->add_flag("--need-year", args->needYear, "dates: always show the year");
  format->callback([&chosen, args, compareOption] {
    const std::optional<std::string> compare =
        compareOption->count() > 0 ? std::optional<std::string>(args->compare) : std::nullopt;
    chosen = [args, compare](Session& s) {
      return Format(s, args->code, args->field, args->value, compare, args->needYear);
    };
  });
}

}  // namespace kdp::app
