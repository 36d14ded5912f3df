// The VT100 interpreter and the bell, counted by a display of the POSIX layer.
#include <memory>

#include "vt100_fixture.h"

namespace {

using Parser = Vt100Test;

// Counts the bells the platform is asked to sound.
class BellCountingDisplay : public posix::Display {
 public:
  explicit BellCountingDisplay(int* bells) : bells_(bells) {}
  const char* name() const override { return "bells"; }
  RECT desktopRect() const override { return RECT{0, 0, 1024, 768}; }
  int messageBox(HWND, const char*, const char*, UINT) override { return IDOK; }
  void beep() override { ++*bells_; }

 private:
  int* bells_;
};

TEST_F(Parser, OneBellPerReadHoweverManyArrive) {
  int bells = 0;
  posix::setDisplay(std::make_unique<BellCountingDisplay>(&bells));
  parse("a\x07\x07\x07" "b\x1b[1\x07;2H");
  EXPECT_EQ(bells, 1);
  EXPECT_EQ(rowText(0, 3), "ab ");
  parse("\x07");
  EXPECT_EQ(bells, 2);
}

}  // namespace
