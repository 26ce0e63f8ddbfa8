#include "platform/chewing_data.h"

#include <cstdlib>
#include <stdexcept>

#include "platform/durable_file.h"

namespace keyin {
namespace {

struct Node {
  std::uint16_t phone;
  std::uint32_t first, second;
};

class Tree {
 public:
  explicit Tree(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.empty() || bytes_.size() % 8 != 0) throw std::runtime_error("not a phrase tree");
  }
  std::size_t Size() const { return bytes_.size() / 8; }
  Node At(std::size_t index) const {
    if (index >= Size()) throw std::runtime_error("a node out of the phrase tree");
    const auto byte = [&](std::size_t at) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[index * 8 + at]));
    };
    return {static_cast<std::uint16_t>(byte(0) | byte(1) << 8),
            byte(2) | byte(3) << 8 | byte(4) << 16, byte(5) | byte(6) << 8 | byte(7) << 16};
  }

 private:
  std::string bytes_;
};

}  // namespace

std::string ChewingDataFolder() {
  const char* folder = std::getenv("KEYIN_CHEWING_DATA");
  return folder != nullptr && *folder != '\0' ? folder : "/usr/share/libchewing";
}

std::optional<std::vector<std::pair<std::uint16_t, std::string>>> ReadChewingCharacters(
    const std::string& folder) {
  const std::optional<std::string> tree_bytes = ReadFileIfAny(folder + "/index_tree.dat");
  const std::optional<std::string> texts = ReadFileIfAny(folder + "/dictionary.dat");
  if (!tree_bytes || !texts) return std::nullopt;
  const Tree tree(*tree_bytes);
  std::vector<std::pair<std::uint16_t, std::string>> characters;
  const Node root = tree.At(0);
  for (std::uint32_t i = root.first; i < root.second; ++i) {
    const Node syllable = tree.At(i);
    for (std::uint32_t j = syllable.first; j < syllable.second; ++j) {
      const Node phrase = tree.At(j);
      if (phrase.phone != 0) continue;  // a longer phrase's next syllable
      const std::size_t end = texts->find('\0', phrase.first);
      if (phrase.first >= texts->size() || end == std::string::npos) {
        throw std::runtime_error("a phrase out of the dictionary");
      }
      characters.emplace_back(syllable.phone, texts->substr(phrase.first, end - phrase.first));
    }
  }
  return characters;
}

}  // namespace keyin
