// The data stream of the model screen (tn3270/model_screen.h): what the host
// sends it, what it answers, and what the keyboard does to it. The default
// model keeps the original engine; CommTcp::modelEngine() tells which runs.
#pragma once

#include <cstdint>
#include <vector>

#include "quillon_api.h"
#include "terminal/comm_tcp.h"

namespace model3270 {

// What was wrong with a record, for a host that asks for a response: an
// unknown command, or an order's address beyond the screen.
enum class RecordFault : uint8_t { kNone, kCommandReject, kOperationCheck };
// One complete record from the host, IAC EOR and doubled IACs removed.
RecordFault ProcessRecord(CommTcp& t, const uint8_t* record, int length);
// Write Structured Field: the structured fields after the command byte.
void StructuredFields(CommTcp& t, const uint8_t* data, int length);

// The inbound record of a read command (0x02/0xF2 Read Buffer, 0x06/0xF6 Read
// Modified, 0x0E/0x6E Read Modified All), without Telnet framing.
QUILLON_API std::vector<uint8_t> BuildRead(const ModelScreen& s, uint8_t command);
// The Query Reply structured fields, AID 0x88 first; `codes` null answers every query code.
std::vector<uint8_t> BuildQueryReply(const ModelScreen& s, const std::vector<uint8_t>* codes);
// Sends an inbound record: its 0xFF bytes doubled and IAC EOR after it.
void SendInbound(CommTcp& t, const std::vector<uint8_t>& record);
// Answers a read command.
void SendRead(CommTcp& t, uint8_t command);

// The keyboard. False when the keyboard refused (a protected position, a
// letter in a numeric field, a locked keyboard).
QUILLON_API bool TypeChar(CommTcp& t, uint8_t ebcdic);
QUILLON_API void CursorTo(CommTcp& t, int position);
QUILLON_API void Tab(CommTcp& t);
QUILLON_API void BackTab(CommTcp& t);
QUILLON_API void Home(CommTcp& t);
QUILLON_API bool Backspace(CommTcp& t);
QUILLON_API bool EraseEndOfField(CommTcp& t);
QUILLON_API bool DeleteField(CommTcp& t);
// An attention key: the record for `aid` (Read Modified's reply, short for
// PA and Clear) is sent and the keyboard locked until the host restores it.
// Clear erases the screen to its default size first.
QUILLON_API void Attention(CommTcp& t, uint8_t aid);

// Copies the screen into the original 24 x 80 members (screenChars, the
// attribute arrays, the field table) while the screen is 24 x 80, so that
// readers of those members see it; on the alternate size they are emptied.
void MirrorLegacy(CommTcp& t);

}  // namespace model3270
