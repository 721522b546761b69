#include "kdp/host/sqlite.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace kdp::host {
namespace {

class SqliteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() / ("kdp-sqlite-" + std::to_string(::getpid()) + ".db")).string();
    std::filesystem::remove(path_);
    db_ = OpenDB(path_);
    ASSERT_NE(db_, nullptr);
    ASSERT_TRUE(db_->ExecSQL("CREATE TABLE quotes (code TEXT PRIMARY KEY, name TEXT, price REAL, volume INTEGER)"));
  }
  void TearDown() override {
    db_.reset();
    std::filesystem::remove(path_);
  }
  std::string path_;
  std::shared_ptr<ISqliteDataBase> db_;
};

TEST_F(SqliteTest, PreparedInsertReplaceAndReadBack) {
  const std::vector<std::string> columns{"code", "name", "price", "volume"};
  auto insert = db_->PrepareInsert("quotes", columns, /*replace=*/true);
  ASSERT_NE(insert, nullptr);
  ASSERT_TRUE(db_->BeginTransaction());
  const std::vector<std::vector<SqlValue>> rows{
      {std::string("600000.SH"), std::string("浦发银行"), 10.36, std::int64_t{1200}},
      {std::string("000001.SZ"), std::string("平安银行"), 11.58, nullptr},
      {std::string("600000.SH"), std::string("浦发银行"), 10.41, std::int64_t{1500}},  // replaces the first
  };
  for (const auto& row : rows) ASSERT_TRUE(insert->Execute(row));
  ASSERT_TRUE(db_->Commit());

  auto set = db_->Query("SELECT code, name, price, volume FROM quotes ORDER BY code");
  ASSERT_NE(set, nullptr);
  ASSERT_FALSE(set->Eof());
  EXPECT_EQ(set->GetFieldCount(), 4);
  EXPECT_EQ(set->GetFieldIndex("PRICE"), 2);
  EXPECT_EQ(set->GetAsString(0), "000001.SZ");
  EXPECT_TRUE(set->IsNull(3));
  ASSERT_TRUE(set->Next());
  EXPECT_EQ(set->GetAsString(1), "浦发银行");
  EXPECT_DOUBLE_EQ(set->GetAsDouble(2), 10.41);
  EXPECT_EQ(set->GetAsInt64(3), 1500);
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(set->GetValue(3)));
  EXPECT_FALSE(set->Next());
  EXPECT_TRUE(set->Eof());
  EXPECT_EQ(set->GetAsString(0), "");  // past the end: empty, not a crash
}

TEST_F(SqliteTest, BoundParametersAndIndexesAndTableChecks) {
  const SqlValue params[] = {std::string("O'Brien \"quoted\""), 1.5};
  ASSERT_TRUE(db_->Execute("INSERT INTO quotes (code, price) VALUES (?, ?)", params));
  const SqlValue key[] = {std::string("O'Brien \"quoted\"")};
  auto set = db_->Query("SELECT price FROM quotes WHERE code = ?", key);
  ASSERT_TRUE(set && !set->Eof());
  EXPECT_DOUBLE_EQ(set->GetAsDouble(0), 1.5);

  EXPECT_TRUE(db_->TableExists("quotes"));
  EXPECT_FALSE(db_->TableExists("nothing"));
  const std::vector<std::string> columns{"name", "price"};
  EXPECT_TRUE(db_->CreateIndex("idx_quotes_name", "quotes", columns, false));
  EXPECT_TRUE(db_->CreateIndex("idx_quotes_name", "quotes", columns, false));  // idempotent
  EXPECT_EQ(db_->Query("SELECT 1 FROM quotes WHERE 0")->Eof(), true);
}

TEST_F(SqliteTest, ErrorsAreReturnValuesWithMessages) {
  EXPECT_FALSE(db_->ExecSQL("CREATE TABLE quotes (x)"));
  EXPECT_NE(db_->GetLastError().find("already exists"), std::string::npos);
  EXPECT_EQ(db_->Query("SELECT * FROM missing_table"), nullptr);
  EXPECT_NE(db_->GetLastError().find("no such table"), std::string::npos);

  const SqlValue one[] = {std::string("only one")};
  EXPECT_FALSE(db_->Execute("INSERT INTO quotes (code, price) VALUES (?, ?)", one));
  const std::vector<std::string> columns{"code"};
  auto strict = db_->PrepareInsert("quotes", columns, /*replace=*/false);
  const SqlValue code[] = {std::string("dup")};
  EXPECT_TRUE(strict->Execute(code));
  EXPECT_FALSE(strict->Execute(code));                                        // primary key violated
  EXPECT_TRUE(strict->Execute(std::vector<SqlValue>{std::string("other")}));  // the statement is still usable

  EXPECT_TRUE(db_->BeginTransaction());
  const SqlValue row[] = {std::string("rolled back"), 1.0};
  EXPECT_TRUE(db_->Execute("INSERT INTO quotes (code, price) VALUES (?, ?)", row));
  EXPECT_TRUE(db_->Rollback());
  auto set = db_->Query("SELECT count(*) FROM quotes");
  EXPECT_EQ(set->GetAsInteger(0), 2);

  EXPECT_EQ(OpenDB("/nonexistent-dir/x/y.db"), nullptr);
}

TEST_F(SqliteTest, ATableFitsOnlyTheColumnsItWasMadeWith) {
  struct Case {
    const char* table;
    std::vector<std::string> columns;
    bool fits;
  };
  const Case cases[] = {
      {"quotes", {"code", "name", "price", "volume"}, true},
      {"quotes", {"CODE", "Name", "PRICE", "volume"}, true},  // names compare case-insensitively
      {"quotes", {"code", "name", "price"}, false},
      {"quotes", {"code", "name", "price", "volume", "time"}, false},
      {"quotes", {"code", "price", "name", "volume"}, false},
      {"no_such_table", {"x"}, true},  // made as asked
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.columns));
    EXPECT_EQ(TableFitsColumns(*db_, c.table, c.columns), c.fits);
  }
}

// Another connection holds the database: every statement of the operation fails as busy (after one wait),
// and the first statement that gets through once the lock is gone clears the state.
TEST_F(SqliteTest, ALockHeldElsewhereFailsEveryStatementAsBusyUntilItIsGone) {
  auto other = OpenDB(path_);
  ASSERT_TRUE(other->ExecSQL("BEGIN EXCLUSIVE"));
  const SqlValue row[] = {std::string("600000.SH"), 10.5};
  for (int statement = 0; statement < 5; ++statement) {
    SCOPED_TRACE(statement);
    EXPECT_FALSE(db_->Execute("INSERT INTO quotes (code, price) VALUES (?, ?)", row));
    EXPECT_TRUE(db_->IsBusy());
    EXPECT_NE(db_->GetLastError().find("database busy: " + path_ + " is locked by another connection"),
              std::string::npos)
        << db_->GetLastError();
    EXPECT_EQ(db_->Query("SELECT count(*) FROM quotes"), nullptr);
  }
  ASSERT_TRUE(other->ExecSQL("ROLLBACK"));
  EXPECT_TRUE(db_->Execute("INSERT INTO quotes (code, price) VALUES (?, ?)", row));
  EXPECT_FALSE(db_->IsBusy());
}

}  // namespace
}  // namespace kdp::host
