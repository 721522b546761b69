// Publication of the package's long-lived services at start-up, and their withdrawal at shut-down.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/interface.h"

namespace kdp {

enum class PublishChannel { kGuidRegistry, kNameRegistry };

// Objects made earlier in the same registration run, for rows that publish another face of one object.
// The package's references are dropped when the run ends; the host keeps the published ones.
using RegistrationScratch = std::map<std::string, host::InterfacePtr, std::less<>>;

// One row of the start-up publication table.
struct PublishedService {
  std::string_view implementingClass;
  PublishChannel channel;
  std::string_view name;  // the interface name, and the published name on the name channel
  host::Guid guid;
  // Constructs (or fetches) the object and returns the face to publish.
  std::function<host::InterfacePtr(RegistrationScratch&)> obtain;
};

// The rows published at start-up, in publication order.
const std::vector<PublishedService>& StartupServices();

// Performs the start-up table in order. An error escaping a row ends the routine at that row (the rows
// before it stay published) and propagates to the caller.
void RegisterHQPubIntf();

// Withdraws every published name and registration in the fixed order and frees the module singletons.
// Safe to call when start-up failed part-way or never ran.
void UnRegisterHQPubIntf();

}  // namespace kdp
