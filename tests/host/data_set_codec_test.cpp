// The data set codec: its byte layout, copies that answer every read as the original did, other data
// sets read through their column types, the bounds that hold whatever the bytes claim, and spare tables
// refilled in place.
#include "kdp/host/data_set_codec.h"

#include <vector>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "kdp/host/reply_packet.h"

namespace kdp::host {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// `levels` tables, each but the last holding the next in its one cell.
Bytes Nested(int levels) {
  Bytes bytes;
  for (int level = 1; level < levels; ++level) bytes = Concat(bytes, {1, 0, 0, 0, 1, 0, 0, 0, 5});
  return Concat(bytes, {0, 0, 0, 0, 0, 0});
}

Bytes Encode(IDataSet& data) {
  std::string out, error;
  EXPECT_TRUE(EncodeDataSet(data, out, error)) << error;
  return {out.begin(), out.end()};
}

std::shared_ptr<TDataTable> Decode(const Bytes& bytes, std::string& error) {
  std::size_t used = 0;
  auto table = DecodeDataSet(bytes, used, error);
  if (table) {
    EXPECT_EQ(used, bytes.size());
  }
  return table;
}

// Every read of every cell, nested tables followed, as one text: two data sets that answer alike give the
// same text.
std::string Reads(IDataSet& data) {
  std::string text = fmt::format("{}x{}[", data.GetRowCount(), data.GetFieldCount());
  for (int c = 0; c < data.GetFieldCount(); ++c) text += FieldName(data, c) + ":" + FieldTypeName(data, c) + ",";
  for (int r = 0; r < data.GetRowCount(); ++r) {
    for (int c = 0; c < data.GetFieldCount(); ++c) {
      text += fmt::format("({}|{}|{}|{}|", data.GetAsInteger(r, c), data.GetAsInt64(r, c), data.GetAsDouble(r, c),
                          data.GetAsString(r, c));
      auto nested = data.GetAsDataSet(r, c);
      text += nested ? Reads(*nested) : "-";
      text += ")";
    }
  }
  return text + "]";
}

// A quote push as an engine builds one, with every cell kind, empty cells and code page 936 text.
std::shared_ptr<TDataTable> SamplePush() {
  auto values = std::make_shared<TDataTable>();
  values->AddField("3", "double");
  values->AddField("8", "int64");
  values->AddField("11", "string");
  values->AddField("17", "int");
  values->AddField("20", "double");  // left empty
  values->AddRow();
  values->Set(0, 0, 10.36);
  values->Set(0, 1, std::int64_t{1} << 40);
  values->Set(0, 2, std::string("\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0"));  // 浦发银行 in code page 936
  values->Set(0, 3, -7);
  auto body = MakeQuoteBody();
  AddQuoteBodyRow(*body, "600000.SH", values);
  body->AddRow();  // a row whose cells are both empty
  return MakeReplyPacket({{"CmdID", kQuotePushCommand}}, body);
}

TEST(DataSetCodecTest, LayoutByHand) {
  TDataTable table;
  table.AddField("a", "int");
  table.AddField("b", "string");
  table.AddRow();
  table.Set(0, 0, 0x01020304);
  table.Set(0, 1, std::string("xy"));
  table.AddRow();                                                           // empty cells
  EXPECT_EQ(Encode(table), (Bytes{2, 0,                                     // two columns
                                  1, 'a', 3, 'i', 'n', 't',                 //   a: int
                                  1, 'b', 6, 's', 't', 'r', 'i', 'n', 'g',  //   b: string
                                  2, 0,   0, 0,                             // two rows
                                  1, 4,   3, 2,   1,                        //   int32 0x01020304
                                  4, 2,   0, 0,   0,   'x', 'y',            //   text "xy"
                                  0, 0}));                                  //   both empty

  TDataTable noColumns;
  noColumns.AddRow();
  noColumns.AddRow();
  EXPECT_EQ(Encode(noColumns), (Bytes{0, 0, 2, 0, 0, 0, 0, 0}));  // each row one byte 0
  std::string error;
  auto copy = Decode(Encode(noColumns), error);
  ASSERT_TRUE(copy) << error;
  EXPECT_EQ(copy->GetRowCount(), 2);
}

// A data set that is not a TDataTable: it converts each cell from text, as an engine of its own might.
class TextDataSet final : public Implements<IDataSet> {
 public:
  int GetRowCount() override { return 1; }
  int GetFieldCount() override { return 5; }
  PFieldInfo GetFieldInfo(int column) override {
    static const TFieldInfo fields[] = {
        {"i", {}, "int"}, {"l", {}, "int64"}, {"d", {}, "double"}, {"s", {}, "char"}, {"n", {}, "dataset"}};
    return column >= 0 && column < 5 ? &fields[column] : nullptr;
  }
  std::int32_t GetAsInteger(int, int column) override { return column == 0 ? 42 : 0; }
  std::int64_t GetAsInt64(int, int column) override { return column == 1 ? 9000000000 : 0; }
  std::string GetAsString(int, int column) override { return column == 3 ? "text" : "?"; }
  double GetAsDouble(int, int column) override { return column == 2 ? 0.25 : 0; }
  std::shared_ptr<IDataSet> GetAsDataSet(int, int) override { return nullptr; }
};

TEST(DataSetCodecTest, OtherDataSetsAreReadThroughTheirColumnTypes) {
  TextDataSet data;
  std::string error;
  auto copy = Decode(Encode(data), error);
  ASSERT_TRUE(copy) << error;
  EXPECT_EQ(std::get<std::int32_t>(*copy->CellAt(0, 0)), 42);
  EXPECT_EQ(std::get<std::int64_t>(*copy->CellAt(0, 1)), 9000000000);
  EXPECT_EQ(std::get<double>(*copy->CellAt(0, 2)), 0.25);
  EXPECT_EQ(std::get<std::string>(*copy->CellAt(0, 3)), "text");  // an unknown type name is read as text
  EXPECT_TRUE(std::holds_alternative<std::monostate>(*copy->CellAt(0, 4)));
  EXPECT_EQ(FieldTypeName(*copy, 3), "char");
}

TEST(DataSetCodecTest, EncoderRefusesTablesItCannotBound) {
  auto loop = std::make_shared<TDataTable>();
  loop->AddField("self", "dataset");
  loop->AddRow();
  loop->Set(0, 0, std::shared_ptr<IDataSet>(loop));  // a table holding itself
  std::string out = "kept", error;
  EXPECT_FALSE(EncodeDataSet(*loop, out, error));
  EXPECT_EQ(out, "kept");
  EXPECT_NE(error.find("nested deeper than 16"), std::string::npos) << error;
  loop->Set(0, 0, TDataTable::Cell{});  // breaks the cycle, so the table can be freed

  TDataTable wide;
  wide.AddField("a", "int");
  for (std::size_t r = 0; r <= kMaxDataSetCells; ++r) wide.AddRow();
  EXPECT_FALSE(EncodeDataSet(wide, out, error));
  EXPECT_EQ(out, "kept");
}

TEST(DataSetCodecTest, RefusesBytesThatLie) {
  const Bytes good = Encode(*SamplePush());
  std::string error;
  // Every cut of a good encoding is refused, naming where.
  for (std::size_t n = 0; n < good.size(); ++n) {
    SCOPED_TRACE(n);
    std::size_t used = 0;
    error.clear();
    EXPECT_FALSE(DecodeDataSet(std::span(good).first(n), used, error));
    EXPECT_NE(error.find(" at byte "), std::string::npos) << error;
  }

  struct Case {
    const char* name;
    Bytes bytes;
    const char* error;
  };
  const Case cases[] = {
      {"more columns than bytes", {0xFF, 0xFF, 1, 'a', 0}, "65535 columns beyond the bytes left at byte 2"},
      {"more rows than bytes", {1, 0, 1, 'a', 0, 0xFF, 0xFF, 0xFF, 0x0F, 0, 0}, "268435455 rows beyond the bytes left"},
      {"rows of no columns beyond the bytes", {0, 0, 3, 0, 0, 0, 0, 0}, "3 rows beyond the bytes left"},
      {"a name longer than a field holds", Concat({1, 0, 32}, Bytes(40, 'a')), "column name of 32 bytes"},
      {"an unknown cell kind", {1, 0, 0, 0, 1, 0, 0, 0, 9}, "cell kind 9 at byte 9"},
      {"an empty row not marked 0", {0, 0, 1, 0, 0, 0, 7}, "empty row marked 7"},
      {"a text longer than the bytes", {1, 0, 0, 0, 1, 0, 0, 0, 4, 9, 0, 0, 0, 'x'}, "truncated text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    error.clear();
    std::size_t used = 0;
    EXPECT_FALSE(DecodeDataSet(c.bytes, used, error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }

  // Tables nest sixteen deep, not seventeen.
  std::size_t used = 0;
  EXPECT_TRUE(DecodeDataSet(Nested(16), used, error)) << error;
  EXPECT_FALSE(DecodeDataSet(Nested(17), used, error));
  EXPECT_NE(error.find("nested deeper than 16"), std::string::npos) << error;

  // More cells than one data set may hold, every one of them present in the bytes.
  static_assert(kMaxDataSetCells + 1 == 0x100001);
  Bytes many = {1, 0, 0, 0, 0x01, 0x00, 0x10, 0x00};  // one column, 0x100001 rows
  many.resize(many.size() + kMaxDataSetCells + 1, 0);
  EXPECT_FALSE(DecodeDataSet(many, used, error));
  EXPECT_NE(error.find("more than 1048576 cells"), std::string::npos) << error;
}

// A spare data set refilled in place answers exactly as a fresh decode of the same bytes, whatever it held
// before, and never writes over a table someone else still holds.
TEST(DataSetCodecTest, SpareTablesRefillAsFreshDecodesAndLeaveHeldTablesAlone) {
  TDataTableRecycler recycler;
  std::string error;
  std::size_t used = 0;
  const Bytes first = Encode(*SamplePush());
  auto decoded = DecodeDataSet(first, used, error, &recycler);
  ASSERT_TRUE(decoded) << error;
  const std::string firstReads = Reads(*decoded);
  // Someone keeps the values table (as the replayed market keeps the latest quotes) and lets the rest go.
  const auto keptValues = decoded->GetAsDataSet(0, 1)->GetAsDataSet(0, 1);
  const IDataSet* spare = decoded.get();
  recycler.Recycle(std::move(decoded));
  EXPECT_EQ(recycler.SpareCount(), 1u);

  // The same shape with other contents: cells change kind, set cells become empty and empty ones set.
  auto next = SamplePush();
  auto values = std::dynamic_pointer_cast<TDataTable>(next->GetAsDataSet(0, 1)->GetAsDataSet(0, 1));
  values->Set(0, 0, std::string("10.5"));
  values->Set(0, 2, TDataTable::Cell{});
  values->Set(0, 4, 1.25);
  auto body = std::dynamic_pointer_cast<TDataTable>(next->GetAsDataSet(0, 1));
  body->Set(0, 0, TDataTable::Cell{});
  body->Set(1, 0, std::string("00700.HK"));
  std::dynamic_pointer_cast<TDataTable>(next->GetAsDataSet(0, 0))->Set(0, 0, std::string("3071"));
  auto refilled = DecodeDataSet(Encode(*next), used, error, &recycler);
  ASSERT_TRUE(refilled) << error;
  EXPECT_EQ(refilled.get(), spare);
  EXPECT_EQ(recycler.SpareCount(), 0u);
  EXPECT_EQ(Reads(*refilled), Reads(*next));
  EXPECT_EQ(Reads(*keptValues), Reads(*SamplePush()->GetAsDataSet(0, 1)->GetAsDataSet(0, 1)));
  EXPECT_NE(refilled->GetAsDataSet(0, 1)->GetAsDataSet(0, 1), keptValues);

  // Other columns replace the spare's; a data set without a spare decodes afresh.
  TDataTable other;
  other.AddField("Header", "int");
  other.AddRow();
  other.Set(0, 0, 7);
  recycler.Recycle(std::move(refilled));
  auto replaced = DecodeDataSet(Encode(other), used, error, &recycler);
  ASSERT_TRUE(replaced) << error;
  EXPECT_EQ(Reads(*replaced), Reads(other));
  auto fresh = DecodeDataSet(first, used, error, &recycler);
  ASSERT_TRUE(fresh) << error;
  EXPECT_EQ(Reads(*fresh), firstReads);

  // A data set still held elsewhere, or not a decoded table, is not taken back.
  auto held = fresh;
  recycler.Recycle(fresh);
  recycler.Recycle(nullptr);
  recycler.Recycle(std::make_shared<TextDataSet>());
  EXPECT_EQ(recycler.SpareCount(), 0u);

  // A spare that fails to refill is dropped, not kept half written.
  recycler.Recycle(std::move(replaced));
  EXPECT_FALSE(DecodeDataSet(std::span(first).first(first.size() - 1), used, error, &recycler));
  EXPECT_EQ(recycler.SpareCount(), 0u);

  // The spares kept are bounded.
  for (std::size_t i = 0; i <= TDataTableRecycler::kMaxSpareTables; ++i) {
    recycler.Recycle(std::make_shared<TDataTable>());
  }
  EXPECT_EQ(recycler.SpareCount(), TDataTableRecycler::kMaxSpareTables);
}

// Tables of one column layout decoded through a recycler share that layout's field infos, so their readers
// compare columns once per layout; a layout that only begins like a known one (one column more or less, a
// longer name) is its own, and layouts beyond those remembered still decode right.
TEST(DataSetCodecTest, TablesOfOneLayoutShareTheirFieldInfos) {
  TDataTableRecycler recycler;
  std::string error;
  std::size_t used = 0;
  const auto decode = [&](IDataSet& data) {
    auto table = DecodeDataSet(Encode(data), used, error, &recycler);
    EXPECT_TRUE(table) << error;
    if (table) {
      EXPECT_EQ(Reads(*table), Reads(data));
    }
    return table;
  };
  const auto values = [](const std::shared_ptr<TDataTable>& push) {
    return push->GetAsDataSet(0, 1)->GetAsDataSet(0, 1);
  };
  auto a = decode(*SamplePush()), b = decode(*SamplePush());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->GetFieldsIdentity(), b->GetFieldsIdentity());
  EXPECT_EQ(values(a)->GetFieldsIdentity(), values(b)->GetFieldsIdentity());
  EXPECT_NE(a->GetFieldsIdentity(), values(a)->GetFieldsIdentity());

  const auto table = [](std::vector<std::pair<std::string, std::string>> columns) {
    auto t = std::make_shared<TDataTable>();
    for (const auto& [name, type] : columns) t->AddField(name, type);
    t->AddRow();
    for (int c = 0; c < t->GetFieldCount(); ++c) t->Set(0, c, std::string("x") + std::to_string(c));
    return t;
  };
  auto one = table({{"Code", "string"}});
  auto two = table({{"Code", "string"}, {"Name", "string"}});
  auto longer = table({{"Codes", "string"}});
  std::vector<const void*> identities;
  for (auto* data : {one.get(), two.get(), longer.get(), one.get()}) {
    auto decoded = decode(*data);
    ASSERT_TRUE(decoded);
    identities.push_back(decoded->GetFieldsIdentity());
  }
  EXPECT_NE(identities[0], identities[1]);
  EXPECT_NE(identities[0], identities[2]);
  EXPECT_EQ(identities[0], identities[3]);
  // Refilling a spare of one layout with another gives it the other's columns.
  recycler.Recycle(decode(*two));
  EXPECT_TRUE(decode(*one));

  for (std::size_t i = 0; i <= TDataTableRecycler::kMaxLayouts; ++i) decode(*table({{fmt::format("F{}", i), "int"}}));
  auto late = decode(*table({{"Late", "double"}, {"Later", "string"}}));
  EXPECT_TRUE(late);
}

}  // namespace
}  // namespace kdp::host
