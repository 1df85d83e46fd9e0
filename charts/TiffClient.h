// libtiff reading through our own file access (TFileView: pread, never a
// mapping, so a file cut short cannot crash the program) or over bytes in
// memory, with its errors kept as text instead of printed.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <span>
#include <string>

class TFileView;

// Where one libtiff handle reads from, with its own read position: several
// handles may read one file, each through its own source.
struct TTiffSource {
  std::span<const uint8_t> bytes;
  // Read from a file instead of `bytes` (not owned).
  const TFileView* file = nullptr;
  uint64_t pos = 0;
  // libtiff's last error message ("module: text").
  std::string lastError;
  uint64_t Size() const;
};

// Opens the source read-only, never mapped ("m" in the libtiff mode; more
// mode letters may follow). maxAlloc bounds every single allocation of the
// library. Null when libtiff cannot read it (the reason in
// source.lastError).
TIFF* OpenTiffClient(TTiffSource& source, tmsize_t maxAlloc, const char* mode = "rm");
