// The one export macro: what the quillon library offers to the program and to
// embedders by name.
#pragma once

#if defined(_WIN32)
#if defined(QUILLON_BUILDING_LIBRARY)
#define QUILLON_API __declspec(dllexport)
#else
#define QUILLON_API __declspec(dllimport)
#endif
#else
#define QUILLON_API __attribute__((visibility("default")))
#endif
