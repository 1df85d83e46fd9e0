#include "charts/HeaderText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"

namespace {

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlankish(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsContinuation4(std::string_view line) { return line.size() >= 4 && line.substr(0, 4) == "    "; }

// The value of line i (the key's length given) with its continuation lines
// (four blanks) joined by `joiner`.
std::string ContinuedAt(const std::vector<std::string>& lines, size_t i, std::string_view line, size_t keyLength,
                        std::string_view joiner, bool noSpace) {
  std::string value(line.substr(std::min(keyLength, line.size()), kHeaderValueLimit));
  for (size_t j = i + 1; j < lines.size() && IsContinuation4(lines[j]); ++j) {
    value += joiner;
    if (noSpace)
      value += TrimText(RemoveSpaces(lines[j]));
    else
      value += TrimText(lines[j]);
  }
  return std::string(TrimText(value));
}

// The value of the first line starting with the key.
std::string FindContinued(const std::vector<std::string>& lines, std::string_view upperKey, std::string_view joiner,
                          bool noSpace) {
  std::string stripped;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (noSpace) {
      stripped = RemoveSpaces(line);
      line = stripped;
    }
    if (LineStartsWithKey(line, upperKey)) return ContinuedAt(lines, i, line, upperKey.size(), joiner, noSpace);
  }
  return std::string();
}

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < n) lines.emplace_back(text.substr(start));
  return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const std::string& l : lines) total += l.size() + 2;
  std::string out;
  out.reserve(total);
  for (const std::string& l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

std::string_view TrimText(std::string_view text) {
  while (!text.empty() && IsBlankish(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankish(text.back())) text.remove_suffix(1);
  return text;
}

bool LineStartsWithKey(std::string_view line, std::string_view upperKey) {
  if (line.size() < upperKey.size()) return false;
  for (size_t i = 0; i < upperKey.size(); ++i)
    if (UpperChar(line[i]) != upperKey[i]) return false;
  return true;
}

size_t FindItemKey(std::string_view text, std::string_view upperKey) {
  if (upperKey.empty()) return 0;
  if (text.size() < upperKey.size()) return std::string_view::npos;
  for (size_t i = 0; i + upperKey.size() <= text.size(); ++i) {
    if (i > 0 && text[i - 1] != ',' && !IsBlankish(text[i - 1])) continue;
    if (LineStartsWithKey(text.substr(i), upperKey)) return i + upperKey.size();
  }
  return std::string_view::npos;
}

std::string GetItemText(std::string_view upperKey, std::string_view text, int n) {
  std::string_view part = text;
  if (!upperKey.empty()) {
    const size_t at = FindItemKey(text, upperKey);
    if (at == std::string_view::npos) return std::string();
    part = text.substr(at);
  }
  if (n <= 0) return std::string(TrimText(part));
  int index = 1;
  size_t start = 0;
  while (true) {
    const size_t comma = part.find(',', start);
    if (index == n || comma == std::string_view::npos)
      return std::string(TrimText(part.substr(start, comma == std::string_view::npos ? part.npos : comma - start)));
    start = comma + 1;
    ++index;
  }
}

std::vector<std::string> SplitCommaItems(std::string_view text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    items.emplace_back(TrimText(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return items;
}

std::vector<std::string> SplitListItems(std::string_view text) {
  std::vector<std::string> items;
  size_t p = 0;
  const size_t n = text.size();
  auto skipBlanks = [&] {
    while (p < n && IsBlankish(text[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      const size_t s = p;
      while (p < n && !IsBlankish(text[p]) && text[p] != ',') ++p;
      item.assign(text.substr(s, p - s));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (p < n && text[p] == ',') {
      if (p + 1 == n) items.emplace_back();
      ++p;
      skipBlanks();
    }
  }
  return items;
}

int NumberedKey(std::string_view line, std::string_view upperPrefix, std::string_view suffix, int maxIndex) {
  if (!LineStartsWithKey(line, upperPrefix)) return 0;
  size_t p = upperPrefix.size();
  if (p >= line.size() || line[p] < '1' || line[p] > '9') return 0;
  int64_t number = 0;
  while (p < line.size() && line[p] >= '0' && line[p] <= '9' && number <= maxIndex)
    number = number * 10 + (line[p++] - '0');
  if (number > maxIndex || line.substr(p, suffix.size()) != suffix) return 0;
  return static_cast<int>(number);
}

std::vector<TNumberedLine> FindNumberedLines(const std::vector<std::string>& lines, std::string_view upperPrefix,
                                             std::string_view suffix, int maxIndex, bool removeBlanks) {
  std::vector<TNumberedLine> found;
  std::string stripped;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (removeBlanks) {
      stripped = RemoveSpaces(line);
      line = stripped;
    }
    if (const int number = NumberedKey(line, upperPrefix, suffix, maxIndex)) found.push_back({number, i});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const TNumberedLine& a, const TNumberedLine& b) { return a.Number < b.Number; });
  // The first line of each number wins.
  found.erase(std::unique(found.begin(), found.end(),
                          [](const TNumberedLine& a, const TNumberedLine& b) { return a.Number == b.Number; }),
              found.end());
  return found;
}

std::string GeneralNumberText(double v) {
  if (!std::isfinite(v) || v == 0) return FloatToStrDot(v);
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
  double rounded = v;
  std::from_chars(buf, res.ptr, rounded, std::chars_format::scientific);
  return FloatToStrDot(rounded);
}

std::string HeaderFindLine(const std::vector<std::string>& lines, std::string_view upperKey) {
  return FindContinued(lines, upperKey, ",", false);
}

std::string HeaderFindLineNoSpace(const std::vector<std::string>& lines, std::string_view upperKey) {
  return FindContinued(lines, upperKey, ",", true);
}

std::string HeaderFindText(const std::vector<std::string>& lines, std::string_view upperKey) {
  return FindContinued(lines, upperKey, "\r\n", false);
}

std::string HeaderFindSimple(const std::vector<std::string>& lines, std::string_view upperKey, bool* found) {
  for (const std::string& line : lines) {
    if (!LineStartsWithKey(line, upperKey)) continue;
    if (found) *found = true;
    return std::string(TrimText(std::string_view(line).substr(upperKey.size(), kHeaderValueLimit)));
  }
  if (found) *found = false;
  return std::string();
}

std::string HeaderLineValue(const std::vector<std::string>& lines, size_t i, size_t keyLength) {
  if (i >= lines.size()) return std::string();
  return ContinuedAt(lines, i, lines[i], keyLength, ",", false);
}

bool HeaderHasKey(const std::vector<std::string>& lines, std::string_view upperKey) {
  for (const std::string& line : lines)
    if (LineStartsWithKey(line, upperKey)) return true;
  return false;
}
