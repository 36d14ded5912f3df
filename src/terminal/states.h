// The named values of the terminal object's state members.
#pragma once

// terminalMode: the Telnet negotiation bits. All four together select 3270
// processing; any other value is VT100 (NVT) processing.
enum : int {
  kModeBinary = 1,        // BINARY agreed
  kModeTerminalType = 2,  // TERMINAL-TYPE agreed or answered
  kModeEOR = 4,           // END-OF-RECORD agreed
  kModeIBM3270 = 8,       // the terminal type IBM 3270 is chosen
  kMode3270 = 15,         // all four: 3270 processing
};

// terminalType: what the terminal is and answers the host's question with.
enum : int {
  kTypeVt52 = 1,     // VT52 mode (CSI ? 2 l): no answer, VT52 cursor keys
  kTypeVt100 = 2,    // "VT100"
  kTypeIbm3270 = 3,  // "IBM-3278-2"
};

// tlsState: the TLS session of the connection.
enum : int {
  kTlsNone = 0,         // no TLS
  kTlsHandshake = 1,    // the handshake is under way
  kTlsEstablished = 2,  // every byte goes through TLS
  kTlsEnded = 3,        // ended: nothing more goes through it
};
