// The format manager and its format items: how every quote field is shown.
//
// A format item knows, for one field in one group of HQ types, its format instruction (a number with two
// decimals and a unit, a date, a rating shown as stars, ...), the field it is compared with for colouring
// and the colour names for greater, less, equal and default. IKrHQFormatManager finds the item for a
// security (by its HQ type) and a field name or field ID; the package publishes it at start-up under the
// name "IKrHQFormatManager". docs/formatting.md lists the instructions with an example each.
//
// Items belong to the manager and are shared by all callers; a returned item keeps the manager alive.
// Texts never depend on the user's locale. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kdp/ui/ui_resources.h"
#include "kdp/host/interface.h"
#include "kdp/host/security.h"

namespace kdp {

class TKrHQFormatExp;

class IKrHQFormatItem : public virtual host::IInterface {
 public:
  static constexpr Guid IID = "B1AAEF39-E454-49DB-A2C3-6F1740AC2395";
  // Reads the value of another field of the same security, by field name.
  using FieldValueReader = std::function<double(const std::string& fieldName)>;

  // The display text of `value`: "-" for a value that is not a number, infinite or the empty-field
  // marker. `param` is an extra argument some instructions read (the currency of ROUNDUNITSYMBOL); a
  // `priceStep` above 0 sets the decimals of items that format by price step.
  // Throws EHQFormatError when a number instruction has an unreadable argument.
  virtual std::string CalcAndFormat(double value, const std::string& param, double priceStep) = 0;
  // Range instructions show "value~otherValue"; other instructions format `value` alone.
  virtual std::string CalcAndFormat(double value, double otherValue) = 0;
  // Date instructions show the year when `needYear` is set even where they leave it out.
  virtual std::string CalcAndFormat(double value, bool needYear) = 0;
  std::string CalcAndFormat(double value) { return CalcAndFormat(value, std::string(), 0.0); }
  std::string CalcAndFormat(double value, const char* param) = delete;  // would silently pick `needYear`
  // The same with the price step of the security.
  virtual std::string CalcAndFormatByKoraCode(double value, const std::string& param, const std::string& code) = 0;
  virtual std::string CalcAndFormatBySecurity(double value, const std::string& param,
                                              const std::shared_ptr<host::IKrSecurity>& security) = 0;
  // The text of a string field: enumerated codes as their texts, "%s" patterns applied, else unchanged.
  virtual std::string FormatSpecString(const std::string& text) = 0;

  // The colour name for a value: the default colour when `useDefault`; else equal (|v| < 1E-8), less
  // (negative) or greater (positive); with a compare value, of the difference.
  virtual std::string GetColorName(double value, bool useDefault) = 0;
  virtual std::string GetColorName(double value, double compareValue, bool useDefault) = 0;
  // The same as colours of `style` (the current style of "IKrHQStyleMgr" when null).
  virtual std::uint32_t GetColor(const std::shared_ptr<IKrHQStyle>& style, double value, bool useDefault) = 0;
  virtual std::uint32_t GetColor(const std::shared_ptr<IKrHQStyle>& style, double value, double compareValue,
                                 bool useDefault) = 0;
  virtual std::uint32_t GetColor(const std::shared_ptr<IKrHQStyle>& style, double value,
                                 const std::string& compareField, const FieldValueReader& fieldValue,
                                 bool useDefault) = 0;
  // The colour rule of number fields: against the field the item compares with, against 0 for
  // "{$ZERO}", and the default colour when it compares with nothing.
  virtual std::string GetDoubleFormatColorName(double value, const FieldValueReader& fieldValue) = 0;
  virtual std::uint32_t GetDoubleFormatColor(const std::shared_ptr<IKrHQStyle>& style, double value,
                                             const FieldValueReader& fieldValue) = 0;

  virtual std::string GetCompareString() = 0;  // the field compared for colouring
  virtual std::string GetIndexName() = 0;      // the field this item formats
  virtual std::string GetFormatText() = 0;
  virtual bool GetUsePriceStep() = 0;
  // Field IDs a computed field reads (directly, and through second-guide variables).
  virtual std::vector<int> GetDataList() = 0;
  virtual std::vector<int> GetSecondDataList() = 0;
  virtual void AppendDataList(int fieldID) = 0;
  virtual void AppendDataList(const std::vector<int>& fieldIDs) = 0;
  // The computed field's expression (package-internal); nullptr for a delivered field.
  virtual TKrHQFormatExp* GetHQFormatExp() = 0;
  virtual void SetExpressions(const std::string& text) = 0;
  // True for date instructions that show a year and a month but no day.
  virtual bool IsOnlyShowYearMonth() = 0;
};

class IKrHQFormatManager : public virtual host::IInterface {
 public:
  static constexpr Guid IID = "DC52A7C7-E405-4844-88CA-F517805BC964";
  // By field name: the item of the security's HQ type group, else of "SUPERMARKET_FORMATITEMS"; nullptr
  // when neither has it or the security is unknown.
  virtual std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByName(const std::string& code, const std::string& name) = 0;
  virtual std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByName(const std::shared_ptr<host::IKrSecurity>& security,
                                                                  const std::string& name) = 0;
  virtual std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByName(int hqTypeID, const std::string& name) = 0;
  // By field ID: the group of the HQ type (else "A.SH"), the field's item there (else "NewPrice"'s), and
  // "SUPERMARKET_FORMATITEMS" last.
  virtual std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByID(const std::string& code, int fieldID) = 0;
  virtual std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByID(const std::shared_ptr<host::IKrSecurity>& security,
                                                                int fieldID) = 0;
  virtual std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByID(int hqTypeID, int fieldID) = 0;
};

}  // namespace kdp
