// Text helpers shared by the chart header readers: line splitting, key
// look-ups in "key=value" and "KEY/value" line lists, and the two ways chart
// headers split a value into items.
//
// Keys are always given in upper case; lines are compared ignoring ASCII
// case unless a function says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Splits text into lines at CR, LF or CR LF. A final line terminator does
// not start another (empty) line.
std::vector<std::string> SplitTextLines(std::string_view text);
// The lines joined with CR LF, each line ended by CR LF.
std::string JoinTextLines(const std::vector<std::string>& lines);

std::string UpperAscii(std::string_view text);
// Removes characters up to and including the blank (control characters and
// blanks) from both ends.
std::string_view TrimText(std::string_view text);

// True when the first key.size() characters of `line`, upper-cased, equal
// `upperKey`.
bool LineStartsWithKey(std::string_view line, std::string_view upperKey);

// Where the value of `upperKey` begins in `text`: the position just after the
// first occurrence of the key (ignoring case) that starts the text or follows
// a comma or a blank, so that "RA=" is not found inside "EXTRA=". npos when
// the key is absent.
size_t FindItemKey(std::string_view text, std::string_view upperKey);

// Item n (1-based) of the part of `text` after `upperKey` (the whole text when
// the key is empty; nothing when the key is absent), split at commas. n = 0
// gives the whole part; when the part has fewer than n items the last one is
// given. Results are trimmed.
std::string GetItemText(std::string_view upperKey, std::string_view text, int n);
// The comma items of a value, each trimmed.
std::vector<std::string> SplitCommaItems(std::string_view text);
// Items in the manner of a delimited list: items are separated by commas and
// by blanks outside double quotes, blanks around items are dropped, a quoted
// item keeps its blanks ("" inside quotes is one quote), and two commas in a
// row give an empty item.
std::vector<std::string> SplitListItems(std::string_view text);

// Numbered keys: every line of the form prefix + n + suffix (n a decimal
// number without leading zeros, 1 <= n <= maxIndex, prefix compared ignoring
// case), as (n, index of the first such line), sorted by n. With
// removeBlanks, blanks are ignored in the line as the key is matched.
// The number n of a line prefix + n + suffix, 0 when the line is not one.
int NumberedKey(std::string_view line, std::string_view upperPrefix, std::string_view suffix, int maxIndex);
struct TNumberedLine {
  int Number = 0;
  size_t Line = 0;
};
std::vector<TNumberedLine> FindNumberedLines(const std::vector<std::string>& lines, std::string_view upperPrefix,
                                             std::string_view suffix, int maxIndex, bool removeBlanks = false);

// The "general number form" of calibration headers: the shortest decimal
// text of the value rounded to 15 significant digits, "." as separator.
std::string GeneralNumberText(double v);

// ---------------------------------------------------------------------------
// Look-ups in raster chart headers ("KEY/value" lines whose values continue
// on lines indented by four blanks). The first matching line wins; values are
// at most 1024 characters of the key's own line plus its continuation lines,
// and are trimmed.

inline constexpr size_t kHeaderValueLimit = 1024;

// The value with continuation lines appended with "," and their trimmed text.
std::string HeaderFindLine(const std::vector<std::string>& lines, std::string_view upperKey);
// As HeaderFindLine, but blanks are removed from every line before it is
// compared and copied.
std::string HeaderFindLineNoSpace(const std::vector<std::string>& lines, std::string_view upperKey);
// The rest of the first matching line only. `found` (when given) tells
// whether a line matched.
std::string HeaderFindSimple(const std::vector<std::string>& lines, std::string_view upperKey,
                             bool* found = nullptr);
// As HeaderFindLine, continuation lines joined with CR LF.
std::string HeaderFindText(const std::vector<std::string>& lines, std::string_view upperKey);
// The value of line i as HeaderFindLine gives it, for a key of keyLength
// characters.
std::string HeaderLineValue(const std::vector<std::string>& lines, size_t i, size_t keyLength);
// Whether any line starts with the key.
bool HeaderHasKey(const std::vector<std::string>& lines, std::string_view upperKey);
