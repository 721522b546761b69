#include "rtd/rtd_quote_feed.h"

#include <algorithm>
#include <unordered_set>

#include "kdp/speed/speed_quote_data.h"
#include "kdp/speed/speed_session.h"
#include "util/strings.h"

namespace kdp {
namespace {

// Selections a subscriber remembers before it starts afresh (layouts times field lists it met).
constexpr std::size_t kMaxSelections = 64;

std::shared_ptr<TKrRTDQuoteFeed> g_feed;
std::uint64_t g_lastJointGeneration = 0;  // generations never repeat, whichever feed made them

}  // namespace

struct TKrRTDQuoteFeed::TSubscriber {
  // The fields a subscriber takes from rows of one shape when their code asks for one field list.
  struct TSelection {
    enum Kind : std::uint8_t { kNone, kAll, kSome };
    std::uint64_t shape;     // serial of the row shape
    std::uint32_t fieldSet;  // index into fieldSets
    Kind kind;
    std::shared_ptr<const TKrQuoteShape> some;  // kSome: the fields taken
  };

  int ticket = 0;
  TDeliver deliver;
  bool attached = true;
  host::TKrSpeedSymbolDataList symbols;
  // Per upper-case code its place among the subscriber's codes and the field list it asks for (an index
  // into fieldSets, each sorted, each once).
  struct TAsked {
    std::uint32_t ordinal;
    std::uint32_t fieldSet;
  };
  std::unordered_map<std::string, TAsked, TKrQuoteCodeHash, TKrQuoteCodeEqual> asked;
  std::vector<std::vector<std::uint32_t>> fieldSets;
  std::vector<TSelection> selections;
  std::size_t lastTaken = 0;  // the selection the previous row used: rows of a push mostly share one

  void SetSymbols(const host::TKrSpeedSymbolDataList& subscribed) {
    symbols = subscribed;
    asked.clear();
    fieldSets.clear();
    selections.clear();
    std::vector<std::vector<std::uint32_t>> merged;  // per code, by its ordinal
    std::unordered_map<std::string, std::uint32_t> codeIndex;
    for (const host::TKrSpeedSymbolData& symbol : subscribed) {
      auto [it, fresh] =
          codeIndex.try_emplace(ToUpperAscii(symbol.KoraCode), static_cast<std::uint32_t>(merged.size()));
      if (fresh) merged.emplace_back();
      auto& ids = merged[it->second];
      ids.insert(ids.end(), symbol.ItemIDs.begin(), symbol.ItemIDs.end());
    }
    for (auto& [code, index] : codeIndex) {
      auto& ids = merged[index];
      std::sort(ids.begin(), ids.end());
      ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
      auto same = std::find(fieldSets.begin(), fieldSets.end(), ids);
      if (same == fieldSets.end()) same = fieldSets.insert(fieldSets.end(), ids);
      asked.emplace(code, TAsked{index, static_cast<std::uint32_t>(same - fieldSets.begin())});
    }
  }

  // The fields of `shape` this subscriber takes for a code asking for field list `fieldSet`: the shape
  // itself when it takes them all, nullptr when none. A shape made for fewer fields joins `held`.
  const TKrQuoteShape* Take(const TKrQuoteShape& shape, std::uint32_t fieldSet,
                            std::vector<std::shared_ptr<const TKrQuoteShape>>& held) {
    auto known = lastTaken < selections.size() && selections[lastTaken].shape == shape.serial &&
                         selections[lastTaken].fieldSet == fieldSet
                     ? selections.begin() + static_cast<std::ptrdiff_t>(lastTaken)
                     : std::find_if(selections.begin(), selections.end(), [&](const TSelection& s) {
                         return s.shape == shape.serial && s.fieldSet == fieldSet;
                       });
    if (known == selections.end()) {
      if (selections.size() >= kMaxSelections) selections.clear();
      known = selections.insert(selections.end(), Select(shape, fieldSet));
    }
    lastTaken = static_cast<std::size_t>(known - selections.begin());
    switch (known->kind) {
      case TSelection::kAll:
        return &shape;
      case TSelection::kSome:
        if (held.empty() || held.back() != known->some) held.push_back(known->some);
        return known->some.get();
      default:
        return nullptr;
    }
  }

 private:
  TSelection Select(const TKrQuoteShape& shape, std::uint32_t fieldSet) const {
    const std::vector<std::uint32_t>& wanted = fieldSets[fieldSet];
    std::vector<TKrQuoteField> taken;
    for (const TKrQuoteField& field : shape.fields) {
      if (std::binary_search(wanted.begin(), wanted.end(), field.id)) taken.push_back(field);
    }
    if (taken.empty()) return {shape.serial, fieldSet, TSelection::kNone, nullptr};
    if (taken.size() == shape.fields.size()) return {shape.serial, fieldSet, TSelection::kAll, nullptr};
    return {shape.serial, fieldSet, TSelection::kSome, TKrQuoteShape::Make(std::move(taken))};
  }
};

TKrRTDQuoteFeed::TKrRTDQuoteFeed() = default;

// The observer's event holds the feed weakly, so it needs no clearing here: the feed may end inside its
// own delivery (a widget's call-back releasing the last owner), while the observer runs that event.
TKrRTDQuoteFeed::~TKrRTDQuoteFeed() {
  if (FRequest) FRequest->UnSubscribe();
}

void TKrRTDQuoteFeed::AttachToEngine() {
  auto speed = G_GetHQSpeedImpl()->GetHQSpeed();
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
      std::any_of(FSubscribers.begin(), FSubscribers.end(), [](const auto& s) { return !s->symbols.empty(); })) {
    SendSubscription();
  }
}

int TKrRTDQuoteFeed::Attach(TDeliver deliver) {
  auto subscriber = std::make_shared<TSubscriber>();
  subscriber->ticket = ++FLastTicket;
  subscriber->deliver = std::move(deliver);
  FSubscribers.push_back(subscriber);
  AttachToEngine();
  return subscriber->ticket;
}

void TKrRTDQuoteFeed::Detach(int ticket) {
  auto it = std::find_if(FSubscribers.begin(), FSubscribers.end(), [&](const auto& s) { return s->ticket == ticket; });
  if (it == FSubscribers.end()) return;
  const bool hadCodes = !(*it)->symbols.empty();
  (*it)->attached = false;
  (*it)->deliver = nullptr;
  FSubscribers.erase(it);
  Rejoin();  // the askers name subscribers by their place
  if (hadCodes && FRequest) SendSubscription();
}

int TKrRTDQuoteFeed::Subscribe(int ticket, const host::TKrSpeedSymbolDataList& symbols) {
  auto it = std::find_if(FSubscribers.begin(), FSubscribers.end(), [&](const auto& s) { return s->ticket == ticket; });
  if (it == FSubscribers.end()) return -1;
  (*it)->SetSymbols(symbols);
  Rejoin();
  return FRequest ? SendSubscription() : -1;
}

int TKrRTDQuoteFeed::Unsubscribe(int ticket) {
  auto it = std::find_if(FSubscribers.begin(), FSubscribers.end(), [&](const auto& s) { return s->ticket == ticket; });
  if (it == FSubscribers.end()) return -1;
  (*it)->SetSymbols({});
  Rejoin();
  return FRequest ? SendSubscription() : -1;
}

void TKrRTDQuoteFeed::Rejoin() {
  FJoint.clear();
  FJointPosition.clear();
  std::vector<std::unordered_set<std::uint32_t>> idsOf;  // per entry, the IDs it has
  for (const auto& subscriber : FSubscribers) {
    for (const host::TKrSpeedSymbolData& symbol : subscriber->symbols) {
      auto [it, fresh] =
          FJointPosition.try_emplace(ToUpperAscii(symbol.KoraCode), static_cast<std::uint32_t>(FJoint.size()));
      if (fresh) {
        FJoint.push_back({symbol.KoraCode, {}});
        idsOf.emplace_back();
      }
      for (std::uint32_t id : symbol.ItemIDs) {
        if (idsOf[it->second].insert(id).second) FJoint[it->second].ItemIDs.push_back(id);
      }
    }
  }
  FAskers.assign(FJoint.size(), {});
  for (std::size_t s = 0; s < FSubscribers.size(); ++s) {
    for (const auto& [code, asked] : FSubscribers[s]->asked) {
      FAskers[FJointPosition.at(code)].push_back({static_cast<std::uint32_t>(s), asked.ordinal, asked.fieldSet});
    }
  }
  FJointGeneration = ++g_lastJointGeneration;
}

int TKrRTDQuoteFeed::SendSubscription() {
  return FJoint.empty() ? FRequest->UnSubscribe() : FRequest->Subscribe(FJoint);
}

void TKrRTDQuoteFeed::OnQuoteData(const std::shared_ptr<host::IDataSet>& data) {
  if (!TKrSpeedDataSetParseCmdID3070::HasQuoteLayout(data)) return;
  const auto self = shared_from_this();  // a subscriber's model may release the feed's last owner
  const std::shared_ptr<const TKrQuotePush> push = FLayouts.Prepare(*data);
  // Every subscriber's rows first, in one pass over the push (a row's code is looked up once); then the
  // deliveries, which may change subscriptions and detach subscribers.
  const std::vector<std::shared_ptr<TSubscriber>> subscribers = FSubscribers;
  std::vector<std::vector<TKrRTDQuoteRows::TEntry>> entries(subscribers.size());
  std::vector<std::vector<std::shared_ptr<const TKrQuoteShape>>> held(subscribers.size());
  for (const TKrQuoteRow& row : push->Rows()) {
    if (!row.usable) continue;
    auto position = FJointPosition.find(row.Key());
    if (position == FJointPosition.end()) continue;
    for (const TAsker& asker : FAskers[position->second]) {
      TSubscriber& subscriber = *subscribers[asker.subscriber];
      if (const TKrQuoteShape* shape = subscriber.Take(*row.shape, asker.fieldSet, held[asker.subscriber])) {
        auto& mine = entries[asker.subscriber];
        if (mine.empty()) mine.reserve(push->Rows().size());
        mine.push_back({&row, shape, asker.ordinal});
      }
    }
  }
  const std::uint64_t generation = FJointGeneration;
  for (std::size_t s = 0; s < subscribers.size(); ++s) {
    TSubscriber& subscriber = *subscribers[s];
    if (entries[s].empty() || !subscriber.attached || !subscriber.deliver) continue;
    subscriber.deliver(TKrRTDQuoteRows(push, std::move(entries[s]), std::move(held[s]), generation));
  }
}

std::shared_ptr<TKrRTDQuoteFeed> G_GetRTDQuoteFeed() {
  if (!g_feed) g_feed = std::make_shared<TKrRTDQuoteFeed>();
  return g_feed;
}

void FreeRTDQuoteFeed() { g_feed.reset(); }

}  // namespace kdp
