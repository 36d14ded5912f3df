// The settings file: the input is written as .\quillon.ini and a new terminal
// object reads its colours from it (ComTcpInit), as each new window does; the
// colour parser also reads the input directly as one value.
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "platform/posix/testing.h"
#include "terminal/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::session();  // the scratch directory and the platform
  if (FILE* f = std::fopen("quillon.ini", "wb")) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  CommTcp* t = new CommTcp;
  t->ComTcpInit();
  delete t;
  // A default that is itself incomplete.
  ReadColorSetting("BackGroundColor", "1,2");

  const std::string value(reinterpret_cast<const char*>(data), size);
  COLORREF color = 0;
  ParseColorTriple(value.c_str(), RGB(1, 2, 3), &color);
  posix::testing::clearMessageBoxes();
  return 0;
}

// Each input makes a new terminal object and its buffers: a smaller quarantine
// keeps freed memory from piling up in fresh pages.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
