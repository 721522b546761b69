#include "cloud/cloud_index_request.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "cloud/cloud_builtin_commands.h"
#include "cloud/cloud_command_analysis.h"
#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "kdp/host/kuds.h"
#include "kdp/host/log.h"
#include "kdp/host/number_text.h"
#include "kdp/refdata/related_data.h"
#include "util/float_text.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kUrlKey = "KUDSDATA";

struct TIndexRequestClassRow {
  int commandId;
  TIndexRequestClass requestClass;
};

// The commands whose requests differ from the base; any other command is the base with stub "10001".
constexpr std::array<TIndexRequestClassRow, 31> kIndexRequestClasses{{
    {100, {"TKrMatrixFunctionRequest", ""}},
    {1000, {"TKrKssFunctionRequestEx", ""}},
    {2, {"TOrganizationEvalIndexRequest", "10033", 1}},
    {3, {"TAStockF5IndexRequest", "10150"}},
    {4, {"TBondF5FinancialIndexRequest", "10150"}},
    {5, {"THKStockF5IndexRequest", "10283"}},
    {6, {"TUSStockF5IndexRequest", "10329"}},
    {7, {"TUSTIndexRequest", "10399", 10}},
    {8, {"TIssuerStatisticsRequest", "10445"}},
    {9, {"TFundTagIndexRequest", "10500"}},
    {10, {"TFundRateIndexRequest", "10517"}},
    {11, {"TFundScaleIndexRequest", "10529"}},
    {12, {"TSameFundInfoIndexRequest", "10546"}},
    {13, {"TManagerInfoIndexRequest", "10566"}},
    {14, {"TCompanyInfoIndexRequest", "10594"}},
    {15, {"TCompanyProductIndexRequest", "10627"}},
    {16, {"TEvaluationInfoRequest", "11002"}},
    {17, {"TIndexKeyRatiosRequest", "11029"}},
    {18, {"TIndexRiskReturnRequest", "11050"}},
    {19, {"TIndexVolatilityRequest", "11098"}},
    {20, {"TIndexCorrelationRequest", "11146"}},
    {21, {"TIndexNetProfitRequest", "11196"}},
    {22, {"TIndexEpsRequest", "11214"}},
    {23, {"TIndexPeRequest", "11232"}},
    {24, {"TKrIndexRequest", "10670"}},
    {25, {"TKrIndexRequest", "10675"}},
    {26, {"TKrIndexRequest", "10707"}},
    {27, {"TKrIndexRequest", "10709"}},
    {28, {"TKrIndexRequest", "10715"}},
    {29, {"TKrIndexRequest", "10739"}},
    {1, {"TKrIndexRequest", "10001"}},
}};

std::string RowKey(const std::string& code, const std::string& index) { return code + "_" + index; }

// "?,?,?" for n values.
std::string Placeholders(std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += i ? ",?" : "?";
  return text;
}

host::SqlValue CellValue(const host::TKUDSValue& cell) {
  if (const auto* text = std::get_if<std::string>(&cell)) return *text;
  if (const auto* i32 = std::get_if<std::int32_t>(&cell)) return std::int64_t{*i32};
  if (const auto* i64 = std::get_if<std::int64_t>(&cell)) return *i64;
  if (const auto* real = std::get_if<double>(&cell)) return *real;
  return nullptr;
}

// yyyymmddhhmmss of a date-time.
std::string StampOf(host::DateTime time) { return fmt::format("{}{:06}", time.Yyyymmdd(), time.Hhmmss()); }

// The date-time of a "yyyymmddhhmmss" stamp; nullopt for text that is not one.
std::optional<host::DateTime> TimeOfStamp(std::string_view stamp) {
  if (stamp.size() != 14 || !std::ranges::all_of(stamp, [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return host::DateTime::FromYyyymmddHhmmss(std::stoll(std::string(stamp.substr(0, 8))),
                                            std::stoll(std::string(stamp.substr(8))));
}

}  // namespace

std::string IndexInsertQuery(const std::string& table) {
  std::vector<std::string> fields;
  for (const auto& field : SplitString(kCloudIndexTableFields, ',')) fields.push_back("$" + field);
  return fmt::format("INSERT OR REPLACE INTO {} VALUES({});", table, fmt::join(fields, ","));
}

std::string IndexValueText(const host::SqlValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return std::to_string(*integer);
  if (const auto* real = std::get_if<double>(&value)) return FloatToText(*real);
  return {};
}

TIndexRequestClass IndexRequestClassOf(int commandId) {
  for (const auto& row : kIndexRequestClasses)
    if (row.commandId == commandId) return row.requestClass;
  return {"TKrIndexRequest", "10001"};
}

// ---- data item ----

TKrIndexDataItem::TKrIndexDataItem(std::string table, std::vector<std::string> codes, std::vector<std::string> indexes)
    : FTable(std::move(table)), FKoraCodes(std::move(codes)), FIndexs(std::move(indexes)) {}

bool TKrIndexDataItem::PrepareData(host::ISqliteDataBase& database) {
  FRows.clear();
  std::string sql = "SELECT KoraCode,IndexName,IndexValue,Authorized,UpdateDate FROM " + FTable;
  std::vector<host::SqlValue> params;
  std::vector<std::string> where;
  if (!FKoraCodes.empty()) where.push_back("KoraCode in(" + Placeholders(FKoraCodes.size()) + ")");
  if (!FIndexs.empty()) where.push_back("IndexName in(" + Placeholders(FIndexs.size()) + ")");
  if (!where.empty()) sql += fmt::format(" WHERE {}", fmt::join(where, " AND "));
  for (const auto& code : FKoraCodes) params.emplace_back(code);
  for (const auto& index : FIndexs) params.emplace_back(index);
  const auto rows = database.Query(sql, params);
  if (!rows) {
    host::AddHQLog(fmt::format("PrepareData {} failed: {}", FTable, database.GetLastError()), "TKrIndexDataItem",
                   host::LogSeverity::kWarning);
    return false;
  }
  for (; !rows->Eof(); rows->Next()) {
    TKrIndexValue value{rows->GetValue(2), rows->IsNull(3) || rows->GetAsInteger(3) != 0, rows->GetAsString(4)};
    FRows.insert_or_assign(RowKey(rows->GetAsString(0), rows->GetAsString(1)), std::move(value));
  }
  return true;
}

const TKrIndexValue* TKrIndexDataItem::Find(const std::string& code, const std::string& index) const {
  const auto it = FRows.find(RowKey(code, index));
  return it == FRows.end() ? nullptr : &it->second;
}

bool TKrIndexDataItem::IsAuthorized() const {
  return std::ranges::all_of(FRows, [](const auto& row) { return row.second.authorized; });
}

bool TKrIndexDataItem::IsIndexAuthrized(const std::string& code, const std::string& index) const {
  const auto* row = Find(code, index);
  return row && row->authorized;
}

std::string TKrIndexDataItem::GetIndexUpdateDate(const std::string& code, const std::string& index) const {
  const auto* row = Find(code, index);
  return row ? row->updateDate : std::string{};
}

std::string TKrIndexDataItem::ValueAsString(const std::string& code, const std::string& index) const {
  const auto* row = Find(code, index);
  return row ? IndexValueText(row->value) : std::string{};
}

double TKrIndexDataItem::ValueAsDouble(const std::string& code, const std::string& index) const {
  const auto* row = Find(code, index);
  if (!row) return 0;
  if (const auto* real = std::get_if<double>(&row->value)) return *real;
  if (const auto* integer = std::get_if<std::int64_t>(&row->value)) return static_cast<double>(*integer);
  return host::ParseDouble(IndexValueText(row->value)).value_or(0);
}

int TKrIndexDataItem::ValueAsInt(const std::string& code, const std::string& index) const {
  const double value = ValueAsDouble(code, index);
  return std::isfinite(value) && std::abs(value) < 2147483647.0 ? static_cast<int>(value) : 0;
}

// ---- request ----

TKrIndexRequest::TKrIndexRequest(int commandId, std::shared_ptr<host::ISqliteDataBase> database)
    : TKrIndexRequest(commandId, IndexRequestClassOf(commandId), std::move(database)) {}

TKrIndexRequest::TKrIndexRequest(int commandId, TIndexRequestClass requestClass,
                                 std::shared_ptr<host::ISqliteDataBase> database)
    : FCommandID(commandId), FClass(requestClass), FDataBase(std::move(database)) {
  const auto* item = TKrCloudCommandAnalysis::GetInstance().GetCommandItemByID(commandId);
  FCommandItem = item ? item->Colne() : std::make_unique<TKrCloudCommandItem>();
  FDownLoader.SetServerAlias(FCommandItem->ServerAlia);
  const auto urls = G_URLManager();
  FDownLoader.SetServerUrl(urls ? urls->GetURL(std::string(kUrlKey)) : std::string{});
  FDownLoader.SetOnDownLoaderEndEvent(
      [this](const Status& outcome, host::MemoryStream* stream, std::uint32_t sequence) {
        OnDownLoadEnd(outcome, stream, sequence);
      });
}

void TKrIndexRequest::SetParams(const std::string& codes) {
  if (!FCommandItem->CodeParamName.empty()) {
    if (!FCommandItem->SetParamValue(FCommandItem->CodeParamName, codes))
      FCommandItem->AddParam(FCommandItem->CodeParamName, codes);
  }
  FRequestFields.clear();
  for (const int id : FCommandItem->IndexIDs) FRequestFields.push_back(std::to_string(id));
}

std::string TKrIndexRequest::CodeList() const { return FCommandItem->GetParamValue(FCommandItem->CodeParamName); }

std::string TKrIndexRequest::GetIndexUpdateDate(const std::string& code, const std::string& index) const {
  if (!FDataBase || FCommandItem->TableName.empty()) return {};
  const std::array<host::SqlValue, 2> params{code, index};
  const auto rows = FDataBase->Query(
      "SELECT UpdateDate FROM " + FCommandItem->TableName + " WHERE KoraCode=? AND IndexName=?;", params);
  return rows && !rows->Eof() ? rows->GetAsString(0) : std::string{};
}

int TKrIndexRequest::GetRowCount() const { return FDataItem ? static_cast<int>(FDataItem->GetKoraCodes().size()) : 0; }

int TKrIndexRequest::GetColCount() const { return FDataItem ? static_cast<int>(FDataItem->GetIndexs().size()) : 0; }

std::string TKrIndexRequest::GetGridValue(int row, int column, int kind) const {
  const bool rowInGrid = row >= 0 && row < GetRowCount();
  const bool columnInGrid = column >= 0 && column < GetColCount();
  const auto code = [&] { return FDataItem->GetKoraCodes()[static_cast<std::size_t>(row)]; };
  const auto field = [&] { return FDataItem->GetIndexs()[static_cast<std::size_t>(column)]; };
  switch (static_cast<TIndexGridKind>(kind)) {
    case TIndexGridKind::kValue:
      return rowInGrid && columnInGrid ? FDataItem->ValueAsString(code(), field()) : std::string{};
    case TIndexGridKind::kFieldName:
      return columnInGrid ? field() : std::string{};
    case TIndexGridKind::kCode:
      return rowInGrid ? code() : std::string{};
    case TIndexGridKind::kUpdateDate:
      if (!rowInGrid) return {};
      if (!FClass.stubIndex.empty()) return GetIndexUpdateDate(code(), std::string(FClass.stubIndex));
      return columnInGrid ? FDataItem->GetIndexUpdateDate(code(), field()) : std::string{};
    case TIndexGridKind::kAuthorized:
      return rowInGrid && columnInGrid ? (FDataItem->IsIndexAuthrized(code(), field()) ? "1" : "0") : std::string{};
  }
  return {};
}

std::string TKrIndexRequest::GetInsertQuery() const { return IndexInsertQuery(FCommandItem->TableName); }

bool TKrIndexRequest::EveryValueWrittenToday(const std::vector<std::string>& codes) const {
  if (!FDataBase || codes.empty() || FRequestFields.empty()) return false;
  std::vector<host::SqlValue> params;
  for (const auto& code : codes) params.emplace_back(code);
  for (const auto& field : FRequestFields) params.emplace_back(field);
  params.emplace_back(std::to_string(GetServerDateTime().Yyyymmdd()));
  const auto rows = FDataBase->Query(
      fmt::format("SELECT COUNT(*) FROM {} WHERE KoraCode in({}) AND IndexName in({}) "
                  "AND substr(UpdateDate,1,8)=?;",
                  FCommandItem->TableName, Placeholders(codes.size()), Placeholders(FRequestFields.size())),
      params);
  const std::set<std::string> distinctCodes(codes.begin(), codes.end());
  const std::set<std::string> distinctFields(FRequestFields.begin(), FRequestFields.end());
  return rows && !rows->Eof() &&
         rows->GetAsInteger(0) == static_cast<std::int64_t>(distinctCodes.size() * distinctFields.size());
}

bool TKrIndexRequest::PickUpStubFromLocal() const {
  if (FClass.freshMinutes <= 0 && !FClass.freshForTheServerDay) return false;
  const auto codes = SplitString(CodeList(), ',');
  bool fresh = false;
  if (FClass.freshForTheServerDay) {
    fresh = EveryValueWrittenToday(codes);
  } else {
    const auto written =
        TimeOfStamp(codes.empty() ? std::string{} : GetIndexUpdateDate(codes.front(), std::string(FClass.stubIndex)));
    const double age = written ? GetServerDateTime().value - written->value : -1;
    fresh = written && age >= 0 && age < FClass.freshMinutes / (24.0 * 60);
  }
  host::AddHQLog(std::string("PickUpStubFromLocal ") + (fresh ? "True" : "False"), FClass.className,
                 host::LogSeverity::kNotice);
  return fresh;
}

void TKrIndexRequest::FireRequest(std::uint32_t tag) {
  if (FCommandItem->TableName.empty()) return;
  const auto codes = SplitString(CodeList(), ',');
  if (FRequestFields.empty()) SetParams(CodeList());
  if (PickUpStubFromLocal()) {
    Deliver(tag, codes, FRequestFields, 0);  // nothing was sent, so nothing was received
    return;
  }
  const auto context = TKrCloudCommandAnalysis::GetInstance().RequestContext();
  const std::string command = FCommandItem->GetRequestCmd(context);
  if (command.empty() || codes.empty()) {
    host::AddHQLog(fmt::format("FireRequest command {}: nothing to send; KoraCodeList: {}", FCommandID, CodeList()),
                   FClass.className, host::LogSeverity::kNotice);
    return;
  }
  if (FCommandItem->IsNeedIndex())
    host::AddHQLog(
        fmt::format("MatrixFunctionRequest {} FireRequest KoraCodeList: {}; Index: {}",
                    FCommandItem->IsMatrix ? "Quote" : "Security", CodeList(), fmt::join(FRequestFields, ",")),
        FClass.className, host::LogSeverity::kNotice);
  Send(TRequestRecord{tag, codes, FRequestFields, FunctionIds(context), command});
}

void TKrIndexRequest::Send(TRequestRecord record) {
  const std::uint32_t sequence = ++FSequence;
  const std::string command = record.command;
  FPending[sequence] = std::move(record);
  if (FCommandItem->ReportType == "rtPR")
    FDownLoader.SendLuxCloudReportRequestPR(command, sequence, host::kPRReportAppClass, host::kPRReportCommandID);
  else
    FDownLoader.SendLuxCloudReportRequest(command, sequence, host::kReportAppClass, host::kReportCommandID);
}

void TKrIndexRequest::SendRequestBak(TRequestRecord record) {
  host::AddHQLog(fmt::format("SendRequestBak KoraCodeList: {}; Index: {}", fmt::join(record.codes, ","),
                             fmt::join(record.fields, ",")),
                 FClass.className, host::LogSeverity::kNotice);
  record.isBackup = true;
  Send(std::move(record));
}

std::map<std::string, std::vector<std::string>> TKrIndexRequest::FunctionIds(
    const TCloudRequestContext& context) const {
  std::map<std::string, std::vector<std::string>> ids;
  if (!FCommandItem->IsNeedIndex()) return ids;
  for (const int id : FCommandItem->IndexIDs) {
    std::optional<std::string> function;
    if (FCommandItem->IsMatrix) {
      function = FCommandItem->GetMatrixFunction(id, context);
    } else if (auto kss = FCommandItem->GetKssFunction(id, context)) {
      function = std::move(kss->function);
    }
    if (function) ids[*function].push_back(std::to_string(id));
  }
  return ids;
}

void TKrIndexRequest::OnDownLoadEnd(const Status& outcome, const host::MemoryStream* reply, std::uint32_t sequence) {
  const auto it = FPending.find(sequence);
  if (it == FPending.end()) return;
  TRequestRecord record = std::move(it->second);
  FPending.erase(it);
  if (!outcome.ok()) {
    // Function sets (matrix and KSS functions) word their failures as their own log readers expect.
    const std::string& message = outcome.message();
    const std::string line =
        FCommandItem->IsNeedIndex()
            ? fmt::format("OnDownLoadEnd unsuccessful ARet = False osErrInfo:{}; Index: {}; KoraCodeList: {}", message,
                          fmt::join(record.fields, ","), fmt::join(record.codes, ","))
            : fmt::format("OnDownLoadEnd CloudRequest Failed: {}; KoraCodeList: {}; {}", fmt::join(record.fields, ","),
                          fmt::join(record.codes, ","), message);
    host::AddHQLog(line, FClass.className, host::LogSeverity::kNotice);
    // The failure is told first; then a first send has its backup, a backup none (one retry, never a loop).
    FBackupFollowing = !record.isBackup;
    if (FOnDownLoadEnd) FOnDownLoadEnd(false, record.tag, 0, nullptr);
    if (FBackupFollowing) {
      FBackupFollowing = false;
      SendRequestBak(std::move(record));
    }
    return;
  }
  const int count = SaveReply(reply, record);
  if (count < 0) {
    if (FOnDownLoadEnd) FOnDownLoadEnd(false, record.tag, 0, nullptr);
    return;
  }
  Deliver(record.tag, record.codes, record.fields, count);
}

bool TKrIndexRequest::ReadBack(const std::vector<std::string>& codes, const std::vector<std::string>& fields) {
  auto item = std::make_unique<TKrIndexDataItem>(FCommandItem->TableName, codes, fields);
  const bool read = FDataBase && item->PrepareData(*FDataBase);
  FDataItem = std::move(item);
  return read;
}

void TKrIndexRequest::Deliver(std::uint32_t tag, const std::vector<std::string>& codes,
                              const std::vector<std::string>& fields, int count) {
  const bool read = ReadBack(codes, fields);
  if (FOnDownLoadEnd) FOnDownLoadEnd(read, tag, count, read ? FDataItem.get() : nullptr);
}

int TKrIndexRequest::SaveToSqlite(const host::MemoryStream& reply) {
  if (FRequestFields.empty()) SetParams(CodeList());
  const auto context = TKrCloudCommandAnalysis::GetInstance().RequestContext();
  const TRequestRecord record{0, SplitString(CodeList(), ','), FRequestFields, FunctionIds(context), {}};
  const int count = SaveReply(&reply, record);
  if (count >= 0) ReadBack(record.codes, record.fields);
  return count;
}

TKrMatrixFunctionRequestEx::TKrMatrixFunctionRequestEx(std::shared_ptr<host::ISqliteDataBase> database)
    : TKrIndexRequest(kMatrixFunctionCommandID, {"TKrMatrixFunctionRequestEx", "", 0, true}, std::move(database)) {}

TIndexReplyResult SaveIndexReply(std::span<const std::uint8_t> reply, const std::string& table,
                                 const TIndexFunctionIds& functionIds, const std::string& stamp,
                                 host::ISqliteDataBase& database) {
  const auto split = host::SplitStatusByte(reply);
  if (!split || split->status != host::kKudsStatusOk) return {-1, "DecodeToKudsStream unsuccessful "};
  host::TKUDSResponse response;
  std::string error;
  if (!response.Decode(split->stream, error)) return {-1, "DecodeToKudsStream unsuccessful " + error + " "};
  const host::TKUDSReport* report = response.GetReport();
  if (!report) return {-1, "LKudsParse.Report = nil "};
  const std::array<int, 4> columns{report->FindColumn("KoraCode"), report->FindColumn("IndexName"),
                                   report->FindColumn("IndexValue"), report->FindColumn("Authorized")};
  if (std::ranges::find(columns, -1) != columns.end()) return {-1, "LKudsParse.Report = nil (columns) "};
  if (report->GetRecordCount() == 0) return {0, table + " Responsed is Empty!"};
  if (!database.BeginTransaction()) return {-1, "LISqlitePrepare = nil "};
  const auto refuse = [&](std::string why) {
    database.Rollback();
    return TIndexReplyResult{-1, std::move(why)};
  };
  const auto insert = database.Prepare(IndexInsertQuery(table));
  if (!insert) return refuse("LISqlitePrepare = nil ");
  std::array<host::SqlValue, 5> values;
  for (int record = 0; record < report->GetRecordCount(); ++record) {
    const auto& authorized = report->GetValue(record, columns[3]);
    // Keys are stored as text whatever type the server sent, so that reading by text finds them.
    values[0] = IndexValueText(CellValue(report->GetValue(record, columns[0])));
    const std::string name = IndexValueText(CellValue(report->GetValue(record, columns[1])));
    values[2] = CellValue(report->GetValue(record, columns[2]));
    values[3] = std::int64_t{std::holds_alternative<std::monostate>(authorized) ||
                             IndexValueText(CellValue(authorized)) != "0"};
    values[4] = stamp;
    // A function set's reply names each value by the function asked; the table keys it by field ID.
    const auto ids = functionIds.find(name);
    const std::vector<std::string> names = functionIds.empty()        ? std::vector<std::string>{name}
                                           : ids != functionIds.end() ? ids->second
                                                                      : std::vector<std::string>{};
    for (const auto& index : names) {
      values[1] = index;
      if (!insert->Execute(values)) return refuse(fmt::format("row {} refused: {} ", record, database.GetLastError()));
    }
  }
  if (!database.Commit()) return refuse("commit refused ");
  return {report->GetRecordCount(), {}};
}

int TKrIndexRequest::SaveReply(const host::MemoryStream* reply, const TRequestRecord& record) {
  const std::string codes = fmt::format("{}", fmt::join(record.codes, ","));
  if (!FDataBase) return -1;
  const auto result = SaveIndexReply(reply ? reply->Bytes() : std::span<const std::uint8_t>{}, FCommandItem->TableName,
                                     record.functionIds, StampOf(GetServerDateTime()), *FDataBase);
  if (result.count < 0 && FCommandItem->ReportType == "rtPR")
    host::AddHQLog(FCommandItem->IsNeedIndex() ? "Clould报表LUX数据请求失败DpecodeData" : "Clould报表LUX数据请求失败",
                   FClass.className, host::LogSeverity::kNotice);
  if (!result.why.empty())
    host::AddHQLog(
        fmt::format("OnDownLoadEnd {}; Index: {}; KoraCodeList: {}", result.why, fmt::join(record.fields, ","), codes),
        FClass.className, host::LogSeverity::kNotice);
  return result.count;
}

}  // namespace kdp
