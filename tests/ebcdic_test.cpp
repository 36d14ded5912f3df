// EBCDIC tables, buffer addresses and the downward byte copy.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tn3270/ebcdic.h"

namespace {

TEST(BufferAddress, EncodesKnownPositions) {
  struct Case {
    int row, column;
    unsigned char first, second;
  };
  const Case cases[] = {
      {0, 0, 0x40, 0x40},    // top left
      {0, 79, 0xC1, 0x4F},   // 79 = 1 * 64 + 15
      {23, 79, 0x5D, 0x7F},  // last position, 1919
      {24, 0, 0x5E, 0x40},   // one row past the screen, 1920
      // Offsets outside twelve bits wrap instead of reading past the code table.
      {0, 4096, 0x40, 0x40},
      {-1, 0, 0x7E, 0xF0},  // -80 as twelve bits is 4016 = 62 * 64 + 48
  };
  for (const Case& c : cases) {
    unsigned char out[2] = {0, 0};
    cvpc3270(out, c.row, c.column);
    EXPECT_EQ(out[0], c.first) << c.row << "," << c.column;
    EXPECT_EQ(out[1], c.second) << c.row << "," << c.column;
  }
}

TEST(BufferAddress, DecodesTwelveBitForms) {
  struct Case {
    unsigned char first, second;
    unsigned int offset;
  };
  const Case cases[] = {
      {0x40, 0x40, 0},
      {0xC1, 0xC1, 65},
      {0x41, 0x41, 65},    // bit 0x80 is ignored
      {0x00, 0x7F, 63},    // a first byte without bit 0x40 counts as 0
      {0x3F, 0x3F, 0},     // so does a second one
      {0x7F, 0x7F, 4095},  // the largest 12-bit address
      {0xFF, 0xFF, 4095},
      {0x5D, 0x7F, 1919},
  };
  for (const Case& c : cases) {
    unsigned char in[2] = {c.first, c.second};
    unsigned int offset = 99999;
    cv3270pc(in, &offset);
    EXPECT_EQ(offset, c.offset) << std::hex << int(c.first) << " " << int(c.second);
  }
}

TEST(BufferAddress, EveryTwelveBitOffsetRoundTrips) {
  for (int offset = 0; offset < 4096; ++offset) {
    unsigned char bytes[2];
    cvpc3270(bytes, offset / 80, offset % 80);
    unsigned int back = 0;
    cv3270pc(bytes, &back);
    ASSERT_EQ(back, static_cast<unsigned int>(offset));
  }
}

TEST(AsciiToEbcdic, ConvertsInPlaceWithTheThreeHostExceptions) {
  struct Case {
    std::vector<unsigned char> in, out;
  };
  const Case cases[] = {
      {{'A', '[', 'b', ']', '^'}, {0xC1, 0xAD, 0x82, 0xBD, 0x5F}},
      {{0x09, 0x7F, 0x00, 0x1F}, {0x00, 0x00, 0x00, 0x00}},  // controls and DEL
      {{0xC1, 0xA0}, {0xC1, 0x40}},                          // bit 0x80 is dropped first
      {{' ', '|', '!', '\\', '{', '}', '~', '`'}, {0x40, 0x4F, 0x5A, 0xE0, 0xC0, 0xD0, 0xA1, 0x79}},
      {{'I', 'J', 'R', 'S', 'Z', 'i', 'j', 'r', 's', 'z', '0', '9'},
       {0xC9, 0xD1, 0xD9, 0xE2, 0xE9, 0x89, 0x91, 0x99, 0xA2, 0xA9, 0xF0, 0xF9}},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> buf = c.in;
    EXPECT_EQ(Asc_To_Ebc(buf.data(), static_cast<unsigned int>(buf.size())), buf.size());
    EXPECT_EQ(buf, c.out);
  }
}

TEST(EbcdicToAscii, ConvertsInPlaceIncludingTheExtraEntries) {
  std::vector<unsigned char> buf = {0x00, 0x1C, 0x1E, 0x4A, 0x15, 0x6A, 0x71, 0x5F, 0xC1, 0xFF, 0x40};
  const std::vector<unsigned char> expected = {' ', '*', ';', 0x9B, ' ', '|', '^', '^', 'A', ' ', ' '};
  EXPECT_EQ(Ebc_To_Asc(buf.data(), static_cast<unsigned int>(buf.size())), buf.size());
  EXPECT_EQ(buf, expected);
}

TEST(EbcdicTables, PrintableAsciiRoundTripsAndNothingElseIsMapped) {
  int printableImages = 0;
  for (int c = 0x20; c <= 0x7E; ++c) {
    unsigned char b = static_cast<unsigned char>(c);
    Asc_To_Ebc(&b, 1);
    EXPECT_NE(b, 0) << c;
    Ebc_To_Asc(&b, 1);
    EXPECT_EQ(b, c) << "character " << c;
    ++printableImages;
  }
  // The 95 images, plus the five extra entries, are the only bytes that do not
  // become a blank (the image of blank itself aside).
  int nonBlank = 0;
  for (int e = 0; e < 256; ++e)
    if (ebcdicToAsciiTable[e] != ' ') ++nonBlank;
  EXPECT_EQ(nonBlank, printableImages - 1 + 5);
}

TEST(ByteCopy, CopiesDownwardsAndIgnoresEmptyCounts) {
  unsigned char buf[8];
  std::memcpy(buf, "abcdefg", 8);
  memmov(buf + 1, buf, 0);
  memmov(buf + 1, buf, -3);
  EXPECT_STREQ(reinterpret_cast<char*>(buf), "abcdefg");

  memmov(buf + 1, buf, 5);  // shift up by one without smearing
  EXPECT_STREQ(reinterpret_cast<char*>(buf), "aabcdeg");

  unsigned char dst[4] = {0, 0, 0, 0};
  unsigned char src[3] = {1, 2, 3};
  memmov(dst, src, 3);
  EXPECT_EQ(dst[0], 1);
  EXPECT_EQ(dst[2], 3);
  EXPECT_EQ(dst[3], 0);  // nothing beyond n
}

}  // namespace
