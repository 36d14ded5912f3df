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
// The 3270 records through ParseData (records/s): the default model's 24 x 80
// records, and as many of the same fields and about the same length written to
// a 3279-5-E's 27 x 132 alternate screen with colours and highlighting; and
// build_input (calls/s).
void register3270(const Input* records, const Input* extended, int recordCount);

}  // namespace bench
