#include "server/sign_in_throttle.h"

#include <algorithm>

namespace keyin::server {
namespace {

// Names and addresses apart: a name that reads like an address is still a name.
std::string NameKey(const std::string& name) { return "n " + name; }
std::string AddressKey(const std::string& address) { return "a " + address; }

}  // namespace

std::int64_t SignInThrottle::WaitMs(const std::string& key, std::int64_t now) const {
  auto found = entries_.find(key);
  if (found == entries_.end()) return 0;
  return std::max<std::int64_t>(found->second.closed_until - now, 0);
}

std::int64_t SignInThrottle::WaitMs(const std::string& name, const std::string& address,
                                    std::int64_t now) const {
  return std::max(WaitMs(NameKey(name), now), WaitMs(AddressKey(address), now));
}

void SignInThrottle::Failed(const std::string& name, const std::string& address, std::int64_t now) {
  Failed(NameKey(name), limits_.free_by_name, now);
  Failed(AddressKey(address), limits_.free_by_address, now);
}

void SignInThrottle::Failed(const std::string& key, int free, std::int64_t now) {
  auto found = entries_.find(key);
  if (found != entries_.end() && now - found->second.last_failure > limits_.forget_after_ms) {
    entries_.erase(found);
    found = entries_.end();
  }
  if (found == entries_.end()) {
    MakeRoom(now);
    found = entries_.emplace(key, Entry{}).first;
  }
  Entry& entry = found->second;
  ++entry.failures;
  entry.last_failure = now;
  const int over = entry.failures - free;
  if (over <= 0) return;
  // Doubling from the first delay, stopping at the longest (no shift past 62 bits).
  std::int64_t delay = limits_.first_delay_ms;
  for (int i = 1; i < over && delay < limits_.longest_delay_ms; ++i) delay *= 2;
  entry.closed_until = now + std::min(delay, limits_.longest_delay_ms);
}

void SignInThrottle::Succeeded(const std::string& name) { entries_.erase(NameKey(name)); }

// Forgotten entries go first, then open ones, oldest failure first. A closed entry goes only when
// every entry is closed, the one that opens first: guesses that fill the table open no door.
void SignInThrottle::MakeRoom(std::int64_t now) {
  if (entries_.size() < limits_.most_entries) return;
  std::erase_if(entries_, [&](const auto& entry) {
    return now - entry.second.last_failure > limits_.forget_after_ms &&
           entry.second.closed_until <= now;
  });
  const auto order = [now](const Entry& entry) {
    const bool closed = entry.closed_until > now;
    return std::pair(closed, closed ? entry.closed_until : entry.last_failure);
  };
  while (!entries_.empty() && entries_.size() >= limits_.most_entries) {
    entries_.erase(std::min_element(
        entries_.begin(), entries_.end(),
        [&](const auto& a, const auto& b) { return order(a.second) < order(b.second); }));
  }
}

}  // namespace keyin::server
