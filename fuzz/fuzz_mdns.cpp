// Multicast DNS replies come from any computer on the network: any bytes
// must be read without harm, and what is found must stay within them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "instruments/Mdns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> types = {kSignalKWsService, kSignalKHttpService};
  auto services = ParseMdnsReply(data, size, types);
  if (!services) return 0;
  for (const TMdnsService& s : *services) {
    if (s.Host.size() > 255 || s.Instance.size() > 255 || s.Address.size() > 15) {
      std::fprintf(stderr, "fuzz_mdns: a name longer than DNS allows\n");
      std::abort();
    }
  }
  return 0;
}
