// The host's end of the terminal's connection: a real TCP pair on 127.0.0.1
// whose host side a thread keeps drained, so that the terminal's sends never
// wait. No Win32 types here: this part talks to the system's sockets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Opens a new pair; the terminal's end goes to *client. Any previous host end
// is shut down first.
void openHostEnd(int* client);
// Shuts the host end down (the terminal then sees the connection closed).
void closeHostEnd();
// The host end sends these bytes; returns once the terminal's end `client`
// holds them all (or after a bounded wait).
void hostEndSends(int client, const uint8_t* data, size_t size);

}  // namespace fuzz
