// Which addresses may call: an exam centre lets candidates sign in only from the room's network,
// and may keep the proctor's pages to its staff's. A rule is a list of ranges in CIDR form
// ("10.1.2.0/24", "192.168.1.7", "fd00::/8"); an empty rule lets every address call. Pure.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keyin::server {

struct AddressRange {
  bool v6 = false;
  std::array<unsigned char, 16> bytes{};  // the first 4 for IPv4
  int prefix = 0;                         // bits that must match
};

// "ADDRESS" or "ADDRESS/BITS"; nothing for anything else (a prefix longer than the address, bits
// set past the prefix, a name).
std::optional<AddressRange> ParseAddressRange(std::string_view text);

class NetworkRule {
 public:
  NetworkRule() = default;
  // Comma-separated ranges, blanks around them ignored; throws std::invalid_argument naming the
  // first that is not one.
  static NetworkRule Parse(std::string_view list);

  bool Empty() const { return ranges_.empty(); }
  // An IPv4 address written as IPv6 (::ffff:10.1.2.3) is the IPv4 address. An address that
  // cannot be read is allowed by the empty rule only.
  bool Allows(std::string_view address) const;

 private:
  std::vector<AddressRange> ranges_;
};

}  // namespace keyin::server
