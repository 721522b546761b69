#include "kdp/host/data_table.h"

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "kdp/host/reply_packet.h"

namespace kdp::host {
namespace {

TEST(DataTableTest, ReadsConvertAndNeverFailOutOfRange) {
  TDataTable t;
  t.AddField(std::string(40, 'n'), "int64");  // cut to 31 bytes
  t.AddField("text", "string");
  const int r = t.AddRow();
  t.Set(r, 0, std::int64_t{5'000'000'000});
  t.Set(r, 1, std::string("12.5"));
  t.Set(7, 0, 1.0);  // ignored

  EXPECT_EQ(FieldName(t, 0).size(), 31u);
  EXPECT_EQ(t.GetAsInt64(0, 0), 5'000'000'000);
  EXPECT_EQ(t.GetAsInteger(0, 0), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(t.GetAsString(0, 0), "5000000000");
  EXPECT_DOUBLE_EQ(t.GetAsDouble(0, 1), 12.5);
  EXPECT_EQ(t.GetAsInteger(0, 1), 0);  // "12.5" is not an integer
  EXPECT_EQ(t.GetAsString(5, 5), "");
  EXPECT_EQ(t.GetAsDouble(-1, 0), 0.0);
  EXPECT_EQ(t.GetAsDataSet(0, 0), nullptr);
  EXPECT_EQ(t.GetRowCount(), 1);
}

// Engines add a row first and then its fields one by one; the cells already set stay where they were.
TEST(DataTableTest, ColumnsAddedToRowsKeepEveryCell) {
  TDataTable t;
  t.AddField("first", "int");
  for (int r = 0; r < 3; ++r) t.Set(t.AddRow(), 0, r);
  for (int c = 1; c <= 40; ++c) {
    t.AddField(std::to_string(c), "int");
    for (int r = 0; r < 3; ++r) t.Set(r, c, 100 * r + c);
  }
  t.Reserve(50, 10);  // with rows already there: room only
  t.AddRow();
  ASSERT_EQ(t.GetFieldCount(), 41);
  ASSERT_EQ(t.GetRowCount(), 4);
  for (int r = 0; r < 3; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(t.GetAsInteger(r, 0), r);
    for (int c = 1; c <= 40; ++c) EXPECT_EQ(t.GetAsInteger(r, c), 100 * r + c) << c;
  }
  for (int c = 0; c <= 40; ++c) EXPECT_TRUE(std::holds_alternative<std::monostate>(*t.CellAt(3, c)));
  EXPECT_EQ(t.CellAt(0, 41), nullptr);
}

TEST(DataTableTest, SharedFieldInfosStayAsTheyWereForEveryOtherTable) {
  const auto table = [](std::initializer_list<std::pair<const char*, const char*>> columns) {
    auto t = std::make_shared<TDataTable>();
    t->AddRow();
    for (const auto& [name, type] : columns) t->AddField(name, type);
    return t;
  };
  auto first = table({{"3", "double"}, {"8", "int64"}});
  auto second = table({{"3", "double"}, {"8", "int64"}});
  EXPECT_NE(first->GetFieldsIdentity(), second->GetFieldsIdentity());
  ASSERT_TRUE(second->ShareFieldsWith(*first));
  EXPECT_EQ(first->GetFieldsIdentity(), second->GetFieldsIdentity());

  // A column added to a table sharing its field infos is its own: the other table keeps its columns.
  second->Set(0, second->AddField("10", "double"), 0.5);
  EXPECT_NE(first->GetFieldsIdentity(), second->GetFieldsIdentity());
  ASSERT_EQ(first->GetFieldCount(), 2);
  EXPECT_EQ(first->GetFieldInfo(2), nullptr);
  EXPECT_EQ(FieldName(*second, 2), "10");
  EXPECT_EQ(second->GetAsDouble(0, 2), 0.5);
  EXPECT_EQ(TDataTable().GetFieldsIdentity(), nullptr);  // no columns: nothing to compare by
}

// A reply as an engine builds one: the header's fields in order, and beside it the body, whose rows hold
// their values tables.
TEST(ReplyPacketTest, HeaderFieldsInOrderAndTheBodyBeside) {
  auto values = std::make_shared<TDataTable>();
  values->Set(values->AddRow(), values->AddField("3", "double"), 10.5);
  auto body = MakeQuoteBody();
  AddQuoteBodyRow(*body, "600000.SH", values);
  AddQuoteBodyRow(*body, "000001.SZ", nullptr);

  auto reply = MakeReplyPacket({{"CmdID", kQuotePushCommand}, {"PID", 7}}, body);
  ASSERT_EQ(reply->GetRowCount(), 1);
  auto header = reply->GetAsDataSet(0, 0);
  ASSERT_NE(header, nullptr);
  ASSERT_EQ(header->GetFieldCount(), 2);
  EXPECT_EQ(FieldName(*header, 0), "CmdID");
  EXPECT_EQ(FieldName(*header, 1), "PID");
  EXPECT_EQ(header->GetAsInteger(0, 0), 3070);
  EXPECT_EQ(header->GetAsInteger(0, 1), 7);
  auto rows = reply->GetAsDataSet(0, 1);
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->GetRowCount(), 2);
  EXPECT_EQ(FieldName(*rows, 0), "KoraCode");
  EXPECT_EQ(FieldTypeName(*rows, 1), "dataset");
  // The record keeps the name at offset 0 and the type name at offset 64.
  const auto* raw = reinterpret_cast<const char*>(rows->GetFieldInfo(0));
  EXPECT_STREQ(raw, "KoraCode");
  EXPECT_STREQ(raw + 64, "string");
  EXPECT_EQ(rows->GetFieldInfo(2), nullptr);
  ASSERT_NE(rows->GetAsDataSet(0, 1), nullptr);
  EXPECT_EQ(rows->GetAsDataSet(0, 1)->GetAsDouble(0, 0), 10.5);

  // Without a header the cell stays empty, as a reader must expect.
  EXPECT_EQ(MakeReplyPacket({}, body)->GetAsDataSet(0, 0), nullptr);
}

TEST(ReplyPacketTest, SplitListTrimsAndSkipsEmptyItems) {
  const struct {
    std::string_view text;
    std::vector<std::string> items;
  } cases[] = {
      {"600000.SH, 000001.SZ", {"600000.SH", "000001.SZ"}},
      {" a ,, b ,", {"a", "b"}},
      {"x", {"x"}},
      {"", {}},
      {"  ,  ", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(SplitList(c.text), c.items);
  }
}

}  // namespace
}  // namespace kdp::host
