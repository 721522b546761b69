#include "rtd/rtd_quote_feed.h"

#include <algorithm>
#include <unordered_set>

#include "kdp/speed/speed_quote_data.h"
#include "kdp/speed/speed_session.h"
#include "rtd/rtd_item.h"
#include "util/strings.h"

namespace kdp {
namespace {

// Selections a subscriber remembers before it starts afresh (layouts times field lists it met).
constexpr std::size_t kMaxSelections = 64;

std::shared_ptr<TKrRTDQuoteFeed> g_feed;
std::uint64_t g_lastOrdinalGeneration = 0;  // generations never repeat, whichever subscriber made them

}  // namespace

struct TKrRTDQuoteFeed::TSubscriber {
  // The fields a subscriber takes from rows of one shape when their code asks for one field list.
  struct TSelection {
    std::uint32_t fieldSet;  // index into fieldSets
    TTaking taking;
  };

  int ticket = 0;
  std::uint32_t slot = 0;  // its place in the feed's FSubscribers
  TDeliver deliver;
  THot hot{};
  host::TKrSpeedSymbolDataList symbols;
  // Per upper-case code the code as first written, its place among the subscriber's codes and the field
  // list it asks for (an index into fieldSets, each sorted, each once).
  struct TAsked {
    std::string code;
    std::uint32_t ordinal;
    std::uint32_t fieldSet;
  };
  // Names the ordinals of the present subscription (see TKrRTDQuoteRows::OrdinalGeneration).
  std::uint64_t ordinalGeneration = 0;
  std::unordered_map<std::string, TAsked, TKrQuoteCodeHash, TKrQuoteCodeEqual> asked;
  std::vector<std::vector<std::uint32_t>> fieldSets;
  std::vector<TSelection> selections;

  void SetSymbols(const host::TKrSpeedSymbolDataList& subscribed) {
    symbols = subscribed;
    ordinalGeneration = ++g_lastOrdinalGeneration;
    asked.clear();
    fieldSets.clear();
    selections.clear();
    std::vector<std::vector<std::uint32_t>> merged;  // per code, by its ordinal
    std::vector<const std::string*> written;         // per code, as first written
    std::unordered_map<std::string, std::uint32_t> codeIndex;
    for (const host::TKrSpeedSymbolData& symbol : subscribed) {
      auto [it, fresh] =
          codeIndex.try_emplace(ToUpperAscii(symbol.KoraCode), static_cast<std::uint32_t>(merged.size()));
      if (fresh) {
        merged.emplace_back();
        written.push_back(&symbol.KoraCode);
      }
      auto& ids = merged[it->second];
      ids.insert(ids.end(), symbol.ItemIDs.begin(), symbol.ItemIDs.end());
    }
    for (auto& [code, index] : codeIndex) {
      auto& ids = merged[index];
      std::sort(ids.begin(), ids.end());
      ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
      auto same = std::find(fieldSets.begin(), fieldSets.end(), ids);
      if (same == fieldSets.end()) same = fieldSets.insert(fieldSets.end(), ids);
      asked.emplace(code, TAsked{*written[index], index, static_cast<std::uint32_t>(same - fieldSets.begin())});
    }
  }

  // The fields of `shape` this subscriber takes for a code asking for field list `fieldSet`. Codes asking
  // for the same list share what is taken from the same shape.
  const TTaking& Take(const TKrQuoteShape& shape, std::uint32_t fieldSet) {
    auto known = std::find_if(selections.begin(), selections.end(), [&](const TSelection& s) {
      return s.taking.shape == shape.serial && s.fieldSet == fieldSet;
    });
    if (known == selections.end()) {
      if (selections.size() >= kMaxSelections) selections.clear();  // the askers keep what they took
      known = selections.insert(selections.end(), {fieldSet, Select(shape, fieldSet)});
    }
    return known->taking;
  }

 private:
  TTaking Select(const TKrQuoteShape& shape, std::uint32_t fieldSet) const {
    const std::vector<std::uint32_t>& wanted = fieldSets[fieldSet];
    std::vector<TKrQuoteField> taken;
    for (const TKrQuoteField& field : shape.fields) {
      if (std::binary_search(wanted.begin(), wanted.end(), field.id)) taken.push_back(field);
    }
    if (taken.empty()) return {shape.serial, TTaking::kNone, nullptr};
    if (taken.size() == shape.fields.size()) return {shape.serial, TTaking::kAll, nullptr};
    return {shape.serial, TTaking::kSome, TKrQuoteShape::Make(std::move(taken))};
  }
};

TKrRTDQuoteFeed::TKrRTDQuoteFeed() = default;

// The observer's event holds the feed weakly, so it needs no clearing here: the feed may end inside its
// own delivery (a widget's call-back releasing the last owner), while the observer runs that event.
TKrRTDQuoteFeed::~TKrRTDQuoteFeed() {
  if (const auto session = FSession.lock()) session->RemoveConnectionListener(FConnectionListener);
  if (FRequest) FRequest->UnSubscribe();
}

void TKrRTDQuoteFeed::AttachToEngine() {
  const auto session = G_GetHQSpeedImpl();
  if (session != FSession.lock()) {
    if (const auto previous = FSession.lock()) previous->RemoveConnectionListener(FConnectionListener);
    FSession = session;
    FConnectionListener = session->AddConnectionListener([this](const TKrSpeedConnection& connection) {
      if (connection.Connected && !FJoint.empty()) ScheduleSend();
    });
  }
  auto speed = session->GetHQSpeed();
  if (speed == FSpeed) return;
  if (FObserver) FObserver->ClearEvents();
  if (FRequest) FRequest->UnSubscribe();
  FRequest.reset();
  FObserver.reset();
  FSpeed = std::move(speed);
  if (!FSpeed) return;
  FObserver = std::make_shared<TKrHQSpeedObserver>();
  std::weak_ptr<TKrRTDQuoteFeed> weak = weak_from_this();
  FObserver->SetOnQuoteData([weak](const std::shared_ptr<host::IDataSet>& data) {
    if (auto feed = weak.lock()) feed->OnQuoteData(data);
  });
  FObserver->SetOnReqResponse([](int, int, int) {});  // responses to quote subscriptions carry nothing
  FRequest = FSpeed->CreateDataRequest(FObserver);
  if (FRequest &&
      std::any_of(FSubscribers.begin(), FSubscribers.end(), [](const auto& s) { return s && !s->symbols.empty(); })) {
    SendSubscription();
  }
}

int TKrRTDQuoteFeed::Attach(TDeliver deliver) {
  auto subscriber = std::make_shared<TSubscriber>();
  subscriber->ticket = ++FLastTicket;
  subscriber->slot = static_cast<std::uint32_t>(FSubscribers.size());
  subscriber->deliver = std::move(deliver);
  FSubscribers.push_back(subscriber);
  FByTicket.emplace(subscriber->ticket, subscriber.get());
  AttachToEngine();
  return subscriber->ticket;
}

void TKrRTDQuoteFeed::SetHot(int ticket, const THot& hot) {
  if (TSubscriber* subscriber = Find(ticket)) subscriber->hot = hot;
}

TKrRTDQuoteFeed::TSubscriber* TKrRTDQuoteFeed::Find(int ticket) const {
  const auto it = FByTicket.find(ticket);
  return it == FByTicket.end() ? nullptr : it->second;
}

void TKrRTDQuoteFeed::Detach(int ticket) {
  TSubscriber* subscriber = Find(ticket);
  if (!subscriber) return;
  const bool hadCodes = !subscriber->symbols.empty();
  Leave(*subscriber);
  FByTicket.erase(ticket);
  // The feed's hold ends; while deliveries are under way, only once they are done (the subscriber may be
  // the one being served, its call-back still running).
  if (FDelivering > 0) FDetachedWhileDelivering.push_back(std::move(FSubscribers[subscriber->slot]));
  FSubscribers[subscriber->slot] = nullptr;
  ++FDetachedSlots;
  if (FDelivering == 0) CloseDetachedSlots();
  if (hadCodes) ScheduleSend();
}

void TKrRTDQuoteFeed::CloseDetachedSlots() {
  // Gaps are closed once they are half the slots, so detaching stays cheap however many subscribers come
  // and go.
  if (FDetachedSlots * 2 <= FSubscribers.size()) return;
  std::erase(FSubscribers, nullptr);
  for (std::size_t s = 0; s < FSubscribers.size(); ++s) FSubscribers[s]->slot = static_cast<std::uint32_t>(s);
  for (TJointCode& joint : FJointCodes) {
    for (TAsker& asker : joint.askers) asker.slot = asker.subscriber->slot;
  }
  FDetachedSlots = 0;
}

int TKrRTDQuoteFeed::Subscribe(int ticket, const host::TKrSpeedSymbolDataList& symbols) {
  TSubscriber* subscriber = Find(ticket);
  if (!subscriber) return -1;
  Leave(*subscriber);
  subscriber->SetSymbols(symbols);
  Join(*subscriber);
  return ScheduleSend();
}

int TKrRTDQuoteFeed::Unsubscribe(int ticket) {
  TSubscriber* subscriber = Find(ticket);
  if (!subscriber) return -1;
  Leave(*subscriber);
  subscriber->SetSymbols({});
  return ScheduleSend();
}

void TKrRTDQuoteFeed::Join(TSubscriber& subscriber) {
  for (const auto& [code, asked] : subscriber.asked) {
    auto [it, fresh] = FJointPosition.try_emplace(code, static_cast<std::uint32_t>(FJoint.size()));
    if (fresh) {
      FJoint.push_back({asked.code, {}});
      FJointCodes.push_back({code, {}, {}});
    }
    TJointCode& joint = FJointCodes[it->second];
    for (std::uint32_t id : subscriber.fieldSets[asked.fieldSet]) {
      auto counted =
          std::find_if(joint.askedIDs.begin(), joint.askedIDs.end(), [&](const auto& c) { return c.first == id; });
      if (counted != joint.askedIDs.end()) {
        ++counted->second;
      } else {
        joint.askedIDs.emplace_back(id, 1);
        FJoint[it->second].ItemIDs.push_back(id);
      }
    }
    joint.askers.push_back(
        {&subscriber, subscriber.slot, asked.ordinal, asked.fieldSet, subscriber.ordinalGeneration, {}});
  }
}

void TKrRTDQuoteFeed::Leave(TSubscriber& subscriber) {
  for (const auto& [code, asked] : subscriber.asked) {
    const auto it = FJointPosition.find(code);
    if (it == FJointPosition.end()) continue;
    const std::uint32_t position = it->second;
    TJointCode& joint = FJointCodes[position];
    std::vector<std::uint32_t>& ids = FJoint[position].ItemIDs;
    for (std::uint32_t id : subscriber.fieldSets[asked.fieldSet]) {
      auto counted =
          std::find_if(joint.askedIDs.begin(), joint.askedIDs.end(), [&](const auto& c) { return c.first == id; });
      if (counted == joint.askedIDs.end() || --counted->second > 0) continue;
      joint.askedIDs.erase(counted);
      ids.erase(std::find(ids.begin(), ids.end(), id));
    }
    std::erase_if(joint.askers, [&](const TAsker& a) { return a.subscriber == &subscriber; });
    if (!joint.askers.empty()) continue;
    // Nobody asks for the code any more: the last code takes its place.
    FJointPosition.erase(it);
    if (position + 1 != FJoint.size()) {
      FJoint[position] = std::move(FJoint.back());
      FJointCodes[position] = std::move(FJointCodes.back());
      FJointPosition[FJointCodes[position].code] = position;
    }
    FJoint.pop_back();
    FJointCodes.pop_back();
  }
}

int TKrRTDQuoteFeed::ScheduleSend() {
  if (!FRequest) return -1;
  if (!FSendPending) {
    FSendPending = true;
    FWindow.Post([this] {
      FSendPending = false;
      if (FRequest) SendSubscription();
    });
  }
  return 0;
}

int TKrRTDQuoteFeed::SendSubscription() {
  return FJoint.empty() ? FRequest->UnSubscribe() : FRequest->Subscribe(FJoint);
}

namespace {
// The fewest rows of one subscriber worth deferring (TKrRTDQuoteRows::Deferrable).
constexpr std::uint32_t kDeferFromRows = 16;
}  // namespace

// Where a subscriber's entries of a push lie in the shared batch, and the generation of its subscription
// when they were taken.
struct TKrRTDQuoteFeed::TSlotRows {
  std::uint32_t first = 0, count = 0;
  std::uint64_t generation = 0;
};

void TKrRTDQuoteFeed::OnQuoteData(const std::shared_ptr<host::IDataSet>& data) {
  if (!TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(data)) return;
  const auto self = shared_from_this();  // a subscriber's model may release the feed's last owner
  auto batch = std::make_shared<TKrRTDQuoteRows::TBatch>();
  batch->push = FLayouts.Prepare(*data);
  // Every subscriber's entries first, in one pass over the push (a row's code is looked up once), counted
  // per subscriber with the generation of its subscription (a delivery may make another subscriber
  // subscribe again before its own delivery); then laid out subscriber by subscriber, in attach order, in
  // one batch all share.
  std::vector<TSlotRows> rowsOf(FSubscribers.size());
  FTaken.clear();
  GatherTaken(*batch, FTaken, rowsOf);
  if (FTaken.empty()) return;
  std::vector<std::uint32_t> served;  // slots, in attach order
  LayOutEntries(FTaken, *batch, rowsOf, served);
  const std::shared_ptr<const TKrRTDQuoteRows::TBatch> shared = std::move(batch);
  DeliverBatch(shared, rowsOf, served);
}

void TKrRTDQuoteFeed::GatherTaken(TKrRTDQuoteRows::TBatch& batch, std::vector<TTaken>& taken,
                                  std::vector<TSlotRows>& rowsOf) {
  const auto& rows = batch.push->Rows();
  constexpr std::uint32_t kNoPosition = UINT32_MAX;
  if (FPositionAtRow.size() < rows.size()) FPositionAtRow.resize(rows.size(), kNoPosition);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const TKrQuoteRow& row = rows[r];
    if (!row.usable) continue;
    std::uint32_t& position = FPositionAtRow[r];
    if (position >= FJointCodes.size() || FJointCodes[position].code != row.upperCode) {
      const auto found = FJointPosition.find(row.Key());
      position = found == FJointPosition.end() ? kNoPosition : found->second;
      if (position == kNoPosition) continue;
    }
    for (TAsker& asker : FJointCodes[position].askers) {
      // What a code's subscriber takes from a shape is remembered with the code: a row costs no visit
      // to the subscriber.
      if (asker.taking.shape != row.shape->serial) asker.taking = asker.subscriber->Take(*row.shape, asker.fieldSet);
      const TKrQuoteShape* shape = asker.taking.From(*row.shape);
      if (shape == nullptr) continue;
      if (asker.taking.some && (batch.held.empty() || batch.held.back() != asker.taking.some)) {
        batch.held.push_back(asker.taking.some);
      }
      taken.push_back({asker.slot, {&row, shape, asker.ordinal}});
      ++rowsOf[asker.slot].count;
      rowsOf[asker.slot].generation = asker.generation;
    }
  }
}

void TKrRTDQuoteFeed::LayOutEntries(const std::vector<TTaken>& taken, TKrRTDQuoteRows::TBatch& batch,
                                    std::vector<TSlotRows>& rowsOf, std::vector<std::uint32_t>& served) {
  std::uint32_t next = 0;
  for (std::uint32_t s = 0; s < rowsOf.size(); ++s) {
    if (rowsOf[s].count == 0) continue;
    rowsOf[s].first = next;
    next += rowsOf[s].count;
    rowsOf[s].count = 0;  // counted again as the entries are laid out
    served.push_back(s);
  }
  batch.entries.resize(taken.size());
  for (const TTaken& t : taken) batch.entries[rowsOf[t.slot].first + rowsOf[t.slot].count++] = t.entry;
}

void TKrRTDQuoteFeed::DeliverBatch(const std::shared_ptr<const TKrRTDQuoteRows::TBatch>& batch,
                                   const std::vector<TSlotRows>& rowsOf, const std::vector<std::uint32_t>& served) {
  // The deliveries may change subscriptions and detach subscribers: until the last delivery is done, slots
  // stay where they are and detached subscribers stay alive. The subscribers are scattered in memory and
  // each delivery is short, so the next ones are fetched ahead: a subscriber kAhead turns before its own,
  // what it names as hot half as many turns before (by then its own fetch has arrived).
  struct TDeliveringScope {
    TKrRTDQuoteFeed& feed;
    explicit TDeliveringScope(TKrRTDQuoteFeed& f) : feed(f) { ++feed.FDelivering; }
    ~TDeliveringScope() {
      SettleDeferredQuoteRows();  // every call-back of this push is done
      if (--feed.FDelivering > 0) return;
      feed.FDetachedWhileDelivering.clear();
      feed.CloseDetachedSlots();
    }
  } delivering(*this);
  constexpr std::size_t kAhead = 4;
  for (std::size_t i = 0; i < served.size(); ++i) {
    if (i + kAhead < served.size()) __builtin_prefetch(FSubscribers[served[i + kAhead]].get());
    if (i + kAhead / 2 < served.size()) {
      if (const TSubscriber* soon = FSubscribers[served[i + kAhead / 2]].get()) {
        for (const void* address : soon->hot) {
          if (address) __builtin_prefetch(address);
        }
      }
    }
    TSubscriber* subscriber = FSubscribers[served[i]].get();
    if (!subscriber || !subscriber->deliver) continue;  // detached by an earlier delivery
    const TSlotRows& mine = rowsOf[served[i]];
    // Deferring helps the subscribers told later only, and only when the writes it puts off outweigh its
    // bookkeeping: the last subscriber and a subscriber of a few rows (a reminder's model) write at once.
    const bool deferrable = i + 1 < served.size() && mine.count >= kDeferFromRows;
    subscriber->deliver(TKrRTDQuoteRows(batch, mine.first, mine.count, mine.generation, deferrable));
  }
}

std::shared_ptr<TKrRTDQuoteFeed> G_GetRTDQuoteFeed() {
  if (!g_feed) g_feed = std::make_shared<TKrRTDQuoteFeed>();
  return g_feed;
}

void FreeRTDQuoteFeed() { g_feed.reset(); }

}  // namespace kdp
