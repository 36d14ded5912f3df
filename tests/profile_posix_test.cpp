// Private profile files, cases that only the POSIX layer has: file types and
// permissions of the file system, symbolic links, and where a bare file name
// goes (QUILLON_WINDIR, else the home directory, standing for the Windows
// directory).

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "profile_fixture.h"

namespace {

using namespace profile_test;

// Windows writes these as given, and what it reads back is then something else
// (a value that starts a new section, a key that carries an '='). We refuse them.
TEST_F(ProfileTest, RefusesTextThatWouldReadBackOtherwise) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } invalid[] = {
      {"A", "k", "v\r\n[B]"}, {"A]", "k", "v"}, {"A", "k=j", "v"}, {"A", "[k]", "v"}, {"A", ";k", "v"}, {"A\nB", "k", "v"},
  };
  for (const Case& c : invalid) {
    SCOPED_TRACE(c.key);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, kIni));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_FALSE(std::filesystem::exists("test.ini"));
}

// A line ends at its first NUL, so a header cut by one is no header.
TEST_F(ProfileTest, NulEndsALine) {
  writeFile("test.ini", std::string("[S\0]\nK=v\n", 9));
  EXPECT_EQ(value("S", "K"), "<none>");
}

TEST_F(ProfileTest, OnlyRegularWritableFilesAreProfiles) {
  // Only regular files are profiles: a FIFO is neither read (no blocking) nor replaced.
  ASSERT_EQ(mkfifo("pipe.ini", 0600), 0);
  EXPECT_EQ(value("A", "k", ".\\pipe.ini"), "<none>");
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", ".\\pipe.ini"));
  struct stat st;
  ASSERT_EQ(lstat("pipe.ini", &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  if (geteuid() != 0) {  // permissions do not bind root
    writeFile("locked.ini", "[A]\nk=keep\n");
    ASSERT_EQ(chmod("locked.ini", 0), 0);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", ".\\locked.ini"));
    ASSERT_EQ(chmod("locked.ini", 0600), 0);
    EXPECT_EQ(readFile("locked.ini"), "[A]\nk=keep\n");

    ASSERT_EQ(mkdir("ro", 0700), 0);
    writeFile("ro/x.ini", "[A]\nk=keep\n");
    ASSERT_EQ(chmod("ro", 0500), 0);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", ".\\ro\\x.ini"));
    ASSERT_EQ(chmod("ro", 0700), 0);
    EXPECT_EQ(readFile("ro/x.ini"), "[A]\nk=keep\n");
  }
}

TEST_F(ProfileTest, BareNamesAndLinksResolveOnPosix) {
  ASSERT_EQ(mkdir("windir", 0700), 0);
  ASSERT_EQ(mkdir("home", 0700), 0);
  setenv("QUILLON_WINDIR", (dir_ + "/windir").c_str(), 1);
  setenv("HOME", (dir_ + "/home").c_str(), 1);
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "windir", "bare.ini"));
  EXPECT_TRUE(std::filesystem::exists("windir/bare.ini"));
  unsetenv("QUILLON_WINDIR");
  EXPECT_EQ(value("A", "k", "bare.ini"), "<none>");
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "home", "bare.ini"));
  EXPECT_EQ(readFile("home/bare.ini"), "[A]\r\nk=home\r\n");

  // Writing through a symbolic link updates its target and leaves the link in place.
  writeFile("real.ini", "[A]\nk=1\n");
  ASSERT_EQ(symlink("real.ini", "link.ini"), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "2", ".\\link.ini"));
  EXPECT_EQ(readFile("real.ini"), "[A]\nk=2\n");
  struct stat st;
  ASSERT_EQ(lstat("link.ini", &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

}  // namespace
