// Real-time items and the real-time cache.
//
// An item (IRTDItem) holds the latest quote fields of one security: numbers, texts and integers keyed by
// field ID, each with a flag byte saying whether the field was delivered, was part of the last update,
// holds a value, and whether the user may see it. The cache (IRTDCache) holds the items of the subscribed
// securities by code. Quote updates are written with SetRealTimeData; widgets, format items and reminders
// read values back by field ID or name. In history play an item's reads are answered by an outside
// provider (IKrHisPlayDataProvider) instead of its own store.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/security.h"
#include "kdp/speed/speed_quote_data.h"

namespace kdp {

class IKrHQSecurityManager;

// Flag-byte bits.
inline constexpr std::uint8_t GLOBALRT_DATA_FLAGS_SUBSCRIBE = 1;   // delivered by a subscription
inline constexpr std::uint8_t GLOBALRT_DATA_FLAGS_LASTUPDATE = 2;  // part of the most recent update
inline constexpr std::uint8_t GLOBALRT_DATA_FLAGS_HASVALUE = 4;    // holds a delivered value
inline constexpr std::uint8_t GLOBALRT_DATA_FLAGS_NORIGHT = 8;     // the user may not see the field

// GetDoubleSpecialDataByID: the minute digit of a suspension.
inline constexpr int REALTIME_SPECIALDATA_SUSPENSIONMINUTE = 1;

// Whoever drives a history play answers an item's reads while the play runs.
class IKrHisPlayDataProvider : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "E0AFAAFA-9515-4B5C-931F-F72DB0F623D3";
  using NotifyCallback = std::function<void(const std::string& codes)>;

  // Registers a listener told (with the codes, comma-separated) when new history values are available;
  // returns its registration ID.
  virtual int RegisterNotify(NotifyCallback callback) = 0;
  // The play's current date-time (days since 1899-12-30).
  virtual double GetPlayDateTime() = 0;
  // Plays `codes` (one code, or several joined by "," for play type 3) for a registration.
  virtual void Play(const std::string& codes, int registrationID, int playType) = 0;
  // Drops a registration.
  virtual void Drop(int registrationID) = 0;
  virtual double GetDoubleValue(std::uint32_t fieldID, const std::string& code, int playType) = 0;
  virtual std::string GetStringValue(std::uint32_t fieldID, const std::string& code, int playType) = 0;
  virtual std::int32_t GetIntValue(std::uint32_t fieldID, const std::string& code, int playType) = 0;
};

class IRTDPermission : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "F52E6921-F8CB-463B-9AF3-357149D8A720";
  // False when the field's flag byte has the no-right bit; true otherwise (also without a flag byte).
  virtual bool HasPermissionByID(std::uint32_t id) = 0;
  // True for a name the dictionary does not know.
  virtual bool HasPermissionByName(const std::string& name) = 0;
  virtual void SetHasPermissionByID(std::uint32_t id, bool allowed) = 0;
  virtual void SetHasPermissionByName(const std::string& name, bool allowed) = 0;
};

class IRTDItem : public virtual IRTDPermission {
 public:
  static constexpr host::Guid IID = "D68ED122-6008-490D-A784-51FB29CA8EBA";

  virtual std::string GetSecondarySecurityID() = 0;
  virtual void SetSecondarySecurityID(const std::string& id) = 0;
  virtual std::shared_ptr<host::IKrSecurity> GetIKrSecurity() = 0;
  virtual void SetIKrSecurity(std::shared_ptr<host::IKrSecurity> security) = 0;
  virtual std::string GetKoraCode() = 0;
  virtual void SetKoraCode(const std::string& code) = 0;
  virtual std::shared_ptr<IKrHQSecurityManager> GetIKrHQSecurityMgr() = 0;

  // The stored number (0 without one), or the history provider's; fields 1, 2, 1027 and 1028 are shown
  // in the user's chosen time zone.
  virtual double GetDoubleDataByID(std::uint32_t id) = 0;
  // A known name reads by ID; an unknown name is a computed field of the format columns.
  virtual double GetDoubleDataByName(const std::string& name) = 0;
  virtual std::string GetStringDataByID(std::uint32_t id) = 0;
  virtual std::string GetStringDataByName(const std::string& name) = 0;
  virtual std::int32_t GetIntDataByID(std::uint32_t id) = 0;
  // False exactly when the field was delivered and holds a value (in history play: IDs below 10001).
  virtual bool IsNullByID(std::uint32_t id) = 0;
  virtual bool IsNullByName(const std::string& name) = 0;
  // Clears every value but the trade date.
  virtual void ClearAllData() = 0;
  virtual void SetRealTimeData(const TSpeedQuoteData& quoteData) = 0;
  // Has no effect.
  virtual void UpdateRealTimeDataItem(const TSpeedQuoteData& quoteData) = 0;
  // The IDs that were part of the last update, in ID order.
  virtual std::vector<std::uint32_t> GetUpdateIndexList() = 0;
  virtual int RefCount() = 0;
  virtual bool IsValid() = 0;
  virtual void SetIsValid(bool valid) = 0;
  // Clears everything, the trade date and the flag bytes too.
  virtual void Reset() = 0;
  virtual void SetHQSecurityManager(std::shared_ptr<IKrHQSecurityManager> manager) = 0;
  virtual double GetDoubleSpecialDataByID(int id) = 0;
  virtual bool GetIsHisPlay() = 0;
  virtual void SetIsHisPlay(bool value) = 0;
  virtual int GetPlayType() = 0;
  virtual void SetPlayType(int value) = 0;
  virtual std::shared_ptr<IKrHisPlayDataProvider> GetIKrHisPlayDataProvider() = 0;
  virtual void SetIKrHisPlayDataProvider(std::shared_ptr<IKrHisPlayDataProvider> provider) = 0;
  // As GetDoubleDataByID without the time-zone shift, answering 9999999999999.7 for a field without a value.
  virtual double GetDoubleDataByID2(std::uint32_t id) = 0;
};

// One security of a subscription and the field IDs wanted.
struct TKrRealTimeSymbolData {
  std::string FKoraCode;
  std::int32_t FItemNum = 0;
  std::vector<std::uint32_t> FItemArray;
};

// A subscription: per security the field IDs wanted. An index past the end reads as empty and is ignored
// by the setters.
class TKrRealTimeParamStructure {
 public:
  explicit TKrRealTimeParamStructure(int count = 0) { SetItemLength(count); }

  int GetCount() const { return static_cast<int>(FSymbList.size()); }
  void AddOneItem() { SetItemLength(GetCount() + 1); }
  void SetItemLength(int n) { FSymbList.resize(static_cast<std::size_t>(n < 0 ? 0 : n)); }
  std::string GetKoraCode(int i) const { return Valid(i) ? FSymbList[Index(i)].FKoraCode : std::string(); }
  void SetKoraCode(int i, const std::string& code) {
    if (Valid(i)) FSymbList[Index(i)].FKoraCode = code;
  }
  int GetItemNum(int i) const { return Valid(i) ? FSymbList[Index(i)].FItemNum : 0; }
  void SetItemNum(int i, int n) {
    if (Valid(i)) FSymbList[Index(i)].FItemNum = n;
  }
  std::vector<std::uint32_t> GetItemArray(int i) const {
    return Valid(i) ? FSymbList[Index(i)].FItemArray : std::vector<std::uint32_t>();
  }
  void SetItemArray(int i, const std::vector<std::uint32_t>& ids) {
    if (!Valid(i)) return;
    FSymbList[Index(i)].FItemArray = ids;
    FSymbList[Index(i)].FItemNum = static_cast<std::int32_t>(ids.size());
  }
  void ClearData() { FSymbList.clear(); }
  TKrRealTimeParamStructure Clone() const { return *this; }
  const std::vector<TKrRealTimeSymbolData>& Symbols() const { return FSymbList; }

 private:
  bool Valid(int i) const { return i >= 0 && i < GetCount(); }
  static std::size_t Index(int i) { return static_cast<std::size_t>(i); }
  std::vector<TKrRealTimeSymbolData> FSymbList;
};

class IRTDCache : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "035B4FC0-018C-4987-A4DC-49E1057ADC13";
  virtual void SetUpdateList(const std::vector<std::string>& codes) = 0;
  // The item stored under the upper-cased code, or nullptr.
  virtual std::shared_ptr<IRTDItem> GetRealTimeItem(const std::string& code) = 0;
  // Has no effect.
  virtual void UpdateRealTimeDataCode(const TKrRealTimeParamStructure& symbols) = 0;
  virtual const std::vector<std::string>& GetUpdateSecurityList() = 0;
  virtual void RemoveRealTimeItem(const std::shared_ptr<IRTDItem>& item) = 0;
  // A new valid item stored under `code` exactly as given (replacing one stored there).
  virtual std::shared_ptr<IRTDItem> AddRTDItem(const std::string& code,
                                               std::shared_ptr<host::IKrSecurity> security) = 0;
  virtual void SetHQSecurityManager(std::shared_ptr<IKrHQSecurityManager> manager) = 0;
  virtual std::shared_ptr<IKrHQSecurityManager> GetHQSecurityManager() = 0;
  // The cached codes, sorted without regard to case. Valid until the cache changes.
  virtual const std::vector<std::string>& GetRealTimeItemList() = 0;
  // Removes the items of `codes` that `wanted` no longer has (exact comparison).
  virtual void ClearDiffCodes(const std::vector<std::string>& codes, const TKrRealTimeParamStructure& wanted) = 0;
};

// A new, empty real-time cache.
std::shared_ptr<IRTDCache> CreateRTDCache();

}  // namespace kdp
