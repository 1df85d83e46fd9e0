#include "foundation/IniFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <list>
#include <unordered_map>

#include "foundation/NumText.h"
#include "platform/AtomicFile.h"
#include "platform/TextBasics.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Text handed in by callers may be any bytes; inside, everything is valid
// UTF-8. Bytes that do not form UTF-8 are taken as Windows-1252 characters,
// the same rule the file reader applies.
std::string ToValidUtf8(std::string_view s) {
  if (IsValidUtf8(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (size_t pos = 0; pos < s.size();) AppendUtf8(out, NextCodePoint(s, pos));
  return out;
}

// The lookup form of a name given by a caller.
std::string NameKey(std::string_view name) {
  if (IsValidUtf8(name)) return FoldCase(TrimSpaceTab(name));
  return FoldCase(TrimSpaceTab(ToValidUtf8(name)));
}

bool HasControl(std::string_view s) {
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return true;
  }
  return false;
}

// Strips one pair of double quotes that encloses the whole (trimmed) value.
std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}

// The text written after "Key=": line breaks become blanks, and a value that
// the reader would alter (blanks at either end, or enclosing quotes of its
// own) goes inside one more pair of quotes.
std::string RenderValue(std::string_view value) {
  std::string v = ToValidUtf8(value);
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  bool quote = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                              (v.size() >= 2 && v.front() == '"' && v.back() == '"'));
  return quote ? "\"" + v + "\"" : v;
}

enum class TLineKind { Blank, Comment, Section, Key, Other };

struct TLine {
  std::string text;   // UTF-8, without the line end
  TLineKind kind = TLineKind::Other;
  std::string name;   // section or key name, trimmed, as spelt in the file
  std::string value;  // key lines: the value as read
  size_t valueBegin = 0;  // key lines: where the value text starts in `text`
};

TLine ParseLine(std::string text) {
  TLine line;
  line.text = std::move(text);
  std::string_view t = line.text;
  size_t p = 0;
  while (p < t.size() && IsBlank(t[p])) ++p;
  if (p == t.size()) {
    line.kind = TLineKind::Blank;
  } else if (t[p] == ';') {
    line.kind = TLineKind::Comment;
  } else if (t[p] == '[') {
    size_t close = t.find(']', p + 1);
    if (close != std::string_view::npos) {
      line.kind = TLineKind::Section;
      line.name = std::string(TrimSpaceTab(t.substr(p + 1, close - p - 1)));
    }
  } else {
    size_t eq = t.find('=', p);
    if (eq != std::string_view::npos) {
      std::string_view key = TrimSpaceTab(t.substr(p, eq - p));
      if (!key.empty()) {
        line.kind = TLineKind::Key;
        line.name = std::string(key);
        size_t v = eq + 1;
        while (v < t.size() && IsBlank(t[v])) ++v;
        line.valueBegin = v;
        line.value = std::string(Unquote(TrimSpaceTab(t.substr(v))));
      }
    }
  }
  return line;
}

bool HasHighByte(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace

struct TIniFile::Impl {
  using LineIt = std::list<TLine>::iterator;
  using ConstLineIt = std::list<TLine>::const_iterator;

  struct Section {
    LineIt header;
    LineIt last;  // the last key line of the section, or the header
    std::unordered_map<std::string, LineIt> keys;  // first occurrence of each key
  };

  std::string fileName;
  TTextEncoding encoding = TTextEncoding::Cp1252;
  bool bom = false;
  bool modified = false;
  std::list<TLine> lines;
  // First occurrence of each section; later duplicates are not indexed and
  // so are invisible to reading, as the first one wins.
  std::unordered_map<std::string, Section> sections;

  void Parse(std::string_view bytes) {
    bom = bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    std::string text = DecodeFileText(bytes, &encoding);
    std::string_view t = text;
    size_t i = 0;
    while (i < t.size()) {
      size_t j = i;
      while (j < t.size() && t[j] != '\r' && t[j] != '\n') ++j;
      if (j == t.size()) {
        lines.push_back(ParseLine(std::string(t.substr(i))));
        break;
      }
      lines.push_back(ParseLine(std::string(t.substr(i, j - i))));
      i = (t[j] == '\r' && j + 1 < t.size() && t[j + 1] == '\n') ? j + 2 : j + 1;
    }
    Reindex();
  }

  void Reindex() {
    sections.clear();
    Section* current = nullptr;
    for (auto it = lines.begin(); it != lines.end(); ++it) {
      if (it->kind == TLineKind::Section) {
        auto [pos, fresh] = sections.try_emplace(FoldCase(it->name));
        if (fresh) {
          pos->second.header = it;
          pos->second.last = it;
          current = &pos->second;
        } else {
          current = nullptr;
        }
      } else if (it->kind == TLineKind::Key && current) {
        current->keys.try_emplace(FoldCase(it->name), it);
        current->last = it;
      }
    }
  }

  const Section* FindSection(std::string_view section) const {
    auto it = sections.find(NameKey(section));
    return it == sections.end() ? nullptr : &it->second;
  }
  Section* FindSection(std::string_view section) {
    auto it = sections.find(NameKey(section));
    return it == sections.end() ? nullptr : &it->second;
  }

  const TLine* FindKey(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    auto it = s->keys.find(NameKey(key));
    return it == s->keys.end() ? nullptr : &*it->second;
  }

  // Calls f(line) for each key line of the section that reading sees.
  template <typename F>
  void ForEachKey(std::string_view section, F f) const {
    const Section* s = FindSection(section);
    if (!s) return;
    for (ConstLineIt it = std::next(ConstLineIt(s->header));
         it != lines.end() && it->kind != TLineKind::Section; ++it) {
      if (it->kind != TLineKind::Key) continue;
      auto k = s->keys.find(FoldCase(it->name));
      if (k != s->keys.end() && &*k->second == &*it) f(*it);
    }
  }

  std::string Text() const {
    size_t size = 0;
    for (const auto& l : lines) size += l.text.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& l : lines) {
      out += l.text;
      out += "\r\n";
    }
    return out;
  }

  // The bytes of the file as it would be written. A Windows-1252 file stays
  // Windows-1252 unless its text no longer fits the code page (a character
  // outside it was written) or the 8-bit bytes would read back as UTF-8; it
  // is then written as UTF-8 so that nothing is lost or misread.
  std::string Bytes(TTextEncoding* used) const {
    std::string text = Text();
    if (encoding == TTextEncoding::Cp1252 && !HasHighByte(text)) {
      if (used) *used = TTextEncoding::Cp1252;
      return text;  // ASCII is the same in both
    }
    if (encoding == TTextEncoding::Cp1252) {
      std::string cp = Utf8ToCp1252(text);
      bool faithful = Cp1252ToUtf8(cp) == text;
      bool readsAsUtf8 = HasHighByte(cp) && IsValidUtf8(cp);
      bool looksLikeBom = cp.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0;
      if (faithful && !readsAsUtf8 && !looksLikeBom) {
        if (used) *used = TTextEncoding::Cp1252;
        return cp;
      }
    }
    if (used) *used = TTextEncoding::Utf8;
    return bom ? std::string(kUtf8Bom) + text : text;
  }
};

namespace {

void CheckSectionName(std::string_view name) {
  std::string_view t = TrimSpaceTab(name);
  if (HasControl(name) || t.find(']') != std::string_view::npos || (!t.empty() && (t[0] == '[' || t[0] == ';')))
    throw std::invalid_argument("invalid INI section name \"" + std::string(name) + "\"");
}

void CheckKeyName(std::string_view name) {
  std::string_view t = TrimSpaceTab(name);
  if (t.empty() || HasControl(name) || t.find('=') != std::string_view::npos || t[0] == '[' || t[0] == ';')
    throw std::invalid_argument("invalid INI key name \"" + std::string(name) + "\"");
}

// A file the user has made read-only is not replaced behind their back, even
// though the atomic rename in a writable directory would succeed.
bool TargetWritable(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return true;  // created new
  if (!S_ISREG(st.st_mode)) return false;
  return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

TIniFile::TIniFile() : d_(std::make_unique<Impl>()) {}

TIniFile::TIniFile(std::string fileName) : d_(std::make_unique<Impl>()) {
  d_->fileName = std::move(fileName);
  std::string bytes;
  if (!d_->fileName.empty() && ReadWholeFile(d_->fileName, bytes)) d_->Parse(bytes);
}

TIniFile TIniFile::FromBytes(std::string_view bytes, std::string fileName) {
  TIniFile ini;
  ini.d_->fileName = std::move(fileName);
  ini.d_->Parse(bytes);
  return ini;
}

TIniFile::~TIniFile() {
  if (!d_ || !d_->modified || d_->fileName.empty()) return;
  try {
    UpdateFile();
  } catch (...) {
    // Best effort only; see the declaration.
  }
}

TIniFile::TIniFile(TIniFile&&) noexcept = default;
TIniFile& TIniFile::operator=(TIniFile&&) noexcept = default;

const std::string& TIniFile::FileName() const { return d_->fileName; }

std::optional<std::string> TIniFile::Read(std::string_view section, std::string_view key) const {
  const TLine* line = d_->FindKey(section, key);
  if (!line) return std::nullopt;
  return line->value;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const TLine* line = d_->FindKey(section, key);
  return line ? line->value : std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const TLine* line = d_->FindKey(section, key);
  if (!line) return def;
  return TryStrToInt(line->value).value_or(def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  const TLine* line = d_->FindKey(section, key);
  if (!line) return def;
  auto v = TryStrToInt(line->value);
  return v ? *v != 0 : def;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
  const TLine* line = d_->FindKey(section, key);
  if (!line) return def;
  auto v = TryStrToFloatDot(line->value);
  return v && std::isfinite(*v) ? *v : def;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  CheckSectionName(section);
  CheckKeyName(key);
  std::string secName(TrimSpaceTab(ToValidUtf8(section)));
  std::string keyName(TrimSpaceTab(ToValidUtf8(key)));
  std::string rendered = RenderValue(value);
  Impl& d = *d_;

  Impl::Section* s = d.FindSection(secName);
  if (!s) {
    // A new section goes to the end of the file, set off by a blank line.
    if (!d.lines.empty() && d.lines.back().kind != TLineKind::Blank) d.lines.push_back(ParseLine(""));
    auto header = d.lines.insert(d.lines.end(), ParseLine("[" + secName + "]"));
    auto line = d.lines.insert(d.lines.end(), ParseLine(keyName + "=" + rendered));
    Impl::Section& ns = d.sections[FoldCase(secName)];
    ns.header = header;
    ns.last = line;
    ns.keys.emplace(FoldCase(keyName), line);
    d.modified = true;
    return;
  }

  auto k = s->keys.find(FoldCase(keyName));
  if (k != s->keys.end()) {
    // Replace the value in place; the key as spelt in the file stays.
    TLine& old = *k->second;
    std::string text = old.text.substr(0, old.valueBegin) + rendered;
    if (text == old.text) return;
    old = ParseLine(std::move(text));
    d.modified = true;
    return;
  }

  auto line = d.lines.insert(std::next(s->last), ParseLine(keyName + "=" + rendered));
  s->keys.emplace(FoldCase(keyName), line);
  s->last = line;
  d.modified = true;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  WriteString(section, key, std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  WriteString(section, key, FloatToStrDot(value));
}

bool TIniFile::SectionExists(std::string_view section) const { return d_->FindSection(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return d_->FindKey(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> out;
  for (auto it = d_->lines.begin(); it != d_->lines.end(); ++it) {
    if (it->kind != TLineKind::Section) continue;
    auto s = d_->sections.find(FoldCase(it->name));
    if (s != d_->sections.end() && s->second.header == it) out.push_back(it->name);
  }
  return out;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> out;
  d_->ForEachKey(section, [&](const TLine& l) { out.push_back(l.name); });
  return out;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  d_->ForEachKey(section, [&](const TLine& l) { out.emplace_back(l.name, l.value); });
  return out;
}

void TIniFile::EraseSection(std::string_view section) {
  // Every occurrence goes, header to the next header, so that a duplicate
  // further down does not come to light.
  std::string key = NameKey(section);
  if (d_->sections.find(key) == d_->sections.end()) return;
  auto& lines = d_->lines;
  for (auto it = lines.begin(); it != lines.end();) {
    if (it->kind == TLineKind::Section && FoldCase(it->name) == key) {
      auto end = std::next(it);
      while (end != lines.end() && end->kind != TLineKind::Section) ++end;
      it = lines.erase(it, end);
    } else {
      ++it;
    }
  }
  d_->Reindex();
  d_->modified = true;
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  Impl::Section* s = d_->FindSection(section);
  if (!s) return;
  std::string name = NameKey(key);
  if (s->keys.find(name) == s->keys.end()) return;
  // Duplicates of the key in the section go too, or the next one would
  // become visible.
  auto& lines = d_->lines;
  for (auto it = std::next(s->header); it != lines.end() && it->kind != TLineKind::Section;) {
    if (it->kind == TLineKind::Key && FoldCase(it->name) == name)
      it = lines.erase(it);
    else
      ++it;
  }
  d_->Reindex();
  d_->modified = true;
}

bool TIniFile::Modified() const { return d_->modified; }

TTextEncoding TIniFile::Encoding() const {
  TTextEncoding used;
  d_->Bytes(&used);
  return used;
}

std::string TIniFile::Text() const { return d_->Text(); }

std::string TIniFile::FileBytes() const { return d_->Bytes(nullptr); }

void TIniFile::UpdateFile() {
  if (!d_->modified) return;
  TTextEncoding used;
  std::string bytes = d_->Bytes(&used);
  // A symbolic link stays a link: the atomic write replaces the file it
  // points to.
  if (d_->fileName.empty() || !TargetWritable(d_->fileName) || !AtomicWriteFile(d_->fileName, bytes))
    throw EIniWriteError("Unable to write to " + d_->fileName);
  d_->encoding = used;
  d_->modified = false;
}

bool TRWIniFile::RWString(std::string_view section, std::string_view key, bool write, std::string& value,
                          std::string_view def) {
  if (write)
    WriteString(section, key, value);
  else
    value = ReadString(section, key, def);
  return write;
}

bool TRWIniFile::RWInteger(std::string_view section, std::string_view key, bool write, int32_t& value,
                           int32_t def) {
  if (write)
    WriteInteger(section, key, value);
  else
    value = ReadInteger(section, key, def);
  return write;
}

bool TRWIniFile::RWBool(std::string_view section, std::string_view key, bool write, bool& value, bool def) {
  if (write)
    WriteBool(section, key, value);
  else
    value = ReadBool(section, key, def);
  return write;
}

bool TRWIniFile::RWFloat(std::string_view section, std::string_view key, bool write, double& value, double def) {
  if (write)
    WriteFloat(section, key, value);
  else
    value = ReadFloat(section, key, def);
  return write;
}
