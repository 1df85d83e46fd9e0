#include "charts/ChartList.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include "charts/ChartFile.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "foundation/TextCodec.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Questions.h"

// ---------------------------------------------------------------------------
// The progress display

namespace {
TProgressCallback& Callback() {
  static TProgressCallback callback;
  return callback;
}
}  // namespace

TProgressCallback SetProgressCallback(TProgressCallback callback) {
  return std::exchange(Callback(), std::move(callback));
}

bool ReportProgress(const std::string& text, int position, int max) {
  return Callback() ? Callback()(text, position, max) : false;
}

// ---------------------------------------------------------------------------
// Texts

std::string CatalogTextFromFile(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::string CatalogTextToFile(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::string(utf8);
  std::string cp = Utf8ToCp1252(utf8);
  // Stored in the code page only when it holds every character (and reads
  // back as the same text).
  if (Cp1252ToUtf8(cp) == utf8 && CatalogTextFromFile(cp) == utf8) return cp;
  return std::string(utf8);
}

std::string CatalogUpper(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[pos]);
    if (c < 0x80) {
      out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      ++pos;
      continue;
    }
    char32_t cp = NextCodePoint(utf8, pos);
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) cp -= 0x20;
    AppendUtf8(out, cp);
  }
  return out;
}

std::string ChartSearchPath(std::string_view chartDir) {
  std::string out;
  for (std::string entry : SplitDirList(chartDir)) {
    std::erase(entry, '*');
    if (entry.empty()) continue;
    if (!out.empty()) out += ';';
    out += entry;
  }
  return out;
}

std::string FindCatalogChartFile(const std::string& stored, const std::string& searchPath) {
  const std::string path = ChartSearchPath(searchPath);
  std::string found = TChartFile::ResolveChartFile(stored, path);
  if (!found.empty() || path.empty()) return found;
  // The directories of the stored path, innermost first, below each chart
  // directory.
  std::vector<std::string> parts;
  const std::string native = ToNativePath(IsForeignPath(stored) ? std::string_view(stored).substr(2) : stored);
  for (size_t from = 0; from <= native.size();) {
    size_t to = native.find('/', from);
    if (to == std::string::npos) to = native.size();
    if (to > from) parts.push_back(native.substr(from, to - from));
    from = to + 1;
  }
  for (size_t k = 2; k <= parts.size() && k <= 8; ++k) {
    std::string tail;
    for (size_t i = parts.size() - k; i < parts.size(); ++i) tail += (tail.empty() ? "" : "/") + parts[i];
    for (const std::string& dir : SplitDirList(path)) {
      const std::optional<std::string> hit = FindFileCaseInsensitive(ToNativePath(dir), tail);
      struct stat st{};
      if (hit && ::stat(hit->c_str(), &st) == 0 && S_ISREG(st.st_mode)) return *hit;
    }
  }
  return std::string();
}

namespace {

// ---------------------------------------------------------------------------
// Little-endian records

class TReader {
 public:
  explicit TReader(std::string_view bytes) : b_(bytes) {}
  size_t Remaining() const { return b_.size() - pos_; }
  bool Bytes(size_t n, std::string_view& out) {
    if (n > Remaining()) return false;
    out = b_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool U8(uint8_t& v) { return Fixed(v); }
  bool U16(uint16_t& v) { return Fixed(v); }
  bool I32(int32_t& v) {
    uint32_t u;
    if (!Fixed(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool F64(double& v) {
    uint64_t u;
    if (!Fixed(u)) return false;
    v = std::bit_cast<double>(u);
    return true;
  }
  // A length-prefixed (uint16) text.
  bool Text(std::string& out) {
    uint16_t n;
    std::string_view raw;
    if (!U16(n) || !Bytes(n, raw)) return false;
    out = CatalogTextFromFile(raw);
    return true;
  }

 private:
  template <typename T>
  bool Fixed(T& v) {
    if (sizeof(T) > Remaining()) return false;
    uint64_t u = 0;
    for (size_t i = 0; i < sizeof(T); ++i) u |= uint64_t(static_cast<unsigned char>(b_[pos_ + i])) << (8 * i);
    pos_ += sizeof(T);
    v = static_cast<T>(u);
    return true;
  }
  std::string_view b_;
  size_t pos_ = 0;
};

void PutFixed(std::string& out, uint64_t v, size_t n) {
  for (size_t i = 0; i < n; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutU16(std::string& out, uint16_t v) { PutFixed(out, v, 2); }
void PutI32(std::string& out, int32_t v) { PutFixed(out, static_cast<uint32_t>(v), 4); }
void PutF64(std::string& out, double v) { PutFixed(out, std::bit_cast<uint64_t>(v), 8); }

// A length-prefixed text; false when it is longer than the prefix can say.
bool PutText(std::string& out, std::string_view utf8) {
  const std::string bytes = CatalogTextToFile(utf8);
  if (bytes.size() > 0xFFFF) return false;
  PutU16(out, static_cast<uint16_t>(bytes.size()));
  out += bytes;
  return true;
}

constexpr std::string_view kIndexMagic{"BRA\x01", 4};
constexpr std::string_view kGroupsMagic{"BRG\x01", 4};
// The fixed part of a catalog entry: 48 bytes of layout and two lengths.
constexpr size_t kMinEntryBytes = 48 + 2 + 2;

bool Finite(const TFRect& r) {
  return std::isfinite(r.X1) && std::isfinite(r.Y1) && std::isfinite(r.X2) && std::isfinite(r.Y2);
}

// Reads a whole catalog or groups file; Missing, Unreadable or Loaded
// (bytes read). A file beyond the size limit counts as damaged.
TCatalogLoad ReadCatalogFile(const std::string& file, std::string& bytes, std::string& message) {
  struct stat st{};
  if (::stat(file.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return TCatalogLoad::Missing;
    message = file + ": " + std::strerror(errno);
    return TCatalogLoad::Unreadable;
  }
  if (!S_ISREG(st.st_mode)) {
    message = file + " is not a file";
    return TCatalogLoad::Unreadable;
  }
  if (static_cast<uint64_t>(st.st_size) > TChartList::kMaxFileBytes) {
    message = file + " is too large to be a chart catalog";
    return TCatalogLoad::Damaged;
  }
  std::string error;
  if (!ReadWholeFile(file, bytes, &error)) {
    message = error.empty() ? file + " cannot be read" : error;
    return TCatalogLoad::Unreadable;
  }
  return TCatalogLoad::Loaded;
}

// The directory part of a stored file name, with its final separator
// ("\" or "/"); "" when it has none.
std::string StoredDirectory(std::string_view path) {
  const size_t sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string WithoutFinalSeparator(std::string_view dir) {
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.remove_suffix(1);
  return std::string(dir);
}

}  // namespace

// ---------------------------------------------------------------------------
// Entries

TChartList::TChartList() {
  for (int i = 0; i < kChartGroupCount; ++i) groups_[i].Mask = int32_t(uint32_t(1) << i);
}

TChartList::~TChartList() = default;

void TChartList::Clear() {
  entries_.clear();
  hot_.clear();
  filter_.clear();
  resolved_.clear();
  byName_.clear();
  byFile_.clear();
  Current = -1;
  catalogDamaged_ = false;
}

TChartList::THot TChartList::MakeHot(const RChartLayout& e) {
  THot h;
  h.Bounds = e.Bounds;
  h.Mask = e.GroupMask;
  h.Scale = e.Scale;
  h.PriorityTerm = EffectiveScale(e.Scale, e.Priority, 0) - e.Scale;
  h.Wrap = h.Bounds.X2 < -kPi ? 1 : (h.Bounds.X1 > kPi ? -1 : 0);
  return h;
}

TFRect TChartList::FilterBox(const THot& h) {
  if (h.Wrap == 0) return h.Bounds;
  return {INFINITY, h.Bounds.Y1, -INFINITY, h.Bounds.Y2};
}

int64_t TChartList::Effective(const THot& h, int32_t reference) {
  const int64_t s = h.Scale;
  return (reference == 0 ? s : std::llabs(int64_t(reference) - s)) + h.PriorityTerm;
}

void TChartList::Append(RChartLayout layout, std::string resolved) {
  const int index = Count();
  layout.GroupMask |= kCatalogEntryBit;
  layout.BorderCount = static_cast<uint16_t>(layout.Border.size());
  NormFRect(layout.Bounds);
  byName_.try_emplace(layout.Name, index);
  byFile_.try_emplace(CatalogUpper(layout.FileName), index);
  hot_.push_back(MakeHot(layout));
  filter_.push_back(FilterBox(hot_.back()));
  resolved_.push_back(std::move(resolved));
  entries_.push_back(std::move(layout));
}

void TChartList::RebuildIndexes() {
  byName_.clear();
  byFile_.clear();
  hot_.clear();
  filter_.clear();
  for (int i = 0; i < Count(); ++i) {
    byName_.try_emplace(entries_[i].Name, i);
    byFile_.try_emplace(CatalogUpper(entries_[i].FileName), i);
    hot_.push_back(MakeHot(entries_[i]));
    filter_.push_back(FilterBox(hot_.back()));
  }
}

TCatalogLoadResult TChartList::LoadFromFile(const std::string& file, const std::string& searchPath) {
  indexFile_ = file;
  searchPath_ = searchPath;
  std::string bytes;
  TCatalogLoadResult r;
  r.Status = ReadCatalogFile(file, bytes, r.Message);
  if (r.Status != TCatalogLoad::Loaded) {
    Clear();
    modified_ = false;
    if (r.Status == TCatalogLoad::Damaged) {
      r.DamageFound = catalogDamaged_ = true;
      r.Message = "The chart catalog is damaged: " + r.Message;
    }
    return r;
  }
  r = LoadFromBytes(bytes, searchPath);
  if (r.DamageFound)
    r.Message = "The chart catalog " + file + " is damaged: " + r.Message;
  else if (!r.Message.empty())
    r.Message = file + ": " + r.Message;
  return r;
}

namespace {

// "the 4 charts before it were kept" and its kin, for the damage messages:
// `kept` of the `read` entries before the damage stayed.
std::string KeptOf(int kept, int read, const std::string& which) {
  if (read == 0) return "no chart was kept";
  if (kept == read)
    return read == 1 ? "the chart" + which + " was kept" : "the " + std::to_string(read) + " charts" + which + " were kept";
  return std::to_string(kept) + " of the " + std::to_string(read) + " charts" + which + (kept == 1 ? " was" : " were") +
         " kept";
}

}  // namespace

TCatalogLoadResult TChartList::LoadFromBytes(std::string_view bytes, const std::string& searchPath) {
  Clear();
  modified_ = false;
  searchPath_ = searchPath;
  TCatalogLoadResult r;
  auto damaged = [&](const std::string& why) {
    Clear();
    catalogDamaged_ = true;
    r = TCatalogLoadResult();
    r.Status = TCatalogLoad::Damaged;
    r.DamageFound = true;
    r.Message = why;
    return r;
  };

  TReader in(bytes);
  std::string_view magic;
  int32_t n = 0;
  if (!in.Bytes(4, magic)) return damaged("the file is too short to be a chart catalog");
  if (magic != kIndexMagic) {
    r.Status = TCatalogLoad::WrongMagic;
    r.Message = "not a chart catalog";
    return r;
  }
  if (!in.I32(n)) return damaged("the file is too short to be a chart catalog");
  if (n < 0) return damaged("it names " + std::to_string(n) + " charts");

  // Entries are read in order until the count is reached or the bytes run
  // out; a damaged entry ends the reading and the entries before it stay.
  // A record in memory is several times the size of its smallest form in
  // the file: the count is trusted for a moderate reservation only, bounded
  // by what the file can hold; the rest grows as entries are really read.
  entries_.reserve(std::min<size_t>({static_cast<size_t>(n), in.Remaining() / kMinEntryBytes, 65536}));
  std::string damage;
  for (int32_t k = 0; k < n; ++k) {
    auto which = [&] { return "chart " + std::to_string(k + 1) + " of " + std::to_string(n); };
    if (in.Remaining() == 0) {
      damage = "it names " + std::to_string(n) + " charts but holds " + (k == 0 ? "none" : "only " + std::to_string(k)) +
               "; " + KeptOf(Count(), k, "");
      break;
    }
    RChartLayout e;
    uint16_t pad = 0;
    if (!in.I32(e.GroupMask) || !in.U16(e.Priority) || !in.U16(e.QualityCode) || !in.I32(e.Scale) ||
        !in.U16(e.BorderCount) || !in.U16(pad) || !in.F64(e.Bounds.X1) || !in.F64(e.Bounds.Y1) ||
        !in.F64(e.Bounds.X2) || !in.F64(e.Bounds.Y2) || !in.Text(e.Name) || !in.Text(e.FileName)) {
      damage = which() + " is cut short; " + KeptOf(Count(), k, " before it");
      break;
    }
    if (e.BorderCount > in.Remaining() / 16) {
      damage = "the border of " + which() + " is cut short; " + KeptOf(Count(), k, " before it");
      break;
    }
    e.Border.resize(e.BorderCount);
    bool finite = Finite(e.Bounds);
    for (TFPoint& p : e.Border) {
      in.F64(p.X);
      in.F64(p.Y);
      finite = finite && std::isfinite(p.X) && std::isfinite(p.Y);
    }
    if (e.Name.empty()) {
      ++r.Unnamed;
      continue;
    }
    if (e.Scale <= 0 || !finite) {
      ++r.Invalid;
      continue;
    }
    e.GroupMask = kCatalogEntryBit;
    if (e.Priority == 0) e.Priority = 1;
    std::string resolved;
    if (!searchPath.empty() && !e.FileName.empty()) {
      resolved = FindCatalogChartFile(e.FileName, searchPath);
      if (resolved.empty()) {
        ++r.NotFound;
        continue;
      }
    }
    Append(std::move(e), std::move(resolved));
  }
  entries_.shrink_to_fit();
  r.Status = damage.empty() ? TCatalogLoad::Loaded : TCatalogLoad::Damaged;
  r.DamageFound = catalogDamaged_ = !damage.empty();
  r.Entries = Count();
  r.Message = damage;
  if (r.Invalid > 0)
    r.Message += (r.Message.empty() ? "" : "; ") + std::to_string(r.Invalid) +
                 (r.Invalid == 1 ? " chart has" : " charts have") + " values that cannot be used and " +
                 (r.Invalid == 1 ? "was" : "were") + " left out";
  return r;
}

std::string TChartList::SaveToBytes() const {
  std::string body;
  int32_t n = 0;
  for (const RChartLayout& e : entries_) {
    std::string rec;
    PutI32(rec, e.GroupMask);
    PutU16(rec, e.Priority);
    PutU16(rec, e.QualityCode);
    PutI32(rec, e.Scale);
    const size_t points = std::min<size_t>(e.Border.size(), 0xFFFF);
    PutU16(rec, static_cast<uint16_t>(points));
    PutU16(rec, 0);
    PutF64(rec, e.Bounds.X1);
    PutF64(rec, e.Bounds.Y1);
    PutF64(rec, e.Bounds.X2);
    PutF64(rec, e.Bounds.Y2);
    // AddEntry keeps out what cannot be stored; a record that still cannot
    // is left out whole rather than written wrongly.
    if (!PutText(rec, e.Name) || !PutText(rec, e.FileName)) continue;
    for (size_t i = 0; i < points; ++i) {
      PutF64(rec, e.Border[i].X);
      PutF64(rec, e.Border[i].Y);
    }
    body += rec;
    ++n;
  }
  std::string out(kIndexMagic);
  PutI32(out, n);
  return out + body;
}

bool TChartList::SaveToFile(const std::string& file, std::string* error) {
  if (!AtomicWriteFile(file, SaveToBytes(), error)) return false;
  modified_ = false;
  return true;
}

int64_t TChartList::FileSizeOfEntry(int index) const {
  if (!resolved_[index].empty()) return FileSizeOf(resolved_[index]);
  const std::string& stored = entries_[index].FileName;
  int64_t size = IsForeignPath(stored) ? -1 : FileSizeOf(ToNativePath(stored));
  if (size < 0 && !searchPath_.empty()) size = FileSizeOf(FindCatalogChartFile(stored, searchPath_));
  return size;
}

int TChartList::AddEntry(const RChartLayout& chart, bool ask) {
  // A priority of 0 counts as 1 (and is stored so, as a reloaded catalog has it).
  RChartLayout layout = chart;
  if (layout.Priority == 0) layout.Priority = 1;
  if (layout.Scale <= 0 || layout.Border.size() > 0xFFFF || CatalogTextToFile(layout.FileName).size() > 0xFFFF)
    return 0;
  auto fits = [](const std::string& name) { return CatalogTextToFile(name).size() <= 0xFFFF; };
  const int same = FindByName(layout.Name);
  if (same < 0) {
    if (!fits(layout.Name)) return 0;
    Append(layout, std::string());
    modified_ = true;
    return 1;
  }
  const RChartLayout& old = entries_[same];
  if (CatalogUpper(old.FileName) == CatalogUpper(layout.FileName)) return 0;
  if (CatalogUpper(ForeignFileName(old.FileName)) == CatalogUpper(ForeignFileName(layout.FileName))) {
    const std::string added = IsForeignPath(layout.FileName) ? std::string() : ToNativePath(layout.FileName);
    if (FileSizeOfEntry(same) == FileSizeOf(added)) return 0;
  }
  for (int k = 2; k <= 100; ++k) {
    std::string name = layout.Name + " (" + std::to_string(k) + ")";
    if (FindByName(name) >= 0) continue;
    if (!fits(name)) return 0;
    RChartLayout copy = layout;
    copy.Name = std::move(name);
    Append(std::move(copy), std::string());
    modified_ = true;
    return 1;
  }
  if (ask && AppMessageBox(layout.Name + " already in list. Not added.", mfOkCancel) == idCancel) return -1;
  return 0;
}

bool TChartList::ReplaceEntry(int index, const RChartLayout& layout) {
  if (index < 0 || index >= Count()) return false;
  if (layout.Scale <= 0 || layout.Border.size() > 0xFFFF || CatalogTextToFile(layout.FileName).size() > 0xFFFF)
    return false;
  RChartLayout& e = entries_[index];
  std::string name = std::move(e.Name);
  const int32_t mask = e.GroupMask;
  const bool sameFile = CatalogUpper(e.FileName) == CatalogUpper(layout.FileName);
  e = layout;
  e.Name = std::move(name);
  e.GroupMask = mask;
  if (e.Priority == 0) e.Priority = 1;
  e.BorderCount = static_cast<uint16_t>(e.Border.size());
  NormFRect(e.Bounds);
  hot_[index] = MakeHot(e);
  filter_[index] = FilterBox(hot_[index]);
  if (!sameFile) {
    resolved_[index].clear();
    RebuildIndexes();
  }
  modified_ = true;
  return true;
}

void TChartList::SwapEntries(TChartList& other) {
  std::swap(entries_, other.entries_);
  std::swap(hot_, other.hot_);
  std::swap(filter_, other.filter_);
  std::swap(resolved_, other.resolved_);
  std::swap(byName_, other.byName_);
  std::swap(byFile_, other.byFile_);
  std::swap(Current, other.Current);
  std::swap(modified_, other.modified_);
}

const RChartLayout* TChartList::Entry(int index) const {
  return index >= 0 && index < Count() ? &entries_[index] : nullptr;
}

RChartLayout TChartList::GetEntry(int index) const {
  const RChartLayout* e = Entry(index);
  return e ? *e : RChartLayout();
}

std::string TChartList::GetFileName(int index) const {
  const RChartLayout* e = Entry(index);
  return e ? e->FileName : std::string();
}

std::string TChartList::ResolvedFileName(int index) const {
  const RChartLayout* e = Entry(index);
  if (!e) return std::string();
  return resolved_[index].empty() ? e->FileName : resolved_[index];
}

bool TChartList::SetGroupMask(int index, int32_t mask) {
  if (!Entry(index)) return false;
  entries_[index].GroupMask = mask | kCatalogEntryBit;
  hot_[index].Mask = entries_[index].GroupMask;
  return true;
}

int TChartList::FindByName(std::string_view name) const {
  const auto it = byName_.find(std::string(name));
  return it == byName_.end() ? -1 : it->second;
}

std::optional<RChartLayout> TChartList::FindEntryByName(std::string_view name) {
  const int i = FindByName(name);
  if (i < 0) return std::nullopt;
  Current = i;
  return entries_[i];
}

int TChartList::FindByFileName(std::string_view file) const {
  const auto it = byFile_.find(CatalogUpper(file));
  return it == byFile_.end() ? -1 : it->second;
}

std::vector<std::string> TChartList::ListDirectories() const {
  std::vector<std::string> out;
  std::vector<std::string> seen;
  for (const RChartLayout& e : entries_) {
    std::string dir = StoredDirectory(e.FileName);
    std::string key = CatalogUpper(dir);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(std::move(key));
    out.push_back(std::move(dir));
  }
  return out;
}

int TChartList::ListEntries(int32_t mask, std::vector<int>& members, const std::string& directory,
                            std::vector<int>& others) const {
  const bool anyDir = directory.empty() || directory == "*.*";
  const std::string wanted = CatalogUpper(WithoutFinalSeparator(directory));
  int unnamed = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const RChartLayout& e = entries_[i];
    if (e.Name.empty()) {
      ++unnamed;
      continue;
    }
    if ((e.GroupMask & mask) == mask)
      members.push_back(static_cast<int>(i));
    else if (anyDir || CatalogUpper(WithoutFinalSeparator(StoredDirectory(e.FileName))) == wanted)
      others.push_back(static_cast<int>(i));
  }
  return unnamed;
}

int TChartList::ListNames(int32_t mask, std::vector<std::string>& members, const std::string& directory,
                          std::vector<std::string>& others) const {
  std::vector<int> in, out;
  const int unnamed = ListEntries(mask, in, directory, out);
  for (int i : in) members.push_back(entries_[static_cast<size_t>(i)].Name);
  for (int i : out) others.push_back(entries_[static_cast<size_t>(i)].Name);
  return unnamed;
}

// ---------------------------------------------------------------------------
// Selection

namespace {

// Whether the position lies in the box; without branches, since almost
// every entry of a search fails.
inline bool InBox(const TFRect& b, const TFPoint& p) {
  return (b.X2 <= p.X) & (p.X <= b.X1) & (b.Y2 <= p.Y) & (p.Y <= b.Y1);
}

}  // namespace

bool TChartList::PassesMask(int32_t entryMask, int32_t mask) {
  return (entryMask & (mask == 0 ? kCatalogEntryBit : mask)) != 0;
}

bool TChartList::Contains(const TFPoint& pos, int index, TFPoint* used) const {
  const THot& h = hot_[index];
  const TFPointArray& border = entries_[index].Border;
  auto test = [&](const TFPoint& p) {
    if (!PointInFRect(p, h.Bounds) || !PointInPolygon(border, p)) return false;
    if (used) *used = p;
    return true;
  };
  if (test(pos)) return true;
  return h.Wrap != 0 && test({pos.X - h.Wrap * 2 * kPi, pos.Y});
}

bool TChartList::ChartContains(const TFPoint& pos, int index) const {
  return index >= 0 && index < Count() && Contains(pos, index);
}

bool TChartList::CurrentContains(const TFPoint& pos) const { return ChartContains(pos, Current); }

int64_t TChartList::EffectiveScale(int32_t scale, int32_t priority, int32_t reference) {
  const int64_t s = scale;
  int64_t e = reference == 0 ? s : std::llabs(int64_t(reference) - s);
  if (priority >= 2) e += RoundToInt64(static_cast<double>(priority - 1) * static_cast<double>(s) / 10.0);
  return e;
}

double TChartList::CenterednessAt(const TFPoint& p, int index) const {
  const TFRect& b = hot_[index].Bounds;
  const double hx = (b.X1 - b.X2) / 2, hy = (b.Y1 - b.Y2) / 2;
  if (!(hx > 0) || !(hy > 0)) return 0;
  const double cx = (b.X1 + b.X2) / 2, cy = (b.Y1 + b.Y2) / 2;
  return (1 - std::fabs(p.X - cx) / hx) * (1 - std::fabs(p.Y - cy) / hy);
}

double TChartList::Centeredness(const TFPoint& pos, int index) const {
  if (!Entry(index)) return 0;
  TFPoint used = pos;
  Contains(pos, index, &used);
  return CenterednessAt(used, index);
}

double TChartList::CentroidDistance(const TFPoint& pos, int index) const {
  const RChartLayout* e = Entry(index);
  if (!e || e->Border.empty()) return 10;
  const TFPoint c = PolygonCentroid(e->Border);
  return std::hypot(pos.X - c.X, pos.Y - c.Y);
}

int TChartList::BestChartPass(const TFPoint& pos, int current, int32_t mask, int32_t reference) const {
  int best = -1;
  int64_t bestScore = INT32_MAX;
  const int n = Count();
  const TFRect* filter = filter_.data();
  for (int i = 0; i < n; ++i) {
    if (!InBox(filter[i], pos)) continue;
    const THot& h = hot_[i];
    if (!PassesMask(h.Mask, mask)) continue;
    int64_t e = Effective(h, reference);
    if (i == current) --e;
    if (e / 2 > bestScore) continue;
    TFPoint used;
    if (!Contains(pos, i, &used)) continue;
    const double de = static_cast<double>(e);
    const double score = de - CenterednessAt(used, i) * 0.01 * (de * 10);
    if (static_cast<double>(bestScore) > score) {
      best = i;
      bestScore = RoundToInt64(score);
    }
  }
  return best;
}

int TChartList::BestChart(const TFPoint& pos, int current, int32_t mask, int32_t reference) {
  int best = BestChartPass(pos, current, mask, reference);
  if (best < 0 && mask != -1) best = BestChartPass(pos, current, -1, reference);
  Current = best;
  return best;
}

int TChartList::NextChartPass(const TFPoint& pos, int current, int32_t mask, int32_t reference) const {
  int best = -1;
  int64_t bestScale = INT32_MAX;
  double bestDistance = 1000;
  const int n = Count();
  const TFRect* filter = filter_.data();
  for (int i = 0; i < n; ++i) {
    if (i == current || !InBox(filter[i], pos)) continue;
    const THot& h = hot_[i];
    if (!PassesMask(h.Mask, mask)) continue;
    const int64_t e = Effective(h, reference);
    if (e > bestScale) continue;
    TFPoint used;
    if (!Contains(pos, i, &used)) continue;
    const double d = CentroidDistance(used, i);
    if (static_cast<double>(bestScale) + bestDistance > static_cast<double>(e) + d) {
      best = i;
      bestScale = e;
      bestDistance = d;
    }
  }
  return best;
}

int TChartList::NextChart(const TFPoint& pos, int current, int32_t mask, int32_t reference) {
  int next = NextChartPass(pos, current, mask, reference);
  if (next < 0 && mask != -1) next = NextChartPass(pos, current, -1, reference);
  if (next < 0) {
    next = Entry(Current) ? Current : -1;
    if (next < 0) AppMessageBox("Chart not found", mfOk);
  }
  Current = next;
  return next;
}

int TChartList::SmallerScaleChart(const TFPoint& pos, int current, int32_t mask, int32_t scale) {
  int best = -1;
  int64_t bestScale = INT32_MAX;
  double bestDistance = 1000;
  const int n = Count();
  const TFRect* filter = filter_.data();
  for (int i = 0; i < n; ++i) {
    if (!InBox(filter[i], pos)) continue;
    const THot& h = hot_[i];
    if (h.Scale <= scale || !PassesMask(h.Mask, mask)) continue;
    int64_t e = Effective(h, 0);
    if (i == current) --e;
    if (e / 2 > bestScale) continue;
    TFPoint used;
    if (!Contains(pos, i, &used)) continue;
    const double d = 20000 * CentroidDistance(used, i);
    if (static_cast<double>(bestScale) + bestDistance > static_cast<double>(e) + d) {
      best = i;
      bestScale = e;
      bestDistance = d;
    }
  }
  Current = best;
  return best;
}

int TChartList::BestForTwoPass(const TFPoint& ahead, const TFPoint& pos, int32_t mask, int32_t reference) const {
  int best = -1;
  int64_t bestScore = INT32_MAX;
  const int n = Count();
  const TFRect* filter = filter_.data();
  for (int i = 0; i < n; ++i) {
    if (!InBox(filter[i], pos) || !InBox(filter[i], ahead)) continue;
    const THot& h = hot_[i];
    if (!PassesMask(h.Mask, mask)) continue;
    int64_t e = Effective(h, reference);
    if (i == Current) --e;
    if (e / 2 > bestScore) continue;
    TFPoint usedAhead;
    if (!Contains(ahead, i, &usedAhead) || !Contains(pos, i)) continue;
    const double de = static_cast<double>(e);
    const double score = de - CenterednessAt(usedAhead, i) * 0.01 * (de * 20);
    if (static_cast<double>(bestScore) > score) {
      best = i;
      bestScore = RoundToInt64(score);
    }
  }
  return best;
}

int TChartList::BestChartForTwo(const TFPoint& ahead, const TFPoint& pos, int32_t mask, int32_t reference) {
  int best = BestForTwoPass(ahead, pos, mask, reference);
  if (best < 0 && mask != -1) best = BestForTwoPass(ahead, pos, -1, reference);
  Current = best;
  return best;
}

int TChartList::ListCharts(const TFPoint& pos, std::string_view nameFilter, const TChartListCallback& callback,
                           int32_t mask, int32_t smallestScale, int32_t largestScale) const {
  const std::string filter = CatalogUpper(nameFilter);
  const bool anywhere = pos.X == 0 && pos.Y == 0;
  int listed = 0;
  for (int i = 0; i < Count(); ++i) {
    const RChartLayout& e = entries_[i];
    if (largestScale > 0 && e.Scale > largestScale) continue;
    if (smallestScale > 0 && e.Scale < smallestScale) continue;
    if (!PassesMask(e.GroupMask, mask)) continue;
    if (!anywhere && !Contains(pos, i)) continue;
    if (!filter.empty() && CatalogUpper(e.Name).find(filter) == std::string::npos) continue;
    if (callback) callback(e.Name, e.Scale);
    ++listed;
  }
  return listed;
}

int TChartList::ListChartsAt(const TFPoint& pos, int32_t largestScale, const TChartListCallback& callback,
                             int32_t smallestScale) const {
  int listed = 0;
  for (int i = 0; i < Count(); ++i) {
    const RChartLayout& e = entries_[i];
    if (largestScale > 0 && e.Scale > largestScale) continue;
    if (smallestScale > 0 && e.Scale < smallestScale) continue;
    if (!Contains(pos, i)) continue;
    if (callback) callback(e.Name, e.Scale);
    ++listed;
  }
  return listed;
}

TFPoint TChartList::DistanceOutside(const TFPoint& pos, const TFRect& rect) {
  if (PointInFRect(pos, rect)) return {0, 0};
  return GeoDistBearing(pos, {rect.X2, rect.Y2});
}

// ---------------------------------------------------------------------------
// Groups

int TChartList::AddGroup(const std::string& name) {
  if (CatalogTextToFile(name).size() > 0xFFFF) return -1;
  for (int i = 0; i < kChartGroupCount; ++i) {
    if (groups_[i].Used) continue;
    groups_[i].Used = 1;
    groups_[i].Name = name;
    groups_[i].Mask = int32_t(uint32_t(1) << i);
    return i;
  }
  return -1;
}

void TChartList::DeleteGroup(const std::string& name) {
  const int slot = GroupIndex(name);
  if (slot < 0) return;
  const int32_t bit = groups_[slot].Mask;
  groups_[slot].Used = 0;
  groups_[slot].Name.clear();
  for (int i = 0; i < Count(); ++i) {
    entries_[i].GroupMask &= ~bit;
    hot_[i].Mask = entries_[i].GroupMask;
  }
}

bool TChartList::RenameGroup(std::string_view from, const std::string& to) {
  const int slot = GroupIndex(from);
  if (slot < 0 || CatalogTextToFile(to).size() > 0xFFFF) return false;
  const int taken = GroupIndex(to);
  if (taken >= 0 && taken != slot) return false;
  groups_[slot].Name = to;
  return true;
}

int TChartList::GroupIndex(std::string_view name) const {
  for (int i = 0; i < kChartGroupCount; ++i)
    if (groups_[i].Used && groups_[i].Name == name) return i;
  return -1;
}

int32_t TChartList::GroupBit(std::string_view name) const {
  const int slot = GroupIndex(name);
  return slot < 0 ? 0 : groups_[slot].Mask;
}

int TChartList::ListGroups(std::vector<std::string>& names) const {
  int n = 0;
  for (const RChartGroup& g : groups_)
    if (g.Used) {
      names.push_back(g.Name);
      ++n;
    }
  return n;
}

int TChartList::GroupCount() const {
  return static_cast<int>(std::count_if(groups_.begin(), groups_.end(), [](const RChartGroup& g) { return g.Used; }));
}

const RChartGroup& TChartList::Group(int slot) const {
  static const RChartGroup kNone;
  return slot >= 0 && slot < kChartGroupCount ? groups_[slot] : kNone;
}

std::string TChartList::SaveGroupsToBytes() const {
  std::string members;
  int32_t m = 0;
  for (int i = 0; i < Count(); ++i) {
    const RChartLayout& e = entries_[i];
    if (e.Name.empty()) continue;
    std::string rec;
    PutI32(rec, i);
    PutI32(rec, e.GroupMask);
    if (!PutText(rec, e.Name)) continue;
    members += rec;
    ++m;
  }
  std::string out(kGroupsMagic);
  PutI32(out, m);
  for (const RChartGroup& g : groups_) {
    PutI32(out, g.Mask);
    out += static_cast<char>(g.Used ? 1 : 0);
    if (!PutText(out, g.Used ? g.Name : std::string())) PutText(out, std::string());
  }
  return out + members;
}

bool TChartList::SaveGroups(const std::string& file, std::string* error) const {
  return AtomicWriteFile(file, SaveGroupsToBytes(), error);
}

TCatalogLoadResult TChartList::LoadGroupsFromBytes(std::string_view bytes, bool* rewrite) {
  if (rewrite) *rewrite = false;
  auto reset = [this] {
    for (int i = 0; i < kChartGroupCount; ++i) groups_[i] = RChartGroup{std::string(), int32_t(uint32_t(1) << i), 0};
    for (int i = 0; i < Count(); ++i) {
      entries_[i].GroupMask = kCatalogEntryBit;
      hot_[i].Mask = kCatalogEntryBit;
    }
  };
  reset();
  TCatalogLoadResult r;
  auto damaged = [&](const std::string& why) {
    reset();
    if (rewrite) *rewrite = false;
    r = TCatalogLoadResult();
    r.Status = TCatalogLoad::Damaged;
    r.DamageFound = true;
    r.Message = why;
    return r;
  };

  TReader in(bytes);
  std::string_view magic;
  int32_t m = 0;
  if (!in.Bytes(4, magic)) return damaged("the file is too short to be a chart groups file");
  if (magic != kGroupsMagic) {
    r.Status = TCatalogLoad::WrongMagic;
    r.Message = "not a chart groups file";
    return r;
  }
  if (!in.I32(m)) return damaged("the file is too short to be a chart groups file");
  int32_t usedBits = 0;
  for (int i = 0; i < kChartGroupCount; ++i) {
    int32_t mask;
    uint8_t used;
    std::string name;
    if (!in.I32(mask) || !in.U8(used) || !in.Text(name)) return damaged("the group records are cut short");
    // The mask of a slot is always its own bit, whatever the file says.
    if (used == 1) {
      groups_[i].Used = 1;
      groups_[i].Name = std::move(name);
      usedBits |= groups_[i].Mask;
    }
  }
  // Member records are read in order until the count is reached or the
  // bytes run out (a negative count says nothing: every record the file
  // holds is read). A record cut short and the missing ones after it are
  // skipped; the groups and the members read before stay, and the file is
  // to be written again.
  std::string damage;
  for (int32_t k = 0; m < 0 || k < m; ++k) {
    if (m < 0 && in.Remaining() == 0) {
      damage = "its member count " + std::to_string(m) + " is damaged; " +
               (k == 1 ? std::string("the one member record") : "the " + std::to_string(k) + " member records") +
               " it holds " + (k == 1 ? "was" : "were") + " read";
      break;
    }
    int32_t index, mask;
    std::string name;
    if (in.Remaining() == 0) {
      damage = "it names " + std::to_string(m) + " members but holds " + (k == 0 ? "none" : "only " + std::to_string(k)) +
               "; the " + std::to_string(m - k) + " missing " + (m - k == 1 ? "one was" : "ones were") + " skipped";
      break;
    }
    if (!in.I32(index) || !in.I32(mask) || !in.Text(name)) {
      // Records missing after this one (none said when the count is damaged).
      const int64_t after = m < 0 ? 0 : int64_t(m) - k - 1;
      damage = "member " + std::to_string(k + 1) + (m < 0 ? std::string() : " of " + std::to_string(m)) +
               " is cut short and was skipped" +
               (after > 0 ? " with the " + std::to_string(after) + " missing after it" : std::string());
      break;
    }
    if (index < 0 || index >= Count() || entries_[index].Name != name) {
      index = FindByName(name);
      if (index < 0) continue;
      if (rewrite) *rewrite = true;
    }
    entries_[index].GroupMask = (mask & usedBits) | kCatalogEntryBit;
    hot_[index].Mask = entries_[index].GroupMask;
    ++r.Entries;
  }
  r.Status = TCatalogLoad::Loaded;
  if (!damage.empty()) {
    r.DamageFound = true;
    r.Message = damage;
    if (rewrite) *rewrite = true;
  }
  return r;
}

TCatalogLoadResult TChartList::LoadGroups(const std::string& file) {
  groupsFile_ = file;
  std::string bytes;
  TCatalogLoadResult r;
  r.Status = ReadCatalogFile(file, bytes, r.Message);
  if (r.Status != TCatalogLoad::Loaded) {
    LoadGroupsFromBytes(std::string_view(), nullptr);  // no groups
    if (r.Status == TCatalogLoad::Damaged) {
      r.DamageFound = true;
      r.Message = "The chart groups file is damaged: " + r.Message;
    }
    return r;
  }
  bool rewrite = false;
  r = LoadGroupsFromBytes(bytes, &rewrite);
  if (r.DamageFound)
    r.Message = "The chart groups file " + file + " is damaged: " + r.Message;
  else if (!r.Message.empty())
    r.Message = file + ": " + r.Message;
  // Over a damaged catalog the members of the charts lost with the damage
  // are not found: a rewrite for moved indexes alone would drop them.
  if (!rewrite || (catalogDamaged_ && !r.DamageFound)) return r;
  std::string error;
  if (r.DamageFound) {
    // The records skipped may still be read by hand from the old bytes:
    // they are kept beside the file before it is replaced, and without
    // that copy the file is left as it is.
    const std::string keep = file + kDamagedSuffix;
    if (!AtomicWriteFile(keep, bytes, &error)) {
      r.Message += "; the damaged file could not be kept as " + keep + " (" + error + ") and was left as it is";
      return r;
    }
    r.Message += "; the damaged file was kept as " + keep;
  }
  r.Rewritten = SaveGroups(file, &error);
  if (!r.Rewritten) {
    const std::string why = "The chart groups file could not be written again: " + error;
    r.Message = r.Message.empty() ? why : r.Message + "\n" + why;
  }
  return r;
}
