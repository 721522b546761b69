// The package's session with the host's quote engine.
//
// TKrHQSpeedImpl (one per process, G_GetHQSpeedImpl) attaches to the engine: it hands the engine the
// package's call-back (TKrSpeedCallBack), which tracks the connection state and hands out the package's
// configuration answers (TKrSpeedConfig), and it keeps the Speed user ID the engine was given.
//
// The call-back is the one place that decides whether the engine is connected (its last connect code is
// 0). Each change is stamped with the server time and handed to the main loop, where the session keeps it
// (Connection) and tells its connection listeners, in the order the engine reported the changes.
//
// Thread-safety: the engine calls the call-back and the configuration from threads of its own; their
// state is atomic or locked. The configuration answers from the host (any thread may ask it) and from
// package services it was handed on the main thread when the session attached (PrepareSources), never
// through the package's name look-up, which is main-thread only and may create services.
// TKrHQSpeedImpl itself is used on the main thread.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kdp/host/date_time.h"
#include "kdp/host/main_loop.h"
#include "kdp/host/security.h"
#include "kdp/host/speed.h"

namespace kdp {

class IKrHQSecurityManager;
class IRelatedSymbol;
class ITradeDateMgr;

// The package services the configuration's answers need, looked up on the main thread and then only
// read. Each may be nullptr (a package that is not started has no security manager).
struct TKrSpeedConfigSources {
  std::shared_ptr<IKrHQSecurityManager> SecurityManager;  // stock types; its resolution reads are read-only
  std::shared_ptr<IRelatedSymbol> RelatedSymbol;          // the A/H pairs; their reads are locked
  std::shared_ptr<ITradeDateMgr> TradeDateMgr;            // sessions; GetMarketTime(code) may be asked here
};

// The status handler: (sender, status). Runs on the engine's thread.
using SpeedStatusHandler = std::function<void(host::IInterface* sender, int status)>;

// The engine's connection as the package heard it: connected or not, since the server time of the last
// change (zero before the first change: the session starts connected).
struct TKrSpeedConnection {
  bool Connected = true;
  host::DateTime Since;
  bool operator==(const TKrSpeedConnection&) const = default;
};
using SpeedConnectionHandler = std::function<void(const TKrSpeedConnection& connection)>;

class TKrSpeedConfig final : public host::Implements<host::IConfig> {
 public:
  // Lists the machine's IPv4 addresses in dotted form.
  using AddressSource = std::function<std::vector<std::string>()>;

  // `addresses` defaults to resolving the machine's host name. Answers without sources until
  // PrepareSources runs.
  explicit TKrSpeedConfig(AddressSource addresses = {});

  // Looks up (creating on demand) the services the answers need and hands them to the engine's threads.
  // REQUIRES: the main thread.
  void PrepareSources();

  // "kora1#" + the last two parts of the first IPv4 address as a 16-bit value in upper-case hex, at
  // least four digits (10.1.2.3 gives kora1#0203); kora1#0101 when the machine has no address.
  std::string GetSpeedUserID() override;
  int GetBondPriceType() override { return 0; }
  // The code's trading sessions as HHMM values joined by "," ("930,1130,1300,1500"), as the trade date
  // manager gives them for the security; "" without a manager or a security.
  std::string GetTradeTime(const std::string& code) override;
  std::string GetStockType(const std::string& code) override;

  int GetClientType() const { return 80; }
  // The member code at `index` of a sector the engine names ("600000.SH" when there is none).
  std::string GetMember(const std::string& sectorName, int index);
  int GetMemberTotal(const std::string& sectorName);
  // 0 for the special sectors and the user's own sectors, -1 for every other name.
  int IsSystemSector(const std::string& sectorName);

  // The host's security of a code through a cache of at most 20 entries (a 21st code empties it first).
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code);
  std::size_t CachedSecurityCount();

 private:
  std::shared_ptr<const TKrSpeedConfigSources> Sources();

  std::mutex FSourcesLock;  // guards FSources (the pointer; what it points to is not changed)
  std::shared_ptr<const TKrSpeedConfigSources> FSources = std::make_shared<TKrSpeedConfigSources>();
  AddressSource FAddresses;
  std::mutex FAddressLock;  // guards the address list, filled on first use
  std::vector<std::string> FIPList;
  bool FIPListFilled = false;
  std::mutex FCacheLock;  // guards FSecurityCache
  std::map<std::string, std::shared_ptr<host::IKrSecurity>> FSecurityCache;
};

class TKrSpeedCallBack final : public host::Implements<host::ICallBack> {
 public:
  std::shared_ptr<host::IConfig> GetIConfig() override { return FConfig; }
  // Stores the code; when that changes IsConnected, hands the new state to the connection sink.
  int NotifyConnect(int code) override;
  int NotifyLEDChange(int status) override;

  // True while the last connect code is 0 (also before the first notification).
  bool IsConnected() const { return FConnectCode.load() == 0; }
  int GetStatus() const { return FSpeedStatus.load(); }
  void UpdateSpeedStatus(int status);
  void SetStatusHandler(SpeedStatusHandler handler);
  // Where changes of the connection go; called on the engine's thread, one change at a time, in order.
  void SetConnectionSink(SpeedConnectionHandler sink);
  const std::shared_ptr<TKrSpeedConfig>& GetConfig() const { return FConfig; }

 private:
  const std::shared_ptr<TKrSpeedConfig> FConfig = std::make_shared<TKrSpeedConfig>();  // made with the call-back
  std::mutex FLock;                                                                    // guards FStatusHandler
  SpeedStatusHandler FStatusHandler;
  std::atomic<int> FSpeedStatus{-1};
  std::atomic<int> FConnectCode{0};
  // Guards FConnectionSink and keeps a code's store and its hand-over together, so that changes
  // reported by two engine threads reach the sink in the order their codes were stored.
  std::mutex FConnectLock;
  SpeedConnectionHandler FConnectionSink;
};

class IHQSpeedImpl : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "F787C0C4-D49B-4490-835C-F0C377F6F31E";
  virtual std::shared_ptr<host::ISpeed> GetHQSpeed() = 0;
  virtual bool GetConnected() = 0;
  virtual std::string GetUserID() = 0;
  virtual void SetUserID(const std::string& id) = 0;
  virtual void SetOnUpdataSpeedStatus(SpeedStatusHandler handler) = 0;
};

class TKrHQSpeedImpl final : public host::Implements<IHQSpeedImpl> {
 public:
  TKrHQSpeedImpl();
  ~TKrHQSpeedImpl() override;
  std::shared_ptr<host::ISpeed> GetHQSpeed() override { return FSpeed; }
  bool GetConnected() override { return FCallBack && FCallBack->IsConnected(); }
  std::string GetUserID() override { return FUserID; }
  void SetUserID(const std::string& id) override { FUserID = id; }
  void SetOnUpdataSpeedStatus(SpeedStatusHandler handler) override;

  const std::shared_ptr<TKrSpeedCallBack>& CallBack() const { return FCallBack; }

  // The connection as the main loop last heard of it. Main thread.
  const TKrSpeedConnection& Connection() const { return FConnection; }
  // Listeners hear every later change of the connection on the main loop; a listener may add or remove
  // listeners (itself included) while it is told. Answers the ID that removes it. Main thread.
  int AddConnectionListener(SpeedConnectionHandler listener);
  void RemoveConnectionListener(int id);

 private:
  void InitSpeedCallback();
  void PublishConnection(const TKrSpeedConnection& connection);

  std::shared_ptr<host::ISpeed> FSpeed;
  std::shared_ptr<TKrSpeedCallBack> FCallBack;
  std::string FUserID;
  SpeedStatusHandler FStatusHandler;
  TKrSpeedConnection FConnection;
  std::map<int, std::shared_ptr<const SpeedConnectionHandler>> FConnectionListeners;
  int FLastListenerID = 0;
  host::MessageWindow FWindow;  // the engine's connection changes, handed to the main loop
};

// The engine, from the host context; nullptr without a context or an engine.
std::shared_ptr<host::ISpeed> G_GetSpeed();
// The session singleton, created (and attached to the engine) on first use.
std::shared_ptr<TKrHQSpeedImpl> G_GetHQSpeedImpl();
// Releases the session singleton; harmless when there is none.
void FreeHQSpeedImpl();

}  // namespace kdp
