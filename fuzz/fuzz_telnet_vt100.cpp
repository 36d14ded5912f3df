// The Telnet engine (ParseData) in VT100 mode, over any split of the stream
// into reads: option commands, subnegotiations, commands cut by a read, and
// NVT data with escape sequences carried over as pending tails.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::runTelnet(data, size, fuzz::Mode::kVt100);
  return 0;
}
