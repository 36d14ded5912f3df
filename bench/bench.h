// The benchmark families, registered by main() once the inputs are loaded.
#pragma once

#include <vector>

#include "terminal_session.h"

namespace bench {

// vt100-*.bin through ParseData, and through libvterm where it was found.
void registerVt100(const std::vector<const Input*>& inputs);
// vt100-plain.bin from a host on a loopback socket, over plain Telnet and
// through TLS: the terminal's read path with the message loop.
void registerConnectedVt100(const Input* plain);
// The 3270 records through ParseData (records/s), and build_input (calls/s).
void register3270(const Input* records, int recordCount);

}  // namespace bench
