// Private profile files on the POSIX layer: lookups, list formats, truncation,
// in-place edits and hostile file contents.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/posix/win32_posix.h"

namespace {

using namespace std::string_literals;

const char* const kIni = ".\\test.ini";

void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& name) {
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
Result get(const char* section, const char* key, const char* def, DWORD size, const char* file = kIni) {
  std::vector<char> buffer(size, '#');
  DWORD ret = GetPrivateProfileStringA(section, key, def, buffer.data(), size, file);
  return {ret, std::string(buffer.begin(), buffer.end())};
}

std::string value(const char* section, const char* key, const char* file = kIni) {
  Result r = get(section, key, "<none>", 256, file);
  return r.bytes.substr(0, r.ret);
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char* cwd = getcwd(nullptr, 0);
    ASSERT_NE(cwd, nullptr);
    oldCwd_ = cwd;
    std::free(cwd);
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-profile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    for (int i = 0; i < 2; ++i) {
      if (const char* v = std::getenv(kEnv[i])) savedEnv_[i] = v;
    }
  }

  void TearDown() override {
    for (int i = 0; i < 2; ++i) {
      if (savedEnv_[i]) {
        setenv(kEnv[i], savedEnv_[i]->c_str(), 1);
      } else {
        unsetenv(kEnv[i]);
      }
    }
    EXPECT_EQ(chdir(oldCwd_.c_str()), 0);
    // A test that stopped early may have left a read-only directory behind.
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_, ec)) {
      if (e.is_directory()) std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, ec);
    }
    std::filesystem::remove_all(dir_, ec);
  }

  std::string dir_;
  std::string oldCwd_;
  static constexpr const char* kEnv[2] = {"QUILLON_WINDIR", "HOME"};
  std::optional<std::string> savedEnv_[2];
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefault) {
  SetLastError(0);
  Result r = get("GLOBALS", "Host", "fallback", 64);
  EXPECT_EQ(r.ret, 8u);
  EXPECT_EQ(r.bytes.substr(0, 9), std::string("fallback\0", 9));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  writeFile("test.ini", "Orphan=1\n[GLOBALS]\nHost=a\n");
  struct Case {
    const char* section;
    const char* key;
    const char* def;
    const char* expected;
  } cases[] = {
      {"Other", "Host", "d", "d"},                // no such section
      {"GLOBALS", "Port", "d", "d"},              // no such key
      {"GLOBALS", "Orphan", "d", "d"},            // a key above every section belongs to none
      {"GLOBALS", "Port", nullptr, ""},           // NULL default reads as empty
      {"GLOBALS", "Port", "  a b \t ", "  a b"},  // trailing blanks of the default go
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    Result res = get(c.section, c.key, c.def, 64);
    EXPECT_EQ(res.ret, std::strlen(c.expected));
    EXPECT_STREQ(res.bytes.c_str(), c.expected);
  }
}

TEST_F(ProfileTest, LookupsIgnoreCaseBlanksAndQuotes) {
  writeFile("test.ini",
            "; comment=not a key\r\n"
            "  [ Net Work ]  trailing text\r\n"
            "  Host Name  =  example.org  \r\n"
            "Dq=\"quoted value \"\n"
            "Sq='x'\n"
            "Mixed=\"x'\n"
            "Lone=\"\n"
            "Inner=a\"b\"\n"
            "Eq=a=b\n"
            "Empty=\n"
            "NoEquals\n"
            "[Broken\n"
            "After=still Net Work\n"
            "Dup=first\n"
            "[NET WORK]\n"
            "Dup=second\n"
            "Later=from the repeated section\n"
            "Nul=ab\0cd\n"
            "Last=no newline\r"s);
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"net work", "HOST NAME", "example.org"}, {"  Net Work\t", " Host Name ", "example.org"},
      {"Net Work", "Dq", "quoted value "},      {"Net Work", "Sq", "x"},
      {"Net Work", "Mixed", "\"x'"},            {"Net Work", "Lone", "\""},
      {"Net Work", "Inner", "a\"b\""},          {"Net Work", "Eq", "a=b"},
      {"Net Work", "Empty", ""},                {"Net Work", "NoEquals", "<none>"},
      {"Net Work", "; comment", "<none>"},      {"Net Work", "After", "still Net Work"},
      {"Net Work", "Dup", "first"},             {"Net Work", "Later", "from the repeated section"},
      {"Net Work", "Nul", "ab"},                {"Net Work", "Last", "no newline"},
      {"Broken", "After", "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(value(c.section, c.key), c.expected);
  }
}

TEST_F(ProfileTest, TruncationAndDegenerateBuffers) {
  writeFile("test.ini", "[S]\nK=hello\n");
  struct Case {
    const char* key;  // "K" reads the value, "X" the default "world"
    DWORD size;
    DWORD ret;
    const char* text;
  } cases[] = {
      {"K", 1, 0, ""}, {"K", 2, 1, "h"}, {"K", 5, 4, "hell"}, {"K", 6, 5, "hello"},
      {"X", 1, 0, ""}, {"X", 5, 4, "worl"}, {"X", 6, 5, "world"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " size " + std::to_string(c.size));
    Result r = get("S", c.key, "world", c.size);
    EXPECT_EQ(r.ret, c.ret);
    EXPECT_EQ(r.bytes, std::string(c.text) + '\0');
  }

  char sentinel[2] = {'#', '#'};
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "d", sentinel, 0, kIni), 0u);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "d", sentinel, 0, kIni), 0u);
  EXPECT_EQ(sentinel[0], '#');
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "d", nullptr, 10, kIni), 0u);
}

TEST_F(ProfileTest, ListsSectionsAndKeys) {
  writeFile("test.ini",
            "[Alpha]\nk1=1\nK2=2\n; c=3\n[]\n=x\n[beta]\n[ALPHA]\nk1=again\nk3=3\n[Gamma]\n");
  const std::string sections("Alpha\0beta\0Gamma\0\0", 18);
  const std::string keys("k1\0K2\0k3\0\0", 10);
  struct Case {
    const char* section;
    DWORD size;
    DWORD ret;
    std::string bytes;
  } cases[] = {
      {nullptr, 18, 17, sections},
      {nullptr, 40, 17, sections + std::string(22, '#')},
      {nullptr, 17, 15, std::string("Alpha\0beta\0Gamm\0\0", 17)},
      {nullptr, 12, 10, std::string("Alpha\0beta\0\0", 12)},
      {nullptr, 7, 5, std::string("Alpha\0\0", 7)},
      {nullptr, 2, 0, std::string("\0\0", 2)},
      {nullptr, 1, 0, std::string("\0", 1)},
      {"alpha", 10, 9, keys},
      {"alpha", 9, 7, std::string("k1\0K2\0k\0\0", 9)},
      {"beta", 8, 0, std::string("\0\0######", 8)},
      {"missing", 4, 0, std::string("\0\0##", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section ? c.section : "(all)") + " size " + std::to_string(c.size));
    Result r = get(c.section, nullptr, "ignored", c.size);
    EXPECT_EQ(r.ret, c.ret);
    EXPECT_EQ(r.bytes, c.bytes);
  }
  Result none = get(nullptr, nullptr, "d", 4, ".\\absent.ini");
  EXPECT_EQ(none.ret, 0u);
  EXPECT_EQ(none.bytes.substr(0, 2), std::string("\0\0", 2));
}

TEST_F(ProfileTest, WriteCreatesFileLikeWindows) {
  ASSERT_TRUE(WritePrivateProfileStringA("GLOBALS", "BackGroundColor", "0,0,0", kIni));
  EXPECT_EQ(readFile("test.ini"), "[GLOBALS]\r\nBackGroundColor=0,0,0\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("GLOBALS", "Font", "\"Courier New\"", kIni));
  ASSERT_TRUE(WritePrivateProfileStringA("Hosts", "h1", "a", kIni));
  EXPECT_EQ(readFile("test.ini"),
            "[GLOBALS]\r\nBackGroundColor=0,0,0\r\nFont=\"Courier New\"\r\n[Hosts]\r\nh1=a\r\n");
  EXPECT_EQ(value("globals", "font"), "Courier New");
  // Only the settings file is left: the temporary file was renamed into place.
  auto entries = std::filesystem::directory_iterator(dir_);
  ASSERT_NE(entries, std::filesystem::directory_iterator());
  EXPECT_EQ(entries->path().filename(), "test.ini");
  EXPECT_EQ(++entries, std::filesystem::directory_iterator());
}

TEST_F(ProfileTest, EditsKeepOtherBytes) {
  struct Case {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
  } cases[] = {
      {"replace keeps spelling and ending", "; top\n[Sec]\n  MyKey = old \nother=1\n", "SEC", "mykey", "new",
       "; top\n[Sec]\n  MyKey=new\nother=1\n"},
      {"replace first of repeated section", "[A]\r\nk=1\r\n[A]\r\nk=2\r\n", "A", "K", "3",
       "[A]\r\nk=3\r\n[A]\r\nk=2\r\n"},
      {"append before blank lines", "[A]\na=1\n\n\n[B]\nb=2\n", "A", "c", "3",
       "[A]\na=1\nc=3\r\n\n\n[B]\nb=2\n"},
      {"append to empty section", "[A]\n[B]\n", "a", "x", "y", "[A]\nx=y\r\n[B]\n"},
      {"append with no final newline", "[A]\na=1", "A", "b", "2", "[A]\na=1\r\nb=2\r\n"},
      {"new section at end", "x\0y\n[A]\na=1\r"s, "B", "k", "v", "x\0y\n[A]\na=1\r\n[B]\r\nk=v\r\n"s},
      {"delete key", "[A]\na=1\nb=2\nA=3\n[B]\na=4\n", "A", "a", nullptr, "[A]\nb=2\n[B]\na=4\n"},
      {"delete section", "top\n[A]\na=1\n; note\n[B]\nb=2\n[a]\nc=3", "A", nullptr, nullptr, "top\n[B]\nb=2\n"},
      {"delete missing key", "[A]\na=1", "A", "zz", nullptr, "[A]\na=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("test.ini", c.before);
    EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, kIni));
    EXPECT_EQ(readFile("test.ini"), c.after);
  }
}

TEST_F(ProfileTest, WriteRefusalsAndFailures) {
  EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, kIni));
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, kIni));  // nothing to delete
  EXPECT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, kIni));
  EXPECT_FALSE(std::filesystem::exists("test.ini"));

  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } invalid[] = {
      {nullptr, "k", "v"}, {"A", "k", "v\r\n[B]"}, {"A]", "k", "v"}, {"A", "k=j", "v"},
      {"A", "[k]", "v"},   {"A", ";k", "v"},       {"A\nB", "k", "v"},
  };
  for (const Case& c : invalid) {
    SCOPED_TRACE(c.key);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, kIni));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_FALSE(std::filesystem::exists("test.ini"));

  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", ".\\no\\such\\dir.ini"));
  EXPECT_NE(GetLastError(), 0u);
  ASSERT_EQ(mkdir("adir.ini", 0700), 0);
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", ".\\adir.ini"));
  EXPECT_EQ(get("A", "k", "d", 8, ".\\adir.ini").ret, 1u);

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

TEST_F(ProfileTest, FileNamesResolveLikeWindows) {
  ASSERT_EQ(mkdir("sub", 0700), 0);
  ASSERT_EQ(mkdir("windir", 0700), 0);
  ASSERT_EQ(mkdir("home", 0700), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "sub", ".\\sub\\x.ini"));
  EXPECT_TRUE(std::filesystem::exists("sub/x.ini"));

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

TEST_F(ProfileTest, GarbageFilesReadAsDefaults) {
  std::mt19937 rng(12345);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(rng() & 0xff);
  std::string hugeLine(1 << 20, 'k');
  const std::string files[] = {
      noise,
      std::string(4096, '\0'),
      hugeLine,
      "[" + hugeLine,
      "[S]\n" + hugeLine + "=" + hugeLine,
      std::string("[S\0]\nK=v\n\n\r\r\n=\n[\n]\n", 19),
      std::string(100000, '\n'),
  };
  for (size_t i = 0; i < std::size(files); ++i) {
    SCOPED_TRACE(i);
    writeFile("test.ini", files[i]);
    EXPECT_EQ(value("S", "K"), "<none>");
    EXPECT_EQ(GetPrivateProfileIntA("S", "K", 77, kIni), 77u);
    get(nullptr, nullptr, "", 64);
    get("S", nullptr, "", 64);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "v", kIni));
    EXPECT_EQ(value("S", "K"), "v");
    std::string after = readFile("test.ini");
    EXPECT_EQ(after.compare(0, files[i].size(), files[i]), 0);  // the old bytes stay in front
  }
  Result big = get(hugeLine.c_str(), hugeLine.c_str(), "d", 8);  // 1 MiB names
  EXPECT_EQ(big.ret, 1u);
}

TEST_F(ProfileTest, IntegersParseLikeWindows) {
  writeFile("test.ini",
            "[N]\ndec=42\nneg=-5\nplus= +3\nhex=0x1F\nHex2=0XfF\nnohex=0x\ntail=12abc\ntext=abc\nempty=\n"
            "quoted=\"7\"\nwrap=4294967297\nhuge=99999999999999999999\nminus=-\n");
  struct Case {
    const char* key;
    UINT expected;
  } cases[] = {
      {"dec", 42},   {"neg", 4294967291u}, {"plus", 3},    {"hex", 31},          {"hex2", 255},
      {"nohex", 0},  {"tail", 12},         {"text", 0},    {"empty", 9},         {"missing", 9},
      {"quoted", 7}, {"wrap", 1},          {"minus", 0},   {"huge", 1661992959u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(GetPrivateProfileIntA("n", c.key, 9, kIni), c.expected);
  }
  EXPECT_EQ(GetPrivateProfileIntA("N", "missing", -1, kIni), 0xFFFFFFFFu);
  EXPECT_EQ(GetPrivateProfileIntA("N", "dec", 9, ".\\absent.ini"), 9u);
}

}  // namespace
