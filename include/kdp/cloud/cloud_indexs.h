// Cloud indicators as widgets and real-time models subscribe them: "IKrCloudIndexsMgr" (published at
// start-up) hands an observer a data request; the widget subscribes securities with the field IDs it wants
// through it, and the manager delivers the cloud indicator values among them (field IDs 10001 to 20001)
// as quote-data rows, and the values the user may not see as permission reports. Indicators whose field
// is real-time (cloud type 1) are asked again every 45 seconds while any subscription holds one.
//
// Threads: main thread only; observers are called on the main thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kdp/host/interface.h"
#include "kdp/host/speed.h"
#include "kdp/speed/speed_quote_data.h"

namespace kdp {

// Codes, each with the field IDs (as decimal text) whose values the user may not see.
using TCloudPermissionInfo = std::map<std::string, std::vector<std::string>>;

class ICloudObserver : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "5C0E8E5B-7A55-4D43-9B1B-2F6E3D0A1C71";
  // One row per security: the field IDs delivered and their values (numbers, or texts as WideText).
  virtual void NotifyUpdateCloudData(const std::vector<TSpeedQuoteData>& rows) = 0;
};

class ICloudObserverWithPermissionInfo : public virtual ICloudObserver {
 public:
  static constexpr host::Guid IID = "B3A54C1E-0F7D-4E0B-8F56-6E2C4F1D9A02";
  virtual void NotifyCloudDataPermissionInfo(const TCloudPermissionInfo& denied) = 0;
};

// An observer's subscription at the manager.
class IKrCloudDataRequest : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "0E6F3B8C-2D14-4B8A-A5C7-9D3E1F20B6A4";
  // Replaces the subscribed securities and asks their cloud indicators; -1 when the manager is gone.
  virtual int Subscrible(const host::TKrSpeedSymbolDataList& symbols) = 0;
  // Drops every subscribed security; -1 when the manager is gone.
  virtual int UnSubscribe() = 0;
  virtual std::shared_ptr<ICloudObserver> GetObserver() = 0;
  virtual int GetDataRequestID() = 0;
  virtual const host::TKrSpeedSymbolDataList& GetSymbols() = 0;
};

class IKrCloudIndexsMgr : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "2AE528D0-D245-4073-B028-8D60288B3DDF";
  // A new request for `observer`, registered under a new ID; false (and `request` null) without observer.
  virtual bool GetCloudDataRequestByIObserver(std::shared_ptr<ICloudObserver> observer,
                                              std::shared_ptr<IKrCloudDataRequest>& request) = 0;
  // Forgets the request: its observer hears nothing more.
  virtual void RemoveCloudDataRequest(int requestID) = 0;
  // Asks the cloud indicators of the request's securities (what the request holds now).
  virtual void Subscrible(int requestID) = 0;
  virtual void UnSubscrible(int requestID) = 0;
  // A new request ID.
  virtual int GetDataRequestID() = 0;
  // When set, the refresh asks every subscribed cloud indicator, not only the real-time ones.
  virtual void SetIsRequestingAllCloudIndex(bool flag) = 0;
};

// An observer that forwards to two handlers (either may be empty).
class TKrCloudObserver final : public host::Implements<ICloudObserverWithPermissionInfo> {
 public:
  using TUpdate = std::function<void(const std::vector<TSpeedQuoteData>&)>;
  using TPermission = std::function<void(const TCloudPermissionInfo&)>;
  TKrCloudObserver(TUpdate update, TPermission permission)
      : FOnUpdate(std::move(update)), FOnPermission(std::move(permission)) {}
  void NotifyUpdateCloudData(const std::vector<TSpeedQuoteData>& rows) override {
    if (FOnUpdate) FOnUpdate(rows);
  }
  void NotifyCloudDataPermissionInfo(const TCloudPermissionInfo& denied) override {
    if (FOnPermission) FOnPermission(denied);
  }
  // Drops both handlers (before what they call goes away).
  void Clear() {
    FOnUpdate = nullptr;
    FOnPermission = nullptr;
  }

 private:
  TUpdate FOnUpdate;
  TPermission FOnPermission;
};

}  // namespace kdp
