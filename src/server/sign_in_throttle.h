// Wrong passwords and wrong access codes slow down, per name and per address: a few failures are
// free (a typing slip), then each further one closes the door for twice as long as the last. An
// attempt while the door is closed is refused without being checked, so guessing gains nothing.
// The time is a value (steady milliseconds): the rules are tested without a clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace keyin::server {

struct ThrottleLimits {
  int free_by_name = 5;       // one person's slips
  int free_by_address = 100;  // a whole room behind NAT signs in from one address
  std::int64_t first_delay_ms = 1000;
  std::int64_t longest_delay_ms =
      5 * 60 * 1000;  // an administrator locked out is not locked out for long
  std::int64_t forget_after_ms = 30 * 60 * 1000;  // failures that long ago count no more
  std::size_t most_entries = 10000;               // what many addresses or names can make it keep
};

class SignInThrottle {
 public:
  explicit SignInThrottle(ThrottleLimits limits = {}) : limits_(limits) {}

  // How long the caller must wait before an attempt for this name from this address is checked;
  // 0 when it may be checked now.
  std::int64_t WaitMs(const std::string& name, const std::string& address, std::int64_t now) const;

  void Failed(const std::string& name, const std::string& address, std::int64_t now);

  // The name's slips are forgiven; the address's are not (one's own name must not clear the way
  // for guessing others').
  void Succeeded(const std::string& name);

  std::size_t Entries() const { return entries_.size(); }

 private:
  struct Entry {
    int failures = 0;
    std::int64_t last_failure = 0;
    std::int64_t closed_until = 0;
  };

  std::int64_t WaitMs(const std::string& key, std::int64_t now) const;
  void Failed(const std::string& key, int free, std::int64_t now);
  void MakeRoom(std::int64_t now);

  ThrottleLimits limits_;
  std::map<std::string, Entry> entries_;
};

}  // namespace keyin::server
