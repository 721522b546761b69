#include "kdp/rtd/rtd_model.h"

#include <algorithm>

#include <fmt/format.h>

#include "core/host_lookups.h"
#include "core/package_lookup.h"
#include "core/service_catalog.h"
#include "fields/hq_dictionary.h"
#include "kdp/fields/hq_field_types.h"
#include "kdp/host/log.h"
#include "kdp/refdata/security_manager.h"
#include "kdp/speed/speed_session.h"
#include "rtd/rtd_item.h"
#include "rtd/rtd_provider.h"
#include "rtd/rtd_quote_feed.h"
#include "rtd/rtd_quote_layouts.h"
#include "util/strings.h"

namespace kdp {
namespace {

constexpr std::string_view kLogSource = "TKrRTDModel";

std::string CutCode(const std::string& code) { return code.substr(0, kMaxQuoteCodeLength); }

// The subscription with every code cut to its longest length, so that requests name the codes that
// replies (and so the cache) carry.
TKrRealTimeParamStructure WithCodesCut(const TKrRealTimeParamStructure& params) {
  TKrRealTimeParamStructure cut = params.Clone();
  for (int i = 0; i < cut.GetCount(); ++i) cut.SetKoraCode(i, CutCode(cut.GetKoraCode(i)));
  return cut;
}

}  // namespace

// ---- model ----

TKrRTDModel::TKrRTDModel() {
  FRTDProv = std::make_unique<TKrRTDProvider>(
      [this](const TKrRTDQuoteRows& rows) { OnUpdate(rows); },
      [this](const std::map<std::string, std::vector<std::string>>& denied) { OnPressions(denied); });
  auto cache = std::make_shared<TKrRTDCache>();
  FCache = cache.get();
  FRTDCache = std::move(cache);
  FRTDCache->SetHQSecurityManager(G_SecurityManager());
  RefreshHot();
  const auto session = G_GetHQSpeedImpl();
  FSession = session;
  FUpdateState.Connection = session->Connection();
  FUpdateState.Stale = !FUpdateState.Connection.Connected;
  FConnectionListener =
      session->AddConnectionListener([this](const TKrSpeedConnection& connection) { OnConnection(connection); });
}

TKrRTDModel::~TKrRTDModel() {
  if (const auto session = FSession.lock()) session->RemoveConnectionListener(FConnectionListener);
  if (FIKrHisPlayDataProvider && FHisPlayDataRegId != -1) FIKrHisPlayDataProvider->Drop(FHisPlayDataRegId);
}

// A history play does not hear the engine; a live model tells its widget while it has a subscription.
// The widget may free the model while it is told: nothing of the model is touched after the call.
void TKrRTDModel::OnConnection(const TKrSpeedConnection& connection) {
  if (FIsHisPlay) return;
  FUpdateState.Connection = connection;
  if (!connection.Connected) FUpdateState.Stale = true;
  if (!FUpdateNotify || !FRTDProv->GetSubCodes()) return;
  TRTDUpdateState told = FUpdateState;
  told.ConnectionChanged = true;
  FUpdateNotify(told);
}

std::int32_t TKrRTDModel::Subscrible(const TKrRealTimeParamStructure& requested) {
  const TKrRealTimeParamStructure params = WithCodesCut(requested);
  if (FIsHisPlay) {
    if (!FIKrHisPlayDataProvider) FIKrHisPlayDataProvider = host::KrIntfService<IKrHisPlayDataProvider>();
    if (FIKrHisPlayDataProvider) {
      if (FHisPlayDataRegId == -1) {
        FHisPlayDataRegId = FIKrHisPlayDataProvider->RegisterNotify(
            [this](const std::string& codes) { NotifyHisPlayDataCallBack(codes); });
      }
      if (FPlayType == 0 && params.GetCount() > 0) {
        FIKrHisPlayDataProvider->Play(params.GetKoraCode(0), FHisPlayDataRegId, 0);
      } else if (FPlayType == 3) {
        std::string codes;
        for (const auto& s : params.Symbols()) codes += (codes.empty() ? "" : ",") + s.FKoraCode;
        FIKrHisPlayDataProvider->Play(codes, FHisPlayDataRegId, 3);
      }
    }
    return 0;
  }
  if (auto old = FRTDProv->GetSubCodes(); old && !FRTDCache->GetRealTimeItemList().empty()) {
    FRTDCache->ClearDiffCodes(*old, params);
  }
  const std::int32_t result = FRTDProv->Subscrible(params);
  host::AddHQLog("TKrRTDModel Subscrible !", "TKrRTDModel", host::LogSeverity::kInfo);
  return result;
}

std::string TKrRTDModel::ToReqString() const { return FRTDProv->ToReqString(); }

std::int32_t TKrRTDModel::UnSubscrible() {
  if (FIsHisPlay) {
    // The registration is gone once dropped: the next subscription registers afresh, and neither a
    // second unsubscription nor the model's end drops it again.
    const std::int32_t dropped = FHisPlayDataRegId;
    if (FIKrHisPlayDataProvider && dropped != -1) FIKrHisPlayDataProvider->Drop(dropped);
    FHisPlayDataRegId = -1;
    return dropped;
  }
  return FRTDProv->UnSubscrible();
}

std::shared_ptr<host::IKrSecurity> TKrRTDModel::GetSecurity(const std::string& code) {
  if (FOnGetSecurity) {
    if (auto security = FOnGetSecurity(code)) return security;
  }
  return G_GetSecurity(code);
}

std::shared_ptr<TKrRTDItem> TKrRTDModel::ItemFor(const std::string& code) {
  auto item = FCache->GetRealTimeItemByUpperCode(ToUpperAscii(code));
  return item ? item : FCache->AddItem(code, GetSecurity(code));
}

TKrRTDItem& TKrRTDModel::ItemFor(const TKrQuoteRow& row) {
  if (TKrRTDItem* item = FCache->FindItem(row.Key())) return *item;
  return *FCache->AddItem(row.code, GetSecurity(row.code));
}

TKrRTDItem& TKrRTDModel::ItemFor(const TKrRTDQuoteRows::TEntry& entry, std::uint64_t generation) {
  if (generation == 0) return ItemFor(*entry.row);
  if (generation != FItemAtJoint || FCache->Generation() != FItemAtCache) {
    FItemAt.clear();
    FItemAtJoint = generation;
  }
  if (entry.ordinal >= FItemAt.size()) {
    FItemAt.resize(entry.ordinal + 1u, nullptr);
    FHotStale = true;
  }
  TKrRTDItem*& at = FItemAt[entry.ordinal];
  if (at == nullptr) {
    at = &ItemFor(*entry.row);
    FItemAtCache = FCache->Generation();  // an item added here leaves the others where they are
    FHotStale = FHotStale || entry.ordinal == 0;
  }
  return *at;
}

void TKrRTDModel::SetNotifyHot(const void* first, const void* second) {
  FNotifyHot = {first, second};
  RefreshHot();
}

// A delivery reads the model's delivery fields, the cache's update list, the items by ordinal and the
// item of the first code with its fields (all there is of a reminder's model), then what the notify reads.
// Taken again after a delivery that placed the first item; an address gone stale meanwhile costs a
// useless fetch only, as nothing is read through it.
void TKrRTDModel::RefreshHot() {
  FHotStale = false;
  const TKrRTDItem* firstItem = FItemAt.empty() ? nullptr : FItemAt[0];
  FRTDProv->SpeedSubscriber().SetHot({&FCache, &FUpdateState, FCache->UpdateListAddress(), FItemAt.data(), firstItem,
                                      firstItem ? firstItem->FieldsAddress() : nullptr, FNotifyHot[0],
                                      FNotifyHot[1]});
}

// Read by every update notification: through the model's own pointer, which a delivery has just read.
const std::vector<std::string>& TKrRTDModel::GetUpdateSecurityList() { return FCache->GetUpdateSecurityList(); }

void TKrRTDModel::OnUpdate(const TKrRTDQuoteRows& rows) {
  if (rows.GetRowCount() == 0) return;
  SaveToCache(rows);
  if (FHotStale) RefreshHot();
  if (FUpdateState.Connection.Connected) FUpdateState.Stale = false;
  NotifyData();
}

void TKrRTDModel::SaveToCache(const TKrRTDQuoteRows& rows) {
  std::vector<std::string> codes = FCache->TakeUpdateList();
  codes.reserve(rows.Entries().size());
  const bool defer = rows.Deferrable();
  if (defer) FCache->HoldForDeferred(rows);
  // The items are scattered: each is fetched a few entries ahead of its turn, while its place by ordinal
  // is known (FItemAt current), so their reads wait on memory together.
  constexpr std::size_t kAhead = 8;
  const auto entries = rows.Entries();
  for (std::size_t e = 0; e < entries.size(); ++e) {
    const TKrRTDQuoteRows::TEntry& entry = entries[e];
    if (e + kAhead < entries.size() && rows.OrdinalGeneration() == FItemAtJoint &&
        FCache->Generation() == FItemAtCache && entries[e + kAhead].ordinal < FItemAt.size()) {
      if (const TKrRTDItem* ahead = FItemAt[entries[e + kAhead].ordinal]) ahead->PrefetchDeferred();
    }
    if (!entry.row->usable) continue;  // logged when the rows were prepared
    TKrRTDItem& item = ItemFor(entry, rows.OrdinalGeneration());
    if (defer) {
      FCache->Defer(item, rows.Push(), entry);
    } else {
      item.WriteQuoteRow(rows.Push(), *entry.row, *entry.shape);
    }
    codes.push_back(entry.row->code);
  }
  FCache->SetUpdateList(std::move(codes));
}

void TKrRTDModel::OnPressions(const std::map<std::string, std::vector<std::string>>& denied) {
  const TKrHQDictionaryImpl& dictionary = KrHQDictionaryImpl();
  TRealTimeDrops drops;
  for (const auto& [code, ids] : denied) {
    const std::string kept = CutCode(code);
    if (!IsUsableQuoteCode(kept)) {
      ++drops.rowsWithoutCode;
      continue;
    }
    auto item = ItemFor(kept);
    for (const std::string& text : ids) {
      const auto parsed = ParseInt64(text);
      const auto id = parsed && *parsed > 0 && *parsed <= UINT32_MAX ? static_cast<std::uint32_t>(*parsed) : 0u;
      if (id != 0 && dictionary.GetDictionaryItem(static_cast<int>(id))) {
        item->SetHasPermissionByID(id, false);
      } else {
        drops.AddField(id);
      }
    }
  }
  if (drops.Any()) {
    host::AddHQLog("OnPressions: a permission report dropped " + drops.Describe(), kLogSource,
                   host::LogSeverity::kWarning);
  }
}

void TKrRTDModel::NotifyHisPlayDataCallBack(const std::string& codes) {
  if (FPlayType == 0 || FPlayType == 3) {
    for (const std::string& code : FPlayType == 3 ? SplitString(codes, ',') : std::vector<std::string>{codes}) {
      if (code.empty()) continue;
      auto item = ItemFor(code);
      item->SetIsHisPlay(true);
      item->SetPlayType(FPlayType);
      item->SetIKrHisPlayDataProvider(FIKrHisPlayDataProvider);
    }
  }
  NotifyData();
}

TKrRTDItem* TKrRTDModel::ReadItem(const std::string& code) {
  if (FLastRead.cache == FCache->Generation() && code == FLastRead.code) return FLastRead.item;
  char buffer[64];
  std::string upperHeld;
  std::string_view upper;
  if (code.size() <= sizeof buffer) {  // codes are short: no allocation
    std::transform(code.begin(), code.end(), buffer, [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
    upper = std::string_view(buffer, code.size());
  } else {
    upperHeld = ToUpperAscii(code);
    upper = upperHeld;
  }
  FLastRead.item = FCache->FindItem({upper, TKrQuoteCodeHash{}(upper)});
  FLastRead.code = code;
  FLastRead.cache = FCache->Generation();
  FLastRead.format.reset();
  return FLastRead.item;
}

IRTDFormatItem* TKrRTDModel::ReadFormat(const std::string& code) {
  if (ReadItem(code) == nullptr) return nullptr;
  if (!FLastRead.format) FLastRead.format = GetRTDFormatItem(code);
  return FLastRead.format.get();
}

double TKrRTDModel::GetDoubleVal(const std::string& code, std::uint32_t id, double defaultValue) {
  TKrRTDItem* item = ReadItem(code);
  return item ? item->GetDoubleDataByID(id) : defaultValue;
}

double TKrRTDModel::GetDoubleVal2(const std::string& code, std::uint32_t id, double defaultValue) {
  TKrRTDItem* item = ReadItem(code);
  return item ? item->GetDoubleDataByID2(id) : defaultValue;
}

std::string TKrRTDModel::GetStringVal(const std::string& code, std::uint32_t id) {
  TKrRTDItem* item = ReadItem(code);
  return item ? item->GetStringDataByID(id) : std::string();
}

std::string TKrRTDModel::GetStringVal(const std::string& code, const std::string& name) {
  TKrRTDItem* item = ReadItem(code);
  return item ? item->GetStringDataByName(name) : std::string();
}

bool TKrRTDModel::IsNull(const std::string& code, std::uint32_t id) {
  TKrRTDItem* item = ReadItem(code);
  return !item || item->IsNullByID(id);
}

bool TKrRTDModel::IsNull(const std::string& code, const std::string& name) {
  TKrRTDItem* item = ReadItem(code);
  return !item || item->IsNullByName(name);
}

std::shared_ptr<IRTDFormatItem> TKrRTDModel::GetRTDFormatItem(const std::string& code) {
  const std::string upper = ToUpperAscii(code);
  auto item = FCache->GetRealTimeItemByUpperCode(upper);
  if (!item) return nullptr;
  auto& format = FFormatDict[upper];
  if (!format) {
    format = CreateRTDFormatItem(item);
  } else {
    format->ResetRTDItem(item);
  }
  return format;
}

std::string TKrRTDModel::GetFormatVal(const std::string& code, const std::string& name, bool checkNull) {
  IRTDFormatItem* format = ReadFormat(code);
  return format ? format->GetFormatValueByName(name, checkNull) : std::string();
}

std::string TKrRTDModel::GetDateTimeFormatVal(const std::string& code, const std::string& name, bool checkNull) {
  IRTDFormatItem* format = ReadFormat(code);
  return format ? format->GetDateTimeFormatValueByName(name, checkNull) : std::string();
}

std::uint32_t TKrRTDModel::GetFormatColor(const std::string& code, const std::string& name, bool checkNull,
                                          const std::shared_ptr<IKrHQStyle>& style) {
  IRTDFormatItem* format = ReadFormat(code);
  return format ? format->GetFormatColorByName(name, checkNull, style) : 0;
}

}  // namespace kdp
