#include "util/host_addresses.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>

namespace kdp {

std::vector<std::string> ResolveHostAddresses() {
  std::vector<std::string> addresses;
  char name[65] = {};
  if (gethostname(name, sizeof name - 1) != 0) return addresses;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &result) != 0) return addresses;
  for (addrinfo* a = result; a != nullptr; a = a->ai_next) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) {
      if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) addresses.emplace_back(text);
    }
  }
  freeaddrinfo(result);
  return addresses;
}

const std::string& LocalIPAddress() {
  static const std::string address = [] {
    const std::vector<std::string> all = ResolveHostAddresses();
    return all.empty() ? std::string() : all.front();
  }();
  return address;
}

}  // namespace kdp
