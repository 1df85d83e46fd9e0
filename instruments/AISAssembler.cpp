// Multi-part assembly.
#include "instruments/AISAssembler.h"

#include "instruments/NMEA.h"

namespace {

// A field holding exactly one digit in [lo, hi]; -1 otherwise.
int Digit(std::string_view field, int lo, int hi) {
  if (field.size() != 1) return -1;
  const int v = field[0] - '0';
  return v >= lo && v <= hi ? v : -1;
}

}  // namespace

bool ParseAisFragment(const TNdxString& sentence, TAisFragment& f) {
  f.Total = Digit(sentence.Field(1), 1, 9);
  if (f.Total < 0) return false;
  f.Part = Digit(sentence.Field(2), 1, f.Total);
  if (f.Part < 0) return false;
  std::string_view seq = sentence.Field(3);
  if (seq.empty()) {
    f.SeqId = 0;
  } else if (Digit(seq, 0, 9) >= 0) {
    f.SeqId = seq[0];
  } else {
    return false;
  }
  f.Payload = sentence.Field(5);
  f.Fill = Digit(sentence.Field(6), 0, 5);
  return f.Fill >= 0;
}

TAisAssembler::TPending* TAisAssembler::Find(int source, bool own, char seqId) {
  for (TPending& p : pending_)
    if (p.Used && p.Source == source && p.Own == own && p.SeqId == seqId) return &p;
  return nullptr;
}

TAisAssembler::TPending& TAisAssembler::Allocate() {
  TPending* oldest = &pending_[0];
  for (TPending& p : pending_) {
    if (!p.Used) return p;
    if (p.Stamp < oldest->Stamp) oldest = &p;
  }
  return *oldest;
}

TAisAssembler::TResult TAisAssembler::Take(const TAisFragment& f, int source, bool ownVessel,
                                           TAisBits& message) {
  if (f.Total < 1 || f.Part < 1 || f.Part > f.Total || f.Fill < 0 || f.Fill > 5) return TResult::Dropped;
  if (f.Total == 1) return message.Assign(f.Payload, f.Fill) ? TResult::Complete : TResult::Dropped;

  TPending* p = Find(source, ownVessel, f.SeqId);
  auto abandon = [&] {
    if (p) p->Used = false;
    return TResult::Dropped;
  };
  const bool last = f.Part == f.Total;
  if (f.Part == 1) {
    if (!p) p = &Allocate();
    *p = TPending();
    p->Used = true;
    p->Source = source;
    p->Own = ownVessel;
    p->SeqId = f.SeqId;
    p->Total = f.Total;
    p->Next = 1;
  } else if (!p || p->Total != f.Total || p->Next != f.Part) {
    return abandon();
  }
  p->Stamp = ++stamp_;
  if (!p->Bits.Append(f.Payload)) return abandon();
  if (!last) {
    // Only the last part may end in fill bits.
    if (f.Fill != 0) return abandon();
    ++p->Next;
    return TResult::Pending;
  }
  p->Used = false;
  if (!p->Bits.SetFill(f.Fill)) return TResult::Dropped;
  message = p->Bits;
  return TResult::Complete;
}

void TAisAssembler::Reset() {
  for (TPending& p : pending_) p.Used = false;
}

int TAisAssembler::PendingCount() const {
  int n = 0;
  for (const TPending& p : pending_) n += p.Used ? 1 : 0;
  return n;
}
