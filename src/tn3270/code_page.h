// Code page 037, the EBCDIC of the model screens, and ISO 8859-1: the two
// directions are exact inverses over all 256 values. The brackets are the
// ones 3270 hosts use: "[" is 0xAD and "]" 0xBD (0xBA and 0xBB are the
// Y acute and the diaeresis).
#pragma once

#include <cstdint>

#include "quillon_api.h"

QUILLON_API extern const uint8_t kEbcdicToLatin1[256];
QUILLON_API extern const uint8_t kLatin1ToEbcdic[256];
