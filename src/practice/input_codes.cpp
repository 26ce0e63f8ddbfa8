#include "practice/input_codes.h"

#include <algorithm>
#include <array>

#include "platform/utf8.h"

namespace keyin {
namespace {

// A quoted text of a Python literal at `at` ('...' or "..." with backslash escapes), and where
// it ends; nothing when there is none.
std::optional<std::string> QuotedText(std::string_view text, std::size_t& at) {
  while (at < text.size() && text[at] != '\'' && text[at] != '"') {
    if (text[at] == '}') return std::nullopt;
    ++at;
  }
  if (at >= text.size()) return std::nullopt;
  const char quote = text[at++];
  std::string value;
  while (at < text.size() && text[at] != quote) {
    if (text[at] == '\\' && at + 1 < text.size()) ++at;
    value += text[at++];
  }
  if (at >= text.size()) return std::nullopt;
  ++at;
  return value;
}

// The characters of a UTF-8 text, a surrogate pair as one.
std::u32string Characters(std::string_view text) {
  const std::u16string units = DecodeUtf8(text);
  std::u32string characters;
  for (std::size_t i = 0; i < units.size();) {
    const Utf16Character character = CharacterAt(units, i);
    characters += character.code_point;
    i += character.units;
  }
  return characters;
}

}  // namespace

std::optional<std::string_view> IbusTableOf(std::string_view method) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kTables = {{
      {"倉頡", "cangjie3"},
      {"新倉頡", "cangjie5"},
      {"速成", "quick-classic"},
      {"行列", "array30"},
      {"大易", "easy-big"},
  }};
  for (const auto& [name, table] : kTables) {
    if (name == method) return table;
  }
  return std::nullopt;
}

std::map<char, std::string> ParseKeyNames(std::string_view char_prompts) {
  std::map<char, std::string> names;
  std::size_t at = 0;
  while (true) {
    const std::optional<std::string> key = QuotedText(char_prompts, at);
    if (!key) break;
    const std::optional<std::string> name = QuotedText(char_prompts, at);
    if (!name) break;
    if (key->size() == 1) names[(*key)[0]] = *name;
  }
  return names;
}

bool TypesByReading(std::string_view method) { return method == "注音" || method == "新注音"; }

CodeTable MakeCodeTable(std::string method,
                        const std::vector<std::pair<std::string, std::string>>& rows,
                        std::map<char, std::string> key_names) {
  CodeTable table{std::move(method), {}, std::move(key_names)};
  for (const auto& [keys, phrase] : rows) {
    const std::u32string characters = Characters(phrase);
    if (characters.size() != 1 || keys.empty()) continue;
    std::vector<std::string>& codes = table.codes[characters[0]];
    if (std::find(codes.begin(), codes.end(), keys) == codes.end()) codes.push_back(keys);
  }
  for (auto& [character, codes] : table.codes) {
    std::stable_sort(codes.begin(), codes.end(), [](const std::string& a, const std::string& b) {
      return a.size() < b.size();
    });
  }
  return table;
}

CodeTable MakeReadingTable(std::string method,
                           const std::vector<std::pair<std::uint16_t, std::string>>& rows) {
  // The 大千 keyboard: its keys of the initials, medials, finals and tones, in order.
  static constexpr std::string_view kInitialKeys = "1qaz2wsxedcrfv5tgbyhn";
  static constexpr std::string_view kMedialKeys = "ujm";
  static constexpr std::string_view kFinalKeys = "8ik,9ol.0p;/-";
  static constexpr std::string_view kToneKeys = " 7634";  // first, light, second, third, fourth
  static const std::array<const char*, 21> kInitials = {"ㄅ", "ㄆ", "ㄇ", "ㄈ", "ㄉ", "ㄊ", "ㄋ",
                                                        "ㄌ", "ㄍ", "ㄎ", "ㄏ", "ㄐ", "ㄑ", "ㄒ",
                                                        "ㄓ", "ㄔ", "ㄕ", "ㄖ", "ㄗ", "ㄘ", "ㄙ"};
  static const std::array<const char*, 3> kMedials = {"ㄧ", "ㄨ", "ㄩ"};
  static const std::array<const char*, 13> kFinals = {"ㄚ", "ㄛ", "ㄜ", "ㄝ", "ㄞ", "ㄟ", "ㄠ",
                                                      "ㄡ", "ㄢ", "ㄣ", "ㄤ", "ㄥ", "ㄦ"};
  static const std::array<const char*, 5> kTones = {"", "˙", "ˊ", "ˇ", "ˋ"};
  std::map<char, std::string> names;
  for (std::size_t i = 0; i < kInitials.size(); ++i) names[kInitialKeys[i]] = kInitials[i];
  for (std::size_t i = 0; i < kMedials.size(); ++i) names[kMedialKeys[i]] = kMedials[i];
  for (std::size_t i = 0; i < kFinals.size(); ++i) names[kFinalKeys[i]] = kFinals[i];
  for (std::size_t i = 0; i < kTones.size(); ++i) names[kToneKeys[i]] = kTones[i];

  std::vector<std::pair<std::string, std::string>> keyed;
  for (const auto& [phone, character] : rows) {
    const unsigned initial = phone >> 9 & 0x1f, medial = phone >> 7 & 3, final = phone >> 3 & 0xf,
                   tone = phone & 7;
    if (initial > kInitials.size() || final > kFinals.size() || tone >= kTones.size()) continue;
    std::string keys;
    if (initial > 0) keys += kInitialKeys[initial - 1];
    if (medial > 0) keys += kMedialKeys[medial - 1];
    if (final > 0) keys += kFinalKeys[final - 1];
    if (keys.empty()) continue;
    keyed.emplace_back(keys + kToneKeys[tone], character);
  }
  return MakeCodeTable(std::move(method), keyed, std::move(names));
}

std::vector<KeyCode> CodesOf(const CodeTable& table, char32_t character) {
  std::vector<KeyCode> codes;
  const auto found = table.codes.find(character);
  if (found == table.codes.end()) return codes;
  for (const std::string& keys : found->second) {
    KeyCode code{keys, ""};
    for (const char key : keys) {
      const auto name = table.key_names.find(key);
      code.names += name == table.key_names.end() ? std::string(1, key) : name->second;
    }
    codes.push_back(std::move(code));
  }
  return codes;
}

std::optional<double> KeysPerCharacter(const CodeTable& table, std::u16string_view text) {
  std::size_t keys = 0, characters = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Utf16Character character = CharacterAt(text, i);
    i += character.units;
    const auto found = table.codes.find(character.code_point);
    if (found == table.codes.end()) continue;
    keys += found->second.front().size();
    ++characters;
  }
  if (characters == 0) return std::nullopt;
  return static_cast<double>(keys) / static_cast<double>(characters);
}

}  // namespace keyin
