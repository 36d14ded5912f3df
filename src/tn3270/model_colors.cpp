// The 3279 colours: the seven settings and the fixed rest of the sixteen.
#include "tn3270/model_colors.h"

#include "terminal/settings.h"

const ModelColorSetting kModelColorSetting[kModelColorSettings] = {
    {0xF1, "BlueColor", "80,144,255"},      {0xF2, "RedColor", "255,64,64"},
    {0xF3, "PinkColor", "255,112,255"},     {0xF4, "GreenColor", "64,224,64"},
    {0xF5, "TurquoiseColor", "64,224,224"}, {0xF6, "YellowColor", "255,255,64"},
    {0xF7, "WhiteColor", "255,255,255"},
};

namespace {

// F8..FF: black, deep blue, orange, purple, pale green, pale turquoise, grey, white.
const COLORREF kFixed[8] = {RGB(0, 0, 0),       RGB(0, 0, 160),     RGB(255, 160, 0),   RGB(160, 32, 240),
                            RGB(152, 251, 152), RGB(175, 238, 238), RGB(190, 190, 190), RGB(255, 255, 255)};

}  // namespace

void ReadModelColors(COLORREF colors[kModelColorCount]) {
  colors[0] = RGB(255, 255, 255);
  for (const ModelColorSetting& s : kModelColorSetting)
    colors[s.code - kColorNeutral] = ReadColorSetting(s.key, s.defaultValue);
  for (int i = 0; i < 8; ++i) colors[8 + i] = kFixed[i];
}
