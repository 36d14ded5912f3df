// Code page 037, the EBCDIC of the model screens, and ISO 8859-1: the two
// directions are exact inverses over all 256 values.
#pragma once

#include <cstdint>

#include "quillon_api.h"

QUILLON_API extern const uint8_t kEbcdicToLatin1[256];
QUILLON_API extern const uint8_t kLatin1ToEbcdic[256];
