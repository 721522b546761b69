// Lux data items and tables: every piece of Lux information the package hands to a widget (a headline,
// an announcement, a research report, a bond quote, a sector tree node) is a row of text fields keyed by
// name, and a delivery is an ordered list of such rows.
//
// An item keeps its field names in the order they were first set. Its serial string holds every field
// with a non-empty name as name "♀" value, pairs joined by "♂", without escaping: a field whose name or
// value holds one of the two separators does not survive a round trip.
//
// Items and tables are reference-counted and carry no lock: an object is used by one thread at a time.
// A table parsed on the Lux client's thread is handed to the main thread whole and read there only.
// Tables share rows by reference (AddTable, InsertTable); Clone copies them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "kdp/host/interface.h"
#include "kdp/lux/lux_types.h"

namespace kdp {

class IKrLuxDataItem : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "A4DA2B86-0DF5-4412-9DB0-2A4EF88D7B58";

  // Sets a field: a new name goes after the others; an existing one keeps its place.
  virtual void SetIndexValue(std::string_view name, std::string_view value) = 0;
  // The value, or "" when the name is empty or absent. Names compare exactly.
  virtual std::string GetIndexValue(std::string_view name) = 0;
  virtual int GetIndexCount() = 0;
  // The name at a position of the name order; "" outside 0 to count-1.
  virtual std::string GetIndexByOrder(int index) = 0;
  virtual std::string GetIndexValueByOrder(int index) = 0;
  // A new item with the same fields in the same order.
  virtual std::shared_ptr<IKrLuxDataItem> Clone() = 0;
  virtual std::string GetSerialStr() = 0;
  // Replaces every field by the pairs of a serial string. A part without "♀" is ignored; pieces after
  // the second of a part are dropped; a later pair of the same name overwrites the earlier value.
  virtual void SetSerialStr(std::string_view text) = 0;
};

// An ordered list of rows. A row number is valid when 0 <= row < row count; rows may differ in fields.
class IKrLuxDataTable : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "D39AD436-A47B-4465-8392-6493E74C68EA";
  using ItemPtr = std::shared_ptr<IKrLuxDataItem>;
  using TablePtr = std::shared_ptr<IKrLuxDataTable>;

  // Appends a new empty row; its row number.
  virtual int AddRow() = 0;
  // Appends `item` (a new empty row for null); its row number.
  virtual int AddRow(ItemPtr item) = 0;
  // Appends the rows of `table` by reference; false for null.
  virtual bool AddTable(const TablePtr& table) = 0;
  // Inserts a new empty row at 0 to count (count appends); false elsewhere.
  virtual bool InsertRow(int row) = 0;
  // The same with a given item (null inserts a new empty row).
  virtual bool InsertRow(int row, ItemPtr item) = 0;
  // Inserts the rows of `table` at row, row+1, ... in their order. REQUIRES a valid row, so a table goes
  // before an existing row, never at the end nor into an empty table: false, and nothing changes.
  virtual bool InsertTable(int row, const TablePtr& table) = 0;
  // Removes and returns a row; null for an invalid row.
  virtual ItemPtr RemoveRow(int row) = 0;
  virtual void Clear() = 0;
  virtual int GetRowCount() = 0;
  // The field count of a row; 0 for an invalid row.
  virtual int GetColCount(int row) = 0;
  // The first row whose field `name` equals `value` exactly; -1 when none.
  virtual int GetRowByIndex(std::string_view name, std::string_view value) = 0;
  // Set a field of a valid row (ignored otherwise). By position: the field named at `col` of the row's
  // name order; a position outside it names the field "".
  virtual void SetIndexValue(int row, std::string_view name, std::string_view value) = 0;
  virtual void SetIndexValue(int row, int col, std::string_view value) = 0;
  virtual std::string GetIndexValue(int row, std::string_view name) = 0;
  virtual std::string GetIndexValue(int row, int col) = 0;
  // The field name at a position of a row; "" for an invalid row.
  virtual std::string GetIndex(int row, int col) = 0;
  // The row by reference; null for an invalid row.
  virtual ItemPtr GetRowItem(int row) = 0;
  virtual void Reverse() = 0;
  // A new table of clones of the rows, in row order.
  virtual TablePtr Clone() = 0;
};

// The named parameters of a subscription, and whether the user's authority level must be checked
// before subscribing (true unless a processor says otherwise).
class IKrLuxDataIndexQuotaSubInfo : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "0C22E15B-3311-4947-B167-685CEAD42DD2";

  virtual void SetIndexQuotaValue(std::string_view name, std::string_view value) = 0;
  virtual std::string GetIndexQuotaValue(std::string_view name) = 0;
  virtual int GetIndexQuotaCount() = 0;
  virtual std::string GetIndexQuotaByOrder(int index) = 0;
  virtual std::string GetIndexQuotaValueByOrder(int index) = 0;
  virtual bool IsUseAuthLevel() = 0;
};

// New, empty objects.
std::shared_ptr<IKrLuxDataItem> NewLuxDataItem();
std::shared_ptr<IKrLuxDataTable> NewLuxDataTable();

// ---- well-known fields of an item (raw values; "" or false for a null item) ----
std::string GetIDFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);        // "ID"
std::string GetNewsDateFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);  // "NewsDate"
std::string GetURLFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);       // "URL"
std::string GetTitleFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);     // "Title"
std::string GetColumnFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);    // "Column"
std::string GetSourceFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);    // "Source"
bool GetBrowsedFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);          // "Browsed" is "True"
std::string GetAbstractFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);  // "Abstract"
// "AttechmentType": the exact words "NONE", "PDF", "DOC", "HTML", "MANY", "INTERNET", "XLS",
// "INTERNET_TWO", "PPT"; anything else is atNone.
TAttechmentType GetAttechmentTypeFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);
std::string GetAttechmentUrlFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);  // "AttechmentUrl"
bool GetNeedGetResearchReportAttachment(
    const std::shared_ptr<IKrLuxDataItem>& item);                           // "UserStockType" is "ResearchReport"
std::string GetTagcode(const std::shared_ptr<IKrLuxDataItem>& item);        // "Tagcode"
std::string GetRpgendatetime(const std::shared_ptr<IKrLuxDataItem>& item);  // "Rpgendatetime"
std::string GetAnnouncementContentFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);  // "Content"
bool GetLuxImportantMark(const std::shared_ptr<IKrLuxDataItem>& item);            // "luximportantmark" is not empty
std::string GetSectionFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item);  // "section"

// ---- helpers ----
// A file extension as an attachment-type word: "PDF"; "DOC" for DOC, DOCX, RTF; "XLS" for XLS, XLSX,
// XLSM; "PPT"; "HTML"; "NONE" for anything else. Any case.
std::string StrToAttechmentType(std::string_view extension);
// "yyyymmdd" as "yyyy-mm-dd": characters 1-4, "-", 5-6, "-", 7-8, without validation (a shorter text
// gives the pieces that exist).
std::string FormateDate(std::string_view compact);
inline std::string FomateDate(std::string_view compact) { return FormateDate(compact); }

}  // namespace kdp
