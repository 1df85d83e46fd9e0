// TIFF files come from anywhere: see ScanImageFuzz.h for what is checked.
#include "ScanImageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return scanfuzz::Run<TTIFFRows>("fuzz_tiff", data, size, LoadTIFFImage);
}
