// The readings of characters in libchewing's data (libchewing3-data): the phrase tree
// index_tree.dat, whose first level holds one node per syllable (a phone: initial, medial, final
// and tone in 16 bits) with that syllable's phrases below, and dictionary.dat, the phrases' texts.
// Each node is 8 bytes: the phone (16 bits, little-endian), then two 24-bit numbers: the range of
// its children, or for a phrase (phone 0) where its text starts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace keyin {

// Where the data is: KEYIN_CHEWING_DATA, or /usr/share/libchewing.
std::string ChewingDataFolder();

// Every (phone, character) of the one-syllable phrases, in the tree's order; nothing when the
// files are not there (the package is not installed). Throws std::runtime_error for files it
// cannot read or that break the form above.
std::optional<std::vector<std::pair<std::uint16_t, std::string>>> ReadChewingCharacters(
    const std::string& folder);

}  // namespace keyin
