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
  // By ordinal: the code's position in the joint subscription (kept up to date by the feed), its field
  // list, and what it took from the last shape a row of it came in (so a steady push visits no selection).
  struct TCode {
    std::uint32_t position = 0;
    std::uint32_t fieldSet = 0;
    TTaking taking;
  };
  std::vector<TCode> codes;

  void SetSymbols(const host::TKrSpeedSymbolDataList& subscribed) {
    symbols = subscribed;
    ordinalGeneration = ++g_lastOrdinalGeneration;
    asked.clear();
    fieldSets.clear();
    selections.clear();
    codes.clear();
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
    codes.resize(merged.size());
    for (const auto& [code, a] : asked) codes[a.ordinal].fieldSet = a.fieldSet;
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
    joint.askers.push_back({&subscriber, subscriber.slot, asked.ordinal});
    subscriber.codes[asked.ordinal].position = it->second;
  }
  FCodesAsked += subscriber.asked.size();
  ++FJointChanges;
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
      for (const TAsker& moved : FJointCodes[position].askers) moved.subscriber->codes[moved.ordinal].position = position;
    }
    FJoint.pop_back();
    FJointCodes.pop_back();
  }
  FCodesAsked -= subscriber.asked.size();
  ++FJointChanges;
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
constexpr std::uint32_t kNone = UINT32_MAX;
}  // namespace

// What a push holds for the subscribers, found in one pass over its rows.
struct TKrRTDQuoteFeed::TPushRows {
  struct TFound {
    std::uint32_t row, position;
  };
  std::vector<TFound> found;  // the rows whose code is subscribed, in push order, with the code's position
  // By joint position: the code's first row in the push (kNone: none); by row: the code's next row.
  std::vector<std::uint32_t> firstRowAt, nextRow;
  std::size_t hits = 0;            // (row, subscriber) pairs: the askers of every row found
  std::uint64_t jointChanges = 0;  // the joint subscription the positions belong to
  // The pairs by subscriber, sorted when first needed: slot s has [hitsFrom[s], hitsFrom[s + 1]).
  bool sorted = false;
  struct THit {
    std::uint32_t row, ordinal;
  };
  std::vector<std::uint32_t> hitsFrom;
  std::vector<THit> bySubscriber;

  void Clear() {
    for (const TFound& f : found) {
      if (f.position < firstRowAt.size()) firstRowAt[f.position] = kNone;
    }
    found.clear();
    hits = 0;
    sorted = false;
  }
};

std::unique_ptr<TKrRTDQuoteFeed::TPushRows> TKrRTDQuoteFeed::TakePushRows() {
  return FFreePushRows ? std::move(FFreePushRows) : std::make_unique<TPushRows>();
}

void TKrRTDQuoteFeed::OnQuoteData(const std::shared_ptr<host::IDataSet>& data) {
  if (!TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(data)) return;
  const auto self = shared_from_this();  // a subscriber's model may release the feed's last owner
  auto batch = std::make_shared<TKrRTDQuoteRows::TBatch>();
  batch->push = FLayouts.Prepare(*data);
  std::unique_ptr<TPushRows> found = TakePushRows();
  FindRows(*batch->push, *found);
  if (found->hits > 0) Deliver(batch, *found);
  found->Clear();
  FFreePushRows = std::move(found);
}

void TKrRTDQuoteFeed::FindRows(const TKrQuotePush& push, TPushRows& found) {
  const auto& rows = push.Rows();
  found.Clear();
  found.jointChanges = FJointChanges;
  if (found.firstRowAt.size() < FJointCodes.size()) found.firstRowAt.resize(FJointCodes.size(), kNone);
  if (found.nextRow.size() < rows.size()) found.nextRow.resize(rows.size());
  if (FPositionAtRow.size() < rows.size()) FPositionAtRow.resize(rows.size(), kNone);
  for (std::uint32_t r = 0; r < rows.size(); ++r) {
    const TKrQuoteRow& row = rows[r];
    if (!row.usable) continue;
    std::uint32_t& position = FPositionAtRow[r];
    if (position >= FJointCodes.size() || FJointCodes[position].code != row.upperCode) {
      const auto at = FJointPosition.find(row.Key());
      position = at == FJointPosition.end() ? kNone : at->second;
      if (position == kNone) continue;
    }
    found.found.push_back({r, position});
    found.hits += FJointCodes[position].askers.size();
    found.nextRow[r] = kNone;
    std::uint32_t* link = &found.firstRowAt[position];
    while (*link != kNone) link = &found.nextRow[*link];  // a code twice in one push: its rows in order
    *link = r;
  }
}

void TKrRTDQuoteFeed::SortHitsBySubscriber(TPushRows& found) const {
  found.hitsFrom.assign(FSubscribers.size() + 1, 0);
  for (const TPushRows::TFound& f : found.found) {
    for (const TAsker& asker : FJointCodes[f.position].askers) ++found.hitsFrom[asker.slot + 1];
  }
  for (std::size_t s = 1; s < found.hitsFrom.size(); ++s) found.hitsFrom[s] += found.hitsFrom[s - 1];
  std::vector<std::uint32_t> next(found.hitsFrom.begin(), found.hitsFrom.end() - 1);  // each slot's fill point
  found.bySubscriber.resize(found.hitsFrom.back());
  for (const TPushRows::TFound& f : found.found) {
    for (const TAsker& asker : FJointCodes[f.position].askers) found.bySubscriber[next[asker.slot]++] = {f.row, asker.ordinal};
  }
  found.sorted = true;
}

void TKrRTDQuoteFeed::GatherFor(TSubscriber& subscriber, TPushRows& found, TKrRTDQuoteRows::TBatch& batch) const {
  const auto& rows = batch.push->Rows();
  const std::size_t first = batch.entries.size();
  const auto take = [&](std::uint32_t ordinal, const TKrQuoteRow& row) {
    TTaking& taking = subscriber.codes[ordinal].taking;
    if (taking.shape != row.shape->serial) taking = subscriber.Take(*row.shape, subscriber.codes[ordinal].fieldSet);
    const TKrQuoteShape* shape = taking.From(*row.shape);
    if (shape == nullptr) return;
    if (taking.some && (batch.held.empty() || batch.held.back() != taking.some)) batch.held.push_back(taking.some);
    batch.entries.push_back({&row, shape, ordinal});
  };
  // A subscriber with not many more codes than the push has rows walks its own codes; the others take
  // their pairs sorted by subscriber.
  if (!found.sorted && subscriber.codes.size() <= 4 * found.found.size()) {
    for (std::uint32_t ordinal = 0; ordinal < subscriber.codes.size(); ++ordinal) {
      const std::uint32_t position = subscriber.codes[ordinal].position;
      if (position >= found.firstRowAt.size()) continue;
      for (std::uint32_t r = found.firstRowAt[position]; r != kNone; r = found.nextRow[r]) take(ordinal, rows[r]);
    }
    // In the push's order, as the update list reports them (codes are mostly subscribed in that order).
    const auto byRow = [](const TKrRTDQuoteRows::TEntry& a, const TKrRTDQuoteRows::TEntry& b) { return a.row < b.row; };
    const auto mine = batch.entries.begin() + static_cast<std::ptrdiff_t>(first);
    if (!std::is_sorted(mine, batch.entries.end(), byRow)) std::sort(mine, batch.entries.end(), byRow);
    return;
  }
  if (!found.sorted) SortHitsBySubscriber(found);
  const std::uint32_t slot = subscriber.slot;
  if (slot + 1 >= found.hitsFrom.size()) return;  // attached after the pairs were sorted
  for (std::uint32_t h = found.hitsFrom[slot]; h < found.hitsFrom[slot + 1]; ++h) {
    take(found.bySubscriber[h].ordinal, rows[found.bySubscriber[h].row]);
  }
}

void TKrRTDQuoteFeed::Deliver(const std::shared_ptr<TKrRTDQuoteRows::TBatch>& batch, TPushRows& found) {
  // Visiting every subscriber and walking its codes costs about the subscribers and codes there are;
  // sorting the push's pairs by subscriber, twice its pairs. A push reaching few of them (a tick of one
  // code among 10,000 reminders, or among a hundred boards) visits only the subscribers it reaches.
  std::vector<std::uint32_t> served;  // slots, in attach order
  if (FSubscribers.size() + FCodesAsked > 2 * found.hits) {
    SortHitsBySubscriber(found);
    for (std::uint32_t s = 0; s + 1 < found.hitsFrom.size(); ++s) {
      if (found.hitsFrom[s + 1] > found.hitsFrom[s]) served.push_back(s);
    }
  } else {
    // Up to the last subscriber asking for something, so that the last one told writes at once.
    std::size_t end = FSubscribers.size();
    while (end > 0 && (!FSubscribers[end - 1] || FSubscribers[end - 1]->codes.empty())) --end;
    served.resize(end);
    for (std::uint32_t s = 0; s < served.size(); ++s) served[s] = s;
  }
  batch->entries.reserve(found.hits);
  // The deliveries may change subscriptions and detach subscribers: until the last delivery is done, slots
  // stay where they are and detached subscribers stay alive. The subscribers are scattered in memory and
  // each delivery is short, so the next ones are fetched ahead: a subscriber kAhead turns before its own,
  // what it names as hot and its codes half as many turns before (by then its own fetch has arrived).
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
        __builtin_prefetch(soon->codes.data());
        for (const void* address : soon->hot) {
          if (address) __builtin_prefetch(address);
        }
      }
    }
    TSubscriber* subscriber = FSubscribers[served[i]].get();
    if (!subscriber || !subscriber->deliver || subscriber->codes.empty()) continue;  // detached, or asks nothing
    if (found.jointChanges != FJointChanges) {
      // An earlier delivery changed the joint subscription: positions may have moved.
      FindRows(*batch->push, found);
    }
    const std::size_t first = batch->entries.size();
    GatherFor(*subscriber, found, *batch);
    const std::size_t count = batch->entries.size() - first;
    if (count == 0) continue;
    // Deferring helps the subscribers told later only, and only when the writes it puts off outweigh its
    // bookkeeping: the last subscriber and a subscriber of a few rows (a reminder's model) write at once.
    const bool deferrable = i + 1 < served.size() && count >= kDeferFromRows;
    subscriber->deliver(TKrRTDQuoteRows(batch, first, count, subscriber->ordinalGeneration, deferrable));
  }
}

std::shared_ptr<TKrRTDQuoteFeed> G_GetRTDQuoteFeed() {
  if (!g_feed) g_feed = std::make_shared<TKrRTDQuoteFeed>();
  return g_feed;
}

void FreeRTDQuoteFeed() { g_feed.reset(); }

}  // namespace kdp
