// The 3270 field attribute byte: its bits and the questions asked of it.
#pragma once

#include <cstdint>

constexpr uint8_t kFieldProtected = 0x20;    // no input
constexpr uint8_t kFieldNumeric = 0x10;      // digits only
constexpr uint8_t kFieldDisplayBits = 0x0C;  // how the field shows:
constexpr uint8_t kFieldIntensified = 0x08;  //   highlighted
constexpr uint8_t kFieldNonDisplay = 0x0C;   //   not at all
constexpr uint8_t kFieldModified = 0x01;     // the modified data tag

inline bool fieldIsProtected(uint8_t attribute) { return (attribute & kFieldProtected) != 0; }
inline bool fieldIsNumeric(uint8_t attribute) { return (attribute & kFieldNumeric) != 0; }
inline bool fieldIsNonDisplay(uint8_t attribute) { return (attribute & kFieldDisplayBits) == kFieldNonDisplay; }
inline bool fieldIsIntensified(uint8_t attribute) { return (attribute & kFieldDisplayBits) == kFieldIntensified; }
inline bool fieldIsModified(uint8_t attribute) { return (attribute & kFieldModified) != 0; }
