// The benchmark families, registered by main() once the inputs are loaded.
#pragma once

#include <vector>

#include "terminal_session.h"

namespace bench {

// vt100-*.bin through ParseData, and through libvterm where it was found.
void registerVt100(const std::vector<const Input*>& inputs);
// The 3270 records through ParseData (records/s), and build_input (calls/s).
void register3270(const Input* records, int recordCount);

}  // namespace bench
