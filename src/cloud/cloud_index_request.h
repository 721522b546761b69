// Index requests: the values of one built-in cloud command (TKrCloudCommandItem) for a set of securities,
// asked from the report service over the Lux road, cached in the command's table and read back through an
// index data item.
//
// One class serves every command, the function sets 100 (matrix functions) and 1000 (KSS functions)
// included: what differs between commands (the class name the logs carry, the stub
// index whose update date tells how fresh the table is, the freshness rule) comes from one table keyed by
// command ID (IndexRequestClassOf). A command with a freshness rule is answered from its table while the
// stub index of its code was written less than that long ago (server time). The matrix function request
// with a grid of its own (TKrMatrixFunctionRequestEx) is the same request with a class of its own.
//
// A send whose download fails is sent once more (its backup request); the last values read show as a
// grid of codes by fields (GetGridValue).
//
// The reply is a report stream with its status byte; its report has the columns "KoraCode", "IndexName",
// "IndexValue" and "Authorized" (any order, more columns ignored), one record per value; a function set's
// reply names each value by the function text sent, which the request files under the fields asking it. Every value of
// a reply is written in one transaction (update date: the server time as yyyymmddhhmmss), so a reply that fails or is
// cut leaves the table as it was.
//
// Threads: main thread only. The downloader delivers Lux replies on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cloud/cloud_command_item.h"
#include "kdp/host/memory_stream.h"
#include "kdp/host/sqlite.h"
#include "transport/http_downloader.h"

namespace kdp {

// The values an index request read back from its command's table, by (code, index).
class IIndexDataItem {
 public:
  virtual ~IIndexDataItem() = default;
  virtual const std::vector<std::string>& GetKoraCodes() const = 0;
  virtual const std::vector<std::string>& GetIndexs() const = 0;
  // Whether every value read is authorized for the user.
  virtual bool IsAuthorized() const = 0;
  // False for a value the user may not see, and for one not read.
  virtual bool IsIndexAuthrized(const std::string& code, const std::string& index) const = 0;
  // "yyyymmddhhmmss"; "" for a value not read.
  virtual std::string GetIndexUpdateDate(const std::string& code, const std::string& index) const = 0;
  // "" / 0 for a value not read (or, for numbers, a text that is not one).
  virtual std::string ValueAsString(const std::string& code, const std::string& index) const = 0;
  virtual double ValueAsDouble(const std::string& code, const std::string& index) const = 0;
  virtual int ValueAsInt(const std::string& code, const std::string& index) const = 0;
};

// The function text a function set's reply names a value by, and the field IDs asking that function.
using TIndexFunctionIds = std::map<std::string, std::vector<std::string>>;

// One cached value.
struct TKrIndexValue {
  host::SqlValue value;
  bool authorized = true;
  std::string updateDate;
};

class TKrIndexDataItem final : public IIndexDataItem {
 public:
  // Reads nothing yet; PrepareData reads.
  TKrIndexDataItem(std::string table, std::vector<std::string> codes, std::vector<std::string> indexes);

  // Reads the rows of the codes (all codes when none are given) restricted to the indexes (all when none),
  // values bound. False, logged, when the query fails; the rows read before are dropped either way.
  bool PrepareData(host::ISqliteDataBase& database);

  const std::vector<std::string>& GetKoraCodes() const override { return FKoraCodes; }
  const std::vector<std::string>& GetIndexs() const override { return FIndexs; }
  bool IsAuthorized() const override;
  bool IsIndexAuthrized(const std::string& code, const std::string& index) const override;
  std::string GetIndexUpdateDate(const std::string& code, const std::string& index) const override;
  std::string ValueAsString(const std::string& code, const std::string& index) const override;
  double ValueAsDouble(const std::string& code, const std::string& index) const override;
  int ValueAsInt(const std::string& code, const std::string& index) const override;

  // The rows read, keyed code + "_" + index name.
  const std::map<std::string, TKrIndexValue>& Rows() const { return FRows; }

 private:
  const TKrIndexValue* Find(const std::string& code, const std::string& index) const;

  std::string FTable;
  std::vector<std::string> FKoraCodes;
  std::vector<std::string> FIndexs;
  std::map<std::string, TKrIndexValue> FRows;
};

// What sets one command's request apart: the class name its logs carry, its stub index and when its table
// may answer instead of the server: for freshMinutes after the stub index of the first code was written
// (0: never), or, with freshForTheServerDay, when every value asked was written on the server's day.
struct TIndexRequestClass {
  std::string_view className;
  std::string_view stubIndex;
  int freshMinutes = 0;
  bool freshForTheServerDay = false;
};
TIndexRequestClass IndexRequestClassOf(int commandId);

// What GetGridValue gives of a cell of the result grid (rows: the codes asked, columns: the fields asked).
enum class TIndexGridKind {
  kValue = 0,       // the value as text ("" when none was read)
  kFieldName = 1,   // the field asked at that column (its ID as text); any row
  kCode = 2,        // the code of that row; any column
  kUpdateDate = 3,  // when the row was written: the stub index's update date ("yyyymmddhhmmss"), the cell's own
                    // for a command without a stub index
  kAuthorized = 4,  // "1" when the user may see the value read, "0" otherwise
};

class TKrIndexRequest {
 public:
  // success, the caller's tag, the number of values the reply brought (0 when the table answered and
  // nothing was sent), and the data item (nullptr on failure; valid during the call).
  using TEndEvent = std::function<void(bool success, std::uint32_t tag, int count, const IIndexDataItem* item)>;

  // A request of the built-in command `commandId` (a copy of its item; an empty item when the ID is not
  // built in) over the command tables of `database`.
  TKrIndexRequest(int commandId, std::shared_ptr<host::ISqliteDataBase> database);
  TKrIndexRequest(const TKrIndexRequest&) = delete;
  TKrIndexRequest& operator=(const TKrIndexRequest&) = delete;
  virtual ~TKrIndexRequest() = default;

  int GetCommandID() const { return FCommandID; }
  const TIndexRequestClass& GetRequestClass() const { return FClass; }
  // Sets the command's code parameter (codes joined by ",") and takes its index list as the fields asked.
  void SetParams(const std::string& codes);
  // Sends the command's request text with `tag`, or, when the table is fresh for the code, calls the end
  // event at once with the rows it holds. Nothing without a command item or without codes. A send whose
  // download fails raises the end event unsuccessful, then sends its backup request (the same text once
  // more), whose outcome raises the end event of the tag again.
  void FireRequest(std::uint32_t tag);
  bool IsRequesting() const { return !FPending.empty(); }
  // During a failed download's end event: whether its backup request is sent next (the tag's outcome is
  // still to come).
  bool IsBackupFollowing() const { return FBackupFollowing; }
  TKrCloudCommandItem& GetCommandItem() { return *FCommandItem; }
  // The values of the last completed request; nullptr before the first.
  const IIndexDataItem* GetDataItem() const { return FDataItem.get(); }
  bool GetIsSuspend() const { return FSuspend; }
  void SetIsSuspend(bool suspend) { FSuspend = suspend; }
  const TEndEvent& GetOnDownLoadEnd() const { return FOnDownLoadEnd; }
  void SetOnDownLoadEnd(TEndEvent handler) { FOnDownLoadEnd = std::move(handler); }

  // The grid of the last completed request: one row per code, one column per field asked; 0 before it.
  int GetRowCount() const;
  int GetColCount() const;
  // One cell of that grid (TIndexGridKind); "" outside the grid or for another kind.
  std::string GetGridValue(int row, int column, int kind) const;

  // The update date of the cached value ("yyyymmddhhmmss"); "" when none is cached.
  std::string GetIndexUpdateDate(const std::string& code, const std::string& index) const;
  std::string GetInsertQuery() const;
  // Whether the table may answer for the code now (the freshness rule of the command's class).
  bool PickUpStubFromLocal() const;

  // The completion of the send numbered `sequence` (the downloader's tag).
  void OnDownLoadEnd(const Status& outcome, const host::MemoryStream* reply, std::uint32_t sequence);

 protected:
  // A request of `commandId` whose class is `requestClass` instead of the command's own.
  TKrIndexRequest(int commandId, TIndexRequestClass requestClass, std::shared_ptr<host::ISqliteDataBase> database);

  // Writes `reply` (a report stream and its status byte) as the answer to the codes and fields set now,
  // in one transaction, then reads them back as the data item; the number of values written, or -1 when
  // the reply is refused (the table and the data item are then as they were).
  int SaveToSqlite(const host::MemoryStream& reply);

 private:
  struct TRequestRecord {
    std::uint32_t tag;
    std::vector<std::string> codes;
    std::vector<std::string> fields;
    // For the function sets: the function text the reply names a value by, and the field IDs asking it.
    TIndexFunctionIds functionIds;
    std::string command;  // the request text as sent
    bool isBackup = false;
  };
  // Files `record` under the next sequence number and sends its command on the command's road.
  void Send(TRequestRecord record);
  // After a failed download: sends a copy of the failed send's record once more, as its backup request.
  void SendRequestBak(TRequestRecord record);
  // The function text of each field of a function set (100, 1000), as sent.
  TIndexFunctionIds FunctionIds(const TCloudRequestContext& context) const;
  // Writes the reply's values in one transaction; the number written, or -1 (logged) when the reply is
  // refused and the table left as it was.
  int SaveReply(const host::MemoryStream* reply, const TRequestRecord& record);
  // Reads the values of the codes and fields back as the data item; false (logged) when that fails.
  bool ReadBack(const std::vector<std::string>& codes, const std::vector<std::string>& fields);
  // Reads the record's values back and calls the end event with them.
  void Deliver(std::uint32_t tag, const std::vector<std::string>& codes, const std::vector<std::string>& fields,
               int count);
  // Whether the table holds every field asked for every code, written on the server's day.
  bool EveryValueWrittenToday(const std::vector<std::string>& codes) const;
  std::string CodeList() const;

  int FCommandID;
  TIndexRequestClass FClass;
  std::unique_ptr<TKrCloudCommandItem> FCommandItem;
  std::shared_ptr<host::ISqliteDataBase> FDataBase;
  std::vector<std::string> FRequestFields;
  TKrHttpDownLoader FDownLoader;
  TEndEvent FOnDownLoadEnd;
  bool FSuspend = false;
  std::uint32_t FSequence = 0;
  std::map<std::uint32_t, TRequestRecord> FPending;  // sends in flight, by sequence number
  bool FBackupFollowing = false;                     // see IsBackupFollowing
  std::unique_ptr<TKrIndexDataItem> FDataItem;
};

// TKrMatrixFunctionRequestEx: the matrix function request (command 100) a widget keeps for a grid of its
// own: one row per code, one column per function asked, each cell the value text (GetGridItemValue; the
// other kinds of GetGridValue serve too). Its table answers while every value asked was written on the
// server's day (a matrix function's text depends on the server date only), and a reply obtained
// elsewhere can be saved into the table as the answer to the codes and functions set (SaveToSqlite).
// Main thread only.
class TKrMatrixFunctionRequestEx final : public TKrIndexRequest {
 public:
  explicit TKrMatrixFunctionRequestEx(std::shared_ptr<host::ISqliteDataBase> database);

  std::string GetGridItemValue(int row, int column) const {
    return GetGridValue(row, column, static_cast<int>(TIndexGridKind::kValue));
  }
  using TKrIndexRequest::SaveToSqlite;
};

struct TIndexReplyResult {
  int count = -1;   // values written; -1 when the reply was refused
  std::string why;  // what the log says ("" for a reply written without remark)
};

// Writes an index reply (a report stream and its status byte) into the command table `table` in one
// transaction, update date `stamp`; a function set's values under the fields `functionIds` names (empty:
// the reply names field IDs). A refused reply (failure status, not a stream, no report, a column missing,
// a row the table refuses) leaves the table exactly as it was. Outside bytes: never throws.
TIndexReplyResult SaveIndexReply(std::span<const std::uint8_t> reply, const std::string& table,
                                 const TIndexFunctionIds& functionIds, const std::string& stamp,
                                 host::ISqliteDataBase& database);

// "INSERT OR REPLACE INTO table VALUES($KoraCode,...,$UpdateDate);" of a command table.
std::string IndexInsertQuery(const std::string& table);

// Text of a bound value as the index data item reads it ("" for NULL; numbers in shortest form).
std::string IndexValueText(const host::SqlValue& value);

}  // namespace kdp
