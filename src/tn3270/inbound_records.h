// How far the host's bytes belong to the 3270 record being gathered.
#pragma once

class CommTcp;

// The bytes of `data` up to and including the IAC EOR that ends the record
// being gathered (taking into account an IAC the previous read left
// unpaired), or `length` when the record does not end in them. What follows
// the record's end is Telnet again: commands, or the next record.
int RecordExtent(const CommTcp& t, const unsigned char* data, int length);
