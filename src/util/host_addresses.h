// The machine's own IPv4 addresses, as the quote engine's user ID and the report requests carry them.
// Any thread.
#pragma once

#include <string>
#include <vector>

namespace kdp {

// Every IPv4 address the machine's host name resolves to, dotted, in resolver order; empty when the
// look-up fails.
std::vector<std::string> ResolveHostAddresses();

// The first of them, resolved once per process; "" when the look-up failed.
const std::string& LocalIPAddress();

}  // namespace kdp
