// Multi-part assembly of AIS "!" sentences (VDM, VDO).
//
// A message longer than one sentence arrives in numbered parts carrying a
// sequential message identifier. Parts are joined per source (port A, B, C,
// network), per VDM/VDO and per identifier, so that interleaved messages from
// different receivers, the own transponder's VDO and two messages of one
// receiver never corrupt each other. A single-part sentence never disturbs a
// message being assembled.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "instruments/AISMessage.h"

struct TNdxString;

// The fields of one sentence that assembly uses.
struct TAisFragment {
  int Total = 0;   // number of parts, 1 to 9
  int Part = 0;    // this part, 1 to Total
  char SeqId = 0;  // sequential message identifier, "0" to "9"; 0 when the field is empty
  std::string_view Payload;
  int Fill = 0;    // fill bits, 0 to 5
};

// Reads the fragment fields of a VDM or VDO sentence (fields 1, 2, 3, 5 and
// 6; the channel is not used). False when the part count, part number,
// identifier or fill bits are not a single digit in range.
bool ParseAisFragment(const TNdxString& sentence, TAisFragment& f);

class TAisAssembler {
 public:
  // Messages being assembled at the same time; when another one starts, the
  // one whose last part came longest ago is dropped.
  static constexpr int kMaxPending = 8;

  enum class TResult : uint8_t {
    Complete,  // `message` holds a whole message
    Pending,   // a part was taken; more are to come
    Dropped,   // the sentence was refused (and any message it belonged to abandoned)
  };

  // Takes one fragment from `source` (kSource*), of a VDO sentence when
  // `ownVessel` is set. A first part starts its message afresh; a later part
  // must follow the previous one of its message, or that message is
  // abandoned; so is one whose part other than the last has fill bits, whose
  // payload holds a character outside the six-bit alphabet or grows beyond
  // kAisMaxPayloadChars.
  TResult Take(const TAisFragment& f, int source, bool ownVessel, TAisBits& message);
  // Forgets every message being assembled.
  void Reset();
  int PendingCount() const;

 private:
  struct TPending {
    bool Used = false;
    int Source = 0;
    bool Own = false;
    char SeqId = 0;
    int Total = 0;
    int Next = 0;
    uint64_t Stamp = 0;
    TAisBits Bits;
  };
  TPending* Find(int source, bool own, char seqId);
  TPending& Allocate();

  std::array<TPending, kMaxPending> pending_{};
  uint64_t stamp_ = 0;
};
