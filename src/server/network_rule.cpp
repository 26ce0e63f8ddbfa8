#include "server/network_rule.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstring>
#include <stdexcept>

namespace keyin::server {
namespace {

// The address in network order, IPv4-mapped IPv6 as IPv4; nothing when it is none.
std::optional<AddressRange> ParseAddress(std::string_view text) {
  if (text.empty() || text.size() > 45) return std::nullopt;
  const std::string address(text);
  AddressRange range;
  if (::inet_pton(AF_INET, address.c_str(), range.bytes.data()) == 1) {
    range.prefix = 32;
    return range;
  }
  if (::inet_pton(AF_INET6, address.c_str(), range.bytes.data()) != 1) return std::nullopt;
  static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  if (std::memcmp(range.bytes.data(), kMapped, sizeof kMapped) == 0) {
    std::memmove(range.bytes.data(), range.bytes.data() + 12, 4);
    std::memset(range.bytes.data() + 4, 0, 12);
    range.prefix = 32;
    return range;
  }
  range.v6 = true;
  range.prefix = 128;
  return range;
}

bool PrefixMatches(const AddressRange& range, const AddressRange& address) {
  if (range.v6 != address.v6) return false;
  const int whole = range.prefix / 8, bits = range.prefix % 8;
  if (std::memcmp(range.bytes.data(), address.bytes.data(), whole) != 0) return false;
  if (bits == 0) return true;
  const unsigned char mask = static_cast<unsigned char>(0xff << (8 - bits));
  return (range.bytes[whole] & mask) == (address.bytes[whole] & mask);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<AddressRange> ParseAddressRange(std::string_view text) {
  const std::size_t slash = text.find('/');
  std::optional<AddressRange> range = ParseAddress(text.substr(0, slash));
  if (!range || slash == std::string_view::npos) return range;
  const std::string_view bits = text.substr(slash + 1);
  int prefix = -1;
  const auto [end, error] = std::from_chars(bits.data(), bits.data() + bits.size(), prefix);
  if (bits.empty() || error != std::errc() || end != bits.data() + bits.size() || prefix < 0 ||
      prefix > range->prefix) {
    return std::nullopt;
  }
  // "10.1.2.3/24" is taken for nobody's meaning: the bits past the prefix must be zero.
  AddressRange masked = *range;
  masked.prefix = prefix;
  for (int bit = prefix; bit < range->prefix; ++bit) {
    if (range->bytes[bit / 8] & (0x80 >> (bit % 8))) return std::nullopt;
  }
  return masked;
}

NetworkRule NetworkRule::Parse(std::string_view list) {
  NetworkRule rule;
  if (Trim(list).empty()) return rule;
  for (;;) {
    const std::size_t comma = list.find(',');
    const std::string_view item = Trim(list.substr(0, comma));
    const std::optional<AddressRange> range = ParseAddressRange(item);
    if (!range) throw std::invalid_argument("not an address range: \"" + std::string(item) + "\"");
    rule.ranges_.push_back(*range);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return rule;
}

bool NetworkRule::Allows(std::string_view address) const {
  if (ranges_.empty()) return true;
  const std::optional<AddressRange> parsed = ParseAddress(address);
  if (!parsed) return false;
  for (const AddressRange& range : ranges_) {
    if (PrefixMatches(range, *parsed)) return true;
  }
  return false;
}

}  // namespace keyin::server
