// Nearest terminal colours for window colours.
#include "platform/posix/tty_colors.h"

#include <cstdlib>

namespace posix {
namespace tty {
namespace {

// xterm's default values of the 16 system colours.
const COLORREF kSystem[16] = {
    RGB(0, 0, 0),       RGB(205, 0, 0),   RGB(0, 205, 0),   RGB(205, 205, 0), RGB(0, 0, 238),   RGB(205, 0, 205),
    RGB(0, 205, 205),   RGB(229, 229, 229), RGB(127, 127, 127), RGB(255, 0, 0), RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(92, 92, 255),   RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};

// The six levels of each channel of the colour cube.
const int kCube[6] = {0, 95, 135, 175, 215, 255};

long distance(COLORREF a, COLORREF b) {
  const long dr = static_cast<long>(GetRValue(a)) - GetRValue(b);
  const long dg = static_cast<long>(GetGValue(a)) - GetGValue(b);
  const long db = static_cast<long>(GetBValue(a)) - GetBValue(b);
  return dr * dr + dg * dg + db * db;
}

// The cube level nearest to a channel value.
int cubeLevel(int v) {
  int best = 0;
  for (int i = 1; i < 6; ++i)
    if (std::abs(kCube[i] - v) < std::abs(kCube[best] - v)) best = i;
  return best;
}

}  // namespace

COLORREF xtermColor(int index) {
  if (index < 0 || index > 255) return 0;
  if (index < 16) return kSystem[index];
  if (index < 232) {
    const int i = index - 16;
    return RGB(kCube[i / 36], kCube[(i / 6) % 6], kCube[i % 6]);
  }
  const int grey = 8 + 10 * (index - 232);
  return RGB(grey, grey, grey);
}

int nearestColor(COLORREF color, int count) {
  color &= 0x00FFFFFF;
  if (count >= 256) {
    const int cube = 16 + 36 * cubeLevel(GetRValue(color)) + 6 * cubeLevel(GetGValue(color)) +
                     cubeLevel(GetBValue(color));
    const int average = (GetRValue(color) + GetGValue(color) + GetBValue(color)) / 3;
    int grey = 232 + (average - 3) / 10;  // entry 232 + k is 8 + 10k
    if (average < 8) grey = 232;
    if (grey > 255) grey = 255;
    return distance(color, xtermColor(grey)) < distance(color, xtermColor(cube)) ? grey : cube;
  }
  const int n = count >= 16 ? 16 : 8;
  int best = 0;
  for (int i = 1; i < n; ++i)
    if (distance(color, kSystem[i]) < distance(color, kSystem[best])) best = i;
  return best;
}

int directColor(COLORREF color) {
  const int rgb = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
  return rgb > 0 && rgb < 8 ? 8 : rgb;
}

}  // namespace tty
}  // namespace posix
