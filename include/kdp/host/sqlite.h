// SQLite access: a database (ISqliteDataBase) and forward-only query results (ISqliteDataSet).
//
// Errors are return values: false or nullptr, with the database's message in GetLastError (and in the
// log). Values are bound, never spliced into SQL text. A database object is used from one thread at a time.
// A database locked by another connection is waited for at most a fifth of a second per operation (the
// statements after a failed wait fail at once), so a held lock never stalls the thread for long.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kdp/host/interface.h"

namespace kdp::host {

// A bound parameter or a cell value.
using SqlValue = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

class ISqliteDataSet : public virtual IInterface {
 public:
  static constexpr Guid IID = "EBBAD1F6-4672-45F6-ACDA-A276B35E6972";
  // True when the cursor is past the last row (immediately, for an empty result).
  virtual bool Eof() = 0;
  // Moves to the next row; false at the end or on an error.
  virtual bool Next() = 0;
  virtual int GetFieldCount() = 0;
  virtual std::string GetFieldName(int column) = 0;
  // The column with that name (ASCII case-insensitive), or -1.
  virtual int GetFieldIndex(std::string_view name) = 0;
  virtual bool IsNull(int column) = 0;
  virtual std::string GetAsString(int column) = 0;
  virtual std::int64_t GetAsInt64(int column) = 0;
  virtual int GetAsInteger(int column) = 0;
  virtual double GetAsDouble(int column) = 0;
  virtual SqlValue GetValue(int column) = 0;
};

// A compiled statement for repeated execution with different bound values (bulk inserts).
class ISqliteStatement {
 public:
  virtual ~ISqliteStatement() = default;
  // Binds `values` to the parameters in order, runs the statement to completion and resets it.
  virtual bool Execute(std::span<const SqlValue> values) = 0;
};

class ISqliteDataBase : public virtual IInterface {
 public:
  static constexpr Guid IID = "D670503D-F64B-48CE-A3E4-1626470E3AED";

  // Runs one or more statements without results.
  virtual bool ExecSQL(std::string_view sql) = 0;
  // Runs one statement with bound parameters.
  virtual bool Execute(std::string_view sql, std::span<const SqlValue> params) = 0;
  // Runs a query; nullptr on error. The data set keeps the database alive.
  virtual std::shared_ptr<ISqliteDataSet> Query(std::string_view sql, std::span<const SqlValue> params = {}) = 0;
  virtual std::unique_ptr<ISqliteStatement> Prepare(std::string_view sql) = 0;
  // "INSERT OR REPLACE INTO table (columns...) VALUES (?, ...)" prepared for `columns`.
  virtual std::unique_ptr<ISqliteStatement> PrepareInsert(std::string_view table, std::span<const std::string> columns,
                                                          bool replace) = 0;

  virtual bool BeginTransaction() = 0;
  virtual bool Commit() = 0;
  virtual bool Rollback() = 0;

  virtual bool TableExists(std::string_view table) = 0;
  virtual bool CreateIndex(std::string_view indexName, std::string_view table, std::span<const std::string> columns,
                           bool unique) = 0;

  virtual std::int64_t LastInsertRowId() = 0;
  virtual int Changes() = 0;
  virtual std::string GetLastError() = 0;
  virtual std::string GetPath() = 0;
  // True when an operation gave up waiting for a lock another connection holds, until a statement gets
  // through again (the last error then says "database busy").
  virtual bool IsBusy() = 0;
  // True when the last failure said the file is no database or a damaged one (not for a failure to read
  // or write it: a read-only disk, an I/O error, a lock).
  virtual bool IsDamaged() = 0;
};

// Opens or creates the database file (its directory must exist); nullptr, logged, on failure.
std::shared_ptr<ISqliteDataBase> OpenDB(const std::string& path);

// True when `table` does not exist or has exactly `columns` (in order, ASCII case-insensitively): a cache
// table made by another version with other columns answers false, to be dropped and made again.
bool TableFitsColumns(ISqliteDataBase& db, std::string_view table, std::span<const std::string> columns);

// Quotes an identifier for SQL text ("my table" -> "\"my table\"").
std::string QuoteSqlIdentifier(std::string_view name);

}  // namespace kdp::host
