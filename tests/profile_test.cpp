// Private profile files: lookups, list formats, truncation, in-place edits and
// hostile file contents. The same cases run against the real implementation
// in the Windows build; profile_posix_test.cpp has the POSIX-only ones.

#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "profile_fixture.h"

namespace {

using namespace std::string_literals;
using namespace profile_test;

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
      {"GLOBALS", "Port", "  a b \t ", "  a b \t"},  // trailing spaces of the default go, tabs stay
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
            "Nul=ab\0cd\n"
            "[NET WORK]\n"
            "Dup=second\n"
            "Later=from the repeated section\n"
            "[Other]\n"
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
      {"Net Work", "Dup", "first"},             {"Net Work", "Later", "<none>"},  // a repeat is not read
      {"Net Work", "Nul", "ab"},                {"Other", "Last", "no newline"},
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
  // Every header is listed, repeats too; the keys are those of the first section of the name.
  const std::string sections("Alpha\0beta\0ALPHA\0Gamma\0\0", 24);
  const std::string keys("k1\0K2\0\0", 7);
  struct Case {
    const char* section;
    DWORD size;
    DWORD ret;
    std::string bytes;
    bool cut;  // the list did not fit: its last string is cut and two NULs end the buffer
  } cases[] = {
      {nullptr, 25, 23, sections + "#", false},
      {nullptr, 40, 23, sections + std::string(16, '#'), false},
      {nullptr, 24, 22, sections, true},  // filling the buffer exactly counts as cut
      {nullptr, 23, 21, std::string("Alpha\0beta\0ALPHA\0Gamm\0\0", 23), true},
      {nullptr, 12, 10, std::string("Alpha\0beta\0\0", 12), true},
      {nullptr, 7, 5, std::string("Alpha\0\0", 7), true},
      {nullptr, 2, 0, std::string("\0\0", 2), true},
      {nullptr, 1, 0, std::string("\0", 1), false},
      {"alpha", 8, 6, keys + "#", false},
      {"alpha", 7, 5, keys, true},
      {"alpha", 6, 4, std::string("k1\0K\0\0", 6), true},
      {"alpha", 5, 3, std::string("k1\0\0\0", 5), true},
      // A section without keys, or none at all, gives the default as a value would.
      {"beta", 10, 7, std::string("ignored\0##", 10), false},
      {"missing", 4, 3, std::string("ign\0", 4), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section ? c.section : "(all)") + " size " + std::to_string(c.size));
    Result r = get(c.section, nullptr, "ignored", c.size);
    EXPECT_EQ(r.ret, c.ret);
    if (c.cut && portable::underWine()) {
      // Wine leaves the buffer's last byte unwritten when it cuts a list; Windows
      // documents the two NULs.
      EXPECT_EQ(r.bytes.substr(0, c.size - 1), c.bytes.substr(0, c.size - 1));
    } else {
      EXPECT_EQ(r.bytes, c.bytes);
    }
  }
  Result none = get(nullptr, nullptr, "d", 4, ".\\absent.ini");
  EXPECT_EQ(none.ret, 0u);
  // An empty list: one NUL under Wine, two (an empty list's end) here.
  EXPECT_EQ(none.bytes.substr(0, portable::underWine() ? 1 : 2), std::string("\0\0", portable::underWine() ? 1 : 2));
  EXPECT_EQ(get("A", nullptr, "dflt", 8, ".\\absent.ini").bytes, std::string("dflt\0###", 8));
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
  // Wine writes a profile anew from what it parsed (CR LF endings, blanks, comments
  // and stray lines dropped); Windows and we change only the lines concerned.
  if (portable::underWine()) GTEST_SKIP() << "Wine rewrites the whole file";
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
      {"delete key", "[A]\na=1\nb=2\nA=3\n[B]\na=4\n", "A", "a", nullptr, "[A]\nb=2\nA=3\n[B]\na=4\n"},
      {"delete section", "top\n[A]\na=1\n; note\n[B]\nb=2\n[a]\nc=3", "A", nullptr, nullptr,
       "top\n[B]\nb=2\n[a]\nc=3"},
      {"delete missing key", "[A]\na=1", "A", "zz", nullptr, "[A]\na=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("test.ini", c.before);
    EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, kIni));
    EXPECT_EQ(readFile("test.ini"), c.after);
  }
}

// Only the first section of a name, and the first line of a key in it, is read,
// replaced or deleted; a repeat comes into view once the first is gone.
TEST_F(ProfileTest, RepeatsStayInertUntilTheFirstIsGone) {
  writeFile("test.ini", "[A]\nk=1\nK=2\nj=3\n[a]\nk=4\nm=5\n[B]\n");
  EXPECT_EQ(value("A", "m"), "<none>");
  ASSERT_TRUE(WritePrivateProfileStringA("A", "m", "6", kIni));
  EXPECT_EQ(value("a", "M"), "6");
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, kIni));
  EXPECT_EQ(value("A", "k"), "2");
  ASSERT_TRUE(WritePrivateProfileStringA("a", nullptr, nullptr, kIni));
  EXPECT_EQ(value("A", "m"), "5");
  EXPECT_EQ(value("A", "k"), "4");
  EXPECT_EQ(get(nullptr, nullptr, "", 16).bytes, std::string("a\0B\0\0", 5) + std::string(11, '#'));
}

TEST_F(ProfileTest, WriteRefusalsAndFailures) {
  // No section: nothing is written, and Windows answers FALSE even to the
  // all-NULL request that flushes its cache.
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, kIni));
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", kIni));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, kIni));  // nothing to delete
  EXPECT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, kIni));
  EXPECT_FALSE(std::filesystem::exists("test.ini"));

  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", ".\\no\\such\\dir.ini"));
  EXPECT_NE(GetLastError(), 0u);
  ASSERT_TRUE(std::filesystem::create_directory("adir.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", ".\\adir.ini"));
  EXPECT_EQ(get("A", "k", "d", 8, ".\\adir.ini").ret, 1u);
}

TEST_F(ProfileTest, FileNamesResolveLikeWindows) {
  ASSERT_TRUE(std::filesystem::create_directory("sub"));
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "sub", ".\\sub\\x.ini"));
  EXPECT_TRUE(std::filesystem::exists("sub/x.ini"));
  EXPECT_EQ(value("a", "K", ".\\sub\\x.ini"), "sub");
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
      std::string("[\0S]\nK=v\n\n\r\r\n=\n[\n]\n", 19),
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
    if (!portable::underWine()) {  // Wine writes the file anew from what it parsed
      std::string after = readFile("test.ini");
      EXPECT_EQ(after.compare(0, files[i].size(), files[i]), 0);  // the old bytes stay in front
    }
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
      {"dec", 42},   {"neg", 4294967291u}, {"plus", 3},    {"hex", 31},          {"hex2", 0},
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
