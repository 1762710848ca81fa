#include "ini_text.h"

#include <cstdint>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// A UTF-16 file (with its byte order mark) as single bytes: ASCII is kept,
// anything else becomes '?'. Other text is returned as it is, without a UTF-8
// byte order mark.
std::string SingleByteText(const std::string& text) {
  const bool little = text.size() >= 2 && (unsigned char)text[0] == 0xFF && (unsigned char)text[1] == 0xFE;
  const bool big = text.size() >= 2 && (unsigned char)text[0] == 0xFE && (unsigned char)text[1] == 0xFF;
  if (!little && !big) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) return text.substr(3);
    return text;
  }
  std::string narrow;
  narrow.reserve(text.size() / 2);
  for (size_t i = 2; i + 1 < text.size(); i += 2) {
    const unsigned char first = (unsigned char)text[i], second = (unsigned char)text[i + 1];
    const unsigned unit = little ? (first | second << 8) : (second | first << 8);
    narrow.push_back(unit < 0x80 ? (char)unit : '?');
  }
  return narrow;
}

}  // namespace

IniText::IniText(const std::string& original) {
  const std::string text = SingleByteText(original);
  size_t start = 0;
  while (start < text.size()) {
    // Lines end at '\n'; a text without one further on is split at '\r'.
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.find('\r', start);
    if (end == std::string::npos) end = text.size();
    const std::string raw = text.substr(start, end - start);
    start = end + 1;

    size_t first = 0;
    while (first < raw.size() && IsBlank(raw[first])) ++first;
    if (first == raw.size()) continue;
    if (raw[first] == '[') {
      const size_t close = raw.rfind(']');
      if (close != std::string::npos && close > first) {
        sections_.push_back(Section{raw.substr(first + 1, close - first - 1), {}});
        continue;
      }
    }
    // Keys before the first section belong to no section that can be asked for.
    if (sections_.empty()) continue;
    const std::string line = Trim(raw);
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      sections_.back().keys.emplace_back(line, std::string());
    } else {
      sections_.back().keys.emplace_back(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }
  }
}

const IniText::Section* IniText::FindSection(const std::string& name) const {
  for (const Section& section : sections_) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

bool IniText::HasSection(const std::string& section) const { return FindSection(section) != nullptr; }

bool IniText::Find(const std::string& sectionName, const std::string& key, size_t bufferSize, std::string* value,
                   bool* cut) const {
  if (cut) *cut = false;
  const Section* section = FindSection(sectionName);
  if (!section) return false;
  for (const auto& entry : section->keys) {
    if (!SameName(entry.first, key)) continue;
    std::string text = entry.second.substr(0, entry.second.find('\0'));
    if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
      text = text.substr(1, text.size() - 2);
    }
    const size_t room = bufferSize > 0 ? bufferSize - 1 : 0;
    if (text.size() > room) {
      text.resize(room);
      if (cut) *cut = true;
    }
    *value = text;
    return true;
  }
  return false;
}

int ProfileInt(bool present, const std::string& value, int fallback, bool* numeric) {
  if (numeric) *numeric = false;
  if (!present || value.empty()) return fallback;
  const std::string text = value.substr(0, 29);
  size_t i = 0;
  while (i < text.size() && (unsigned char)text[i] <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    if (text[i + 1] == 'b') base = 2;
    if (text[i + 1] == 'o') base = 8;
    if (text[i + 1] == 'x') base = 16;
    if (base != 10) i += 2;
  }
  uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = Lower(text[i]);
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'z') digit = c - 'a' + 10;
    if (digit < 0 || (unsigned)digit >= base) break;
    total = total * base + (uint32_t)digit;
    if (numeric) *numeric = true;
  }
  if (negative) total = 0u - total;
  return (int)total;
}
