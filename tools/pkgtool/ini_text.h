// INI text as the installer reads it with GetPrivateProfileString and
// GetPrivateProfileInt: section and key names compared without regard to ASCII
// letter case, values trimmed of blanks and of one pair of enclosing quotes.
// Any bytes are accepted; lines that are neither a section header nor hold a
// '=' are keys without a value.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class IniText {
 public:
  explicit IniText(const std::string& text);

  bool HasSection(const std::string& section) const;
  // The value of `key` in the first section named `section`, as a buffer of
  // `bufferSize` bytes would receive it (at most bufferSize - 1 bytes).
  // False when the key is not there. `cut` (when given) tells whether the
  // value was longer than the buffer.
  bool Find(const std::string& section, const std::string& key, size_t bufferSize, std::string* value,
            bool* cut = nullptr) const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
  };
  const Section* FindSection(const std::string& name) const;
  std::vector<Section> sections_;
};

// The number GetPrivateProfileInt makes of a value: blanks skipped, an optional
// sign, an optional 0x/0o/0b prefix, then digits up to the first other
// character, counted modulo 2^32. Only the first 29 characters are read.
// `fallback` when the value is absent or empty; `numeric` (when given) tells
// whether any digit was read.
int ProfileInt(bool present, const std::string& value, int fallback, bool* numeric = nullptr);
