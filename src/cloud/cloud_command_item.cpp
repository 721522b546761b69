#include "cloud/cloud_command_item.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "cloud/cloud_date_macros.h"
#include "fields/hq_dictionary.h"
#include "kdp/host/log.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrCloudCommandItem";

// The option words a KSS template may carry among its parameters, and the options they stand for.
std::optional<std::string> KssOption(std::string_view word, const TCloudRequestContext& context) {
  if (SameTextAscii(word, "$tradedate")) return "tradeDate=" + std::to_string(context.calendar.LocalDate());
  if (SameTextAscii(word, "qfq")) return "priceAdj=1";
  if (SameTextAscii(word, "hfq")) return "priceAdj=2";
  if (SameTextAscii(word, "bfq")) return "priceAdj=0";
  return std::nullopt;
}

const TKrHQDictionaryItem* CloudField(int id) {
  const auto* item = KrHQDictionaryImpl().GetDictionaryItem(id);
  return item && item->FID == id ? item : nullptr;
}

}  // namespace

std::optional<std::string> TKrCloudCommandItem::GetMatrixFunction(int id, const TCloudRequestContext& context) const {
  const auto* field = CloudField(id);
  if (!field || field->FMatrixFunction.empty()) {
    host::AddHQLog(fmt::format("GetMatrixFunction {}: the field has no matrix function", id), kLogSource,
                   host::LogSeverity::kNotice);
    return std::nullopt;
  }
  const auto codes = SplitString(GetParamValue(CodeParamName), ',');
  std::string error;
  auto function = ExpandMatrixFunction(field->FMatrixFunction, codes.front(), context.calendar, error);
  if (!function)
    host::AddHQLog(fmt::format("GetMatrixFunction {}: {}", id, error), kLogSource, host::LogSeverity::kNotice);
  return function;
}

std::optional<TKrKssFunction> TKrCloudCommandItem::GetKssFunction(int id, const TCloudRequestContext& context) const {
  const auto* field = CloudField(id);
  if (!field || field->FKssFunction.empty()) return std::nullopt;
  const std::string_view text = field->FKssFunction;
  const auto open = text.find('(');
  if (open == std::string_view::npos || !text.ends_with(')')) return TKrKssFunction{std::string(text), {}};
  TKrKssFunction kss;
  std::vector<std::string> params;
  for (auto& param : SplitString(text.substr(open + 1, text.size() - open - 2), ',')) {
    if (auto option = KssOption(param, context))
      kss.options.push_back(std::move(*option));
    else if (!param.empty())
      params.push_back(std::move(param));
  }
  kss.function = fmt::format("{}({})", text.substr(0, open), fmt::join(params, ","));
  return kss;
}

std::string TKrCloudCommandItem::GetRequestCmd(const TCloudRequestContext& context) const {
  const bool english = context.language == kEnglishEditionLanguage;
  if (!IsMatrix && !IsRequest) {
    std::vector<std::string> functions, options;
    for (const int id : IndexIDs) {
      auto kss = GetKssFunction(id, context);
      if (!kss) continue;
      functions.push_back(std::move(kss->function));
      for (auto& option : kss->options)
        if (std::ranges::find(options, option) == options.end()) options.push_back(std::move(option));
    }
    const std::string codes = GetParamValue(CodeParamName);
    if (functions.empty() || codes.empty()) return {};
    std::string text = fmt::format("KSS('{}','{}", codes, fmt::join(functions, ","));
    for (const auto& option : options) text += "','" + option;
    if (english) text += "','lan=en";
    return text + "')";
  }
  std::string text = Command;
  if (IsMatrix) {
    std::vector<std::string> functions;
    for (const int id : IndexIDs) {
      auto function = GetMatrixFunction(id, context);
      if (!function) return {};
      functions.push_back(std::move(*function));
    }
    text += fmt::format("={}", fmt::join(functions, ";"));
  }
  if (english) text += " lan=en";
  for (const auto& p : Params.Items()) text += fmt::format(" {}={}", p.Name, p.Value);
  return text;
}

std::string TKrCloudCommandItem::GetCurRequestFields() const { return fmt::format("{}", fmt::join(IndexIDs, ",")); }

bool CreateCommandTable(const TKrCloudCommandItem& item, host::ISqliteDataBase& database) {
  std::string sql;
  // A table another version made with other columns is dropped too: the cache is made again.
  static const std::vector<std::string> kColumns = SplitString(kCloudIndexTableFields, ',');
  if (item.bDropTable || !host::TableFitsColumns(database, item.TableName, kColumns)) {
    sql += fmt::format("DROP TABLE IF EXISTS {};", item.TableName);
  }
  sql += fmt::format("CREATE TABLE IF NOT EXISTS {} ({},PRIMARY KEY(KoraCode,IndexName))", item.TableName,
                     kCloudIndexTableFields);
  bool ok = database.ExecSQL(sql);
  for (const auto& column : item.TableIndexColumns) {
    const std::string columns[] = {column};
    ok = ok && database.CreateIndex(fmt::format("idx_{}_{}", item.TableName, column), item.TableName, columns, false);
  }
  if (!ok)
    host::AddHQLog(fmt::format("CreateDataTable {} failed: {}", item.TableName, database.GetLastError()), kLogSource,
                   host::LogSeverity::kWarning);
  return ok;
}

}  // namespace kdp
