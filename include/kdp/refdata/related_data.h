// Small data services created on their first look-up by name: server URL aliases, the industry a
// security belongs to, and the index a futures contract relates to. Main thread only.
#pragma once

#include <string>

#include "kdp/host/interface.h"

namespace kdp {

using host::Guid;
using host::IInterface;

class IURLMgr : public virtual IInterface {
 public:
  static constexpr Guid IID = "FB5598D4-ACFB-48C3-9519-1EB4F40FBDD5";
  // The URL configured for an alias ("KUDSDATASERVER"), empty when unknown.
  virtual std::string GetURL(const std::string& alias) = 0;
  virtual void SetURL(const std::string& alias, const std::string& url) = 0;
};

class IRelateIndustry : public virtual IInterface {
 public:
  static constexpr Guid IID = "401AD12B-81BE-4FA4-84B9-D1FA97037AF0";
  // The ID of the industry sector the security belongs to, empty when unknown.
  virtual std::string GetIndustrySectorID(const std::string& koraCode) = 0;
};

class IFutureRelateIndex : public virtual IInterface {
 public:
  static constexpr Guid IID = "C571203A-14D3-41BD-9015-1C83D160D760";
  // The code of the index a futures contract is written on, empty when unknown.
  virtual std::string GetRelateIndexCode(const std::string& futureCode) = 0;
};

}  // namespace kdp
