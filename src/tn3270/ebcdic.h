// EBCDIC conversion, 3270 buffer addresses and the byte copy used for records.
#pragma once

#include "quillon_api.h"

// The four fixed tables.
extern const unsigned char addressCodeTable[64];
extern const unsigned char addressDecodeTable[128];
extern const unsigned char asciiToEbcdicTable[128];
extern const unsigned char ebcdicToAsciiTable[256];

extern "C" {
// Writes the two address bytes of row * 80 + column.
QUILLON_API void cvpc3270(unsigned char* out, int row, int column);
// Decodes two address bytes (12-bit form) into a buffer offset 0..4095.
QUILLON_API void cv3270pc(unsigned char* in, unsigned int* out);
// Convert in place; return the number of bytes converted.
QUILLON_API unsigned int Asc_To_Ebc(unsigned char* buf, unsigned int len);
QUILLON_API unsigned int Ebc_To_Asc(unsigned char* buf, unsigned int len);
// Copies n bytes downwards from index n - 1 (safe when dst lies above src); n <= 0 copies nothing.
QUILLON_API void memmov(unsigned char* dst, unsigned char* src, int n);
}
