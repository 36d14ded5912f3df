// The colours a 3279 shows. The host names sixteen by the codes F0..FF: F1
// to F7 are the seven base colours, each a setting in the settings file like
// the screen colours; F8..FF are fixed. F0 (neutral) is no colour of its own:
// the field's colour in front, the screen background behind.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "quillon_api.h"

constexpr int kModelColorCount = 16;
constexpr uint8_t kColorNeutral = 0xF0;
constexpr uint8_t kColorBlue = 0xF1;
constexpr uint8_t kColorRed = 0xF2;
constexpr uint8_t kColorGreen = 0xF4;
constexpr uint8_t kColorWhite = 0xF7;

// One configurable colour: its code, its settings key (section GLOBALS) and default.
struct ModelColorSetting {
  uint8_t code;
  const char* key;
  const char* defaultValue;
};
constexpr int kModelColorSettings = 7;
extern const ModelColorSetting kModelColorSetting[kModelColorSettings];

// All sixteen colours, F0 first: the settings' (their defaults where missing)
// and the fixed ones.
QUILLON_API void ReadModelColors(COLORREF colors[kModelColorCount]);
