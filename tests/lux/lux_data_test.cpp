// Lux items and tables: name order, serial strings, table bounds, shared rows and clones, and the
// well-known-field helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kdp/lux/lux_data.h"
#include "lux/lux_data_item.h"
#include "lux/lux_data_table.h"
#include "lux_test_support.h"

namespace kdp {
namespace {

using testing::IdsOf;
using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Fields(IKrLuxDataItem& item) {
  Pairs pairs;
  for (int i = 0; i < item.GetIndexCount(); ++i)
    pairs.emplace_back(item.GetIndexByOrder(i), item.GetIndexValueByOrder(i));
  return pairs;
}

std::shared_ptr<IKrLuxDataItem> Row(const std::string& id) {
  auto item = NewLuxDataItem();
  item->SetIndexValue("ID", id);
  return item;
}

TEST(LuxDataItem, NamesKeepTheOrderTheyWereFirstSetInAndClonesTheirOwn) {
  TKrLuxDataItem item;
  item.SetIndexValue("A", "1");
  item.SetIndexValue("B", "2");
  item.SetIndexValue("A", "one, longer");  // a new length: the buffer is laid out again
  item.SetIndexValue("C", "3");
  item.SetIndexValue("B", "x");  // same length: overwritten in place
  EXPECT_EQ(Fields(item), (Pairs{{"A", "one, longer"}, {"B", "x"}, {"C", "3"}}));
  EXPECT_EQ(item.GetSerialStr(), "A♀one, longer♂B♀x♂C♀3");

  // Names are exact: another case is another field.
  item.SetIndexValue("a", "lower");
  EXPECT_EQ(item.GetIndexValue("A"), "one, longer");
  EXPECT_EQ(item.GetIndexValue("a"), "lower");

  EXPECT_EQ(item.GetIndexByOrder(-1), "");
  EXPECT_EQ(item.GetIndexByOrder(item.GetIndexCount()), "");
  EXPECT_EQ(item.GetIndexValueByOrder(99), "");
  EXPECT_EQ(item.GetIndexValue("missing"), "");
  EXPECT_EQ(item.GetIndexValue(""), "");

  // A clone and its source change apart.
  auto clone = item.Clone();
  clone->SetIndexValue("B", "changed in the clone");
  item.SetIndexValue("C", "4");
  EXPECT_EQ(Fields(*clone), (Pairs{{"A", "one, longer"}, {"B", "changed in the clone"}, {"C", "3"}, {"a", "lower"}}));
  EXPECT_EQ(item.GetIndexValue("B"), "x");
}

TEST(LuxDataItem, SerialStringsRoundTripOrAreRepaired) {
  struct Case {
    std::string text;
    Pairs fields;
    std::string serial;  // GetSerialStr afterwards
  };
  // Awkward text goes through unchanged.
  const std::string awkward =
      std::string("Title♀两个 词  with blanks ♂Quote♀say \"hi\" and 'bye'♂Ctrl♀tab\tnew\nline\rnul") + '\0' +
      "end♂Empty♀♂URL♀http://x.example/a?b=1&c=2♂Near♀\xE2\x99\x81 is neither separator";
  const std::vector<Case> cases{
      {awkward,
       {{"Title", "两个 词  with blanks "},
        {"Quote", "say \"hi\" and 'bye'"},
        {"Ctrl", std::string("tab\tnew\nline\rnul") + '\0' + "end"},
        {"Empty", ""},
        {"URL", "http://x.example/a?b=1&c=2"},
        {"Near", "\xE2\x99\x81 is neither separator"}},
       awkward},
      {"Title♀x♂ID♀7", {{"Title", "x"}, {"ID", "7"}}, "Title♀x♂ID♀7"},  // the documented example
      {"", {}, ""},
      {"Title", {}, ""},                                       // no "♀": ignored
      {"A♀1♂", {{"A", "1"}}, "A♀1"},                           // an empty last part
      {"♂A♀1♂♂B♀2", {{"A", "1"}, {"B", "2"}}, "A♀1♂B♀2"},      // empty parts anywhere
      {"A♀1♀extra♂B♀2", {{"A", "1"}, {"B", "2"}}, "A♀1♂B♀2"},  // pieces after the second dropped
      {"A♀1♂A♀2", {{"A", "2"}}, "A♀2"},                        // a later pair overwrites, keeping the place
      {"A♀♂B♀", {{"A", ""}, {"B", ""}}, "A♀♂B♀"},              // empty values are values
      {"♀v♂B♀2", {{"", ""}, {"B", "2"}}, "B♀2"},  // an empty name is kept (its value reads ""), never written
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TKrLuxDataItem item;
    item.SetIndexValue("Old", "value");
    item.SetSerialStr(c.text);
    EXPECT_EQ(Fields(item), c.fields);
    EXPECT_EQ(item.GetSerialStr(), c.serial);
  }
}

TEST(LuxDataItem, AValueReadFromTheItemItselfCanBeSetAgain) {
  TKrLuxDataItem item;
  item.SetIndexValue("ID", "N2026120400017");
  for (int i = 0; i < 40; ++i) item.SetIndexValue("Copy" + std::to_string(i), item.FindIndexValue("ID"));
  item.SetIndexValue("ID", item.FindIndexValue("Copy39").substr(1));  // shorter: the buffer is laid out again
  EXPECT_EQ(item.GetIndexValue("Copy0"), "N2026120400017");
  EXPECT_EQ(item.GetIndexValue("Copy39"), "N2026120400017");
  EXPECT_EQ(item.GetIndexValue("ID"), "2026120400017");
}

TEST(LuxDataTable, InsertAndRemoveRespectTheirBounds) {
  auto table = std::make_shared<TKrLuxDataTable>();
  EXPECT_FALSE(table->InsertRow(1));
  EXPECT_FALSE(table->InsertRow(-1));
  EXPECT_TRUE(table->InsertRow(0));  // an empty table accepts row 0
  EXPECT_EQ(table->GetRowCount(), 1);
  EXPECT_FALSE(table->InsertRow(2));
  EXPECT_TRUE(table->InsertRow(1, Row("end")));  // count appends
  EXPECT_TRUE(table->InsertRow(0, nullptr));     // null inserts an empty row
  EXPECT_EQ(IdsOf(table), (std::vector<std::string>{"", "", "end"}));

  EXPECT_EQ(table->RemoveRow(5), nullptr);
  EXPECT_EQ(table->RemoveRow(-1), nullptr);
  EXPECT_EQ(table->GetRowCount(), 3);
  auto removed = table->RemoveRow(2);
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->GetIndexValue("ID"), "end");
  EXPECT_EQ(table->GetRowCount(), 2);

  EXPECT_EQ(table->GetColCount(5), 0);
  EXPECT_EQ(table->GetRowItem(2), nullptr);
  table->SetIndexValue(7, "ID", "ignored");
  table->SetIndexValue(-1, 0, "ignored");
  EXPECT_EQ(table->GetIndexValue(7, "ID"), "");
  EXPECT_EQ(table->GetIndex(7, 0), "");
  EXPECT_EQ(table->AddRow(nullptr), 2);
  EXPECT_EQ(table->GetRowCount(), 3);
}

TEST(LuxDataTable, InsertTableNeedsAnExistingRowAndKeepsOrder) {
  auto inserted = NewLuxDataTable();
  inserted->AddRow(Row("t1"));
  inserted->AddRow(Row("t2"));

  TKrLuxDataTable empty;
  EXPECT_FALSE(empty.InsertTable(0, inserted));
  EXPECT_EQ(empty.GetRowCount(), 0);

  auto table = std::make_shared<TKrLuxDataTable>();
  table->AddRow(Row("a"));
  table->AddRow(Row("b"));
  EXPECT_FALSE(table->InsertTable(table->GetRowCount(), inserted));  // not at the end
  EXPECT_FALSE(table->InsertTable(0, nullptr));
  EXPECT_TRUE(table->InsertTable(0, inserted));
  EXPECT_TRUE(table->InsertTable(3, inserted));
  EXPECT_EQ(IdsOf(table), (std::vector<std::string>{"t1", "t2", "a", "t1", "t2", "b"}));
}

TEST(LuxDataTable, RowsAreSharedByReferenceUntilCloned) {
  auto source = NewLuxDataTable();
  source->AddRow(Row("1"));
  source->AddRow(Row("2"));
  auto shared = NewLuxDataTable();
  EXPECT_FALSE(shared->AddTable(nullptr));
  EXPECT_TRUE(shared->AddTable(source));
  auto clone = source->Clone();

  source->SetIndexValue(0, "Title", "seen by the sharer");
  EXPECT_EQ(shared->GetIndexValue(0, "Title"), "seen by the sharer");
  EXPECT_EQ(clone->GetIndexValue(0, "Title"), "");

  // A table added to itself doubles, sharing its rows.
  EXPECT_TRUE(source->AddTable(source));
  EXPECT_EQ(IdsOf(source), (std::vector<std::string>{"1", "2", "1", "2"}));
  EXPECT_EQ(source->GetRowItem(0), source->GetRowItem(2));

  source->Reverse();
  EXPECT_EQ(IdsOf(source), (std::vector<std::string>{"2", "1", "2", "1"}));
  EXPECT_EQ(IdsOf(clone), (std::vector<std::string>{"1", "2"}));
}

TEST(LuxDataTable, LookUpAndSetByNameOrPosition) {
  TKrLuxDataTable table;
  EXPECT_EQ(table.GetRowByIndex("ID", "7"), -1);
  table.AddRow(Row("3"));
  table.AddRow(Row("7"));
  table.AddRow(Row("7"));
  EXPECT_EQ(table.GetRowByIndex("ID", "7"), 1);  // the first match
  EXPECT_EQ(table.GetRowByIndex("id", "7"), -1);

  table.SetIndexValue(1, "Title", "t");
  EXPECT_EQ(table.GetColCount(1), 2);
  EXPECT_EQ(table.GetIndex(1, 1), "Title");
  table.SetIndexValue(1, 1, "by position");
  EXPECT_EQ(table.GetIndexValue(1, "Title"), "by position");
  EXPECT_EQ(table.GetIndexValue(1, 0), "7");
  // A position outside the row's fields names the field "".
  table.SetIndexValue(1, 5, "nameless");
  EXPECT_EQ(table.GetColCount(1), 3);
  EXPECT_EQ(table.GetIndex(1, 2), "");
}

TEST(LuxItemFields, WellKnownFieldsAndTheirWords) {
  auto item = NewLuxDataItem();
  EXPECT_EQ(GetAttechmentTypeFromDataItem(item), atNone);
  EXPECT_EQ(GetIDFromDataItem(nullptr), "");
  EXPECT_FALSE(GetBrowsedFromDataItem(nullptr));

  const std::vector<std::pair<std::string, TAttechmentType>> words{
      {"NONE", atNone}, {"PDF", atPdf},           {"DOC", atWord}, {"HTML", atHtml},
      {"MANY", atMany}, {"INTERNET", atInternet}, {"XLS", atXls},  {"INTERNET_TWO", atInternetTwo},
      {"PPT", atPPT},   {"pdf", atNone},          {"Doc", atNone}, {"", atNone}};
  for (const auto& [word, type] : words) {
    SCOPED_TRACE(word);
    item->SetIndexValue("AttechmentType", word);
    EXPECT_EQ(GetAttechmentTypeFromDataItem(item), type);
  }

  item->SetIndexValue("Browsed", "true");
  EXPECT_FALSE(GetBrowsedFromDataItem(item));
  item->SetIndexValue("Browsed", "True");
  EXPECT_TRUE(GetBrowsedFromDataItem(item));
  item->SetIndexValue("UserStockType", "ResearchReport");
  EXPECT_TRUE(GetNeedGetResearchReportAttachment(item));
  item->SetIndexValue("UserStockType", "News");
  EXPECT_FALSE(GetNeedGetResearchReportAttachment(item));
  EXPECT_FALSE(GetLuxImportantMark(item));
  item->SetIndexValue("luximportantmark", "0");
  EXPECT_TRUE(GetLuxImportantMark(item));
  item->SetIndexValue("section", "337010,337020");
  EXPECT_EQ(GetSectionFromDataItem(item), "337010,337020");

  const std::vector<std::pair<std::string, std::string>> extensions{
      {"pdf", "PDF"}, {"Docx", "DOC"}, {"rtf", "DOC"},   {"DOC", "DOC"},   {"xlsm", "XLS"}, {"XLSX", "XLS"},
      {"xls", "XLS"}, {"ppt", "PPT"},  {"pptx", "NONE"}, {"html", "HTML"}, {"htm", "NONE"}, {"", "NONE"}};
  for (const auto& [ext, word] : extensions) {
    SCOPED_TRACE(ext);
    EXPECT_EQ(StrToAttechmentType(ext), word);
  }

  EXPECT_EQ(FormateDate("20240105"), "2024-01-05");
  EXPECT_EQ(FomateDate("20240105"), "2024-01-05");
  EXPECT_EQ(FormateDate("202401"), "2024-01-");
  EXPECT_EQ(FormateDate("20"), "20--");
  EXPECT_EQ(FormateDate("2024010599"), "2024-01-05");
}

}  // namespace
}  // namespace kdp
