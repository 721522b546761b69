// Small on-demand data services: URL aliases, the industry of a security, the index of a futures contract.
#pragma once

#include <map>
#include <string>

#include "kdp/refdata/related_data.h"

namespace kdp {

// URL aliases from "Base\URLConfig.xml": <URL alias="..." url="..."/>; aliases compare case-insensitively.
class TURLMgr final : public host::Implements<IURLMgr> {
 public:
  TURLMgr();
  std::string GetURL(const std::string& alias) override;
  void SetURL(const std::string& alias, const std::string& url) override;

 private:
  std::map<std::string, std::string> FUrls;  // upper-case alias -> URL
};

// Industry membership read from the host's "INDUSTRY" sector, whose children are the industry sectors.
class TKrRelateIndustry final : public host::Implements<IRelateIndustry> {
 public:
  std::string GetIndustrySectorID(const std::string& koraCode) override;

 private:
  void Load();
  bool FLoaded = false;
  std::map<std::string, std::string> FIndustryByCode;  // upper-case code -> sector ID
};

// Index futures by product: IF, IH, IC and IM contracts are written on their indexes.
class TKrFutureRelateIndex final : public host::Implements<IFutureRelateIndex> {
 public:
  std::string GetRelateIndexCode(const std::string& futureCode) override;
};

// The sector whose children are the industry sectors.
inline constexpr const char* kIndustryRootSectorID = "INDUSTRY";

}  // namespace kdp
