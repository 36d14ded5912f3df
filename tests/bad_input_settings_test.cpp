// A settings file full of bad input, met by the window at its creation:
// garbage, binary bytes, lines of a megabyte, a missing section, values that
// do not hold three numbers. Every colour that cannot be read keeps its
// default (component by component, where some numbers do read), the colours
// reach the screen, the file is left exactly as it was, and nothing else of
// the terminal's start differs.
#include <filesystem>
#include <random>
#include <string>

#include "harness.h"

namespace {

struct Rgb {
  int red, green, blue;
};
// The five colours in the order of the settings keys: BackGroundColor,
// UnProtectedHighLightColor, ProtectedHighLightColor, UnProtectedNormalColor,
// ProtectedNormalColor.
struct Colours {
  Rgb colour[5];
};
const Colours kDefaults{{{0, 0, 0}, {0, 128, 128}, {125, 255, 0}, {0, 255, 255}, {0, 255, 0}}};
Colours with(Colours c, int key, Rgb value) {
  c.colour[key] = value;
  return c;
}

struct SettingsCase {
  const char* name;
  std::string file;  // written as it stands
  Colours expected;
  bool directory = false;  // the settings file name is taken by a directory
};

const std::string kMegabyte(1 << 20, 'x');

// A literal with NULs inside, every byte of it.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string noise(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}
std::string everyByte() {
  std::string s;
  for (int round = 0; round < 64; ++round)
    for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

std::vector<SettingsCase> cases() {
  return {
      {"Empty", "", kDefaults},
      {"RandomBytes", noise(64 * 1024, 7), kDefaults},
      {"EveryByteValue", everyByte(), kDefaults},
      {"SectionMissing", "[OTHER]\nBackGroundColor=1,2,3\nProtectedNormalColor=4,5,6\n", kDefaults},
      {"SectionNameCutByANul", bytes("[GLO\0BALS]\nBackGroundColor=1,2,3\n"), kDefaults},
      {"MegabyteLineBeforeTheSection", kMegabyte + "\n[GLOBALS]\nBackGroundColor=1,2,3\nProtectedNormalColor=4,5,6\n",
       with(with(kDefaults, 0, {1, 2, 3}), 4, {4, 5, 6})},
      {"MegabyteTailOnAValue",
       "[GLOBALS]\nBackGroundColor=10,20,30" + kMegabyte + "\nUnProtectedNormalColor=7,8,9\n",
       with(with(kDefaults, 0, {10, 20, 30}), 3, {7, 8, 9})},
      {"MegabyteOfBlanksInsideAValue",  // only the first 119 characters are read
       "[GLOBALS]\nUnProtectedHighLightColor=7," + std::string(1 << 20, ' ') + "8,9\n",
       with(kDefaults, 1, {7, 128, 128})},
      {"MegabyteKeyName", "[GLOBALS]\n" + kMegabyte + "=1,2,3\nProtectedHighLightColor=9,9,9\n",
       with(kDefaults, 2, {9, 9, 9})},
      {"MegabyteSectionName", "[" + kMegabyte + "]\nBackGroundColor=1,2,3\n[GLOBALS]\nProtectedNormalColor=4,5,6\n",
       with(kDefaults, 4, {4, 5, 6})},
      {"ValuesThatAreNotThreeNumbers",
       "[GLOBALS]\nBackGroundColor=red\nUnProtectedHighLightColor=1,2\nProtectedHighLightColor=\xFF\xFE,\x01\n"
       "UnProtectedNormalColor=,,,\nProtectedNormalColor=-1,-1,-1\n",
       with(with(kDefaults, 1, {1, 2, 128}), 4, {255, 255, 255})},
      {"NulInsideAValue", bytes("[GLOBALS]\r\nBackGroundColor=9\0,8,7\r\n"), with(kDefaults, 0, {9, 0, 0})},
      {"SectionRepeated",
       "[GLOBALS]\nBackGroundColor=1,1,1\nBackGroundColor=2,2,2\n[GLOBALS]\nProtectedNormalColor=3,3,3\n",
       with(kDefaults, 0, {1, 1, 1})},
      {"ADirectory", "", kDefaults, true},
  };
}

void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

class BadInputSettings : public TerminalWindowTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(BadInputSettings, UnreadableColoursKeepTheirDefaultsAndNothingElseChanges) {
  const SettingsCase& c = GetParam();
  if (c.directory)
    std::filesystem::create_directory("quillon.ini");
  else
    writeFile("quillon.ini", c.file);

  createMainWindow();
  const CommTcp* t = terminal();
  ASSERT_NE(t, nullptr);
  const COLORREF got[5] = {t->backgroundColor, t->unprotectedHighLightColor, t->protectedHighLightColor,
                           t->unprotectedNormalColor, t->protectedNormalColor};
  for (int k = 0; k < 5; ++k) {
    const Rgb& e = c.expected.colour[k];
    EXPECT_EQ(got[k], RGB(e.red, e.green, e.blue)) << "colour " << k;
  }

  // The file is read, never written.
  if (c.directory)
    EXPECT_TRUE(std::filesystem::is_directory("quillon.ini"));
  else
    EXPECT_TRUE(readFile("quillon.ini") == c.file) << "the settings file changed";

  // The rest of the start is as without a file.
  EXPECT_EQ(t->terminalType, 2);
  EXPECT_EQ(t->terminalMode, 0);
  EXPECT_EQ(t->replaceMode, 1);
  EXPECT_EQ(t->aid, 0x7D);
  EXPECT_EQ(t->nvtColumns, 81);
  EXPECT_EQ(t->fieldCount, 0);
  EXPECT_NE(t->screenFont, nullptr);
  EXPECT_NE(t->lineDrawFont, nullptr);
  EXPECT_TRUE(posix::testing::messageBoxes().empty());

  // The colours reach the screen: after the first layout the empty VT100
  // page is drawn in the text colour on the background colour.
  PostMessageA(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(810, 520));
  posix::testing::pumpUntilIdle();
  posix::testing::advanceClock(100);
  const posix::Cell* cell = posix::testing::grid(window_)->at(10, 5);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->bg, t->backgroundColor);
  EXPECT_EQ(cell->fg, t->protectedNormalColor);
}

INSTANTIATE_TEST_SUITE_P(BadInputSettingsFiles, BadInputSettings, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<SettingsCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
