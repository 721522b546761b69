// SQLite behind a small RAII wrapper: one connection per database object, statements finalized by
// their owners, every error returned and logged.
//
// A database locked by another connection is waited for once, not once per statement: the first
// statement that finds it locked waits up to kBusyWait; until a statement gets through again, the ones
// after it fail at once (and are logged once), so a locked database costs an operation of any number of
// statements one short wait.
#include "kdp/host/sqlite.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "kdp/host/excerpt.h"
#include "kdp/host/log.h"
#include "text_number.h"

namespace kdp::host {
namespace {

constexpr std::string_view kLogSource = "Sqlite";
constexpr auto kBusyWait = std::chrono::milliseconds(200);
constexpr auto kBusyPoll = std::chrono::milliseconds(5);

bool IsBusyCode(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

class Connection {
 public:
  Connection(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
    sqlite3_busy_handler(db_, &Connection::OnBusy, this);
  }
  ~Connection() { sqlite3_close_v2(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* Handle() const { return db_; }
  const std::string& Path() const { return path_; }

  bool Fail(std::string_view what) {
    const int primary = sqlite3_extended_errcode(db_) & 0xff;
    damaged_ = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
    const bool busy = IsBusyCode(primary);
    last_error_ = fmt::format("{}: {}", what, sqlite3_errmsg(db_));
    if (busy) {
      last_error_ = fmt::format("database busy: {} is locked by another connection ({})", path_, last_error_);
      if (busy_logged_) return false;
      busy_logged_ = true;
    }
    AddHQLog(last_error_ + " [" + path_ + "]", kLogSource, host::LogSeverity::kError);
    return false;
  }
  // A statement got through: the next lock met is waited for again.
  void Succeeded() { gave_up_ = busy_logged_ = damaged_ = false; }
  bool Busy() const { return gave_up_; }
  bool Damaged() const { return damaged_; }
  void ClearError() { last_error_.clear(); }
  const std::string& LastError() const { return last_error_; }

  StatementPtr Prepare(std::string_view sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) {
      Fail(fmt::format("prepare \"{}\"", host::Excerpt(sql)));
      return nullptr;
    }
    return StatementPtr(raw);
  }

  bool Bind(sqlite3_stmt* stmt, std::span<const SqlValue> values) {
    if (static_cast<int>(values.size()) != sqlite3_bind_parameter_count(stmt)) {
      last_error_ = fmt::format("bind: {} values for {} parameters", values.size(), sqlite3_bind_parameter_count(stmt));
      AddHQLog(last_error_, kLogSource, host::LogSeverity::kError);
      return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      int rc = SQLITE_OK;
      if (std::holds_alternative<std::nullptr_t>(values[i])) {
        rc = sqlite3_bind_null(stmt, index);
      } else if (const auto* n = std::get_if<std::int64_t>(&values[i])) {
        rc = sqlite3_bind_int64(stmt, index, *n);
      } else if (const auto* d = std::get_if<double>(&values[i])) {
        rc = sqlite3_bind_double(stmt, index, *d);
      } else {
        const auto& s = std::get<std::string>(values[i]);
        rc = sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      }
      if (rc != SQLITE_OK) return Fail("bind");
    }
    return true;
  }

  // Runs a bound statement to completion, discarding rows, then resets it for reuse.
  bool StepToEnd(sqlite3_stmt* stmt) {
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    const bool ok = rc == SQLITE_DONE;
    if (ok) {
      Succeeded();
    } else {
      Fail("step");
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return ok;
  }

 private:
  // SQLite's busy handler: nonzero to try again.
  static int OnBusy(void* self, int attempt) {
    auto& c = *static_cast<Connection*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) {
      if (c.gave_up_) return 0;
      c.wait_end_ = now + kBusyWait;
    }
    if (now >= c.wait_end_) {
      c.gave_up_ = true;
      return 0;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kBusyPoll, c.wait_end_ - now));
    return 1;
  }

  sqlite3* db_;
  std::string path_;
  std::string last_error_;
  std::chrono::steady_clock::time_point wait_end_;
  bool gave_up_ = false;      // the lock was waited for and not had: fail at once until a statement succeeds
  bool busy_logged_ = false;  // that failure is in the log already
  bool damaged_ = false;      // the last failure said the file is no database, or a damaged one
};

class DataSet final : public Implements<ISqliteDataSet> {
 public:
  DataSet(std::shared_ptr<Connection> connection, StatementPtr stmt)
      : connection_(std::move(connection)), stmt_(std::move(stmt)) {}

  // Moves to the first row; false on an error.
  bool Start() { return Step(); }

  bool Eof() override { return eof_; }
  bool Next() override { return !eof_ && Step() && !eof_; }
  int GetFieldCount() override { return sqlite3_column_count(stmt_.get()); }
  std::string GetFieldName(int column) override {
    const char* name = ValidColumn(column) ? sqlite3_column_name(stmt_.get(), column) : nullptr;
    return name ? name : "";
  }
  int GetFieldIndex(std::string_view name) override {
    for (int i = 0; i < GetFieldCount(); ++i) {
      if (EqualsNoCase(GetFieldName(i), name)) return i;
    }
    return -1;
  }
  bool IsNull(int column) override {
    return !HasRow(column) || sqlite3_column_type(stmt_.get(), column) == SQLITE_NULL;
  }
  std::string GetAsString(int column) override {
    if (!HasRow(column)) return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), column))) : "";
  }
  std::int64_t GetAsInt64(int column) override {
    return HasRow(column) ? sqlite3_column_int64(stmt_.get(), column) : 0;
  }
  int GetAsInteger(int column) override { return HasRow(column) ? sqlite3_column_int(stmt_.get(), column) : 0; }
  double GetAsDouble(int column) override { return HasRow(column) ? sqlite3_column_double(stmt_.get(), column) : 0.0; }
  SqlValue GetValue(int column) override {
    if (!HasRow(column)) return nullptr;
    switch (sqlite3_column_type(stmt_.get(), column)) {
      case SQLITE_INTEGER:
        return GetAsInt64(column);
      case SQLITE_FLOAT:
        return GetAsDouble(column);
      case SQLITE_NULL:
        return nullptr;
      default:
        return GetAsString(column);
    }
  }

 private:
  bool ValidColumn(int column) const { return column >= 0 && column < sqlite3_column_count(stmt_.get()); }
  bool HasRow(int column) const { return !eof_ && ValidColumn(column); }

  bool Step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      eof_ = true;
      return connection_->Fail("query step");
    }
    connection_->Succeeded();
    eof_ = rc == SQLITE_DONE;
    return true;
  }

  std::shared_ptr<Connection> connection_;
  StatementPtr stmt_;
  bool eof_ = false;
};

class Statement final : public ISqliteStatement {
 public:
  Statement(std::shared_ptr<Connection> connection, StatementPtr stmt)
      : connection_(std::move(connection)), stmt_(std::move(stmt)) {}
  bool Execute(std::span<const SqlValue> values) override {
    if (!connection_->Bind(stmt_.get(), values)) {
      sqlite3_clear_bindings(stmt_.get());
      return false;
    }
    return connection_->StepToEnd(stmt_.get());
  }

 private:
  std::shared_ptr<Connection> connection_;
  StatementPtr stmt_;
};

class DataBase final : public Implements<ISqliteDataBase> {
 public:
  explicit DataBase(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {}

  bool ExecSQL(std::string_view sql) override {
    connection_->ClearError();
    char* message = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(connection_->Handle(), text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      sqlite3_free(message);
      return connection_->Fail(fmt::format("exec \"{}\"", host::Excerpt(sql)));
    }
    connection_->Succeeded();
    return true;
  }

  bool Execute(std::string_view sql, std::span<const SqlValue> params) override {
    connection_->ClearError();
    StatementPtr stmt = connection_->Prepare(sql);
    return stmt && connection_->Bind(stmt.get(), params) && connection_->StepToEnd(stmt.get());
  }

  std::shared_ptr<ISqliteDataSet> Query(std::string_view sql, std::span<const SqlValue> params) override {
    connection_->ClearError();
    StatementPtr stmt = connection_->Prepare(sql);
    if (!stmt || !connection_->Bind(stmt.get(), params)) return nullptr;
    auto set = std::make_shared<DataSet>(connection_, std::move(stmt));
    return set->Start() ? set : nullptr;
  }

  std::unique_ptr<ISqliteStatement> Prepare(std::string_view sql) override {
    connection_->ClearError();
    StatementPtr stmt = connection_->Prepare(sql);
    if (!stmt) return nullptr;
    return std::make_unique<Statement>(connection_, std::move(stmt));
  }

  std::unique_ptr<ISqliteStatement> PrepareInsert(std::string_view table, std::span<const std::string> columns,
                                                  bool replace) override {
    std::string sql = fmt::format("INSERT OR {} INTO {} (", replace ? "REPLACE" : "ABORT", QuoteSqlIdentifier(table));
    std::string placeholders;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      sql += (i ? "," : "") + QuoteSqlIdentifier(columns[i]);
      placeholders += i ? ",?" : "?";
    }
    sql += ") VALUES (" + placeholders + ")";
    return Prepare(sql);
  }

  bool BeginTransaction() override { return ExecSQL("BEGIN IMMEDIATE"); }
  bool Commit() override { return ExecSQL("COMMIT"); }
  bool Rollback() override { return ExecSQL("ROLLBACK"); }

  bool TableExists(std::string_view table) override {
    const SqlValue name{std::string(table)};
    auto set = Query("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", std::span(&name, 1));
    return set && !set->Eof();
  }

  bool CreateIndex(std::string_view indexName, std::string_view table, std::span<const std::string> columns,
                   bool unique) override {
    std::string list;
    for (std::size_t i = 0; i < columns.size(); ++i) list += (i ? "," : "") + QuoteSqlIdentifier(columns[i]);
    return ExecSQL(fmt::format("CREATE {}INDEX IF NOT EXISTS {} ON {} ({})", unique ? "UNIQUE " : "",
                               QuoteSqlIdentifier(indexName), QuoteSqlIdentifier(table), list));
  }

  std::int64_t LastInsertRowId() override { return sqlite3_last_insert_rowid(connection_->Handle()); }
  int Changes() override { return sqlite3_changes(connection_->Handle()); }
  std::string GetLastError() override { return connection_->LastError(); }
  bool IsBusy() override { return connection_->Busy(); }
  bool IsDamaged() override { return connection_->Damaged(); }
  std::string GetPath() override { return connection_->Path(); }

 private:
  std::shared_ptr<Connection> connection_;
};

}  // namespace

std::shared_ptr<ISqliteDataBase> OpenDB(const std::string& path) {
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    AddHQLog(fmt::format("OpenDB failed: {} [{}]", db ? sqlite3_errmsg(db) : sqlite3_errstr(rc), path), kLogSource,
             host::LogSeverity::kError);
    sqlite3_close_v2(db);
    return nullptr;
  }
  return std::make_shared<DataBase>(std::make_shared<Connection>(db, path));
}

bool TableFitsColumns(ISqliteDataBase& db, std::string_view table, std::span<const std::string> columns) {
  const SqlValue name{std::string(table)};
  auto set = db.Query("SELECT name FROM pragma_table_info(?) ORDER BY cid", std::span(&name, 1));
  if (!set || set->Eof()) return true;  // no such table (or it cannot be read: creating it will say why)
  std::size_t i = 0;
  for (; !set->Eof(); set->Next(), ++i) {
    if (i == columns.size() || !EqualsNoCase(set->GetAsString(0), columns[i])) return false;
  }
  return i == columns.size();
}

std::string QuoteSqlIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace kdp::host
