// The host's quote engine ("Speed") as the package sees it.
//
// The package takes the engine from the context (IKrContext::GetSpeed, nullptr when the host runs
// without one). It subscribes field IDs of securities through a data request bound to its observer, sends
// numbered history commands with parameter sets the engine hands out, and asks the engine's market rules
// (sessions, exchange, time zone of a trade span). It implements three call-back interfaces: IObserver
// (data deliveries), ICallBack (connection state and configuration) and IConfig (answers to the engine).
//
// Replies are IDataSet tables whose cells may hold nested tables. A reply's top-level rows are packets:
// packet p holds its header table in column 0 and its body table in column 1. Texts inside data sets are
// in the engine's code page (936); field names and type names ("int", "double", "int64", "string") are
// ASCII.
//
// Threads: the engine calls IConfig from threads of its own; it delivers real-time quotes on the host's
// main loop and history replies on its own thread. The package does not marshal either.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/interface.h"

namespace kdp::host {

// A column's description: the field name at offset 0, the type name at offset 64, ANSI, zero-padded.
struct TFieldInfo {
  char name[32];
  char reserved[32];
  char typeName[32];
};
using PFieldInfo = const TFieldInfo*;

class IDataSet : public virtual IInterface {
 public:
  static constexpr Guid IID = "197A63AE-2086-4EC6-AC2E-47A2F09BFA68";
  virtual int GetRowCount() = 0;
  virtual int GetFieldCount() = 0;
  // nullptr for a column out of range.
  virtual PFieldInfo GetFieldInfo(int column) = 0;
  // Cell reads convert between numbers and text where they can; out of range or unconvertible gives 0,
  // "" or nullptr.
  virtual std::int32_t GetAsInteger(int row, int column) = 0;
  virtual std::int64_t GetAsInt64(int row, int column) = 0;
  virtual std::string GetAsString(int row, int column) = 0;
  virtual double GetAsDouble(int row, int column) = 0;
  virtual std::shared_ptr<IDataSet> GetAsDataSet(int row, int column) = 0;
  // Data sets answering the same pointer have the same field infos, for as long as one of them lives
  // unchanged (a table being built or refilled is read by nobody):
  // a reader of many data sets of one layout (a push's rows) compares their columns once. nullptr (the
  // default): not known, compare the field infos.
  virtual const void* GetFieldsIdentity() { return nullptr; }
};

// A request's parameters: text values by key.
class IParamSerialSet : public virtual IInterface {
 public:
  static constexpr Guid IID = "27D1D385-FAD3-4913-908F-89E17A00D5CA";
  virtual std::string GetValue(const std::string& key) = 0;  // "" when unset
  virtual void SetValue(const std::string& key, const std::string& value) = 0;
  virtual void Reset() = 0;
};

// One security of a subscription: its code and the field IDs wanted.
struct TKrSpeedSymbolData {
  std::string KoraCode;
  std::vector<std::uint32_t> ItemIDs;
};
using TKrSpeedSymbolDataList = std::vector<TKrSpeedSymbolData>;

class ISpeedDataRequestGroup : public virtual IInterface {
 public:
  static constexpr Guid IID = "8ED1B562-D016-4208-8BDA-B2EFFA9CD520";
  // Sends the requests queued on the group as one combined packet; returns how many were sent, -1 on error.
  virtual int Send() = 0;
};

class ISpeedDataRequest : public virtual IInterface {
 public:
  static constexpr Guid IID = "0452BB57-516F-4320-ACE8-F2E82AA2240F";
  // Replaces the request's real-time subscription; 0 on success.
  virtual int Subscribe(const TKrSpeedSymbolDataList& symbols) = 0;
  virtual int UnSubscribe() = 0;
  // A fresh parameter set for a command the engine knows; returns nonzero and fills `paramSet` then.
  virtual int GetParamSerialSet(int commandID, std::shared_ptr<IParamSerialSet>& paramSet) = 0;
  // Sends the command described by `paramSet` (alone, or queued on `group`); returns the request PID,
  // 0 when nothing was sent.
  virtual int Request(const std::shared_ptr<IParamSerialSet>& paramSet,
                      const std::shared_ptr<ISpeedDataRequestGroup>& group) = 0;
};

// Implemented by the package: where a data request delivers.
class IObserver : public virtual IInterface {
 public:
  static constexpr Guid IID = "D592C0BC-5AFA-43F9-96C5-7F6DE25E18CD";
  virtual int SaveQuoteData(const std::shared_ptr<IDataSet>& data) = 0;  // real-time quotes
  virtual int SetData(const std::shared_ptr<IDataSet>& data) = 0;        // a history reply
  virtual int NotifyReqResponse(int errCode, int returnID, int cmdID) = 0;
  virtual const void* GetQEStatus() = 0;
  virtual int NotifyHisData(int a, int b) = 0;
};

// Implemented by the package: the engine's questions about the user and the securities.
class IConfig : public virtual IInterface {
 public:
  static constexpr Guid IID = "F383367A-C021-4EC1-A14E-610442FE690D";
  virtual std::string GetSpeedUserID() = 0;  // ANSI
  virtual int GetBondPriceType() = 0;
  // The security's sessions as HHMM values joined by ","; "" when unknown.
  virtual std::string GetTradeTime(const std::string& code) = 0;
  // The security's stock type; "" when unknown.
  virtual std::string GetStockType(const std::string& code) = 0;
};

// Implemented by the package: connection state and the configuration.
class ICallBack : public virtual IInterface {
 public:
  static constexpr Guid IID = "172E9E1D-8BDB-4A14-ABA2-48F8F4A187CF";
  virtual std::shared_ptr<IConfig> GetIConfig() = 0;
  virtual int NotifyConnect(int code) = 0;      // 0: connected
  virtual int NotifyLEDChange(int status) = 0;  // -1: disconnected
};

// Questions to the engine's market rules (the host's trade-rule service), by a security's trade span text.
inline constexpr int kMarketInfoSessions = 602;  // answers a count n; `values` points at n HHMM session bounds
inline constexpr int kMarketInfoExchange = 604;  // answers 0 and fills `text` with the exchange name
inline constexpr int kMarketInfoTimeZone = 606;  // answers the zone in whole hours east of UTC

// What QueryMarketInfo fills. For question 602 the engine lends an array: `values` stays valid until the
// buffer is handed back to FreeMarketInfo with the same question, which the asker must do whenever the
// answer was positive. For 604, `text` holds the name, zero-terminated.
struct TMarketInfoBuffer {
  const std::int32_t* values = nullptr;
  char text[16] = {};
};

class ISpeed : public virtual IInterface {
 public:
  static constexpr Guid IID = "DAF06D56-2296-461A-A2A9-4A73F85AA37A";
  // A data request bound to `observer`; nullptr when the engine cannot make one.
  virtual std::shared_ptr<ISpeedDataRequest> CreateDataRequest(const std::shared_ptr<IObserver>& observer) = 0;
  virtual void SetCallBack(const std::shared_ptr<ICallBack>& callback) = 0;
  // Answers a market-rule question (kMarketInfo...); a negative answer means unknown.
  virtual int QueryMarketInfo(int kind, const std::string& argument, TMarketInfoBuffer& buffer) = 0;
  // Takes back the array QueryMarketInfo lent (`buffer.values` becomes nullptr); a buffer it did not lend
  // is left alone.
  virtual void FreeMarketInfo(int kind, TMarketInfoBuffer& buffer) = 0;
  virtual std::shared_ptr<ISpeedDataRequestGroup> CreateDataRequestGroup() = 0;
};

}  // namespace kdp::host
