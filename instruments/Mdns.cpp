#include "instruments/Mdns.h"

#include <algorithm>

namespace {

constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypePtr = 12;
constexpr uint16_t kTypeSrv = 33;
constexpr uint16_t kClassIn = 1;
constexpr uint16_t kUnicastResponse = 0x8000;
// Records read from one reply at most (a reply of 9000 bytes holds fewer).
constexpr int kMaxRecords = 512;
constexpr size_t kMaxName = 255;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

class TReader {
 public:
  TReader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool U16(size_t at, uint16_t& v) const {
    if (at + 2 > n_) return false;
    v = static_cast<uint16_t>(d_[at] << 8 | d_[at + 1]);
    return true;
  }
  bool U32(size_t at, uint32_t& v) const {
    uint16_t hi, lo;
    if (!U16(at, hi) || !U16(at + 2, lo)) return false;
    v = static_cast<uint32_t>(hi) << 16 | lo;
    return true;
  }
  // The (possibly compressed) name at `at`; `end` is where the name's own
  // bytes end. Pointers must point backwards, so they cannot loop.
  bool Name(size_t at, std::string& name, size_t& end) const {
    name.clear();
    bool jumped = false;
    size_t pos = at;
    size_t limit = at;  // a pointer must go before this
    for (int labels = 0; labels < 128; ++labels) {
      if (pos >= n_) return false;
      const uint8_t len = d_[pos];
      if ((len & 0xC0) == 0xC0) {
        if (pos + 2 > n_) return false;
        const size_t target = static_cast<size_t>(len & 0x3F) << 8 | d_[pos + 1];
        if (!jumped) end = pos + 2;
        jumped = true;
        if (target >= limit) return false;
        limit = target;
        pos = target;
        continue;
      }
      if (len & 0xC0) return false;
      if (len == 0) {
        if (!jumped) end = pos + 1;
        return true;
      }
      if (pos + 1 + len > n_) return false;
      if (!name.empty()) name += '.';
      name.append(reinterpret_cast<const char*>(d_ + pos + 1), len);
      if (name.size() > kMaxName) return false;
      pos += 1 + len;
    }
    return false;
  }

 private:
  const uint8_t* d_;
  size_t n_;
};

void PutName(std::vector<uint8_t>& out, std::string_view name) {
  while (!name.empty()) {
    const size_t dot = name.find('.');
    const std::string_view label = name.substr(0, dot);
    out.push_back(static_cast<uint8_t>(std::min<size_t>(label.size(), 63)));
    out.insert(out.end(), label.begin(), label.begin() + static_cast<ptrdiff_t>(std::min<size_t>(label.size(), 63)));
    if (dot == std::string_view::npos) break;
    name.remove_prefix(dot + 1);
  }
  out.push_back(0);
}

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

}  // namespace

std::vector<uint8_t> MdnsQuery(const std::vector<std::string>& types, uint16_t id) {
  std::vector<uint8_t> out;
  Put16(out, id);
  Put16(out, 0);  // a standard query
  Put16(out, static_cast<uint16_t>(types.size()));
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, 0);
  for (const std::string& t : types) {
    PutName(out, t);
    Put16(out, kTypePtr);
    Put16(out, kClassIn | kUnicastResponse);
  }
  return out;
}

std::optional<std::vector<TMdnsService>> ParseMdnsReply(const uint8_t* data, size_t size,
                                                        const std::vector<std::string>& types) {
  TReader r(data, size);
  uint16_t flags, qd, an, ns, ar;
  if (!r.U16(2, flags) || !r.U16(4, qd) || !r.U16(6, an) || !r.U16(8, ns) || !r.U16(10, ar)) return std::nullopt;
  if (!(flags & 0x8000)) return std::nullopt;  // a query, not a reply
  size_t pos = 12;
  std::string name;
  for (int i = 0; i < qd; ++i) {
    size_t end;
    if (!r.Name(pos, name, end)) return std::nullopt;
    pos = end + 4;
    if (pos > size) return std::nullopt;
  }
  struct TPtr {
    std::string type, instance;
  };
  struct TSrv {
    std::string instance, host;
    uint16_t port;
  };
  struct TA {
    std::string host, address;
  };
  std::vector<TPtr> ptrs;
  std::vector<TSrv> srvs;
  std::vector<TA> as;
  const int records = an + ns + ar;
  if (records > kMaxRecords) return std::nullopt;
  for (int i = 0; i < records; ++i) {
    size_t end;
    if (!r.Name(pos, name, end)) return std::nullopt;
    uint16_t type, cls, len;
    uint32_t ttl;
    if (!r.U16(end, type) || !r.U16(end + 2, cls) || !r.U32(end + 4, ttl) || !r.U16(end + 8, len))
      return std::nullopt;
    const size_t rdata = end + 10;
    if (rdata + len > size) return std::nullopt;
    pos = rdata + len;
    if ((cls & 0x7FFF) != kClassIn) continue;
    if (type == kTypePtr) {
      std::string target;
      size_t e;
      if (!r.Name(rdata, target, e) || e > pos) return std::nullopt;
      ptrs.push_back({Lower(name), target});
    } else if (type == kTypeSrv) {
      uint16_t port;
      std::string host;
      size_t e;
      if (len < 7 || !r.U16(rdata + 4, port) || !r.Name(rdata + 6, host, e) || e > pos) return std::nullopt;
      srvs.push_back({Lower(name), host, port});
    } else if (type == kTypeA && len == 4) {
      const uint8_t* a = data + rdata;
      as.push_back({Lower(name), std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
                                     std::to_string(a[3])});
    }
  }
  std::vector<TMdnsService> out;
  for (const TPtr& p : ptrs) {
    if (std::find_if(types.begin(), types.end(), [&](const std::string& t) { return Lower(t) == p.type; }) ==
        types.end())
      continue;
    const std::string instance = Lower(p.instance);
    for (const TSrv& s : srvs) {
      if (s.instance != instance) continue;
      TMdnsService svc;
      svc.Type = p.type;
      svc.Instance = p.instance;
      svc.Host = s.host;
      svc.Port = s.port;
      const std::string host = Lower(s.host);
      for (const TA& a : as)
        if (a.host == host) svc.Address = a.address;
      out.push_back(std::move(svc));
    }
  }
  return out;
}
