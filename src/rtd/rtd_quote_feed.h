// TKrRTDQuoteFeed: the package's one quote-engine data request, shared by the quote-engine subscribers of
// every RTD model.
//
// The subscribers' subscriptions join into one engine subscription: every code once (in the order first
// subscribed), with the field IDs any subscriber asked for it. Each push is prepared once
// (TKrQuoteLayouts: read, resolved against the dictionary, texts converted) and every subscriber receives
// the rows of the codes it subscribed, each with just the fields it asked for, all sharing the prepared
// push. A row that brings none of a subscriber's fields does not reach it.
//
// A subscription or unsubscription changes the engine subscription, and the engine answers a new
// subscription with a snapshot of everything subscribed: every subscriber receives its part of it.
//
// One per package (G_GetRTDQuoteFeed), released when the package stops; a subscriber keeps the feed it
// attached to while it lives. It attaches to the engine the package's session holds when a subscriber
// attaches (and again when that engine changed).
//
// Main thread only: the engine delivers pushes on the host's main loop. A subscriber may subscribe,
// unsubscribe or detach (its model may go) from inside a delivery; later subscribers of the same push
// are still served, a detached one no longer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "kdp/host/speed.h"
#include "kdp/rtd/rtd_quote_rows.h"
#include "kdp/speed/speed_observer.h"
#include "rtd/rtd_quote_layouts.h"

namespace kdp {

class TKrRTDQuoteFeed final : public std::enable_shared_from_this<TKrRTDQuoteFeed> {
 public:
  using TDeliver = std::function<void(const TKrRTDQuoteRows& rows)>;

  TKrRTDQuoteFeed();
  ~TKrRTDQuoteFeed();
  TKrRTDQuoteFeed(const TKrRTDQuoteFeed&) = delete;
  TKrRTDQuoteFeed& operator=(const TKrRTDQuoteFeed&) = delete;

  // Adds a subscriber with nothing subscribed; answers its ticket.
  int Attach(TDeliver deliver);
  // Removes a subscriber and its codes from the engine subscription.
  void Detach(int ticket);
  // Whether the feed has an engine request (false without an engine).
  bool HasRequest() const { return FRequest != nullptr; }
  // Replaces the subscriber's codes and field IDs. Answers the engine's answer to the joint subscription,
  // -1 without an engine.
  int Subscribe(int ticket, const host::TKrSpeedSymbolDataList& symbols);
  // Drops the subscriber's codes. Answers the engine's answer (its unsubscription once nothing is left
  // subscribed), -1 without an engine.
  int Unsubscribe(int ticket);

  // The layouts of the package's deliveries (the cloud subscribers prepare theirs here too).
  TKrQuoteLayouts& Layouts() { return FLayouts; }
  // An engine push, as the engine's observer hands it over (public for benchmarks and tests that feed
  // pushes of their own).
  void OnQuoteData(const std::shared_ptr<host::IDataSet>& data);

 private:
  struct TSubscriber;

  void AttachToEngine();
  // Joins the subscribers' codes into FJoint again and gives the joint subscription a new generation.
  void Rejoin();
  int SendSubscription();

  TKrQuoteLayouts FLayouts;
  std::vector<std::shared_ptr<TSubscriber>> FSubscribers;  // in attach order
  // The joint subscription: every code once, with every field asked for it; and each (upper-case)
  // code's position in it, valid for one generation.
  host::TKrSpeedSymbolDataList FJoint;
  std::unordered_map<std::string, std::uint32_t, TKrQuoteCodeHash, TKrQuoteCodeEqual> FJointPosition;
  // Per position, who asked for the code: the subscriber (its index in FSubscribers), the code's place
  // among that subscriber's codes, and the field list it asked for.
  struct TAsker {
    std::uint32_t subscriber;
    std::uint32_t ordinal;
    std::uint32_t fieldSet;
  };
  std::vector<std::vector<TAsker>> FAskers;
  std::uint64_t FJointGeneration = 0;
  int FLastTicket = 0;
  std::shared_ptr<host::ISpeed> FSpeed;
  std::shared_ptr<TKrHQSpeedObserver> FObserver;
  std::shared_ptr<host::ISpeedDataRequest> FRequest;
};

// The package's feed, made on first use.
std::shared_ptr<TKrRTDQuoteFeed> G_GetRTDQuoteFeed();
// Releases the package's feed (subscribers still alive keep theirs).
void FreeRTDQuoteFeed();

}  // namespace kdp
