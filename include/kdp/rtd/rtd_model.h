// TKrRTDModel: what a widget that shows real-time quotes owns. The widget hands the model a subscription
// (per security the field IDs wanted); the model keeps its own real-time cache filled from the quote
// engine (field IDs 0 to 9999) and the cloud index manager (10001 to 20000), and tells the widget when
// new data arrived. Values come back raw or formatted and coloured through per-security format items.
// In history play the model subscribes nothing: it registers with a history-play provider and lets the
// cache items read through it.
//
// The quote-engine subscribers of all models share one engine request (the package's quote feed): each
// push is read once and its prepared rows (kdp/rtd/rtd_quote_rows.h) are shared by every model that
// stores them, each model taking the rows and fields it subscribed.
//
// The widget's notification carries the quote engine's connection (TRTDUpdateState): a live model tells
// its widget when the connection drops and when it comes back, and marks its data stale from the drop until
// the first delivery after the connection is back. The package restores the engine subscription after a
// reconnection by itself; the widget asks for nothing. A widget that sets a notification without arguments
// hears data only.
//
// Main thread only: the quote engine delivers on the host's main loop and the model writes its cache
// inside that delivery, without locks; connection changes reach the model on the main loop too.
//
// Replies are outside bytes: a delivery never throws back into its source and never leaves an update
// half written. What the cache cannot keep (fields the dictionary does not define, IDs or values without
// a pair, rows without a usable code) is dropped and logged once per reply; the rest is stored. Codes are
// cut to 30 characters in replies and in subscriptions alike.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "kdp/cloud/cloud_indexs.h"
#include "kdp/rtd/rtd_format_item.h"
#include "kdp/rtd/rtd_item.h"
#include "kdp/rtd/rtd_quote_rows.h"
#include "kdp/speed/speed_quote_data.h"
#include "kdp/speed/speed_session.h"

namespace kdp {

using TNotifyRTDUpdate = std::function<void()>;
// What a widget hears with each notification.
struct TRTDUpdateState {
  TKrSpeedConnection Connection;   // the quote engine's connection, as the package last heard it
  bool Stale = false;              // the data may be old: no delivery since the connection came back
  bool ConnectionChanged = false;  // the notification is about the connection and brings no data
};
using TNotifyRTDUpdateState = std::function<void(const TRTDUpdateState& state)>;
using TGetSecurity = std::function<std::shared_ptr<host::IKrSecurity>(const std::string& code)>;

class TKrRTDProvider;  // the model's subscribers (rtd/rtd_provider.h)

class TKrRTDModel {
 public:
  TKrRTDModel();
  ~TKrRTDModel();
  TKrRTDModel(const TKrRTDModel&) = delete;
  TKrRTDModel& operator=(const TKrRTDModel&) = delete;

  // Data only: connection changes are not told. Replaces a notification with the state.
  void SetUpdateNotify(TNotifyRTDUpdate notify) {
    FDataNotify = std::move(notify);
    FUpdateNotify = nullptr;
  }
  // Data and connection changes, each with the state. Replaces a data-only notification.
  void SetUpdateNotify(TNotifyRTDUpdateState notify) {
    FUpdateNotify = std::move(notify);
    FDataNotify = nullptr;
  }
  // Up to two addresses the notify reads first (its widget's own fields), fetched ahead of the delivery
  // together with the model's: with thousands of models of a row each (reminders), a push waits on
  // memory far less. Valid while the model is subscribed; optional.
  void SetNotifyHot(const void* first, const void* second = nullptr);
  const TRTDUpdateState& UpdateState() const { return FUpdateState; }
  void SetOnGetSecurity(TGetSecurity lookup) { FOnGetSecurity = std::move(lookup); }
  // History play: set before subscribing.
  void SetIsHisPlay(bool on) { FIsHisPlay = on; }
  void SetPlayType(int type) { FPlayType = type; }
  void SetHisPlayDataProvider(std::shared_ptr<IKrHisPlayDataProvider> provider) {
    FIKrHisPlayDataProvider = std::move(provider);
  }

  std::int32_t Subscrible(const TKrRealTimeParamStructure& params);
  std::int32_t UnSubscrible();

  double GetDoubleVal(const std::string& code, std::uint32_t id, double defaultValue);
  double GetDoubleVal2(const std::string& code, std::uint32_t id, double defaultValue);
  std::string GetStringVal(const std::string& code, std::uint32_t id);
  std::string GetStringVal(const std::string& code, const std::string& name);
  bool IsNull(const std::string& code, std::uint32_t id);
  bool IsNull(const std::string& code, const std::string& name);

  // The reads by code find the code's item once for a run of reads of the same code (as written), as a
  // widget makes them, field after field of one row: no upper-casing, hashing or reference counting per
  // read.

  // The format item of the code's cache item (one per code, re-pointed at the current item); nullptr
  // when the cache has no item for the code.
  std::shared_ptr<IRTDFormatItem> GetRTDFormatItem(const std::string& code);
  std::string GetFormatVal(const std::string& code, const std::string& name, bool checkNull = true);
  std::string GetDateTimeFormatVal(const std::string& code, const std::string& name, bool checkNull = true);
  std::uint32_t GetFormatColor(const std::string& code, const std::string& name, bool checkNull,
                               const std::shared_ptr<IKrHQStyle>& style);

  std::shared_ptr<IRTDItem> GetRTDItem(const std::string& code) { return FRTDCache->GetRealTimeItem(code); }
  const std::vector<std::string>& GetRTDItemList() { return FRTDCache->GetRealTimeItemList(); }
  const std::vector<std::string>& GetUpdateSecurityList();
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code);
  std::string ToReqString() const;
  const std::shared_ptr<IRTDCache>& Cache() const { return FRTDCache; }
  TKrRTDProvider* Provider() { return FRTDProv.get(); }

 private:
  void OnUpdate(const TKrRTDQuoteRows& rows);
  void OnPressions(const std::map<std::string, std::vector<std::string>>& denied);
  void SaveToCache(const TKrRTDQuoteRows& rows);
  std::shared_ptr<class TKrRTDItem> ItemFor(const std::string& code);
  class TKrRTDItem& ItemFor(const TKrQuoteRow& row);
  // The item of a delivered row, found by the code's ordinal when the rows carry one (`generation`).
  class TKrRTDItem& ItemFor(const TKrRTDQuoteRows::TEntry& entry, std::uint64_t generation);
  // The cache item of a code a widget reads, and its format item (nullptr when there is no item).
  class TKrRTDItem* ReadItem(const std::string& code);
  IRTDFormatItem* ReadFormat(const std::string& code);
  void NotifyHisPlayDataCallBack(const std::string& codes);
  void OnConnection(const TKrSpeedConnection& connection);
  // Tells the widget of new data, in the form it asked for.
  void NotifyData() {
    if (FUpdateNotify) {
      FUpdateNotify(FUpdateState);
    } else if (FDataNotify) {
      FDataNotify();
    }
  }

  std::shared_ptr<IRTDCache> FRTDCache;
  std::unordered_map<std::string, std::shared_ptr<IRTDFormatItem>> FFormatDict;  // by upper-cased code
  // The code read last, as the widget wrote it, and its item and format item, valid while the cache
  // keeps the generation `cache`.
  struct TLastRead {
    std::string code;
    std::uint64_t cache = UINT64_MAX;
    class TKrRTDItem* item = nullptr;
    std::shared_ptr<IRTDFormatItem> format;  // once asked for
  };
  TLastRead FLastRead;
  // The session whose connection the model follows (the package may end it first), and the listener's ID.
  std::weak_ptr<TKrHQSpeedImpl> FSession;
  int FConnectionListener = 0;
  TGetSecurity FOnGetSecurity;
  std::shared_ptr<IKrHisPlayDataProvider> FIKrHisPlayDataProvider;
  std::int32_t FHisPlayDataRegId = -1;
  bool FIsHisPlay = false;
  std::int32_t FPlayType = 0;
  // What a delivery reads.
  class TKrRTDCache* FCache;  // FRTDCache's implementation, for look-ups by upper-cased code
  // The items by the ordinal of their code among the subscriber's codes, valid while both the quote
  // feed's joint subscription and the cache keep their generations (nullptr: not looked up yet).
  std::vector<class TKrRTDItem*> FItemAt;
  std::uint64_t FItemAtJoint = 0;
  std::uint64_t FItemAtCache = 0;
  // At most one is set (a widget hearing data only costs no extra call per delivery).
  TNotifyRTDUpdate FDataNotify;
  TNotifyRTDUpdateState FUpdateNotify;
  TRTDUpdateState FUpdateState;
  std::array<const void*, 2> FNotifyHot{};
  bool FHotStale = false;  // the first item or the items by ordinal moved since the feed was told
  void RefreshHot();
  // Last, so that it goes first: deliveries stop before the rest of the model goes.
  std::unique_ptr<TKrRTDProvider> FRTDProv;
};

}  // namespace kdp
