// TKrRTDQuoteFeed: the package's one quote-engine data request, shared by the quote-engine subscribers of
// every RTD model.
//
// The subscribers' subscriptions join into one engine subscription: every code once, with the field IDs
// any subscriber asked for it, kept up to date as subscribers come and go (never rebuilt from all of them). Each push
// is prepared once (TKrQuoteLayouts: read, resolved against the dictionary, texts converted) and every subscriber
// receives the rows of the codes it subscribed, each with just the fields it asked for, all sharing the prepared push.
// A row that brings none of a subscriber's fields does not reach it.
//
// A subscription or unsubscription changes the engine subscription, sent when the main loop's present
// task is done; the engine answers it with a snapshot of everything subscribed, and every subscriber
// receives its part of it.
//
// When the engine's connection comes back, the joint subscription is sent again the same way (the engine
// forgot it with the connection), so subscribers are served again without asking.
//
// One per package (G_GetRTDQuoteFeed), released when the package stops; a subscriber keeps the feed it
// attached to while it lives. It attaches to the engine the package's session holds when a subscriber
// attaches (and again when that engine changed).
//
// Main thread only: the engine delivers pushes on the host's main loop. A subscriber may subscribe,
// unsubscribe or detach (its model may go) from inside a delivery; later subscribers of the same push
// are still served, a detached one no longer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kdp/host/main_loop.h"
#include "kdp/host/speed.h"
#include "kdp/rtd/rtd_quote_rows.h"
#include "kdp/speed/speed_observer.h"
#include "rtd/rtd_quote_layouts.h"

namespace kdp {

class TKrRTDQuoteFeed final : public std::enable_shared_from_this<TKrRTDQuoteFeed> {
 public:
  using TDeliver = std::function<void(const TKrRTDQuoteRows& rows)>;
  // Addresses a delivery to a subscriber reads first (null: none). With thousands of subscribers of a row
  // each (reminders' models), a push is a walk through scattered objects whose reads wait on memory one
  // after the other; the feed fetches these a few subscribers ahead of their turn.
  using THot = std::array<const void*, 8>;

  TKrRTDQuoteFeed();
  ~TKrRTDQuoteFeed();
  TKrRTDQuoteFeed(const TKrRTDQuoteFeed&) = delete;
  TKrRTDQuoteFeed& operator=(const TKrRTDQuoteFeed&) = delete;

  // Adds a subscriber with nothing subscribed; answers its ticket.
  int Attach(TDeliver deliver);
  // Sets what the subscriber's deliveries read first (addresses that stay valid while it is attached).
  void SetHot(int ticket, const THot& hot);
  // Removes a subscriber and its codes from the engine subscription.
  void Detach(int ticket);
  // Whether the feed has an engine request (false without an engine).
  bool HasRequest() const { return FRequest != nullptr; }
  // Replaces the subscriber's codes and field IDs. Answers 0 (the joint subscription goes out after the
  // present task), -1 without an engine or for an unknown ticket.
  int Subscribe(int ticket, const host::TKrSpeedSymbolDataList& symbols);
  // Drops the subscriber's codes (the engine is unsubscribed once nothing is left). Answers as Subscribe.
  int Unsubscribe(int ticket);

  // The layouts of the package's deliveries (the cloud subscribers prepare theirs here too).
  TKrQuoteLayouts& Layouts() { return FLayouts; }
  // An engine push, as the engine's observer hands it over (public for benchmarks and tests that feed
  // pushes of their own).
  void OnQuoteData(const std::shared_ptr<host::IDataSet>& data);

 private:
  struct TSubscriber;
  // What a subscriber takes from rows of one shape: nothing, every field (the row's own shape), or some.
  struct TTaking {
    enum Kind : std::uint8_t { kNone, kAll, kSome };
    std::uint64_t shape = 0;  // serial of the row shape (0: none yet)
    Kind kind = kNone;
    std::shared_ptr<const TKrQuoteShape> some;  // kSome: the fields taken
    const TKrQuoteShape* From(const TKrQuoteShape& row) const { return kind == kAll ? &row : some.get(); }
  };

  void AttachToEngine();
  TSubscriber* Find(int ticket) const;
  // Adds the subscriber's codes and fields to the joint subscription, or takes them out again.
  void Join(TSubscriber& subscriber);
  void Leave(TSubscriber& subscriber);
  // Sends the joint subscription once the present main-loop task is done, so that widgets subscribing in
  // one go (a board opening, a thousand reminders loading) cost the engine one subscription, not one each.
  // Answers 0, or -1 without an engine.
  int ScheduleSend();
  int SendSubscription();
  // Closes the gaps detached subscribers left, once they are many and no delivery is under way.
  void CloseDetachedSlots();

  // The stages of a push (OnQuoteData). One pass over the push finds each row's code once; each
  // subscriber's entries are then gathered just before its own delivery, so a call-back waits for the
  // entries of the subscribers told before it, not for everyone's.
  struct TPushRows;
  std::unique_ptr<TPushRows> TakePushRows();
  void FindRows(const TKrQuotePush& push, TPushRows& found);
  // Sorts the push's (row, subscriber) pairs by subscriber, for the subscribers a push brings few of
  // their codes (and for every subscriber when the push reaches few of them).
  void SortHitsBySubscriber(TPushRows& found) const;
  // Appends the subscriber's entries to the batch, in the push's row order.
  void GatherFor(TSubscriber& subscriber, TPushRows& found, TKrRTDQuoteRows::TBatch& batch) const;
  void Deliver(const std::shared_ptr<TKrRTDQuoteRows::TBatch>& batch, TPushRows& found);

  TKrQuoteLayouts FLayouts;
  // The finding of a push, kept from push to push with its room (growing it afresh each push was a
  // noticeable share of a push's cost). A delivery may turn the main loop and let another push in: that
  // push finds none free and makes its own.
  std::unique_ptr<TPushRows> FFreePushRows;
  // In attach order, each knowing its slot; a detached subscriber leaves an empty slot for a while.
  std::vector<std::shared_ptr<TSubscriber>> FSubscribers;
  std::size_t FDetachedSlots = 0;
  int FDelivering = 0;  // deliveries under way (a delivery may turn the main loop): slots stay put meanwhile
  std::vector<std::shared_ptr<TSubscriber>> FDetachedWhileDelivering;
  std::unordered_map<int, TSubscriber*> FByTicket;
  // The joint subscription: every code once, with every field asked for it; each (upper-case) code's
  // position in it; and per position, how many subscribers ask for each field and who asks for the code.
  host::TKrSpeedSymbolDataList FJoint;
  std::unordered_map<std::string, std::uint32_t, TKrQuoteCodeHash, TKrQuoteCodeEqual> FJointPosition;
  struct TAsker {
    TSubscriber* subscriber;  // attached: a subscriber leaves the joint subscription before it detaches
    std::uint32_t slot;       // the subscriber's, kept up to date when slots close up
    std::uint32_t ordinal;    // the code's place among the subscriber's codes
  };
  struct TJointCode {
    std::string code;                                               // upper case
    std::vector<std::pair<std::uint32_t, std::uint32_t>> askedIDs;  // field ID, subscribers asking
    std::vector<TAsker> askers;
  };
  std::vector<TJointCode> FJointCodes;  // by position
  std::size_t FCodesAsked = 0;          // every subscriber's codes, counted per subscriber
  // Counts the changes of the joint subscription: a delivery that changes it moves positions, and the
  // rest of the push finds its rows' positions again.
  std::uint64_t FJointChanges = 0;
  // The position of each row's code in the last push, tried first (an engine sends a push's codes in the
  // same order push after push); checked against the code at that position.
  std::vector<std::uint32_t> FPositionAtRow;
  bool FSendPending = false;
  host::MessageWindow FWindow;  // the deferred send; released with the feed
  int FLastTicket = 0;
  std::shared_ptr<host::ISpeed> FSpeed;
  // The session the engine came from (it may end first) and the feed's connection listener there.
  std::weak_ptr<class TKrHQSpeedImpl> FSession;
  int FConnectionListener = 0;
  std::shared_ptr<TKrHQSpeedObserver> FObserver;
  std::shared_ptr<host::ISpeedDataRequest> FRequest;
};

// The package's feed, made on first use.
std::shared_ptr<TKrRTDQuoteFeed> G_GetRTDQuoteFeed();
// Releases the package's feed (subscribers still alive keep theirs).
void FreeRTDQuoteFeed();

}  // namespace kdp
