// Shared pieces of the private-profile tests: a scratch directory per test,
// raw file access, and GetPrivateProfileStringA into an exactly sized buffer.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "portable.h"

namespace profile_test {

inline const char* const kIni = ".\\test.ini";

inline void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

struct Result {
  DWORD ret;
  std::string bytes;  // the whole buffer
};

// The buffer is exactly `size` bytes, so any write past it trips the sanitizer.
inline Result get(const char* section, const char* key, const char* def, DWORD size, const char* file = kIni) {
  std::vector<char> buffer(size, '#');
  DWORD ret = GetPrivateProfileStringA(section, key, def, buffer.data(), size, file);
  return {ret, std::string(buffer.begin(), buffer.end())};
}

inline std::string value(const char* section, const char* key, const char* file = kIni) {
  Result r = get(section, key, "<none>", 256, file);
  return r.bytes.substr(0, r.ret);
}

// Each test in its own scratch directory; the environment variables that
// place bare file names are put back afterwards.
class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldCwd_ = portable::currentDirectory();
    ASSERT_FALSE(oldCwd_.empty());
    dir_ = portable::makeScratchDirectory();
    ASSERT_FALSE(dir_.empty());
    ASSERT_TRUE(portable::changeDirectory(dir_));
    for (int i = 0; i < 2; ++i) {
      if (const char* v = std::getenv(kEnv[i])) savedEnv_[i] = v;
    }
  }

  void TearDown() override {
    for (int i = 0; i < 2; ++i) portable::setEnvironment(kEnv[i], savedEnv_[i] ? savedEnv_[i]->c_str() : nullptr);
    EXPECT_TRUE(portable::changeDirectory(oldCwd_));
    portable::removeTree(dir_);
  }

  std::string dir_;
  std::string oldCwd_;
  static constexpr const char* kEnv[2] = {"QUILLON_WINDIR", "HOME"};
  std::optional<std::string> savedEnv_[2];
};

}  // namespace profile_test
